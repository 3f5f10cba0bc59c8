// palette-balance end to end: the built tool is run as a process on palette
// files and its output files, messages and exit codes are checked. In the
// Windows build this runs under Wine and starts the Windows tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "start_process.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "file_access.h"
#include "palette_files.h"
#include "palette_image.h"
#include "palette_preview.h"
#include "palette_transform.h"
#include "sample_files.h"
#include "settings_file.h"
#include "tool_options.h"

namespace fs = std::filesystem;

namespace {

const std::string kToolPath = PALETTE_TOOL_PATH;
const std::string kDataDir = PALETTE_TOOL_DATA_DIR;
const std::string kDuskGpl = kDataDir + "/dusk.gpl";
const std::string kDuskJasc = kDataDir + "/dusk.pal";

struct ToolRun {
    int exitCode;
    std::string out;  // stdout, with CR LF turned into LF
    std::string err;  // stderr, likewise
};

#ifdef _WIN32
// Quotes one argument by the rules of the C runtime's command-line parser;
// one without blanks or quotes stays bare, so that the tool's C runtime
// expands a wildcard in it as it does for cmd.exe.
std::string quotedArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

HANDLE createCaptureFile(const std::string& path) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Runs the tool with stdout and stderr going to the two files; returns its
// exit code, or -1 when it could not be started or did not end in time.
int runProcess(const std::vector<std::string>& arguments, const std::string& outPath,
               const std::string& errPath) {
    std::string commandLine = quotedArgument(kToolPath);
    for (const std::string& argument : arguments) commandLine += " " + quotedArgument(argument);
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    HANDLE out = createCaptureFile(outPath);
    HANDLE err = createCaptureFile(errPath);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    int exitCode = -1;
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        startProcessRetrying(buffer.data(), true, startup, process)) {
        DWORD code = 0;
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.hProcess, &code))
            exitCode = int(code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    return exitCode;
}
#else
std::string shellQuoted(const std::string& argument) {
    std::string quoted = "'";
    for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string toolCommand(const std::vector<std::string>& arguments) {
    std::string command = shellQuoted(kToolPath);
    for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
    return command;
}

// With `memoryLimitKiB`, the tool runs with that much address space at most;
// with `fileSizeLimit`, it can write no file larger than that (prlimit sets
// the limit in the child before it starts the tool), as on a full disk.
int runProcess(const std::vector<std::string>& arguments, const std::string& outPath,
               const std::string& errPath, size_t memoryLimitKiB = 0, uint64_t fileSizeLimit = 0) {
    std::string command =
        memoryLimitKiB ? "ulimit -v " + std::to_string(memoryLimitKiB) + " && " : "";
    if (fileSizeLimit) command += "prlimit --fsize=" + std::to_string(fileSizeLimit) + " ";
    command += shellQuoted(kToolPath);
    for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
    command += " </dev/null >" + shellQuoted(outPath) + " 2>" + shellQuoted(errPath);
    const int status = std::system(command.c_str());
    return (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}
#endif

std::string withoutCarriageReturns(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t byte : bytes)
        if (byte != '\r') text += char(byte);
    return text;
}

// Each test works in a folder of its own: `work` holds the palette files,
// the captured output lies beside it.
class PaletteToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::string(PALETTE_TOOL_SCRATCH_DIR) + "/" + info->test_suite_name() + "." +
                 info->name();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder + "/work");
    }

    std::string work(const std::string& name) const { return folder + "/work/" + name; }

    ToolRun run(const std::vector<std::string>& arguments, size_t memoryLimitKiB = 0,
                uint64_t fileSizeLimit = 0) const {
        const std::string outPath = folder + "/stdout.txt", errPath = folder + "/stderr.txt";
#ifdef _WIN32
        EXPECT_EQ(0u, memoryLimitKiB + fileSizeLimit) << "no process limits under Windows";
        const int exitCode = runProcess(arguments, outPath, errPath);
#else
        const int exitCode =
            runProcess(arguments, outPath, errPath, memoryLimitKiB, fileSizeLimit);
#endif
        return {exitCode, withoutCarriageReturns(readFileBytes(outPath)),
                withoutCarriageReturns(readFileBytes(errPath))};
    }

    std::set<std::string> workFiles() const {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder + "/work"))
            names.insert(entry.path().filename().string());
        return names;
    }

    // Files of `folder` (default: work) left by a write that did not finish.
    std::set<std::string> temporaryFiles(const std::string& in = "") const {
        std::set<std::string> names;
        for (const fs::directory_entry& entry :
             fs::directory_iterator(in.empty() ? folder + "/work" : in))
            if (entry.path().filename().string().find(kTemporaryInfix) != std::string::npos)
                names.insert(entry.path().filename().string());
        return names;
    }

    PaletteFile readPalette(const std::string& path) const {
        PaletteFile palette;
        std::string error;
        EXPECT_TRUE(parsePalette(readFileBytes(path), palette, error)) << path << ": " << error;
        return palette;
    }

    std::string folder;
};

std::string joined(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) text += (text.empty() ? "" : " ") + argument;
    return text;
}

SliderState defaultState() { return {kDefaultLowsBelow, kDefaultHeightsAbove, {}}; }

// What the plugin puts on the clipboard for these colours: a palette image
// rewritten by rebalancePalette. Returns the working image's colour table.
std::vector<uint8_t> pluginColourTable(const std::vector<PaletteColour>& colours,
                                       const SliderState& state, bool preserve) {
    std::vector<uint8_t> image(kPaletteHeaderBytes + 4 * colours.size(), 0);
    setU32(image, 0, kPaletteHeaderBytes);        // biSize
    setU32(image, 32, uint32_t(colours.size()));  // biClrUsed
    for (size_t i = 0; i < colours.size(); ++i) {
        image[kPaletteHeaderBytes + 4 * i + 0] = colours[i].blue;
        image[kPaletteHeaderBytes + 4 * i + 1] = colours[i].green;
        image[kPaletteHeaderBytes + 4 * i + 2] = colours[i].red;
    }
    std::vector<uint8_t> working = image;
    rebalancePalette(image.data(), working.data(), int32_t(image.size()), state, preserve);
    return std::vector<uint8_t>(working.begin() + kPaletteHeaderBytes, working.end());
}

std::vector<PaletteColour> coloursOfTable(const std::vector<uint8_t>& table) {
    std::vector<PaletteColour> colours;
    for (size_t i = 0; i + 3 < table.size(); i += 4)
        colours.push_back({table[i + 2], table[i + 1], table[i]});
    return colours;
}

std::vector<PaletteColour> duskColours16() {
    const std::vector<PaletteColour> dusk = duskColours();
    return {dusk.begin() + 12, dusk.begin() + 28};
}

// The pixels of an 8-bit RGB PNG, as the preview is written: chunks, zlib
// and the five row filters, undone here independently of the tool.
bool readRgbPng(const std::vector<uint8_t>& png, uint32_t& width, uint32_t& height,
                std::vector<uint8_t>& rgb) {
    auto u32 = [&](size_t at) {
        return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 |
               png[at + 3];
    };
    std::vector<uint8_t> packed;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = u32(at);
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        if (type == "IHDR") {
            width = u32(at + 8);
            height = u32(at + 12);
            if (png[at + 16] != 8 || png[at + 17] != 2) return false;
        }
        if (type == "IDAT")
            packed.insert(packed.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    const size_t stride = 3 * size_t(width);
    std::vector<uint8_t> rows((stride + 1) * height);
    uLongf size = uLongf(rows.size());
    if (uncompress(rows.data(), &size, packed.data(), uLong(packed.size())) != Z_OK ||
        size != rows.size())
        return false;
    rgb.assign(stride * height, 0);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t filter = rows[y * (stride + 1)];
        for (size_t x = 0; x < stride; ++x) {
            const int a = x >= 3 ? rgb[y * stride + x - 3] : 0,
                      b = y ? rgb[(y - 1) * stride + x] : 0,
                      c = (x >= 3 && y) ? rgb[(y - 1) * stride + x - 3] : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                      pc = std::abs(p - c);
            const int predictions[5] = {0, a, b, (a + b) / 2,
                                        (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c)};
            if (filter > 4) return false;
            rgb[y * stride + x] = uint8_t(rows[y * (stride + 1) + 1 + x] + predictions[filter]);
        }
    }
    return true;
}

// A hand-made PNG of colour type `colourType`, which has no palette.
std::vector<uint8_t> paletteFreePng(uint8_t colourType) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    appendPngChunk(png, "IHDR", {0, 0, 0, 4, 0, 0, 0, 4, 8, colourType, 0, 0, 0});
    appendPngChunk(png, "IEND", {});
    return png;
}

// `png` with byte `at` of its IHDR data set to `value`, and the CRC redone.
std::vector<uint8_t> withHeaderByte(std::vector<uint8_t> png, size_t at, uint8_t value) {
    png[16 + at] = value;
    const uint32_t crc = uint32_t(crc32(0, &png[12], 17));
    for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
}

// A GIF of `frames` one-pixel frames, each with a full local table of its own.
std::vector<uint8_t> gifOfManyTables(size_t frames) {
    std::vector<uint8_t> gif = textBytes("GIF89a");
    for (uint8_t byte : {1, 0, 1, 0, 0, 0, 0}) gif.push_back(byte);  // no global table
    for (size_t frame = 0; frame < frames; ++frame) {
        for (uint8_t byte : {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x87}) gif.push_back(byte);
        gif.insert(gif.end(), 768, uint8_t(frame));
        for (uint8_t byte : {8, 0}) gif.push_back(byte);  // code size, no image data
    }
    gif.push_back(0x3B);
    return gif;
}

// The first line of `text` and whether it was the only one.
bool isOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

}  // namespace

// With every balance value 0 the plain mode changes no colour, so each
// format must come back byte for byte, and the input is left alone.
TEST_F(PaletteToolTest, RoundTripEachFormatUnchangedWithZeroBalanceInPlainMode) {
    const std::vector<PaletteColour> dusk = duskColours();
    writeFileBytes(work("riff.pal"), sampleRiff(dusk, true));
    writeFileBytes(work("image.bmp"), sampleBitmap(dusk, 9, 7));
    writeFileBytes(work("top-down.bmp"), sampleBitmap(dusk, 4, -3, 124));
    writeFileBytes(work("image.png"), samplePng(dusk, 8, 7, 3, true));
    writeFileBytes(work("image-4.png"), samplePng(duskColours16(), 4, 5, 5));
    writeFileBytes(work("image.gif"), sampleGif(dusk, {dusk.begin(), dusk.begin() + 8}));
    writeFileBytes(work("dusk.hex"), textBytes("#22aa33\r\n\r\nFF00EE\r\n0a0b0c"));
    writeFileBytes(work("dusk.act"), sampleColourTable(dusk, true));
    const struct {
        std::string input, output;
    } samples[] = {
        {work("image.png"), "out.png"}, {work("image-4.png"), "out-4.png"},
        {work("image.gif"), "out.gif"}, {work("dusk.hex"), "out.hex"},
        {work("dusk.act"), "out.act"},  {kDuskGpl, "out.gpl"},
        {kDuskJasc, "out-jasc.pal"},    {work("riff.pal"), "out-riff.pal"},
        {work("image.bmp"), "out.bmp"}, {work("top-down.bmp"), "out-top-down.bmp"},
    };
    for (const auto& sample : samples) {
        const std::vector<uint8_t> before = readFileBytes(sample.input);
        ASSERT_FALSE(before.empty()) << sample.input;
        const ToolRun result = run({"--plain", sample.input, work(sample.output)});
        EXPECT_EQ(0, result.exitCode) << sample.input << ": " << result.err;
        EXPECT_EQ("", result.err);
        EXPECT_EQ(before, readFileBytes(work(sample.output))) << sample.input;
        EXPECT_EQ(before, readFileBytes(sample.input)) << "input changed: " << sample.input;
    }
    EXPECT_EQ(std::set<std::string>(), temporaryFiles());
}

// The tool's colours are the working palette that rebalancePalette makes
// from the same colours and settings, whatever the output format; a BMP's
// colour table holds exactly the bytes that the plugin sends.
TEST_F(PaletteToolTest, KnownPaletteMatchesThePluginTransformInEveryOutputFormat) {
    struct Settings {
        std::vector<std::string> arguments;
        void (*adjust)(SliderState&);
        bool preserve;
    };
    const Settings settings[] = {
        {{}, [](SliderState&) {}, true},
        {{"--mediums=1,0,0"}, [](SliderState& s) { s.balance[Mediums][CyanRed] = 1.0f; }, true},
        {{"--plain", "--mediums=0.5,0,-0.5"},
         [](SliderState& s) {
             s.balance[Mediums][CyanRed] = 0.5f;
             s.balance[Mediums][YellowBlue] = -0.5f;
         },
         false},
        {{"--lows=0.25,-0.5,0.75", "--mediums=-0.125,0.5,0", "--heights=0,-0.25,1",
          "--all=0.1,0.2,-0.3", "--lows-below=0.3", "--heights-above=0.6"},
         [](SliderState& s) {
             const float values[4][3] = {
                 {0.25f, -0.5f, 0.75f}, {-0.125f, 0.5f, 0}, {0, -0.25f, 1},
                 {25.0f / 256, 51.0f / 256, -76.0f / 256}};  // 0.1, 0.2, -0.3 on the sliders' steps
             for (int range = 0; range < kToneRangeCount; ++range)
                 for (int axis = 0; axis < kBalanceAxisCount; ++axis)
                     s.balance[range][axis] = values[range][axis];
             s.lowsBelow = 76.0f / 256;
             s.heightsAbove = 153.0f / 256;
         },
         true},
        {{"--plain", "--lows=-1,1,-0.5", "--heights=0.75,0,-1", "--all=-0.2,0,0.4"},
         [](SliderState& s) {
             s.balance[Lows][CyanRed] = -1.0f;
             s.balance[Lows][MagentaGreen] = 1.0f;
             s.balance[Lows][YellowBlue] = -0.5f;
             s.balance[Heights][CyanRed] = 0.75f;
             s.balance[Heights][YellowBlue] = -1.0f;
             s.balance[All][CyanRed] = -51.0f / 256;
             s.balance[All][YellowBlue] = 102.0f / 256;
         },
         false},
        {{"--lows-below=0.9", "--heights-above=0.1", "--lows=1,0,0", "--heights=0,0,1"},
         [](SliderState& s) {
             s.lowsBelow = 230.0f / 256;
             s.heightsAbove = 25.0f / 256;
             s.balance[Lows][CyanRed] = 1.0f;
             s.balance[Heights][YellowBlue] = 1.0f;
         },
         true},
    };
    const std::vector<PaletteColour> dusk = duskColours();
    for (const Settings& setting : settings) {
        SliderState state = defaultState();
        setting.adjust(state);
        const std::vector<uint8_t> table = pluginColourTable(dusk, state, setting.preserve);
        const std::vector<PaletteColour> expected = coloursOfTable(table);
        const struct {
            const char* output;
            const char* format;
            PaletteFormat kind;
        } outputs[] = {
            {"out.gpl", nullptr, GimpPalette},          {"out.pal", nullptr, JascPalette},
            {"riff.pal", "--format=riff", RiffPalette}, {"out.bmp", nullptr, IndexedBitmap},
            {"out.png", nullptr, IndexedPng},           {"out.gif", nullptr, IndexedGif},
            {"out.hex", nullptr, HexPalette},           {"out.act", nullptr, ActPalette},
        };
        for (const auto& output : outputs) {
            std::vector<std::string> arguments = setting.arguments;
            if (output.format) arguments.push_back(output.format);
            arguments.push_back(kDuskGpl);
            arguments.push_back(work(output.output));
            const ToolRun result = run(arguments);
            ASSERT_EQ(0, result.exitCode) << joined(arguments) << ": " << result.err;
            const PaletteFile palette = readPalette(work(output.output));
            EXPECT_EQ(output.kind, palette.format) << joined(arguments);
            ASSERT_EQ(expected.size(), palette.colours.size()) << joined(arguments);
            for (size_t i = 0; i < expected.size(); ++i)
                EXPECT_TRUE(sameColours({expected[i]}, {palette.colours[i]}))
                    << joined(arguments) << ", entry " << i << ": expected "
                    << colourText(expected[i]) << ", got " << colourText(palette.colours[i]);
            if (output.kind == IndexedBitmap) {
                // blue, green, red of each entry exactly where the plugin has them
                const std::vector<uint8_t> bytes = readFileBytes(work(output.output));
                for (size_t i = 0; i < dusk.size(); ++i)
                    EXPECT_TRUE(std::equal(table.begin() + 4 * i, table.begin() + 4 * i + 3,
                                           bytes.begin() + 54 + 4 * i))
                        << joined(arguments) << ", colour table entry " << i;
            }
        }
    }
}

// Fixed results of the plugin's transform for single entries of the known
// palette, in both modes.
TEST_F(PaletteToolTest, KnownPaletteFixedSamplesInBothModes) {
    // arguments | entry | expected red, green, blue
    const struct {
        std::vector<std::string> arguments;
        size_t entry;
        PaletteColour expected;
    } samples[] = {
        {{"--mediums=1,0,0"}, kDuskGrey128, {164, 115, 115}},
        {{"--mediums=-1,0,0"}, kDuskGrey128, {71, 138, 138}},
        {{"--plain", "--mediums=0.5,0,-0.5"}, kDuskGrey100, {177, 100, 50}},
        {{"--plain", "--mediums=0.5,0,-0.5", "--all=0,-1,0"}, kDuskGrey100, {177, 0, 50}},
        {{"--plain", "--lows=1,1,1"}, 0, {255, 255, 255}},
        {{"--lows=1,1,1"}, 0, {0, 0, 0}},
        {{}, kDuskGrey128, {127, 127, 127}},
        {{}, kDuskGrey4, {3, 3, 3}},
        {{}, kDuskGrey50, {50, 50, 50}},
        {{}, kDuskWhite, {254, 254, 254}},
        // grey 50 is a Low and grey 51 a Medium at the default thresholds
        {{"--plain", "--lows=-1,0,0"}, kDuskGrey50, {0, 50, 50}},
        {{"--plain", "--lows=-1,0,0"}, kDuskGrey51, {51, 51, 51}},
        {{"--plain", "--heights=-1,0,0"}, kDuskGrey204, {204, 204, 204}},
        {{"--plain", "--heights=-1,0,0"}, kDuskGrey205, {0, 205, 205}},
    };
    for (const auto& sample : samples) {
        std::vector<std::string> arguments = sample.arguments;
        arguments.push_back(kDuskGpl);
        arguments.push_back(work("out.gpl"));
        const ToolRun result = run(arguments);
        ASSERT_EQ(0, result.exitCode) << joined(arguments) << ": " << result.err;
        const PaletteFile palette = readPalette(work("out.gpl"));
        ASSERT_LT(sample.entry, palette.colours.size());
        EXPECT_TRUE(sameColours({sample.expected}, {palette.colours[sample.entry]}))
            << joined(arguments) << ", entry " << sample.entry << ": expected "
            << colourText(sample.expected) << ", got " << colourText(palette.colours[sample.entry]);
    }
}

// Each malformed or hostile input gives exit code 1 and one short line naming
// the file and what is wrong, with text from the file cut short and escaped,
// and leaves no output file nor temporary file. The hostile inputs that are
// fine (a line break in the output name, mixed line ends) give exit code 0
// and exactly the expected output.
TEST_F(PaletteToolTest, MalformedEachBadFileGivesItsMessageAndExitCode) {
    const std::vector<PaletteColour> dusk = duskColours();
    const std::vector<uint8_t> bitmap = sampleBitmap(dusk, 4, 4);
    const std::vector<uint8_t> riff = sampleRiff(dusk);
    std::vector<uint8_t> wave = riff;
    std::copy_n("WAVE", 4, wave.begin() + 8);
    const std::vector<uint8_t> png = samplePng(dusk, 8, 4, 4, true);
    std::vector<uint8_t> badCrc = png;
    badCrc[kSamplePngPaletteChunk + 8 + 5] ^= 1;
    std::vector<PaletteColour> tooMany(257, PaletteColour{1, 2, 3});
    const std::vector<uint8_t> gif = sampleGif(dusk, duskColours16());
    std::vector<uint8_t> badCount = sampleColourTable(dusk, true);
    badCount[768] = 0x01;
    badCount[769] = 0x2C;

    const std::vector<uint8_t> fullGif = gifOfManyTables(256);
    const std::string manyNines(100000, '9');
    const uint64_t pastTheLimit = kMaxInputBytes + 1;
    const std::string fortyNines(40, '9');

    // input file | bytes | the reason after "palette-balance: FILE: ", or its
    // start, "" for success | then, where they differ from the usual: the
    // output, its expected bytes, the options, the file's size when it is
    // grown to a sparse file, a memory limit, the input path
    const struct {
        const char* file;
        std::vector<uint8_t> bytes;
        std::string reason;
        std::string output = "out.gpl";
        std::string expected = "";
        std::vector<std::string> options = {"--mediums=0.5,0,0"};
        uint64_t sparseSize = 0;
        size_t memoryLimitKiB = 0;
        std::string path = "";
    } samples[] = {
        {"empty.gpl", {}, "empty file"},
        {"unknown.gpl", textBytes("Hello\n1 2 3\n"), "not a palette file"},
        {"misspelt.gpl", textBytes("GIMP Palettes\n1 2 3\n"), "line 1: expected 'GIMP Palette'"},
        {"truncated.gpl", textBytes("GIMP Palette\n1 2 3\n4 5"),
         "line 3: expected red, green and blue values"},
        {"letters.gpl", textBytes("GIMP Palette\n# c\n12 ab 3 x\n"),
         "line 3: 'ab' is not a colour value (a whole number from 0 to 255)"},
        {"negative.gpl", textBytes("GIMP Palette\n-1 2 3\n"), "line 2: '-1' is not a colour value"},
        {"too-bright.gpl", textBytes("GIMP Palette\n1 2 3\n256 0 0 x\n"),
         "line 3: colour value 256 is out of range (0 to 255)"},
        {"far-too-bright.gpl", textBytes("GIMP Palette\n99999999999999999999 0 0\n"),
         "line 2: colour value 99999999999999999999 is out of range"},
        {"version.pal", textBytes("JASC-PAL\n0200\n1\n1 2 3\n"),
         "line 2: unsupported JASC-PAL version '0200' (expected 0100)"},
        {"magic-only.pal", textBytes("JASC-PAL\n"), "truncated: the version line is missing"},
        {"no-count.pal", textBytes("JASC-PAL\r\n0100\r\n"),
         "truncated: the colour count line is missing"},
        {"bad-count.pal", textBytes("JASC-PAL\r\n0100\r\nsixteen\r\n1 2 3\r\n"),
         "line 3: colour count 'sixteen' is not a number"},
        {"count-too-large.pal", textBytes("JASC-PAL\r\n0100\r\n3\r\n1 2 3\r\n"),
         "truncated: the count says 3 colours, the file has 1 colour lines"},
        {"count-too-small.pal", textBytes("JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n"),
         "line 5: more colour lines than the count 1 says"},
        {"count-beyond-limit.pal", textBytes("JASC-PAL\n0100\n70000\n"),
         "line 3: colour count 70000 is more than 65536"},
        {"fourth-value.pal", textBytes("JASC-PAL\n0100\n1\n1 2 3 255\n"),
         "line 4: expected only red, green and blue values, found '255' after them"},
        {"jasc-too-bright.pal", textBytes("JASC-PAL\n0100\n1\n1 300 3\n"),
         "line 4: colour value 300 is out of range"},
        {"riff-header.pal", textBytes("RIFF\x10"), "truncated: too short for a RIFF header"},
        {"wave.pal", wave, "a RIFF file, but not a palette (form type 'WAVE', expected 'PAL ')"},
        {"riff-cut.pal", cutTo(riff, riff.size() - 4),
         "truncated: the RIFF header says 152 bytes, the file has 148"},
        {"riff-count.pal", withU16(riff, 22, 33),
         "the colour count 33 does not fit in the 'data' chunk of 132 bytes"},
        {"riff-chunk.pal", withU32(riff, 16, 500),
         "truncated: chunk 'data' needs 500 bytes, 132 are left"},
        {"riff-no-data.pal", textBytes(std::string("RIFF\x10\0\0\0PAL note\x04\0\0\0abcd", 24)),
         "no 'data' chunk in the RIFF palette"},
        {"header-cut.bmp", cutTo(bitmap, 30), "truncated: the BMP header is cut short"},
        {"too-short.bmp", textBytes("BM\x10"), "truncated: too short for a BMP header"},
        {"rgb.bmp", withU16(bitmap, 28, 24),
         "not an indexed BMP of 1, 4 or 8 bits per pixel: it has 24"},
        {"16-colour.bmp", withU16(bitmap, 28, 4), "colour count 32 is more than 16"},
        {"run-length-4.bmp", withU32(withU32(withU16(bitmap, 28, 4), 46, 16), 30, 2),
         "unsupported compression 2 for a 4-bit BMP"},
        {"core-header.bmp", withU32(bitmap, 14, 12), "unsupported BMP header size 12"},
        {"bit-fields.bmp", withU32(bitmap, 30, 3), "unsupported compression 3 for an 8-bit BMP"},
        {"many-colours.bmp", withU32(bitmap, 46, 300), "colour count 300 is more than 256"},
        {"short-table.bmp", cutTo(bitmap, 14 + 40 + 4 * 10),
         "colour table shorter than claimed: 32 colours need 128 bytes, the file ends 40 bytes "
         "after the header"},
        {"table-into-pixels.bmp", withU32(bitmap, 10, 14 + 40 + 4 * 31),
         "colour table shorter than claimed: 32 colours run into the pixel data at byte 178"},
        {"pixels-cut.bmp", cutTo(bitmap, bitmap.size() - 1),
         "truncated: the pixel data needs 16 bytes from byte 182, the file has 197"},
        {"zero-width.bmp", withU32(bitmap, 18, 0), "bad image size 0 x 4"},
        {"bad-crc.png", badCrc, "chunk 'PLTE' is damaged: its CRC does not match"},
        {"cut.png", cutTo(png, png.size() - 20), "truncated: chunk 'IDAT' needs "},
        {"no-end.png", cutTo(png, png.size() - 12),
         "truncated: the file ends before the 'IEND' chunk"},
        {"long-plte.png", samplePng(tooMany, 8, 2, 2),
         "the 'PLTE' chunk holds 257 colours, more than 256"},
        {"truecolour.png", paletteFreePng(2),
         "a truecolour PNG has no palette (only indexed PNGs, colour type 3, have one)"},
        {"grey.png", paletteFreePng(0), "a greyscale PNG has no palette"},
        {"compression.png", withHeaderByte(png, 10, 1),
         "unknown compression method 1 in the 'IHDR' chunk (PNG knows 0, deflate)"},
        {"filter.png", withHeaderByte(png, 11, 64), "unknown filter method 64 in the 'IHDR' chunk"},
        {"interlace.png", withHeaderByte(png, 12, 2),
         "unknown interlace method 2 in the 'IHDR' chunk (PNG knows 0, none, and 1, Adam7)"},
        {"many-tables.gif", gifOfManyTables(257),
         "more than 65536 colours in all colour tables together, the most palette-balance takes "
         "(256 frames each with a full table of its own)"},
        {"256-tables.gif", fullGif, "", "out.gif", std::string(fullGif.begin(), fullGif.end()),
         {"--plain"}},
        {"cut.gif", cutTo(gif, gif.size() - 4),
         "truncated: the image data of frame 2 runs past the end of the file"},
        {"cut-table.gif", cutTo(gif, 13 + 40),
         "truncated: the global colour table needs 96 bytes, 40 are left"},
        {"no-trailer.gif", cutTo(gif, gif.size() - 1),
         "truncated: the file ends before the GIF trailer"},
        {"bad-line.hex", textBytes("1a2b3c\nzz0000\n"),
         "line 2: expected a colour as RRGGBB, found 'zz0000'"},
        {"count.act", badCount, "the colour count 300 after the colour table is not 1 to 256"},
        {"missing.gpl", {}, "cannot open"},
        // hostile inputs
        {"escape.gpl", textBytes("GIMP Palette\n12 \x1b[31mred\\ 3\n"),
         "line 2: '\\x1b[31mred\\\\' is not a colour value (a whole number from 0 to 255)\n"},
        {"long-number.gpl", textBytes("GIMP Palette\n" + manyNines + " 0 0\n"),
         "line 2: colour value " + fortyNines + "... is out of range (0 to 255)\n"},
        {"long-count.pal", textBytes("JASC-PAL\n0100\n" + manyNines + "\n"),
         "line 3: colour count " + fortyNines + "... is more than 65536\n"},
        {"utf8-version.pal", textBytes("JASC-PAL\n\xc3\xa9\x7f\n"),
         "line 2: unsupported JASC-PAL version '\\xc3\\xa9\\x7f' (expected 0100)\n"},
        {"huge.gpl", textBytes("GIMP Palette\n"),
         "larger than 64 MiB, the limit for a palette file\n", "out.gpl", "",
         {"--mediums=0.5,0,0"}, pastTheLimit},
        {"mixed-ends.gpl", textBytes("GIMP Palette\nName: m\r\n0 0 0\n\r\n# c\r\n128 128 128"),
         "", "out.gpl", "GIMP Palette\nName: m\r\n0 0 0\n\r\n# c\r\n164 115 115",
         {"--mediums=1,0,0"}},
        {"mixed-ends.pal", textBytes("JASC-PAL\r\n0100\n2\n128 128 128\n50 50 50\r\n"), "",
         "out.pal", "JASC-PAL\r\n0100\n2\n164 115 115\n50 50 50\r\n", {"--mediums=1,0,0"}},
#ifndef _WIN32
        {"name.pal", textBytes("JASC-PAL\r\n0100\r\n2\r\n0 0 0\r\n50 50 50\r\n"), "",
         "x\n0 0 0.gpl",
         "GIMP Palette\nName: x0 0 0\n#\n  0   0   0\tIndex 0\n 50  50  50\tIndex 1\n"},
        {"zero-device.gpl", {}, "a device, not a file", "out.gpl", "", {"--mediums=0.5,0,0"}, 0, 0,
         "/dev/zero"},
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer needs more address space than this
        {"no-memory.gpl", textBytes("GIMP Palette\n"), "not enough memory\n", "out.gpl", "",
         {"--mediums=0.5,0,0"}, 60 << 20, 40 << 10},
#endif
#endif
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.file);
        std::error_code ignored;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder + "/work"))
            fs::remove(entry.path(), ignored);
        const std::string input = sample.path.empty() ? work(sample.file) : sample.path;
        const bool missing = std::string(sample.file) == "missing.gpl" || !sample.path.empty();
        if (!missing) writeFileBytes(input, sample.bytes);
        if (sample.sparseSize) fs::resize_file(input, sample.sparseSize);
        std::vector<std::string> arguments = sample.options;
        arguments.push_back(input);
        arguments.push_back(work(sample.output));
        const ToolRun result = run(arguments, sample.memoryLimitKiB);
        std::set<std::string> files;
        if (!missing) files.insert(sample.file);
        if (sample.reason.empty()) {
            EXPECT_EQ(0, result.exitCode) << result.err;
            EXPECT_EQ("", result.err);
            const std::vector<uint8_t> written = readFileBytes(work(sample.output));
            EXPECT_EQ(sample.expected, std::string(written.begin(), written.end()));
            files.insert(sample.output);
        } else {
            EXPECT_EQ(1, result.exitCode);
            EXPECT_TRUE(isOneLine(result.err)) << result.err;
            EXPECT_EQ(0u, result.err.rfind("palette-balance: " + input + ": " + sample.reason, 0))
                << result.err;
        }
        EXPECT_EQ("", result.out);
        EXPECT_EQ(files, workFiles());
    }
}

// A folder as INPUT, or on Windows a wildcard that matched no file, is said
// in words on one line that names it, and nothing is written.
TEST_F(PaletteToolTest, MalformedFolderAsInputGivesOneLineAndLeavesNoOutput) {
    fs::create_directory(work("folder.gpl"));
    // arguments | the line after "palette-balance: "
    std::vector<std::pair<std::vector<std::string>, std::string>> samples = {
        {{work("folder.gpl"), work("out.gpl")}, work("folder.gpl") + " is a folder; skipped"},
        {{"--ranges", work("folder.gpl")}, work("folder.gpl") + " is a folder; skipped"},
    };
#ifdef _WIN32
    samples.push_back({{work("*.xyz"), work("out.gpl")}, "no file matches " + work("*.xyz")});
#endif
    for (const auto& sample : samples) {
        const ToolRun result = run(sample.first);
        EXPECT_EQ(1, result.exitCode) << joined(sample.first);
        EXPECT_EQ("palette-balance: " + sample.second + "\n", result.err);
        EXPECT_EQ(std::set<std::string>{"folder.gpl"}, workFiles());
    }
}

// Refused settings give one line and exit code 2 before any file is written.
TEST_F(PaletteToolTest, MalformedBadOptionsGiveOneLineAndLeaveNoOutput) {
    // arguments before INPUT OUTPUT | output name | the message after "palette-balance: "
    const struct {
        std::vector<std::string> arguments;
        const char* output;
        std::string message;
    } samples[] = {
        {{"--lows=1.5,0,0"}, "out.gpl", "--lows=1.5,0,0: 1.5 is outside -1 to 1 (see --help)"},
        {{"--mediums=nan,0,0"}, "out.gpl", "--mediums=nan,0,0: 'nan' is not a number (see --help)"},
        {{"--heights-above=2"}, "out.gpl", "--heights-above=2: 2 is outside 0 to 1 (see --help)"},
        {{"--format=tga"}, "out.gpl", "--format=tga: unknown format 'tga'"},
        {{"--brightness"}, "out.gpl", "unknown option '--brightness' (see --help)"},
        {{}, "out.txt", "OUTPUT: cannot tell the output format from the file name"},
        {{"--save-settings=" + work(".") + "/out.gpl"}, "out.gpl",
         "--save-settings and OUTPUT name the same file"},
        {{"--out-dir=" + work("o"), "--save-settings=" + work("o/dusk.gpl")}, "dusk.hex",
         "--save-settings and the output " + work("o") + "/dusk.gpl name the same file"},
        {{"--out-dir=" + work("o"), "--preview", work("p.png")}, "dusk.hex",
         "with --out-dir, --preview takes no file name"},
    };
    for (const auto& sample : samples) {
        std::vector<std::string> arguments = sample.arguments;
        arguments.push_back(kDuskGpl);
        arguments.push_back(work(sample.output));
        const ToolRun result = run(arguments);
        std::string expected = "palette-balance: " + sample.message;
        const size_t placeholder = expected.find("OUTPUT:");
        if (placeholder != std::string::npos) expected.replace(placeholder, 6, work(sample.output));
        EXPECT_EQ(2, result.exitCode) << joined(arguments);
        EXPECT_TRUE(isOneLine(result.err)) << joined(arguments) << ": " << result.err;
        EXPECT_EQ(0u, result.err.rfind(expected, 0)) << joined(arguments) << ": " << result.err;
        EXPECT_TRUE(workFiles().empty()) << joined(arguments);
    }
}

// The rename must replace an existing output (rename() alone refuses on Windows).
TEST_F(PaletteToolTest, OutputExistingFileIsReplaced) {
    writeFileBytes(work("out.gpl"), textBytes("an older file that is longer than nothing\n"));
    const ToolRun result = run({"--mediums=1,0,0", kDuskGpl, work("out.gpl")});
    ASSERT_EQ(0, result.exitCode) << result.err;
    const PaletteFile palette = readPalette(work("out.gpl"));
    ASSERT_EQ(duskColours().size(), palette.colours.size());
    EXPECT_TRUE(sameColours({{164, 115, 115}}, {palette.colours[kDuskGrey128]}));
    EXPECT_EQ(std::set<std::string>{"out.gpl"}, workFiles());

    // A read-only output is refused in words and left as it was (Wine,
    // unlike Windows, would replace it: the refusal is the tool's own).
    const std::vector<uint8_t> kept = readFileBytes(work("out.gpl"));
    fs::permissions(work("out.gpl"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const ToolRun refused = run({"--mediums=-1,0,0", kDuskGpl, work("out.gpl")});
    fs::permissions(work("out.gpl"), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(1, refused.exitCode);
    EXPECT_EQ("palette-balance: " + work("out.gpl") + ": is read-only; the finished file was not put in its place\n",
              refused.err);
    EXPECT_EQ(kept, readFileBytes(work("out.gpl")));
    EXPECT_EQ(std::set<std::string>{"out.gpl"}, workFiles());
}

TEST_F(PaletteToolTest, OutputFailedRunLeavesAnExistingOutputAsItWas) {
    const std::vector<uint8_t> keep = textBytes("GIMP Palette\n1 2 3\n");
    writeFileBytes(work("out.gpl"), keep);
    writeFileBytes(work("bad.gpl"), textBytes("GIMP Palette\n1 2 3 x\n4 5\n"));
    EXPECT_EQ(1, run({"--all=1,0,0", work("bad.gpl"), work("out.gpl")}).exitCode);
    EXPECT_EQ(2, run({"--all=1,0,0,0", kDuskGpl, work("out.gpl")}).exitCode);
    EXPECT_EQ(keep, readFileBytes(work("out.gpl")));
    EXPECT_EQ((std::set<std::string>{"bad.gpl", "out.gpl"}), workFiles());
}

TEST_F(PaletteToolTest, OutputInputNamedAsOutputIsRewrittenInPlace) {
    writeFileBytes(work("dusk.gpl"), readFileBytes(kDuskGpl));
    const ToolRun result =
        run({"--plain", "--mediums=0.5,0,-0.5", work("dusk.gpl"), work("dusk.gpl")});
    ASSERT_EQ(0, result.exitCode) << result.err;
    const PaletteFile palette = readPalette(work("dusk.gpl"));
    ASSERT_EQ(duskColours().size(), palette.colours.size());
    EXPECT_TRUE(sameColours({{177, 100, 50}}, {palette.colours[kDuskGrey100]}));
    EXPECT_EQ(std::set<std::string>{"dusk.gpl"}, workFiles());
}

// Failures while writing name the output file and leave nothing behind.
TEST_F(PaletteToolTest, OutputThatCannotBeWrittenIsReportedWithItsName) {
    std::string many = "GIMP Palette\n";
    for (int i = 0; i < 257; ++i) many += "1 2 3\n";
    writeFileBytes(work("many.gpl"), textBytes(many));
    fs::create_directory(work("folder.gpl"));
    const struct {
        std::string input, output, reason;
    } samples[] = {
        {kDuskGpl, work("no-such-folder/out.gpl"), "cannot create the file"},
        {kDuskGpl, work("folder.gpl"), "cannot rename the finished file into place"},
        {work("many.gpl"), work("many.bmp"),
         "an 8-bit BMP holds 1 to 256 colours, this palette has 257"},
    };
    for (const auto& sample : samples) {
        const ToolRun result = run({sample.input, sample.output});
        EXPECT_EQ(1, result.exitCode) << sample.output;
        EXPECT_TRUE(isOneLine(result.err)) << result.err;
        EXPECT_EQ(0u,
                  result.err.rfind("palette-balance: " + sample.output + ": " + sample.reason, 0))
            << result.err;
        EXPECT_EQ(std::string::npos, result.err.find("error ")) << "a system error as a number: " << result.err;
    }
    EXPECT_EQ((std::set<std::string>{"folder.gpl", "many.gpl"}), workFiles());
}

// The lines of stderr, without their line ends.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t begin = 0; begin < text.size();) {
        const size_t end = text.find('\n', begin);
        lines.push_back(text.substr(begin, end - begin));
        if (end == std::string::npos) break;
        begin = end + 1;
    }
    return lines;
}

#ifndef _WIN32
// Links planted in a shared folder at the names the tool writes (OUTPUT, the
// preview, the temporary name it once used) change nothing outside them: a
// link at OUTPUT or at the preview is replaced by the new file, never
// followed, and a dangling one never creates its target.
TEST_F(PaletteToolTest, SafeWriteLinksPlantedAtItsNamesChangeNothingOutsideOutput) {
    const std::vector<uint8_t> victim = textBytes("someone else's file\n");
    for (const char* name : {"victim-out", "victim-preview", "victim-old-temporary"})
        writeFileBytes(work(name), victim);
    const struct {
        const char* link;
        std::string target;
    } links[] = {
        {"out.gpl", work("victim-out")},
        {"preview.png", work("victim-preview")},
        {"out.gpl.palette-balance-tmp", work("victim-old-temporary")},
        {"dangling.gpl", work("nowhere-made")},
    };
    for (const auto& link : links) fs::create_symlink(link.target, work(link.link));
    for (const char* output : {"out.gpl", "dangling.gpl"}) {
        const ToolRun result =
            run({"--mediums=1,0,0", "--preview=" + work("preview.png"), kDuskGpl, work(output)});
        ASSERT_EQ(0, result.exitCode) << output << ": " << result.err;
        EXPECT_FALSE(fs::is_symlink(work(output))) << output;
        EXPECT_EQ(duskColours().size(), readPalette(work(output)).colours.size()) << output;
    }
    EXPECT_FALSE(fs::is_symlink(work("preview.png")));
    EXPECT_TRUE(fs::is_symlink(work("out.gpl.palette-balance-tmp")));
    for (const char* name : {"victim-out", "victim-preview", "victim-old-temporary"})
        EXPECT_EQ(victim, readFileBytes(work(name))) << name;
    EXPECT_EQ((std::set<std::string>{"victim-out", "victim-preview", "victim-old-temporary",
                                     "out.gpl", "preview.png", "out.gpl.palette-balance-tmp",
                                     "dangling.gpl"}),
              workFiles());
}

// A pipe cannot be mapped: it is read instead, and gives the same output as
// the file it carries; so does a picture, whose output keeps runs of the input.
TEST_F(PaletteToolTest, SafeWriteInputFromAPipeIsReadAsTheFileItCarries) {
    writeFileBytes(work("in.png"), samplePng(duskColours(), 8, 30, 20, true));
    for (const std::string& input : {kDuskGpl, work("in.png")}) {
        const std::string extension = input == kDuskGpl ? ".gpl" : ".png";
        ASSERT_EQ(0, run({"--mediums=1,0,0", input, work("mapped" + extension)}).exitCode);
        const std::string piped = "cat " + shellQuoted(input) + " | " +
                                  toolCommand({"--mediums=1,0,0", "--format=" + extension.substr(1),
                                               "/dev/stdin", work("piped" + extension)});
        ASSERT_EQ(0, std::system(piped.c_str())) << piped;
        EXPECT_EQ(readFileBytes(work("mapped" + extension)), readFileBytes(work("piped" + extension)))
            << input;
    }
}

// Runs started together on one OUTPUT each write a temporary file of their
// own: the output is one run's whole result, and no temporary file is left.
TEST_F(PaletteToolTest, SafeWriteTwentyRunsAtOnceLeaveOneRunsResult) {
    constexpr int kRuns = 20;
    writeFileBytes(work("in.png"), samplePng(duskColours(), 8, 300, 200, true));
    std::vector<std::vector<uint8_t>> results;
    std::string together;
    for (int i = 0; i < kRuns; ++i) {
        const std::string setting = "--all=0,0," + std::to_string(i / 32.0);
        const std::string alone = work("alone-" + std::to_string(i) + ".png");
        ASSERT_EQ(0, run({setting, work("in.png"), alone}).exitCode) << setting;
        results.push_back(readFileBytes(alone));
        together += "{ " + toolCommand({setting, work("in.png"), work("out.png")}) +
                    "; echo $? >" + shellQuoted(work("exit-" + std::to_string(i))) + "; } & ";
    }
    ASSERT_EQ(size_t(kRuns), std::set<std::vector<uint8_t>>(results.begin(), results.end()).size());
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(0, std::system((together + "wait").c_str()));
        for (int i = 0; i < kRuns; ++i)
            EXPECT_EQ("0\n", withoutCarriageReturns(readFileBytes(work("exit-" + std::to_string(i)))))
                << "run " << i << " of round " << round;
        const std::vector<uint8_t> out = readFileBytes(work("out.png"));
        EXPECT_NE(results.end(), std::find(results.begin(), results.end(), out))
            << "round " << round << ": the output is no single run's result";
        EXPECT_EQ(std::set<std::string>(), temporaryFiles()) << "round " << round;
    }
}

// The output keeps the permission bits of the file it replaces; a new file
// gets 0666 less the umask, as any file a program makes.
TEST_F(PaletteToolTest, SafeWriteKeepsTheModeOfTheFileItReplaces) {
    const mode_t mask = umask(0);
    umask(mask);
    auto modeOf = [](const std::string& path) {
        struct stat status = {};
        stat(path.c_str(), &status);
        return status.st_mode & 07777;
    };
    // existing mode, or 0 for no file | arguments after the settings
    const struct {
        mode_t before;
        std::vector<std::string> arguments;
        std::string output;
    } samples[] = {
        {0640, {kDuskGpl, work("out.gpl")}, work("out.gpl")},
        {0604, {kDuskGpl, work("out.gpl")}, work("out.gpl")},
        {0755, {kDuskGpl, work("out.gpl")}, work("out.gpl")},
        {0, {kDuskGpl, work("new.gpl")}, work("new.gpl")},
        {0600, {"--in-place", "--out-dir=" + work(""), work("mine.gpl")}, work("mine.gpl")},
    };
    for (const auto& sample : samples) {
        if (sample.before) {
            writeFileBytes(sample.output, readFileBytes(kDuskGpl));
            ASSERT_EQ(0, chmod(sample.output.c_str(), sample.before));
        }
        std::vector<std::string> arguments = {"--mediums=1,0,0"};
        arguments.insert(arguments.end(), sample.arguments.begin(), sample.arguments.end());
        const ToolRun result = run(arguments);
        ASSERT_EQ(0, result.exitCode) << joined(arguments) << ": " << result.err;
        EXPECT_EQ(sample.before ? sample.before : (0666 & ~mask), modeOf(sample.output))
            << joined(arguments);
        EXPECT_EQ(duskColours().size(), readPalette(sample.output).colours.size());
    }
}

// A write that fails for want of room (here the file-size limit, which fails
// writes as a full disk does) leaves the old output, no temporary file and one
// line naming the output and the reason.
TEST_F(PaletteToolTest, SafeWriteFullDiskLeavesOutputAsItWas) {
    const std::vector<uint8_t> old = textBytes("the output of an earlier run\n");
    // A large private chunk before IEND, which the output keeps, makes the
    // output larger than the limit.
    std::vector<uint8_t> png = samplePng(duskColours(), 8, 40, 30);
    std::vector<uint8_t> end(png.end() - 12, png.end());
    png.resize(png.size() - 12);
    appendPngChunk(png, "prVt", std::vector<uint8_t>(50000, 0x5A));
    png.insert(png.end(), end.begin(), end.end());
    writeFileBytes(work("in.png"), png);
    const struct {
        std::vector<std::string> arguments;
        std::string output;
    } runs[] = {
        {{"--all=0,0,0.5", work("in.png"), work("out.png")}, work("out.png")},
        {{"--all=0,0,0.5", "--out-dir=" + work("night"), work("in.png")}, work("night/in.png")},
    };
    for (const auto& sample : runs) {
        const std::vector<std::string>& arguments = sample.arguments;
        const std::string& output = sample.output;
        fs::create_directories(work("night"));
        writeFileBytes(output, old);
        const ToolRun result = run(arguments, 0, 16384);
        EXPECT_EQ(1, result.exitCode) << joined(arguments);
        const bool batch = output != work("out.png");
        EXPECT_EQ(batch ? 2u : 1u, linesOf(result.err).size()) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(output + ": cannot write the file: File too large"))
            << result.err;
        EXPECT_EQ(old, readFileBytes(output)) << joined(arguments);
        EXPECT_EQ(std::set<std::string>(), temporaryFiles());
        EXPECT_EQ(std::set<std::string>(), temporaryFiles(work("night")));
    }
}
#endif

// Each input goes to DIR (made with its parents) under its own name, in its
// own format, byte for byte as a run on that file alone writes it; each gets
// one line, and a file that fails stops none of the others.
TEST_F(PaletteToolTest, BatchWritesEachInputIntoTheFolderWithOneLineEach) {
    writeFileBytes(work("dusk.gpl"), readFileBytes(kDuskGpl));
    writeFileBytes(work("image.png"), samplePng(duskColours(), 8, 7, 5, true));
    writeFileBytes(work("image.gif"), sampleGif(duskColours(), duskColours16()));
    writeFileBytes(work("bad.gpl"), textBytes("GIMP Palette\n1 2 x\n"));
    const std::string night = work("night/deeper");
    const std::vector<std::string> inputs = {work("dusk.gpl"), work("bad.gpl"), work("image.png"),
                                             work("missing.gpl"), work("image.gif")};
    std::vector<std::string> arguments = {"--mediums=1,0,0", "--out-dir=" + night};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    ToolRun result = run(arguments);
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ("", result.out);
    // input | the rest of its line, after "palette-balance: INPUT: "
    const std::string expected[] = {
        "written to " + night + "/dusk.gpl",
        "line 2: 'x' is not a colour value (a whole number from 0 to 255)",
        "written to " + night + "/image.png",
        "cannot open: ",
        "written to " + night + "/image.gif",
    };
    // one line per input, in their order, and the summary, which stays
    const std::vector<std::string> lines = linesOf(result.err);
    ASSERT_EQ(inputs.size() + 1, lines.size()) << result.err;
    EXPECT_EQ("palette-balance: 5 files: 3 written, 2 failed", lines.back());
    for (size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(0u, lines[i].rfind("palette-balance: " + inputs[i] + ": " + expected[i], 0))
            << lines[i];
    for (const char* name : {"dusk.gpl", "image.png", "image.gif"}) {
        const std::string alone = work(std::string("alone-") + name);
        ASSERT_EQ(0, run({"--mediums=1,0,0", work(name), alone}).exitCode) << name;
        EXPECT_EQ(readFileBytes(alone), readFileBytes(night + "/" + name)) << name;
    }

    // With --format every output takes that format's extension; two inputs
    // that would come out under one name give the later one a refusal.
    result = run({"--format=jasc", "--out-dir=" + work("jasc"), work("dusk.gpl"),
                  work("image.png"), work("image.gif")});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(JascPalette, readPalette(work("jasc/dusk.pal")).format);
    EXPECT_EQ(JascPalette, readPalette(work("jasc/image.pal")).format);
    EXPECT_EQ(duskColours().size(), readPalette(work("jasc/image.pal")).colours.size());
    EXPECT_NE(std::string::npos,
              result.err.find(work("image.gif") + ": " + work("jasc") +
                              "/image.pal: another input of this run is written there"))
        << result.err;

    result = run({"--out-dir=" + night, work("dusk.gpl"), work("image.gif")});
    EXPECT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(3u, linesOf(result.err).size()) << result.err;
    EXPECT_EQ("palette-balance: 2 files: 2 written, 0 failed", linesOf(result.err).back());
}

// Names in several scripts and with blanks pass through a run over a
// folder, its wildcards on Windows, --preview and the settings files; each
// output is printed with DIR's own separator, a folder among the inputs and
// a wildcard that matched nothing are named in words.
TEST_F(PaletteToolTest, BatchTakesNamesInAnyScriptAndSaysWhatItSkips) {
    const std::vector<std::string> names = {"\xE6\x97\xA5\xE6\x9C\xAC dawn.gpl",  // Japanese
                                            "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD.gpl",  // Greek
                                            "caf\xC3\xA9 noir.pal"};
    writeFileBytes(work(names[0]), readFileBytes(kDuskGpl));
    writeFileBytes(work(names[1]), readFileBytes(kDuskGpl));
    writeFileBytes(work(names[2]), readFileBytes(kDuskJasc));
    const std::string sub = work("\xD0\xBF\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0");  // Russian
    fs::create_directory(fs::u8path(sub));
#ifdef _WIN32
    // Typed as in cmd: backslashes, and wildcards the tool expands itself.
    auto typed = [](std::string path) {
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    };
    const std::vector<std::string> inputs = {typed(work("*.gpl")), typed(work(names[2])),
                                             typed(sub), typed(work("*.xyz"))};
    const std::string separator = "\\";
#else
    auto typed = [](const std::string& path) { return path; };
    const std::vector<std::string> inputs = {work(names[0]), work(names[1]), work(names[2]), sub};
    const std::string separator = "/";
#endif
    const std::string out = typed(work("\xD0\xB2\xD1\x8B\xD1\x85\xD0\xBE\xD0\xB4 \xE5\x87\xBA"));
    std::vector<std::string> arguments = {"--mediums=1,0,0", "--preview", "--out-dir=" + out};
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const ToolRun result = run(arguments);
    EXPECT_EQ(1, result.exitCode) << result.err;
    std::set<std::string> expected = {"palette-balance: " + typed(sub) + " is a folder; skipped"};
#ifdef _WIN32
    expected.insert("palette-balance: no file matches " + typed(work("*.xyz")));
#endif
    for (const std::string& name : names) {
        const std::string output = out + separator + name;
        const std::string preview = out + separator + paletteNameFromPath(name) + "-preview.png";
        expected.insert("palette-balance: " + typed(work(name)) + ": written to " + output + " and " + preview);
        EXPECT_EQ(duskColours().size(), readPalette(output).colours.size()) << name;
        EXPECT_FALSE(readFileBytes(preview).empty()) << name;
    }
    // Each of these lines, in any order; a closing line about the run may follow.
    const std::vector<std::string> lines = linesOf(result.err);
    const std::set<std::string> printed(lines.begin(), lines.end());
    for (const std::string& line : expected) EXPECT_EQ(1u, printed.count(line)) << line << "\n" << result.err;
    // The summary counts the inputs that named no file.
#ifdef _WIN32
    const std::string skipped = " written, 0 failed, 2 skipped";
#else
    const std::string skipped = "4 files: 3 written, 0 failed, 1 skipped";
#endif
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(skipped, lines.back().substr(lines.back().size() - std::min(lines.back().size(), skipped.size())));

    // One file with a preview and both settings options.
    const std::string look = work("\xE8\xA8\xAD\xE5\xAE\x9A look.balance");
    ASSERT_EQ(0, run({"--save-settings=" + look, "--lows=0,0,0.5"}).exitCode);
    const ToolRun single = run({"--settings=" + look, "--preview=" + work(names[1] + ".png"),
                                work(names[0]), work("\xC3\xBC " + names[1])});
    EXPECT_EQ(0, single.exitCode) << single.err;
    EXPECT_EQ(duskColours().size(), readPalette(work("\xC3\xBC " + names[1])).colours.size());
    EXPECT_FALSE(readFileBytes(work(names[1] + ".png")).empty());
}

// An output that would replace an input of the run is refused, its own input
// only without --in-place; so is an output or preview that another input of
// the run already writes.
TEST_F(PaletteToolTest, BatchRefusesOutputsThatWouldReplaceInputs) {
    const std::vector<uint8_t> dusk = readFileBytes(kDuskGpl);
    writeFileBytes(work("a.gpl"), dusk);
    writeFileBytes(work("b.gpl"), dusk);
    ToolRun result = run({"--mediums=1,0,0", "--out-dir=" + folder + "/work/", work("a.gpl"),
                          work("b.gpl")});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(3u, linesOf(result.err).size()) << result.err;
    EXPECT_NE(std::string::npos,
              result.err.find("the output would replace its input (give --in-place to allow it)"))
        << result.err;
    EXPECT_EQ(dusk, readFileBytes(work("a.gpl")));
    EXPECT_EQ(dusk, readFileBytes(work("b.gpl")));

    // The same file named twice is written once.
    result = run({"--mediums=1,0,0", "--in-place", "--out-dir=" + work(""), work("a.gpl"),
                  work("b.gpl"), work("a.gpl")});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_EQ(4u, linesOf(result.err).size()) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("another input of this run is written there"));
    for (const char* name : {"a.gpl", "b.gpl"}) {
        const PaletteFile palette = readPalette(work(name));
        ASSERT_EQ(duskColours().size(), palette.colours.size()) << name;
        EXPECT_TRUE(sameColours({{164, 115, 115}}, {palette.colours[kDuskGrey128]})) << name;
    }

    // With --in-place only its own input may be replaced: b/x.gpl's output
    // would replace a/x.gpl, the other input.
    for (const char* name : {"a/x.gpl", "b/x.gpl"}) {
        fs::create_directories(fs::path(work(name)).parent_path());
        writeFileBytes(work(name), dusk);
    }
    result = run({"--mediums=1,0,0", "--in-place", "--out-dir=" + work("a"), work("b/x.gpl"),
                  work("a/x.gpl")});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_NE(std::string::npos,
              result.err.find(work("b/x.gpl") + ": " + work("a") +
                              "/x.gpl: the output would replace another input of this run"))
        << result.err;
    EXPECT_EQ(dusk, readFileBytes(work("b/x.gpl")));
    EXPECT_TRUE(sameColours({{164, 115, 115}}, {readPalette(work("a/x.gpl")).colours[kDuskGrey128]}));

    // sub/a-preview.png would come out where a.gpl's preview goes.
    fs::create_directories(work("sub"));
    writeFileBytes(work("sub/a-preview.png"), samplePng(duskColours(), 8, 3, 3));
    result = run({"--preview", "--out-dir=" + work("out"), work("a.gpl"), work("sub/a-preview.png")});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_NE(std::string::npos,
              result.err.find(work("sub/a-preview.png") + ": " + work("out") +
                              "/a-preview.png: another input of this run is written there"))
        << result.err;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(readRgbPng(readFileBytes(work("out/a-preview.png")), width, height, rgb))
        << "out/a-preview.png is a.gpl's preview";
}

// --preview with --out-dir draws each file's preview to DIR as
// NAME-preview.png, the same picture a run on that file alone draws.
TEST_F(PaletteToolTest, BatchPreviewWritesOnePreviewPerFile) {
    writeFileBytes(work("town.png"), samplePng(duskColours(), 8, 9, 6));
    const ToolRun result = run({"--lows=0,0,0.5", "--preview", "--out-dir=" + work("night"),
                                kDuskGpl, work("town.png")});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_NE(std::string::npos,
              result.err.find("written to " + work("night") + "/town.png and " + work("night") +
                              "/town-preview.png\n"))
        << result.err;
    for (const std::string& input : {kDuskGpl, work("town.png")}) {
        const std::string name = paletteNameFromPath(input);
        ASSERT_EQ(0, run({"--lows=0,0,0.5", "--preview=" + work("alone.png"), input,
                          work("alone-" + fileNameOf(input))})
                         .exitCode)
            << input;
        const std::vector<uint8_t> preview = readFileBytes(work("night/" + name + "-preview.png"));
        uint32_t width = 0, height = 0;
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(readRgbPng(preview, width, height, rgb)) << name;
        EXPECT_EQ(readFileBytes(work("alone.png")), preview) << name;
    }
    EXPECT_EQ(std::set<std::string>({"dusk.gpl", "dusk-preview.png", "town.png",
                                     "town-preview.png"}),
              [&] {
                  std::set<std::string> names;
                  for (const fs::directory_entry& entry : fs::directory_iterator(work("night")))
                      names.insert(entry.path().filename().string());
                  return names;
              }());
}

#ifndef _WIN32
// Starts the tool with stderr going to `errPath`; returns its process id.
pid_t startTool(const std::vector<std::string>& arguments, const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, STDERR_FILENO);
        std::vector<char*> argv = {const_cast<char*>(kToolPath.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

bool folderHolds(const std::string& folder, bool temporary) {
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored))
        if ((entry.path().filename().string().find(kTemporaryInfix) != std::string::npos) == temporary)
            return true;
    return false;
}

// An interrupt in the middle of a large run removes every temporary file
// and ends the tool as the signal does; every output it finished is whole.
TEST_F(PaletteToolTest, BatchInterruptedLeavesNoTemporaryFileAndWholeOutputs) {
    std::vector<uint8_t> png = samplePng(duskColours(), 8, 40, 30);
    const std::vector<uint8_t> end(png.end() - 12, png.end());
    png.resize(png.size() - 12);
    appendPngChunk(png, "prVt", std::vector<uint8_t>(size_t(512) << 10, 0x5A));
    png.insert(png.end(), end.begin(), end.end());
    std::vector<std::string> arguments = {"--all=0,0,0.5", "--out-dir=" + work("night")};
    for (int i = 0; i < 100; ++i) {
        arguments.push_back(work("in-" + std::to_string(i) + ".png"));
        writeFileBytes(arguments.back(), png);
    }
    ASSERT_EQ(0, run({"--all=0,0,0.5", work("in-0.png"), work("alone.png")}).exitCode);
    const std::vector<uint8_t> whole = readFileBytes(work("alone.png"));
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        fs::remove_all(work("night"));
        const pid_t tool = startTool(arguments, folder + "/stderr.txt");
        // once the first group is in place and the next one is being written
        bool caught = false;
        for (int wait = 0; wait < 20000 && !caught; ++wait) {
            caught = folderHolds(work("night"), false) && folderHolds(work("night"), true);
            if (!caught) usleep(500);
        }
        kill(tool, signalNumber);
        int status = 0;
        ASSERT_EQ(tool, waitpid(tool, &status, 0));
        EXPECT_TRUE(caught) << "no moment with finished and pending outputs was seen";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << status;
        EXPECT_FALSE(folderHolds(work("night"), true)) << "a temporary file was left";
        size_t finished = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(work("night"))) {
            EXPECT_EQ(whole, readFileBytes(entry.path().string())) << entry.path();
            ++finished;
        }
        EXPECT_GT(finished, 0u);
        EXPECT_LT(finished, 100u);
    }
}

// An input that another program shortens while the tool reads it fails
// alone: the run goes on with the next inputs and ends with its summary.
TEST_F(PaletteToolTest, BatchShortenedInputFailsAloneAndTheRunGoesOn) {
    // the dusk palette and 60 MiB of blank lines, which take a while to read
    std::string large = withoutCarriageReturns(readFileBytes(kDuskGpl));
    std::string blankLine(64, ' ');
    blankLine.back() = '\n';
    for (size_t i = 0; i < (size_t(60) << 20) / 64; ++i) large += blankLine;
    for (const char* name : {"a.gpl", "c.gpl"}) writeFileBytes(work(name), readFileBytes(kDuskGpl));
    // The tool may finish reading before the file is shortened; then it tries again.
    std::string err;
    for (int attempt = 0; attempt < 5; ++attempt) {
        writeFileBytes(work("large.gpl"), textBytes(large));
        fs::remove_all(work("out"));
        const pid_t tool = startTool({"--out-dir=" + work("out"), work("a.gpl"), work("large.gpl"),
                                      work("c.gpl")},
                                     folder + "/stderr.txt");
        const std::string maps = "/proc/" + std::to_string(tool) + "/maps";
        for (int wait = 0; wait < 200000; ++wait) {
            const std::vector<uint8_t> mapped = readFileBytes(maps);
            if (std::string(mapped.begin(), mapped.end()).find("large.gpl") != std::string::npos) {
                EXPECT_EQ(0, truncate(work("large.gpl").c_str(), 0));
                break;
            }
            if (mapped.empty()) break;  // the tool has ended
        }
        int status = 0;
        ASSERT_EQ(tool, waitpid(tool, &status, 0));
        err = withoutCarriageReturns(readFileBytes(folder + "/stderr.txt"));
        if (fs::exists(work("out/large.gpl"))) continue;  // read before it was shortened
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        break;
    }
    const std::vector<std::string> lines = linesOf(err);
    ASSERT_EQ(4u, lines.size()) << err;
    EXPECT_EQ("palette-balance: " + work("large.gpl") + ": the file was shortened while it was being read",
              lines[1]);
    EXPECT_EQ("palette-balance: " + work("c.gpl") + ": written to " + work("out") + "/c.gpl", lines[2]);
    EXPECT_EQ("palette-balance: 3 files: 2 written, 1 failed", lines[3]);
    EXPECT_FALSE(folderHolds(work("out"), true));
}

// The progress line shows only on a terminal (here a pseudo-terminal made by
// script(1)), and only for more than a few files.
TEST_F(PaletteToolTest, ProgressLineOnlyOnATerminalAndForMoreThanAFewFiles) {
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) {
        names.push_back(work("p" + std::to_string(i) + ".gpl"));
        writeFileBytes(names.back(), readFileBytes(kDuskGpl));
    }
    auto onTerminal = [&](const std::vector<std::string>& inputs) {
        std::vector<std::string> arguments = {"--out-dir=" + work("out")};
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
        const std::string command = "script -qec " + shellQuoted(toolCommand(arguments)) +
                                    " /dev/null </dev/null >" + shellQuoted(work("terminal.txt"));
        EXPECT_EQ(0, std::system(command.c_str()));
        const std::vector<uint8_t> bytes = readFileBytes(work("terminal.txt"));
        return std::string(bytes.begin(), bytes.end());
    };
    const std::string many = onTerminal(names);
    EXPECT_NE(std::string::npos, many.find("palette-balance: 6 of 6 files, 0 failed\r")) << many;
    EXPECT_NE(std::string::npos, many.find("palette-balance: 1 of 6 files, 0 failed\r")) << many;
    const std::string few = onTerminal({names.begin(), names.begin() + 5});
    EXPECT_EQ(std::string::npos, few.find(" files, ")) << few;
    std::vector<std::string> arguments = {"--out-dir=" + work("out")};
    arguments.insert(arguments.end(), names.begin(), names.end());
    const ToolRun piped = run(arguments);
    EXPECT_EQ(0, piped.exitCode);
    EXPECT_EQ(std::string::npos, piped.err.find(" files, ")) << piped.err;
    EXPECT_EQ(7u, linesOf(piped.err).size());
    // the summary stays on the terminal after the progress line is gone
    EXPECT_NE(std::string::npos, many.find("\rpalette-balance: 6 files: 6 written, 0 failed\r\n")) << many;
}
#endif

TEST_F(PaletteToolTest, RangesTableShowsWhereTheRangesFall) {
    ToolRun result = run({"--ranges", kDuskGpl});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_EQ(0u,
              result.out.find("Lows below 0.2, Heights above 0.8, brightness-preserving luminance\n"
                              "Entry  Red  Green  Blue  Luminance  Range\n"
                              "    0    0      0     0   0.000000  Lows\n"))
        << result.out;
    for (const char* row : {"    2   50     50    50   0.196078  Lows\n",
                            "    3   51     51    51   0.200000  Mediums\n",
                            "    6  204    204   204   0.800000  Mediums\n",
                            "    7  205    205   205   0.803922  Heights\n"})
        EXPECT_NE(std::string::npos, result.out.find(row)) << row;

    // The table shows the thresholds it uses, on the sliders' steps.
    result = run({"--ranges", "--plain", "--lows-below=0.5", "--heights-above=0.55", kDuskJasc});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(0u, result.out.find("Lows below 0.5, Heights above 0.546875, plain luminance\n"))
        << result.out;
    EXPECT_EQ("palette-balance: --heights-above=0.55 is used as 0.546875 (the nearest slider step "
              "below)\n",
              result.err);
    EXPECT_NE(std::string::npos, result.out.find("    5  128    128   128   0.501961  Mediums\n"))
        << result.out;
    EXPECT_NE(std::string::npos, result.out.find("    4  100    100   100   0.392157  Lows\n"))
        << result.out;
    EXPECT_TRUE(workFiles().empty());
}

// --save-settings writes the command line's settings as state A (on the
// sliders' steps), with no INPUT; --settings gives the plugin's colours of
// the state the file shows or --state names, in the file's mode, options
// overriding it; --ranges, --preview and --save-settings take them too.
TEST_F(PaletteToolTest, SettingsSavedAndReadGiveThePluginColours) {
    ToolRun result = run({"--save-settings=" + work("night.balance"), "--plain", "--lows=-0.25,0,0.5",
                          "--lows-below=0.3"});
    ASSERT_EQ(0, result.exitCode) << result.err;
    const std::vector<uint8_t> saved = readFileBytes(work("night.balance"));
    EXPECT_NE(std::string::npos, std::string(saved.begin(), saved.end())
                                     .find(std::string("\nA.lows-below=0.296875") + kSettingsLineEnd));
    SliderState night = {76.0f / 256, kDefaultHeightsAbove, {}};
    night.balance[Lows][CyanRed] = -0.25f;
    night.balance[Lows][YellowBlue] = 0.5f;
    SliderState warmer = night;
    warmer.balance[Mediums][CyanRed] = 0.5f;
    // options before the files | the state whose colours come out | brightness preserved
    const struct {
        std::vector<std::string> options;
        SliderState state;
        bool preserve;
    } samples[] = {
        {{"--settings=" + work("night.balance")}, night, false},
        {{"--mediums=0.5,0,0", "--settings", work("night.balance")}, warmer, false},
        {{"--settings=" + work("night.balance"), "--state=B"}, kDefaultSliderState, false},
        {{"--preserve-brightness", "--settings=" + work("night.balance")}, night, true},
    };
    for (const auto& sample : samples) {
        std::vector<std::string> arguments = sample.options;
        arguments.insert(arguments.end(), {kDuskGpl, work("out.gpl")});
        result = run(arguments);
        ASSERT_EQ(0, result.exitCode) << joined(arguments) << ": " << result.err;
        EXPECT_TRUE(sameColours(coloursOfTable(pluginColourTable(duskColours(), sample.state, sample.preserve)),
                                readPalette(work("out.gpl")).colours))
            << joined(arguments);
    }
    result = run({"--ranges", "--settings=" + work("night.balance"), kDuskGpl});
    EXPECT_EQ(0u, result.out.find("Lows below 0.296875, Heights above 0.8, plain luminance\n")) << result.out;
    // The read-me's pair: the look typed on the command line and the same
    // look saved and read back give the same bytes, as the plugin would;
    // grey 4c4c4c lies between 0.296875 and 0.3.
    writeFileBytes(work("grey.hex"), textBytes("4c4c4c\n808080\n"));
    const std::vector<std::string> look = {"--lows-below=0.3", "--lows=-0.25,0,0.5", "--all=0,0,0.25"};
    std::vector<std::string> typed = look, saving = look;
    typed.insert(typed.end(), {work("grey.hex"), work("typed.hex")});
    saving.push_back("--save-settings=" + work("look.balance"));
    ASSERT_EQ(0, run(saving).exitCode);
    result = run(typed);
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ("palette-balance: --lows-below=0.3 is used as 0.296875 (the nearest slider step below)\n",
              result.err);
    ASSERT_EQ(0, run({"--settings=" + work("look.balance"), work("grey.hex"), work("read.hex")}).exitCode);
    EXPECT_EQ(readFileBytes(work("typed.hex")), readFileBytes(work("read.hex")));
    for (const char* name : {"grey.hex", "typed.hex", "read.hex", "look.balance"}) fs::remove(work(name));

    result = run({"--settings=" + work("night.balance"), "--preview=" + work("p.png"),
                  "--save-settings=" + work("copy.balance"), kDuskGpl, work("out.gpl")});
    ASSERT_EQ(0, result.exitCode) << result.err;
    EXPECT_EQ(saved, readFileBytes(work("copy.balance")));

    // Tweaking a plugin's file changes only what the options change: state
    // B, the state and range shown and the brightness mode stay the file's.
    BalanceSettings plugin = {{night, warmer}, 1, Mediums, false};
    const std::string pluginText = formatSettingsText(plugin);
    writeFileBytes(work("ab.balance"), std::vector<uint8_t>(pluginText.begin(), pluginText.end()));
    result = run({"--settings=" + work("ab.balance"), "--state=A", "--heights=0.1,0,0",
                  "--save-settings=" + work("ab.balance")});
    ASSERT_EQ(0, result.exitCode) << result.err;
    plugin.states[0].balance[Heights][CyanRed] = 25.0f / 256;
    BalanceSettings tweaked;
    std::string error;
    ASSERT_TRUE(readSettingsFile(work("ab.balance"), tweaked, error)) << error;
    EXPECT_EQ(formatSettingsText(plugin), formatSettingsText(tweaked));
    fs::remove(work("ab.balance"));
    EXPECT_EQ((std::set<std::string>{"copy.balance", "night.balance", "out.gpl", "p.png"}), workFiles());
}

// A settings file that cannot be read or is refused ends the run with exit
// code 1 and one line naming it, before anything is written.
TEST_F(PaletteToolTest, MalformedSettingsFileEndsTheRunWithOneLineAndNoOutput) {
    writeFileBytes(work("bad.balance"), textBytes("Kavrin Color Balance settings, version 1\nshown-state=C\n"));
    const struct {
        const char* name;
        std::string reason;
    } samples[] = {{"missing.balance", "cannot open: "},
                   {"bad.balance", "line 2: shown-state: 'C' is not A or B\n"}};
    for (const auto& sample : samples) {
        const ToolRun result = run({"--settings=" + work(sample.name), "--save-settings=" + work("s.balance"),
                                    "--preview=" + work("p.png"), kDuskGpl, work("out.gpl")});
        EXPECT_EQ(1, result.exitCode);
        EXPECT_TRUE(isOneLine(result.err)) << result.err;
        EXPECT_EQ(0u, result.err.rfind("palette-balance: " + work(sample.name) + ": " + sample.reason, 0))
            << result.err;
        EXPECT_EQ(std::set<std::string>{"bad.balance"}, workFiles());
    }
}

TEST_F(PaletteToolTest, HelpPrintsTheHelpTextAndExitsCleanly) {
    const struct {
        const char* argument;
        std::string text;
    } samples[] = {{"--help", toolShortHelpText()},
                   {"--help=all", toolHelpText()},
                   {"--version", toolVersionText()}};
    for (const auto& sample : samples) {
        const ToolRun result = run({sample.argument});
        EXPECT_EQ(0, result.exitCode) << sample.argument;
        EXPECT_EQ(sample.text, result.out) << sample.argument;
        EXPECT_EQ("", result.err) << sample.argument;
    }
}

// Indexed pictures come out with exactly the plugin's colours in their
// tables and every other byte as it was: the expected file is the same
// picture built with the plugin's colours.
TEST_F(PaletteToolTest, KnownPictureComesOutWithThePluginColours) {
    const std::vector<PaletteColour> dusk = duskColours(), dusk16 = duskColours16();
    const std::vector<PaletteColour> two = {dusk[12], dusk[18]};
    SliderState state = defaultState();
    state.balance[Lows][YellowBlue] = 0.5f;
    state.balance[Mediums][CyanRed] = -0.25f;
    state.balance[Heights][MagentaGreen] = 0.75f;
    auto plugin = [&](const std::vector<PaletteColour>& colours) {
        return coloursOfTable(pluginColourTable(colours, state, true));
    };
    const struct {
        const char* name;
        std::vector<uint8_t> input, expected;
    } samples[] = {
        {"depth-1.png", samplePng(two, 1, 11, 3), samplePng(plugin(two), 1, 11, 3)},
        {"depth-4.png", samplePng(dusk16, 4, 5, 4), samplePng(plugin(dusk16), 4, 5, 4)},
        {"depth-8-trns.png", samplePng(dusk, 8, 6, 6, true),
         samplePng(plugin(dusk), 8, 6, 6, true)},
        {"two-frames.gif", sampleGif(dusk, dusk16), sampleGif(plugin(dusk), plugin(dusk16))},
        {"depth-4.bmp", sampleBitmap(dusk16, 7, 3, 40, false, 4),
         sampleBitmap(plugin(dusk16), 7, 3, 40, false, 4)},
        {"depth-1-top-down.bmp", sampleBitmap(two, 37, -2, 124, true, 1),
         sampleBitmap(plugin(two), 37, -2, 124, true, 1)},
    };
    for (const auto& sample : samples) {
        writeFileBytes(work(sample.name), sample.input);
        const ToolRun result = run({"--lows=0,0,0.5", "--mediums=-0.25,0,0", "--heights=0,0.75,0",
                                    work(sample.name), work(std::string("out-") + sample.name)});
        ASSERT_EQ(0, result.exitCode) << sample.name << ": " << result.err;
        EXPECT_EQ(sample.expected, readFileBytes(work(std::string("out-") + sample.name)))
            << sample.name;
    }
}

// The preview's swatches hold the input and output colours, framed in the
// colour of the input colour's range, for a palette and for a picture.
TEST_F(PaletteToolTest, PreviewSwatchesHoldTheColoursFramedByRange) {
    const std::vector<PaletteColour> dusk = duskColours();
    SliderState state = defaultState();
    state.balance[Mediums][CyanRed] = 1.0f;
    const std::vector<PaletteColour> expected =
        coloursOfTable(pluginColourTable(dusk, state, true));
    writeFileBytes(work("dusk.png"), samplePng(dusk, 8, 6, 5));
    const std::vector<std::vector<std::string>> runs = {
        {"--mediums=1,0,0", "--preview=" + work("palette.png"), kDuskGpl, work("out.gpl")},
        {"--ranges", "--mediums=1,0,0", "--preview=" + work("picture.png"), work("dusk.png")},
    };
    for (const std::vector<std::string>& arguments : runs) {
        const ToolRun result = run(arguments);
        ASSERT_EQ(0, result.exitCode) << joined(arguments) << ": " << result.err;
        uint32_t width = 0, height = 0;
        std::vector<uint8_t> rgb;
        std::string preview;
        for (const std::string& argument : arguments)
            if (argument.rfind("--preview=", 0) == 0) preview = argument.substr(10);
        ASSERT_TRUE(readRgbPng(readFileBytes(preview), width, height, rgb)) << preview;
        auto pixel = [&](int x, int y) {
            const uint8_t* p = &rgb[3 * (size_t(y) * width + size_t(x))];
            return PaletteColour{p[0], p[1], p[2]};
        };
        for (size_t i = 0; i < dusk.size(); ++i) {
            const uint8_t in[3] = {dusk[i].red, dusk[i].green, dusk[i].blue};
            const uint8_t* frame =
                kToneRangeFrameColours[toneRangeOf(classifyingLuminance(in, true), state)];
            for (bool output : {false, true}) {
                int x = 0, y = 0;
                previewSwatchPlace(i, output, x, y);
                ASSERT_LT(size_t(x + kPreviewSwatchSize), size_t(width));
                ASSERT_LT(size_t(y + kPreviewSwatchSize), size_t(height));
                const PaletteColour want = output ? expected[i] : dusk[i];
                for (auto corner : {std::make_pair(0, 0),
                                    std::make_pair(kPreviewSwatchSize - 1, kPreviewSwatchSize - 1)})
                    EXPECT_TRUE(sameColours({want}, {pixel(x + corner.first, y + corner.second)}))
                        << preview << ", entry " << i << (output ? " out" : " in") << ": expected "
                        << colourText(want) << ", got "
                        << colourText(pixel(x + corner.first, y + corner.second));
                EXPECT_TRUE(sameColours({{frame[0], frame[1], frame[2]}}, {pixel(x - 1, y - 1)}))
                    << preview << ", frame of entry " << i;
            }
        }
    }
}

#ifdef IMAGEMAGICK_CONVERT
// Pictures written by ImageMagick come out with the plugin's colours and
// every byte outside their colour tables (and PLTE's CRC) as it was; the
// preview draws them as ImageMagick reads them, before and after.
TEST_F(PaletteToolTest, OutsidePicturesFromImageMagickComeOutRight) {
    const struct {
        const char* name;
        const char* making;  // ImageMagick's arguments before the output name
        const char* prefix;  // before the output name
        uint32_t width, height;
    } samples[] = {
        {"plasma.png", "-seed 7 -size 48x32 plasma:fractal -colors 60", "PNG8:", 48, 32},
        {"depth-4.png", "-seed 7 -size 30x20 plasma:fractal -colors 9 -define png:bit-depth=4",
         "PNG8:", 30, 20},
        {"interlaced.png", "-seed 7 -size 30x20 plasma:fractal -colors 3 -interlace PNG",
         "PNG8:", 30, 20},
        {"plasma.gif", "-seed 7 -size 48x32 plasma:fractal -colors 60", "", 48, 32},
        {"interlaced.gif",
         "-seed 7 -size 24x16 plasma:fractal plasma:fractal -colors 20 -interlace GIF", "", 24, 16},
        {"depth-4.bmp", "-seed 7 -size 30x20 plasma:fractal -colors 9 -type Palette", "BMP3:", 30, 20},
        {"depth-1.bmp", "-seed 7 -size 29x20 plasma:fractal -colors 2 -type Palette", "BMP3:", 29, 20},
    };
    SliderState state = defaultState();
    state.balance[Lows][YellowBlue] = 0.5f;
    state.balance[Heights][CyanRed] = 0.5f;
    for (const auto& sample : samples) {
        const std::string input = work(sample.name),
                          output = work(std::string("out-") + sample.name);
        const std::string making = shellQuoted(IMAGEMAGICK_CONVERT) + " " + sample.making + " " +
                                   shellQuoted(sample.prefix + input);
        ASSERT_EQ(0, std::system(making.c_str())) << making;
        const ToolRun result = run({"--lows=0,0,0.5", "--heights=0.5,0,0",
                                    "--preview=" + work("preview.png"), input, output});
        ASSERT_EQ(0, result.exitCode) << sample.name << ": " << result.err;
        const PaletteFile before = readPalette(input), after = readPalette(output);
        EXPECT_TRUE(sameColours(coloursOfTable(pluginColourTable(before.colours, state, true)),
                                after.colours))
            << sample.name;
        std::vector<bool> table(before.bytes.size(), false);
        for (const RgbTableSpan& span : before.rgbTables)
            std::fill_n(table.begin() + span.offset,
                        3 * span.count + (before.format == IndexedPng ? 4 : 0), true);
        if (before.format == IndexedBitmap)
            std::fill_n(table.begin() + before.tableOffset, 4 * before.colours.size(), true);
        ASSERT_EQ(before.bytes.size(), after.bytes.size()) << sample.name;
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i]) continue;
            ASSERT_EQ(before.bytes[i], after.bytes[i]) << sample.name << ", byte " << i;
        }
        // The preview shows the first frame before and after as ImageMagick
        // sees the two files.
        uint32_t width = 0, height = 0;
        std::vector<uint8_t> preview;
        ASSERT_TRUE(readRgbPng(readFileBytes(work("preview.png")), width, height, preview));
        for (bool isAfter : {false, true}) {
            const std::string dump = shellQuoted(IMAGEMAGICK_CONVERT) + " " +
                                     shellQuoted((isAfter ? output : input) + "[0]") +
                                     " -depth 8 " + shellQuoted("rgb:" + work("pixels.rgb"));
            ASSERT_EQ(0, std::system(dump.c_str())) << dump;
            const std::vector<uint8_t> pixels = readFileBytes(work("pixels.rgb"));
            ASSERT_EQ(3u * sample.width * sample.height, pixels.size()) << dump;
            int x = 0, y = 0, scale = 0, step = 0;
            previewPicturePlace(before.colours.size(), sample.width, sample.height, isAfter, x, y,
                                scale, step);
            ASSERT_EQ(1, step);
            size_t wrong = 0;
            for (uint32_t row = 0; row < sample.height; ++row)
                for (uint32_t column = 0; column < sample.width; ++column) {
                    const uint8_t* want = &pixels[3 * (row * sample.width + column)];
                    const size_t at = 3 * ((size_t(y) + row * scale) * width + x + column * scale);
                    wrong += !std::equal(want, want + 3, &preview[at]);
                }
            EXPECT_EQ(0u, wrong) << sample.name << (isAfter ? ", after" : ", before");
        }
    }
}
#endif
