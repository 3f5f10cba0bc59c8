// How the event log writes texts and colour tables, so that tests can read
// every byte back. Platform-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// `text` in double quotes with \" \\ \r \n and \xNN (any other byte below
// 0x20 or from 0x7F) escaped.
std::string quoteLogText(const std::string& text);

// Lower-case hex of `bytes`, two digits a byte, no separators.
std::string hexBytes(const uint8_t* bytes, size_t count);
