// The plugin's DDE conversation with the host: connecting, commands and
// their completion, status replies and how they are judged and shown, the
// host ending the conversation, the quit message taken by a wait, and what a
// long session leaves behind.
#include "plugin_link_fixture.h"

#include <cstring>

#include "process_footprint.h"
#include "wine_dde_compat.h"
#include "wine_dde_versions.h"

TEST_F(PluginLinkTest, ConnectFailsWithoutAHostAndShowsNothing) {
    EXPECT_FALSE(connectHost());
    EXPECT_EQ(nullptr, hostLink.conversation);
    EXPECT_EQ(nullptr, hostLink.service) << "name handles are freed when the connect fails";
    EXPECT_EQ(nullptr, hostLink.topic);
    EXPECT_NE(0u, hostLink.instance) << "the DDEML instance stays initialised";
    pumpMessagesFor(200);
    EXPECT_TRUE(messageBoxesSeen().empty());
}

// Under the running release and under one outside the table of checked
// releases (pretended): the queue step runs under every Wine, so every
// exchange finishes either way, and only the frees depend on the table.
TEST_F(PluginLinkTest, CommandsCompleteAndStatusesAreOkOneAfterAnother) {
    for (const char* release : {static_cast<const char*>(nullptr), "99.0"}) {
        SCOPED_TRACE(release ? std::string("pretended Wine ") + release : "the running release");
        restart();
        pretendWineRelease(release);
        ASSERT_TRUE(connectPluginTo());
        if (runningUnderWine()) {
            EXPECT_TRUE(wineDdeQueueStepsActive());
            EXPECT_EQ(readWineDdeGate().freesChecked, wineDdeFreesActive());
            EXPECT_EQ(release == nullptr, wineDdeFreesActive());
        }
        // Several pairs in a row: each completed asynchronous transaction
        // must be released, or the next request is answered wrongly.
        for (int round = 0; round < 3; ++round) {
            for (const char* command : {kSelectColorLayer, kSendPaletteCommand}) {
                SCOPED_TRACE(command);
                ASSERT_TRUE(executeCommand(command));
                ASSERT_TRUE(statusIsOk());
                EXPECT_STREQ("OK", hostLink.replyBuffer) << "CR LF is trimmed";
            }
        }
        const std::vector<HostCommandRecord> commands = hostExecutedCommands(host);
        ASSERT_EQ(6u, commands.size());
        EXPECT_EQ("SELECTCOLORLAYER", commands[0].word);
        EXPECT_EQ("SENDPALETTE", commands[1].word);
        EXPECT_EQ(6u, hostStatusRequests(host).size());
        EXPECT_TRUE(messageBoxesSeen().empty());
    }
}

TEST_F(PluginLinkTest, EveryCommandWaitsForItsOwnCompletion) {
    // A slow host: a command must not pass for completed on an earlier
    // transaction's leftovers.
    ASSERT_TRUE(connectPluginTo("--delay-ms=600"));
    for (int round = 0; round < 2; ++round) {
        for (const char* command : {kSelectColorLayer, kSendPaletteCommand}) {
            SCOPED_TRACE(command);
            const DWORD start = GetTickCount();
            ASSERT_TRUE(executeCommand(command));
            EXPECT_GE(GetTickCount() - start, 550u) << "completed before the host answered";
            ASSERT_TRUE(statusIsOk());
        }
    }
}

TEST_F(PluginLinkTest, StatusRepliesAreTrimmedJudgedAndShown) {
    const std::string hundredX(100, 'x');
    std::string hundredOK;
    for (int i = 0; i < 50; ++i) hundredOK += "OK";
    struct Case {
        const char* options;
        bool ok;
        std::string reply;  // replyBuffer afterwards
    };
    const Case cases[] = {
        // host options                               ok?    reply kept
        {"--status-text=OK", true, "OK"},
        {"--status-text=OKAY", true, "OKAY"},
        {"--status-text=ok", false, "ok"},
        {"--status-text=", false, ""},
        {"--status-text=\\r", false, "\r"},           // one character: never trimmed
        {"--status-text=No\\r\\n", false, "No"},
        {"--status-text=OK\\rX", true, "OK"},         // CR second-to-last: cut there
        {"--status-length=10000", true, hundredOK},   // cut to its first 100 bytes
        {"--status-text=x --status-length=10000", false, hundredX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        restart();
        ASSERT_TRUE(connectPluginTo(c.options));
        ASSERT_TRUE(executeCommand(kSelectColorLayer));
        EXPECT_EQ(c.ok, statusIsOk());
        EXPECT_EQ(c.reply, std::string(hostLink.replyBuffer));
        if (c.ok) {
            pumpMessagesFor(100);
            EXPECT_TRUE(messageBoxesSeen().empty());
        } else {
            ASSERT_TRUE(waitForMessageBoxes(1, 5000));
            const std::vector<SeenMessageBox> boxes = messageBoxesSeen();
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ("Communication Error - Kavrin said:", boxes[0].caption);
            // The box shows the reply verbatim (a lone CR aside, which a
            // static control does not keep as typed).
            if (c.reply != "\r") {
                EXPECT_EQ(c.reply, boxes[0].text);
            }
        }
    }
}

TEST_F(PluginLinkTest, FailingStatusRequestShowsTheDdeProblemAfterFiveAttempts) {
    ASSERT_TRUE(connectPluginTo("--fail-status"));
    ASSERT_TRUE(executeCommand(kSelectColorLayer));
    EXPECT_FALSE(statusIsOk());
    EXPECT_STREQ("", hostLink.replyBuffer);
    EXPECT_EQ(std::vector<std::string>{"DDE Problem|DdeClientTransaction failed. DdeGetLastError: 16393"},
              boxesSeen())
        << "16393 is DMLERR_NOTPROCESSED";
    EXPECT_EQ(5u, hostStatusRequests(host).size());
}

TEST_F(PluginLinkTest, CommandTheHostNeverCompletesFailsAfterTenSeconds) {
    ASSERT_TRUE(connectPluginTo("--never-complete=SELECTCOLORLAYER"));
    const DWORD start = GetTickCount();
    EXPECT_FALSE(executeCommand(kSelectColorLayer));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 9900u) << "the wait gave up early";
    EXPECT_LT(elapsed, 14000u) << "the wait overran its limit";
    EXPECT_TRUE(messageBoxesSeen().empty()) << "the caller decides what to show";
}

TEST_F(PluginLinkTest, CommandsAfterOneThatTimedOutCompleteAndReadTheirStatus) {
    ASSERT_TRUE(connectPluginTo("--never-complete=SENDPALETTE"));
    EXPECT_FALSE(executeCommand(kSendPaletteCommand));
    // The abandoned wait must not spoil the conversation for what follows.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(executeCommand(kSelectColorLayer));
        EXPECT_TRUE(statusIsOk());
        EXPECT_STREQ("OK", hostLink.replyBuffer);
    }
    EXPECT_TRUE(messageBoxesSeen().empty());
}

TEST_F(PluginLinkTest, HostEndingTheConversationFailsLaterCommands) {
    ASSERT_TRUE(connectPluginTo("--disconnect-after=1"));
    ASSERT_TRUE(executeCommand(kSelectColorLayer));
    ASSERT_TRUE(statusIsOk());
    ASSERT_TRUE(waitForHostLogLine(host, "END conversation", 5000));
    pumpMessagesFor(200);
    // Windows reports the end through XTYP_DISCONNECT, which frees the names;
    // Wine's client is not told. Either way the names go together.
    EXPECT_EQ(hostLink.service == nullptr, hostLink.topic == nullptr);
    EXPECT_EQ(hostLink.conversation == nullptr, hostLink.service == nullptr);
    // Later commands fail; the plugin does not reconnect.
    EXPECT_FALSE(executeCommand(kSendPaletteCommand));
    disconnectHost();
    EXPECT_EQ(nullptr, hostLink.conversation);
    EXPECT_EQ(nullptr, hostLink.service);
    EXPECT_EQ(nullptr, hostLink.topic);
    EXPECT_EQ(1u, hostExecutedCommands(host).size());
    EXPECT_TRUE(messageBoxesSeen().empty());
}

namespace {

bool executeResult[2];

// Runs inside the outer command's wait: posts the quit message and starts
// a second command, whose wait takes it.
void CALLBACK quitDuringNestedCommand(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    PostQuitMessage(7);
    executeResult[1] = executeCommand(kSendPaletteCommand);
}

// How many quit messages wait in the queue, and the code of the last.
int takeQuitMessages(WPARAM& code) {
    int count = 0;
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        code = message.wParam;
        ++count;
    }
    return count;
}

}  // namespace

TEST_F(PluginLinkTest, QuitMessageTakenByAWaitEndsItAndIsPostedAgain) {
    ASSERT_TRUE(connectPluginTo("--delay-ms=3000"));
    PostQuitMessage(5);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(executeCommand(kSelectColorLayer));
    EXPECT_LT(GetTickCount() - start, 2500u) << "the wait went on after the quit message";
    EXPECT_FALSE(quitMessageHeld());
    WPARAM code = 0;
    EXPECT_EQ(1, takeQuitMessages(code));
    EXPECT_EQ(5u, code);
}

TEST_F(PluginLinkTest, QuitMessageInANestedWaitIsPostedOnceTheOutermostEnds) {
    ASSERT_TRUE(connectPluginTo("--delay-ms=2000"));
    SetTimer(nullptr, 0, 100, quitDuringNestedCommand);
    executeResult[0] = executeCommand(kSelectColorLayer);
    EXPECT_FALSE(executeResult[0]);
    EXPECT_FALSE(executeResult[1]);
    EXPECT_FALSE(quitMessageHeld());
    WPARAM code = 0;
    EXPECT_EQ(1, takeQuitMessages(code)) << "exactly one quit message, after the outer wait";
    EXPECT_EQ(7u, code);
}

// The heap records of this process: blocks in use in all its heaps.
static long heapBlocksInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    long blocks = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ++blocks;
        HeapUnlock(heaps[i]);
    }
    return blocks;
}

// The early warning for a new Wine. Wine's DDEML keeps movable memory
// blocks on both sides of an exchange and heap records in the plugin for
// every status reply (one of them arrives after the reply and is left only
// when no command waits, so each exchange is followed by the messages
// waiting, as in the plugin's message loop), which the plugin's and the
// host's Wine steps free; a process has room for 65,536 movable blocks.
// After 2,000 exchanges each process holds exactly as many movable blocks as
// before, and the plugin about as many heap records (other threads of this
// test come and go with a few). The count of movable blocks is checked first
// on blocks made here.
TEST_F(PluginLinkTest, ExchangesLeaveNoMovableMemoryBlocksInThePluginOrTheHost) {
    if (!runningUnderWine()) GTEST_SKIP() << "the count reads Wine's table of movable handles";
    ASSERT_TRUE(connectPluginTo());
    // A Wine outside the table of checked releases runs without the frees;
    // this test then shows whether that Wine still leaks.
    const WineDdeGate gate = readWineDdeGate();
    SCOPED_TRACE("Wine " + gate.version + ", checked releases: " + wineDdeCheckedReleases());
    EXPECT_TRUE(wineDdeQueueStepsActive());
    EXPECT_EQ(gate.freesChecked, wineDdeFreesActive());
    const auto exchange = [] {
        const bool done = executeCommand(kSelectColorLayer) && statusIsOk();
        pumpMessagesFor(0);
        return done;
    };
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(exchange()) << "warm-up exchange " << i;

    const long pluginBefore = countMovableHandles(GetCurrentProcess());
    const long hostBefore = countMovableHandles(host.process);
    ASSERT_GE(pluginBefore, 0) << "the plugin's movable handles cannot be counted";
    ASSERT_GE(hostBefore, 0) << "the host's movable handles cannot be counted";
    std::vector<HGLOBAL> blocks;
    for (int i = 0; i < 10; ++i) blocks.push_back(GlobalAlloc(GMEM_MOVEABLE, 16));
    EXPECT_EQ(pluginBefore + 10, countMovableHandles(GetCurrentProcess())) << "10 blocks made here";
    for (HGLOBAL block : blocks) GlobalFree(block);

    const long heapBlocksBefore = heapBlocksInUse();
    for (int i = 0; i < 2000; ++i) ASSERT_TRUE(exchange()) << "exchange " << i;
    EXPECT_EQ(pluginBefore, countMovableHandles(GetCurrentProcess())) << "movable blocks left in the plugin";
    EXPECT_EQ(hostBefore, countMovableHandles(host.process)) << "movable blocks left in the host";
    EXPECT_LT(heapBlocksInUse() - heapBlocksBefore, 20) << "heap records left in the plugin";
    EXPECT_TRUE(messageBoxesSeen().empty());
}

namespace {

// A second DDE conversation on this thread, as a test client holds one: its
// own DDEML instance, talking to the same host between, and inside, the
// plugin's exchanges. A window of this thread runs either side's exchange
// when a message posted to it is dispatched by the other side's wait.
constexpr UINT kRunOtherExchange = WM_APP + 1;
constexpr UINT kRunPluginExchange = WM_APP + 2;

struct SharedThread {
    HWND runner = nullptr;            // receives the two messages above
    HWND otherWindow = nullptr;       // the other conversation's window
    WNDPROC otherProcedure = nullptr; // DDEML's procedure for that window
    int otherExchanges = 0;           // completed with an "OK" status
    int pluginExchanges = 0;
    int otherBlocksSeen = 0;          // WM_DDE_ACK and WM_DDE_DATA it received
    int otherBlocksFreed = 0;         // ... whose lParam block was already gone
};
SharedThread shared;

bool otherExchange() {
    std::string status;
    const bool done = executeHostCommand("SELECTCOLORLAYER") && lastExecuteAcknowledged() &&
                      requestHostStatus(status) && status == "OK\r\n";
    if (done) ++shared.otherExchanges;
    return done;
}

bool pluginExchange() {
    const bool done = executeCommand(kSelectColorLayer) && statusIsOk();
    if (done) ++shared.pluginExchanges;
    return done;
}

LRESULT CALLBACK runExchange(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunOtherExchange) return otherExchange();
    if (message == kRunPluginExchange) return pluginExchange();
    return DefWindowProcA(window, message, wParam, lParam);
}

// Stands in front of DDEML's procedure for the other conversation's window.
// A WM_DDE_ACK or WM_DDE_DATA from the host carries its values in a block
// that the receiving conversation reads and frees; it must still be there
// when the message reaches that conversation.
LRESULT CALLBACK watchOtherConversation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DDE_ACK || message == WM_DDE_DATA) {
        ++shared.otherBlocksSeen;
        if (GlobalSize(HGLOBAL(lParam)) != 2 * sizeof(UINT_PTR)) ++shared.otherBlocksFreed;
    }
    return CallWindowProcA(shared.otherProcedure, window, message, wParam, lParam);
}

bool startSharedThread() {
    shared = SharedThread{};
    WNDCLASSA runnerClass = {};
    runnerClass.lpfnWndProc = runExchange;
    runnerClass.hInstance = GetModuleHandleA(nullptr);
    runnerClass.lpszClassName = "ExchangeRunner";
    RegisterClassA(&runnerClass);
    shared.runner = CreateWindowA("ExchangeRunner", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  runnerClass.hInstance, nullptr);
    CONVINFO info = {};
    info.cb = sizeof info;
    if (!shared.runner || !DdeQueryConvInfo(ddeTestClient.conversation, QID_SYNC, &info)) return false;
    shared.otherWindow = info.hwnd;
    shared.otherProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        shared.otherWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchOtherConversation)));
    return shared.otherProcedure != nullptr;
}

void stopSharedThread() {
    if (shared.otherProcedure && IsWindow(shared.otherWindow))
        SetWindowLongPtrA(shared.otherWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(shared.otherProcedure));
    if (shared.runner) DestroyWindow(shared.runner);
    shared.runner = nullptr;
    shared.otherProcedure = nullptr;
}

}  // namespace

// The plugin shares its thread with another conversation with the same host:
// each finishes its own exchanges, the other one's inside the plugin's
// command wait, on its own and around a plugin exchange that runs inside its
// command wait, and every acknowledgement and reply of the other
// conversation reaches it whole, none freed by the plugin's Wine steps.
TEST_F(PluginLinkTest, AnotherConversationOnThePluginsThreadKeepsItsOwnMessages) {
    ASSERT_TRUE(connectPluginTo());
    ASSERT_TRUE(connectTestClient());
    ASSERT_TRUE(startSharedThread());
    constexpr int kRounds = 20;
    int round = 0;
    for (; round < kRounds; ++round) {
        // The other conversation's exchange inside the plugin's command wait.
        PostMessageA(shared.runner, kRunOtherExchange, 0, 0);
        if (!pluginExchange()) break;
        pumpMessagesFor(0);
        // The other conversation on its own, with the plugin idle.
        if (!otherExchange()) break;
        pumpMessagesFor(0);
        // A plugin exchange inside the other conversation's command wait.
        PostMessageA(shared.runner, kRunPluginExchange, 0, 0);
        if (!otherExchange()) break;
        pumpMessagesFor(0);
    }
    // Wine's host follows each request's data with an acknowledgement, and
    // the last one may still be on its way.
    const DWORD start = GetTickCount();
    while (shared.otherBlocksSeen < 3 * kRounds * 2 && GetTickCount() - start < 5000) pumpMessagesFor(5);
    stopSharedThread();
    EXPECT_EQ(kRounds, round) << "an exchange failed in this round";
    EXPECT_EQ(3 * kRounds, shared.otherExchanges);
    EXPECT_EQ(2 * kRounds, shared.pluginExchanges);
    EXPECT_GE(shared.otherBlocksSeen, 3 * kRounds * 2) << "an acknowledgement and a reply an exchange";
    EXPECT_EQ(0, shared.otherBlocksFreed) << "blocks of the other conversation freed before it read them";
    EXPECT_EQ(size_t(5 * kRounds), hostExecutedCommands(host).size());
    EXPECT_TRUE(messageBoxesSeen().empty());
}

// The frees run only in the Wine releases of the one table; any other text
// that wine_get_version might give turns them off.
TEST(WineDdeVersions, OnlyTheCheckedReleasesTurnTheFreesOn) {
    struct Case {
        const char* text;
        bool parses;
        WineVersion version;
        bool checked;
    };
    const Case cases[] = {
        // wine_get_version  parses  version     checked
        {"8.0", true, {8, 0, 0}, true},       // Debian 12
        {"8.0.1", true, {8, 0, 1}, false},    // maintenance releases: not read yet
        {"8.0.2", true, {8, 0, 2}, false},
        {"8.1", true, {8, 1, 0}, false},      // development series
        {"7.0", true, {7, 0, 0}, false},
        {"9.0", true, {9, 0, 0}, false},      // not read
        {"10.0", true, {10, 0, 0}, true},     // Debian 13
        {"10.0.1", true, {10, 0, 1}, false},
        {"10.1", true, {10, 1, 0}, false},
        {"8.0-rc4", false, {8, 0, 0}, false}, // release candidates are not releases
        {"8", false, {8, 0, 0}, false},
        {"8.", false, {8, 0, 0}, false},
        {"8.0.", false, {8, 0, 0}, false},
        {"8.0 ", false, {8, 0, 0}, false},
        {"80000.0", false, {0, 0, 0}, false},
        {"", false, {0, 0, 0}, false},
        {nullptr, false, {0, 0, 0}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(null)");
        WineVersion version;
        ASSERT_EQ(c.parses, parseWineVersion(c.text, version));
        if (c.parses) {
            EXPECT_EQ(c.version.major, version.major);
            EXPECT_EQ(c.version.minor, version.minor);
            EXPECT_EQ(c.version.patch, version.patch);
        }
        EXPECT_EQ(c.checked, wineDdeFreesChecked(c.text));
    }
    EXPECT_EQ("8.0, 10.0", wineDdeCheckedReleases());
}
