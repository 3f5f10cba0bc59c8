// The Wine-only steps of the stand-in host's DDE server. Wine's DDEML keeps
// three movable memory blocks of the server's for every command and status
// request, and a process has room for 65,536 of them: after about 21,800
// exchanges every allocation fails, and with it every later command and
// status request, in every conversation. Under Wine the host frees them
// itself; Windows frees them in its DDEML. All three are frees of blocks a
// later Wine might free itself (host_link/wine_dde_versions.h), so they run
// only in the releases they were checked against, decided once at start;
// the server needs no queue step. Under any other Wine the host works and
// only keeps those blocks. dde_server.cpp calls this unit at the three
// points below; on Windows each call does nothing.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <string>

// After the server's DDEML instance started: decides whether the steps
// apply, and logs one line saying they are off under an unchecked Wine.
void hostWineDdeServerStarted();

// First thing in every DDE callback: frees what the last status reply left.
void hostWineDdeCallbackEntered();

// The execute's data handle, once its text has been read.
void hostWineDdeCommandRead(HDDEDATA data);

// Last thing before the request callback returns `reply`, which carries
// `bytes`, on `conversation`.
void hostWineDdeReplyMade(HCONV conversation, HDDEDATA reply, const std::string& bytes);
