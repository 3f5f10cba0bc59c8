// The shared test support's own parts that the host tests do not already
// exercise: the message-box watcher, process running and window finding.
#include <gtest/gtest.h>

#include "start_process.h"
#include "test_support.h"

TEST(MessageBoxWatcher, ClosesAndRecordsThisProcesssBoxes) {
    ASSERT_TRUE(startMessageBoxWatcher());
    struct Case {
        const char* caption;
        const char* text;
    };
    const Case cases[] = {
        {"DDE Problem", "DdeClientTransaction failed. DdeGetLastError: 16393"},
        {"Color Balance Plugin says:", "Failed getting palette from Kavrin.\n(No open/active project?)"},
        {"Communication Error - Kavrin said:", ""},
    };
    // Each modal box blocks this thread until the watcher presses OK.
    for (const Case& c : cases)
        EXPECT_EQ(IDOK, MessageBoxA(nullptr, c.text, c.caption, MB_OK)) << c.caption;
    ASSERT_TRUE(waitForMessageBoxes(3, 1000));
    stopMessageBoxWatcher();
    const std::vector<SeenMessageBox> seen = messageBoxesSeen();
    ASSERT_EQ(3u, seen.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(cases[i].caption, seen[i].caption) << "box " << i;
        EXPECT_EQ(cases[i].text, seen[i].text) << "box " << i;
        EXPECT_EQ(GetCurrentProcessId(), seen[i].processId) << "box " << i;
    }
}

TEST(MessageBoxWatcher, LeavesOtherDialogsOpen) {
    // A dialog with a text control 0xFFFF, as an About box has, but no
    // message-box icon.
    HWND dialog = CreateWindowExA(0, "#32770", "About something", WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                  100, 100, 300, 120, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, dialog);
    CreateWindowExA(0, "STATIC", "text", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, dialog,
                    HMENU(UINT_PTR(0xFFFF)), nullptr, nullptr);
    CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE, 10, 40, 60, 24, dialog,
                    HMENU(UINT_PTR(IDOK)), nullptr, nullptr);
    ASSERT_TRUE(startMessageBoxWatcher(true));
    pumpMessagesFor(300);
    stopMessageBoxWatcher();
    EXPECT_TRUE(messageBoxesSeen().empty());
    EXPECT_TRUE(IsWindow(dialog));
    DestroyWindow(dialog);
}

TEST(MessageBoxWatcher, WaitRunsOutWhenNoBoxAppears) {
    ASSERT_TRUE(startMessageBoxWatcher());
    const DWORD start = GetTickCount();
    EXPECT_FALSE(waitForMessageBoxes(1, 200));
    EXPECT_GE(GetTickCount() - start, 150u);
    stopMessageBoxWatcher();
    EXPECT_TRUE(messageBoxesSeen().empty());
}

TEST(MessageBoxWatcher, ClosesAnotherProcesssBoxOnlyWhenAsked) {
    // With no standard output, the host shows its help in a message box.
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION started = {};
    std::string line = "\"" + standInHostPath() + "\" --help";
    ASSERT_TRUE(startProcessRetrying(&line[0], false, startup, started));
    CloseHandle(started.hThread);

    ASSERT_TRUE(startMessageBoxWatcher(false));
    ASSERT_NE(nullptr, findTopLevelWindowStarting("StandInKavrin", started.dwProcessId, 10000));
    EXPECT_FALSE(waitForMessageBoxes(1, 300)) << "another process's box is left alone";
    stopMessageBoxWatcher();

    ASSERT_TRUE(startMessageBoxWatcher(true));
    EXPECT_TRUE(waitForMessageBoxes(1, 5000));
    stopMessageBoxWatcher();
    DWORD exitCode = 99;
    EXPECT_TRUE(waitForProcessExit(started.hProcess, 5000, exitCode));
    if (exitCode == 99) TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hProcess);
    EXPECT_EQ(0u, exitCode);
    const std::vector<SeenMessageBox> seen = messageBoxesSeen();
    ASSERT_EQ(1u, seen.size());
    EXPECT_EQ("StandInKavrin", seen[0].caption);
    EXPECT_EQ(0u, seen[0].text.find("StandInKavrin - a stand-in for Kavrin's DDE image server"));
    EXPECT_EQ(started.dwProcessId, seen[0].processId);
}

TEST(Processes, RunProcessStopsAProgramThatOverrunsItsTime) {
    DWORD exitCode = 99;
    std::string output;
    const std::string log = standInHostPath() + ".overrun.log";
    const DWORD start = GetTickCount();
    EXPECT_FALSE(runProcess("\"" + standInHostPath() + "\" \"--log=" + log + "\"", 500, exitCode,
                            output));
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(99u, exitCode) << "no exit code for a program that did not end";
    EXPECT_FALSE(connectTestClient()) << "the overrunning host was terminated";
    disconnectTestClient();
    DeleteFileA(log.c_str());
}

TEST(Processes, FindTopLevelWindowWaitsForItsTitle) {
    EXPECT_EQ(nullptr, findTopLevelWindow("No window has this title", 100));
    StandInHost host;
    ASSERT_TRUE(startStandInHost(host, ""));
    HWND window = findTopLevelWindow("Kavrin (stand-in) - built-in landscape", 5000);
    EXPECT_NE(nullptr, window);
    EXPECT_EQ(window, findTopLevelWindowStarting("Kavrin (stand", host.processId, 0));
    EXPECT_EQ(window, standInHostWindow(host));
    EXPECT_EQ(nullptr, findTopLevelWindowStarting("Kavrin (stand", host.processId + 4, 0));
    stopStandInHost(host);
    EXPECT_EQ(nullptr, host.process);
}
