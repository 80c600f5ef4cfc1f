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

// The palette of a masked texture: entry 0 is used by exactly its
// transparent pixels (Image::Transparent) and by no opaque one, and holds
// the colour most of them have; entries from 1 on are the opaque pixels'
// own, chosen as ToPalette chooses them but from 255 (exact for 255 colours
// or fewer, else the median cut to 255). A picture without transparent
// pixels gets ToPalette's.
PalettedImage ToMaskedPalette(const Image& image);

// Whether this build can reduce pictures of more than 256 colours (it needs
// Leptonica, which the Windows build is made without).
bool PaletteInThisBuild();

}  // namespace Kelvane
