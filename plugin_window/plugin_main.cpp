// The program's entry point: connect to Kavrin, prove that it is new enough
// and has a project, open the plugin window and run the message loop until
// the exit command posts the quit message.
#include <windows.h>
#include <commctrl.h>

#include "host_conversation.h"
#include "host_work.h"
#include "plugin_window.h"
#include "resource_ids.h"
#include "slider_state.h"
#include "user_messages.h"

// Exit codes of the start-up checks; 0 is the normal end, and also the end
// when the window cannot be made.
constexpr int kExitHostNotRunning = -1;
constexpr int kExitHostTooOld = -2;
constexpr int kExitNoProject = -3;

// The trackbar class lives in the common-controls library, which registers it
// only once asked to. Asking here means the window never depends on another
// program or module having loaded the library first.
static void makeTrackbarClassAvailable() {
    INITCOMMONCONTROLSEX classes = {};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_BAR_CLASSES;
    InitCommonControlsEx(&classes);
}

// The slider-state operations refresh the window and send the palette through
// these hooks.
static void installSettingsHooks() {
    settingsHooks.syncSliders = syncSliders;
    settingsHooks.refreshInfoLine = refreshInfoLine;
    settingsHooks.applyBalance = applyBalance;
}

// Accelerators go to the main window whichever control has the focus. There
// is no dialog navigation: Tab, Enter and Escape mean nothing in the window.
static int runMessageLoop(HACCEL accelerators) {
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(pluginWindow.mainWindow, accelerators, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    makeTrackbarClassAvailable();
    installSettingsHooks();

    if (!connectHost()) {
        showUserMessage(kHostNotRunningText, kPluginCaption);
        return kExitHostNotRunning;
    }
    // The start-up check is one exchange: the command, then its status.
    beginHostExchange();
    // An old host does not know this command and never completes it.
    const bool completed = executeCommand(kSelectColorLayer);
    const bool projectOpen = completed && statusIsOk();
    endHostExchange();
    if (!completed) {
        showUserMessage(kHostTooOldText, kPluginCaption);
        disconnectHost();
        return kExitHostTooOld;
    }
    if (!projectOpen) {
        showUserMessage(kNoProjectText, kPluginCaption);
        disconnectHost();
        return kExitNoProject;
    }
    if (!createMainWindow(instance, showCommand)) return 0;

    HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_MAIN_ACCELERATORS));
    return runMessageLoop(accelerators);
}
