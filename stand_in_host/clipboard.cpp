// CF_DIB blocks on the clipboard, with the host window as owner.
#include "host_state.h"

#include <cstring>

bool openClipboardPatiently() {
    // Another process (the plugin, a test) may hold the clipboard for a moment.
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (OpenClipboard(host.window)) return true;
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

bool readClipboardDib(std::vector<uint8_t>& block, bool& present) {
    present = false;
    if (!openClipboardPatiently()) {
        present = true;  // unknown: report a clipboard failure, not a missing block
        return false;
    }
    HANDLE memory = GetClipboardData(CF_DIB);
    const void* bytes = memory ? GlobalLock(memory) : nullptr;
    present = memory != nullptr;
    if (bytes) {
        const uint8_t* first = static_cast<const uint8_t*>(bytes);
        block.assign(first, first + GlobalSize(memory));
        GlobalUnlock(memory);
    }
    CloseClipboard();
    return bytes != nullptr;
}
