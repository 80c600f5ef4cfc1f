#include <gtest/gtest.h>

#include <random>
#include <string>

#include "image/Png.h"
#include "image/PngReading.h"
#include "text/RunError.h"

namespace {

using Kelvane::Image;

Image Filled(int width, int height, std::uint32_t (*colour)(int x, int y)) {
  Image image{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.rgb.push_back(colour(x, y));
  return image;
}

// Each image comes back pixel for pixel; a flat picture, as most of a
// preview is, takes a small share of its raw bytes; noise, which deflate
// cannot shrink, still fits.
TEST(PngTest, PicturesDecodeToTheirPixelsAndFlatOnesAreCompressed) {
  std::mt19937 random(7);
  struct Case {
    const char* name;
    Image image;
    double largestShare;  // of the raw rows' bytes
  };
  const Case cases[] = {
      {"one pixel", Image{1, 1, {0xA1B2C3}}, 10},
      {"a row",
       Filled(300, 1,
              [](int x, int) { return static_cast<std::uint32_t>(x * 0x010203) & 0xFFFFFF; }),
       1.2},
      {"flat", Filled(800, 600, [](int, int) { return 0x1B1F27u; }), 0.01},
      {"bands", Filled(190, 150, [](int x, int y) { return (x / 10 + y / 10) % 2 ? 0xFFu : 0u; }),
       0.05},
      {"noise", Image{257, 131, {}}, 1.01},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = c.image;
    if (image.rgb.empty()) {
      for (int i = 0; i < image.width * image.height; ++i) image.rgb.push_back(random() & 0xFFFFFF);
    }
    const std::string png = Kelvane::PngBytes(image);
    const Image decoded = testing_support::DecodePng(png);
    EXPECT_EQ(decoded.width, image.width);
    EXPECT_EQ(decoded.height, image.height);
    EXPECT_TRUE(decoded.rgb == image.rgb);
    const double raw = image.height * (1.0 + 3.0 * image.width);
    EXPECT_LE(png.size(), c.largestShare * raw + 64) << png.size() << " bytes";
  }
}

TEST(PngTest, AnEmptyPictureHasNoPng) {
  for (const Image& empty : {Image{}, Image{0, 5, {}}, Image{5, 0, {}}}) {
    try {
      Kelvane::PngBytes(empty);
      ADD_FAILURE() << "a PNG of " << empty.width << " x " << empty.height;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::InvalidArgument);
    }
  }
}

}  // namespace
