#include "log_format.h"

static const char kHexDigits[] = "0123456789abcdef";

std::string quoteLogText(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"') quoted += "\\\"";
        else if (c == '\\') quoted += "\\\\";
        else if (c == '\r') quoted += "\\r";
        else if (c == '\n') quoted += "\\n";
        else if (c < 0x20 || c >= 0x7F) {
            quoted += "\\x";
            quoted += kHexDigits[c >> 4];
            quoted += kHexDigits[c & 15];
        } else {
            quoted += char(c);
        }
    }
    return quoted + "\"";
}

std::string hexBytes(const uint8_t* bytes, size_t count) {
    std::string hex;
    hex.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        hex += kHexDigits[bytes[i] >> 4];
        hex += kHexDigits[bytes[i] & 15];
    }
    return hex;
}
