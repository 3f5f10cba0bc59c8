// Settings files between the plugin and palette-balance.exe, against the
// stand-in host, through the menu's real Save and Open dialogs.
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "end_to_end_fixture.h"
#include "settings_file.h"

#ifndef PALETTE_TOOL_EXE_UNIX_PATH
#error "PALETTE_TOOL_EXE_UNIX_PATH must name the palette-balance.exe of this build"
#endif

namespace {

// A file in the Windows temporary folder, removed first.
std::string freshTemporaryFile(const char* name) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    DeleteFileA((std::string(folder) + name).c_str());
    return std::string(folder) + name;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A colour table as an 8-bit BMP of one row, a pixel for each colour.
std::string bitmapOfTable(const std::vector<uint8_t>& table) {
    const uint32_t colours = uint32_t(table.size() / 4), pixels = 54 + uint32_t(table.size());
    std::vector<uint8_t> file(pixels + (colours + 3) / 4 * 4, 0);
    file[0] = 'B';
    file[1] = 'M';
    // bfSize, bfOffBits, biSize, biWidth, biHeight, biClrUsed
    const uint32_t fields[][2] = {{2, uint32_t(file.size())}, {10, pixels}, {14, 40},
                                  {18, colours}, {22, 1}, {46, colours}};
    for (const auto& field : fields) writeU32LE(&file[field[0]], field[1]);
    file[26] = 1;  // biPlanes
    file[28] = 8;  // biBitCount
    std::copy(table.begin(), table.end(), file.begin() + 54);
    for (uint32_t i = 0; i < colours; ++i) file[pixels + i] = uint8_t(i);
    return std::string(file.begin(), file.end());
}

// Runs palette-balance.exe, which must say `said` and nothing else; its exit code.
DWORD runPaletteTool(const std::vector<std::string>& arguments, const std::string& said = "") {
    std::string commandLine = std::string("\"Z:") + PALETTE_TOOL_EXE_UNIX_PATH + "\"";
    std::replace(commandLine.begin(), commandLine.end(), '/', '\\');
    for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
    DWORD exitCode = 0xDEADBEEF;
    std::string output;
    EXPECT_TRUE(runProcess(commandLine, 30000, exitCode, output)) << commandLine;
    EXPECT_EQ(output, said) << commandLine;
    return exitCode;
}

class PluginSettingsFiles : public PluginEndToEnd {
protected:
    // A user movement of a balance slider (0..2) or lows-below (3) or
    // heights-above (4), checked everywhere.
    void moveSlider(int slider, int position) {
        HWND trackbars[5] = {run.controls.balanceTrackbars[0], run.controls.balanceTrackbars[1],
                             run.controls.balanceTrackbars[2], run.controls.lowsBelowTrackbar,
                             run.controls.heightsAboveTrackbar};
        ASSERT_TRUE(moveTrackbar(run, trackbars[slider], position));
        if (slider < 3) expected.shownBalance(slider) = balanceFromPosition(position);
        else if (slider == 3) expected.current().lowsBelow = thresholdFromPosition(position);
        else expected.current().heightsAbove = thresholdFromPosition(position);
        checkEverything("slider " + std::to_string(slider) + " at " + std::to_string(position), 0, 1);
    }

    void click(HWND button, int& shown, int value, int sends) {
        ASSERT_TRUE(clickButton(run, button));
        shown = value;
        checkEverything("button " + windowText(button), 0, sends);
    }

    // Opens the dialog of `commandId` from the menu: above the window, owned
    // by it and disabling it. Chooses `path` in it, or cancels it when
    // `path` is empty; then the window has the focus back, on top.
    void useDialog(int commandId, const char* title, const std::string& path) {
        ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(commandId), 0));
        HWND dialog = waitForFileDialog(run, title);
        ASSERT_NE(dialog, nullptr) << title;
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), run.window) << title;
        EXPECT_TRUE(windowIsAbove(dialog, run.window)) << title;
        EXPECT_FALSE(IsWindowEnabled(run.window)) << title;
        ASSERT_TRUE(path.empty() ? cancelFileDialog(dialog) : chooseFileInDialog(dialog, path)) << title;
        EXPECT_TRUE(waitUntil([&] { return GetForegroundWindow() == run.window; }, 5000)) << title << ": focus";
        EXPECT_TRUE(GetWindowLongA(run.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << title;
        ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0)) << title;
    }

    // palette-balance.exe's colours for the host's palette, as an 8-bit BMP.
    std::vector<uint8_t> paletteToolTable(std::vector<std::string> options) {
        const std::string input = freshTemporaryFile("settings-e2e-host.bmp");
        const std::string output = freshTemporaryFile("settings-e2e-out.bmp");
        std::ofstream(input, std::ios::binary) << bitmapOfTable(colourTable(pluginSource));
        options.insert(options.end(), {input, output});
        EXPECT_EQ(runPaletteTool(options), 0u);
        const std::string written = fileText(output);
        const size_t tableBytes = colourTable(pluginSource).size();
        if (written.size() < 54 + tableBytes) return {};
        return std::vector<uint8_t>(written.begin() + 54, written.begin() + 54 + long(tableBytes));
    }
};

// Sliders set in both states through the window and saved through the Save
// dialog: the file holds the whole record, and palette-balance.exe with it
// gives exactly the palette the host received for each state.
TEST_F(PluginSettingsFiles, LookSavedThroughTheMenuGivesPaletteBalanceTheHostsPalettes) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    moveSlider(CyanRed, 300);
    moveSlider(3, 70);
    click(run.controls.rangeButtons[Lows], expected.currentRange, Lows, 0);
    moveSlider(YellowBlue, 450);
    click(run.controls.stateButtons[1], expected.currentState, 1, 1);
    click(run.controls.rangeButtons[Mediums], expected.currentRange, Mediums, 0);
    moveSlider(MagentaGreen, 100);
    moveSlider(4, 180);
    ASSERT_TRUE(runCommand(run, IDM_BRIGHTNESS_PRESERVATION));
    expected.preserveBrightness = false;
    checkEverything("brightness preservation off", 0, 1);
    click(run.controls.stateButtons[0], expected.currentState, 0, 1);
    const std::vector<uint8_t> hostTableA = hostTable;
    click(run.controls.stateButtons[1], expected.currentState, 1, 1);
    ASSERT_FALSE(HasFatalFailure());

    const std::string path = freshTemporaryFile("settings-e2e-saved.balance");
    useDialog(IDM_SAVE_SETTINGS, SAVE_SETTINGS_DIALOG_TITLE, "");
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "cancelled, yet saved";
    useDialog(IDM_SAVE_SETTINGS, SAVE_SETTINGS_DIALOG_TITLE, path);
    checkEverything("after the dialogs", 0, 0);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
    EXPECT_EQ(fileText(path), formatSettingsText(expected, "\r\n"));

    std::vector<uint8_t> table = paletteToolTable({"--settings=" + path});
    EXPECT_TRUE(table == hostTable) << "state B, shown: " << describeTableDifference(hostTable, table);
    table = paletteToolTable({"--settings=" + path, "--state=A"});
    EXPECT_TRUE(table == hostTableA) << "--state=A: " << describeTableDifference(hostTableA, table);
}

// A look saved by palette-balance.exe --save-settings, loaded through the
// Open dialog: the window shows it as state A, state B at its defaults, and
// the host receives the palette that palette-balance.exe writes with it.
TEST_F(PluginSettingsFiles, LookSavedByPaletteBalanceLoadsThroughTheMenu) {
    const std::string path = freshTemporaryFile("settings-e2e-tool.balance");
    ASSERT_EQ(runPaletteTool({"--save-settings=" + path, "--plain", "--lows=-0.25,0,0.5", "--mediums=0.3,0,0",
                              "--lows-below=0.3", "--all=0,-0.25,0.25"},
                             "palette-balance: --mediums=0.3,0,0 is used as 0.296875,0,0 (the nearest "
                             "slider steps towards 0)\r\npalette-balance: --lows-below=0.3 is used as "
                             "0.296875 (the nearest slider step below)\r\n"),
              0u);
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    click(run.controls.stateButtons[1], expected.currentState, 1, 1);
    click(run.controls.rangeButtons[Heights], expected.currentRange, Heights, 0);
    moveSlider(CyanRed, 100);
    ASSERT_FALSE(HasFatalFailure());

    useDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE, "");
    checkEverything("Load cancelled", 0, 0);
    useDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE, path);
    static_cast<BalanceSettings&>(expected) = kDefaultBalanceSettings;
    const SliderState stateA = {76.0f / 256, kDefaultHeightsAbove,  // 0.3 on the slider's step
                                {{-0.25f, 0, 0.5f}, {76.0f / 256, 0, 0}, {0, 0, 0}, {0, -0.25f, 0.25f}}};
    expected.states[0] = stateA;
    expected.preserveBrightness = false;
    checkEverything("loaded", 0, 1);
    EXPECT_EQ(windowText(run.controls.infoLine),
              "State A.All      (+0.00 -0.25 +0.25)\nlows-below: 0.30 heights-above: 0.80");
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";

    const std::vector<uint8_t> table = paletteToolTable({"--settings=" + path});
    EXPECT_TRUE(table == hostTable) << describeTableDifference(hostTable, table);
}

// The text of a file dialog's name box (cmb13, or edt1 in the older dialog).
std::string fileDialogName(HWND dialog) {
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
    char text[MAX_PATH] = "";
    DWORD_PTR length = 0;
    if (!name || !SendMessageTimeoutA(name, WM_GETTEXT, sizeof text, LPARAM(text), SMTO_NORMAL, 5000, &length))
        return "(no name box)";
    return text;
}

// The Save dialog opens with look.balance in the Documents folder, later in
// the folder of the settings file last used; names in other scripts and with
// blanks save and load through both dialogs.
TEST_F(PluginSettingsFiles, SaveDialogSuggestsLookInDocumentsThenTheLastFolderUsed) {
    char documents[MAX_PATH] = "";
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
    const std::string suggested = std::string(documents) + "\\" + kSuggestedSettingsFileName;
    DeleteFileA(suggested.c_str());
    // Japanese and Greek, with a blank; the file's name Cyrillic.
    const std::string folder = freshTemporaryFile("\xE8\xA8\xAD\xE5\xAE\x9A \xCE\xB1\xCE\xB2\xCE\xB3");
    const std::string named = folder + "\\\xD0\xB2\xD0\xB8\xD0\xB4 1.balance";
    const std::string second = folder + "\\second.balance";
    CreateDirectoryA(folder.c_str(), nullptr);
    DeleteFileA(named.c_str());
    DeleteFileA(second.c_str());
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    moveSlider(CyanRed, 300);

    ASSERT_TRUE(PostMessageA(run.window, WM_COMMAND, WPARAM(IDM_SAVE_SETTINGS), 0));
    HWND dialog = waitForFileDialog(run, SAVE_SETTINGS_DIALOG_TITLE);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(fileDialogName(dialog), kSuggestedSettingsFileName);
    ASSERT_TRUE(chooseFileInDialog(dialog, kSuggestedSettingsFileName));  // OK, as suggested
    ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0));
    EXPECT_EQ(fileText(suggested), formatSettingsText(expected, "\r\n")) << suggested;
    DeleteFileA(suggested.c_str());

    useDialog(IDM_SAVE_SETTINGS, SAVE_SETTINGS_DIALOG_TITLE, named);
    EXPECT_EQ(fileText(named), formatSettingsText(expected, "\r\n")) << named;
    useDialog(IDM_SAVE_SETTINGS, SAVE_SETTINGS_DIALOG_TITLE, "second.balance");
    EXPECT_EQ(fileText(second), formatSettingsText(expected, "\r\n")) << "second.balance in the last folder";

    const BalanceSettings saved = expected;
    moveSlider(MagentaGreen, 100);
    useDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE, named);
    static_cast<BalanceSettings&>(expected) = saved;
    checkEverything("loaded from " + named, 0, 1);
    EXPECT_TRUE(pluginBoxes().empty()) << "a message box was shown";
}

// Each refused file chosen in the Open dialog shows one box that names the
// file and the reason; the settings, the window and the host stay as they were.
TEST_F(PluginSettingsFiles, RefusedFilesShowOneBoxAndChangeNothing) {
    startSession("", PluginBuild::Probed);
    ASSERT_FALSE(HasFatalFailure());
    click(run.controls.rangeButtons[Mediums], expected.currentRange, Mediums, 0);
    moveSlider(YellowBlue, 200);
    ASSERT_FALSE(HasFatalFailure());
    const std::string good = formatSettingsText(kDefaultBalanceSettings, "\r\n");
    auto changed = [&](const std::string& from, const std::string& to) {
        return std::string(good).replace(good.find(from), from.size(), to);
    };
    // file | its text | the reason the box gives
    const struct {
        const char* file;
        std::string text, reason;
    } samples[] = {
        {"range.balance", changed("B.Lows.CyanRed=0", "B.Lows.CyanRed=1.5"),
         "line 21: B.Lows.CyanRed: 1.5 is outside -1 to 1"},
        {"repeat.balance", good + "shown-state=B\r\n", "line 33: shown-state repeats line 2"},
        {"missing.balance", changed("A.All.CyanRed=0\r\n", ""),
         "no A.All.CyanRed line (a settings file needs every key)"},
        {"case.balance", changed("A.All.CyanRed", "A.all.cyanRed"),
         "no A.All.CyanRed line (a settings file needs every key); line 16: A.all.cyanRed differs from it "
         "only in letter case"},
        {"version.balance", changed("version 1", "version 2"),
         "line 1: unknown version 2 (this program reads version 1)"},
        {"binary.balance", changed("shown-range", "\x89PNG\r\nshown-range"), "line 3: byte 0x89 is not text"},
    };
    for (const auto& sample : samples) {
        const std::string path = freshTemporaryFile(sample.file);
        std::ofstream(path, std::ios::binary) << sample.text;
        useDialog(IDM_LOAD_SETTINGS, LOAD_SETTINGS_DIALOG_TITLE, path);
        ASSERT_TRUE(waitUntil([&] { return !pluginBoxes().empty(); }, 10000)) << sample.file << ": no box";
        ASSERT_TRUE(sendToPlugin(run.window, WM_NULL, 0, 0));
        const std::vector<SeenMessageBox> boxes = pluginBoxes();
        ASSERT_EQ(boxes.size(), 1u) << sample.file;
        EXPECT_EQ(boxes[0].caption, kPluginCaption);
        EXPECT_EQ(boxes[0].text, std::string(kSettingsNotLoadedText) + "\n" + path + "\n" + sample.reason);
        checkEverything(sample.file, 0, 0);
        ASSERT_TRUE(startMessageBoxWatcher(true));  // forgets the box seen
    }
}

}  // namespace
