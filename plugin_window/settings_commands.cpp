#include "settings_commands.h"

#include <commdlg.h>

#include <string>

#include "plugin_window.h"
#include "resource_ids.h"
#include "settings_file.h"
#include "slider_state.h"
#include "user_messages.h"

namespace {

const char kSettingsFilter[] = "Color balance settings (*.balance)\0*.balance\0All files (*.*)\0*.*\0";

// The box of a settings file that could not be saved or loaded: what failed,
// the file, and why.
void showSettingsFileProblem(const char* what, const char* path, const std::string& reason) {
    const std::string text = std::string(what) + "\n" + path + "\n" + reason;
    showUserMessage(text.c_str(), kPluginCaption);
}

// The system's text for an error code, on one line.
std::string systemReason(DWORD code) {
    char text[256] = "";
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                        text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    return reason.empty() ? "Windows error " + std::to_string(code) : reason;
}

// Writes `text` to a file beside `path` and renames that over `path`, so
// that a failed save never leaves a half-written settings file. On failure
// the file beside is removed and `reason` says why.
bool replaceFileContents(const std::string& path, const std::string& text, std::string& reason) {
    const std::string temporary = path + ".saving";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = systemReason(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool done = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
    DWORD code = done ? 0 : GetLastError();
    if (!CloseHandle(file) && done) {
        done = false;
        code = GetLastError();
    }
    if (done && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        done = false;
        code = GetLastError();
    }
    if (!done) {
        DeleteFileA(temporary.c_str());
        reason = systemReason(code);
    }
    return done;
}

// The standard Save or Open dialog for a settings file, owned by `window`:
// owned windows stay above their owner, which is on top, and the owner gets
// the focus back when the dialog closes. True with the chosen name in `path`;
// false when the user cancelled (or the dialog could not open).
bool askForSettingsFile(HWND window, bool saving, char (&path)[MAX_PATH]) {
    path[0] = '\0';
    OPENFILENAMEA dialog = {};
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
    return (saving ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog)) != FALSE;
}

}  // namespace

bool saveSettingsFile(const char* path) {
    std::string reason;
    if (replaceFileContents(path, formatSettingsText(balanceSettings), reason)) return true;
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
