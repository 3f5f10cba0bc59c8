// Settings files: the text written for a record, and the reading rules:
// accepted spellings, values on the sliders' steps, and each refusal as one
// line naming the line at fault. (The fuzzer checks that any record read
// is written back and read again bit for bit.)
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "settings_file.h"

namespace {

// State B and range Mediums shown, preservation off; a reset threshold,
// values one step either side of 0 and the ends of the ranges. Written out
// by hand below; the line numbers are those the refusals name.
BalanceSettings knownRecord() {
    BalanceSettings settings = {{kDefaultSliderState, kDefaultSliderState}, 1, Mediums, false};
    SliderState& a = settings.states[0];
    a.heightsAbove = 205.0f / 256;
    const float balance[kToneRangeCount][kBalanceAxisCount] = {
        {-0.25f, 0, 0.5f}, {1.0f / 256, -1.0f / 256, -1}, {1, 0, 0}, {0, 0, 0.375f}};
    std::memcpy(a.balance, balance, sizeof balance);
    settings.states[1].lowsBelow = 0;
    settings.states[1].heightsAbove = 1;
    settings.states[1].balance[All][CyanRed] = -255.0f / 256;
    return settings;
}

const char kKnownText[] =
    "Kavrin Color Balance settings, version 1\nshown-state=B\nshown-range=Mediums\npreserve-brightness=off\n"
    "A.lows-below=0.2\nA.heights-above=0.80078125\n"  // lines 5, 6
    "A.Lows.CyanRed=-0.25\nA.Lows.MagentaGreen=0\nA.Lows.YellowBlue=0.5\n"  // line 7
    "A.Mediums.CyanRed=0.00390625\nA.Mediums.MagentaGreen=-0.00390625\nA.Mediums.YellowBlue=-1\n"
    "A.Heights.CyanRed=1\nA.Heights.MagentaGreen=0\nA.Heights.YellowBlue=0\n"
    "A.All.CyanRed=0\nA.All.MagentaGreen=0\nA.All.YellowBlue=0.375\n"  // line 18
    "B.lows-below=0\nB.heights-above=1\n"  // line 19
    "B.Lows.CyanRed=0\nB.Lows.MagentaGreen=0\nB.Lows.YellowBlue=0\n"
    "B.Mediums.CyanRed=0\nB.Mediums.MagentaGreen=0\nB.Mediums.YellowBlue=0\n"
    "B.Heights.CyanRed=0\nB.Heights.MagentaGreen=0\nB.Heights.YellowBlue=0\n"
    "B.All.CyanRed=-0.99609375\nB.All.MagentaGreen=0\nB.All.YellowBlue=0\n";  // line 32

// kKnownText with its first `from` replaced by `to`.
std::string changed(const std::string& from, const std::string& to) {
    std::string text = kKnownText;
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

bool sameRecord(const BalanceSettings& a, const BalanceSettings& b) {
    return std::memcmp(a.states, b.states, sizeof a.states) == 0 && a.currentState == b.currentState &&
           a.currentRange == b.currentRange && a.preserveBrightness == b.preserveBrightness;
}

// Puts the process in a locale whose decimal point is a comma, as a program
// sharing this code might. A Debian machine without the German locale built
// gets it from the locale sources into a folder of the test's own.
bool useCommaLocale() {
#ifdef _WIN32
    const char* const names[] = {"German_Germany.1252", "de-DE"};
#else
    const char* const names[] = {"de_DE.UTF-8", "de_DE.utf8"};
    if (!std::setlocale(LC_ALL, names[0])) {
        const std::string folder = std::filesystem::temp_directory_path().string() + "/settings-file-locales";
        const std::string command = "localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8 2>/dev/null";
        std::filesystem::create_directories(folder);
        if (std::system(command.c_str()) == 0 || std::filesystem::exists(folder + "/de_DE.UTF-8"))
            setenv("LOCPATH", folder.c_str(), 1);
    }
#endif
    for (const char* name : names)
        if (std::setlocale(LC_ALL, name) && std::strtof("0,5", nullptr) == 0.5f) return true;
    return false;
}

}  // namespace

TEST(SettingsFile, KnownRecordIsWrittenAsExactDecimalsWithTheProgramsLineEnd) {
    EXPECT_EQ(formatSettingsText(knownRecord(), "\n"), kKnownText);
    std::string crlf;
    for (char c : std::string(kKnownText)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
#ifdef _WIN32
    EXPECT_EQ(formatSettingsText(knownRecord()), crlf);
#else
    EXPECT_EQ(formatSettingsText(knownRecord()), kKnownText);
#endif
}

// Each change of the known text either reads as the known record (reason
// "") or is refused with exactly its reason, leaving the record alone.
TEST(SettingsFile, ReadingAcceptsEitherLineEndAndRefusesWithOneLineNamingTheLine) {
    std::string tooLarge = kKnownText;
    tooLarge.resize(kMaxSettingsFileBytes + 1, '#');
    std::string largest = tooLarge.substr(0, kMaxSettingsFileBytes - 1) + "\n";
    // replaced text | its replacement | the reason, "" when accepted
    const struct {
        std::string from, to, reason;
    } samples[] = {
        {"=off\n", "=off\r\n", ""},
        {"\nA.lows", "\n\n# a look for the night\n\t\nshown-tab=Curves\nA.lows", ""},
        {"A.Lows.CyanRed=-0.25\n", " A.Lows.CyanRed = -0.250\t\n", ""},
        {"A.Lows.YellowBlue=0.5", "A.Lows.YellowBlue=+.5", ""},
        {"B.All.YellowBlue=0\n", "B.All.YellowBlue=0\r", ""},  // a CR and no LF at the end
        {"shown-state=B\n", "", "no shown-state line (a settings file needs every key)"},
        {"version 1", "version 2", "line 1: unknown version 2 (this program reads version 1)"},
        {"version 1", "version 10", "line 1: unknown version 10 (this program reads version 1)"},
        {"Kavrin Color Balance settings", "GIMP Palette",
         "line 1: not a settings file (expected 'Kavrin Color Balance settings, version 1')"},
        {"=-0.25", "=1.5", "line 7: A.Lows.CyanRed: 1.5 is outside -1 to 1"},
        {"A.lows-below=0.2", "A.lows-below=-0.1", "line 5: A.lows-below: -0.1 is outside 0 to 1"},
        {"=0.375", "=3.75e-1", "line 18: A.All.YellowBlue: '3.75e-1' is not a decimal number"},
        {"=0.375", "=nan", "line 18: A.All.YellowBlue: 'nan' is not a decimal number"},
        {"=0.375", "=0.5.5", "line 18: A.All.YellowBlue: '0.5.5' is not a decimal number"},
        {"=0.375", "=1.00000001", "line 18: A.All.YellowBlue: 1.00000001 is outside -1 to 1"},
        {"=0.375", "=-1.00000000000000000001", "line 18: A.All.YellowBlue: -1.00000000000000000001 is outside -1 to 1"},
        {"B.lows-below=0", "B.lows-below=-0.00000001", "line 19: B.lows-below: -0.00000001 is outside 0 to 1"},
        {"B.lows-below=0\n", "B.lows-below=-0.000\n", ""},
        {"=0.375", "=.", "line 18: A.All.YellowBlue: '.' is not a decimal number"},
        {"=0.375", "=" + std::string(60, '9'),
         "line 18: A.All.YellowBlue: " + std::string(40, '9') + "... is outside -1 to 1"},
        {"shown-state=B", "shown-state=C", "line 2: shown-state: 'C' is not A or B"},
        {"=Mediums", "=mediums", "line 3: shown-range: 'mediums' is not Lows, Mediums, Heights or All"},
        {"=off", "=no", "line 4: preserve-brightness: 'no' is not on or off"},
        {"B.lows-below=0\n", "B.lows-below=0\nA.Lows.CyanRed=0\n", "line 20: A.Lows.CyanRed repeats line 7"},
        {"A.lows-below", "lows\tbelow\nA.lows-below", "line 5: expected key=value, found 'lows\\tbelow'"},
        {"B.lows-below=0", "B.lows-below=0\r5", "line 19: byte 0x0D is not text"},
        {"=off\n", "=off\r\r\n", "line 4: byte 0x0D is not text"},
        {"\nA.heights", "\n# r\xC3\xA9glage\nA.heights", "line 6: byte 0xC3 is not text"},
        {"\nA.heights", std::string("\n\0A.heights", 11), "line 6: byte 0x00 is not text"},
        {kKnownText, "", "empty file"},
        {kKnownText, tooLarge, "larger than 64 KiB, the limit for a settings file"},
        {kKnownText, largest, ""},
        // Notepad's UTF-8 with a byte order mark
        {"Kavrin Color", "\xEF\xBB\xBFKavrin Color", ""},
        {kKnownText, "\xEF\xBB\xBF", "empty file"},
        {"\nA.heights", "\n\xEF\xBB\xBF\nA.heights", "line 6: byte 0xEF is not text"},
        {"A.Lows.CyanRed=", "a.lows.cyanred=",
         "no A.Lows.CyanRed line (a settings file needs every key); line 7: a.lows.cyanred differs from "
         "it only in letter case"},
        {"A.Lows.CyanRed=", "A.Lows.CyanRd=",
         "no A.Lows.CyanRed line (a settings file needs every key); line 7: A.Lows.CyanRd is no key"},
        {std::string(kKnownText).substr(std::string(kKnownText).find("B.lows-below")), "",
         "no B.lows-below line (a settings file needs every key)"},
    };
    for (const auto& sample : samples) {
        const BalanceSettings untouched = kDefaultBalanceSettings;
        BalanceSettings read = untouched;
        std::string error;
        const bool accepted = parseSettingsText(changed(sample.from, sample.to), read, error);
        EXPECT_EQ(accepted, sample.reason.empty()) << sample.to << ": " << error;
        EXPECT_EQ(error, sample.reason) << sample.to;
        EXPECT_TRUE(sameRecord(read, accepted ? knownRecord() : untouched)) << sample.to;
    }
}

// A value is stored where a slider placed at it stands: the exact decimal,
// not the float nearest to it, a balance value towards zero to a multiple of
// 1/256, a threshold down to one, and the reset thresholds 0.2 and 0.8 as
// they are; a record holding an unrounded value is written as the reader
// rounds it.
TEST(SettingsFile, ValuesAreRoundedToTheSlidersSteps) {
    // key | value in the file | value stored | a value a record may hold | how that is written
    const struct {
        const char* key;
        const char* text;
        float stored, held;
        const char* written;
    } samples[] = {
        {"A.Lows.CyanRed", "0.3", 76.0f / 256, 0.3f, "0.296875"},
        {"A.Lows.CyanRed", "-0.3", -76.0f / 256, -0.3f, "-0.296875"},
        {"A.Lows.CyanRed", "-0.0039", 0.0f, -0.0039f, "0"},
        {"A.Lows.CyanRed", "0.2", 51.0f / 256, 0.2f, "0.19921875"},
        {"A.lows-below", "0.2", 0.2f, 0.2f, "0.2"},
        {"A.lows-below", "0.8", 0.8f, 0.8f, "0.8"},
        {"A.lows-below", "0.3", 76.0f / 256, 0.3f, "0.296875"},
        {"A.lows-below", "0.19921875", 51.0f / 256, 51.0f / 256, "0.19921875"},
        // the float nearest to each of these is 1, 0.8 or 0.2
        {"A.Lows.CyanRed", "0.99999999", 255.0f / 256, 255.0f / 256, "0.99609375"},
        {"A.Lows.CyanRed", "-0.99999999999999999999", -255.0f / 256, -0.999f, "-0.99609375"},
        {"A.Lows.CyanRed", "1.000", 1.0f, 1.0f, "1"},
        {"A.lows-below", "0.79999999", 204.0f / 256, 204.0f / 256, "0.796875"},
        {"A.lows-below", "0.20000000001", 51.0f / 256, 0.2001f, "0.19921875"},
        {"A.lows-below", "0.200", 0.2f, 0.2f, "0.2"},
        {"A.lows-below", "1", 1.0f, 1.0f, "1"},
    };
    for (const auto& sample : samples) {
        const std::string line = std::string("\n") + sample.key + "=";
        const size_t start = std::string(kKnownText).find(line) + line.size();
        std::string text = kKnownText;
        text.replace(start, text.find('\n', start) - start, sample.text);
        BalanceSettings read;
        std::string error;
        ASSERT_TRUE(parseSettingsText(text, read, error)) << error;
        float& value = sample.key[2] == 'L' ? read.states[0].balance[Lows][CyanRed] : read.states[0].lowsBelow;
        EXPECT_EQ(std::memcmp(&value, &sample.stored, sizeof value), 0) << sample.key << "=" << sample.text;
        value = sample.held;
        EXPECT_NE(formatSettingsText(read, "\n").find(line + sample.written + "\n"), std::string::npos)
            << sample.key << "=" << sample.text;
    }
}

// Numbers are read and written without the locale: under one whose decimal
// point is a comma the known text still reads as the known record and the
// record is written as the known text.
TEST(SettingsFile, CommaLocaleChangesNeitherTheTextNorTheRecord) {
#ifdef _WIN32
    ASSERT_TRUE(useCommaLocale()) << "no locale with a decimal comma could be set";
#else
    // Without Debian's locale sources (package locales) no German locale can
    // be built; the Windows build's run under Wine still makes this check.
    if (!useCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma: install the package locales";
#endif
    BalanceSettings read = kDefaultBalanceSettings;
    std::string error;
    const bool accepted = parseSettingsText(kKnownText, read, error);
    const std::string written = formatSettingsText(knownRecord(), "\n");
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(accepted) << error;
    EXPECT_TRUE(sameRecord(read, knownRecord()));
    EXPECT_EQ(kKnownText, written);
}
