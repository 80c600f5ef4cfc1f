#pragma once

#include <string>
#include <string_view>

#include "image/Image.h"

// PNG pictures, compressed through zlib.
namespace Kelvane {

// The image as a PNG file's bytes: 8-bit RGB, or 8-bit RGBA when some pixel
// is less than opaque (Image::HasAlpha), each row unfiltered, deflated at
// zlib's default level. An empty image has none (invalid argument).
std::string PngBytes(const Image& image);

// Writes that PNG, replacing any file of that name (TextRoutines::
// WriteWholeFile: a write cut short leaves no part of it); a file that cannot
// be written is a file error.
void SavePng(const Image& image, const std::string& path);

// The image of a PNG file that is not interlaced: grey, RGB, grey with
// alpha or RGBA of 8 or 16 bits a channel (16 keep their high byte), grey
// of 1, 2 or 4 bits, or a palette of 1 to 8 bits a pixel (its tRNS alpha
// read). The alpha plane is
// filled when the file has alpha and some pixel is less than opaque. Empty
// (0 x 0) for anything else, a damaged file or a side beyond `maxSide`.
Image ReadPng(std::string_view bytes, int maxSide);

}  // namespace Kelvane
