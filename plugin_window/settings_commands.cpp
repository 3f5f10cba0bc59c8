#include "settings_commands.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_access.h"
#include "host_work.h"
#include "plugin_window.h"
#include "resource_ids.h"
#include "settings_file.h"
#include "slider_state.h"
#include "user_messages.h"

namespace {

const char kSettingsFilter[] = "Color balance settings (*.balance)\0*.balance\0All files (*.*)\0*.*\0";

// The folder of the settings file last saved or loaded, where the Save
// dialog opens next; empty until the first one.
char lastSettingsFolder[MAX_PATH] = "";

void rememberSettingsFolder(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    const char* other = std::strrchr(path, '/');
    if (other > slash) slash = other;
    const size_t length = slash ? size_t(slash - path) : 0;
    if (length == 0 || length >= sizeof lastSettingsFolder) return;
    std::memcpy(lastSettingsFolder, path, length);
    lastSettingsFolder[length] = '\0';
}

// Where the Save dialog opens: the last settings file's folder, else the
// user's Documents folder (not the program's working folder, which is its
// own folder or a source checkout). Null when neither is known.
const char* saveDialogFolder(char (&documents)[MAX_PATH]) {
    if (lastSettingsFolder[0]) return lastSettingsFolder;
    if (SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents) == S_OK)
        return documents;
    return nullptr;
}

// The box of a settings file that could not be saved or loaded: what failed,
// the file, and why. Owed work for the host waits while it is open.
void showSettingsFileProblem(const char* what, const char* path, const std::string& reason) {
    const std::string text = std::string(what) + "\n" + path + "\n" + reason;
    beginModalLoop();
    showUserMessage(text.c_str(), kPluginCaption);
    endModalLoop(pluginWindow.mainWindow);
}

// The standard Save or Open dialog for a settings file, owned by `window`:
// owned windows stay above their owner, which is on top, and the owner gets
// the focus back when the dialog closes. Owed work for the host waits while
// it is open, so that its keys work. True with the chosen name in `path`;
// false when the user cancelled (or the dialog could not open). Save
// suggests look.balance in saveDialogFolder; Open keeps the dialog's own
// memory of its folder.
bool askForSettingsFile(HWND window, bool saving, char (&path)[MAX_PATH]) {
    path[0] = '\0';
    char documents[MAX_PATH] = "";
    if (saving) std::strcpy(path, kSuggestedSettingsFileName);
    OPENFILENAMEA dialog = {};
    dialog.lpstrInitialDir = saving ? saveDialogFolder(documents) : nullptr;
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window;
    dialog.lpstrFilter = kSettingsFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = kSettingsFileExtension;
    dialog.lpstrTitle = saving ? SAVE_SETTINGS_DIALOG_TITLE : LOAD_SETTINGS_DIALOG_TITLE;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                   (saving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    beginModalLoop();
    const bool chosen = (saving ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)) != FALSE;
    endModalLoop(window);
    if (chosen) rememberSettingsFolder(path);
    return chosen;
}

}  // namespace

// The file is written as palette-balance writes its outputs: to a new
// temporary file beside it, flushed, then renamed over it, so that a failed
// save never leaves a half-written settings file.
bool saveSettingsFile(const char* path) {
    const std::string text = formatSettingsText(balanceSettings);
    std::string reason;
    if (writeFileReplacing(path, std::vector<uint8_t>(text.begin(), text.end()), reason)) return true;
    showSettingsFileProblem(kSettingsNotSavedText, path, reason);
    return false;
}

bool loadSettingsFile(HWND window, const char* path) {
    BalanceSettings loaded;
    std::string reason;
    if (!readSettingsFile(path, loaded, reason)) {
        showSettingsFileProblem(kSettingsNotLoadedText, path, reason);
        return false;
    }
    balanceSettings = loaded;
    showBrightnessCheckMark(window);
    refreshAfterChange();
    return true;
}

void saveSettingsCommand(HWND window) {
    char path[MAX_PATH];
    if (askForSettingsFile(window, true, path)) saveSettingsFile(path);
}

void loadSettingsCommand(HWND window) {
    char path[MAX_PATH];
    if (askForSettingsFile(window, false, path)) loadSettingsFile(window, path);
}
