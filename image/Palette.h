#pragma once

#include <cstdint>
#include <vector>

#include "image/Image.h"

// Pictures of at most 256 colours, for 8-bit bitmaps.
namespace Kelvane {

struct PalettedImage {
  // 0xRRGGBB, at most 256 entries.
  std::vector<std::uint32_t> palette;
  // One palette index per pixel, row by row from the top.
  std::vector<std::uint8_t> indices;
};

// The image with a palette. A picture of 256 colours or fewer keeps them exactly, in the
// order they first appear; one of more is quantized to 256 by median cut,
// without dithering, which keeps texture details sharp.
PalettedImage ToPalette(const Image& image);

// Whether this build can reduce pictures of more than 256 colours (it needs
// Leptonica, which the Windows build is made without).
bool PaletteInThisBuild();

}  // namespace Kelvane
