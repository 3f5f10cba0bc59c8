// The settings-file commands of the "&Command" menu: "&Save Settings..."
// writes the whole balance settings record to a file that the user names in
// the standard Save dialog, "&Load Settings..." replaces the record from a
// file chosen in the standard Open dialog. The file format is palette-balance's
// too (settings_file.h).
#pragma once

#include <windows.h>

// Asks for a file name with the Save dialog, owned by `window`, and saves
// the settings there (saveSettingsFile). Cancelling changes nothing.
void saveSettingsCommand(HWND window);

// Asks for a file with the Open dialog, owned by `window`, and loads it
// (loadSettingsFile). Cancelling changes nothing.
void loadSettingsCommand(HWND window);

// Writes the whole record to `path`, replacing a file there only once the
// new one is complete. Returns false after a message box that names the file
// and the reason.
bool saveSettingsFile(const char* path);

// Reads `path` and, when it is accepted, replaces the whole record, sets the
// brightness item's check mark on `window`'s menu to match and refreshes as
// the state operations do: syncSliders, refreshInfoLine, a forced apply.
// Returns false after a message box that names the file and the reason; the
// settings are then as they were.
bool loadSettingsFile(HWND window, const char* path);
