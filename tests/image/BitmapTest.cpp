#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Palette.h"

namespace {

using Kelvane::BitmapBytes;
using Kelvane::Image;
using Kelvane::ReadBitmap;

Image Filled(int width, int height, std::uint32_t (*colour)(int x, int y)) {
  Image image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.rgb.push_back(colour(x, y));
  return image;
}

TEST(BitmapTest, BitmapsOfBothDepthsReadBackAndDamagedOnesGiveNothing) {
  const Image picture{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000}};
  for (const int depth : {24, 8}) {
    const auto bytes = BitmapBytes(picture, depth);
    const std::string file(bytes.begin(), bytes.end());
    const Image image = ReadBitmap(file, 3);
    ASSERT_EQ(image.width, 3) << depth;
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.rgb, picture.rgb) << depth;
    for (const std::size_t cut : {std::size_t{10}, file.size() - 1}) {
      EXPECT_EQ(ReadBitmap(file.substr(0, cut), 3).width, 0) << depth << " " << cut;
    }
    EXPECT_EQ(ReadBitmap(file, 2).width, 0) << depth << ": wider than the largest side";
  }
  EXPECT_EQ(ReadBitmap("not a bitmap at all", 3).width, 0);
}

std::uint32_t Le(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

// The colour of pixel (x, y) of an 8-bit bitmap, y from the top.
std::uint32_t PaletteColour(const std::vector<unsigned char>& bmp, int x, int y) {
  const std::uint32_t width = Le(bmp, 18, 4);
  const std::uint32_t height = Le(bmp, 22, 4);
  const std::size_t rowBytes = (width + 3) & ~3u;
  const std::size_t row = height - 1 - static_cast<std::uint32_t>(y);
  const unsigned index = bmp[Le(bmp, 10, 4) + row * rowBytes + static_cast<std::size_t>(x)];
  EXPECT_LT(index, Le(bmp, 46, 4));
  return Le(bmp, 54 + 4 * index, 4);
}

TEST(PaletteBitmapTest, FewColoursStayExactAndManyAreReducedToTheNearestOf256) {
  const Image few =
      Filled(7, 3, [](int x, int y) { return static_cast<std::uint32_t>((x * 40) << 16 | y); });
  const std::vector<unsigned char> exact = BitmapBytes(few, 8);
  EXPECT_EQ(Le(exact, 28, 2), 8u);
  EXPECT_EQ(Le(exact, 46, 4), 21u);  // every colour, once
  EXPECT_EQ(exact.size(), 14 + 40 + 4 * 21 + 8 * 3u);
  EXPECT_EQ(Le(exact, 2, 4), exact.size());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(PaletteColour(exact, x, y), few.Pixel(x, y));

  // 4096 colours in smooth ramps: each pixel within a few steps of its own.
  if (!Kelvane::PaletteInThisBuild()) GTEST_SKIP() << "reducing colours is not in this build";
  const Image many = Filled(64, 64, [](int x, int y) {
    return static_cast<std::uint32_t>((x * 4) << 16 | (y * 4) << 8 | 128);
  });
  const std::vector<unsigned char> reduced = BitmapBytes(many, 8);
  EXPECT_LE(Le(reduced, 46, 4), 256u);
  EXPECT_GT(Le(reduced, 46, 4), 64u);
  int worst = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const std::uint32_t got = PaletteColour(reduced, x, y);
      const std::uint32_t want = many.Pixel(x, y);
      for (const int shift : {16, 8, 0}) {
        worst = std::max(worst, std::abs(static_cast<int>((got >> shift) & 0xFF) -
                                         static_cast<int>((want >> shift) & 0xFF)));
      }
    }
  }
  EXPECT_LE(worst, 24);
}

}  // namespace
