// The command line of palette-balance: settings in the plugin's terms,
// refused when out of range, and a help text whose examples work.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "palette_balance.h"
#include "sample_files.h"
#include "tool_options.h"

namespace {

std::vector<std::string> words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> result;
    for (std::string word; stream >> word;) result.push_back(word);
    return result;
}

std::string joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
    return text;
}

}  // namespace

TEST(ToolOptions, DefaultsAreThePluginsStartUpSettings) {
    ToolOptions options;
    std::string error;
    ASSERT_TRUE(parseToolOptions({"in.gpl", "out.gpl"}, options, error)) << error;
    EXPECT_EQ(kDefaultLowsBelow, options.state.lowsBelow);
    EXPECT_EQ(kDefaultHeightsAbove, options.state.heightsAbove);
    for (int range = 0; range < kToneRangeCount; ++range)
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            EXPECT_EQ(0.0f, options.state.balance[range][axis]) << range << "/" << axis;
    EXPECT_TRUE(options.preserveBrightness);
    EXPECT_FALSE(options.showRanges);
    EXPECT_FALSE(options.formatGiven);
    EXPECT_EQ("in.gpl", options.inputPath);
    EXPECT_EQ("out.gpl", options.outputPath);
}

// Values are read as exact decimals onto the sliders' steps, as a settings
// file reads them; each option whose value moved gets one line saying so.
TEST(ToolOptions, SettingsAreStoredOnTheSlidersSteps) {
    ToolOptions options;
    std::string error;
    ASSERT_TRUE(
        parseToolOptions({"--lows=0.25,-0.5,1", "--mediums", "-1,0.1,1e-1", "--heights=+0.3,-0,.5",
                          "--all=-0.00390625,0,0", "--lows-below=0", "--heights-above", "0.7",
                          "--plain", "--format=riff", "in.gpl", "out.pal"},
                         options, error))
        << error;
    const float expected[kToneRangeCount][kBalanceAxisCount] = {{0.25f, -0.5f, 1.0f},
                                                                {-1.0f, 25.0f / 256, 25.0f / 256},
                                                                {76.0f / 256, 0.0f, 0.5f},
                                                                {-1.0f / 256, 0.0f, 0.0f}};
    for (int range = 0; range < kToneRangeCount; ++range)
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            EXPECT_EQ(expected[range][axis], options.state.balance[range][axis])
                << rangeDisplayName(range) << " " << axisDisplayName(axis);
    EXPECT_EQ(0.0f, options.state.lowsBelow);
    EXPECT_EQ(179.0f / 256, options.state.heightsAbove);
    std::vector<std::string> lines;
    for (const MovedValue& moved : options.movedValues) lines.push_back(moved.line);
    EXPECT_EQ((std::vector<std::string>{
                  "--mediums=-1,0.1,1e-1 is used as -1,0.09765625,0.09765625 (the nearest slider "
                  "steps towards 0)",
                  "--heights=+0.3,-0,.5 is used as 0.296875,0,0.5 (the nearest slider steps "
                  "towards 0)",
                  "--heights-above=0.7 is used as 0.69921875 (the nearest slider step below)"}),
              lines);
    EXPECT_FALSE(options.preserveBrightness);
    EXPECT_TRUE(options.formatGiven);
    EXPECT_EQ(RiffPalette, options.outputFormat);

    // "--" ends the options, so a file may begin with a dash; the last of a repeated option counts.
    ASSERT_TRUE(parseToolOptions(
        {"--lows-below=1", "--all=1,1,1", "--all=0,0,-1", "--", "-in.gpl", "--plain"}, options,
        error))
        << error;
    EXPECT_EQ(1.0f, options.state.lowsBelow);
    EXPECT_EQ(-1.0f, options.state.balance[All][YellowBlue]);
    EXPECT_EQ(0.0f, options.state.balance[All][CyanRed]);
    EXPECT_TRUE(options.preserveBrightness);
    EXPECT_EQ("-in.gpl", options.inputPath);
    EXPECT_EQ("--plain", options.outputPath);
    EXPECT_TRUE(options.movedValues.empty());

    // The exact decimal is rounded, not the float nearest to it; an exponent
    // moves the point; the note of an option given again is that of its last use.
    ASSERT_TRUE(parseToolOptions({"--lows-below=0.3", "--lows-below=0.79999999",
                                  "--heights-above=0.8", "--all=0.99999999,25e-3,-7.8125E-3",
                                  "a", "b"},
                                 options, error))
        << error;
    EXPECT_EQ(204.0f / 256, options.state.lowsBelow);
    EXPECT_EQ(0.8f, options.state.heightsAbove);
    EXPECT_EQ(255.0f / 256, options.state.balance[All][CyanRed]);
    EXPECT_EQ(6.0f / 256, options.state.balance[All][MagentaGreen]);
    EXPECT_EQ(-2.0f / 256, options.state.balance[All][YellowBlue]);
    ASSERT_EQ(2u, options.movedValues.size());
    EXPECT_EQ("--lows-below=0.79999999 is used as 0.796875 (the nearest slider step below)",
              options.movedValues[0].line);
    EXPECT_EQ("--all", options.movedValues[1].option);
}

TEST(ToolOptions, BadOptionsAreRefusedWithTheirReason) {
    // arguments | the reason
    const struct {
        std::vector<std::string> arguments;
        std::string error;
    } samples[] = {
        {{"--lows=1.5,0,0", "a", "b"}, "--lows=1.5,0,0: 1.5 is outside -1 to 1"},
        {{"--mediums=0,-1.0001,0", "a", "b"}, "--mediums=0,-1.0001,0: -1.0001 is outside -1 to 1"},
        {{"--heights=0,0", "a", "b"},
         "--heights=0,0: expected three values CR,MG,YB (CyanRed, MagentaGreen, YellowBlue)"},
        {{"--all=0,0,0,0", "a", "b"}, "--all=0,0,0,0: expected three values CR,MG,YB"},
        {{"--all=nan,0,0", "a", "b"}, "--all=nan,0,0: 'nan' is not a number"},
        {{"--all=0,inf,0", "a", "b"}, "--all=0,inf,0: 'inf' is not a number"},
        {{"--all=0,0,1e40", "a", "b"}, "--all=0,0,1e40: 1e40 is outside -1 to 1"},
        {{"--all=0,0,1.00000001", "a", "b"}, "--all=0,0,1.00000001: 1.00000001 is outside -1 to 1"},
        {{"--all=0,0,1e", "a", "b"}, "--all=0,0,1e: '1e' is not a number"},
        {{"--all=0,0,e1", "a", "b"}, "--all=0,0,e1: 'e1' is not a number"},
        {{"--lows-below=-1e-9", "a", "b"}, "--lows-below=-1e-9: -1e-9 is outside 0 to 1"},
        {{"--lows=0.5x,0,0", "a", "b"}, "--lows=0.5x,0,0: '0.5x' is not a number"},
        {{"--lows= 0.5,0,0", "a", "b"}, "--lows= 0.5,0,0: ' 0.5' is not a number"},
        {{"--lows=,0,0", "a", "b"}, "--lows=,0,0: '' is not a number"},
        {{"--lows=0x1,0,0", "a", "b"}, "--lows=0x1,0,0: '0x1' is not a number"},
        {{"--lows=-,0,0", "a", "b"}, "--lows=-,0,0: '-' is not a number"},
        {{"--lows-below=1.01", "a", "b"}, "--lows-below=1.01: 1.01 is outside 0 to 1"},
        {{"--heights-above=-0.1", "a", "b"}, "--heights-above=-0.1: -0.1 is outside 0 to 1"},
        {{"--heights-above=0.8.1", "a", "b"}, "--heights-above=0.8.1: '0.8.1' is not a number"},
        {{"--format=tga", "a", "b"},
         "--format=tga: unknown format 'tga' (expected gpl, jasc, riff, bmp, png, gif, hex or "
         "act)"},
        {{"--preview=", "a", "b"}, "--preview=: expected the name of the picture to write"},
        {{"--preview=b", "a", "b"}, "--preview and OUTPUT name the same file"},
        {{"--ranges", "--preview=a", "a"}, "--preview and INPUT name the same file"},
        {{"--out-dir="}, "--out-dir=: expected the name of a folder"},
        {{"--out-dir=night"}, "--out-dir needs at least one INPUT file"},
        {{"--in-place", "a", "b"}, "--in-place goes with --out-dir=DIR"},
        {{"--ranges", "--out-dir=night", "a"},
         "--ranges writes nothing; it does not go with --out-dir"},
        {{"--out-dir=night", "--preview=p.png", "a"},
         "with --out-dir, --preview takes no file name: each preview is NAME-preview.png in DIR"},
        {{"--out-dir=night", "--preview", "p.png", "a"},
         "with --out-dir, --preview takes no file name: each preview is NAME-preview.png in DIR"},
        {{"--save-settings=./b", "a", "b"}, "--save-settings and OUTPUT name the same file"},
        {{"--save-settings=a", "--out-dir=o", "b", "a"}, "--save-settings and INPUT name the same file"},
        {{"--settings=s", "--preview=./s", "a", "b"}, "--preview and --settings name the same file"},
        {{"--in-place=yes", "--out-dir=.", "a"}, "--in-place takes no value"},
        {{"--plain=1", "a", "b"}, "--plain takes no value"},
        {{"a", "b", "--lows"}, "--lows needs a value: --lows=CR,MG,YB"},
        {{"--bogus", "a", "b"}, "unknown option '--bogus'"},
        {{"-x", "a", "b"}, "unknown option '-x'"},
        {{"a"}, "expected INPUT and OUTPUT files"},
        {{"a", "b", "c"}, "unexpected 'c' after INPUT and OUTPUT"},
        {{"--ranges"}, "--ranges needs an INPUT file"},
        {{"--ranges", "a", "b"}, "--ranges reads INPUT only and writes nothing; unexpected 'b'"},
        {{"--state=B", "a", "b"}, "--state needs --settings"},
        {{"--settings=s", "--state=b", "a", "b"}, "--state=b: expected A or B"},
        {{"--settings=", "a", "b"}, "--settings=: expected the name of a settings file"},
        {{"--save-settings=b", "a", "b"}, "--save-settings and OUTPUT name the same file"},
        {{"--save-settings=p", "--preview=p", "a", "b"},
         "--save-settings and --preview name the same file"},
        {{"--save-settings=s", "--preview=p.png"}, "expected INPUT and OUTPUT files"},
    };
    for (const auto& sample : samples) {
        ToolOptions options;
        std::string error;
        EXPECT_FALSE(parseToolOptions(sample.arguments, options, error))
            << joined(sample.arguments);
        EXPECT_EQ(sample.error, error.substr(0, sample.error.size())) << joined(sample.arguments);
    }
}

TEST(ToolOptions, HelpWinsOverEverythingElse) {
    // arguments | help | all | version
    static const struct {
        std::vector<std::string> arguments;
        bool help, all, version;
    } samples[] = {
        {{"--lows=5,0,0", "-h"}, true, false, false},
        {{"--help=all", "--lows=5,0,0"}, true, true, false},
        {{"nothing.gpl", "--version"}, false, false, true},
    };
    for (const auto& sample : samples) {
        ToolOptions options;
        std::string error;
        ASSERT_TRUE(parseToolOptions(sample.arguments, options, error)) << joined(sample.arguments);
        EXPECT_EQ(sample.help, options.showHelp) << joined(sample.arguments);
        EXPECT_EQ(sample.all, options.showAllHelp) << joined(sample.arguments);
        EXPECT_EQ(sample.version, options.showVersion) << joined(sample.arguments);
    }
}

// Both help texts fit an 80-column console, the short one on a screen of
// 25 rows with the prompt below it, and the short one names every option
// and format.
TEST(ToolOptions, HelpTextsFitEightyColumns) {
    const std::string brief = toolShortHelpText();
    for (const std::string& text : {brief, toolHelpText()}) {
        size_t lines = 0;
        for (size_t begin = 0, end; begin < text.size(); begin = end + 1, ++lines) {
            end = text.find('\n', begin);
            ASSERT_NE(std::string::npos, end) << "the text must end with a line end";
            EXPECT_LE(end - begin, 79u) << text.substr(begin, end - begin);
        }
        EXPECT_LE(lines, text == brief ? 24u : 200u);
    }
    for (size_t i = 0; i < kToolOptionCount; ++i)
        EXPECT_NE(std::string::npos, brief.find(kToolOptions[i].name)) << kToolOptions[i].name;
    for (size_t i = 0; i < kToolFormatCount; ++i)
        EXPECT_NE(std::string::npos, brief.find(kToolFormats[i].name)) << kToolFormats[i].name;
}

// --help=all shows every option with an example, and each example is a
// working command line that uses its option.
TEST(ToolOptions, HelpDocumentsEveryOptionWithAWorkingExample) {
    const std::string help = toolHelpText();
    std::string flowing;  // the help with its lines joined, without their indents
    for (char c : help)
        if (c != ' ' && c != '\n')
            flowing += c;
        else if (!flowing.empty() && flowing.back() != ' ')
            flowing += ' ';
    for (size_t i = 0; i < kToolOptionCount; ++i) {
        const ToolOption& option = kToolOptions[i];
        EXPECT_NE(std::string::npos, help.find("\n  " + std::string(option.name))) << option.name;
        EXPECT_NE(std::string::npos, flowing.find("Example: " + std::string(option.example) + " "))
            << option.name;

        std::vector<std::string> arguments = words(option.example);
        ASSERT_EQ("palette-balance", arguments.front()) << option.example;
        arguments.erase(arguments.begin());
        ToolOptions options;
        std::string error;
        ASSERT_TRUE(parseToolOptions(arguments, options, error)) << option.example << ": " << error;
        const ToolOptions defaults = defaultToolOptions();
        switch (option.kind) {
            case BalanceOption: {
                const float* values = options.state.balance[option.target];
                EXPECT_TRUE(values[0] != 0 || values[1] != 0 || values[2] != 0) << option.example;
                break;
            }
            case ThresholdOption:
                EXPECT_TRUE(options.state.lowsBelow != defaults.state.lowsBelow ||
                            options.state.heightsAbove != defaults.state.heightsAbove)
                    << option.example;
                break;
            case BrightnessOption: EXPECT_EQ(options.preserveBrightness, option.target == 1) << option.example; break;
            case FormatOption: EXPECT_TRUE(options.formatGiven) << option.example; break;
            case RangesOption: EXPECT_TRUE(options.showRanges) << option.example; break;
            case PreviewOption: EXPECT_FALSE(options.previewPath.empty()) << option.example; break;
            case SettingsOption: EXPECT_FALSE(options.settingsPath.empty()) << option.example; break;
            case StateOption: EXPECT_EQ(1, options.settingsState) << option.example; break;
            case SaveSettingsOption:
                EXPECT_FALSE(options.saveSettingsPath.empty()) << option.example;
                break;
            case HelpOption: EXPECT_TRUE(options.showAllHelp) << option.example; break;
            case VersionOption: EXPECT_TRUE(options.showVersion) << option.example; break;
            case OutputDirOption:
                EXPECT_FALSE(options.outputDir.empty()) << option.example;
                EXPECT_FALSE(options.inputPaths.empty()) << option.example;
                break;
            case InPlaceOption: EXPECT_TRUE(options.inPlace) << option.example; break;
        }
    }
    // Each format is listed with an example whose output name chooses it.
    for (size_t i = 0; i < kToolFormatCount; ++i) {
        const ToolFormat& format = kToolFormats[i];
        EXPECT_NE(std::string::npos, flowing.find("Example: " + std::string(format.example) + " "))
            << format.name;
        std::vector<std::string> arguments = words(format.example);
        arguments.erase(arguments.begin());
        ToolOptions options;
        std::string error;
        ASSERT_TRUE(parseToolOptions(arguments, options, error)) << format.example << ": " << error;
        PaletteFormat chosen = PaletteFormat(-1);
        EXPECT_TRUE(chooseOutputFormat(options, format.format, chosen, error)) << format.example;
        EXPECT_EQ(format.format, chosen) << format.example;
    }
    // What happens to a link at OUTPUT, and the GIF colour limit, are told.
    for (const char* line :
         {"Usage: palette-balance", "Exit status", "--out-dir=DIR INPUT...",
          "When OUTPUT is a symbolic link, the link itself is replaced by the new file and the "
          "file it points to is left as it was",
          "All tables together hold at most 65,536 colours"})
        EXPECT_NE(std::string::npos, flowing.find(line)) << line;
}

TEST(ToolOptions, OutputFormatFollowsTheNameOrTheOption) {
    // output | input format | --format value or "" | expected format, or -1 for a refusal
    static const struct {
        const char* output;
        PaletteFormat input;
        const char* option;
        int expected;
    } samples[] = {
        {"out.gpl", IndexedBitmap, "", GimpPalette},
        {"C:\\palettes\\OUT.GPL", JascPalette, "", GimpPalette},
        {"out.bmp", GimpPalette, "", IndexedBitmap},
        {"out.pal", RiffPalette, "", RiffPalette},
        {"out.pal", JascPalette, "", JascPalette},
        {"out.pal", GimpPalette, "", JascPalette},
        {"out.pal", IndexedBitmap, "", JascPalette},
        {"out.pal", JascPalette, "riff", RiffPalette},
        {"out.txt", GimpPalette, "bmp", IndexedBitmap},
        {"out.PNG", GimpPalette, "", IndexedPng},
        {"out.gif", IndexedPng, "", IndexedGif},
        {"out.hex", IndexedGif, "", HexPalette},
        {"out.act", HexPalette, "", ActPalette},
        {"out.gif", IndexedGif, "act", ActPalette},
        {"out.txt", GimpPalette, "", -1},
        {"dir.gpl/out", GimpPalette, "", -1},
    };
    for (const auto& sample : samples) {
        std::vector<std::string> arguments = {"in", sample.output};
        if (*sample.option) arguments.push_back(std::string("--format=") + sample.option);
        ToolOptions options;
        std::string error;
        ASSERT_TRUE(parseToolOptions(arguments, options, error)) << error;
        PaletteFormat format = PaletteFormat(-1);
        const bool chosen = chooseOutputFormat(options, sample.input, format, error);
        EXPECT_EQ(sample.expected >= 0, chosen) << sample.output << " " << sample.option;
        if (chosen)
            EXPECT_EQ(sample.expected, int(format)) << sample.output << " " << sample.option;
        else
            EXPECT_EQ(
                "cannot tell the output format from the file name; use --format=gpl, jasc, riff, "
                "bmp, png, gif, hex or act",
                error);
    }
}

TEST(ToolOptions, PaletteNameIsTheBareFileName) {
    EXPECT_EQ("night", paletteNameFromPath("palettes/dusk/night.gpl"));
    EXPECT_EQ("under water.v2", paletteNameFromPath("C:\\art\\under water.v2.gpl"));
    EXPECT_EQ("plain", paletteNameFromPath("plain"));
    EXPECT_EQ(".hidden", paletteNameFromPath("dir.d/.hidden"));
}

// With --out-dir every file is an INPUT, and a bare --preview that no name
// follows asks for one preview per file; a name after it stays its value.
TEST(ToolOptions, OutputDirTakesEveryFileAsAnInput) {
    ToolOptions options;
    std::string error;
    ASSERT_TRUE(parseToolOptions({"--preview", "--out-dir", "night", "a.png", "b.gif", "--in-place",
                                  "--", "--c.gpl"},
                                 options, error))
        << error;
    EXPECT_EQ("night", options.outputDir);
    EXPECT_EQ((std::vector<std::string>{"a.png", "b.gif", "--c.gpl"}), options.inputPaths);
    EXPECT_TRUE(options.previewEach);
    EXPECT_TRUE(options.inPlace);
    EXPECT_EQ("", options.previewPath);

    ASSERT_TRUE(parseToolOptions({"--preview", "p.png", "a.gpl", "b.gpl"}, options, error)) << error;
    EXPECT_EQ("p.png", options.previewPath);
    EXPECT_FALSE(options.previewEach);
    EXPECT_EQ("a.gpl", options.inputPath);
    EXPECT_TRUE(options.outputDir.empty());
}

TEST(ToolBalance, RangesTableClassifiesTheEdgeGreys) {
    const std::vector<PaletteColour> colours = {
        {50, 50, 50}, {51, 51, 51}, {204, 204, 204}, {205, 205, 205}};
    SliderState state = defaultToolOptions().state;
    EXPECT_EQ(
        "Lows below 0.2, Heights above 0.8, plain luminance\n"
        "Entry  Red  Green  Blue  Luminance  Range\n"
        "    0   50     50    50   0.196078  Lows\n"
        "    1   51     51    51   0.200000  Mediums\n"
        "    2  204    204   204   0.800000  Mediums\n"
        "    3  205    205   205   0.803922  Heights\n"
        "Lows: 1, Mediums: 2, Heights: 1\n",
        rangesTable(colours, state, false));
    state.lowsBelow = 0.25f;
    state.heightsAbove = 0.75f;
    const std::string table = rangesTable(colours, state, true);
    EXPECT_EQ(0u,
              table.find("Lows below 0.25, Heights above 0.75, brightness-preserving luminance\n"));
    EXPECT_NE(std::string::npos, table.find("Lows: 2, Mediums: 0, Heights: 2\n")) << table;
}
