// Settings files: the text written for a record, the reading rules (either
// line end, values on the sliders' steps, unknown keys passed over) and every
// kind of refusal, each one line naming the line at fault.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "settings_file.h"

namespace {

// A record with a value of every kind: state B and range Mediums shown,
// brightness preservation off, a reset threshold, values one step either
// side of 0, and the ends of both ranges.
BalanceSettings knownRecord() {
    BalanceSettings settings = kDefaultBalanceSettings;
    settings.currentState = 1;
    settings.currentRange = Mediums;
    settings.preserveBrightness = false;
    SliderState& a = settings.states[0];
    a.heightsAbove = 205.0f / 256;
    const float aBalance[kToneRangeCount][kBalanceAxisCount] = {
        {-0.25f, 0, 0.5f}, {1.0f / 256, -1.0f / 256, -1}, {1, 0, 0}, {0, 0, 0.375f}};
    std::memcpy(a.balance, aBalance, sizeof a.balance);
    SliderState& b = settings.states[1];
    b.lowsBelow = 0;
    b.heightsAbove = 1;
    b.balance[All][CyanRed] = -255.0f / 256;
    return settings;
}

// The record above as the file holds it, written out by hand; its line
// numbers are those the refusals below name.
const char kKnownText[] =
    "Kavrin Color Balance settings, version 1\n"  // line 1
    "shown-state=B\n"
    "shown-range=Mediums\n"
    "preserve-brightness=off\n"
    "A.lows-below=0.2\n"  // line 5
    "A.heights-above=0.80078125\n"
    "A.Lows.CyanRed=-0.25\n"  // line 7
    "A.Lows.MagentaGreen=0\n"
    "A.Lows.YellowBlue=0.5\n"
    "A.Mediums.CyanRed=0.00390625\n"
    "A.Mediums.MagentaGreen=-0.00390625\n"
    "A.Mediums.YellowBlue=-1\n"
    "A.Heights.CyanRed=1\n"
    "A.Heights.MagentaGreen=0\n"
    "A.Heights.YellowBlue=0\n"
    "A.All.CyanRed=0\n"
    "A.All.MagentaGreen=0\n"
    "A.All.YellowBlue=0.375\n"
    "B.lows-below=0\n"  // line 19
    "B.heights-above=1\n"
    "B.Lows.CyanRed=0\n"
    "B.Lows.MagentaGreen=0\n"
    "B.Lows.YellowBlue=0\n"
    "B.Mediums.CyanRed=0\n"
    "B.Mediums.MagentaGreen=0\n"
    "B.Mediums.YellowBlue=0\n"
    "B.Heights.CyanRed=0\n"
    "B.Heights.MagentaGreen=0\n"
    "B.Heights.YellowBlue=0\n"
    "B.All.CyanRed=-0.99609375\n"
    "B.All.MagentaGreen=0\n"
    "B.All.YellowBlue=0\n";  // line 32

// `text` with its first `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string withCrLf(const std::string& text) {
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

std::string withoutLastLineEnd(const std::string& text) { return text.substr(0, text.size() - 1); }

bool sameRecord(const BalanceSettings& a, const BalanceSettings& b) {
    return std::memcmp(a.states, b.states, sizeof a.states) == 0 && a.currentState == b.currentState &&
           a.currentRange == b.currentRange && a.preserveBrightness == b.preserveBrightness;
}

// A record no file gives, to show that a refusal leaves the record alone.
BalanceSettings untouchedRecord() {
    BalanceSettings settings = kDefaultBalanceSettings;
    settings.states[0].balance[Lows][CyanRed] = 0.123f;
    settings.currentRange = Heights;
    return settings;
}

bool isOnePrintableLine(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) return false;
    return true;
}

}  // namespace

TEST(SettingsFile, KnownRecordIsWrittenAsExactDecimalsInFileOrder) {
    EXPECT_EQ(formatSettingsText(knownRecord(), "\n"), kKnownText);
    EXPECT_EQ(formatSettingsText(knownRecord(), "\r\n"), withCrLf(kKnownText));
#ifdef _WIN32
    EXPECT_EQ(formatSettingsText(knownRecord()), withCrLf(kKnownText)) << "the Windows programs write CR LF";
#else
    EXPECT_EQ(formatSettingsText(knownRecord()), kKnownText);
#endif
    // The start-up settings: both states cleared, thresholds at their reset values.
    const std::string defaults = formatSettingsText(kDefaultBalanceSettings, "\n");
    for (const char* line : {"shown-state=A\n", "shown-range=All\n", "preserve-brightness=on\n", "B.lows-below=0.2\n",
                             "B.heights-above=0.8\n", "B.Heights.MagentaGreen=0\n"})
        EXPECT_NE(defaults.find(line), std::string::npos) << line;
}

// Either line end, blank lines, comments, blanks around keys and values,
// another order and keys of no setting all read as the same record.
TEST(SettingsFile, EveryAcceptedSpellingReadsAsTheSameRecord) {
    std::string padded = kKnownText;
    padded.resize(kMaxSettingsFileBytes - 1, '#');  // a long comment on the last line
    padded = replaced(padded, "\n####", "\n#\n##");
    padded += "\n";
    const struct {
        const char* name;
        std::string text;
    } samples[] = {
        {"LF", kKnownText},
        {"CR LF", withCrLf(kKnownText)},
        {"CR LF on some lines, no line end on the last",
         withoutLastLineEnd(
             replaced(replaced(kKnownText, "=off\n", "=off\r\n"), "YellowBlue=0\n", "YellowBlue=0\r\n"))},
        {"blank lines and comments",
         replaced(replaced(kKnownText, "shown-state", "\n# a look for the night\n\t\nshown-state"), "B.lows", "  \nB.lows")},
        {"blanks and tabs around keys and values",
         replaced(replaced(kKnownText, "A.Lows.CyanRed=-0.25", " A.Lows.CyanRed = -0.25\t"), "shown-state=B",
                  "shown-state\t=\tB ")},
        {"another order", replaced(replaced(kKnownText, "shown-state=B\n", ""), "B.All.YellowBlue=0\n",
                                   "B.All.YellowBlue=0\nshown-state=B\n")},
        {"keys of a later version", replaced(kKnownText, "shown-range", "shown-tab=Curves\nA.Lows.Hue=what\nshown-range")},
        {"other spellings of the numbers",
         replaced(replaced(replaced(kKnownText, "A.Lows.YellowBlue=0.5", "A.Lows.YellowBlue=+.50000"),
                           "A.Heights.CyanRed=1", "A.Heights.CyanRed=1."),
                  "A.Lows.MagentaGreen=0", "A.Lows.MagentaGreen=-0.000")},
        {"exactly 64 KiB", padded},
    };
    for (const auto& sample : samples) {
        BalanceSettings read = untouchedRecord();
        std::string error;
        EXPECT_TRUE(parseSettingsText(sample.text, read, error)) << sample.name << ": " << error;
        EXPECT_TRUE(sameRecord(read, knownRecord())) << sample.name << ":\n" << formatSettingsText(read, "\n");
    }
    EXPECT_EQ(padded.size(), kMaxSettingsFileBytes);
}

// A value is stored where a slider placed at it stands: balance values
// towards zero to a multiple of 1/256, thresholds down to one, and the reset
// thresholds as they are. The file written from the record shows that value.
TEST(SettingsFile, ValuesAreRoundedToTheSlidersStepsOnReadingAndWriting) {
    // key | value in the file | value stored | value written back
    const struct {
        const char* key;
        const char* text;
        float stored;
        const char* written;
    } samples[] = {
        {"A.Lows.CyanRed", "0.3", 76.0f / 256, "0.296875"},
        {"A.Lows.CyanRed", "-0.3", -76.0f / 256, "-0.296875"},
        {"A.Lows.CyanRed", "0.0039", 0.0f, "0"},
        {"A.Lows.CyanRed", "-0.0039", 0.0f, "0"},
        {"A.Lows.CyanRed", "-0", 0.0f, "0"},
        {"A.Lows.CyanRed", "-0.00390625", -1.0f / 256, "-0.00390625"},
        {"A.Lows.CyanRed", "-1", -1.0f, "-1"},
        {"A.Lows.CyanRed", "0.2", 51.0f / 256, "0.19921875"},
        {"A.lows-below", "0.2", 0.2f, "0.2"},
        {"A.lows-below", "0.20000000298", 0.2f, "0.2"},
        {"A.lows-below", "0.8", 0.8f, "0.8"},
        {"A.lows-below", "0.19921875", 51.0f / 256, "0.19921875"},
        {"A.lows-below", "0.3", 76.0f / 256, "0.296875"},
        {"A.lows-below", "0.0039", 0.0f, "0"},
        {"A.lows-below", "1", 1.0f, "1"},
        {"B.heights-above", "0.8", 0.8f, "0.8"},
        {"B.heights-above", "0.801", 205.0f / 256, "0.80078125"},
        {"B.heights-above", "0.2", 0.2f, "0.2"},
    };
    for (const auto& sample : samples) {
        const std::string name = std::string(sample.key) + "=" + sample.text;
        const std::string line = std::string("\n") + sample.key + "=";
        std::string text = kKnownText;
        const size_t start = text.find(line) + line.size();
        text.replace(start, text.find('\n', start) - start, sample.text);
        BalanceSettings read = untouchedRecord();
        std::string error;
        ASSERT_TRUE(parseSettingsText(text, read, error)) << name << ": " << error;
        const float stored = std::strcmp(sample.key, "A.Lows.CyanRed") == 0 ? read.states[0].balance[Lows][CyanRed]
                             : std::strcmp(sample.key, "A.lows-below") == 0 ? read.states[0].lowsBelow
                                                                            : read.states[1].heightsAbove;
        EXPECT_EQ(std::memcmp(&stored, &sample.stored, sizeof stored), 0)
            << name << ": stored " << stored << ", expected " << sample.stored;
        EXPECT_NE(formatSettingsText(read, "\n").find(line + sample.written + "\n"), std::string::npos) << name;

        // A record that holds the value unrounded (palette-balance takes any
        // decimal) is written as the reader would round it.
        BalanceSettings unrounded = knownRecord();
        const float value = std::strtof(sample.text, nullptr);
        if (std::strcmp(sample.key, "A.Lows.CyanRed") == 0) unrounded.states[0].balance[Lows][CyanRed] = value;
        else if (std::strcmp(sample.key, "A.lows-below") == 0) unrounded.states[0].lowsBelow = value;
        else unrounded.states[1].heightsAbove = value;
        EXPECT_NE(formatSettingsText(unrounded, "\n").find(line + sample.written + "\n"), std::string::npos)
            << name << " written from the unrounded value";
    }
}

// Each refusal is one printable line naming the line at fault where there is
// one, and leaves the record as it was.
TEST(SettingsFile, RefusedFilesGiveOneLineAndLeaveTheRecordAlone) {
    std::string tooLarge = kKnownText;
    tooLarge.resize(kMaxSettingsFileBytes + 1, '#');
    const std::string manyNines(100, '9');
    // file text | the whole reason
    const struct {
        std::string text;
        std::string reason;
    } samples[] = {
        {"", "empty file"},
        {tooLarge, "larger than 64 KiB, the limit for a settings file"},
        {replaced(kKnownText, "version 1", "version 2"), "line 1: unknown version 2 (this program reads version 1)"},
        {replaced(kKnownText, "version 1", "version 1.1"),
         "line 1: not a settings file (expected 'Kavrin Color Balance settings, version 1')"},
        {"GIMP Palette\nName: dusk\n", "line 1: not a settings file (expected 'Kavrin Color Balance settings, version 1')"},
        {replaced(kKnownText, "A.Lows.CyanRed=-0.25", "A.Lows.CyanRed=1.5"),
         "line 7: A.Lows.CyanRed: 1.5 is outside -1 to 1"},
        {replaced(kKnownText, "A.Lows.CyanRed=-0.25", "A.Lows.CyanRed=-1.0001"),
         "line 7: A.Lows.CyanRed: -1.0001 is outside -1 to 1"},
        {replaced(kKnownText, "A.lows-below=0.2", "A.lows-below=-0.1"), "line 5: A.lows-below: -0.1 is outside 0 to 1"},
        {replaced(kKnownText, "B.heights-above=1", "B.heights-above=1.01"),
         "line 20: B.heights-above: 1.01 is outside 0 to 1"},
        {replaced(kKnownText, "A.Lows.CyanRed=-0.25", "A.Lows.CyanRed=" + manyNines),
         "line 7: A.Lows.CyanRed: " + manyNines.substr(0, 40) + "... is outside -1 to 1"},
        {replaced(kKnownText, "A.All.YellowBlue=0.375", "A.All.YellowBlue=3.75e-1"),
         "line 18: A.All.YellowBlue: '3.75e-1' is not a decimal number"},
        {replaced(kKnownText, "A.All.YellowBlue=0.375", "A.All.YellowBlue=nan"),
         "line 18: A.All.YellowBlue: 'nan' is not a decimal number"},
        {replaced(kKnownText, "A.All.YellowBlue=0.375", "A.All.YellowBlue=0x1"),
         "line 18: A.All.YellowBlue: '0x1' is not a decimal number"},
        {replaced(kKnownText, "A.All.YellowBlue=0.375", "A.All.YellowBlue=0,375"),
         "line 18: A.All.YellowBlue: '0,375' is not a decimal number"},
        {replaced(kKnownText, "A.All.YellowBlue=0.375", "A.All.YellowBlue="),
         "line 18: A.All.YellowBlue: '' is not a decimal number"},
        {replaced(kKnownText, "A.All.YellowBlue=0.375", "A.All.YellowBlue=- 1"),
         "line 18: A.All.YellowBlue: '- 1' is not a decimal number"},
        {replaced(kKnownText, "shown-state=B", "shown-state=C"), "line 2: shown-state: 'C' is not A or B"},
        {replaced(kKnownText, "shown-range=Mediums", "shown-range=mediums"),
         "line 3: shown-range: 'mediums' is not Lows, Mediums, Heights or All"},
        {replaced(kKnownText, "preserve-brightness=off", "preserve-brightness=yes"),
         "line 4: preserve-brightness: 'yes' is not on or off"},
        {std::string(kKnownText) + "A.Lows.CyanRed=0\n", "line 33: A.Lows.CyanRed repeats line 7"},
        {replaced(kKnownText, "B.All.YellowBlue=0\n", ""), "no B.All.YellowBlue line"},
        {replaced(kKnownText, "shown-state=B\n", ""), "no shown-state line"},
        {"Kavrin Color Balance settings, version 1\r\n", "no shown-state line"},
        {replaced(kKnownText, "A.lows-below", "lows\nA.lows-below"), "line 5: expected key=value, found 'lows'"},
        {replaced(kKnownText, "A.lows-below", "lows\tbelow\nA.lows-below"),
         "line 5: expected key=value, found 'lows\\tbelow'"},
        {replaced(kKnownText, "B.lows-below=0", "B.lows-below=0\r5"), "line 19: byte 0x0D is not text"},
        {replaced(kKnownText, "shown-range", "# r\xC3\xA9glage\nshown-range"), "line 3: byte 0xC3 is not text"},
        {replaced(kKnownText, "\nA.heights", std::string("\n") + '\0' + "A.heights"), "line 6: byte 0x00 is not text"},
        {replaced(kKnownText, "\nA.heights", "\n\x1B[31mA.heights"), "line 6: byte 0x1B is not text"},
    };
    for (const auto& sample : samples) {
        BalanceSettings read = untouchedRecord();
        std::string error;
        EXPECT_FALSE(parseSettingsText(sample.text, read, error)) << sample.reason;
        EXPECT_EQ(error, sample.reason);
        EXPECT_TRUE(isOnePrintableLine(error)) << error;
        EXPECT_TRUE(sameRecord(read, untouchedRecord())) << sample.reason << ": the record was changed";
    }
}

// Records as the plugin makes them (every value on a slider's step or a
// reset threshold) come back bit for bit, and the text written from what
// was read is the text read.
TEST(SettingsFile, WrittenRecordsReadBackBitForBit) {
    BalanceSettings steps = kDefaultBalanceSettings;
    for (int state = 0; state < kSliderStateCount; ++state)
        for (int range = 0; range < kToneRangeCount; ++range)
            for (int axis = 0; axis < kBalanceAxisCount; ++axis)
                steps.states[state].balance[range][axis] = balanceFromPosition((state * 97 + range * 41 + axis * 13) % 513);
    steps.states[1].lowsBelow = thresholdFromPosition(1);
    steps.states[1].heightsAbove = thresholdFromPosition(255);
    BalanceSettings extremes = kDefaultBalanceSettings;
    extremes.currentRange = Lows;
    for (SliderState& state : extremes.states) {
        for (auto& range : state.balance)
            for (float& value : range) value = -1.0f;
        state.lowsBelow = 1.0f;
        state.heightsAbove = 0.0f;
    }
    for (const BalanceSettings& record : {kDefaultBalanceSettings, knownRecord(), steps, extremes}) {
        const std::string text = formatSettingsText(record);
        BalanceSettings read = untouchedRecord();
        std::string error;
        ASSERT_TRUE(parseSettingsText(text, read, error)) << error << "\n" << text;
        EXPECT_TRUE(sameRecord(read, record)) << text;
        EXPECT_EQ(formatSettingsText(read), text);
    }
}

TEST(SettingsFile, FilesAreReadUpTo64KiBAndAFailureNamesItsReason) {
    const std::string folder = ::testing::TempDir();
    const std::string good = folder + "settings-file-good.balance";
    const std::string large = folder + "settings-file-large.balance";
    std::string tooLarge = kKnownText;
    tooLarge.resize(kMaxSettingsFileBytes + 1, '#');
    for (const auto& file : {std::make_pair(good, std::string(kKnownText)), std::make_pair(large, tooLarge)}) {
        std::FILE* out = std::fopen(file.first.c_str(), "wb");
        ASSERT_NE(out, nullptr) << file.first;
        EXPECT_EQ(std::fwrite(file.second.data(), 1, file.second.size(), out), file.second.size());
        std::fclose(out);
    }
    BalanceSettings read = untouchedRecord();
    std::string error;
    EXPECT_TRUE(readSettingsFile(good, read, error)) << error;
    EXPECT_TRUE(sameRecord(read, knownRecord()));

    const struct {
        std::string path;
        std::string reasonStart;
    } refusals[] = {
        {large, "larger than 64 KiB"},
        {folder + "settings-file-missing.balance", "cannot open: "},
    };
    for (const auto& refusal : refusals) {
        read = untouchedRecord();
        EXPECT_FALSE(readSettingsFile(refusal.path, read, error)) << refusal.path;
        EXPECT_EQ(error.rfind(refusal.reasonStart, 0), 0u) << error;
        EXPECT_TRUE(sameRecord(read, untouchedRecord())) << refusal.path;
    }
    std::remove(good.c_str());
    std::remove(large.c_str());
}
