#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "metafile/Fields.h"

// Texture images of 3DMF objects, decoded to plain colours.
namespace Kelvane::Metafile {

struct Image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Row by row from the top, left to right; 0xRRGGBB (alpha dropped).
  std::vector<std::uint32_t> rgb;
};

// The largest texture decoded, in pixels: what the picture box can hold, so
// a texture it could not show is refused before its data is read.
constexpr std::uint64_t kMaxTexturePixels = std::uint64_t{1} << 26;

// Whether the kind is a texture that DecodeTexture reads (PixmapTexture,
// MipmapTexture).
bool IsTexture(std::string_view kind);

// Reads a PixmapTexture, or the first image of a MipmapTexture, in any of
// the pixel types RGB32, ARGB32, RGB24, RGB16, ARGB16, RGB16_565, either
// byte order and bit order, honouring rowBytes. Bad sizes, types and data
// are raised through fields.Fail.
void DecodeTexture(std::string_view kind, Fields& fields, Image& out);

// Whether a side of `size` pixels is a power of two (1, 2, 4, ...).
constexpr bool IsPowerOfTwo(std::uint32_t size) { return size != 0 && (size & (size - 1)) == 0; }

// The power of two at or above `size` (at most 2^31).
std::uint32_t NextPowerOfTwo(std::uint32_t size);

// The image resampled to `width` x `height` pixels, bilinearly: each new
// pixel samples the old image at the same place of the picture, pixel
// centres matched, the edges held.
Image Resample(const Image& image, std::uint32_t width, std::uint32_t height);

}  // namespace Kelvane::Metafile
