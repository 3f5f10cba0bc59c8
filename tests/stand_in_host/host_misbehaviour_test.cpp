// The stand-in host's misbehaviours on request: late and missing
// completions, odd and failing status replies, ended conversations, an
// abrupt exit and missing or malformed clipboard blocks.
#include "host_fixture.h"

#include <string>

TEST_F(HostTest, StatusTextOptionsShapeTheReply) {
    struct Case {
        const char* options;
        std::string reply;
    };
    const Case cases[] = {
        // options                              reply the client receives
        {"", "OK\r\n"},
        {"--status-text=", ""},
        {"--status-text=K", "K"},
        {"--status-text=ok", "ok"},
        {"--status-text=OKAY", "OKAY"},
        {"\"--status-text=Layer busy\"", "Layer busy"},
        {"--status-text=OK\\r", "OK\r"},
        {"--status-length=10000", std::string(10000, 'O')},  // "OKOK...", checked below
        {"--status-text=Busy --status-length=10", "BusyBusyBu"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        ASSERT_TRUE(startHost(c.options));
        std::string reply;
        ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
        ASSERT_TRUE(requestHostStatus(reply));
        if (std::string(c.options) == "--status-length=10000") {
            ASSERT_EQ(10000u, reply.size());
            for (size_t i = 0; i < reply.size(); ++i)
                ASSERT_EQ(i % 2 ? 'K' : 'O', reply[i]) << "byte " << i;
        } else {
            EXPECT_EQ(c.reply, reply);
        }
        // A failure still says what went wrong.
        ASSERT_TRUE(executeHostCommand("NOSUCHWORD", 5000));
        ASSERT_TRUE(requestHostStatus(reply));
        EXPECT_EQ("Unknown command: NOSUCHWORD", reply);
        disconnectTestClient();
        stopStandInHost(host);
    }
}

TEST_F(HostTest, FailedStatusRequestReturnsNoData) {
    ASSERT_TRUE(startHost("--fail-status"));
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    EXPECT_TRUE(lastExecuteAcknowledged());
    std::string reply;
    EXPECT_FALSE(requestHostStatus(reply));
    EXPECT_EQ(UINT(DMLERR_NOTPROCESSED), ddeTestClient.lastError);
    // Commands go on completing.
    EXPECT_TRUE(executeHostCommand("SENDPALETTE", 5000));
    EXPECT_FALSE(requestHostStatus(reply));
    const std::vector<HostRequestRecord> requests = hostStatusRequests(host);
    ASSERT_EQ(2u, requests.size());
    EXPECT_FALSE(requests[0].replied);
    EXPECT_EQ("OK", requests[1].status);
}

TEST_F(HostTest, DelayedCommandsCompleteLateAndRequestsStillWork) {
    ASSERT_TRUE(startHost("--delay-ms=400"));
    std::string reply;
    const char* const commands[] = {"SELECTCOLORLAYER", "SENDPALETTE", "SELECTCOLORLAYER"};
    for (const char* command : commands) {
        const DWORD start = GetTickCount();
        ASSERT_TRUE(executeHostCommand(command, 5000)) << command;
        // The host's timer cannot run out sooner (allowing for tick granularity).
        EXPECT_GE(GetTickCount() - start, 350u) << command;
        ASSERT_TRUE(requestHostStatus(reply)) << command;
        EXPECT_EQ("OK\r\n", reply) << command;
    }
    EXPECT_EQ(3u, hostLogLinesStarting(host, "HOLD ").size());
    EXPECT_EQ(3u, hostExecutedCommands(host).size());

    // A client that gives up first still gets its later requests answered.
    EXPECT_FALSE(executeHostCommand("SELECTCOLORLAYER", 100));
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_EQ("OK\r\n", reply);
    EXPECT_TRUE(waitForHostLogLines(host, readHostLog(host).size() + 1, 2000));
    EXPECT_TRUE(executeHostCommand("SENDPALETTE", 5000));
}

TEST_F(HostTest, NeverCompletedCommandRunsOutTheWait) {
    ASSERT_TRUE(startHost("--never-complete=SENDPALETTE --never-complete=RECEIVEPALETTE"));
    std::string reply;
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_FALSE(executeHostCommand("SENDPALETTE", 1500));
    EXPECT_FALSE(executeHostCommand("RECEIVEPALETTE", 500));
    // Other commands and the status are still answered.
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_EQ("OK\r\n", reply);
    EXPECT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    const std::vector<std::string> held = hostLogLinesStarting(host, "HOLD ");
    ASSERT_EQ(2u, held.size());
    EXPECT_EQ("HOLD SENDPALETTE ms=never", held[0]);
    EXPECT_EQ("HOLD RECEIVEPALETTE ms=never", held[1]);
    for (const HostCommandRecord& command : hostExecutedCommands(host))
        EXPECT_EQ("SELECTCOLORLAYER", command.word);
}

TEST_F(HostTest, ConversationEndsAfterTheGivenCommands) {
    ASSERT_TRUE(startHost("--disconnect-after=2"));
    std::string reply;
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    ASSERT_TRUE(requestHostStatus(reply));
    ASSERT_TRUE(executeHostCommand("SENDPALETTE", 5000));
    ASSERT_TRUE(requestHostStatus(reply)) << "the status of the last command is still answered";
    EXPECT_EQ("OK\r\n", reply);
    const DWORD start = GetTickCount();
    while (testClientConnected() && GetTickCount() - start < 5000) pumpMessagesFor(10);
    EXPECT_FALSE(testClientConnected());
    EXPECT_FALSE(executeHostCommand("SELECTCOLORLAYER", 500));
    EXPECT_TRUE(waitForHostLogLine(host, "END conversation", 1000));
    // The host itself goes on and takes a new conversation.
    EXPECT_TRUE(connectTestClient());
    EXPECT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
}

TEST_F(HostTest, CommandPastTheLimitEndsTheConversationUnanswered) {
    ASSERT_TRUE(startHost("--disconnect-after=1"));
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    EXPECT_FALSE(executeHostCommand("SENDPALETTE", 2000));
    EXPECT_FALSE(testClientConnected());
    EXPECT_EQ(1u, hostExecutedCommands(host).size());
}

TEST_F(HostTest, HostExitsAbruptlyAfterTheGivenCommands) {
    ASSERT_TRUE(startHost("--exit-after=1"));
    std::string reply;
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_EQ("OK\r\n", reply);
    DWORD exitCode = 0;
    ASSERT_TRUE(waitForHostExit(host, 5000, exitCode));
    EXPECT_EQ(3u, exitCode);
    EXPECT_FALSE(executeHostCommand("SENDPALETTE", 500));
    EXPECT_FALSE(connectTestClient());
    const std::vector<std::string> log = readHostLog(host);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("END exit code=3", log.back());
}

TEST_F(HostTest, NoDibLeavesTheClipboardEmpty) {
    ASSERT_TRUE(startHost("--no-dib"));
    // Something stale on the clipboard must not pass for the palette.
    ASSERT_TRUE(putClipboardDib(nullptr, std::vector<uint8_t>(2088, 1)));
    std::vector<uint8_t> block;
    EXPECT_FALSE(fetchHostPalette(block));
    EXPECT_TRUE(block.empty());
    std::string reply;
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_EQ("OK\r\n", reply) << "the host claims success";
    EXPECT_EQ(1u, hostLogLinesStarting(host, "SENT none").size());
}

TEST_F(HostTest, MalformedBlocksHaveTheirFlaw) {
    struct Case {
        const char* kind;
        size_t bytes;
        uint16_t bitCount;
        int32_t height;
        uint32_t colours;
    };
    const Case cases[] = {
        // kind              block bytes           bits height colours
        {"zero-colours", 40 + 1024, 32, 16, 0},
        {"huge-colours", 40 + 1024 + 1024, 32, 16, 0x10000000},
        {"negative-height", 40 + 1024 + 1024, 32, -16, 256},
        {"small-pixels", 40 + 1024 + 256, 8, 16, 256},
        {"short", 24, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const std::string options = std::string("--malformed=") + c.kind;
        ASSERT_TRUE(startHost(options.c_str()));
        std::vector<uint8_t> block;
        ASSERT_TRUE(fetchHostPalette(block));
        ASSERT_EQ(c.bytes, block.size());
        if (c.bytes >= 40) {
            EXPECT_EQ(40u, readU32LE(&block[0]));
            EXPECT_EQ(c.bitCount, readU16LE(&block[14]));
            EXPECT_EQ(c.height, int32_t(readU32LE(&block[8])));
            EXPECT_EQ(c.colours, readU32LE(&block[32]));
        } else {
            EXPECT_EQ(40u, readU32LE(&block[0])) << "the header begins, then stops";
        }
        EXPECT_EQ(1u, hostLogLinesStarting(host, ("SENT bytes=" + std::to_string(c.bytes) +
                                                  " form=" + c.kind).c_str()).size());
        disconnectTestClient();
        stopStandInHost(host);
    }
}

TEST_F(HostTest, ClientLeavingFirstCancelsTheCloseButNotTheExit) {
    // --disconnect-after: the next client is not ended in the first one's place.
    ASSERT_TRUE(startHost("--disconnect-after=1"));
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    disconnectTestClient();
    ASSERT_TRUE(connectTestClient());
    std::string reply;
    ASSERT_TRUE(executeHostCommand("SENDPALETTE", 5000));
    ASSERT_TRUE(requestHostStatus(reply));
    EXPECT_EQ("OK\r\n", reply);
    pumpMessagesFor(200);
    EXPECT_TRUE(testClientConnected());
    EXPECT_TRUE(hostLogLinesStarting(host, "END").empty());
    disconnectTestClient();
    stopStandInHost(host);

    // --exit-after: the host exits all the same.
    ASSERT_TRUE(startHost("--exit-after=1"));
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    disconnectTestClient();
    DWORD exitCode = 0;
    ASSERT_TRUE(waitForHostExit(host, 5000, exitCode));
    EXPECT_EQ(3u, exitCode);
}

TEST_F(HostTest, CloseAndExitCountsWorkTogether) {
    ASSERT_TRUE(startHost("--disconnect-after=1 --exit-after=2"));
    std::string reply;
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    ASSERT_TRUE(requestHostStatus(reply));
    ASSERT_TRUE(waitForHostLogLine(host, "END conversation", 2000));
    ASSERT_TRUE(connectTestClient());
    ASSERT_TRUE(executeHostCommand("SELECTCOLORLAYER", 5000));
    ASSERT_TRUE(requestHostStatus(reply));
    DWORD exitCode = 0;
    ASSERT_TRUE(waitForHostExit(host, 5000, exitCode));
    EXPECT_EQ(3u, exitCode);
}
