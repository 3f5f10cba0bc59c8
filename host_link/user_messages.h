// Every message box the plugin shows, and the texts and captions it shows in
// them, defined once. All boxes are modal, have no owner window and only an
// OK button, so the plugin window stays usable while one is open.
#pragma once

extern const char* const kPluginCaption;        // "Color Balance Plugin says:"
extern const char* const kDdeProblemCaption;    // "DDE Problem"
extern const char* const kHostSaidCaption;      // "Communication Error - Kavrin said:"

extern const char* const kHostNotRunningText;
extern const char* const kHostTooOldText;
extern const char* const kNoProjectText;
extern const char* const kFetchFailedText;
extern const char* const kSendFailedText;
// Settings files: the box shows this line, then the file's name and the reason.
extern const char* const kSettingsNotSavedText;
extern const char* const kSettingsNotLoadedText;

// Shows `text` under `caption` and waits until the user presses OK; shows
// nothing once the program is ending.
void showUserMessage(const char* text, const char* caption);
