// CF_DIB blocks on the clipboard, shared by the stand-in host and the tests.
#include "clipboard_dib.h"

#include <cstring>

static bool openClipboardPatiently(HWND owner) {
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (OpenClipboard(owner)) return true;
        Sleep(25);
    }
    return false;
}

bool putClipboardDib(HWND owner, const std::vector<uint8_t>& block) {
    if (!openClipboardPatiently(owner)) return false;
    bool done = EmptyClipboard() != 0;
    if (done && !block.empty()) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, block.size());
        void* bytes = memory ? GlobalLock(memory) : nullptr;
        if (bytes) {
            std::memcpy(bytes, block.data(), block.size());
            GlobalUnlock(memory);
        }
        done = bytes && SetClipboardData(CF_DIB, memory);
        // The clipboard owns the block only once SetClipboardData took it.
        if (!done && memory) GlobalFree(memory);
    }
    CloseClipboard();
    return done;
}

bool readClipboardDib(HWND owner, std::vector<uint8_t>& block, bool* present) {
    block.clear();
    if (present) *present = true;  // unknown until the clipboard opens: a failure, not a missing block
    if (!openClipboardPatiently(owner)) return false;
    HANDLE memory = GetClipboardData(CF_DIB);
    const void* bytes = memory ? GlobalLock(memory) : nullptr;
    if (present) *present = memory != nullptr;
    if (bytes) {
        const uint8_t* first = static_cast<const uint8_t*>(bytes);
        block.assign(first, first + GlobalSize(memory));
        GlobalUnlock(memory);
    }
    CloseClipboard();
    return bytes != nullptr;
}
