// The plugin program while a send's failure boxes are open: the boxes have no
// owner, the window stays usable, and movements and clicks made meanwhile are
// shown and stored at once; their apply waits until the box is closed and
// then runs. A failing host is tried once per user change.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "end_to_end_fixture.h"

namespace {

const char kHostSaidCaption[] = "Communication Error - Kavrin said:";

struct BoxSearch {
    DWORD processId;
    const char* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK collectBox(HWND window, LPARAM context) {
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window) || className(window) != "#32770") return TRUE;
    char title[256] = "";
    GetWindowTextA(window, title, sizeof title);
    if (search.caption == std::string(title)) search.found.push_back(window);
    return TRUE;
}

class PluginFailureBoxes : public PluginEndToEnd {
protected:
    std::vector<HWND> knownBoxes;

    // Waits for a visible box of the plugin titled `caption` that is not
    // among the boxes already found; null on time-out.
    HWND waitForNewBox(const char* caption) {
        HWND box = nullptr;
        waitUntil(
            [&] {
                BoxSearch search = {run.process.dwProcessId, caption, {}};
                EnumWindows(collectBox, reinterpret_cast<LPARAM>(&search));
                for (HWND found : search.found)
                    if (std::find(knownBoxes.begin(), knownBoxes.end(), found) == knownBoxes.end()) box = found;
                return box != nullptr;
            },
            10000);
        if (box) knownBoxes.push_back(box);
        return box;
    }

    static std::string boxText(HWND box) { return windowText(GetDlgItem(box, 0xFFFF)); }

    // Presses OK on `box` and waits until it has gone.
    void closeBox(HWND box) {
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(waitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000)) << "a box stayed open";
    }

    // A box of the plugin: no owner, and the main window stays enabled and
    // on top under it.
    void checkUnownedBox(HWND box, const std::string& context) {
        ASSERT_NE(box, nullptr) << context << ": no box";
        EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << context;
        EXPECT_TRUE(IsWindowEnabled(run.window)) << context << ": the main window was disabled";
        EXPECT_TRUE(GetWindowLongA(run.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << context;
    }

    // Plugin boxes now open that the test has not seen yet.
    size_t unseenBoxes() {
        BoxSearch refusals = {run.process.dwProcessId, kHostSaidCaption, {}};
        BoxSearch plugin = {run.process.dwProcessId, kPluginCaption, {}};
        EnumWindows(collectBox, reinterpret_cast<LPARAM>(&refusals));
        EnumWindows(collectBox, reinterpret_cast<LPARAM>(&plugin));
        size_t unseen = 0;
        for (const BoxSearch* search : {&refusals, &plugin})
            for (HWND box : search->found)
                if (std::find(knownBoxes.begin(), knownBoxes.end(), box) == knownBoxes.end()) ++unseen;
        return unseen;
    }

    // The host's last status, which the box of its refusal must show.
    std::string lastHostStatus() {
        const std::vector<HostCommandRecord> commands = hostExecutedCommands(host);
        return commands.empty() ? std::string() : commands.back().status;
    }
};

// The host refuses every palette it is sent (the block it handed out has no
// colour table), so every apply ends in the host's reply and then the send's
// own failure message.
TEST_F(PluginFailureBoxes, WindowStaysUsableWhileASendsFailureBoxesAreOpen) {
    startSession("--malformed=zero-colours", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    // From here on the test closes the boxes itself.
    stopMessageBoxWatcher();

    // The first movement's apply: the host's refusal, then the send failure.
    ASSERT_TRUE(postTrackbarMove(run, run.controls.balanceTrackbars[0], 300));
    HWND refusal = waitForNewBox(kHostSaidCaption);
    checkUnownedBox(refusal, "the host's refusal");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(boxText(refusal), lastHostStatus());
    EXPECT_EQ(newCommandWords(), (std::vector<std::string>{"SELECTCOLORLAYER", "RECEIVEPALETTE"}));
    closeBox(refusal);
    HWND outerFailure = waitForNewBox(kPluginCaption);
    checkUnownedBox(outerFailure, "the send failure");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(boxText(outerFailure), kSendFailedText);
    EXPECT_EQ(probe(kProbeTransformBusy), 1) << "the busy flag is held while the box is open";

    // A movement while the box is open is shown and stored, but starts no
    // apply while the failing one runs: the host hears nothing yet.
    expected.shownBalance(CyanRed) = balanceFromPosition(300);
    expected.shownBalance(MagentaGreen) = balanceFromPosition(200);
    ASSERT_TRUE(postTrackbarMove(run, run.controls.balanceTrackbars[1], 200));
    EXPECT_TRUE(waitUntil([&] { return windowText(run.controls.infoLine) == expectedInfoLine(expected); }, 5000))
        << windowText(run.controls.infoLine);
    EXPECT_EQ(uint32_t(probe(probeBalanceItem(0, All, MagentaGreen))), floatBits(expected.shownBalance(MagentaGreen)));
    EXPECT_EQ(probe(kProbeTransformBusy), 1);
    EXPECT_TRUE(newCommandWords().empty()) << "the movement's apply ran inside the open box";

    // A click on "State B" while the box is open changes the state at once,
    // but its apply is owed: the failing apply has not ended while its box
    // is open, so the host hears nothing yet.
    ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                             reinterpret_cast<LPARAM>(run.controls.stateButtons[1])));
    EXPECT_TRUE(waitUntil([&] { return probe(kProbeCurrentState) == 1; }, 5000)) << "the click was not handled";
    ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0));
    EXPECT_TRUE(newCommandWords().empty()) << "the click's apply ran inside the open box";
    EXPECT_EQ(unseenBoxes(), 0u);
    EXPECT_EQ(probe(kProbeHostWorkPending), 1);

    // Closing the box ends the first apply; then one apply sends the
    // movement and the click together, trying the host once more, with its
    // own refusal and failure.
    closeBox(outerFailure);
    HWND clickRefusal = waitForNewBox(kHostSaidCaption);
    checkUnownedBox(clickRefusal, "the click's refusal");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(boxText(clickRefusal), lastHostStatus());
    EXPECT_EQ(newCommandWords(), (std::vector<std::string>{"SELECTCOLORLAYER", "RECEIVEPALETTE"}));
    closeBox(clickRefusal);
    HWND clickFailure = waitForNewBox(kPluginCaption);
    checkUnownedBox(clickFailure, "the click's send failure");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(boxText(clickFailure), kSendFailedText);
    closeBox(clickFailure);

    EXPECT_TRUE(waitUntilAppliesDone()) << "the applies did not end";
    EXPECT_EQ(unseenBoxes(), 0u) << "a further box opened";
    expected.currentState = 1;
    checkWindow("after the boxes");
    checkStoredSettings("after the boxes");
    EXPECT_TRUE(newCommandWords().empty()) << "the host was tried again";
    EXPECT_TRUE(hostReceivedPalettes(host).empty()) << "the host took a palette";
}

// A send that fails for a passing reason, here the clipboard held by another
// program: the movement made while its failure box is open is sent once the
// box is closed, and the host ends with the palette the window shows.
TEST_F(PluginFailureBoxes, AMovementWhileAFailureBoxIsOpenIsSentOnceItCloses) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    stopMessageBoxWatcher();
    ASSERT_TRUE(OpenClipboard(nullptr)) << "the test could not take the clipboard";
    const bool posted = postTrackbarMove(run, run.controls.balanceTrackbars[0], 300);
    HWND failure = posted ? waitForNewBox(kPluginCaption) : nullptr;
    CloseClipboard();
    ASSERT_TRUE(posted);
    checkUnownedBox(failure, "the send failure");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(boxText(failure), kSendFailedText);
    EXPECT_TRUE(newCommandWords().empty()) << "the host was told to take a palette that was not on the clipboard";

    expected.shownBalance(CyanRed) = balanceFromPosition(300);
    expected.shownBalance(MagentaGreen) = balanceFromPosition(200);
    ASSERT_TRUE(postTrackbarMove(run, run.controls.balanceTrackbars[1], 200));
    EXPECT_TRUE(waitUntil([&] { return windowText(run.controls.infoLine) == expectedInfoLine(expected); }, 5000))
        << windowText(run.controls.infoLine);
    EXPECT_EQ(probe(kProbeHostWorkPending), 1) << "the movement's apply is not owed";
    EXPECT_TRUE(newCommandWords().empty()) << "the movement's apply ran inside the open box";

    closeBox(failure);
    checkEverything("after the box", 0, 1);
    EXPECT_EQ(unseenBoxes(), 0u) << "a further box opened";
}

// Every user change, however many notifications it makes, tries the
// failing host once: one refusal and one send failure. Notifications that
// repeat the position tried add nothing. Movements that arrive while the
// failing send runs are changes it did not carry: they get one try of their
// own after it, and then nothing follows until the next change. A click
// held long enough on a busy machine pages more than once, each page a
// change of its own, so a click may try once per page it made.
TEST_F(PluginFailureBoxes, EachUserChangeTriesAFailingHostOnce) {
    startSession("--malformed=zero-colours", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    stopMessageBoxWatcher();
    HWND cyanRed = run.controls.balanceTrackbars[0];
    RECT rect;
    GetWindowRect(cyanRed, &rect);
    const int y = (rect.top + rect.bottom) / 2;
    // A quick click beside the thumb (a page, then the end of the movement
    // at the same position), and a drag's worth of movements posted at once,
    // of which some may arrive after the first try has started.
    auto clickBeside = [&](int x) {
        sendMouse(x, y, 0);
        sendMouse(x, y, MOUSEEVENTF_LEFTDOWN);
        Sleep(2);
        sendMouse(x, y, MOUSEEVENTF_LEFTUP);
    };
    const struct Change {
        const char* name;
        std::function<void()> make;
        int mostTries;  // 0: one per page the click made
    } changes[] = {
        {"a click right of the thumb", [&] { clickBeside(rect.right - 12); }, 0},
        {"a click left of the thumb", [&] { clickBeside(rect.left + 12); }, 0},
        {"ten posted movements",
         [&] {
             for (int position = 300; position < 400; position += 10) postTrackbarMove(run, cyanRed, position);
         },
         2},
    };
    constexpr int kPageSize = 10;
    const auto position = [&] {
        DWORD_PTR at = 0;
        SendMessageTimeoutA(cyanRed, TBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &at);
        return int(at);
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        const int before = position();
        change.make();
        int tries = 0;
        do {
            HWND refusal = waitForNewBox(kHostSaidCaption);
            ASSERT_NE(refusal, nullptr) << change.name << ": no refusal in try " << tries + 1;
            closeBox(refusal);
            HWND failure = waitForNewBox(kPluginCaption);
            ASSERT_NE(failure, nullptr) << change.name << ": no send failure in try " << tries + 1;
            EXPECT_EQ(boxText(failure), kSendFailedText);
            closeBox(failure);
            ++tries;
            // Once nothing runs or is owed, no further apply can start.
        } while (!waitUntilAppliesDone(3000) && tries <= 10);
        const int pages = std::max(1, std::abs(position() - before) / kPageSize);
        EXPECT_LE(tries, change.mostTries ? change.mostTries : pages) << change.name << ": the host was tried too often";
        EXPECT_TRUE(waitUntilAppliesDone()) << change.name << ": the applies did not end";
        EXPECT_EQ(unseenBoxes(), 0u) << change.name << ": a further box opened";
        std::vector<std::string> words;
        for (int i = 0; i < tries; ++i) words.insert(words.end(), {"SELECTCOLORLAYER", "RECEIVEPALETTE"});
        EXPECT_EQ(newCommandWords(), words) << change.name << ": commands of " << tries << " tries";
    }
    EXPECT_TRUE(hostReceivedPalettes(host).empty()) << "the host took a palette";
}

}  // namespace
