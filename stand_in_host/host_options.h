// The stand-in host's command line: an optional 8-bit BMP to open and the
// misbehaviours that tests ask for. Platform-free, so the parsing is tested
// on its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How a "SENDPALETTE" block is spoilt on request.
enum class BlockFlaw {
    None,
    Short,          // a block shorter than the 40-byte header
    ZeroColours,    // biClrUsed 0, no colour table
    HugeColours,    // biClrUsed far larger than the block
    NegativeHeight, // biHeight -16 (a top-down bitmap)
    SmallPixels,    // 8-bit pixels: a quarter of the bytes the size rule assumes
};

struct HostOptions {
    std::string picturePath;               // empty: the built-in picture
    std::string logPath;                   // empty: standard output
    unsigned delayMs = 0;                  // hold every command this long
    unsigned statusDelayMs = 0;            // answer every status request this late
    std::vector<std::string> neverComplete; // command words never completed
    bool replaceStatus = false;            // reply statusText instead of "OK"
    std::string statusText;                // escapes already decoded
    bool padStatus = false;                // repeat the reply to statusLength bytes
    size_t statusLength = 0;
    bool failStatus = false;               // answer status requests with no data
    int disconnectAfter = 0;               // 0: never
    int exitAfter = 0;                     // 0: never
    bool noDib = false;                    // "SENDPALETTE" leaves the clipboard empty
    BlockFlaw flaw = BlockFlaw::None;
    bool help = false;
};

// Exit codes of the stand-in host.
constexpr int kExitNormal = 0;
constexpr int kExitBadCommandLine = 2;
constexpr int kExitAbrupt = 3;    // --exit-after
constexpr int kExitNoPicture = 4; // the BMP could not be opened or read
constexpr int kExitNoWindowOrService = 5;  // the window or the DDE service could not be made

// Fills `options` from the arguments that follow the program name. False,
// with `problem` saying which argument and why, for an unknown option, a
// malformed number or value, or a second picture path.
bool parseHostOptions(const std::vector<std::string>& args, HostOptions& options,
                      std::string& problem);

// The text --help prints: every option and what it does.
const char* hostHelpText();

// The reply text as the options shape it: `status` itself, or --status-text
// in place of "OK", repeated to --status-length bytes where asked.
std::string shapeStatusReply(const HostOptions& options, const std::string& status);
