// CF_DIB blocks on the clipboard, opened without an owner window.
#include "test_support.h"

#include <cstring>

// The host may hold the clipboard for a moment.
static bool openClipboardPatiently() {
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(25);
    }
    return false;
}

bool putClipboardDib(const std::vector<uint8_t>& block) {
    if (!openClipboardPatiently()) return false;
    bool done = EmptyClipboard() != 0;
    if (done && !block.empty()) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block.size());
        void* bytes = memory ? GlobalLock(memory) : nullptr;
        if (bytes) {
            memcpy(bytes, block.data(), block.size());
            GlobalUnlock(memory);
        }
        done = bytes && SetClipboardData(CF_DIB, memory);
        if (!done && memory) GlobalFree(memory);
    }
    CloseClipboard();
    return done;
}

bool readClipboardDib(std::vector<uint8_t>& block) {
    block.clear();
    if (!openClipboardPatiently()) return false;
    HANDLE memory = GetClipboardData(CF_DIB);
    const void* bytes = memory ? GlobalLock(memory) : nullptr;
    if (bytes) {
        const uint8_t* first = static_cast<const uint8_t*>(bytes);
        block.assign(first, first + GlobalSize(memory));
        GlobalUnlock(memory);
    }
    CloseClipboard();
    return bytes != nullptr;
}
