// Moves palettes between the clipboard (CF_DIB) and the plugin's two copies,
// each move wrapped in its pair of host commands.
#pragma once

#include <windows.h>

#include <cstdint>

// The untouched copy of the host's palette image and the copy that the
// transform rewrites and that is sent back; null before the first fetch.
extern uint8_t* sourcePalette;
extern uint8_t* workingPalette;
extern int32_t paletteBytes;  // length of each copy
// Counts the replacements of the copies, so that a palette made from one
// source copy can be told from one made from another.
extern uint32_t paletteGeneration;

// The window that owns the clipboard while palettes move: the plugin's main
// window once it exists, null before (the clipboard is then opened without
// an owner).
extern HWND clipboardOwner;

// Asks the host for its palette and replaces both copies. False after a
// failed host command (with a message) or a clipboard failure (silently);
// the previous copies then stay. False at once, with no message, while
// another exchange with the host runs.
bool fetchPalette();
// Puts workingPalette on the clipboard and has the host take it. False, after
// "Failed sending palette to Kavrin...", when any step fails; false at once,
// with no message, while another exchange with the host runs.
bool sendPalette();
// Replaces *target by a fresh heap copy of the first `bytes` bytes of `block`;
// false, with *target unchanged, when the allocation fails.
bool copyPaletteBlock(const uint8_t* block, int32_t bytes, uint8_t** target);
// Places workingPalette on the clipboard as CF_DIB.
bool putPaletteOnClipboard();
// Frees both copies (sourcePalette first) and sets them to null.
void freePaletteCopies();
