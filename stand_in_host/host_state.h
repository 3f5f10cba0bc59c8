// The stand-in host's one process-wide record and the operations of its
// parts: the event log, the DDE server, the commands, the clipboard and the
// window.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>
#include <vector>

#include "host_options.h"
#include "picture.h"

extern const char* const kServiceName;  // "KAVRIN"
extern const char* const kTopicName;    // "ImageServer"
extern const char* const kItemName;     // "ImageServerItem"

// Posted to the host window once the command count set by --disconnect-after
// or --exit-after has been reached and answered.
constexpr UINT WM_APP_END_AFTER_COMMANDS = WM_APP + 1;

// A command held unanswered (its callback returned CBR_BLOCK) until its
// timer runs out.
struct HeldCommand {
    UINT_PTR timer;
    HCONV conversation;
};

struct StandInHostState {
    HostOptions options;
    Picture picture;
    HWND window = nullptr;
    HANDLE log = INVALID_HANDLE_VALUE;
    DWORD ddeInstance = 0;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    std::string status = "OK";   // "OK" or what went wrong in the last command
    std::string lastCommand;     // shown in the window's status line
    bool layerSelected = false;  // "SELECTCOLORLAYER" has run
    int commandsCompleted = 0;
    bool endPending = false;     // the count is reached: end after the next reply
    HCONV endingConversation = nullptr;
    bool releasingHeld = false;  // inside DdeEnableCallback: held commands return
    std::vector<HeldCommand> held;
    UINT_PTR nextTimer = 1;
};

extern StandInHostState host;

// event_log.cpp
// Opens the log file named by --log, or takes standard output. False when
// the file cannot be created.
bool openEventLog(const std::string& path);
// Writes one line and a line end at once (no buffering), so readers see it
// while the host runs.
void logLine(const std::string& line);
void closeEventLog();
// Writes `text` to standard output; false when there is none.
bool writeStandardOutput(const std::string& text);

// dde_server.cpp
// Registers the service and starts answering; false when DDEML refuses.
bool startDdeServer();
void stopDdeServer();
// Completes the held commands of the timer that ran out.
void releaseHeldCommand(UINT_PTR timer);
// Ends the conversation or the process as --disconnect-after or --exit-after
// asks.
void endAfterCommands();

// host_commands.cpp
// Runs one command word and sets host.status; false for an unknown word.
bool runHostCommand(const std::string& word);

// host_window.cpp
bool createHostWindow(int show);
// Repaints the picture and the swatches after a palette change.
void showPaletteChanged();
// Repaints the status line.
void showStatusChanged();
