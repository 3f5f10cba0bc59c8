// CF_DIB blocks on the clipboard: the stand-in host opens it with its window
// as owner, the tests and benchmarks with none.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// Empties the clipboard and, when `block` is not empty, puts it there as
// CF_DIB. Another process (the plugin, a test, the host) may hold the
// clipboard for a moment, so opening it is retried for up to a second.
bool putClipboardDib(HWND owner, const std::vector<uint8_t>& block);
// Copies the clipboard's CF_DIB block. `present`, when given, tells a missing
// block (false) from a clipboard that could not be opened or read (true).
bool readClipboardDib(HWND owner, std::vector<uint8_t>& block, bool* present = nullptr);
