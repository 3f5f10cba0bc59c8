#include "user_messages.h"

#include <windows.h>

#include "host_conversation.h"

const char* const kPluginCaption = "Color Balance Plugin says:";
const char* const kDdeProblemCaption = "DDE Problem";
const char* const kHostSaidCaption = "Communication Error - Kavrin said:";

const char* const kHostNotRunningText = "The Kavrin Plugin Server is not running.\nStart Kavrin first.";
const char* const kHostTooOldText = "This Plugin requires at least\nKavrin 6.0 to function.";
const char* const kNoProjectText = "Failed to get palette.\nLoad a project inside Kavrin first.";
const char* const kFetchFailedText = "Failed getting palette from Kavrin.\n(No open/active project?)";
const char* const kSendFailedText = "Failed sending palette to Kavrin.\n(No open/active project?)";
const char* const kSettingsNotSavedText = "Could not save the settings to";
const char* const kSettingsNotLoadedText = "Could not load the settings from";

// Once the program is ending no box opens: the user has asked to leave, and
// the box's own loop would hold the end.
void showUserMessage(const char* text, const char* caption) {
    if (programEnding()) return;
    MessageBoxA(nullptr, text, caption, MB_OK);
}
