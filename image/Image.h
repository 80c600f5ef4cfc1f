#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Kelvane {

// An RGB picture in memory: a decoded texture, the picture box's drawing
// area, a bitmap read back, the preview. Pixels run row by row from the
// top, left to right, each 0xRRGGBB.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;

  bool Empty() const { return width <= 0 || height <= 0; }
  std::size_t IndexOf(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
           static_cast<std::size_t>(x);
  }
  std::uint32_t Pixel(int x, int y) const { return rgb[IndexOf(x, y)]; }
  // Colour as 0xRRGGBB; a point outside the picture is ignored.
  void SetPixel(int x, int y, std::uint32_t colour) {
    if (x >= 0 && y >= 0 && x < width && y < height) rgb[IndexOf(x, y)] = colour;
  }
};

// The largest texture picture a run holds, in pixels: a texture beyond it
// cannot be read.
constexpr std::int64_t kMostPicturePixels = std::int64_t{1} << 26;

// Refuses a texture picture of a negative side or of more than
// kMostPicturePixels pixels, with an invalid-argument error.
void CheckPictureSize(int width, int height);

// A black picture of `width` x `height` pixels for a texture to be painted
// into (CheckPictureSize).
Image BlankPicture(int width, int height);

// Whether a side of `size` pixels is a power of two (1, 2, 4, ...).
constexpr bool IsPowerOfTwo(int size) { return size > 0 && (size & (size - 1)) == 0; }

// The power of two at or above `size` (at most 2^30).
int NextPowerOfTwo(int size);

// The image resampled to `width` x `height` pixels, bilinearly: each new
// pixel samples the old image at the same place of the picture, pixel
// centres matched, the edges held. An empty image or size gives no pixels.
Image Resample(const Image& image, int width, int height);

}  // namespace Kelvane
