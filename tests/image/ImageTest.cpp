#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/Image.h"

namespace {

using Kelvane::Image;
using Kelvane::IsPowerOfTwo;
using Kelvane::NextPowerOfTwo;
using Kelvane::Resample;

TEST(ResampleTest, PowerOfTwoSizesAndTheirSamples) {
  EXPECT_EQ(NextPowerOfTwo(1), 1);
  EXPECT_EQ(NextPowerOfTwo(3), 4);
  EXPECT_EQ(NextPowerOfTwo(64), 64);
  EXPECT_EQ(NextPowerOfTwo(65), 128);
  EXPECT_FALSE(IsPowerOfTwo(0));
  EXPECT_FALSE(IsPowerOfTwo(12));
  EXPECT_TRUE(IsPowerOfTwo(1));

  // Black to white across two pixels: the four new ones hold the ends and
  // step between them.
  const Image ramp{2, 1, {0x000000, 0xFFFFFF}};
  const Image wide = Resample(ramp, 4, 1);
  ASSERT_EQ(wide.rgb.size(), 4u);
  EXPECT_EQ(wide.rgb[0], 0x000000u);
  EXPECT_EQ(wide.rgb[3], 0xFFFFFFu);
  EXPECT_EQ(wide.rgb[1] & 0xFF, 64u);  // a quarter of the way
  EXPECT_EQ(wide.rgb[2] & 0xFF, 191u);
  // One colour stays that colour; the same size is the same image.
  const Image flat{3, 5, std::vector<std::uint32_t>(15, 0x123456)};
  for (const std::uint32_t pixel : Resample(flat, 4, 8).rgb) {
    EXPECT_EQ(pixel, 0x123456u);
  }
  const Image odd{3, 1, {0x010203, 0x405060, 0xA0B0C0}};
  EXPECT_EQ(Resample(odd, 3, 1).rgb, odd.rgb);
}

}  // namespace

namespace {

using Kelvane::kOpaqueAlpha;

std::vector<bool> TransparentOf(const Image& image) {
  std::vector<bool> clear;
  for (std::size_t i = 0; i < image.rgb.size(); ++i) clear.push_back(image.Transparent(i));
  return clear;
}

// The power-of-two resampling of a masked texture: each new pixel wholly
// transparent or wholly opaque, by which of its taps weigh more, and an
// opaque one coloured by the opaque taps alone.
TEST(ResampleTest, AMaskStaysHardAndTheHiddenColourStaysHidden) {
  // Opaque red beside transparent black, 2 -> 4: the new centres fall at
  // 0, 0.25, 0.75 and 1 of the way, so the first two are red and opaque
  // (the second a quarter transparent), the last two transparent.
  const Image pair{2, 1, {0xFF0000, 0x000000}, {255, 0}};
  const Image wide = Resample(pair, 4, 1);
  EXPECT_EQ(wide.rgb, (std::vector<std::uint32_t>{0xFF0000, 0xFF0000, 0x000000, 0x000000}));
  EXPECT_EQ(wide.alpha, (std::vector<std::uint8_t>{255, 255, 0, 0}));

  // Soft alpha on each side stays on its side: 200 and 255 blend to 214 a
  // quarter of the way; 100 and 0 to 25.
  const Image soft{2, 1, {0x102030, 0x102030}, {200, 255}};
  EXPECT_EQ(Resample(soft, 4, 1).alpha, (std::vector<std::uint8_t>{200, 214, 241, 255}));
  const Image faint{2, 1, {0x102030, 0x102030}, {100, 0}};
  EXPECT_EQ(Resample(faint, 4, 1).alpha, (std::vector<std::uint8_t>{100, 75, 25, 0}));

  // A 3 x 3 card, white and opaque but for a black transparent cross, up to
  // 4 x 4 and 8 x 8: only 0 and 255 come out, every opaque pixel is white,
  // the corners keep their side, and the centre row and column of the
  // cross stay transparent.
  const std::vector<std::uint8_t> cross = {255, 0, 255, 0, 0, 0, 255, 0, 255};
  Image card{3, 3, {}, cross};
  for (const std::uint8_t a : cross) card.rgb.push_back(a == 0 ? 0x000000 : 0xFFFFFF);
  for (const int side : {4, 8}) {
    SCOPED_TRACE(side);
    const Image big = Resample(card, side, side);
    ASSERT_EQ(big.alpha.size(), big.rgb.size());
    int clear = 0;
    for (std::size_t i = 0; i < big.rgb.size(); ++i) {
      EXPECT_TRUE(big.alpha[i] == 0 || big.alpha[i] == 255) << i;
      if (big.alpha[i] >= kOpaqueAlpha) {
        EXPECT_EQ(big.rgb[i], 0xFFFFFFu) << i;
      } else {
        EXPECT_EQ(big.rgb[i], 0x000000u) << i;
        ++clear;
      }
    }
    EXPECT_FALSE(big.Transparent(big.IndexOf(0, 0)));
    EXPECT_FALSE(big.Transparent(big.IndexOf(side - 1, side - 1)));
    for (int k = 0; k < side; ++k) {
      EXPECT_TRUE(big.Transparent(big.IndexOf(k, side / 2)));
      EXPECT_TRUE(big.Transparent(big.IndexOf(side / 2, k)));
    }
    // About the cross's share of the card (5 of 9).
    EXPECT_NEAR(clear, side * side * 5.0 / 9, side * side * 0.2);
  }
  // The same size keeps the image; an opaque one comes out with no plane.
  EXPECT_EQ(TransparentOf(Resample(card, 3, 3)), TransparentOf(card));
  EXPECT_TRUE(Resample(Image{2, 1, {1, 2}, {255, 255}}, 4, 1).alpha.empty());
}

}  // namespace
