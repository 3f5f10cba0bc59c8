// The Wine-only steps of the plugin's DDE conversation with the host. Wine's
// DDEML keeps a finished asynchronous transaction at the head of the
// conversation's queue, and leaves memory behind on every status reply; the
// conversation code (host_conversation.cpp) is plain DDEML and calls this
// unit at the few points where Wine needs a step more. Whether the steps
// apply is decided once, at connect: under Wine, in a release they were
// checked against (wine_dde_versions.h). Each step frees only what it can
// prove belongs to the plugin's conversation: messages between its window
// and the host's, the host's item, and a transaction queue known to be
// empty. On Windows every call here does nothing.
#pragma once

#include <windows.h>
#include <ddeml.h>

// After DdeConnect succeeded: decides whether the steps apply and, if so,
// takes the conversation's window and the host's from DdeQueryConvInfo. Under
// an unchecked Wine writes one line saying the steps are off to standard
// error.
void wineDdeConversationOpened(DWORD instance, HCONV conversation);

// The conversation is closing or has been closed by the host: its queue and
// windows are gone, and so are the steps.
void wineDdeConversationClosed();

// After DdeClientTransaction started an asynchronous execute: `started` is
// its result, `result` the result word it filled.
void wineDdeExecuteStarted(bool started, DWORD result);

// An asynchronous transaction is done with: its XTYP_XACT_COMPLETE arrived
// (`result` is the callback's dwData1) or its wait ran out (`result` is the
// result word of wineDdeExecuteStarted).
void wineDdeTransactionFinished(DWORD result);

// Right before and right after each synchronous status request on `item`.
void wineDdeRequestStarting(HSZ item);
void wineDdeRequestFinished(HSZ item);

// True while the steps apply to an open conversation (for tests).
bool wineDdeStepsActive();
