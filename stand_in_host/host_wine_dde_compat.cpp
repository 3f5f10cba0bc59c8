#include "host_wine_dde_compat.h"

#include <dde.h>

#include <cstddef>
#include <cstring>

#include "host_state.h"
#include "log_format.h"
#include "wine_dde_versions.h"

namespace {

struct WineServerSteps {
    bool frees = false;            // decided once, at start
    // The last status reply: its data handle, the handle its WM_DDE_DATA
    // block is expected to get (null when that block is not the host's to
    // free), and its bytes.
    HDDEDATA replyHandle = nullptr;
    HGLOBAL replyBlock = nullptr;
    std::string replyBytes;
};

WineServerSteps steps;

bool handleHoldsReply(HDDEDATA reply) {
    std::string held(steps.replyBytes.size(), '\0');
    return DdeGetData(reply, nullptr, 0, 0) == steps.replyBytes.size() &&
           DdeGetData(reply, reinterpret_cast<LPBYTE>(&held[0]), DWORD(held.size()), 0) == held.size() &&
           held == steps.replyBytes;
}

// A WM_DDE_DATA block: the DDEDATA head, then the bytes.
bool blockHoldsReply(HGLOBAL block) {
    const size_t head = offsetof(DDEDATA, Value);
    if (GlobalSize(block) != head + steps.replyBytes.size()) return false;
    const char* data = static_cast<const char*>(GlobalLock(block));
    if (!data) return false;
    DDEDATA flags = {};
    std::memcpy(&flags, data, head);
    const bool holds = flags.fResponse && !flags.fRelease && flags.cfFormat == CF_TEXT &&
                       std::memcmp(data + head, steps.replyBytes.data(), steps.replyBytes.size()) == 0;
    GlobalUnlock(block);
    return holds;
}

// True when the conversation's client window belongs to another process.
// Only then is a block that still holds exactly the reply known to be the
// host's: post_dde_message (message.c) copies the WM_DDE_DATA block into the
// client's process and keeps the original. A client in this process gets
// its copy in this process's own table of movable blocks, with the same size
// and the same bytes, so a wrong guess could free the client's block while
// it still reads it instead of only leaking.
bool clientInAnotherProcess(HCONV conversation) {
    CONVINFO info = {};
    info.cb = sizeof info;
    DWORD client = 0;
    return DdeQueryConvInfo(conversation, QID_SYNC, &info) && info.hwndPartner &&
           GetWindowThreadProcessId(info.hwndPartner, &client) && client != GetCurrentProcessId();
}

}  // namespace

void hostWineDdeServerStarted() {
    const WineDdeGate gate = readWineDdeGate();
    steps = WineServerSteps{};
    steps.frees = gate.freesChecked;
    if (gate.underWine && !gate.freesChecked)
        logLine("WINE frees=off version=" + quoteLogText(gate.version) +
                " checked=" + quoteLogText(wineDdeCheckedReleases()));
}

// WDML_ServerHandleExecute (dde_server.c) makes a data handle of the command
// text for the callback and never frees it, so the host frees it once it has
// read the text.
void hostWineDdeCommandRead(HDDEDATA data) {
    if (steps.frees && data) DdeFreeDataHandle(data);
}

// WDML_ServerHandleRequest (dde_server.c) frees the reply handle that the
// callback returns only when posting WM_DDE_DATA fails, and the WM_DDE_DATA
// block that WDML_DataHandle2Global (dde_misc.c) makes from it (fResponse
// set, fRelease clear) is copied into the client's process by
// post_dde_message (message.c) and never freed. Both come into being after
// the callback has returned, so they are freed at the next callback. Wine
// hands out the most recently freed movable handle first, so a block
// allocated and freed just before the callback returns tells which handle
// the WM_DDE_DATA block will get. Each is freed only while it still holds
// exactly the reply, so that a wrong guess only leaks.
void hostWineDdeReplyMade(HCONV conversation, HDDEDATA reply, const std::string& bytes) {
    if (!steps.frees || !reply) return;
    steps.replyHandle = reply;
    steps.replyBytes = bytes;
    steps.replyBlock = nullptr;
    if (!clientInAnotherProcess(conversation)) return;
    steps.replyBlock = GlobalAlloc(GMEM_MOVEABLE, 1);
    GlobalFree(steps.replyBlock);
}

void hostWineDdeCallbackEntered() {
    if (!steps.frees) return;
    if (steps.replyHandle && handleHoldsReply(steps.replyHandle)) DdeFreeDataHandle(steps.replyHandle);
    if (steps.replyBlock && blockHoldsReply(steps.replyBlock)) GlobalFree(steps.replyBlock);
    steps.replyHandle = nullptr;
    steps.replyBlock = nullptr;
}
