#include "image/TexturePicture.h"

#include "image/Palette.h"
#include "platform/Platform.h"
#include "text/RunError.h"

namespace Kelvane {

namespace {

void PutLe(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = (value >> (8 * i)) & 0xFF;
}

}  // namespace

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
  pixels_.assign(static_cast<std::size_t>(area), 0);  // black
  outerWidthTwips_ = widthTwips;
  outerHeightTwips_ = heightTwips;
  width_ = width;
  height_ = height;
  ++generation_;
}

std::vector<unsigned char> BitmapBytes(const TexturePicture& picture, int depth) {
  const int width = picture.InnerWidth();
  const int height = picture.InnerHeight();
  const bool paletted = depth == 8;
  PalettedImage reduced;
  if (paletted) reduced = ToPalette(picture.Pixels(), width, height);
  const std::size_t pixelBytes = paletted ? 1 : 3;
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * pixelBytes + 3) & ~std::size_t{3};
  const std::size_t imageBytes = rowBytes * static_cast<std::size_t>(height);
  const std::size_t paletteBytes = 4 * reduced.palette.size();
  const std::size_t headerBytes = 14 + 40 + paletteBytes;
  std::vector<unsigned char> file(headerBytes + imageBytes, 0);
  file[0] = 'B';
  file[1] = 'M';
  PutLe(file, 2, static_cast<std::uint32_t>(file.size()), 4);
  PutLe(file, 10, static_cast<std::uint32_t>(headerBytes), 4);
  PutLe(file, 14, 40, 4);
  PutLe(file, 18, static_cast<std::uint32_t>(width), 4);
  PutLe(file, 22, static_cast<std::uint32_t>(height), 4);  // positive: bottom row first
  PutLe(file, 26, 1, 2);
  PutLe(file, 28, paletted ? 8 : 24, 2);
  PutLe(file, 34, static_cast<std::uint32_t>(imageBytes), 4);
  PutLe(file, 38, 3780, 4);  // 96 dots per inch
  PutLe(file, 42, 3780, 4);
  if (paletted) {
    PutLe(file, 46, static_cast<std::uint32_t>(reduced.palette.size()), 4);  // colours used
    for (std::size_t i = 0; i < reduced.palette.size(); ++i) {
      PutLe(file, 54 + 4 * i, reduced.palette[i], 4);  // blue, green, red, 0
    }
  }
  for (int y = 0; y < height; ++y) {
    std::size_t at = headerBytes + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      if (paletted) {
        file[at++] = reduced.indices[static_cast<std::size_t>(y) * width + x];
        continue;
      }
      const std::uint32_t rgb = picture.Pixel(x, y);
      file[at++] = rgb & 0xFF;          // blue
      file[at++] = (rgb >> 8) & 0xFF;   // green
      file[at++] = (rgb >> 16) & 0xFF;  // red
    }
  }
  return file;
}

void SaveBitmap(const TexturePicture& picture, const std::string& path, int depth) {
  if (picture.InnerWidth() <= 0 || picture.InnerHeight() <= 0) {
    throw RunError(ErrorKind::InvalidArgument,
                   "An empty picture cannot be saved as \"" + path + "\"");
  }
  const std::vector<unsigned char> file = BitmapBytes(picture, depth);
  Platform::File out;
  int error = 0;
  if (!out.Open(path, Platform::File::Mode::kWrite, error))
    ThrowFileError("Cannot write", path, error);
  std::size_t done = 0;
  while (done < file.size()) {
    const Platform::Piece rest = {reinterpret_cast<const char*>(file.data()) + done,
                                  file.size() - done};
    const std::int64_t n = out.Write(&rest, 1, error);
    if (n < 0) ThrowFileError("Cannot write", path, error);
    done += static_cast<std::size_t>(n);
  }
  if (!out.Close(error)) ThrowFileError("Cannot write", path, error);
}

}  // namespace Kelvane
