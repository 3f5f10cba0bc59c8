#include "palette_exchange.h"

#include <cstdlib>
#include <cstring>

#include "host_conversation.h"
#include "palette_image.h"
#include "user_messages.h"

uint8_t* sourcePalette = nullptr;
uint8_t* workingPalette = nullptr;
int32_t paletteBytes = 0;
uint32_t paletteGeneration = 0;
HWND clipboardOwner = nullptr;

// The host opens the clipboard for a moment while it takes or leaves a
// palette; a few short retries ride over that instead of failing at once.
static bool openClipboardBriefly() {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (OpenClipboard(clipboardOwner)) return true;
        Sleep(5);
    }
    return false;
}

static bool runCommandWithStatus(const char* command) {
    return executeCommand(command) && statusIsOk();
}

bool copyPaletteBlock(const uint8_t* block, int32_t bytes, uint8_t** target) {
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(size_t(bytes)));
    if (!copy) return false;
    std::memcpy(copy, block, size_t(bytes));
    std::free(*target);
    *target = copy;
    return true;
}

void freePaletteCopies() {
    std::free(sourcePalette);
    sourcePalette = nullptr;
    std::free(workingPalette);
    workingPalette = nullptr;
    ++paletteGeneration;
}

// Copies the CF_DIB block into both palette copies. Reads stay inside the
// block: the size rule is bounded by the block's own length, and a block too
// short for a header is refused. Both copies are made before either old one
// is given up, so a failed allocation loses nothing.
static bool copyBlockIntoPalettes(HGLOBAL handle) {
    const uint8_t* block = static_cast<const uint8_t*>(GlobalLock(handle));
    if (!block) return false;
    const int32_t bytes = boundedPaletteBytes(block, GlobalSize(handle));
    uint8_t* freshSource = nullptr;
    uint8_t* freshWorking = nullptr;
    const bool copied = bytes >= 0 && copyPaletteBlock(block, bytes, &freshSource) &&
                        copyPaletteBlock(block, bytes, &freshWorking);
    GlobalUnlock(handle);
    if (!copied) {
        std::free(freshSource);
        std::free(freshWorking);
        return false;
    }
    freePaletteCopies();
    sourcePalette = freshSource;
    workingPalette = freshWorking;
    paletteBytes = bytes;
    return true;
}

// The whole fetch is one exchange with the host, its failure box included.
bool fetchPalette() {
    if (!beginHostExchange()) return false;
    bool fetched = false;
    if (!(runCommandWithStatus(kSelectColorLayer) && runCommandWithStatus(kSendPaletteCommand))) {
        showUserMessage(kFetchFailedText, kPluginCaption);
    } else if (openClipboardBriefly()) {
        HANDLE handle = GetClipboardData(CF_DIB);
        fetched = handle && copyBlockIntoPalettes(handle);
        CloseClipboard();
    }
    endHostExchange();
    return fetched;
}

bool putPaletteOnClipboard() {
    // Without a palette there is nothing to send: the user's clipboard is
    // left as it is.
    HGLOBAL handle = workingPalette ? GlobalAlloc(GMEM_MOVEABLE, SIZE_T(paletteBytes)) : nullptr;
    void* target = handle ? GlobalLock(handle) : nullptr;
    if (target) {
        std::memcpy(target, workingPalette, size_t(paletteBytes));
        GlobalUnlock(handle);
    }
    bool placed = false;
    if (target && openClipboardBriefly()) {
        EmptyClipboard();
        placed = SetClipboardData(CF_DIB, handle) != nullptr;
        CloseClipboard();
    }
    // The clipboard owns the block only once SetClipboardData took it.
    if (!placed && handle) GlobalFree(handle);
    return placed;
}

// The whole send is one exchange with the host, its failure box included:
// while the box is open, the send has not ended.
bool sendPalette() {
    if (!beginHostExchange()) return false;
    const bool sent = putPaletteOnClipboard() && runCommandWithStatus(kSelectColorLayer) &&
                      runCommandWithStatus(kReceivePaletteCommand);
    if (!sent) showUserMessage(kSendFailedText, kPluginCaption);
    endHostExchange();
    return sent;
}
