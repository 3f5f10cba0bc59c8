// The Wine-only steps of the plugin's DDE conversation with the host. Wine's
// DDEML keeps a finished asynchronous transaction at the head of the
// conversation's queue, and leaves memory behind on every status reply; the
// conversation code (host_conversation.cpp) is plain DDEML and calls this
// unit at the few points where Wine needs a step more. There are two kinds
// (wine_dde_versions.h): the queue step, abandoning the plugin's own
// finished transactions, runs under every Wine, since without it no
// exchange after the first one finishes; the frees run only in the releases
// they were checked against. Each free touches only what it can prove
// belongs to the plugin's conversation: messages between its window and the
// host's, the host's item, and a transaction queue known to be empty. On
// Windows every call here does nothing.
#pragma once

#include <windows.h>
#include <ddeml.h>

// After DdeConnect succeeded: decides which steps apply and, for the frees,
// takes the conversation's window and the host's from DdeQueryConvInfo.
// Under a Wine outside the checked releases writes one line, once per
// process, saying the frees are off to standard error.
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

// For tests: true while the queue step, and the frees, apply to an open
// conversation.
bool wineDdeQueueStepsActive();
bool wineDdeFreesActive();
