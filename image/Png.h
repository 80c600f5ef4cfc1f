#pragma once

#include <string>

#include "image/Image.h"

// PNG pictures, compressed through zlib.
namespace Kelvane {

// The image as a PNG file's bytes: 8-bit RGB, each row unfiltered, deflated
// at zlib's default level. An empty image has none (invalid argument).
std::string PngBytes(const Image& image);

}  // namespace Kelvane
