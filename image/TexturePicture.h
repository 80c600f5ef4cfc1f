#pragma once

#include <cstdint>
#include <string>

#include "image/Bitmap.h"
#include "image/Image.h"

namespace Kelvane {

// The picture box a texture is painted into: an image in memory with the
// box's outer size in twips around it. Both front ends lend one to the run;
// the window shows it, the bitmap is saved from it.
class TexturePicture {
 public:
  static constexpr int kTwipsPerPixel = 15;  // 96 dots per inch
  // The largest image the box takes; a texture beyond it cannot be painted.
  static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

  // Outer size in twips and border width in pixels on each side.
  TexturePicture(int outerWidthTwips, int outerHeightTwips, int borderPixels);

  int InnerWidth() const { return image_.width; }    // drawing area, pixels
  int InnerHeight() const { return image_.height; }  // drawing area, pixels
  int OuterWidthTwips() const { return outerWidthTwips_; }
  int OuterHeightTwips() const { return outerHeightTwips_; }
  static int PixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

  // Resizes the box from its outer size and clears the drawing area to black.
  // A size below the border, or an image too large to hold, is refused with
  // an invalid-argument error and leaves the box as it was.
  void SetOuterSizeTwips(int widthTwips, int heightTwips);

  // Colour as 0xRRGGBB. Points outside the drawing area are ignored.
  void SetPixel(int x, int y, std::uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < image_.width && y < image_.height)
      image_.rgb[image_.IndexOf(x, y)] = rgb;
  }
  std::uint32_t Pixel(int x, int y) const { return image_.Pixel(x, y); }
  // The drawing area's image.
  const Image& Picture() const { return image_; }

  // Counts changes, so a window can tell when to repaint.
  std::uint64_t Generation() const { return generation_; }
  void Touch() { ++generation_; }

 private:
  int outerWidthTwips_;
  int outerHeightTwips_;
  int border_;
  Image image_;
  std::uint64_t generation_ = 0;
};

// SaveBitmap of the box's picture.
inline void SaveBitmap(const TexturePicture& picture, const std::string& path, int depth = 24) {
  SaveBitmap(picture.Picture(), path, depth);
}

}  // namespace Kelvane
