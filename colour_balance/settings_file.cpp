#include "settings_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kHeaderStart[] = "Kavrin Color Balance settings, version ";
const char kVersion[] = "1";

// Text from the file shown in a reason is cut to this many characters.
constexpr size_t kShownTextLength = 40;

enum KeyKind { ShownStateKey, ShownRangeKey, PreserveBrightnessKey, LowsBelowKey, HeightsAboveKey, BalanceKey };

// One setting's line: its key, and where its value goes in the record.
struct SettingsKey {
    std::string name;
    KeyKind kind;
    int state;
    int range;
    int axis;
};

const char* const kStateLetters[kSliderStateCount] = {"A", "B"};

// Every key in the order the file is written: what is shown, then for each
// state its thresholds and its twelve balance values, range by range.
const std::vector<SettingsKey>& settingsKeys() {
    static const std::vector<SettingsKey> keys = [] {
        std::vector<SettingsKey> list = {{"shown-state", ShownStateKey, 0, 0, 0},
                                         {"shown-range", ShownRangeKey, 0, 0, 0},
                                         {"preserve-brightness", PreserveBrightnessKey, 0, 0, 0}};
        for (int state = 0; state < kSliderStateCount; ++state) {
            const std::string letter = kStateLetters[state];
            list.push_back({letter + ".lows-below", LowsBelowKey, state, 0, 0});
            list.push_back({letter + ".heights-above", HeightsAboveKey, state, 0, 0});
            for (int range = 0; range < kToneRangeCount; ++range)
                for (int axis = 0; axis < kBalanceAxisCount; ++axis)
                    list.push_back({letter + "." + rangeDisplayName(range) + "." + axisDisplayName(axis), BalanceKey,
                                    state, range, axis});
        }
        return list;
    }();
    return keys;
}

std::string lineLabel(size_t line) { return "line " + std::to_string(line) + ": "; }

// Text of the file as a reason shows it: cut short, and a tab (the one byte
// of the file that is not printable) as \t, so that the reason stays one
// printable line.
std::string shown(const std::string& text) {
    std::string cut = text.size() > kShownTextLength ? text.substr(0, kShownTextLength) + "..." : text;
    for (size_t tab = cut.find('\t'); tab != std::string::npos; tab = cut.find('\t', tab + 2))
        cut.replace(tab, 1, "\\t");
    return cut;
}

std::string withoutBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// A line holds printable ASCII and tabs only; its line end is gone already.
bool lineIsText(const std::string& line, size_t number, std::string& error) {
    for (char c : line) {
        const unsigned byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte < 0x7F) || byte == '\t') continue;
        char reason[64];
        std::snprintf(reason, sizeof reason, "byte 0x%02X is not text", byte);
        error = lineLabel(number) + reason;
        return false;
    }
    return true;
}

// The lines of `text` split at LF, each without its LF and one CR before it.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

bool headerIsKnown(const std::string& line, std::string& error) {
    const std::string header = withoutBlanks(line);
    const size_t startLength = sizeof kHeaderStart - 1;
    const std::string version = header.compare(0, startLength, kHeaderStart) == 0 ? header.substr(startLength) : "";
    if (version == kVersion) return true;
    if (!version.empty() && version.find_first_not_of("0123456789") == std::string::npos)
        error = lineLabel(1) + "unknown version " + shown(version) + " (this program reads version " + kVersion + ")";
    else
        error = lineLabel(1) + "not a settings file (expected '" + kHeaderStart + kVersion + "')";
    return false;
}

// A number as the file holds it, on its slider's step; the reason quotes it.
bool parseNumber(const std::string& text, SliderKind kind, float& value, std::string& reason) {
    bool moved = false;
    switch (sliderStepFromDecimal(text, kind, value, moved)) {
    case DecimalOnStep: return true;
    case DecimalNotADecimal: reason = "'" + shown(text) + "' is not a decimal number"; return false;
    case DecimalOutOfRange: reason = shown(text) + " is outside " + sliderRangeText(kind); return false;
    }
    return false;
}

const char* stateLetter(int state) { return kStateLetters[state]; }
const char* switchWord(int on) { return on ? "on" : "off"; }

// One of the `count` names that `nameOf` gives, whose index goes to `value`.
bool parseName(const std::string& text, const char* (*nameOf)(int), int count, const char* expected, int& value,
               std::string& reason) {
    for (int i = 0; i < count; ++i)
        if (text == nameOf(i)) {
            value = i;
            return true;
        }
    reason = "'" + shown(text) + "' is not " + expected;
    return false;
}

// Stores the value of `key` in `settings`, rounded to its slider's step.
bool storeValue(const SettingsKey& key, const std::string& text, BalanceSettings& settings, std::string& reason) {
    SliderState& state = settings.states[key.state];
    float number = 0.0f;
    int index = 0;
    switch (key.kind) {
    case ShownStateKey:
        return parseName(text, stateLetter, kSliderStateCount, "A or B", settings.currentState, reason);
    case ShownRangeKey:
        return parseName(text, rangeDisplayName, kToneRangeCount, "Lows, Mediums, Heights or All",
                         settings.currentRange, reason);
    case PreserveBrightnessKey:
        if (!parseName(text, switchWord, 2, "on or off", index, reason)) return false;
        settings.preserveBrightness = index == 1;
        return true;
    case LowsBelowKey:
    case HeightsAboveKey:
        if (!parseNumber(text, ThresholdSlider, number, reason)) return false;
        (key.kind == LowsBelowKey ? state.lowsBelow : state.heightsAbove) = number;
        return true;
    case BalanceKey:
        if (!parseNumber(text, BalanceSlider, number, reason)) return false;
        state.balance[key.range][key.axis] = number;
        return true;
    }
    return false;
}

const SettingsKey* findKey(const std::string& name) {
    for (const SettingsKey& key : settingsKeys())
        if (key.name == name) return &key;
    return nullptr;
}

std::string keyValueText(const SettingsKey& key, const BalanceSettings& settings) {
    const SliderState& state = settings.states[key.state];
    switch (key.kind) {
    case ShownStateKey: return stateLetter(settings.currentState == 1 ? 1 : 0);
    case ShownRangeKey: return rangeDisplayName(settings.currentRange);
    case PreserveBrightnessKey: return switchWord(settings.preserveBrightness ? 1 : 0);
    case LowsBelowKey: return sliderStepText(thresholdOnSliderStep(state.lowsBelow));
    case HeightsAboveKey: return sliderStepText(thresholdOnSliderStep(state.heightsAbove));
    case BalanceKey: return sliderStepText(balanceOnSliderStep(state.balance[key.range][key.axis]));
    }
    return std::string();
}

// A decimal split into its parts: the digits before the point without
// leading zeros, and those after it without trailing zeros.
struct DecimalParts {
    bool negative;
    std::string whole, fraction;
};

// An optional sign, then digits with at most one decimal point: no blanks,
// exponents, hex, nan or inf.
bool splitDecimal(const std::string& text, DecimalParts& parts) {
    size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    parts.negative = at == 1 && text[0] == '-';
    const size_t point = text.find('.', at);
    const std::string whole = text.substr(at, point == std::string::npos ? std::string::npos : point - at);
    const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
    const auto allDigits = [](const std::string& digits) {
        return digits.find_first_not_of("0123456789") == std::string::npos;
    };
    if (whole.empty() && fraction.empty()) return false;
    if (!allDigits(whole) || !allDigits(fraction)) return false;
    const size_t firstWhole = whole.find_first_not_of('0');
    parts.whole = firstWhole == std::string::npos ? "" : whole.substr(firstWhole);
    parts.fraction = fraction.substr(0, fraction.find_last_not_of('0') + 1);  // npos + 1 is 0
    return true;
}

// trunc(256 x) for the fraction 0.DIGITS, by long multiplication from the
// last digit; `exact` tells whether 256 x is a whole number.
int stepsOfFraction(const std::string& digits, bool& exact) {
    int carry = 0;
    exact = true;
    for (size_t i = digits.size(); i-- > 0;) {
        const int product = (digits[i] - '0') * 256 + carry;
        exact = exact && product % 10 == 0;
        carry = product / 10;
    }
    return carry;
}

std::string systemReason(int code) { return code != 0 ? std::strerror(code) : "unknown reason"; }

// A key of no setting, kept to explain a missing key.
struct UnknownKey {
    std::string name;
    size_t line;
};

std::string lowerCaseAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

// Why a file without a `missing` line is refused: every key is needed, and
// the key that was not understood in its place is named, with a hint when
// it differs from the missing one only in letter case.
std::string missingKeyReason(const std::string& missing, const std::vector<UnknownKey>& unknownKeys) {
    std::string reason = "no " + missing + " line (a settings file needs every key)";
    for (const UnknownKey& unknown : unknownKeys)
        if (lowerCaseAscii(unknown.name) == lowerCaseAscii(missing))
            return reason + "; " + lineLabel(unknown.line) + shown(unknown.name) +
                   " differs from it only in letter case";
    if (!unknownKeys.empty())
        return reason + "; " + lineLabel(unknownKeys[0].line) + shown(unknownKeys[0].name) + " is no key";
    return reason;
}

}  // namespace

float balanceOnSliderStep(float value) { return balanceFromPosition(balanceToPosition(value)); }

float thresholdOnSliderStep(float value) {
    if (value == kDefaultLowsBelow || value == kDefaultHeightsAbove) return value;
    return thresholdFromPosition(thresholdToPosition(value));
}

DecimalReading sliderStepFromDecimal(const std::string& text, SliderKind kind, float& value, bool& moved) {
    DecimalParts parts;
    if (!splitDecimal(text, parts)) return DecimalNotADecimal;
    const bool zero = parts.whole.empty() && parts.fraction.empty();
    const bool beyondOne = !parts.whole.empty() && (parts.whole != "1" || !parts.fraction.empty());
    if (beyondOne || (kind == ThresholdSlider && parts.negative && !zero)) return DecimalOutOfRange;
    bool exact = true;
    const int steps = parts.whole == "1" ? 256 : stepsOfFraction(parts.fraction, exact);
    moved = !exact;
    if (kind == BalanceSlider) {
        value = balanceFromPosition(256 + (parts.negative ? -steps : steps));
    } else if (parts.whole.empty() && (parts.fraction == "2" || parts.fraction == "8")) {
        value = parts.fraction == "2" ? kDefaultLowsBelow : kDefaultHeightsAbove;
        moved = false;
    } else {
        value = thresholdFromPosition(steps);
    }
    return DecimalOnStep;
}

const char* sliderRangeText(SliderKind kind) { return kind == BalanceSlider ? "-1 to 1" : "0 to 1"; }

std::string sliderStepText(float value) {
    if (value == kDefaultLowsBelow) return "0.2";
    if (value == kDefaultHeightsAbove) return "0.8";
    // A step is a whole number of 1/256, and 1/256 is 0.00390625: eight
    // decimals, each step 390625 of the eighth place.
    const long steps = std::lround(double(value) * 256);
    const long size = steps < 0 ? -steps : steps;
    std::string text = (steps < 0 ? "-" : "") + std::to_string(size / 256);
    const long eighths = size % 256 * 390625;
    if (eighths == 0) return text;
    std::string fraction = std::to_string(eighths);
    fraction.insert(0, 8 - fraction.size(), '0');
    return text + "." + fraction.substr(0, fraction.find_last_not_of('0') + 1);
}

std::string formatSettingsText(const BalanceSettings& settings, const char* lineEnd) {
    std::string text = std::string(kHeaderStart) + kVersion + lineEnd;
    for (const SettingsKey& key : settingsKeys()) text += key.name + "=" + keyValueText(key, settings) + lineEnd;
    return text;
}

bool parseSettingsText(const std::string& text, BalanceSettings& settings, std::string& error) {
    if (text.size() > kMaxSettingsFileBytes) {
        error = "larger than 64 KiB, the limit for a settings file";
        return false;
    }
    // Notepad's "UTF-8 with BOM" begins the file with these three bytes.
    const bool byteOrderMark = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::vector<std::string> lines = splitLines(byteOrderMark ? text.substr(3) : text);
    if (lines.empty()) {
        error = "empty file";
        return false;
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (!lineIsText(lines[i], i + 1, error)) return false;
    if (!headerIsKnown(lines[0], error)) return false;

    BalanceSettings read = kDefaultBalanceSettings;
    std::vector<size_t> lineOfKey(settingsKeys().size(), 0);
    std::vector<UnknownKey> unknownKeys;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string line = withoutBlanks(lines[i]);
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            error = lineLabel(i + 1) + "expected key=value, found '" + shown(line) + "'";
            return false;
        }
        const std::string name = withoutBlanks(line.substr(0, equals));
        const SettingsKey* key = findKey(name);
        if (!key) {  // a setting of a later version, or a slip of the pen
            unknownKeys.push_back({name, i + 1});
            continue;
        }
        size_t& seen = lineOfKey[size_t(key - settingsKeys().data())];
        if (seen) {
            error = lineLabel(i + 1) + name + " repeats line " + std::to_string(seen);
            return false;
        }
        seen = i + 1;
        std::string reason;
        if (!storeValue(*key, withoutBlanks(line.substr(equals + 1)), read, reason)) {
            error = lineLabel(i + 1) + name + ": " + reason;
            return false;
        }
    }
    for (size_t k = 0; k < lineOfKey.size(); ++k)
        if (!lineOfKey[k]) {
            error = missingKeyReason(settingsKeys()[k].name, unknownKeys);
            return false;
        }
    settings = read;
    return true;
}

bool readSettingsFile(const std::string& path, BalanceSettings& settings, std::string& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open: " + systemReason(errno);
        return false;
    }
    // One byte past the limit tells a file that is too large.
    std::string text(kMaxSettingsFileBytes + 1, '\0');
    errno = 0;
    const size_t got = std::fread(&text[0], 1, text.size(), file);
    const bool failed = std::ferror(file) != 0;
    const int code = errno;
    std::fclose(file);
    if (failed) {
        error = "cannot read: " + systemReason(code);
        return false;
    }
    text.resize(got);
    return parseSettingsText(text, settings, error);
}
