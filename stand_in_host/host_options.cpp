#include "host_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

static const char kHelpText[] =
    "StandInKavrin - a stand-in for Kavrin's DDE image server\n"
    "\n"
    "Usage: StandInKavrin [options] [picture.bmp]\n"
    "\n"
    "Serves DDE service KAVRIN, topic \"ImageServer\", item \"ImageServerItem\"\n"
    "(CF_TEXT) and executes \"SELECTCOLORLAYER\", \"SENDPALETTE\" and\n"
    "\"RECEIVEPALETTE\" on an indexed picture: the 8-bit BMP named, or with\n"
    "none a built-in picture of 256 colours. The palette travels through the\n"
    "clipboard as CF_DIB; the two palette commands need \"SELECTCOLORLAYER\"\n"
    "to have run first. A status request answers \"OK\" CR LF after a command\n"
    "that succeeded, otherwise a short text saying what went wrong; the reply\n"
    "is CF_TEXT with a terminating NUL. Closing the window ends the program.\n"
    "\n"
    "Options:\n"
    "  --log=PATH            write the event log to PATH instead of standard\n"
    "                        output; one line per event, written at once\n"
    "  --delay-ms=N          complete every command N milliseconds late; status\n"
    "                        requests are answered meanwhile\n"
    "  --status-delay-ms=N   answer every status request N milliseconds late\n"
    "                        (up to 900, inside the client's 1 s time-out)\n"
    "  --never-complete=WORD never complete command WORD (the client's wait\n"
    "                        runs out); may be given more than once\n"
    "  --status-text=TEXT    answer status requests with TEXT instead of\n"
    "                        \"OK\" CR LF (failures keep their own text);\n"
    "                        TEXT may be empty and may hold \\r \\n \\\\ \\xNN\n"
    "  --status-length=N     answer a success with exactly N bytes: the\n"
    "                        --status-text (or \"OK\" without CR LF) repeated\n"
    "  --fail-status         answer status requests with no data, so that\n"
    "                        the client's request fails\n"
    "  --disconnect-after=N  end the conversation once the Nth command and the\n"
    "                        status request after it have been answered (a\n"
    "                        further command arriving first also ends it)\n"
    "  --exit-after=N        exit abruptly (code 3, no clean-up) at the same\n"
    "                        point, or when the client leaves first\n"
    "  --no-dib              \"SENDPALETTE\" empties the clipboard and puts no\n"
    "                        CF_DIB there, yet reports \"OK\"\n"
    "  --malformed=KIND      \"SENDPALETTE\" puts a malformed block there:\n"
    "                          short            shorter than the 40-byte header\n"
    "                          zero-colours     biClrUsed 0, no colour table\n"
    "                          huge-colours     biClrUsed far larger than the block\n"
    "                          negative-height  biHeight -16\n"
    "                          small-pixels     8-bit pixel data, smaller than\n"
    "                                           four bytes per pixel\n"
    "  --help                print this text and exit\n"
    "\n"
    "Log lines, one an event:\n"
    "  READY picture=NAME colours=N width=W height=H | FAILED ...\n"
    "  CONNECT | CONNECT refused service=\"...\" topic=\"...\" | DISCONNECT\n"
    "  HOLD <WORD> ms=N|never           a command held unanswered\n"
    "  EXECUTE <WORD> status=\"...\"      a command completed, the status it set\n"
    "  REQUEST status=\"...\" reply=\"...\"|none\n"
    "  SENT bytes=N form=KIND | SENT none\n"
    "  RECEIVED count=N table=HEX       8 hex digits a colour: blue green red\n"
    "                                   reserved\n"
    "  END conversation | END exit code=N\n"
    "Quoted texts escape \\\" \\\\ \\r \\n and other bytes as \\xNN.\n"
    "\n"
    "Exit codes: 0 window closed, 2 bad command line, 3 --exit-after,\n"
    "4 picture not readable, 5 window or DDE service not made.\n";

const char* hostHelpText() { return kHelpText; }

struct FlawName {
    const char* name;
    BlockFlaw flaw;
};

static const FlawName kFlawNames[] = {
    {"short", BlockFlaw::Short},
    {"zero-colours", BlockFlaw::ZeroColours},
    {"huge-colours", BlockFlaw::HugeColours},
    {"negative-height", BlockFlaw::NegativeHeight},
    {"small-pixels", BlockFlaw::SmallPixels},
};

// Reads a decimal number of at most `limit`; false for anything else.
static bool readCount(const std::string& text, unsigned long limit, unsigned long& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    value = std::strtoul(text.c_str(), nullptr, 10);
    return value <= limit;
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes \r \n \\ and \xNN so that a status text can carry any byte
// through a command line.
static bool decodeEscapes(const std::string& text, std::string& decoded) {
    decoded.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            decoded += text[i];
            continue;
        }
        if (i + 1 >= text.size()) return false;
        const char kind = text[++i];
        if (kind == 'r') decoded += '\r';
        else if (kind == 'n') decoded += '\n';
        else if (kind == '\\') decoded += '\\';
        else if (kind == 'x') {
            if (i + 2 >= text.size()) return false;
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high < 0 || low < 0) return false;
            decoded += char(high * 16 + low);
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// Splits "--name=value"; `hasValue` tells "--name=" from "--name".
static void splitOption(const std::string& arg, std::string& name, std::string& value,
                        bool& hasValue) {
    const size_t equals = arg.find('=');
    hasValue = equals != std::string::npos;
    name = hasValue ? arg.substr(0, equals) : arg;
    value = hasValue ? arg.substr(equals + 1) : std::string();
}

static bool applyOption(const std::string& name, const std::string& value, bool hasValue,
                        HostOptions& options, std::string& problem) {
    unsigned long number = 0;
    const bool flag = !hasValue;
    if (name == "--help" && flag) {
        options.help = true;
    } else if (name == "--fail-status" && flag) {
        options.failStatus = true;
    } else if (name == "--no-dib" && flag) {
        options.noDib = true;
    } else if (name == "--log" && hasValue && !value.empty()) {
        options.logPath = value;
    } else if (name == "--delay-ms" && hasValue) {
        if (!readCount(value, 600000, number)) {
            problem = "--delay-ms needs a number of milliseconds up to 600000";
            return false;
        }
        options.delayMs = unsigned(number);
    } else if (name == "--status-delay-ms" && hasValue) {
        if (!readCount(value, 900, number)) {
            problem = "--status-delay-ms needs a number of milliseconds up to 900";
            return false;
        }
        options.statusDelayMs = unsigned(number);
    } else if (name == "--never-complete" && hasValue && !value.empty()) {
        options.neverComplete.push_back(value);
    } else if (name == "--status-text" && hasValue) {
        if (!decodeEscapes(value, options.statusText)) {
            problem = "--status-text has a broken escape (use \\r \\n \\\\ \\xNN)";
            return false;
        }
        options.replaceStatus = true;
    } else if (name == "--status-length" && hasValue) {
        if (!readCount(value, 1000000, number)) {
            problem = "--status-length needs a number of bytes up to 1000000";
            return false;
        }
        options.padStatus = true;
        options.statusLength = size_t(number);
    } else if ((name == "--disconnect-after" || name == "--exit-after") && hasValue) {
        if (!readCount(value, 1000000, number) || number == 0) {
            problem = name + " needs a number of commands from 1";
            return false;
        }
        (name == "--exit-after" ? options.exitAfter : options.disconnectAfter) = int(number);
    } else if (name == "--malformed" && hasValue) {
        for (const FlawName& known : kFlawNames)
            if (value == known.name) options.flaw = known.flaw;
        if (options.flaw == BlockFlaw::None) {
            problem = "--malformed takes short, zero-colours, huge-colours, "
                      "negative-height or small-pixels";
            return false;
        }
    } else {
        problem = "unknown option or missing value: " + name;
        return false;
    }
    return true;
}

bool parseHostOptions(const std::vector<std::string>& args, HostOptions& options,
                      std::string& problem) {
    options = HostOptions();
    for (const std::string& arg : args) {
        if (arg.compare(0, 2, "--") != 0) {
            if (!options.picturePath.empty()) {
                problem = "more than one picture named: " + arg;
                return false;
            }
            options.picturePath = arg;
            continue;
        }
        std::string name, value;
        bool hasValue = false;
        splitOption(arg, name, value, hasValue);
        if (!applyOption(name, value, hasValue, options, problem)) return false;
    }
    if (options.noDib && options.flaw != BlockFlaw::None) {
        problem = "--no-dib and --malformed exclude each other";
        return false;
    }
    return true;
}

std::string shapeStatusReply(const HostOptions& options, const std::string& status) {
    // A failure always reports what went wrong; only the success text is
    // replaced or stretched.
    if (status != "OK") return status;
    if (!options.replaceStatus && !options.padStatus) return "OK\r\n";
    std::string reply = options.replaceStatus ? options.statusText : std::string("OK");
    if (options.padStatus) {
        const std::string pattern = reply.empty() ? std::string("OK") : reply;
        reply.clear();
        while (reply.size() < options.statusLength) reply += pattern;
        reply.resize(options.statusLength);
    }
    return reply;
}
