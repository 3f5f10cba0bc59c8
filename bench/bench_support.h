// Small pieces shared by the Windows benchmark programs: options of the form
// --name=N or --name=TEXT, the time since a QueryPerformanceCounter reading, a median.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

// The text after --name= among the arguments, or `fallback`.
inline const char* textOption(int argc, char** argv, const char* name, const char* fallback = "") {
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') return argv[i] + length + 1;
    return fallback;
}

// The value of --name=N among the arguments, or `fallback`.
inline int numberOption(int argc, char** argv, const char* name, int fallback) {
    const char* text = textOption(argc, argv, name, nullptr);
    return text ? std::atoi(text) : fallback;
}

inline double secondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

inline double millisecondsSince(const LARGE_INTEGER& start) { return 1000.0 * secondsSince(start); }

inline double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
