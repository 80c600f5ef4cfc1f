#include "image/Bitmap.h"

#include <cstdint>

#include "image/Palette.h"
#include "text/RunError.h"
#include "text/Files.h"

namespace Kelvane {

namespace {

void PutLe(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = (value >> (8 * i)) & 0xFF;
}

std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

// The bitmap of the image: 24 bits a pixel, or 8 with `palette` when one
// is given.
std::vector<unsigned char> BitmapOf(const Image& image, const PalettedImage* palette) {
  const int width = image.width;
  const int height = image.height;
  const bool paletted = palette != nullptr;
  static const PalettedImage kNone;
  const PalettedImage& reduced = paletted ? *palette : kNone;
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
        file[at++] = reduced.indices[image.IndexOf(x, y)];
        continue;
      }
      const std::uint32_t rgb = image.Pixel(x, y);
      file[at++] = rgb & 0xFF;          // blue
      file[at++] = (rgb >> 8) & 0xFF;   // green
      file[at++] = (rgb >> 16) & 0xFF;  // red
    }
  }
  return file;
}

void CheckSavable(const Image& image, const std::string& path) {
  if (image.Empty()) {
    throw RunError(ErrorKind::InvalidArgument,
                   "An empty picture cannot be saved as \"" + path + "\"");
  }
}

void WriteBitmap(const std::string& path, const std::vector<unsigned char>& file) {
  TextRoutines::WriteWholeFile(
      path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
}

}  // namespace

std::vector<unsigned char> BitmapBytes(const Image& image, int depth) {
  if (depth != 8) return BitmapOf(image, nullptr);
  const PalettedImage reduced = ToPalette(image);
  return BitmapOf(image, &reduced);
}

std::vector<unsigned char> MaskedBitmapBytes(const Image& image) {
  const PalettedImage reduced = ToMaskedPalette(image);
  return BitmapOf(image, &reduced);
}

void SaveBitmap(const Image& image, const std::string& path, int depth) {
  CheckSavable(image, path);
  WriteBitmap(path, BitmapBytes(image, depth));
}

void SaveMaskedBitmap(const Image& image, const std::string& path) {
  CheckSavable(image, path);
  WriteBitmap(path, MaskedBitmapBytes(image));
}

Image ReadBitmap(std::string_view bytes, int maxSide, std::vector<std::uint8_t>* indices) {
  Image image;
  if (indices != nullptr) indices->clear();
  if (bytes.size() < 54 || bytes.substr(0, 2) != "BM") return image;
  const std::uint32_t offset = LittleEndian(bytes, 10, 4);
  const std::uint32_t header = LittleEndian(bytes, 14, 4);
  const auto width = static_cast<std::int32_t>(LittleEndian(bytes, 18, 4));
  const auto height = static_cast<std::int32_t>(LittleEndian(bytes, 22, 4));
  const std::uint32_t bits = LittleEndian(bytes, 28, 2);
  const std::uint32_t compression = LittleEndian(bytes, 30, 4);
  if (header < 40 || compression != 0 || (bits != 24 && bits != 8)) return image;
  if (width <= 0 || height == 0 || height == INT32_MIN || width > maxSide) return image;
  const std::int64_t rows = height < 0 ? -std::int64_t{height} : height;
  if (rows > maxSide) return image;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * (bits / 8) + 3) & ~3ull;
  if (offset > bytes.size() || rowBytes * rows > bytes.size() - offset) return image;
  std::uint32_t colours = 0;
  if (bits == 8) {
    colours = LittleEndian(bytes, 46, 4);
    if (colours == 0) colours = 256;
    if (colours > 256 || 14 + header + 4ull * colours > offset) return image;
  }
  image.width = width;
  image.height = static_cast<int>(rows);
  image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows));
  if (indices != nullptr && bits == 8) indices->resize(image.rgb.size());
  for (std::int64_t y = 0; y < rows; ++y) {
    // Rows run bottom up unless the height is negative.
    const std::int64_t stored = height > 0 ? rows - 1 - y : y;
    const std::size_t at = offset + static_cast<std::size_t>(stored * rowBytes);
    for (std::int32_t x = 0; x < width; ++x) {
      std::uint32_t colour = 0;
      if (bits == 24) {
        colour = LittleEndian(bytes, at + 3 * static_cast<std::size_t>(x), 3);
      } else {
        const auto index = static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(x)]);
        if (index >= colours) {
          if (indices != nullptr) indices->clear();
          return Image{};
        }
        colour = LittleEndian(bytes, 14 + header + 4 * std::size_t{index}, 3);
        if (indices != nullptr) (*indices)[image.IndexOf(x, static_cast<int>(y))] = index;
      }
      image.rgb[image.IndexOf(x, static_cast<int>(y))] = colour;
    }
  }
  return image;
}

}  // namespace Kelvane
