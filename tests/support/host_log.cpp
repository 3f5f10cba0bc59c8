// Reading the stand-in host's event log while it runs.
#include "test_support.h"

#include <cstring>

std::vector<std::string> readHostLog(const StandInHost& host) {
    std::vector<std::string> lines;
    HANDLE file = CreateFileA(host.logPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
    CloseHandle(file);
    // Only whole lines: the host may be writing the next one.
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

static bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, strlen(prefix), prefix) == 0;
}

std::vector<std::string> hostLogLinesStarting(const StandInHost& host, const char* prefix) {
    std::vector<std::string> matching;
    for (const std::string& line : readHostLog(host))
        if (startsWith(line, prefix)) matching.push_back(line);
    return matching;
}

std::vector<HostOverlap> hostOverlappingExchanges(const StandInHost& host) {
    std::vector<HostOverlap> overlaps;
    std::string held;  // the command held now, if any
    for (const std::string& line : readHostLog(host)) {
        const bool hold = startsWith(line, "HOLD ");
        if (!held.empty() && (hold || startsWith(line, "REQUEST "))) overlaps.push_back({line, held});
        if (hold) held = line;
        if (startsWith(line, "EXECUTE ")) held.clear();
    }
    return overlaps;
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unquoteLogText(const std::string& quoted, std::string& text) {
    text.clear();
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return false;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '"') return false;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (i + 2 >= quoted.size()) return false;
        c = quoted[++i];
        if (c == 'r') text += '\r';
        else if (c == 'n') text += '\n';
        else if (c == '"' || c == '\\') text += c;
        else if (c == 'x' && i + 3 < quoted.size() && hexValue(quoted[i + 1]) >= 0 &&
                 hexValue(quoted[i + 2]) >= 0) {
            text += char(hexValue(quoted[i + 1]) * 16 + hexValue(quoted[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// The quoted text that starts at `at` (its opening quote) and the position
// just after its closing quote; false when there is none.
static bool takeQuoted(const std::string& line, size_t at, std::string& text, size_t& after) {
    if (at >= line.size() || line[at] != '"') return false;
    size_t end = at + 1;
    while (end < line.size() && line[end] != '"') end += line[end] == '\\' ? 2 : 1;
    if (end >= line.size()) return false;
    after = end + 1;
    return unquoteLogText(line.substr(at, after - at), text);
}

std::vector<HostCommandRecord> hostExecutedCommands(const StandInHost& host) {
    std::vector<HostCommandRecord> commands;
    for (const std::string& line : hostLogLinesStarting(host, "EXECUTE ")) {
        const size_t status = line.rfind(" status=\"");
        HostCommandRecord record;
        size_t after = 0;
        if (status == std::string::npos || !takeQuoted(line, status + 8, record.status, after))
            continue;
        const std::string word = line.substr(8, status - 8);
        if (word.empty() || word[0] != '"' || !unquoteLogText(word, record.word)) record.word = word;
        commands.push_back(record);
    }
    return commands;
}

std::vector<HostRequestRecord> hostStatusRequests(const StandInHost& host) {
    std::vector<HostRequestRecord> requests;
    for (const std::string& line : hostLogLinesStarting(host, "REQUEST status=")) {
        HostRequestRecord record;
        size_t after = 0;
        if (!takeQuoted(line, strlen("REQUEST status="), record.status, after)) continue;
        const std::string rest = line.substr(after);
        if (rest == " reply=none") {
            record.replied = false;
        } else if (rest.compare(0, 7, " reply=") == 0) {
            size_t end = 0;
            record.replied = takeQuoted(rest, 7, record.reply, end);
            if (!record.replied) continue;
        } else {
            continue;
        }
        requests.push_back(record);
    }
    return requests;
}

std::vector<std::vector<uint8_t>> hostReceivedPalettes(const StandInHost& host) {
    std::vector<std::vector<uint8_t>> palettes;
    for (const std::string& line : hostLogLinesStarting(host, "RECEIVED ")) {
        const size_t table = line.find(" table=");
        if (table == std::string::npos) continue;
        const std::string hex = line.substr(table + 7);
        std::vector<uint8_t> palette;
        bool valid = hex.size() % 8 == 0;
        for (size_t i = 0; valid && i < hex.size(); i += 2) {
            const int high = hexValue(hex[i]), low = hexValue(hex[i + 1]);
            valid = high >= 0 && low >= 0;
            palette.push_back(uint8_t(high * 16 + low));
        }
        if (valid) palettes.push_back(palette);
    }
    return palettes;
}

bool waitForHostLogLines(const StandInHost& host, size_t count, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (readHostLog(host).size() >= count) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}

bool waitForHostLogLine(const StandInHost& host, const char* prefix, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (!hostLogLinesStarting(host, prefix).empty()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}
