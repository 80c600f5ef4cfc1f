#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/Image.h"

// Windows bitmaps, written and read in plain C++, so that both front ends
// save the same bytes and the preview reads them without a window system.
namespace Kelvane {

// The image as a Windows bitmap file's bytes: 24 bits a pixel, or with
// `depth` 8, 8 bits a pixel with a palette of at most 256 colours
// (ToPalette).
std::vector<unsigned char> BitmapBytes(const Image& image, int depth = 24);

// The image as an 8-bit bitmap whose palette entry 0 is used by exactly its
// transparent pixels (ToMaskedPalette): what the editors of 8-bit textures
// show through on polygons marked masked. Without transparent pixels, the
// same bytes as BitmapBytes(image, 8).
std::vector<unsigned char> MaskedBitmapBytes(const Image& image);

// Writes that bitmap, replacing any file of that name (TextRoutines::
// WriteWholeFile: a write cut short leaves no part of it). An empty image
// cannot be written (invalid argument); a file that cannot be written is a
// file error.
void SaveBitmap(const Image& image, const std::string& path, int depth = 24);

// Writes the masked bitmap (MaskedBitmapBytes) as SaveBitmap writes.
void SaveMaskedBitmap(const Image& image, const std::string& path);

// The image of an uncompressed bitmap of 24 or 8 bits a pixel, rows bottom
// up or top down; empty (0 x 0) for anything else, a damaged file or a side
// beyond `maxSide`. With `indices`, an 8-bit bitmap's palette index of every
// pixel goes there in the image's order (empty for any other).
Image ReadBitmap(std::string_view bytes, int maxSide, std::vector<std::uint8_t>* indices = nullptr);

}  // namespace Kelvane
