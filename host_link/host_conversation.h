// The one DDE conversation the plugin holds with Kavrin's image server for
// the life of the process: connect, execute a command word and wait for its
// completion while pumping the thread's messages, read and judge the status.
#pragma once

#include <windows.h>
#include <ddeml.h>

extern const char* const kHostService;        // "KAVRIN"
extern const char* const kHostTopic;          // "ImageServer"
extern const char* const kHostItem;           // "ImageServerItem"
extern const char* const kSelectColorLayer;   // "SELECTCOLORLAYER"
extern const char* const kSendPaletteCommand; // "SENDPALETTE"
extern const char* const kReceivePaletteCommand; // "RECEIVEPALETTE"

constexpr DWORD kCommandTimeoutMs = 10000;
constexpr int kStatusAttempts = 5;
constexpr DWORD kStatusRequestTimeoutMs = 1000;
constexpr int kReplyBytes = 100;

struct HostLink {
    DWORD instance;                 // DDEML instance; 0 until initialised
    PFNCALLBACK callback;
    HSZ service;                    // 0 when not held
    HSZ topic;                      // 0 when not held
    HCONV conversation;             // 0 when not connected
    int completionFlag;             // set by the callback on XTYP_XACT_COMPLETE
    bool exchangeRunning;           // a command with its status, a fetch or a send
    int waitDepth;                  // executeCommand waits running, nested through the pump
    bool quitHeld;                  // a WM_QUIT taken by a wait, to be posted again
    bool ending;                    // the exit command has run: nothing more starts
    WPARAM quitCode;
    char replyBuffer[kReplyBytes + 1];  // last status reply, NUL-terminated
};

extern HostLink hostLink;

// Opens the DDEML instance and the conversation; false when the host's
// service does not answer (no message shown).
bool connectHost();
// Closes the conversation and the DDEML instance.
void disconnectHost();
// Executes a command word in the host and waits up to 10 seconds, pumping
// messages, for its completion. True when a completion arrived in time;
// false at once when the command could not be started (the host has gone)
// or the program is ending.
bool executeCommand(const char* command);
// Reads the host's status text into replyBuffer (at most 100 bytes, a trailing
// CR LF cut). False, after the "DDE Problem" box, when no request succeeded.
bool requestStatus();
// True when the status reply begins with "OK"; otherwise shows the reply
// under "Communication Error - Kavrin said:" and returns false.
bool statusIsOk();

// At most one exchange with the host runs at a time: a command and its status
// request, a fetch, or a send. Its waits pump the thread's messages, so the
// window's handlers run inside it; whatever they want of the host is owed and
// runs once the exchange has ended, never nested inside it.
bool hostExchangeRunning();
// Marks an exchange as running. False, with nothing changed, while one runs.
bool beginHostExchange();
void endHostExchange();

// The wait's message pump may take the quit message that the exit command
// posts. It then ends the wait (the command fails) and the quit message is
// posted again once the outermost wait is over, so the program's message
// loop still ends. True while such a quit message is being held back.
bool quitMessageHeld();

// Set by the exit command, or when a wait takes the quit message. From then
// on no command is started and no message box opens: the conversation is
// closing, and a box would hold the program's end.
void beginProgramEnd();
bool programEnding();
