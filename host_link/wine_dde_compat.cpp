#include "wine_dde_compat.h"

#include <dde.h>

#include <cstdio>
#include <cstring>

#include "wine_dde_versions.h"

namespace {

// An asynchronous transaction that Wine still holds in the conversation's
// queue, and whether it has finished.
struct QueuedTransaction {
    DWORD id;
    bool finished;
};

// A reply block that Wine copied into this process for the running request.
struct ReplyCopy {
    HGLOBAL block;
    SIZE_T size;
    DWORD head;  // the flag bits and the clipboard format
};

struct WineClientSteps {
    bool freesOffSaid;        // the line saying the frees are off was written (once per process)
    bool queueSteps;          // under Wine, with a conversation open
    bool frees;               // ... in a checked release, with the conversation's windows known
    DWORD instance;
    HCONV conversation;
    HWND window;              // the conversation's window (DdeQueryConvInfo's hwnd)
    HWND partner;             // the host's window (hwndPartner)
    QueuedTransaction queue[16];
    int queued;
    // An asynchronous transaction may sit in Wine's queue without a record
    // here: a post failed, Wine's id counter wrapped to 0 (which reads as "no
    // transaction"), or the record was full. The queue is then not known to
    // be empty, and no step that depends on it runs again.
    bool queueUnknown;
    bool requestRunning;      // inside the synchronous status request
    char item[256];           // the name of the requests' item
    bool requestAtEmptyQueue; // the queue was known empty when it started
    bool replyNameMade;       // Wine's request handler made a name for its reply
    UINT_PTR replyAtom;       // the item atom of the last reply, until its acknowledgement
    ReplyCopy copies[4];
    int copyCount;
    HHOOK hook;
};

WineClientSteps steps;

void sayFreesOffOnce(const WineDdeGate& gate) {
    if (steps.freesOffSaid) return;
    steps.freesOffSaid = true;
    std::fprintf(stderr, "%s\n", wineDdeFreesOffLine(gate, "the plugin's").c_str());
}

// True for a message that the host's window posted to the conversation's
// window: nothing else on this thread (another conversation, another
// program's) is ever touched.
bool betweenOurWindows(const MSG& message) {
    return message.hwnd == steps.window && reinterpret_cast<HWND>(message.wParam) == steps.partner;
}

// True when `atom`, a reply's item, names the item of the status requests:
// the host's item. Atoms, like DDE names, compare without regard to case.
bool namesOurItem(UINT_PTR atom) {
    if (atom < MAXINTATOM || atom > 0xFFFF) return false;  // not a string atom: a block's handle
    char name[256];
    return GlobalGetAtomNameA(ATOM(atom), name, sizeof name) != 0 && lstrcmpiA(name, steps.item) == 0;
}

bool queueKnownEmpty() { return steps.queued == 0 && !steps.queueUnknown; }

// ---- Finished asynchronous transactions (a queue step) ---------------------
// A queue step: it calls DdeAbandonTransaction on the plugin's own
// conversation with the id of its own finished execute, so it runs under
// every Wine. A Wine that removed a finished transaction itself would find
// no such id, and DdeAbandonTransaction then does nothing.
// Wine's DDEML (dde_client.c, WDML_HandleReply) matches every reply against
// the head of the conversation's queue only, and keeps a completed
// asynchronous transaction there: after one execute the next status request
// would time out although the host answered, and later executes would never
// complete. So every finished execute, completed or not waited for any
// longer, is removed with DdeAbandonTransaction. Transactions are released
// from the newest backwards and only once every newer one has finished too,
// so that no release frees an entry whose successor Wine's abandon loop
// still has to find through it: 8.0 and 10.0 take the next entry before
// freeing one, but a release that walks its queue the other way is safe
// too. The id is never 0, which would abandon every asynchronous
// transaction of the conversation.
void releaseFinished() {
    while (steps.queued > 0 && steps.queue[steps.queued - 1].finished) {
        DdeAbandonTransaction(steps.instance, steps.conversation, steps.queue[steps.queued - 1].id);
        --steps.queued;
    }
}

// ---- The reply's block and its item name (frees) ---------------------------
// Frees: they run only in the checked releases.
// For a WM_DDE_DATA from another process, unpack_dde_message (message.c)
// copies the host's block into this process; WDML_HandleRequestReply
// (dde_client.c) frees that copy only when its fRelease bit is set, which
// a Wine server never sets (WDML_DataHandle2Global, dde_misc.c). A process
// has room for 65,536 movable blocks. WDML_HandleRequestReply also makes a
// string handle of the reply's item (WDML_MakeHszFromAtom) and never frees
// it: a record on the heap and a reference to the item's atom.

// Reads the size and the first four bytes of `block`.
bool readReplyHead(HGLOBAL block, ReplyCopy& copy) {
    copy = {block, GlobalSize(block), 0};
    if (copy.size < sizeof copy.head) return false;
    const void* data = GlobalLock(block);
    if (!data) return false;
    std::memcpy(&copy.head, data, sizeof copy.head);
    GlobalUnlock(block);
    return true;
}

// A reply to the request, seen as the request's wait takes it from the queue.
void noteReply(const MSG& message) {
    UINT_PTR block = 0, item = 0;
    if (!UnpackDDElParam(WM_DDE_DATA, message.lParam, &block, &item) || !namesOurItem(item)) return;
    steps.replyAtom = item;
    // Wine's request handler takes the reply, and makes its name, only when
    // the request is at the head of the queue; the wait returns after the
    // first reply it takes.
    if (steps.requestAtEmptyQueue) steps.replyNameMade = true;
    ReplyCopy copy;
    DDEDATA flags = {};
    if (!block || steps.copyCount == int(sizeof steps.copies / sizeof steps.copies[0]) ||
        !readReplyHead(HGLOBAL(block), copy))
        return;
    std::memcpy(&flags, &copy.head, sizeof copy.head);
    if (flags.fResponse && !flags.fRelease) steps.copies[steps.copyCount++] = copy;
}

// Once the request has returned, DDEML is done with the reply: its copy is
// freed if it still has the size and head it had (a wrong guess only leaks),
// and the name Wine's request handler made is freed once (Wine keeps a record
// for every string handle made, and freeing one releases the newest record of
// that name).
void freeReplyLeftovers(HSZ item) {
    for (int i = 0; i < steps.copyCount; ++i) {
        ReplyCopy now;
        if (readReplyHead(steps.copies[i].block, now) && now.size == steps.copies[i].size &&
            now.head == steps.copies[i].head)
            GlobalFree(steps.copies[i].block);
    }
    if (steps.replyNameMade) DdeFreeStringHandle(steps.instance, item);
}

// ---- The acknowledgement after each reply (a free) ------------------------
// A free: it runs only in the checked releases.
// After every WM_DDE_DATA that answers a request, WDML_ServerHandleRequest
// (dde_server.c) also posts a positive WM_DDE_ACK naming the item. From
// another process it arrives as a heap block of two values that
// unpack_dde_message (message.c) allocates here. While a command waits,
// WDML_HandleExecuteReply (dde_client.c) frees it as a stray answer; with
// the queue empty WDML_HandleReply passes it by and nobody frees it: 48
// bytes of heap an apply. With the queue known to be empty DDEML does not
// read the message, so the block is freed here. The acknowledgement names
// the atom of the reply before it, whose reference WDML_HandleRequestReply
// has already released: it is known by its number, and left alone.
void freeStrayAcknowledgement(const MSG& message) {
    if (steps.requestRunning || !queueKnownEmpty()) return;
    const HGLOBAL block = HGLOBAL(message.lParam);
    UINT_PTR status = 0, item = 0;
    if (!block || !GlobalHandle(block) || GlobalSize(block) != 2 * sizeof(UINT_PTR) ||
        !UnpackDDElParam(WM_DDE_ACK, message.lParam, &status, &item))
        return;
    DDEACK acknowledgement = {};
    const WORD statusWord = LOWORD(status);
    std::memcpy(&acknowledgement, &statusWord, sizeof statusWord);
    if (!acknowledgement.fAck || !steps.replyAtom || item != steps.replyAtom) return;
    FreeDDElParam(WM_DDE_ACK, message.lParam);
    steps.replyAtom = 0;  // one acknowledgement follows each reply
}

// Sees every message this thread takes from its queue, before it is
// dispatched; acts only on the conversation's own.
LRESULT CALLBACK watchConversation(int code, WPARAM removal, LPARAM data) {
    const MSG& message = *reinterpret_cast<const MSG*>(data);
    if (code == HC_ACTION && removal == PM_REMOVE && steps.frees && betweenOurWindows(message)) {
        if (message.message == WM_DDE_DATA && steps.requestRunning) noteReply(message);
        if (message.message == WM_DDE_ACK) freeStrayAcknowledgement(message);
    }
    return CallNextHookEx(nullptr, code, removal, data);
}

}  // namespace

void wineDdeConversationOpened(DWORD instance, HCONV conversation) {
    wineDdeConversationClosed();
    const WineDdeGate gate = readWineDdeGate();
    if (!gate.underWine) return;
    steps.instance = instance;
    steps.conversation = conversation;
    steps.queueSteps = true;
    if (!gate.freesChecked) {
        sayFreesOffOnce(gate);
        return;
    }
    // Without the two windows no message can be told for the conversation's
    // own, so nothing is freed; the queue steps go on.
    CONVINFO info = {};
    info.cb = sizeof info;
    if (!DdeQueryConvInfo(conversation, QID_SYNC, &info) || !info.hwnd || !info.hwndPartner) return;
    steps.window = info.hwnd;
    steps.partner = info.hwndPartner;
    steps.hook = SetWindowsHookExA(WH_GETMESSAGE, watchConversation, nullptr, GetCurrentThreadId());
    steps.frees = steps.hook != nullptr;
}

void wineDdeConversationClosed() {
    if (steps.hook) UnhookWindowsHookEx(steps.hook);
    const bool freesOffSaid = steps.freesOffSaid;
    steps = WineClientSteps{};
    steps.freesOffSaid = freesOffSaid;
}

void wineDdeExecuteStarted(bool started, DWORD result) {
    if (!steps.queueSteps) return;
    const DWORD id = HIWORD(result);  // Wine keeps the id in the high word
    if (!started || id == 0 || steps.queued == int(sizeof steps.queue / sizeof steps.queue[0])) {
        // A failed post leaves the execute in Wine's queue (WDML_ClientHandle).
        steps.queueUnknown = true;
        return;
    }
    steps.queue[steps.queued++] = {id, false};
}

void wineDdeTransactionFinished(DWORD result) {
    if (!steps.queueSteps) return;
    const DWORD id = HIWORD(result);
    for (int i = 0; i < steps.queued; ++i)
        if (steps.queue[i].id == id) steps.queue[i].finished = true;
    releaseFinished();
}

void wineDdeRequestStarting(HSZ item) {
    if (!steps.frees) return;
    steps.requestRunning = true;
    steps.requestAtEmptyQueue = queueKnownEmpty();
    steps.replyNameMade = false;
    steps.copyCount = 0;
    if (!DdeQueryStringA(steps.instance, item, steps.item, sizeof steps.item, CP_WINANSI))
        steps.item[0] = '\0';
}

void wineDdeRequestFinished(HSZ item) {
    if (!steps.frees || !steps.requestRunning) return;
    steps.requestRunning = false;
    freeReplyLeftovers(item);
}

bool wineDdeQueueStepsActive() { return steps.queueSteps; }

bool wineDdeFreesActive() { return steps.frees; }
