#include "image/Image.h"

#include <cmath>
#include <string>

#include "text/RunError.h"

namespace Kelvane {

void CheckPictureSize(int width, int height) {
  if (width < 0 || height < 0) {
    throw RunError(ErrorKind::InvalidArgument, "The picture cannot take a size of " +
                                                   std::to_string(width) + " x " +
                                                   std::to_string(height) + " pixels");
  }
  const std::int64_t area = std::int64_t{width} * height;
  if (area > kMostPicturePixels) {
    throw RunError(ErrorKind::InvalidArgument, "A picture of " + std::to_string(width) + " x " +
                                                   std::to_string(height) +
                                                   " pixels cannot be allocated (at most " +
                                                   std::to_string(kMostPicturePixels) +
                                                   " pixels)");
  }
}

Image BlankPicture(int width, int height) {
  CheckPictureSize(width, height);
  const std::int64_t area = std::int64_t{width} * height;
  Image picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(static_cast<std::size_t>(area), 0);  // black
  return picture;
}

int NextPowerOfTwo(int size) {
  int power = 1;
  while (power < size && power < (1 << 30)) power <<= 1;
  return power;
}

Image Resample(const Image& image, int width, int height) {
  Image out;
  out.width = width;
  out.height = height;
  if (image.Empty() || width <= 0 || height <= 0) return out;
  out.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  // Where a new pixel's centre falls among the old pixels' centres: the
  // two neighbours along one side and the share of the second.
  struct Tap {
    int first, second;
    double share;
  };
  const auto taps = [](int from, int to) {
    std::vector<Tap> result(static_cast<std::size_t>(to));
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
      double at = (i + 0.5) * step - 0.5;
      if (at < 0) at = 0;
      if (at > from - 1) at = from - 1;
      const int first = static_cast<int>(at);
      const int second = first + 1 < from ? first + 1 : first;
      result[static_cast<std::size_t>(i)] = {first, second, at - first};
    }
    return result;
  };
  const std::vector<Tap> columns = taps(image.width, width);
  const std::vector<Tap> rows = taps(image.height, height);
  const auto channel = [&](int y, int x, int shift) {
    return static_cast<double>((image.Pixel(x, y) >> shift) & 0xFF);
  };
  for (int y = 0; y < height; ++y) {
    const Tap& row = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      const Tap& column = columns[static_cast<std::size_t>(x)];
      std::uint32_t rgb = 0;
      for (const int shift : {16, 8, 0}) {
        const double top = channel(row.first, column.first, shift) * (1 - column.share) +
                           channel(row.first, column.second, shift) * column.share;
        const double bottom = channel(row.second, column.first, shift) * (1 - column.share) +
                              channel(row.second, column.second, shift) * column.share;
        const double value = top * (1 - row.share) + bottom * row.share;
        rgb |= static_cast<std::uint32_t>(std::lround(value)) << shift;
      }
      out.rgb[out.IndexOf(x, y)] = rgb;
    }
  }
  return out;
}

}  // namespace Kelvane
