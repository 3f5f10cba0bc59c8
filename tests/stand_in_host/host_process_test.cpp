// The stand-in host as a program: its help, its refusal of a bad command
// line, its window, a clean exit when the window closes, and a picture
// opened from a BMP file.
#include "host_fixture.h"

#include <cstdio>

#include "start_process.h"

namespace {

std::string quotedHostPath() { return "\"" + standInHostPath() + "\""; }

// Writes an 8-bit BMP of 8 x 4 pixels with `colours` entries (entry i has
// blue i, green 2i, red 3i) to a temp file and returns its path.
std::string writeTestBmp(int colours) {
    const std::vector<uint8_t> file = makeBmp({8, 4, 8, 0, uint32_t(colours), colours});
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "stand-in-test-" +
                             std::to_string(GetCurrentProcessId()) + ".bmp";
    FILE* out = fopen(path.c_str(), "wb");
    if (!out) return path;
    fwrite(file.data(), 1, file.size(), out);
    fclose(out);
    return path;
}

}  // namespace

TEST(HostProgram, HelpDescribesEveryOption) {
    DWORD exitCode = 99;
    std::string output;
    ASSERT_TRUE(runProcess(quotedHostPath() + " --help", 10000, exitCode, output));
    EXPECT_EQ(0u, exitCode);
    const char* const named[] = {"--log=", "--delay-ms=", "--never-complete=", "--status-text=",
                                 "--status-length=", "--fail-status", "--disconnect-after=",
                                 "--exit-after=", "--no-dib", "--malformed=", "short",
                                 "zero-colours", "huge-colours", "negative-height",
                                 "small-pixels", "--help"};
    for (const char* name : named)
        EXPECT_NE(std::string::npos, output.find(name)) << name << " is missing from --help";
}

TEST(HostProgram, BadCommandLineEndsWithCodeTwo) {
    const char* const cases[] = {"--delay-ms=soon", "--malformed=wobbly", "--frobnicate",
                                 "one.bmp two.bmp"};
    for (const char* args : cases) {
        DWORD exitCode = 99;
        std::string output;
        ASSERT_TRUE(runProcess(quotedHostPath() + " " + args, 10000, exitCode, output)) << args;
        EXPECT_EQ(2u, exitCode) << args;
        EXPECT_NE(std::string::npos, output.find("--help")) << args << ": " << output;
    }
}

// Started without standard output, as from Explorer, the host shows the
// refusal in a message box before it ends.
TEST(HostProgram, BadCommandLineWithoutOutputIsShownInAMessageBox) {
    ASSERT_TRUE(startMessageBoxWatcher(true));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;  // and no handles: no standard output
    std::string commandLine = quotedHostPath() + " --frobnicate";
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(startProcessRetrying(&commandLine[0], false, startup, started));
    DWORD exitCode = 99;
    EXPECT_TRUE(waitForProcessExit(started.hProcess, 10000, exitCode));
    EXPECT_EQ(2u, exitCode);
    const std::vector<SeenMessageBox> boxes = messageBoxesSeenFrom(started.dwProcessId);
    stopMessageBoxWatcher();
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("StandInKavrin", boxes[0].caption);
    EXPECT_NE(std::string::npos, boxes[0].text.find("--frobnicate")) << boxes[0].text;
}

TEST(HostProgram, UnreadablePictureEndsWithCodeFour) {
    const std::string log = standInHostPath() + ".unreadable.log";
    DWORD exitCode = 99;
    std::string output;
    ASSERT_TRUE(runProcess(quotedHostPath() + " \"--log=" + log + "\" Z:\\no\\such\\picture.bmp",
                           10000, exitCode, output));
    EXPECT_EQ(4u, exitCode);
    StandInHost finished;
    finished.logPath = log;
    const std::vector<std::string> lines = readHostLog(finished);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find("FAILED picture=Z:\\no\\such\\picture.bmp"));
    DeleteFileA(log.c_str());
}

TEST_F(HostTest, ClosingTheWindowEndsTheHostCleanly) {
    ASSERT_TRUE(startHost());
    HWND window = findTopLevelWindow("Kavrin (stand-in) - built-in landscape", 5000);
    ASSERT_NE(nullptr, window);
    PostMessageA(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 99;
    ASSERT_TRUE(waitForHostExit(host, 5000, exitCode));
    EXPECT_EQ(0u, exitCode);
    const std::vector<std::string> lines = readHostLog(host);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("END exit code=0", lines.back());
    disconnectTestClient();
    EXPECT_FALSE(connectTestClient()) << "the service is gone with the host";
}

TEST_F(HostTest, OpensAnEightBitBmp) {
    const std::string path = writeTestBmp(16);
    ASSERT_TRUE(startHost(("\"" + path + "\"").c_str()));
    const std::string fileName = path.substr(path.find_last_of('\\') + 1);
    EXPECT_NE(nullptr, findTopLevelWindow(("Kavrin (stand-in) - " + fileName).c_str(), 5000));
    EXPECT_EQ(1u, hostLogLinesStarting(host, ("READY picture=" + fileName +
                                              " colours=16 width=8 height=4").c_str()).size());
    std::vector<uint8_t> block;
    ASSERT_TRUE(fetchHostPalette(block));
    ASSERT_EQ(40u + 16 * 4 + 1024, block.size());
    EXPECT_EQ(16u, readU32LE(&block[32]));
    EXPECT_EQ(3 * 9, block[40 + 9 * 4 + 2]) << "red of colour 9";
    EXPECT_EQ(2 * 9, block[40 + 9 * 4 + 1]) << "green of colour 9";

    // A palette of the picture's own size is taken, one of 256 is not.
    std::vector<uint8_t> inverted = block;
    for (int i = 0; i < 16 * 4; ++i) inverted[40 + i] = uint8_t(~inverted[40 + i]);
    std::string status;
    ASSERT_TRUE(sendHostPalette(inverted, status));
    EXPECT_EQ("OK\r\n", status);
    std::vector<uint8_t> big(40 + 256 * 4 + 1024, 0);
    std::copy(block.begin(), block.begin() + 40, big.begin());
    big[32] = 0;
    big[33] = 1;  // biClrUsed 256
    ASSERT_TRUE(sendHostPalette(big, status));
    EXPECT_EQ("Palette has 256 colors, the picture has 16", status);
    const std::vector<std::vector<uint8_t>> received = hostReceivedPalettes(host);
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ(std::vector<uint8_t>(inverted.begin() + 40, inverted.begin() + 40 + 64), received[0]);
    stopStandInHost(host);
    DeleteFileA(path.c_str());
}
