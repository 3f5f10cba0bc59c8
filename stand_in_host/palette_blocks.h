// The CF_DIB blocks the palette travels in. "SENDPALETTE" builds one from
// the picture's palette; "RECEIVEPALETTE" judges one and takes its colour
// table. Platform-free.
#pragma once

#include "host_options.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kDibHeaderBytes = 40;
constexpr int kPaletteGridSide = 16;  // the block's bitmap is 16 x 16 pixels

// The block for a palette of `palette.size() / 4` entries: the 40-byte header
// (biSize 40, biWidth 16, biHeight 16, biPlanes 1, biBitCount 32, biClrUsed =
// the entry count), the colour table, then 16 x 16 four-byte pixels in which
// pixel i is colour i (0 where there is no colour i). `flaw` spoils it on
// request.
std::vector<uint8_t> makePaletteBlock(const std::vector<uint8_t>& palette, BlockFlaw flaw);

// The name --malformed uses for `flaw`, "normal" for none.
const char* blockFlawName(BlockFlaw flaw);

// Takes the colour table of a received block of `size` bytes into `palette`
// when the block holds a whole header, is at least as long as its header
// says (colour table and pixel rows), and has exactly `pictureColours`
// colours. Otherwise false, with `refusal` saying why, and `palette` as it was.
bool takePaletteFromBlock(const uint8_t* block, size_t size, int pictureColours,
                          std::vector<uint8_t>& palette, std::string& refusal);
