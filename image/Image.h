#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Kelvane {

// Alpha from which a pixel counts as opaque: one below half is transparent.
constexpr std::uint8_t kOpaqueAlpha = 128;

// An RGB picture in memory: a decoded texture, the picture box's drawing
// area, a bitmap read back, the preview. Pixels run row by row from the
// top, left to right, each 0xRRGGBB.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> rgb;
  // Each pixel's alpha in the order of `rgb`, 0 (clear) to 255 (opaque);
  // empty when every pixel is opaque, as for every picture but a texture
  // whose pixel type carries alpha (or a PNG or masked bitmap read back).
  // Only what asks for it reads it: 24- and 8-bit bitmaps leave it out.
  std::vector<std::uint8_t> alpha{};

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
  // Whether the pixel at this index is transparent (alpha below kOpaqueAlpha).
  bool Transparent(std::size_t index) const {
    return index < alpha.size() && alpha[index] < kOpaqueAlpha;
  }
  // Whether any pixel is less than fully opaque.
  bool HasAlpha() const;
  // Whether any pixel is transparent: a masked texture.
  bool Masked() const;
};

// Whether the picture is a masked texture (Image::Masked): the test the
// engines' texture choices start from.
inline bool IsMasked(const Image& image) { return image.Masked(); }

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
// An image with alpha keeps its mask hard: a new pixel is transparent when
// the taps that are transparent weigh more than half of its four bilinear
// taps (weighted as the colour is), and it then takes its colour and alpha
// from those taps alone, an opaque one from the opaque taps alone; so no
// pixel's alpha crosses kOpaqueAlpha between the sides, and no opaque pixel
// takes in the colour hidden under the transparent ones.
Image Resample(const Image& image, int width, int height);

}  // namespace Kelvane
