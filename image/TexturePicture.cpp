#include "image/TexturePicture.h"

#include "text/RunError.h"

namespace Kelvane {

TexturePicture::TexturePicture(int outerWidthTwips, int outerHeightTwips, int borderPixels)
    : outerWidthTwips_(0), outerHeightTwips_(0), border_(borderPixels) {
  SetOuterSizeTwips(outerWidthTwips, outerHeightTwips);
}

void TexturePicture::SetOuterSizeTwips(int widthTwips, int heightTwips) {
  const int width = widthTwips / kTwipsPerPixel - 2 * border_;
  const int height = heightTwips / kTwipsPerPixel - 2 * border_;
  if (width < 0 || height < 0) {
    throw RunError(ErrorKind::InvalidArgument, "The picture cannot take a size of " +
                                                   std::to_string(width) + " x " +
                                                   std::to_string(height) + " pixels");
  }
  const std::int64_t area = std::int64_t{width} * height;
  if (area > kMaxPixels) {
    throw RunError(ErrorKind::InvalidArgument, "A picture of " + std::to_string(width) + " x " +
                                                   std::to_string(height) +
                                                   " pixels cannot be allocated (at most " +
                                                   std::to_string(kMaxPixels) + " pixels)");
  }
  image_.rgb.assign(static_cast<std::size_t>(area), 0);  // black
  image_.width = width;
  image_.height = height;
  outerWidthTwips_ = widthTwips;
  outerHeightTwips_ = heightTwips;
  ++generation_;
}

}  // namespace Kelvane
