// Shared support for the Windows tests under Wine: the stand-in host as a
// child process and its event log, a plain DDEML client of its own, the
// clipboard, a watcher that closes message boxes, and window and process
// helpers. Plain functions over a few process-wide records.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <cstdint>
#include <string>
#include <vector>

// The clipboard: putClipboardDib and readClipboardDib, shared with the
// stand-in host; the tests pass no owner window.
#include "clipboard_dib.h"

// ---- The stand-in host as a child process ---------------------------------

struct StandInHost {
    HANDLE process = nullptr;
    DWORD processId = 0;
    std::string logPath;  // Windows path of its --log file
    std::string program;  // Windows path of the StandInKavrin.exe to start; empty: this build's
};

// The Windows path (Z:\...) of StandInKavrin.exe in this build.
std::string standInHostPath();

// Launches StandInKavrin.exe with `options` (a command-line fragment, may be
// empty) and a --log file in the temp folder, and waits up to 10 s until it
// has logged READY and service KAVRIN accepts a DDE connect. False, with the
// reason printed, when another KAVRIN server already answers, the host exits
// early or does not answer in time; the process is then stopped.
bool startStandInHost(StandInHost& host, const char* options);
// Closes the host's window (WM_CLOSE), waits up to 5 s, then terminates it;
// releases the process handle. Harmless on a host that was never started.
void stopStandInHost(StandInHost& host);
// True when the host exited within `timeoutMs`; `exitCode` is then its code.
bool waitForHostExit(const StandInHost& host, DWORD timeoutMs, DWORD& exitCode);
// The host's top-level window, or null.
HWND standInHostWindow(const StandInHost& host);

// ---- The host's event log -------------------------------------------------

// One "EXECUTE <WORD> status=..." line: the command word and the status it set.
struct HostCommandRecord {
    std::string word;
    std::string status;
};

// One "REQUEST ..." line: the status held and the reply sent (`replied`
// false for "reply=none").
struct HostRequestRecord {
    std::string status;
    bool replied = false;
    std::string reply;
};

// Every line of the log so far, without line ends.
std::vector<std::string> readHostLog(const StandInHost& host);
// The lines that begin with `prefix` (for instance "HOLD ", "SENT ").
std::vector<std::string> hostLogLinesStarting(const StandInHost& host, const char* prefix);
std::vector<HostCommandRecord> hostExecutedCommands(const StandInHost& host);
// A log line of a command ("HOLD ...") or status request ("REQUEST ...")
// that arrived while an earlier command was still held: exchanges that
// overlapped at the host.
struct HostOverlap {
    std::string arrived;
    std::string held;
};
std::vector<HostOverlap> hostOverlappingExchanges(const StandInHost& host);
std::vector<HostRequestRecord> hostStatusRequests(const StandInHost& host);
// The colour tables of the "RECEIVED" lines, 4 bytes an entry.
std::vector<std::vector<uint8_t>> hostReceivedPalettes(const StandInHost& host);
// Wait until the log holds at least `count` lines / a line starting with
// `prefix`; false when `timeoutMs` runs out first.
bool waitForHostLogLines(const StandInHost& host, size_t count, DWORD timeoutMs);
bool waitForHostLogLine(const StandInHost& host, const char* prefix, DWORD timeoutMs);
// Undoes the log's quoting ("..." with \" \\ \r \n \xNN); false when `quoted`
// is not such a text.
bool unquoteLogText(const std::string& quoted, std::string& text);

// ---- A plain DDEML client --------------------------------------------------

// The test process's one DDE conversation with the host.
struct DdeTestClient {
    DWORD instance = 0;
    HSZ service = nullptr;
    HSZ topic = nullptr;
    HSZ item = nullptr;
    HCONV conversation = nullptr;
    bool completed = false;       // an XTYP_XACT_COMPLETE arrived for the wait
    HDDEDATA completionData = nullptr; // its data: TRUE for an acknowledged execute
    bool disconnected = false;    // the host ended the conversation
    UINT lastError = 0;           // DdeGetLastError after a failed transaction
};

extern DdeTestClient ddeTestClient;

// Opens a DDEML client instance (once) and a conversation on `service` and
// `topic`; false when nobody answers.
bool connectTestClient(const char* service = "KAVRIN", const char* topic = "ImageServer");
// Ends the conversation and the instance.
void disconnectTestClient();
// Executes `command` asynchronously and waits, pumping messages, until it
// completes or `timeoutMs` runs out; true when it completed. Under Wine the
// transaction is then abandoned, since Wine's DDEML otherwise keeps it at the
// head of the queue and answers later transactions wrongly.
bool executeHostCommand(const char* command, DWORD timeoutMs = 10000);
// True while the conversation stands; pump messages first so that a close by
// the host has arrived.
bool testClientConnected();
// True when the last completed execute was acknowledged positively.
bool lastExecuteAcknowledged();
// Requests the status on "ImageServerItem" in CF_TEXT, synchronously, after
// dispatching whatever messages are queued for this thread. True
// with the reply's bytes up to its first NUL (all of them when it has none);
// false with ddeTestClient.lastError when the request fails.
bool requestHostStatus(std::string& reply, DWORD timeoutMs = 1000);
// Runs "SELECTCOLORLAYER" and "SENDPALETTE", each followed by a status
// request that must begin with "OK", and copies the CF_DIB block from the
// clipboard. False when a step fails or there is no CF_DIB.
bool fetchHostPalette(std::vector<uint8_t>& block);
// Puts `block` on the clipboard and runs "SELECTCOLORLAYER" and
// "RECEIVEPALETTE"; `status` gets the status reply after "RECEIVEPALETTE".
// False when a command does not complete or a status request fails.
bool sendHostPalette(const std::vector<uint8_t>& block, std::string& status);
// True when running under Wine.
bool runningUnderWine();

// ---- Message boxes ---------------------------------------------------------

struct SeenMessageBox {
    std::string caption;
    std::string text;
    DWORD processId = 0;
};

// Starts a background thread that finds visible message boxes (dialogs of
// class #32770 with a text control 0xFFFF and a message-box icon control) of
// this process, or of any process with `anyProcess`, records their caption
// and text and closes them with IDOK. Other dialogs are left alone.
bool startMessageBoxWatcher(bool anyProcess = false);
// Stops the thread; what it saw stays readable until the next start.
void stopMessageBoxWatcher();
std::vector<SeenMessageBox> messageBoxesSeen();
// "caption|text" of every box seen so far, for compact comparisons.
std::vector<std::string> boxesSeen();
// The boxes seen that process `processId` showed.
std::vector<SeenMessageBox> messageBoxesSeenFrom(DWORD processId);
// Waits until at least `count` boxes were seen; false on time-out.
bool waitForMessageBoxes(size_t count, DWORD timeoutMs);

// ---- Windows and processes ------------------------------------------------

// Waits until a visible top-level window titled exactly `title` exists; null
// on time-out.
HWND findTopLevelWindow(const char* title, DWORD timeoutMs);
// The same for a title that begins with `prefix`, of process `processId`
// (any process when 0).
HWND findTopLevelWindowStarting(const char* prefix, DWORD processId, DWORD timeoutMs);
// Starts `commandLine` with its standard output and error on a pipe and
// waits up to `timeoutMs` for it to end. True when it ended; `exitCode` and
// `output` are then filled. A process still running at the time-out is
// terminated.
bool runProcess(const std::string& commandLine, DWORD timeoutMs, DWORD& exitCode,
                std::string& output);
// Starts `commandLine` without waiting; false when it cannot be started.
bool launchProcess(const std::string& commandLine, PROCESS_INFORMATION& started);
// True when `process` ended within `timeoutMs`; `exitCode` is then its code.
bool waitForProcessExit(HANDLE process, DWORD timeoutMs, DWORD& exitCode);
// Pumps this thread's messages for `ms` milliseconds.
void pumpMessagesFor(DWORD ms);
