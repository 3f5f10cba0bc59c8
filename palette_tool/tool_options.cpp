#include "tool_options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "file_access.h"

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
    {"--plain", nullptr, BrightnessOption, 0,
     "Turn brightness preservation off; it is on by default, as in the plugin.",
     "palette-balance --plain --all=0.25,0,0 dawn.pal warm.pal"},
    {"--preserve-brightness", nullptr, BrightnessOption, 1,
     "Turn brightness preservation on, also where a settings file turns it off.",
     "palette-balance --settings=night.balance --preserve-brightness dawn.gpl night.gpl"},
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
     "\"Load Settings...\": they become state A, and state B keeps its defaults. With "
     "--settings, FILE gets that file's record with only what the options change: the "
     "other state, the state and range shown and the brightness mode stay as they were. "
     "Values are rounded to the plugin's slider steps (multiples of 1/256) as the file holds them. Needs no "
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
     "INPUT the picture before and after. Works with --ranges too. With --out-dir it is given "
     "without a file name (last, or before another option) and draws each file's preview to "
     "DIR as NAME-preview.png.",
     "palette-balance --preview=night-preview.png --lows=0,0,0.5 town.png town-night.png"},
    {"--out-dir", "DIR", OutputDirOption, 0,
     "Balance every INPUT into the folder DIR, made if missing, under its own name (with "
     "--format, under its own name with that format's extension); each file keeps its format "
     "unless --format is given. One line per file goes to standard error, and a file that fails "
     "does not stop the others. An output that would replace an input of the run is refused "
     "unless --in-place is given, and then only when it replaces its own input.",
     "palette-balance --out-dir=night --lows=0,0,0.5 tiles.png walk.gif dawn.gpl"},
    {"--in-place", nullptr, InPlaceOption, 0,
     "With --out-dir: let each output replace its own input when DIR is that input's folder.",
     "palette-balance --in-place --out-dir=. --all=0,0,0.25 tiles.png walk.gif"},
    {"--help", "all", HelpOption, 0,
     "Show this full text and exit; --help alone shows the options in short.",
     "palette-balance --help=all"},
    {"--version", nullptr, VersionOption, 0, "Show the version and exit.",
     "palette-balance --version"},
};
const size_t kToolOptionCount = sizeof kToolOptions / sizeof kToolOptions[0];

const ToolFormat kToolFormats[] = {
    {"gpl", GimpPalette, "GIMP palette (.gpl): text, one 'R G B name' line per colour.",
     "palette-balance --lows=0,0,0.5 dawn.gpl night.gpl"},
    {"jasc", JascPalette, "JASC palette (.pal, JASC-PAL): text with a colour count.",
     "palette-balance --mediums=0.25,0,0 dawn.pal warm.pal"},
    {"riff", RiffPalette, "Microsoft RIFF palette (.pal, RIFF PAL).",
     "palette-balance --heights=0,0,0.5 dawn-riff.pal cold-riff.pal"},
    {"bmp", IndexedBitmap,
     "Indexed BMP image (1, 4 or 8 bits per pixel): its colour table is rewritten.",
     "palette-balance --all=0,0,0.375 sprites.bmp sprites-night.bmp"},
    {"png", IndexedPng,
     "Indexed PNG image (bit depth 1 to 8): only the PLTE chunk's colours change; every other "
     "chunk stays as it was.",
     "palette-balance --lows=0,0,0.5 tiles.png tiles-night.png"},
    {"gif", IndexedGif,
     "GIF image (87a, 89a): the global colour table and every frame's local table change; "
     "image data and extensions stay as they were. All tables together hold at most 65,536 "
     "colours, as many as 256 frames with a full table each; a larger animation is refused.",
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

// Exponents larger than this are held at it: the value's range and slider
// step stay what they were, and the digits written out stay few.
constexpr long kLargestExponent = 4096;

// A decimal with an optional exponent ("2.5e-1") written without it
// ("0.25"), as the slider-step reading takes it. False when `text` is not
// such a number; what is left without an exponent is checked by the reading.
bool withoutExponent(const std::string& text, std::string& plain) {
    const size_t e = text.find_first_of("eE");
    if (e == std::string::npos) {
        plain = text;
        return true;
    }
    std::string mantissa = text.substr(0, e), exponentText = text.substr(e + 1);
    const std::string sign = !mantissa.empty() && (mantissa[0] == '-' || mantissa[0] == '+')
                                 ? mantissa.substr(0, 1) : "";
    mantissa.erase(0, sign.size());
    const bool exponentNegative = !exponentText.empty() && exponentText[0] == '-';
    if (!exponentText.empty() && (exponentText[0] == '-' || exponentText[0] == '+')) exponentText.erase(0, 1);
    const size_t point = mantissa.find('.');
    const std::string whole = mantissa.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : mantissa.substr(point + 1);
    const std::string digits = whole + fraction;
    if (digits.empty() || exponentText.empty() ||
        digits.find_first_not_of("0123456789") != std::string::npos ||
        exponentText.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long exponent = 0;
    for (char digit : exponentText) exponent = std::min(exponent * 10 + (digit - '0'), kLargestExponent);
    const long at = long(whole.size()) + (exponentNegative ? -exponent : exponent);
    if (at <= 0)
        plain = sign + "0." + std::string(size_t(-at), '0') + digits;
    else if (size_t(at) >= digits.size())
        plain = sign + digits + std::string(size_t(at) - digits.size(), '0');
    else
        plain = sign + digits.substr(0, size_t(at)) + "." + digits.substr(size_t(at));
    return true;
}

// A decimal number and nothing else (no blanks, no hex, no nan or inf),
// within its slider's range as written, read onto the slider's step as a
// settings file is read; `moved` tells whether the step differs from it.
bool parseSetting(const std::string& text, SliderKind kind, float& value, bool& moved,
                  std::string& error) {
    std::string plain;
    const DecimalReading reading = withoutExponent(text, plain)
                                       ? sliderStepFromDecimal(plain, kind, value, moved)
                                       : DecimalNotADecimal;
    if (reading == DecimalNotADecimal) error = "'" + text + "' is not a number";
    if (reading == DecimalOutOfRange) error = text + " is outside " + sliderRangeText(kind);
    return reading == DecimalOnStep;
}

// "CR,MG,YB": three balance values, each in [-1, 1].
bool parseBalanceTriple(const std::string& text, float triple[kBalanceAxisCount], bool& moved,
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
    moved = false;
    for (int axis = 0; axis < kBalanceAxisCount; ++axis) {
        bool axisMoved = false;
        if (!parseSetting(parts[axis], BalanceSlider, parsed[axis], axisMoved, error)) return false;
        moved = moved || axisMoved;
    }
    for (int axis = 0; axis < kBalanceAxisCount; ++axis) triple[axis] = parsed[axis];
    return true;
}

// Notes, for the line on stderr, that the option's value was moved onto the
// sliders' steps; a later use of the same option replaces the note.
void noteMovedValue(const ToolOption& option, const std::string& value, bool moved,
                    ToolOptions& options) {
    std::vector<MovedValue>& notes = options.movedValues;
    for (size_t i = 0; i < notes.size(); ++i)
        if (notes[i].option == option.name) notes.erase(notes.begin() + long(i));
    if (!moved) return;
    std::string used;
    if (option.kind == BalanceOption)
        for (int axis = 0; axis < kBalanceAxisCount; ++axis)
            used += (axis ? "," : "") + sliderStepText(options.state.balance[option.target][axis]);
    else
        used = sliderStepText(option.target == 0 ? options.state.lowsBelow : options.state.heightsAbove);
    const char* how = option.kind == BalanceOption ? "the nearest slider steps towards 0"
                                                   : "the nearest slider step below";
    notes.push_back({option.name, std::string(option.name) + "=" + value + " is used as " + used +
                                      " (" + how + ")"});
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

// --out-dir and --in-place.
bool applyBatchOption(const ToolOption& option, const std::string& value, ToolOptions& options,
                      std::string& reason) {
    if (option.kind == InPlaceOption) {
        options.inPlace = true;
        return true;
    }
    if (value.empty()) {
        reason = "expected the name of a folder";
        return false;
    }
    options.outputDir = value;
    return true;
}

// Whether --out-dir is anywhere on the command line.
bool outputDirRequested(const std::vector<std::string>& arguments) {
    const std::string name = "--out-dir";
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (argument.compare(0, name.size(), name) == 0 &&
            (argument.size() == name.size() || argument[name.size()] == '='))
            return true;
    }
    return false;
}

// A bare --preview that no file name follows (it comes last, or an option
// comes next) asks for a preview of each file of a run with --out-dir. A
// name after it is its value, as in every other run, so that it never
// becomes an INPUT; --out-dir then refuses it.
bool isPreviewForEachFile(const ToolOption& option, size_t equals, bool batch,
                          const std::vector<std::string>& arguments, size_t at) {
    const bool nameFollows = at + 1 < arguments.size() && (arguments[at + 1].size() < 2 ||
                                                           arguments[at + 1][0] != '-');
    return batch && option.kind == PreviewOption && equals == std::string::npos && !nameFollows;
}

// The files of a run with --out-dir: every one an INPUT.
bool takeBatchFiles(const std::vector<std::string>& files, ToolOptions& options,
                    std::string& error) {
    if (options.outputDir.empty()) {
        error = options.inPlace ? "--in-place goes with --out-dir=DIR"
                                : "a preview for each file goes with --out-dir=DIR";
        return false;
    }
    if (options.showRanges) {
        error = "--ranges writes nothing; it does not go with --out-dir";
        return false;
    }
    if (!options.previewPath.empty()) {
        error = "with --out-dir, --preview takes no file name: each preview is NAME-preview.png "
                "in DIR";
        return false;
    }
    if (files.empty()) {
        error = "--out-dir needs at least one INPUT file";
        return false;
    }
    options.inputPaths = files;
    return true;
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
    if (option.kind == BrightnessOption) options.givenSettings |= kGivenBrightness;
}

// --state needs a file to choose from.
bool settingsOptionsFit(const ToolOptions& options, std::string& error) {
    if (options.settingsState >= 0 && options.settingsPath.empty()) {
        error = "--state needs --settings";
        return false;
    }
    return true;
}

// One file a run names, by the option or place that names it.
struct NamedFile {
    const char* role;  // "INPUT", "--preview", ...
    std::string path;  // empty: not named
    bool written;
};

// Two names the run may give one file: OUTPUT may be INPUT, and
// --save-settings the file --settings read.
bool mayShareAFile(const NamedFile& a, const NamedFile& b) {
    const std::string roles = std::string(a.role) + " " + b.role;
    return roles == "INPUT OUTPUT" || roles == "--save-settings --settings";
}

// No file the run writes may be another file of the run, compared by what
// the file system holds, not by how the names are spelt.
bool namedFilesStayApart(const std::vector<NamedFile>& files, std::string& error) {
    std::vector<FileIdentity> identities;
    for (const NamedFile& file : files) identities.push_back(fileIdentityOf(file.path));
    for (size_t i = 0; i < files.size(); ++i)
        for (size_t j = i + 1; j < files.size(); ++j) {
            const NamedFile &a = files[i], &b = files[j];
            if (a.path.empty() || b.path.empty() || !(a.written || b.written)) continue;
            if (mayShareAFile(a, b) || !sameFile(identities[i], identities[j])) continue;
            error = std::string(a.role) + " and " + b.role + " name the same file";
            return false;
        }
    return true;
}

// The files of a run on one INPUT (with OUTPUT, or --ranges), or of each
// INPUT of a run with --out-dir, whose outputs are checked as they are planned.
bool runFilesStayApart(const ToolOptions& options, const std::vector<std::string>& inputs,
                       std::string& error) {
    std::vector<NamedFile> files = {{"--save-settings", options.saveSettingsPath, true},
                                    {"--preview", options.previewPath, true}};
    for (const std::string& input : inputs) files.push_back({"INPUT", input, false});
    files.push_back({"OUTPUT", options.outputPath, true});
    files.push_back({"--settings", options.settingsPath, false});
    return namedFilesStayApart(files, error);
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
    bool moved = false;
    switch (option.kind) {
        case BalanceOption:
            if (parseBalanceTriple(value, options.state.balance[option.target], moved, reason)) {
                noteMovedValue(option, value, moved, options);
                return true;
            }
            break;
        case ThresholdOption: {
            float& threshold =
                option.target == 0 ? options.state.lowsBelow : options.state.heightsAbove;
            if (parseSetting(value, ThresholdSlider, threshold, moved, reason)) {
                noteMovedValue(option, value, moved, options);
                return true;
            }
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
        case BrightnessOption: options.preserveBrightness = option.target == 1; return true;
        case RangesOption: options.showRanges = true; return true;
        case HelpOption:
            if (value.empty() || value == "all") {
                options.showHelp = true;
                options.showAllHelp = !value.empty();
                return true;
            }
            reason = "expected --help or --help=all";
            break;
        case VersionOption: options.showVersion = true; return true;
        case OutputDirOption:
        case InPlaceOption:
            if (applyBatchOption(option, value, options, reason)) return true;
            break;
    }
    error = std::string(option.name) + "=" + value + ": " + reason;
    return false;
}

bool isHelpArgument(const std::string& argument) {
    return argument == "--help" || argument == "-h";
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

// Appends `lead`, then `text` broken into lines of at most 79 columns, every
// line after the first indented by `indent`.
void appendHanging(std::string& out, const std::string& lead, const std::string& text,
                   size_t indent) {
    out += lead;
    size_t column = lead.size();
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

// Appends `text` indented by `indent`, broken into lines of at most 79 columns.
void appendWrapped(std::string& out, const std::string& text, size_t indent) {
    appendHanging(out, std::string(indent, ' '), text, indent);
}

// An example command, its continuation lines under its first word.
void appendExample(std::string& out, const std::string& example) {
    appendHanging(out, "      Example: ", example, 17);
}

// --help, -h, --help=all and --version: what they show, in `options`.
bool takeHelpArgument(const std::string& argument, ToolOptions& options) {
    options.showVersion = argument == "--version";
    options.showAllHelp = argument == "--help=all";
    options.showHelp = isHelpArgument(argument) || options.showAllHelp;
    return options.showHelp || options.showVersion;
}

}  // namespace

std::string toolShortHelpText() {
    std::string text =
        "Usage: palette-balance [OPTIONS] INPUT OUTPUT\n"
        "       palette-balance [OPTIONS] --out-dir=DIR INPUT...\n"
        "       palette-balance --ranges [OPTIONS] INPUT\n"
        "       palette-balance --save-settings=FILE [OPTIONS]\n"
        "\n";
    appendWrapped(text,
                  "Rebalances the colours of a palette file or an indexed picture exactly as the "
                  "Kavrin Color Balance Plugin does with the same settings, and writes OUTPUT. "
                  "Balance values CR,MG,YB (CyanRed, MagentaGreen, YellowBlue) are each from -1 "
                  "to 1, thresholds X from 0 to 1.",
                  0);
    std::string names;
    for (size_t i = 0; i < kToolOptionCount; ++i) {
        const ToolOption& option = kToolOptions[i];
        names += (i ? " " : "") + std::string(option.name);
        if (option.valueHint) names += "=" + std::string(option.valueHint);
    }
    text += "\nOptions:\n";
    appendWrapped(text, names, 2);
    std::string formats;
    for (size_t i = 0; i < kToolFormatCount; ++i)
        formats += (i ? " " : "") + std::string(kToolFormats[i].name);
    text += "\n";
    appendHanging(text, "Formats: ", formats, 2);
    appendHanging(text, "Example: ", kToolOptions[0].example, 2);
    text += "\n";
    appendWrapped(text,
                  "palette-balance --help=all describes every option and format, with an "
                  "example of each, and the exit status.",
                  0);
    return text;
}

std::string toolVersionText() {
    return std::string("palette-balance ") + PALETTE_BALANCE_VERSION + "\n";
}

ToolOptions defaultToolOptions() {
    ToolOptions options;
    options.state = {kDefaultLowsBelow, kDefaultHeightsAbove, {}};
    options.preserveBrightness = true;
    options.inPlace = false;
    options.previewEach = false;
    options.showRanges = false;
    options.showHelp = false;
    options.showAllHelp = false;
    options.showVersion = false;
    options.formatGiven = false;
    options.outputFormat = GimpPalette;
    options.settingsState = -1;
    options.givenSettings = 0;
    options.settingsFileTaken = false;
    options.settingsFile = kDefaultBalanceSettings;
    return options;
}

bool parseToolOptions(const std::vector<std::string>& arguments, ToolOptions& options,
                      std::string& error) {
    options = defaultToolOptions();
    for (const std::string& argument : arguments) {
        if (argument == "--") break;
        if (takeHelpArgument(argument, options)) return true;
    }
    const bool batch = outputDirRequested(arguments);
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
        if (isPreviewForEachFile(*option, equals, batch, arguments, i)) {
            options.previewEach = true;
            continue;
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
    if (!settingsOptionsFit(options, error)) return false;
    if (savesSettingsOnly(options, files)) return runFilesStayApart(options, files, error);
    if (batch || options.inPlace)
        return takeBatchFiles(files, options, error) && runFilesStayApart(options, files, error);
    if (options.showRanges) {
        if (files.size() != 1) {
            error = files.empty() ? "--ranges needs an INPUT file"
                                  : "--ranges reads INPUT only and writes nothing; unexpected '" +
                                        files[1] + "'";
            return false;
        }
        options.inputPath = files[0];
        return runFilesStayApart(options, files, error);
    }
    if (files.size() != 2) {
        error = files.size() < 2 ? "expected INPUT and OUTPUT files"
                                 : "unexpected '" + files[2] + "' after INPUT and OUTPUT";
        return false;
    }
    options.inputPath = files[0];
    options.outputPath = files[1];
    return runFilesStayApart(options, {files[0]}, error);
}

std::string toolHelpText() {
    std::string text =
        "Usage: palette-balance [OPTIONS] [--preview=FILE.png] INPUT OUTPUT\n"
        "       palette-balance [OPTIONS] [--preview] [--in-place] --out-dir=DIR\n"
        "                       INPUT...\n"
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
                  "outside their range as written. Each value is used where the plugin's slider "
                  "placed at it stands, as a settings file's is: a balance value towards 0 and a "
                  "threshold down to a multiple of 1/256 (0.2 and 0.8 stay as they are); one line "
                  "on standard error says when an option was moved.",
                  0);
    text += "\n";
    appendWrapped(text,
                  "OUTPUT may be INPUT itself. It is written to a new temporary file beside it, "
                  "flushed to the disk and then renamed into place with the permissions of the "
                  "file it replaces, so a failure never leaves a half-written file and leaves "
                  "OUTPUT as it was; INPUT is only read. When OUTPUT is a symbolic link, the link "
                  "itself is replaced by the new file and the file it points to is left as it "
                  "was; to write through a link, name the file it points to.",
                  0);
    text += "\nOptions:\n";
    for (size_t i = 0; i < kToolOptionCount; ++i) {
        const ToolOption& option = kToolOptions[i];
        text += "  " + std::string(option.name);
        if (option.valueHint) text += "=" + std::string(option.valueHint);
        text += "\n";
        appendWrapped(text, option.description, 6);
        appendExample(text, option.example);
    }
    text += "\nFormats:\n";
    for (size_t i = 0; i < kToolFormatCount; ++i) {
        const ToolFormat& format = kToolFormats[i];
        text += "  " + std::string(format.name) + "\n";
        appendWrapped(text, format.description, 6);
        appendExample(text, format.example);
    }
    text += "\n";
    appendWrapped(text,
                  "Exit status: 0 when done, 1 when a file cannot be read, understood or "
                  "written (with --out-dir: when any file was not written), 2 for bad options.",
                  0);
    return text;
}

namespace {

// The state of a settings file that the run takes: --state's, or the one shown.
int takenState(const BalanceSettings& fromFile, const ToolOptions& options) {
    return options.settingsState >= 0 ? options.settingsState : fromFile.currentState;
}

}  // namespace

void takeSettingsFile(const BalanceSettings& fromFile, ToolOptions& options) {
    options.settingsFileTaken = true;
    options.settingsFile = fromFile;
    const int state = takenState(fromFile, options);
    const SliderState& taken = fromFile.states[state];
    for (int range = 0; range < kToneRangeCount; ++range)
        if (!(options.givenSettings & (1u << range)))
            for (int axis = 0; axis < kBalanceAxisCount; ++axis)
                options.state.balance[range][axis] = taken.balance[range][axis];
    if (!(options.givenSettings & kGivenLowsBelow)) options.state.lowsBelow = taken.lowsBelow;
    if (!(options.givenSettings & kGivenHeightsAbove))
        options.state.heightsAbove = taken.heightsAbove;
    if (!(options.givenSettings & kGivenBrightness))
        options.preserveBrightness = fromFile.preserveBrightness;
}

BalanceSettings settingsToSave(const ToolOptions& options) {
    if (!options.settingsFileTaken) {
        BalanceSettings settings = kDefaultBalanceSettings;
        settings.states[0] = options.state;
        settings.preserveBrightness = options.preserveBrightness;
        return settings;
    }
    BalanceSettings settings = options.settingsFile;
    settings.states[takenState(settings, options)] = options.state;
    if (options.givenSettings & kGivenBrightness)
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

std::string fileNameOf(const std::string& path) { return fileName(path); }

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

const char* formatExtension(PaletteFormat format) {
    switch (format) {
        case GimpPalette: return ".gpl";
        case JascPalette:
        case RiffPalette: return ".pal";
        case IndexedBitmap: return ".bmp";
        case IndexedPng: return ".png";
        case IndexedGif: return ".gif";
        case HexPalette: return ".hex";
        case ActPalette: return ".act";
    }
    return "";
}
