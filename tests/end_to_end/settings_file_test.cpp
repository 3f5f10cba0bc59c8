// Settings files between the plugin and palette-balance, under Wine against
// the stand-in host: a look saved through the menu's real Save dialog gives
// palette-balance.exe the palettes the host received; a look saved by
// palette-balance.exe and loaded through the real Open dialog shows and
// sends what palette-balance writes; a refused file shows one box and
// changes nothing.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "end_to_end_fixture.h"
#include "settings_file.h"

#ifndef PALETTE_TOOL_EXE_UNIX_PATH
#error "PALETTE_TOOL_EXE_UNIX_PATH must name the palette-balance.exe of this build"
#endif

namespace {

std::string paletteToolPath() {
    std::string path = std::string("Z:") + PALETTE_TOOL_EXE_UNIX_PATH;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// A file of this test in the Windows temporary folder, removed first.
std::string freshTemporaryFile(const char* name) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + name;
    DeleteFileA(path.c_str());
    return path;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A colour table as an 8-bit BMP file of one row, a pixel for each colour:
// the host's palette as palette-balance reads it.
std::vector<uint8_t> bitmapOfTable(const std::vector<uint8_t>& table) {
    const uint32_t colours = uint32_t(table.size() / 4);
    const uint32_t rowBytes = (colours + 3) / 4 * 4;
    const uint32_t pixelOffset = 14 + 40 + uint32_t(table.size());
    std::vector<uint8_t> file(pixelOffset + rowBytes, 0);
    file[0] = 'B';
    file[1] = 'M';
    writeU32LE(&file[2], uint32_t(file.size()));
    writeU32LE(&file[10], pixelOffset);
    writeU32LE(&file[14], 40);       // biSize
    writeU32LE(&file[18], colours);  // biWidth
    writeU32LE(&file[22], 1);        // biHeight
    file[26] = 1;                    // biPlanes
    file[28] = 8;                    // biBitCount
    writeU32LE(&file[46], colours);  // biClrUsed
    std::copy(table.begin(), table.end(), file.begin() + 54);
    for (uint32_t i = 0; i < colours; ++i) file[pixelOffset + i] = uint8_t(i);
    return file;
}

// Runs palette-balance.exe with `arguments`; its exit code, and its output
// in `output`.
DWORD runPaletteTool(const std::vector<std::string>& arguments, std::string& output) {
    std::string commandLine = "\"" + paletteToolPath() + "\"";
    for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
    DWORD exitCode = 0xDEADBEEF;
    EXPECT_TRUE(runProcess(commandLine, 30000, exitCode, output)) << commandLine << ": did not end";
    return exitCode;
}

// The colour table of a BMP that palette-balance wrote from bitmapOfTable's.
std::vector<uint8_t> tableOfBitmap(const std::vector<uint8_t>& file, size_t tableBytes) {
    if (file.size() < 54 + tableBytes) return {};
    return std::vector<uint8_t>(file.begin() + 54, file.begin() + 54 + long(tableBytes));
}

bool sameRecord(const BalanceSettings& a, const BalanceSettings& b) {
    return std::memcmp(a.states, b.states, sizeof a.states) == 0 && a.currentState == b.currentState &&
           a.currentRange == b.currentRange && a.preserveBrightness == b.preserveBrightness;
}

class PluginSettingsFiles : public PluginEndToEnd {
protected:
    // A user movement of slider `slider` (the three balance axes, then
    // lows-below and heights-above), checked everywhere.
    void moveSlider(int slider, int position) {
        HWND trackbar = slider < 3 ? run.controls.balanceTrackbars[slider]
                        : slider == 3 ? run.controls.lowsBelowTrackbar
                                      : run.controls.heightsAboveTrackbar;
        ASSERT_TRUE(moveTrackbar(run, trackbar, position));
        if (slider < 3) expected.shownBalance(slider) = balanceFromPosition(position);
        else if (slider == 3) expected.current().lowsBelow = thresholdFromPosition(position);
        else expected.current().heightsAbove = thresholdFromPosition(position);
        checkEverything("slider " + std::to_string(slider) + " to " + std::to_string(position), 0, 1);
    }

    void clickRange(int range) {
        ASSERT_TRUE(clickButton(run, run.controls.rangeButtons[range]));
        expected.currentRange = range;
        checkEverything(std::string("range ") + rangeDisplayName(range), 0, 0);
    }

    void clickState(int state) {
        ASSERT_TRUE(clickButton(run, run.controls.stateButtons[state]));
        expected.currentState = state;
        checkEverything(stateDisplayName(state), 0, 1);
    }

    // Opens the settings dialog of `commandId` from the menu; the dialog is
    // owned by the main window, above it, and the main window is disabled
    // while it is open.
    HWND openDialog(int commandId, const char* title) {
        EXPECT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(commandId), 0));
        HWND dialog = waitForFileDialog(run, title);
        EXPECT_NE(dialog, nullptr) << "no dialog " << title;
        if (!dialog) return nullptr;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), run.window) << title;
        EXPECT_TRUE(windowIsAbove(dialog, run.window)) << title << " opened below the main window";
        EXPECT_FALSE(IsWindowEnabled(run.window)) << title << ": the main window stayed enabled";
        return dialog;
    }

    // After a dialog: the main window is enabled, has the focus back and
    // is still on top; its handler has finished.
    void checkFocusBack(const std::string& context) {
        EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == run.window; }, 5000))
            << context << ": the focus did not come back to the main window";
        EXPECT_TRUE(IsWindowEnabled(run.window)) << context;
        EXPECT_TRUE(GetWindowLongA(run.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << context;
        EXPECT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0)) << context;
    }

    // The host's palette as an 8-bit BMP, for palette-balance.
    std::string writeHostBitmap(const char* name) {
        const std::string path = freshTemporaryFile(name);
        const std::vector<uint8_t> bitmap = bitmapOfTable(colourTable(pluginSource));
        writeFile(path, std::string(bitmap.begin(), bitmap.end()));
        return path;
    }

    // palette-balance.exe's colour table for the host's palette with `options`.
    std::vector<uint8_t> paletteToolTable(const std::string& hostBitmap, std::vector<std::string> options) {
        const std::string output = freshTemporaryFile("settings-e2e-out.bmp");
        options.push_back(hostBitmap);
        options.push_back(output);
        std::string messages;
        EXPECT_EQ(runPaletteTool(options, messages), 0u) << messages;
        return tableOfBitmap(fileBytes(output), colourTable(pluginSource).size());
    }
};

// Sliders set in both states through the window, saved through the menu's
// Save dialog: the file holds the whole record, and palette-balance.exe
// with it gives exactly the palettes the host received for each state.
TEST_F(PluginSettingsFiles, LookSavedThroughTheMenuGivesPaletteBalanceTheHostsPalettes) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    moveSlider(CyanRed, 300);
    moveSlider(3, 70);
    clickRange(Lows);
    moveSlider(YellowBlue, 450);
    clickState(1);
    clickRange(Mediums);
    moveSlider(MagentaGreen, 100);
    moveSlider(4, 180);
    ASSERT_TRUE(runCommand(run, IDM_BRIGHTNESS_PRESERVATION));
    expected.preserveBrightness = false;
    checkEverything("brightness preservation off", 0, 1);
    ASSERT_FALSE(HasFatalFailure());
    // Each state's palette as the host received it, in the final mode.
    clickState(0);
    const std::vector<uint8_t> hostTableA = hostTable;
    clickState(1);
    const std::vector<uint8_t> hostTableB = hostTable;
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_NE(hostTableA, hostTableB);

    // Cancelled, the dialog writes nothing and changes nothing.
    const std::string path = freshTemporaryFile("settings-e2e-saved.balance");
    HWND dialog = openDialog(IDM_SAVE_SETTINGS, SAVE_SETTINGS_DIALOG_TITLE);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(cancelFileDialog(dialog));
    checkFocusBack("Save cancelled");
    checkEverything("Save cancelled", 0, 0);

    dialog = openDialog(IDM_SAVE_SETTINGS, SAVE_SETTINGS_DIALOG_TITLE);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(chooseFileInDialog(dialog, path));
    checkFocusBack("saved");
    checkEverything("saved", 0, 0);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";

    const std::vector<uint8_t> bytes = fileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text, formatSettingsText(expected, "\r\n"));
    BalanceSettings saved;
    std::string error;
    ASSERT_TRUE(readSettingsFile(path, saved, error)) << error;
    EXPECT_TRUE(sameRecord(saved, expected)) << text;

    const std::string hostBitmap = writeHostBitmap("settings-e2e-host.bmp");
    std::vector<uint8_t> table = paletteToolTable(hostBitmap, {"--settings=" + path});
    EXPECT_TRUE(table == hostTableB) << "the state the file shows: " << describeTableDifference(hostTableB, table);
    table = paletteToolTable(hostBitmap, {"--settings=" + path, "--state=A"});
    EXPECT_TRUE(table == hostTableA) << "--state=A: " << describeTableDifference(hostTableA, table);
}

// A look saved by palette-balance.exe --save-settings and loaded through the
// menu's Open dialog: the window shows its state A, the plugin holds it
// with state B at its defaults, and the host receives the palette that
// palette-balance.exe writes with the same file.
TEST_F(PluginSettingsFiles, LookSavedByPaletteBalanceLoadsThroughTheMenu) {
    const std::string path = freshTemporaryFile("settings-e2e-tool.balance");
    std::string messages;
    ASSERT_EQ(runPaletteTool({"--save-settings=" + path, "--plain", "--lows=-0.25,0,0.5", "--mediums=0.3,0,0",
                              "--lows-below=0.3", "--all=0,-0.25,0.25"},
                             messages),
              0u)
        << messages;
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    // Something to replace: state B and range Heights shown, a value set.
    clickState(1);
    clickRange(Heights);
    moveSlider(CyanRed, 100);
    ASSERT_FALSE(HasFatalFailure());

    HWND dialog = openDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(cancelFileDialog(dialog));
    checkFocusBack("Load cancelled");
    checkEverything("Load cancelled", 0, 0);

    dialog = openDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(chooseFileInDialog(dialog, path));
    checkFocusBack("loaded");
    // The command line's settings on the sliders' steps, as state A.
    SliderState stateA = {76.0f / 256, kDefaultHeightsAbove, {}};
    const float balance[kToneRangeCount][kBalanceAxisCount] = {
        {-0.25f, 0, 0.5f}, {76.0f / 256, 0, 0}, {0, 0, 0}, {0, -0.25f, 0.25f}};
    std::memcpy(stateA.balance, balance, sizeof balance);
    static_cast<BalanceSettings&>(expected) = kDefaultBalanceSettings;
    expected.states[0] = stateA;
    expected.preserveBrightness = false;
    checkEverything("loaded", 0, 1);
    EXPECT_EQ(windowText(run.controls.infoLine), "State A.All      (+0.00 -0.25 +0.25)\nlows-below: 0.30 heights-above: 0.80");
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";

    const std::vector<uint8_t> table = paletteToolTable(writeHostBitmap("settings-e2e-host.bmp"), {"--settings=" + path});
    EXPECT_TRUE(table == hostTable) << describeTableDifference(hostTable, table);
}

// Each refused file, chosen in the Open dialog, shows one box of the plugin
// that names the file and the reason; the settings, the window and the host
// stay as they were.
TEST_F(PluginSettingsFiles, RefusedFilesShowOneBoxAndChangeNothing) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    clickRange(Mediums);
    moveSlider(YellowBlue, 200);
    ASSERT_FALSE(HasFatalFailure());

    BalanceSettings look = kDefaultBalanceSettings;
    look.states[1].balance[Lows][CyanRed] = 0.5f;
    const std::string good = formatSettingsText(look, "\r\n");
    auto withLine = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    std::string tooLarge = good;
    tooLarge.resize(kMaxSettingsFileBytes + 1, '#');
    // file | its text | the reason the box gives
    const struct {
        const char* file;
        std::string text;
        std::string reason;
    } samples[] = {
        {"range.balance", withLine("B.Lows.CyanRed=0.5", "B.Lows.CyanRed=1.5"),
         "line 21: B.Lows.CyanRed: 1.5 is outside -1 to 1"},
        {"repeat.balance", good + "shown-state=B\r\n", "line 33: shown-state repeats line 2"},
        {"missing.balance", withLine("A.All.CyanRed=0\r\n", ""), "no A.All.CyanRed line"},
        {"version.balance", withLine("version 1", "version 2"), "line 1: unknown version 2 (this program reads version 1)"},
        {"large.balance", tooLarge, "larger than 64 KiB, the limit for a settings file"},
        {"binary.balance", withLine("shown-range", std::string("\x89PNG\r\n", 6) + "shown-range"),
         "line 3: byte 0x89 is not text"},
        {"palette.balance", "GIMP Palette\r\nName: dusk\r\n0 0 0\r\n",
         "line 1: not a settings file (expected 'Kavrin Color Balance settings, version 1')"},
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        const std::string path = freshTemporaryFile(sample.file);
        writeFile(path, sample.text);
        const size_t boxesBefore = pluginBoxes().size();
        HWND dialog = openDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(chooseFileInDialog(dialog, path));
        ASSERT_TRUE(waitUntil([&] { return pluginBoxes().size() > boxesBefore; }, 10000)) << "no box";
        ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0));
        const std::vector<SeenMessageBox> boxes = pluginBoxes();
        ASSERT_EQ(boxes.size(), boxesBefore + 1) << "boxes shown";
        EXPECT_EQ(boxes.back().caption, kPluginCaption);
        EXPECT_EQ(boxes.back().text, std::string(kSettingsNotLoadedText) + "\n" + path + "\n" + sample.reason);
        checkEverything(sample.file, 0, 0);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
