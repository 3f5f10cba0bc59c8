#include "host_conversation.h"

#include <cstdio>
#include <cstring>

#include "user_messages.h"
#include "wine_dde_compat.h"

const char* const kHostService = "KAVRIN";
const char* const kHostTopic = "ImageServer";
const char* const kHostItem = "ImageServerItem";
const char* const kSelectColorLayer = "SELECTCOLORLAYER";
const char* const kSendPaletteCommand = "SENDPALETTE";
const char* const kReceivePaletteCommand = "RECEIVEPALETTE";

HostLink hostLink;

static void freeNameHandles() {
    if (hostLink.service && hostLink.topic) {
        DdeFreeStringHandle(hostLink.instance, hostLink.service);
        DdeFreeStringHandle(hostLink.instance, hostLink.topic);
        hostLink.service = 0;
        hostLink.topic = 0;
    }
}

static HDDEDATA CALLBACK hostCallback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR data1,
                                      ULONG_PTR) {
    switch (type & 0xFFFF) {
        case XTYP_XACT_COMPLETE:
            // One flag serves every transaction: whichever completes ends the
            // wait that is running.
            hostLink.completionFlag = 1;
            wineDdeTransactionFinished(DWORD(data1));
            break;
        case XTYP_DISCONNECT:
            hostLink.conversation = 0;
            freeNameHandles();
            wineDdeConversationClosed();
            break;
        default:
            break;
    }
    return nullptr;
}

bool connectHost() {
    hostLink.callback = hostCallback;
    if (DdeInitializeA(&hostLink.instance, hostLink.callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return false;
    hostLink.service = DdeCreateStringHandleA(hostLink.instance, kHostService, CP_WINANSI);
    hostLink.topic = DdeCreateStringHandleA(hostLink.instance, kHostTopic, CP_WINANSI);
    hostLink.conversation = DdeConnect(hostLink.instance, hostLink.service, hostLink.topic, nullptr);
    if (hostLink.conversation) {
        wineDdeConversationOpened(hostLink.instance, hostLink.conversation);
        return true;
    }
    freeNameHandles();
    return false;
}

void disconnectHost() {
    wineDdeConversationClosed();
    if (hostLink.conversation) {
        DdeDisconnect(hostLink.conversation);
        hostLink.conversation = 0;
    }
    freeNameHandles();
    DdeUninitialize(hostLink.instance);
}

bool quitMessageHeld() { return hostLink.quitHeld; }

void beginProgramEnd() { hostLink.ending = true; }

bool programEnding() { return hostLink.ending; }

bool hostExchangeRunning() { return hostLink.exchangeRunning; }

bool beginHostExchange() {
    if (hostLink.exchangeRunning) return false;
    hostLink.exchangeRunning = true;
    return true;
}

void endHostExchange() { hostLink.exchangeRunning = false; }

// Dispatches one waiting message, if any. A quit message is held back
// instead (see quitMessageHeld); returns false when one was taken.
static bool pumpOneMessage() {
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return true;
    if (message.message == WM_QUIT) {
        hostLink.quitHeld = true;
        hostLink.ending = true;
        hostLink.quitCode = message.wParam;
        return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    return true;
}

// Waits until a completion sets the flag or 10 seconds have passed, sleeping
// on the message queue and dispatching every message that arrives: the
// DDE callback runs from them, and so do the window's own messages.
static void waitForCompletion() {
    const DWORD start = GetTickCount();
    while (!hostLink.completionFlag && !hostLink.quitHeld) {
        // Elapsed time in unsigned arithmetic stays right when the tick
        // counter wraps during the wait.
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed > kCommandTimeoutMs) break;
        if (!pumpOneMessage()) break;
        if (hostLink.completionFlag) break;
        MsgWaitForMultipleObjectsEx(0, nullptr, kCommandTimeoutMs - elapsed + 1, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

bool executeCommand(const char* command) {
    if (hostLink.ending) return false;
    HSZ item = DdeCreateStringHandleA(hostLink.instance, kHostItem, CP_WINANSI);
    DWORD transaction = 0;  // only the Wine steps look at it
    const bool started =
        DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                             DWORD(std::strlen(command) + 1), hostLink.conversation, item, CF_TEXT,
                             XTYP_EXECUTE, TIMEOUT_ASYNC, &transaction) != nullptr;
    wineDdeExecuteStarted(started, transaction);
    hostLink.completionFlag = 0;

    // A command that never started has no completion to wait for: the
    // conversation is gone or its window could not be reached.
    if (started) {
        ++hostLink.waitDepth;
        waitForCompletion();
        --hostLink.waitDepth;
        wineDdeTransactionFinished(transaction);
    }

    DdeFreeStringHandle(hostLink.instance, item);
    if (hostLink.waitDepth == 0 && hostLink.quitHeld) {
        hostLink.quitHeld = false;
        PostQuitMessage(int(hostLink.quitCode));
        return false;
    }
    return started && hostLink.completionFlag != 0 && !hostLink.ending;
}

bool requestStatus() {
    hostLink.replyBuffer[0] = '\0';
    HSZ item = DdeCreateStringHandleA(hostLink.instance, kHostItem, CP_WINANSI);
    HDDEDATA data = nullptr;
    UINT error = 0;
    for (int attempt = 0; attempt < kStatusAttempts; ++attempt) {
        wineDdeRequestStarting(item);
        data = DdeClientTransaction(nullptr, 0, hostLink.conversation, item, CF_TEXT, XTYP_REQUEST,
                                    kStatusRequestTimeoutMs, nullptr);
        wineDdeRequestFinished(item);
        if (data) {
            error = 0;
            break;
        }
        error = DdeGetLastError(hostLink.instance);
        if (error == 0) break;  // no data, but no error either: an empty reply
    }
    DdeFreeStringHandle(hostLink.instance, item);

    if (error != 0) {
        char text[kReplyBytes];
        std::snprintf(text, sizeof text, "DdeClientTransaction failed. DdeGetLastError: %i", int(error));
        showUserMessage(text, kDdeProblemCaption);
        return false;
    }
    DWORD size = data ? DdeGetData(data, nullptr, 0, 0) : 0;
    if (size > DWORD(kReplyBytes)) size = kReplyBytes;
    if (size > 0) DdeGetData(data, reinterpret_cast<LPBYTE>(hostLink.replyBuffer), size, 0);
    hostLink.replyBuffer[size] = '\0';

    // A reply that ends in CR LF loses both.
    const size_t length = std::strlen(hostLink.replyBuffer);
    if (length >= 2 && hostLink.replyBuffer[length - 2] == '\r') hostLink.replyBuffer[length - 2] = '\0';

    if (data) DdeFreeDataHandle(data);
    return true;
}

bool statusIsOk() {
    if (!requestStatus()) return false;
    if (hostLink.replyBuffer[0] == 'O' && hostLink.replyBuffer[1] == 'K') return true;
    showUserMessage(hostLink.replyBuffer, kHostSaidCaption);
    return false;
}
