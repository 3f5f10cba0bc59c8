// Settings files: the whole BalanceSettings record as a small text file, read
// and written alike by the plugin ("Save Settings..." and "Load Settings...")
// and by palette-balance (--settings, --save-settings), so that one file gives
// the same palette in both. Platform-free: no window-system types here.
//
// The file is a first line naming the format and its version, then one
// key=value line for each setting, for example:
//
//   Kavrin Color Balance settings, version 1
//   shown-state=A
//   shown-range=All
//   preserve-brightness=on
//   A.lows-below=0.2
//   A.heights-above=0.80078125
//   A.Lows.CyanRed=-0.25
//   ...                       (twelve balance values per state)
//   B.All.YellowBlue=0
//
// Values are rounded to the sliders' steps as a slider placed at them would
// show them, so every value is a multiple of 1/256 written as an exact
// decimal; a threshold at its reset value 0.2 or 0.8 is kept as it is.
#pragma once

#include <cstddef>
#include <string>

#include "slider_state.h"

// The name the file dialogs and palette-balance's help suggest for these files.
constexpr char kSettingsFileExtension[] = "balance";

// The name the plugin's Save dialog suggests for a new settings file.
constexpr char kSuggestedSettingsFileName[] = "look.balance";

// A settings file is a few hundred bytes; a larger one is refused unread.
constexpr size_t kMaxSettingsFileBytes = 64 * 1024;

// The line end that formatSettingsText writes unless told otherwise: CR LF
// in the Windows programs, LF elsewhere. Either is read everywhere.
#ifdef _WIN32
constexpr char kSettingsLineEnd[] = "\r\n";
#else
constexpr char kSettingsLineEnd[] = "\n";
#endif

// A balance value in [-1, +1] moved to its slider's step, as a balance
// trackbar placed at it would show it: (256 + trunc(256 v) - 256) / 256.
float balanceOnSliderStep(float value);

// A threshold in [0, 1] moved to its slider's step, trunc(256 v) / 256; the
// reset values 0.2 and 0.8, which a slider shows at 51 and 204 without
// holding 51/256 or 204/256, are kept as they are.
float thresholdOnSliderStep(float value);

// The two kinds of slider a value in a settings file or on palette-balance's
// command line belongs to.
enum SliderKind { BalanceSlider, ThresholdSlider };

enum DecimalReading { DecimalOnStep, DecimalNotADecimal, DecimalOutOfRange };

// Reads `text`, an optional sign and digits with at most one decimal point
// (no blanks or exponent), as the exact decimal it is, never through a float
// and whatever the process's locale. Refused when it lies outside its
// slider's range as written (-1 to 1, or 0 to 1). Otherwise `value` is where
// a slider placed at it stands, as balanceOnSliderStep and
// thresholdOnSliderStep say, and `moved` tells whether that differs from
// the decimal.
DecimalReading sliderStepFromDecimal(const std::string& text, SliderKind kind, float& value,
                                     bool& moved);

// "-1 to 1" or "0 to 1", for reasons that name a slider's range.
const char* sliderRangeText(SliderKind kind);

// A value on a slider's step as the exact decimal it is ("0.296875", "-1",
// "0"), or "0.2" and "0.8" for the reset thresholds; made without the locale.
std::string sliderStepText(float value);

// The text of a settings file for `settings`, every value rounded to its
// slider's step, each line ended by `lineEnd`.
std::string formatSettingsText(const BalanceSettings& settings, const char* lineEnd = kSettingsLineEnd);

// Reads the text of a settings file into `settings`, with every value rounded
// to its slider's step. Returns false, with `settings` untouched, when the
// text is refused: over 64 KiB, a byte that is not printable text, another
// first line or version, a line that is not key=value, a value that is not
// one of its key's, out of its range, a key given twice or missing. `error`
// then holds one printable line that names the line at fault ("line 7: ...")
// where there is one. Blank lines, lines beginning with '#' and keys of no
// setting are passed over.
bool parseSettingsText(const std::string& text, BalanceSettings& settings, std::string& error);

// Reads the file at `path` and parses it as above. Returns false with a
// one-line reason (not naming the file) when it cannot be opened or read,
// is larger than 64 KiB, or is refused; `settings` is then untouched.
bool readSettingsFile(const std::string& path, BalanceSettings& settings, std::string& error);
