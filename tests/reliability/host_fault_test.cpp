// The plugin program when its host fails in the middle of a session: the host
// killed, the host ending the conversation, and a host that answers only
// after the plugin's wait for it has run out. Whatever the host does, the
// change that meets the fault reports it in a message box, the window stays
// usable and the exit command still ends the program with code 0.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plugin_process.h"
#include "process_footprint.h"
#include "soak_session.h"
#include "test_support.h"

namespace {

// The captions a failing change may show on its way: the status request's,
// the host's own reply, and the send's or fetch's.
const char* const kKnownCaptions[] = {kPluginCaption, kDdeProblemCaption, kHostSaidCaption};

// CyanRed's trackbar positions: the change that reaches the host, and the
// one that meets the fault.
constexpr int kFirstPosition = 320;   // +0.25
constexpr int kFaultPosition = 384;   // +0.50
constexpr int kCentrePosition = 256;  // 0, where every other range stands

bool knownCaption(const std::string& caption) {
    for (const char* known : kKnownCaptions)
        if (caption == known) return true;
    return false;
}

class PluginHostFaults : public ::testing::Test {
protected:
    StandInHost host;
    PluginRun run;
    bool hostStopped = false;  // the host's threads are suspended
    size_t connectsAtStart = 0;  // conversations the host had opened once the plugin ran

    void TearDown() override {
        if (hostStopped) resumeProcessThreads(host.processId);
        run.stop();
        stopMessageBoxWatcher();
        stopStandInHost(host);
    }

    void startSession(const char* hostOptions) {
        ASSERT_TRUE(startStandInHost(host, hostOptions));
        ASSERT_TRUE(startMessageBoxWatcher(true));
        ASSERT_TRUE(run.start(PluginBuild::Real)) << "the plugin window did not open";
        connectsAtStart = hostLogLinesStarting(host, "CONNECT").size();
    }

    HWND cyanRed() const { return run.controls.balanceTrackbars[0]; }

    // A change before the fault, which reaches the host: the session works.
    void changeReachingTheHost() {
        const size_t before = palettesReceived(host);
        ASSERT_TRUE(moveTrackbar(run, cyanRed(), kFirstPosition));
        ASSERT_TRUE(waitForPalettesReceived(host, before + 1, 10000)) << "the first change did not reach the host";
    }

    // Moves CyanRed without waiting for the handler, whose apply may wait for
    // the host, and returns once the info line shows the move.
    void postChange(int position) {
        ASSERT_TRUE(postTrackbarMove(run, cyanRed(), position));
        const std::string shown = infoLineWithCyanRed(All, position);
        ASSERT_TRUE(waitUntil([&] { return windowText(run.controls.infoLine) == shown; }, 10000))
            << "the window did not take the move to " << position << "; info line: "
            << windowText(run.controls.infoLine);
    }

    std::vector<SeenMessageBox> pluginBoxes() { return messageBoxesSeenFrom(run.process.dwProcessId); }

    bool boxShown(const char* text) {
        for (const SeenMessageBox& box : pluginBoxes())
            if (box.text == text) return true;
        return false;
    }

    // Waits for the plugin's box with `text` under "Color Balance Plugin
    // says:"; every box the plugin showed must have one of its captions.
    void expectFailureBox(const char* text, DWORD timeoutMs) {
        EXPECT_TRUE(waitUntil([&] { return boxShown(text); }, timeoutMs)) << "no box saying: " << text;
        for (const SeenMessageBox& box : pluginBoxes()) {
            EXPECT_TRUE(knownCaption(box.caption)) << "box \"" << box.caption << "\": " << box.text;
            if (box.text == text) {
                EXPECT_EQ(box.caption, kPluginCaption);
            }
        }
    }

    // The window still answers: a range button shows that range's values on
    // the sliders and the info line, and All shows the stored CyanRed again.
    void expectWindowUsable(int cyanRedPosition) {
        SCOPED_TRACE("window usable");
        ASSERT_TRUE(clickButton(run, run.controls.rangeButtons[0])) << "Lows click not answered";
        EXPECT_EQ(trackbarPosition(cyanRed()), kCentrePosition);
        EXPECT_EQ(windowText(run.controls.infoLine), infoLineWithCyanRed(Lows, kCentrePosition));
        ASSERT_TRUE(clickButton(run, run.controls.rangeButtons[3])) << "All click not answered";
        EXPECT_EQ(trackbarPosition(cyanRed()), cyanRedPosition);
        EXPECT_EQ(windowText(run.controls.infoLine), infoLineWithCyanRed(All, cyanRedPosition));
    }

    // "E&xit Plugin" ends the program with code 0.
    void expectExitWithCodeZero() {
        ASSERT_TRUE(run.running()) << "the plugin is gone before its exit command";
        ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, IDM_EXIT_PLUGIN, 0));
        DWORD exitCode = 0xDEADBEEF;
        ASSERT_TRUE(run.waitForExit(30000, exitCode)) << "the exit command did not end the plugin";
        EXPECT_EQ(exitCode, 0u);
    }
};

// A send to a host that has gone fails at once, not after the 10-second wait
// for a completion that cannot come: the command is never started. The bound
// leaves room for a loaded machine.
constexpr DWORD kGoneHostFailureMs = 3000;

// The host dies after a change: the next change fails with the send-failure
// message at once, the window goes on working and the exit command ends the
// program.
TEST_F(PluginHostFaults, HostKilledMidSessionFailsTheNextChangeAndLeavesTheWindowUsable) {
    startSession("");
    ASSERT_FALSE(HasFatalFailure());
    changeReachingTheHost();
    ASSERT_FALSE(HasFatalFailure());

    ASSERT_TRUE(TerminateProcess(host.process, 1));
    ASSERT_EQ(WaitForSingleObject(host.process, 10000), WAIT_OBJECT_0) << "the host did not die";
    const DWORD start = GetTickCount();
    postChange(kFaultPosition);
    ASSERT_FALSE(HasFatalFailure());
    expectFailureBox(kSendFailedText, 30000);
    const DWORD failedAfter = GetTickCount() - start;
    EXPECT_LT(failedAfter, kGoneHostFailureMs) << "the send waited for the dead host";
    printf("the send to the dead host failed after %lu ms\n", failedAfter);
    expectWindowUsable(kFaultPosition);
    expectExitWithCodeZero();
}

// The host ends the conversation after the fifth command: the three of
// start-up and the two of the first change. The next change fails at once;
// the plugin does not reconnect.
TEST_F(PluginHostFaults, HostEndingTheConversationFailsTheNextChangeAndLeavesTheWindowUsable) {
    startSession("--disconnect-after=5");
    ASSERT_FALSE(HasFatalFailure());
    changeReachingTheHost();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForHostLogLine(host, "END conversation", 10000)) << "the host kept the conversation";

    const DWORD start = GetTickCount();
    postChange(kFaultPosition);
    ASSERT_FALSE(HasFatalFailure());
    expectFailureBox(kSendFailedText, 30000);
    const DWORD failedAfter = GetTickCount() - start;
    EXPECT_LT(failedAfter, kGoneHostFailureMs) << "the send waited for the host that had left";
    printf("the send after the host's close failed after %lu ms\n", failedAfter);
    EXPECT_EQ(palettesReceived(host), 1u) << "a palette reached the host after it ended the conversation";
    EXPECT_EQ(hostLogLinesStarting(host, "CONNECT").size(), connectsAtStart) << "the plugin connected again";
    expectWindowUsable(kFaultPosition);
    expectExitWithCodeZero();
}

// The host stops answering for longer than the plugin waits (its threads
// are suspended, as a host busy with a long task would be), then wakes up and
// answers the command it was given. The change fails after the wait; the
// late completion arrives at a plugin that no longer waits for it. What a
// later change does with it depends on the host's late replies; it must end,
// either delivered or reported, and the program must stay usable and end
// with code 0.
TEST_F(PluginHostFaults, HostAnsweringAfterTheWaitRanOutLeavesTheProgramUsable) {
    startSession("");
    ASSERT_FALSE(HasFatalFailure());
    changeReachingTheHost();
    ASSERT_FALSE(HasFatalFailure());
    const size_t executedBefore = hostExecutedCommands(host).size();

    ASSERT_TRUE(suspendProcessThreads(host.processId)) << "the host's threads could not be suspended";
    hostStopped = true;
    const DWORD start = GetTickCount();
    postChange(kFaultPosition);
    ASSERT_FALSE(HasFatalFailure());
    expectFailureBox(kSendFailedText, 30000);
    const DWORD failedAfter = GetTickCount() - start;
    EXPECT_GE(failedAfter, 9000u) << "the change failed before its wait for the host ran out";
    printf("the send to the stopped host failed after %lu ms\n", failedAfter);

    ASSERT_TRUE(resumeProcessThreads(host.processId));
    hostStopped = false;
    ASSERT_TRUE(waitUntil([&] { return hostExecutedCommands(host).size() > executedBefore; }, 10000))
        << "the host did not run the command it was given while stopped";
    EXPECT_EQ(hostExecutedCommands(host)[executedBefore].word, "SELECTCOLORLAYER");
    // The late completion is on its way to the plugin, which keeps taking
    // messages meanwhile.
    ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0, 10000)) << "the plugin hangs after the late completion";
    expectWindowUsable(kFaultPosition);

    const size_t receivedBefore = palettesReceived(host);
    const size_t boxesBefore = pluginBoxes().size();
    ASSERT_TRUE(moveTrackbar(run, cyanRed(), kFirstPosition)) << "a later change did not end";
    const bool delivered = waitForPalettesReceived(host, receivedBefore + 1, 2000);
    const bool reported = pluginBoxes().size() > boxesBefore;
    EXPECT_TRUE(delivered || reported) << "a later change was neither delivered nor reported";
    printf("a later change was %s\n", delivered ? "delivered" : "reported as failed");
    for (const SeenMessageBox& box : pluginBoxes())
        EXPECT_TRUE(knownCaption(box.caption)) << "box \"" << box.caption << "\": " << box.text;
    EXPECT_EQ(windowText(run.controls.infoLine), infoLineWithCyanRed(All, kFirstPosition));
    expectExitWithCodeZero();
}

}  // namespace
