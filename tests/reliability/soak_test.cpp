// A thousand applies in a row against the stand-in host: the plugin's private
// memory grows by less than 1 MB and it keeps exactly as many GDI objects and
// windows as before. The counters themselves are checked first on objects
// that this test makes, so that a counter blind to leaks cannot pass.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "plugin_process.h"
#include "process_footprint.h"
#include "soak_session.h"
#include "test_support.h"

namespace {

constexpr int kWarmUpApplies = 200;
constexpr int kSoakApplies = 1000;
constexpr long long kGrowthBound = 1024 * 1024;

ProcessFootprint ownFootprint() {
    ProcessFootprint footprint;
    EXPECT_TRUE(readProcessFootprint(GetCurrentProcess(), GetCurrentProcessId(), footprint));
    return footprint;
}

// Brushes, a font, windows and memory made here show in the counts and go
// again when they are released.
TEST(ProcessFootprint, CountsBrushesFontsWindowsAndMemoryAsTheyComeAndGo) {
    // The first brush and window of a thread bring objects of GDI's and of
    // the thread's own (stock objects, device contexts, an input-method
    // window that lives as long as the thread has a window): made first,
    // they are in both counts.
    DeleteObject(CreateSolidBrush(RGB(1, 2, 3)));
    HWND first = CreateWindowA("STATIC", "first", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const ProcessFootprint before = ownFootprint();
    printf("private bytes from %s, GDI objects from %s, USER objects from %s\n", before.privateBytesSource,
           before.gdiObjectsSource, before.userObjectsSource);
    ASSERT_GE(before.gdiObjects, 0) << "GDI objects cannot be counted here";

    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 20; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 2 * i, 3 * i)));
    HFONT font = CreateFontA(16, 8, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "Courier New");
    HWND frame = CreateWindowA("STATIC", "footprint", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    CreateWindowA("STATIC", "a", WS_CHILD, 0, 0, 10, 10, frame, nullptr, nullptr, nullptr);
    CreateWindowA("BUTTON", "b", WS_CHILD, 0, 20, 10, 10, frame, nullptr, nullptr, nullptr);
    const size_t blockBytes = 4 * 1024 * 1024;
    char* block = static_cast<char*>(VirtualAlloc(nullptr, blockBytes, MEM_COMMIT, PAGE_READWRITE));
    ASSERT_TRUE(block && font && frame);
    for (size_t i = 0; i < blockBytes; i += 4096) block[i] = 1;

    const ProcessFootprint holding = ownFootprint();
    EXPECT_EQ(holding.gdiObjects - before.gdiObjects, 21) << "20 brushes and a font";
    EXPECT_EQ(holding.userObjects - before.userObjects, 3) << "a window and two children";
    EXPECT_GE(holding.privateBytes, before.privateBytes + blockBytes) << "4 MB written";

    for (HBRUSH brush : brushes) DeleteObject(brush);
    DeleteObject(font);
    DestroyWindow(frame);
    VirtualFree(block, 0, MEM_RELEASE);
    const ProcessFootprint after = ownFootprint();
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
    EXPECT_LT(after.privateBytes, holding.privateBytes);
    DestroyWindow(first);
}

class PluginSoak : public ::testing::Test {
protected:
    StandInHost host;
    PluginRun run;

    void TearDown() override {
        run.stop();
        stopMessageBoxWatcher();
        stopStandInHost(host);
        DeleteFileA(host.logPath.c_str());  // a few megabytes of palettes
    }
};

// After a warm-up, a thousand applies: alternately the brightness command and
// a CyanRed movement, each delivered to the host.
TEST_F(PluginSoak, ThousandAppliesGrowPrivateBytesByLessThanOneMegabyteAndLeakNoObject) {
    ASSERT_TRUE(startStandInHost(host, ""));
    ASSERT_TRUE(startMessageBoxWatcher(true));
    ASSERT_TRUE(run.start(PluginBuild::Real)) << "the plugin window did not open";

    ASSERT_TRUE(runApplies(run, kWarmUpApplies)) << "the plugin stopped answering during the warm-up";
    ASSERT_TRUE(waitForPalettesReceived(host, kWarmUpApplies, 30000));
    ProcessFootprint before, after;
    ASSERT_TRUE(pluginFootprint(run, before));
    const long windowsBefore = countProcessWindows(run.process.dwProcessId);

    const DWORD start = GetTickCount();
    ASSERT_TRUE(runApplies(run, kSoakApplies)) << "the plugin stopped answering";
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_TRUE(waitForPalettesReceived(host, kWarmUpApplies + kSoakApplies, 30000));
    EXPECT_EQ(palettesReceived(host), size_t(kWarmUpApplies + kSoakApplies)) << "palettes the host received";
    ASSERT_TRUE(pluginFootprint(run, after));

    const long long growth = (long long)after.privateBytes - (long long)before.privateBytes;
    printf("%d applies in %lu ms; private bytes (%s) %llu -> %llu, growth %lld; GDI objects (%s) %ld -> %ld; "
           "USER objects (%s) %ld -> %ld\n",
           kSoakApplies, elapsed, before.privateBytesSource, (unsigned long long)before.privateBytes,
           (unsigned long long)after.privateBytes, growth, before.gdiObjectsSource, before.gdiObjects,
           after.gdiObjects, before.userObjectsSource, before.userObjects, after.userObjects);
    EXPECT_LT(growth, kGrowthBound) << "private bytes grew by " << growth;
    EXPECT_GE(before.gdiObjects, 0) << "GDI objects cannot be counted here";
    EXPECT_EQ(after.gdiObjects, before.gdiObjects) << "GDI objects (brushes, fonts ...) leaked";
    EXPECT_EQ(after.userObjects, before.userObjects) << "USER objects leaked";
    EXPECT_EQ(countProcessWindows(run.process.dwProcessId), windowsBefore) << "windows leaked";
    EXPECT_TRUE(messageBoxesSeen().empty()) << "a message box was shown";

    ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, IDM_EXIT_PLUGIN, 0));
    DWORD exitCode = 0xDEADBEEF;
    ASSERT_TRUE(run.waitForExit(10000, exitCode)) << "the exit command did not end the plugin";
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
