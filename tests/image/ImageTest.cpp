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
