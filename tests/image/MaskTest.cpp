// Masked textures: the pixels a texture's alpha makes transparent are the
// same ones in the decoded image, in palette entry 0 of the masked 8-bit
// bitmap and below half in the PNG's alpha, for every pixel type that
// carries alpha, in both byte orders; the default bitmaps leave alpha out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Palette.h"
#include "image/Png.h"
#include "image/PngReading.h"
#include "metafile/format/TextFields.h"
#include "metafile/texture/Texture.h"

namespace {

using Kelvane::Image;

// A pixel to encode: its colour and alpha.
struct Texel {
  std::uint32_t rgb;
  std::uint8_t alpha;
};

std::string Hex(std::uint32_t value, int bytes, bool little) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int i = 0; i < bytes; ++i) {
    const int shift = 8 * (little ? i : bytes - 1 - i);
    const unsigned byte = (value >> shift) & 0xFF;
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}

// The pixels as ARGB32 or ARGB16 data in the given byte order, one "0x..."
// token a row. ARGB16 keeps 5 bits a channel and sets its top bit for
// alpha from 128 up.
std::string PixelData(const std::vector<Texel>& texels, int width, bool argb16, bool little) {
  std::string data;
  for (std::size_t i = 0; i < texels.size(); ++i) {
    if (i % static_cast<std::size_t>(width) == 0) data += "\n0x";
    const Texel& t = texels[i];
    if (argb16) {
      const std::uint32_t r = (t.rgb >> 19) & 0x1F, g = (t.rgb >> 11) & 0x1F,
                          b = (t.rgb >> 3) & 0x1F;
      data += Hex((t.alpha >= 128 ? 0x8000u : 0u) | r << 10 | g << 5 | b, 2, little);
    } else {
      data += Hex(std::uint32_t{t.alpha} << 24 | t.rgb, 4, little);
    }
  }
  return data + "\n";
}

Image Decode(const std::string& kind, const std::string& text) {
  Image image;
  auto fields = Kelvane::Metafile::TextFieldsOf(text);
  Kelvane::Metafile::DecodeTexture(kind, *fields, image);
  return image;
}

std::set<std::size_t> TransparentIn(const Image& image) {
  std::set<std::size_t> set;
  for (std::size_t i = 0; i < image.rgb.size(); ++i)
    if (image.Transparent(i)) set.insert(i);
  return set;
}

std::uint32_t Le(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

std::string AsText(const std::vector<unsigned char>& bytes) { return {bytes.begin(), bytes.end()}; }

// 8 x 4 pixels: transparent where (3x + y) % 5 is 0, with alphas at both
// sides of half (0, 127 against 128, 200, 255); the colours repeat, so
// transparent pixels share their colours with opaque ones.
std::vector<Texel> Pattern() {
  const std::uint32_t colours[] = {0xF80000, 0x00F800, 0x0000F8, 0xF8F800, 0x808080, 0x081018};
  const std::uint8_t opaque[] = {128, 200, 255};
  std::vector<Texel> texels;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      const std::size_t i = static_cast<std::size_t>(y * 8 + x);
      const bool clear = (3 * x + y) % 5 == 0;
      texels.push_back(
          {colours[i % 6], clear ? static_cast<std::uint8_t>(i % 2 ? 127 : 0) : opaque[i % 3]});
    }
  }
  return texels;
}

std::set<std::size_t> TransparentIn(const std::vector<Texel>& texels) {
  std::set<std::size_t> set;
  for (std::size_t i = 0; i < texels.size(); ++i)
    if (texels[i].alpha < 128) set.insert(i);
  return set;
}

TEST(MaskTest, EveryPixelTypeWithAlphaMasksTheSamePixelsInTheBitmapAndThePng) {
  const std::vector<Texel> texels = Pattern();
  const std::set<std::size_t> expected = TransparentIn(texels);
  ASSERT_EQ(expected.size(), 6u);
  struct Case {
    std::string name;
    std::string kind;
    std::string text;
  };
  std::vector<Case> cases;
  for (const bool little : {false, true}) {
    const std::string order = little ? "LittleEndian" : "BigEndian";
    const std::string side = little ? " little" : " big";
    cases.push_back({"ARGB32 pixmap" + side, "PixmapTexture",
                     "8 4 32 32 ARGB32 BigEndian " + order + PixelData(texels, 8, false, little)});
    cases.push_back({"ARGB16 pixmap" + side, "PixmapTexture",
                     "8 4 16 16 ARGB16 BigEndian " + order + PixelData(texels, 8, true, little)});
    cases.push_back(
        {"ARGB16 mipmap" + side, "MipmapTexture",
         "False ARGB16 BigEndian " + order + " 8 4 16 0" + PixelData(texels, 8, true, little)});
    cases.push_back(
        {"ARGB32 mipmap" + side, "MipmapTexture",
         "False ARGB32 BigEndian " + order + " 8 4 32 0" + PixelData(texels, 8, false, little)});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = Decode(c.kind, c.text);
    ASSERT_EQ(image.alpha.size(), 32u);
    EXPECT_EQ(TransparentIn(image), expected);
    EXPECT_TRUE(Kelvane::IsMasked(image));

    // The masked bitmap: entry 0 for exactly the transparent pixels, every
    // opaque one its own colour (there are fewer than 255).
    const std::vector<unsigned char> bmp = Kelvane::MaskedBitmapBytes(image);
    EXPECT_EQ(Le(bmp, 28, 2), 8u);
    std::vector<std::uint8_t> indices;
    const Image read = Kelvane::ReadBitmap(AsText(bmp), 8, &indices);
    ASSERT_EQ(indices.size(), 32u);
    std::set<std::size_t> entryZero;
    for (std::size_t i = 0; i < indices.size(); ++i) {
      if (indices[i] == 0) {
        entryZero.insert(i);
      } else {
        EXPECT_EQ(read.rgb[i], image.rgb[i]) << i;
      }
    }
    EXPECT_EQ(entryZero, expected);
    // Entry 0 holds the colour most transparent pixels have.
    std::vector<std::uint32_t> clear;
    for (const std::size_t i : expected) clear.push_back(image.rgb[i]);
    const std::uint32_t entry0 = Le(bmp, 54, 3);
    for (const std::uint32_t colour : clear) {
      EXPECT_LE(std::count(clear.begin(), clear.end(), colour),
                std::count(clear.begin(), clear.end(), entry0));
    }

    // The PNG: RGBA, its alpha the texture's, below half where masked.
    const Image png = testing_support::DecodePng(Kelvane::PngBytes(image));
    EXPECT_EQ(png.rgb, image.rgb);
    EXPECT_EQ(png.alpha, image.alpha);
    EXPECT_EQ(TransparentIn(png), expected);

    // The bitmaps every run made before leave the alpha out.
    Image opaque = image;
    opaque.alpha.clear();
    for (const int depth : {24, 8}) {
      EXPECT_EQ(Kelvane::BitmapBytes(image, depth), Kelvane::BitmapBytes(opaque, depth)) << depth;
    }
  }
}

// The pixel types without alpha, and alpha that is everywhere opaque, give
// no alpha plane: no texture is masked by the byte RGB32 leaves unused.
TEST(MaskTest, PixelsWithoutAlphaGiveNoMask) {
  const struct {
    const char* name;
    const char* text;
  } cases[] = {
      {"RGB32, unused byte 0", "2 1 8 32 RGB32 BigEndian BigEndian 0x00123456 0x00ABCDEF"},
      {"RGB16, unused bit clear", "2 1 4 16 RGB16 BigEndian LittleEndian 0x017C0002"},
      {"ARGB32, every alpha 255", "2 1 8 32 ARGB32 BigEndian LittleEndian 0x563412FF 0xEFCDABFF"},
      {"ARGB16, every alpha bit set", "2 1 4 16 ARGB16 BigEndian BigEndian 0xFC018200"},
      {"RGB24", "2 1 6 24 RGB24 BigEndian BigEndian 0x123456ABCDEF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = Decode("PixmapTexture", c.text);
    EXPECT_EQ(image.width, 2);
    EXPECT_TRUE(image.alpha.empty());
    EXPECT_FALSE(Kelvane::IsMasked(image));
    EXPECT_EQ(Kelvane::MaskedBitmapBytes(image), Kelvane::BitmapBytes(image, 8));
  }
  // Alpha below opaque but from half up: alpha to keep in a PNG, no mask.
  const Image soft =
      Decode("PixmapTexture", "2 1 8 32 ARGB32 BigEndian BigEndian 0x80123456 0xFFABCDEF");
  EXPECT_EQ(soft.alpha, (std::vector<std::uint8_t>{128, 255}));
  EXPECT_TRUE(soft.HasAlpha());
  EXPECT_FALSE(soft.Masked());
}

// More than 255 opaque colours go through the median cut to 255 entries;
// entry 0 stays the transparent pixels' alone.
TEST(MaskTest, ATextureOfMoreThan255OpaqueColoursStillMasksExactly) {
  if (!Kelvane::PaletteInThisBuild()) GTEST_SKIP() << "reducing colours is not in this build";
  Image image{64, 64, {}};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      image.rgb.push_back(static_cast<std::uint32_t>((x * 4) << 16 | (y * 4) << 8 | 128));
      // A band of transparent pixels and scattered ones, some black like
      // the opaque corner.
      const bool clear = std::abs(x - y) < 3 || (x * 7 + y * 13) % 29 == 0;
      image.alpha.push_back(clear ? 0 : 255);
    }
  }
  image.rgb[0] = 0;
  const std::set<std::size_t> expected = TransparentIn(image);
  const std::vector<unsigned char> bmp = Kelvane::MaskedBitmapBytes(image);
  const std::uint32_t colours = Le(bmp, 46, 4);
  EXPECT_LE(colours, 256u);
  EXPECT_GT(colours, 64u);
  std::vector<std::uint8_t> indices;
  const Image read = Kelvane::ReadBitmap(AsText(bmp), 64, &indices);
  ASSERT_EQ(indices.size(), image.rgb.size());
  std::set<std::size_t> entryZero;
  int worst = 0;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    if (indices[i] == 0) {
      entryZero.insert(i);
      continue;
    }
    for (const int shift : {16, 8, 0}) {
      worst = std::max(worst, std::abs(static_cast<int>((read.rgb[i] >> shift) & 0xFF) -
                                       static_cast<int>((image.rgb[i] >> shift) & 0xFF)));
    }
  }
  EXPECT_EQ(entryZero, expected);
  EXPECT_LE(worst, 24);
}

}  // namespace
