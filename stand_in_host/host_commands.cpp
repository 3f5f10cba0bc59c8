// The three command words and what each does to the picture and the
// clipboard; each sets host.status to "OK" or to what went wrong.
#include "host_state.h"

#include "clipboard_dib.h"
#include "log_format.h"
#include "palette_blocks.h"

static void selectColorLayer() {
    // The picture always has its one colour layer open.
    host.layerSelected = true;
    host.status = "OK";
}

static void sendPaletteToClipboard() {
    if (!host.layerSelected) {
        host.status = "No layer selected (SELECTCOLORLAYER first)";
        return;
    }
    std::vector<uint8_t> block;
    if (!host.options.noDib) block = makePaletteBlock(host.picture.palette, host.options.flaw);
    if (!putClipboardDib(host.window, block)) {
        host.status = "Could not put the palette on the clipboard";
        return;
    }
    logLine(block.empty() ? std::string("SENT none")
                          : "SENT bytes=" + std::to_string(block.size()) +
                                " form=" + blockFlawName(host.options.flaw));
    host.status = "OK";
}

static void receivePaletteFromClipboard() {
    if (!host.layerSelected) {
        host.status = "No layer selected (SELECTCOLORLAYER first)";
        return;
    }
    std::vector<uint8_t> block;
    bool present = false;
    if (!readClipboardDib(host.window, block, &present)) {
        host.status = present ? "Could not read the clipboard" : "No palette on the clipboard";
        return;
    }
    std::string refusal;
    if (!takePaletteFromBlock(block.data(), block.size(), paletteEntryCount(host.picture),
                              host.picture.palette, refusal)) {
        host.status = refusal;
        return;
    }
    logLine("RECEIVED count=" + std::to_string(paletteEntryCount(host.picture)) +
            " table=" + hexBytes(host.picture.palette.data(), host.picture.palette.size()));
    host.status = "OK";
    showPaletteChanged();
}

bool runHostCommand(const std::string& word) {
    if (word == "SELECTCOLORLAYER") selectColorLayer();
    else if (word == "SENDPALETTE") sendPaletteToClipboard();
    else if (word == "RECEIVEPALETTE") receivePaletteFromClipboard();
    else {
        host.status = "Unknown command: " + word;
        return false;
    }
    return true;
}
