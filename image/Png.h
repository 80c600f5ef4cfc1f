#pragma once

#include <string>

#include "image/Image.h"

// PNG pictures, compressed through zlib.
namespace Kelvane {

// The image as a PNG file's bytes: 8-bit RGB, each row unfiltered, deflated
// at zlib's default level. An empty image has none (invalid argument).
std::string PngBytes(const Image& image);

// Writes that PNG, replacing any file of that name (TextRoutines::
// WriteWholeFile: a write cut short leaves no part of it); a file that cannot
// be written is a file error.
void SavePng(const Image& image, const std::string& path);

}  // namespace Kelvane
