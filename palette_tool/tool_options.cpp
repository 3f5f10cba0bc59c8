#include "tool_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

const ToolOption kToolOptions[] = {
    {"--lows", "CR,MG,YB", BalanceOption, Lows,
     "Balance of the Lows: CyanRed, MagentaGreen, YellowBlue, each from -1 to 1 (default 0,0,0).",
     "palette-balance --lows=-0.25,0,0.5 dawn.gpl night.gpl"},
    {"--mediums", "CR,MG,YB", BalanceOption, Mediums, "Balance of the Mediums (default 0,0,0).",
     "palette-balance --mediums=0.5,0,-0.5 dawn.gpl dusk.gpl"},
    {"--heights", "CR,MG,YB", BalanceOption, Heights, "Balance of the Heights (default 0,0,0).",
     "palette-balance --heights=0,0.125,0.25 dawn.gpl underwater.gpl"},
    {"--all", "CR,MG,YB", BalanceOption, All,
     "Balance of every colour, applied after its range's (default 0,0,0).",
     "palette-balance --all=0,0,0.375 sprites.bmp sprites-night.bmp"},
    {"--lows-below", "X", ThresholdOption, 0,
     "Colours whose luminance is below X are Lows; X from 0 to 1 (default 0.2).",
     "palette-balance --lows-below=0.3 --lows=0,0,0.5 dawn.gpl night.gpl"},
    {"--heights-above", "X", ThresholdOption, 1,
     "Colours whose luminance is above X are Heights; X from 0 to 1 (default 0.8).",
     "palette-balance --heights-above=0.7 --heights=0.5,0.25,0 dawn.gpl dusk.gpl"},
    {"--plain", nullptr, PlainOption, 0,
     "Turn brightness preservation off; it is on by default, as in the plugin.",
     "palette-balance --plain --all=0.25,0,0 dawn.pal warm.pal"},
    {"--settings", "FILE", SettingsOption, 0,
     "Start from the settings in FILE, a settings file (.balance) saved by the plugin's "
     "\"Save Settings...\" or by --save-settings: the balance values and thresholds of the "
     "state that the file shows, or of --state, and its brightness preservation. Options given "
     "as well override the file's values (--lows=, --lows-below=, --plain and the others).",
     "palette-balance --settings=night.balance --heights=0,0,0.25 dawn.gpl night.gpl"},
    {"--state", "A|B", StateOption, 0,
     "With --settings: take the file's state A or B instead of the state it shows.",
     "palette-balance --settings=looks.balance --state=B dawn.gpl dusk.gpl"},
    {"--save-settings", "FILE", SaveSettingsOption, 0,
     "Write the settings of this command line to FILE as a settings file, for the plugin's "
     "\"Load Settings...\": they become state A, and state B keeps its defaults. Values are "
     "rounded to the plugin's slider steps (multiples of 1/256) as the file holds them. Needs no "
     "INPUT; with INPUT, FILE is written once the run has succeeded.",
     "palette-balance --save-settings=night.balance --lows=-0.25,0,0.5 --all=0,0,0.25"},
    {"--format", "F", FormatOption, 0,
     "Output format: gpl, jasc, riff, bmp, png, gif, hex or act (see Formats below). Without it "
     "the output file's name decides: .gpl, .bmp, .png, .gif, .hex, .act, and .pal keeps the "
     "input's kind when that is a JASC or RIFF palette, JASC otherwise.",
     "palette-balance --format=riff --mediums=0,0,0.25 dawn.gpl dawn-blue.pal"},
    {"--ranges", nullptr, RangesOption, 0,
     "Print which entries of INPUT fall into Lows, Mediums and Heights, with their luminance, "
     "and write nothing. The luminance follows the mode: add --plain for the plain one.",
     "palette-balance --ranges --lows-below=0.25 --heights-above=0.75 dawn.gpl"},
    {"--preview", "FILE.png", PreviewOption, 0,
     "Also draw a PNG picture of the change: the input colours in one row and the output "
     "colours below, each framed in its tone range's colour, and for an indexed picture as "
     "INPUT the picture before and after. Works with --ranges too.",
     "palette-balance --preview=night-preview.png --lows=0,0,0.5 town.png town-night.png"},
    {"--help", nullptr, HelpOption, 0, "Show this help and exit.", "palette-balance --help"},
};
const size_t kToolOptionCount = sizeof kToolOptions / sizeof kToolOptions[0];

const ToolFormat kToolFormats[] = {
    {"gpl", GimpPalette, "GIMP palette (.gpl): text, one 'R G B name' line per colour.",
     "palette-balance --lows=0,0,0.5 dawn.gpl night.gpl"},
    {"jasc", JascPalette, "JASC palette (.pal, JASC-PAL): text with a colour count.",
     "palette-balance --mediums=0.25,0,0 dawn.pal warm.pal"},
    {"riff", RiffPalette, "Microsoft RIFF palette (.pal, RIFF PAL).",
     "palette-balance --heights=0,0,0.5 dawn-riff.pal cold-riff.pal"},
    {"bmp", IndexedBitmap, "8-bit indexed BMP image: its colour table is rewritten.",
     "palette-balance --all=0,0,0.375 sprites.bmp sprites-night.bmp"},
    {"png", IndexedPng,
     "Indexed PNG image (bit depth 1 to 8): only the PLTE chunk's colours change; every other "
     "chunk stays as it was.",
     "palette-balance --lows=0,0,0.5 tiles.png tiles-night.png"},
    {"gif", IndexedGif,
     "GIF image (87a, 89a): the global colour table and every frame's local table change; "
     "image data and extensions stay as they were.",
     "palette-balance --mediums=-0.25,0,0.5 walk.gif walk-underwater.gif"},
    {"hex", HexPalette, "Hex list (.hex): one RRGGBB colour per line.",
     "palette-balance --heights=0.25,0,0 pastel.hex pastel-warm.hex"},
    {"act", ActPalette,
     "Colour table (.act): 256 RGB triples, optionally with a colour count and a transparent "
     "index.",
     "palette-balance --all=0,0,0.25 swatches.act swatches-cold.act"},
};
const size_t kToolFormatCount = sizeof kToolFormats / sizeof kToolFormats[0];

namespace {

// A decimal number and nothing else (no blanks, no hex, no nan or inf),
// read as a float and within [low, high].
bool parseSetting(const std::string& text, float low, float high, float& value,
                  std::string& error) {
    const bool decimal = !text.empty() &&
                         text.find_first_not_of("0123456789.eE+-") == std::string::npos &&
                         text.find_first_of("0123456789") != std::string::npos;
    char* end = nullptr;
    const float parsed = decimal ? std::strtof(text.c_str(), &end) : 0.0f;
    if (!decimal || end != text.c_str() + text.size() || !std::isfinite(parsed)) {
        error = "'" + text + "' is not a number";
        return false;
    }
    if (parsed < low || parsed > high) {
        char range[32];
        std::snprintf(range, sizeof range, "%g to %g", double(low), double(high));
        error = text + " is outside " + range;
        return false;
    }
    value = parsed;
    return true;
}

// "CR,MG,YB": three balance values, each in [-1, 1].
bool parseBalanceTriple(const std::string& text, float triple[kBalanceAxisCount],
                        std::string& error) {
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        const size_t comma = text.find(',', begin);
        parts.push_back(
            text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
        if (comma == std::string::npos) break;
        begin = comma + 1;
    }
    if (parts.size() != kBalanceAxisCount) {
        error = "expected three values CR,MG,YB (CyanRed, MagentaGreen, YellowBlue)";
        return false;
    }
    float parsed[kBalanceAxisCount];
    for (int axis = 0; axis < kBalanceAxisCount; ++axis)
        if (!parseSetting(parts[axis], -1.0f, 1.0f, parsed[axis], error)) return false;
    for (int axis = 0; axis < kBalanceAxisCount; ++axis) triple[axis] = parsed[axis];
    return true;
}

// "gpl, jasc, ... or act"
std::string formatNameList() {
    std::string list;
    for (size_t i = 0; i < kToolFormatCount; ++i)
        list += std::string(i == 0                      ? ""
                            : i + 1 == kToolFormatCount ? " or "
                                                        : ", ") +
                kToolFormats[i].name;
    return list;
}

const ToolOption* findOption(const std::string& name) {
    for (size_t i = 0; i < kToolOptionCount; ++i)
        if (name == kToolOptions[i].name) return &kToolOptions[i];
    return nullptr;
}

// --settings, --state and --save-settings.
bool applySettingsFileOption(const ToolOption& option, const std::string& value,
                             ToolOptions& options, std::string& reason) {
    if (option.kind == StateOption) {
        if (value == "A" || value == "B") {
            options.settingsState = value == "A" ? 0 : 1;
            return true;
        }
        reason = "expected A or B";
        return false;
    }
    if (value.empty()) {
        reason = "expected the name of a settings file";
        return false;
    }
    (option.kind == SettingsOption ? options.settingsPath : options.saveSettingsPath) = value;
    return true;
}

// Marks the settings that an option gave, which a settings file must not
// replace.
void noteGivenSetting(const ToolOption& option, ToolOptions& options) {
    if (option.kind == BalanceOption) options.givenSettings |= 1u << option.target;
    if (option.kind == ThresholdOption)
        options.givenSettings |= option.target == 0 ? kGivenLowsBelow : kGivenHeightsAbove;
    if (option.kind == PlainOption) options.givenSettings |= kGivenPlain;
}

// --state needs a file to choose from, and --save-settings must not replace
// any other file of the run.
bool settingsOptionsFit(const ToolOptions& options, const std::vector<std::string>& files,
                        std::string& error) {
    if (options.settingsState >= 0 && options.settingsPath.empty()) {
        error = "--state needs --settings";
        return false;
    }
    const std::string& save = options.saveSettingsPath;
    for (size_t i = 0; i < files.size() && !save.empty(); ++i)
        if (save == files[i]) {
            error = std::string("--save-settings and ") + (i == 0 ? "INPUT" : "OUTPUT") +
                    " name the same file";
            return false;
        }
    if (!save.empty() && save == options.previewPath) {
        error = "--save-settings and --preview name the same file";
        return false;
    }
    return true;
}

// --save-settings alone: no INPUT, nothing to read or draw.
bool savesSettingsOnly(const ToolOptions& options, const std::vector<std::string>& files) {
    return files.empty() && !options.saveSettingsPath.empty() && !options.showRanges &&
           options.previewPath.empty();
}

// Applies one option with its value (empty for a switch).
bool applyOption(const ToolOption& option, const std::string& value, ToolOptions& options,
                 std::string& error) {
    std::string reason;
    switch (option.kind) {
        case BalanceOption:
            if (parseBalanceTriple(value, options.state.balance[option.target], reason))
                return true;
            break;
        case ThresholdOption: {
            float& threshold =
                option.target == 0 ? options.state.lowsBelow : options.state.heightsAbove;
            if (parseSetting(value, 0.0f, 1.0f, threshold, reason)) return true;
            break;
        }
        case FormatOption:
            for (const ToolFormat& format : kToolFormats)
                if (value == format.name) {
                    options.formatGiven = true;
                    options.outputFormat = format.format;
                    return true;
                }
            reason = "unknown format '" + value + "' (expected " + formatNameList() + ")";
            break;
        case PreviewOption:
            if (!value.empty()) {
                options.previewPath = value;
                return true;
            }
            reason = "expected the name of the picture to write";
            break;
        case SettingsOption:
        case StateOption:
        case SaveSettingsOption:
            if (applySettingsFileOption(option, value, options, reason)) return true;
            break;
        case PlainOption: options.preserveBrightness = false; return true;
        case RangesOption: options.showRanges = true; return true;
        case HelpOption: options.showHelp = true; return true;
    }
    error = std::string(option.name) + "=" + value + ": " + reason;
    return false;
}

// The preview picture must not replace INPUT or OUTPUT.
bool previewNamesNoOtherFile(const ToolOptions& options, std::string& error) {
    const std::string& preview = options.previewPath;
    if (!preview.empty() && (preview == options.inputPath || preview == options.outputPath)) {
        error = std::string("--preview and ") +
                (preview == options.inputPath ? "INPUT" : "OUTPUT") + " name the same file";
        return false;
    }
    return true;
}

bool isHelpArgument(const std::string& argument) {
    return argument == "--help" || argument == "-h";
}

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string extensionOf(const std::string& path) {
    const std::string name = fileName(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : lowerCase(name.substr(dot));
}

// Appends `text` indented by `indent`, broken into lines of at most 79 columns.
void appendWrapped(std::string& out, const std::string& text, size_t indent) {
    out += std::string(indent, ' ');
    size_t column = indent;
    size_t begin = 0;
    bool lineEmpty = true;
    while (begin < text.size()) {
        size_t end = text.find(' ', begin);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(begin, end - begin);
        if (!lineEmpty && column + 1 + word.size() > 79) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
        begin = end + 1;
    }
    out += "\n";
}

}  // namespace

ToolOptions defaultToolOptions() {
    ToolOptions options;
    options.state = {kDefaultLowsBelow, kDefaultHeightsAbove, {}};
    options.preserveBrightness = true;
    options.showRanges = false;
    options.showHelp = false;
    options.formatGiven = false;
    options.outputFormat = GimpPalette;
    options.settingsState = -1;
    options.givenSettings = 0;
    return options;
}

bool parseToolOptions(const std::vector<std::string>& arguments, ToolOptions& options,
                      std::string& error) {
    options = defaultToolOptions();
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (isHelpArgument(argument)) {
            options.showHelp = true;
            return true;
        }
    }
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const ToolOption* option = findOption(name);
        if (!option) {
            error = "unknown option '" + name + "'";
            return false;
        }
        std::string value;
        if (!option->valueHint) {
            if (equals != std::string::npos) {
                error = name + " takes no value";
                return false;
            }
        } else if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = name + " needs a value: " + name + "=" + option->valueHint;
            return false;
        }
        if (!applyOption(*option, value, options, error)) return false;
        noteGivenSetting(*option, options);
    }
    if (!settingsOptionsFit(options, files, error)) return false;
    if (savesSettingsOnly(options, files)) return true;
    if (options.showRanges) {
        if (files.size() != 1) {
            error = files.empty() ? "--ranges needs an INPUT file"
                                  : "--ranges reads INPUT only and writes nothing; unexpected '" +
                                        files[1] + "'";
            return false;
        }
        options.inputPath = files[0];
        return previewNamesNoOtherFile(options, error);
    }
    if (files.size() != 2) {
        error = files.size() < 2 ? "expected INPUT and OUTPUT files"
                                 : "unexpected '" + files[2] + "' after INPUT and OUTPUT";
        return false;
    }
    options.inputPath = files[0];
    options.outputPath = files[1];
    return previewNamesNoOtherFile(options, error);
}

std::string toolHelpText() {
    std::string text =
        "Usage: palette-balance [OPTIONS] [--preview=FILE.png] INPUT OUTPUT\n"
        "       palette-balance --ranges [--lows-below=X] [--heights-above=X] [--plain]\n"
        "                       [--preview=FILE.png] INPUT\n"
        "       palette-balance --save-settings=FILE [OPTIONS]\n"
        "\n";
    appendWrapped(text,
                  "Rebalances the colours of a palette file exactly as the Kavrin Color Balance "
                  "Plugin does with the same settings, byte for byte, and writes the result to "
                  "OUTPUT. INPUT is a palette file or an indexed picture of one of the formats "
                  "below; a picture's palette is rewritten so that it comes out recoloured. The "
                  "kind of INPUT is recognised by its content.",
                  0);
    text += "\n";
    appendWrapped(text,
                  "Balance values CR,MG,YB are for the axes CyanRed, MagentaGreen and YellowBlue, "
                  "each from -1 (towards cyan, magenta, yellow) to 1 (towards red, green, blue). "
                  "Each colour gets the values of its range (Lows, Mediums or Heights, by its "
                  "luminance), then those of All. Values are refused, not clamped, when they lie "
                  "outside their range.",
                  0);
    text += "\n";
    appendWrapped(text,
                  "OUTPUT may be INPUT itself. It is written to a temporary file that is then "
                  "renamed into place, so a failure never leaves a half-written file; INPUT is "
                  "only read.",
                  0);
    text += "\nOptions:\n";
    for (size_t i = 0; i < kToolOptionCount; ++i) {
        const ToolOption& option = kToolOptions[i];
        text += "  " + std::string(option.name);
        if (option.valueHint) text += "=" + std::string(option.valueHint);
        text += "\n";
        appendWrapped(text, option.description, 6);
        text += "      Example: " + std::string(option.example) + "\n";
    }
    text += "\nFormats:\n";
    for (size_t i = 0; i < kToolFormatCount; ++i) {
        const ToolFormat& format = kToolFormats[i];
        text += "  " + std::string(format.name) + "\n";
        appendWrapped(text, format.description, 6);
        text += "      Example: " + std::string(format.example) + "\n";
    }
    text += "\n";
    appendWrapped(text,
                  "Exit status: 0 when done, 1 when a file cannot be read, understood or "
                  "written, 2 for bad options.",
                  0);
    return text;
}

void takeSettingsFile(const BalanceSettings& fromFile, ToolOptions& options) {
    const int state = options.settingsState >= 0 ? options.settingsState : fromFile.currentState;
    const SliderState& taken = fromFile.states[state];
    for (int range = 0; range < kToneRangeCount; ++range)
        if (!(options.givenSettings & (1u << range)))
            for (int axis = 0; axis < kBalanceAxisCount; ++axis)
                options.state.balance[range][axis] = taken.balance[range][axis];
    if (!(options.givenSettings & kGivenLowsBelow)) options.state.lowsBelow = taken.lowsBelow;
    if (!(options.givenSettings & kGivenHeightsAbove))
        options.state.heightsAbove = taken.heightsAbove;
    if (!(options.givenSettings & kGivenPlain))
        options.preserveBrightness = fromFile.preserveBrightness;
}

BalanceSettings settingsToSave(const ToolOptions& options) {
    BalanceSettings settings = kDefaultBalanceSettings;
    settings.states[0] = options.state;
    settings.preserveBrightness = options.preserveBrightness;
    return settings;
}

bool chooseOutputFormat(const ToolOptions& options, PaletteFormat inputFormat,
                        PaletteFormat& format, std::string& error) {
    if (options.formatGiven) {
        format = options.outputFormat;
        return true;
    }
    const std::string extension = extensionOf(options.outputPath);
    if (extension == ".gpl") {
        format = GimpPalette;
        return true;
    }
    static const struct {
        const char* extension;
        PaletteFormat format;
    } kByExtension[] = {{".bmp", IndexedBitmap},
                        {".png", IndexedPng},
                        {".gif", IndexedGif},
                        {".hex", HexPalette},
                        {".act", ActPalette}};
    for (const auto& known : kByExtension)
        if (extension == known.extension) {
            format = known.format;
            return true;
        }
    if (extension == ".pal") {
        format =
            (inputFormat == JascPalette || inputFormat == RiffPalette) ? inputFormat : JascPalette;
        return true;
    }
    error = "cannot tell the output format from the file name; use --format=" + formatNameList();
    return false;
}

std::string paletteNameFromPath(const std::string& path) {
    const std::string name = fileName(path);
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
}
