// The DDEML server: answers connects to KAVRIN / "ImageServer" only, runs
// executes as command words and answers status requests on
// "ImageServerItem" in CF_TEXT. Commands are held unanswered (CBR_BLOCK) for
// --delay-ms and --never-complete.
#include "host_state.h"

#include <dde.h>

#include <algorithm>

#include "host_wine_dde_compat.h"
#include "log_format.h"

const char* const kServiceName = "KAVRIN";
const char* const kTopicName = "ImageServer";
const char* const kItemName = "ImageServerItem";

// The name a string handle stands for, for the log.
static std::string handleText(HSZ name) {
    char text[256] = "";
    if (name) DdeQueryStringA(host.ddeInstance, name, text, sizeof text, CP_WINANSI);
    return text;
}

// A command word as the log shows it: bare when it is one plain word.
static std::string logWord(const std::string& word) {
    bool plain = !word.empty();
    for (unsigned char c : word)
        if (c <= ' ' || c >= 0x7F || c == '"' || c == '\\') plain = false;
    return plain ? word : quoteLogText(word);
}

// The text of an execute, up to its terminating NUL.
static std::string commandText(HDDEDATA data) {
    if (!data) return std::string();
    const DWORD size = DdeGetData(data, nullptr, 0, 0);
    std::string text(size, '\0');
    if (size) DdeGetData(data, reinterpret_cast<LPBYTE>(&text[0]), size, 0);
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
}

static bool neverCompletes(const std::string& word) {
    const std::vector<std::string>& words = host.options.neverComplete;
    return std::find(words.begin(), words.end(), word) != words.end();
}

static HDDEDATA onConnect(HSZ topic, HSZ service) {
    if (DdeCmpStringHandles(service, host.service) == 0 &&
        DdeCmpStringHandles(topic, host.topic) == 0)
        return HDDEDATA(TRUE);
    logLine("CONNECT refused service=" + quoteLogText(handleText(service)) +
            " topic=" + quoteLogText(handleText(topic)));
    return nullptr;
}

static void onConnectConfirm() { logLine("CONNECT"); }

static void onDisconnect(HCONV conversation) {
    logLine("DISCONNECT");
    if (host.endPending && conversation == host.endingConversation) {
        // The client left before its last status request: an exit still
        // happens, a conversation to end is gone.
        if (host.commandsCompleted == host.options.exitAfter)
            PostMessageA(host.window, WM_APP_END_AFTER_COMMANDS, 0, 0);
        else
            host.endPending = false;
    }
    host.held.erase(std::remove_if(host.held.begin(), host.held.end(),
                                   [&](const HeldCommand& held) {
                                       if (held.conversation != conversation) return false;
                                       KillTimer(host.window, held.timer);
                                       return true;
                                   }),
                    host.held.end());
}

// Holds a command for --delay-ms; its timer completes it.
static void holdForDelay(HCONV conversation, const std::string& word) {
    const UINT_PTR timer = host.nextTimer++;
    host.held.push_back({timer, conversation});
    SetTimer(host.window, timer, host.options.delayMs, nullptr);
    logLine("HOLD " + logWord(word) + " ms=" + std::to_string(host.options.delayMs));
}

static HDDEDATA onExecute(HCONV conversation, HDDEDATA data) {
    const std::string word = commandText(data);
    hostWineDdeCommandRead(data);
    if (host.endPending) {
        // A command after the last one allowed ends the conversation unanswered.
        logLine("HOLD " + logWord(word) + " ms=never");
        PostMessageA(host.window, WM_APP_END_AFTER_COMMANDS, 0, 0);
        return HDDEDATA(CBR_BLOCK);
    }
    if (neverCompletes(word)) {
        // Wine's DDEML drops a transaction that blocks again while it is being
        // released, so this command stays unanswered either way.
        if (!host.releasingHeld) logLine("HOLD " + logWord(word) + " ms=never");
        return HDDEDATA(CBR_BLOCK);
    }
    if (host.options.delayMs && !host.releasingHeld) {
        holdForDelay(conversation, word);
        return HDDEDATA(CBR_BLOCK);
    }
    const bool known = runHostCommand(word);
    host.lastCommand = word;
    logLine("EXECUTE " + logWord(word) + " status=" + quoteLogText(host.status));
    showStatusChanged();
    ++host.commandsCompleted;
    if (host.commandsCompleted == host.options.exitAfter ||
        host.commandsCompleted == host.options.disconnectAfter) {
        host.endPending = true;
        host.endingConversation = conversation;
    }
    return HDDEDATA(UINT_PTR(known ? DDE_FACK : DDE_FNOTPROCESSED));
}

static HDDEDATA onRequest(HCONV conversation, UINT format, HSZ item) {
    if (DdeCmpStringHandles(item, host.item) != 0 || format != CF_TEXT) {
        logLine("REQUEST refused item=" + quoteLogText(handleText(item)) +
                " format=" + std::to_string(format));
        return nullptr;
    }
    // A slow host: the client's synchronous request waits, and messages sent
    // to its windows meanwhile are delivered inside that wait.
    if (host.options.statusDelayMs) Sleep(host.options.statusDelayMs);
    HDDEDATA reply = nullptr;
    std::string line = "REQUEST status=" + quoteLogText(host.status);
    // The reply carries its text and a terminating NUL, as CF_TEXT does.
    const std::string text = shapeStatusReply(host.options, host.status);
    const std::string bytes(text.c_str(), text.size() + 1);
    if (host.options.failStatus) {
        line += " reply=none";
    } else {
        reply = DdeCreateDataHandle(host.ddeInstance, reinterpret_cast<LPBYTE>(const_cast<char*>(bytes.data())),
                                    DWORD(bytes.size()), 0, host.item, CF_TEXT, 0);
        line += " reply=" + quoteLogText(text);
    }
    logLine(line);
    if (host.endPending) PostMessageA(host.window, WM_APP_END_AFTER_COMMANDS, 0, 0);
    hostWineDdeReplyMade(conversation, reply, bytes);
    return reply;
}

static HDDEDATA CALLBACK ddeCallback(UINT type, UINT format, HCONV conversation, HSZ hsz1,
                                     HSZ hsz2, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    hostWineDdeCallbackEntered();
    switch (type) {
    case XTYP_CONNECT: return onConnect(hsz1, hsz2);
    case XTYP_CONNECT_CONFIRM: onConnectConfirm(); return nullptr;
    case XTYP_DISCONNECT: onDisconnect(conversation); return nullptr;
    case XTYP_EXECUTE: return onExecute(conversation, data);
    case XTYP_REQUEST: return onRequest(conversation, format, hsz2);
    default: return nullptr;
    }
}

bool startDdeServer() {
    hostWineDdeServerStarted();
    const DWORD flags = APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_POKES |
                        CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS;
    const UINT initialised = DdeInitializeA(&host.ddeInstance, ddeCallback, flags, 0);
    if (initialised != DMLERR_NO_ERROR) {
        logLine("FAILED DDE initialisation error=" + std::to_string(initialised));
        host.ddeInstance = 0;
        return false;
    }
    host.service = DdeCreateStringHandleA(host.ddeInstance, kServiceName, CP_WINANSI);
    host.topic = DdeCreateStringHandleA(host.ddeInstance, kTopicName, CP_WINANSI);
    host.item = DdeCreateStringHandleA(host.ddeInstance, kItemName, CP_WINANSI);
    if (DdeNameService(host.ddeInstance, host.service, nullptr, DNS_REGISTER)) return true;
    logLine("FAILED DDE service registration error=" +
            std::to_string(DdeGetLastError(host.ddeInstance)));
    stopDdeServer();
    return false;
}

void stopDdeServer() {
    if (!host.ddeInstance) return;
    DdeNameService(host.ddeInstance, nullptr, nullptr, DNS_UNREGISTER);
    DdeFreeStringHandle(host.ddeInstance, host.service);
    DdeFreeStringHandle(host.ddeInstance, host.topic);
    DdeFreeStringHandle(host.ddeInstance, host.item);
    DdeUninitialize(host.ddeInstance);
    host.ddeInstance = 0;
}

void releaseHeldCommand(UINT_PTR timer) {
    KillTimer(host.window, timer);
    auto held = std::find_if(host.held.begin(), host.held.end(),
                             [&](const HeldCommand& h) { return h.timer == timer; });
    if (held == host.held.end()) return;
    const HCONV conversation = held->conversation;
    host.held.erase(held);
    // DDEML hands the held execute to the callback again, which now runs it.
    host.releasingHeld = true;
    DdeEnableCallback(host.ddeInstance, conversation, EC_ENABLEALL);
    host.releasingHeld = false;
}

// Ends a conversation from the server's side. Wine's DdeDisconnect does not
// do this for a server conversation, so the host then posts the DDE
// terminate message itself; the client answers it with its own, on which
// DDEML removes the conversation and reports XTYP_DISCONNECT here.
static void endConversation(HCONV conversation) {
    if (DdeDisconnect(conversation)) return;
    CONVINFO info = {};
    info.cb = sizeof info;
    if (DdeQueryConvInfo(conversation, QID_SYNC, &info))
        PostMessageA(info.hwndPartner, WM_DDE_TERMINATE, WPARAM(info.hwnd), 0);
}

void endAfterCommands() {
    if (!host.endPending) return;
    host.endPending = false;
    if (host.commandsCompleted == host.options.exitAfter) {
        logLine("END exit code=" + std::to_string(kExitAbrupt));
        TerminateProcess(GetCurrentProcess(), kExitAbrupt);
    }
    logLine("END conversation");
    endConversation(host.endingConversation);
    host.endingConversation = nullptr;
}
