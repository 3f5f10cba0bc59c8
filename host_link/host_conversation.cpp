#include "host_conversation.h"

#include <dde.h>

#include <cstdio>
#include <cstring>

#include "user_messages.h"

const char* const kHostService = "KAVRIN";
const char* const kHostTopic = "ImageServer";
const char* const kHostItem = "ImageServerItem";
const char* const kSelectColorLayer = "SELECTCOLORLAYER";
const char* const kSendPaletteCommand = "SENDPALETTE";
const char* const kReceivePaletteCommand = "RECEIVEPALETTE";

HostLink hostLink;

// ---------------------------------------------------------------------------
// Wine compatibility. Wine's DDEML leaves a completed asynchronous transaction
// at the head of the conversation's queue and matches every later reply
// against that head only, so after one asynchronous execute the next status
// request times out and later executes never complete. Under Wine each
// finished transaction is therefore released with DdeAbandonTransaction:
// a completed one, and one whose wait ran out (left queued, it would take
// every later reply for its own; released, its late reply ends the wait of
// the next command, as it would on Windows). Wine gives the transaction id in
// the high word of the callback's data and of the result word, and its
// abandon loop is only safe for the last transaction in the queue, so a
// transaction that finishes while a newer one is still queued (an execute
// nested through the message pump) is released after that one. Windows needs
// none of this.
namespace wine_shim {

bool runningUnderWine() {
    static const int underWine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") ? 1 : 0;
    }();
    return underWine != 0;
}

// The asynchronous transactions started and not yet released, and which of
// them have finished.
struct QueuedTransaction {
    DWORD id;
    bool finished;
};
QueuedTransaction queue[16];
int queued = 0;

// Releases finished transactions from the newest backwards: the newest is
// the last in Wine's queue, which its abandon loop handles safely.
void releaseFinished(HCONV conversation) {
    while (queued > 0 && queue[queued - 1].finished) {
        DdeAbandonTransaction(hostLink.instance, conversation, queue[queued - 1].id);
        --queued;
    }
}

// Set when an asynchronous transaction went into Wine's queue unnoted: the
// queue is full, or Wine's transaction counter wrapped round to id 0, which
// reads as "no transaction". The queue is then no longer known to be empty.
bool untrackedTransaction = false;

void noteStarted(DWORD id) {
    if (!runningUnderWine()) return;
    if (id == 0 || queued == int(sizeof queue / sizeof queue[0])) {
        untrackedTransaction = true;
        return;
    }
    queue[queued++] = {id, false};
}

void noteFinished(HCONV conversation, DWORD id) {
    if (!runningUnderWine()) return;
    for (int i = 0; i < queued; ++i)
        if (queue[i].id == id) queue[i].finished = true;
    releaseFinished(conversation);
}

// A closed conversation takes its transactions with it.
void forgetAll() {
    queued = 0;
    untrackedTransaction = false;
}

// Each status request also leaves two things behind in Wine's DDEML, which
// WDML_HandleRequestReply (dde_client.c) makes from every WM_DDE_DATA it reads
// and never frees:
// - the copy of the host's WM_DDE_DATA block that unpack_dde_message
//   (message.c) makes when the message comes from another process; it is
//   freed only when its fRelease bit is set, and a Wine server's reply never
//   has it (WDML_DataHandle2Global, dde_misc.c). A process has room for
//   65,536 movable blocks; after that every transaction fails.
// - a string handle of the reply's item name (WDML_MakeHszFromAtom): a
//   record on the process heap and a reference to the item's atom.
// So a message hook notes the WM_DDE_DATA messages from another process's
// window as the request's wait takes them from the queue. Once the request
// has returned, DDEML is done with them: each copy with fResponse set and
// fRelease clear is freed if it still has the size and head it had (a wrong
// guess only leaks), and for each reply the item's string handle is freed
// once more (Wine keeps a record for every string handle made; freeing one
// releases the newest record of that name).
struct ReplyCopy {
    HGLOBAL block;
    SIZE_T size;
    DWORD head;  // the flag bits and the clipboard format
};
ReplyCopy replyCopies[8];
int replyCopyCount = 0;
int repliesRead = 0;          // WM_DDE_DATA messages taken during the request
bool requestRunning = false;  // inside DdeClientTransaction(XTYP_REQUEST)
HHOOK replyHook = nullptr;

bool readReplyHead(HGLOBAL block, ReplyCopy& copy) {
    copy = {block, GlobalSize(block), 0};
    if (copy.size < sizeof copy.head) return false;
    const void* data = GlobalLock(block);
    if (!data) return false;
    std::memcpy(&copy.head, data, sizeof copy.head);
    GlobalUnlock(block);
    return true;
}

void noteReply(const MSG& message) {
    DWORD sender = 0;
    if (!requestRunning || !GetWindowThreadProcessId(reinterpret_cast<HWND>(message.wParam), &sender) ||
        sender == GetCurrentProcessId())
        return;
    ++repliesRead;
    UINT_PTR block = 0, item = 0;
    ReplyCopy copy;
    if (replyCopyCount == int(sizeof replyCopies / sizeof replyCopies[0]) ||
        !UnpackDDElParam(WM_DDE_DATA, message.lParam, &block, &item) || !block ||
        !readReplyHead(HGLOBAL(block), copy))
        return;
    DDEDATA flags = {};
    std::memcpy(&flags, &copy.head, sizeof copy.head);
    if (flags.fResponse && !flags.fRelease) replyCopies[replyCopyCount++] = copy;
}

// After every WM_DDE_DATA that answers a request, Wine's server side
// (WDML_ServerHandleRequest, dde_server.c) also posts a positive WM_DDE_ACK
// that names the item. From another process it arrives as a heap block of two
// values, which unpack_dde_message (message.c) allocates in this process.
// When a command is waiting, WDML_HandleExecuteReply (dde_client.c) frees it
// as a stray answer; when none is, which is the case once an apply has ended,
// WDML_HandleReply passes it by and nobody frees it: 48 bytes of the process
// heap for every apply. With no transaction queued DDEML does not read the
// message, so the hook frees such a block itself. The item's atom is left
// alone: the server added no reference for it.
void freeStrayAcknowledgement(const MSG& message) {
    DWORD sender = 0;
    if (requestRunning || queued != 0 || untrackedTransaction ||
        !GetWindowThreadProcessId(reinterpret_cast<HWND>(message.wParam), &sender) ||
        sender == GetCurrentProcessId())
        return;
    const HGLOBAL block = HGLOBAL(message.lParam);
    UINT_PTR status = 0, item = 0;
    if (!block || !GlobalHandle(block) || GlobalSize(block) != 2 * sizeof(UINT_PTR) ||
        !UnpackDDElParam(WM_DDE_ACK, message.lParam, &status, &item))
        return;
    DDEACK acknowledgement = {};
    const WORD statusWord = LOWORD(status);
    std::memcpy(&acknowledgement, &statusWord, sizeof statusWord);
    const bool itemAtom = item >= MAXINTATOM && item <= 0xFFFF;  // an execute's answer names a block
    if (acknowledgement.fAck && itemAtom) FreeDDElParam(WM_DDE_ACK, message.lParam);
}

LRESULT CALLBACK watchForReplies(int code, WPARAM removal, LPARAM data) {
    const MSG& message = *reinterpret_cast<const MSG*>(data);
    if (code == HC_ACTION && removal == PM_REMOVE && message.message == WM_DDE_DATA) noteReply(message);
    if (code == HC_ACTION && removal == PM_REMOVE && message.message == WM_DDE_ACK)
        freeStrayAcknowledgement(message);
    return CallNextHookEx(nullptr, code, removal, data);
}

void startWatchingForReplies() {
    if (runningUnderWine() && !replyHook)
        replyHook = SetWindowsHookExA(WH_GETMESSAGE, watchForReplies, nullptr, GetCurrentThreadId());
}

void stopWatchingForReplies() {
    if (replyHook) UnhookWindowsHookEx(replyHook);
    replyHook = nullptr;
}

// Runs the status request on `item`.
HDDEDATA requestOnItem(HSZ item) {
    requestRunning = replyHook != nullptr;
    replyCopyCount = 0;
    repliesRead = 0;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, hostLink.conversation, item, CF_TEXT, XTYP_REQUEST,
                                         kStatusRequestTimeoutMs, nullptr);
    requestRunning = false;
    for (int i = 0; i < replyCopyCount; ++i) {
        ReplyCopy now;
        if (readReplyHead(replyCopies[i].block, now) && now.size == replyCopies[i].size &&
            now.head == replyCopies[i].head)
            GlobalFree(replyCopies[i].block);
    }
    for (int i = 0; i < repliesRead; ++i) DdeFreeStringHandle(hostLink.instance, item);
    return data;
}

}  // namespace wine_shim
// ---------------------------------------------------------------------------

static void freeNameHandles() {
    if (hostLink.service && hostLink.topic) {
        DdeFreeStringHandle(hostLink.instance, hostLink.service);
        DdeFreeStringHandle(hostLink.instance, hostLink.topic);
        hostLink.service = 0;
        hostLink.topic = 0;
    }
}

static HDDEDATA CALLBACK hostCallback(UINT type, UINT, HCONV conversation, HSZ, HSZ, HDDEDATA,
                                      ULONG_PTR data1, ULONG_PTR) {
    switch (type & 0xFFFF) {
        case XTYP_XACT_COMPLETE:
            // One flag serves every transaction: whichever completes ends the
            // wait that is running.
            hostLink.completionFlag = 1;
            wine_shim::noteFinished(conversation, HIWORD(data1));
            break;
        case XTYP_DISCONNECT:
            hostLink.conversation = 0;
            freeNameHandles();
            wine_shim::forgetAll();
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
        wine_shim::startWatchingForReplies();
        return true;
    }
    freeNameHandles();
    return false;
}

void disconnectHost() {
    if (hostLink.conversation) {
        DdeDisconnect(hostLink.conversation);
        hostLink.conversation = 0;
    }
    freeNameHandles();
    wine_shim::forgetAll();
    wine_shim::stopWatchingForReplies();
    DdeUninitialize(hostLink.instance);
}

bool quitMessageHeld() { return hostLink.quitHeld; }

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
    if (hostLink.quitHeld) return false;  // the program is ending
    HSZ item = DdeCreateStringHandleA(hostLink.instance, kHostItem, CP_WINANSI);
    DWORD transaction = 0;  // only the Wine compatibility code looks at it
    const bool started =
        DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(command)),
                             DWORD(std::strlen(command) + 1), hostLink.conversation, item, CF_TEXT,
                             XTYP_EXECUTE, TIMEOUT_ASYNC, &transaction) != nullptr;
    if (hostLink.conversation && started) wine_shim::noteStarted(HIWORD(transaction));
    hostLink.completionFlag = 0;

    ++hostLink.waitDepth;
    waitForCompletion();
    --hostLink.waitDepth;
    if (hostLink.conversation && transaction) wine_shim::noteFinished(hostLink.conversation, HIWORD(transaction));

    DdeFreeStringHandle(hostLink.instance, item);
    if (hostLink.waitDepth == 0 && hostLink.quitHeld) {
        hostLink.quitHeld = false;
        PostQuitMessage(int(hostLink.quitCode));
        return false;
    }
    return hostLink.completionFlag != 0 && !hostLink.quitHeld;
}

bool requestStatus() {
    hostLink.replyBuffer[0] = '\0';
    HSZ item = DdeCreateStringHandleA(hostLink.instance, kHostItem, CP_WINANSI);
    HDDEDATA data = nullptr;
    UINT error = 0;
    for (int attempt = 0; attempt < kStatusAttempts; ++attempt) {
        data = wine_shim::requestOnItem(item);
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
