// The command line of palette-balance: the plugin's slider settings as
// options, the output format, and the files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "palette_files.h"
#include "settings_file.h"
#include "slider_state.h"

// A balance or threshold option whose value was moved onto the sliders'
// steps, and the line that says so.
struct MovedValue {
    std::string option;  // "--lows-below"
    std::string line;    // "--lows-below=0.3 is used as 0.296875 (the nearest slider step below)"
};

struct ToolOptions {
    SliderState state;        // thresholds 0.2 and 0.8, every balance value 0
    bool preserveBrightness;  // on unless --plain, as in the plugin
    bool showRanges;
    bool showHelp;
    bool showAllHelp;  // --help=all: every option and format in full
    bool showVersion;
    bool formatGiven;
    PaletteFormat outputFormat;
    // --out-dir=DIR INPUT...: each input balanced into DIR under its own name.
    std::string outputDir;                // empty: one INPUT and one OUTPUT
    std::vector<std::string> inputPaths;  // with --out-dir
    bool inPlace;                         // --in-place: an input may be replaced by its output
    bool previewEach;                     // --preview with --out-dir: NAME-preview.png in DIR
    std::string inputPath;
    std::string outputPath;   // empty with --ranges
    std::string previewPath;  // --preview: where the before/after picture goes, or empty
    std::string settingsPath;      // --settings: the settings file the run starts from, or empty
    int settingsState;             // --state: 0 (A) or 1 (B), or -1 for the state the file shows
    std::string saveSettingsPath;  // --save-settings: where this run's settings go, or empty
    unsigned givenSettings;        // the settings the options gave (kGiven... bits), over the file's
    std::vector<MovedValue> movedValues;  // one for each option moved onto the sliders' steps
    bool settingsFileTaken;        // --settings was read into `settingsFile`
    BalanceSettings settingsFile;  // the whole record --settings held
};

// Bits of ToolOptions::givenSettings: a balance option sets bit 1 << its
// ToneRange, the thresholds and --plain the bits below.
constexpr unsigned kGivenLowsBelow = 1u << kToneRangeCount;
constexpr unsigned kGivenHeightsAbove = kGivenLowsBelow << 1;
constexpr unsigned kGivenBrightness = kGivenLowsBelow << 2;

enum OptionKind {
    BalanceOption,
    ThresholdOption,
    BrightnessOption,
    FormatOption,
    OutputDirOption,
    InPlaceOption,
    RangesOption,
    PreviewOption,
    SettingsOption,
    StateOption,
    SaveSettingsOption,
    HelpOption,
    VersionOption
};

// One option as --help documents it. Thresholds use target 0 for
// lowsBelow and 1 for heightsAbove; balance options use their ToneRange;
// brightness options 0 for off (--plain) and 1 for on.
struct ToolOption {
    const char* name;       // "--lows"
    const char* valueHint;  // "CR,MG,YB", or nullptr for a switch
    OptionKind kind;
    int target;
    const char* description;
    const char* example;  // a complete command line
};

extern const ToolOption kToolOptions[];
extern const size_t kToolOptionCount;

// One file format as --format names it and --help lists it.
struct ToolFormat {
    const char* name;  // "gpl"
    PaletteFormat format;
    const char* description;
    const char* example;  // a complete command line
};

extern const ToolFormat kToolFormats[];
extern const size_t kToolFormatCount;

// The settings of a fresh run: the plugin's defaults.
ToolOptions defaultToolOptions();

// Parses the arguments after the program name. Balance values and thresholds
// are read as exact decimals (an exponent allowed) onto the plugin's slider
// steps, as a settings file is read, so that the command line, a settings
// file and the plugin give one palette; each option so moved is noted in
// `movedValues`. A value outside its range as written or not wholly a
// decimal number is refused, never clamped. Returns false with a one-line
// reason in `error`. --help, --help=all or --version anywhere wins over
// everything else.
bool parseToolOptions(const std::vector<std::string>& arguments, ToolOptions& options,
                      std::string& error);

// --settings: the state of `fromFile` that the file shows, or the one --state
// names, and the file's brightness preservation, except for the settings
// that the options gave, which keep their values.
void takeSettingsFile(const BalanceSettings& fromFile, ToolOptions& options);

// What --save-settings writes. After --settings: the file's record with
// only what the options changed, the state taken (the one shown or --state's)
// holding this run's values and the brightness mode --plain or
// --preserve-brightness gave; the other state, the state and range shown and
// an untouched brightness mode stay the file's. Without --settings: this
// run's settings as state A, state B at its defaults, state A and the range
// All shown.
BalanceSettings settingsToSave(const ToolOptions& options);

// The --help text: the usage, the options' names and the formats, in 80
// columns.
std::string toolShortHelpText();

// The --help=all text: every option and format with its example.
std::string toolHelpText();

// The --version line.
std::string toolVersionText();

// The output format: --format when given, else from the output file's
// extension (.gpl, .bmp, .png, .gif, .hex, .act; .pal keeps a JASC or RIFF
// input's kind and is JASC otherwise). Returns false with a reason when the name does not tell.
bool chooseOutputFormat(const ToolOptions& options, PaletteFormat inputFormat,
                        PaletteFormat& format, std::string& error);

// The file name without its folders and its extension, to name a new GIMP palette.
std::string paletteNameFromPath(const std::string& path);

// The file name without its folders.
std::string fileNameOf(const std::string& path);

// `text` with its ASCII capitals made small, for names compared without case.
std::string lowerCase(std::string text);

// The extension a file of `format` is given: ".gpl", ".pal", ...
const char* formatExtension(PaletteFormat format);
