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

bool Image::HasAlpha() const {
  for (const std::uint8_t a : alpha)
    if (a < 255) return true;
  return false;
}

bool Image::Masked() const {
  for (const std::uint8_t a : alpha)
    if (a < kOpaqueAlpha) return true;
  return false;
}

namespace {

// Where a new pixel's centre falls among the old pixels' centres: the
// two neighbours along one side and the share of the second.
struct Tap {
  int first, second;
  double share;
};

std::vector<Tap> Taps(int from, int to) {
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
}

// One new pixel of an image with alpha, from its four taps: the side that
// weighs more (transparent only when more than half), then the colour and
// alpha of that side's taps, weighted as they are.
void MaskedPixel(const Image& image, const Tap& row, const Tap& column, Image& out,
                 std::size_t at) {
  const std::size_t index[4] = {
      image.IndexOf(column.first, row.first), image.IndexOf(column.second, row.first),
      image.IndexOf(column.first, row.second), image.IndexOf(column.second, row.second)};
  const double weight[4] = {(1 - row.share) * (1 - column.share), (1 - row.share) * column.share,
                            row.share * (1 - column.share), row.share * column.share};
  double clear = 0;
  for (int k = 0; k < 4; ++k)
    if (image.Transparent(index[k])) clear += weight[k];
  const bool transparent = clear > 0.5;
  double sum[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  double total = 0;
  for (int k = 0; k < 4; ++k) {
    if (image.Transparent(index[k]) != transparent) continue;
    const std::uint32_t colour = image.rgb[index[k]];
    sum[0] += weight[k] * ((colour >> 16) & 0xFF);
    sum[1] += weight[k] * ((colour >> 8) & 0xFF);
    sum[2] += weight[k] * (colour & 0xFF);
    sum[3] += weight[k] * image.alpha[index[k]];
    total += weight[k];
  }
  // The chosen side weighs at least half, so `total` is never 0.
  const auto mean = [&](int k) { return static_cast<std::uint32_t>(std::lround(sum[k] / total)); };
  out.rgb[at] = mean(0) << 16 | mean(1) << 8 | mean(2);
  out.alpha[at] = static_cast<std::uint8_t>(mean(3));
}

}  // namespace

Image Resample(const Image& image, int width, int height) {
  Image out;
  out.width = width;
  out.height = height;
  if (image.Empty() || width <= 0 || height <= 0) return out;
  out.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const std::vector<Tap> columns = Taps(image.width, width);
  const std::vector<Tap> rows = Taps(image.height, height);
  if (image.alpha.size() == image.rgb.size() && image.HasAlpha()) {
    out.alpha.resize(out.rgb.size());
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        MaskedPixel(image, rows[static_cast<std::size_t>(y)], columns[static_cast<std::size_t>(x)],
                    out, out.IndexOf(x, y));
      }
    }
    return out;
  }
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
