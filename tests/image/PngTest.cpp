#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

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

namespace {

// RGB where every pixel is opaque (today's pictures keep their bytes), RGBA
// as soon as one is not, its alpha as it was; either reads back.
TEST(PngTest, AlphaIsWrittenWhereAPixelIsLessThanOpaque) {
  const Image opaque{4, 1, {0x102030, 0x405060, 0x708090, 0xA0B0C0}};
  struct Case {
    const char* name;
    std::vector<std::uint8_t> alpha;
    bool rgba;
  };
  const Case cases[] = {
      {"no alpha plane", {}, false},
      {"every pixel opaque", {255, 255, 255, 255}, false},
      {"a pixel a step below opaque", {255, 254, 255, 255}, true},
      {"clear, below half, half, opaque", {0, 127, 128, 255}, true},
  };
  const std::string plain = Kelvane::PngBytes(opaque);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image image = opaque;
    image.alpha = c.alpha;
    const std::string png = Kelvane::PngBytes(image);
    EXPECT_EQ(png[25], c.rgba ? 6 : 2);  // the colour type in IHDR
    if (!c.rgba) {
      EXPECT_EQ(png, plain);
    }
    const Image decoded = testing_support::DecodePng(png);
    EXPECT_EQ(decoded.rgb, opaque.rgb);
    EXPECT_EQ(decoded.alpha, c.rgba ? c.alpha : std::vector<std::uint8_t>{});
    const Image read = Kelvane::ReadPng(png, 16);
    EXPECT_EQ(read.rgb, opaque.rgb);
    EXPECT_EQ(read.alpha, c.rgba ? c.alpha : std::vector<std::uint8_t>{});
  }
}

void PutBig(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void Chunk(std::string& png, const std::string& type, const std::string& data) {
  PutBig(png, static_cast<std::uint32_t>(data.size()));
  const std::string body = type + data;
  png += body;
  PutBig(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                               static_cast<uInt>(body.size()))));
}

int PaethOf(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A PNG as another writer may make it: `rows` of raw samples, row y
// filtered with type y % 5 (none, sub, up, average, Paeth), `step` bytes a
// pixel; `extra` chunks stand before the data. A `filter` of 5 or more is
// written as every row's type, the rows left as they are.
std::string MakePng(int width, int height, int depth, int colourType, std::size_t step,
                    const std::vector<std::string>& rows,
                    const std::vector<std::pair<std::string, std::string>>& extra = {},
                    int filter = -1) {
  std::string header;
  PutBig(header, static_cast<std::uint32_t>(width));
  PutBig(header, static_cast<std::uint32_t>(height));
  header += {static_cast<char>(depth), static_cast<char>(colourType), 0, 0, 0};
  std::string filtered;
  std::string above(rows[0].size(), '\0');
  for (int y = 0; y < height; ++y) {
    const std::string& row = rows[static_cast<std::size_t>(y)];
    const int type = filter < 0 ? y % 5 : filter;
    filtered += static_cast<char>(type);
    if (type > 4) {
      filtered += row;
      continue;
    }
    for (std::size_t i = 0; i < row.size(); ++i) {
      const int x = static_cast<unsigned char>(row[i]);
      const int a = i >= step ? static_cast<unsigned char>(row[i - step]) : 0;
      const int b = static_cast<unsigned char>(above[i]);
      const int c = i >= step ? static_cast<unsigned char>(above[i - step]) : 0;
      const int predicted = type == 0   ? 0
                            : type == 1 ? a
                            : type == 2 ? b
                            : type == 3 ? (a + b) / 2
                                        : PaethOf(a, b, c);
      filtered += static_cast<char>((x - predicted) & 0xFF);
    }
    above = row;
  }
  std::string zlib(compressBound(static_cast<uLong>(filtered.size())), '\0');
  uLongf size = static_cast<uLongf>(zlib.size());
  compress(reinterpret_cast<Bytef*>(zlib.data()), &size,
           reinterpret_cast<const Bytef*>(filtered.data()), static_cast<uLong>(filtered.size()));
  zlib.resize(size);
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  for (const auto& [type, data] : extra) Chunk(png, type, data);
  // The data in two chunks, as writers may split it.
  Chunk(png, "IDAT", zlib.substr(0, zlib.size() / 2));
  Chunk(png, "IDAT", zlib.substr(zlib.size() / 2));
  Chunk(png, "IEND", "");
  return png;
}

// Rows of 6 pixels, 5 rows, so every filter type is met; sample k of pixel
// (x, y) is made of x, y and k, so a slip of a byte shows.
std::vector<std::string> Samples(std::size_t perPixel, std::size_t bytesPerSample) {
  std::vector<std::string> rows;
  for (int y = 0; y < 5; ++y) {
    std::string row;
    for (int x = 0; x < 6; ++x) {
      for (std::size_t k = 0; k < perPixel; ++k) {
        const int value = (x * 53 + y * 97 + static_cast<int>(k) * 31 + 200) & 0xFF;
        row += static_cast<char>(value);
        if (bytesPerSample == 2) row += static_cast<char>(value ^ 0x5A);  // low byte, left out
      }
    }
    rows.push_back(row);
  }
  return rows;
}

std::uint32_t SampleOf(int x, int y, int k) {
  return static_cast<std::uint32_t>((x * 53 + y * 97 + k * 31 + 200) & 0xFF);
}

TEST(PngReadTest, EveryFilterColourTypeAndDepthReadsBack) {
  struct Case {
    const char* name;
    int depth, colourType;
    std::size_t samples;
    std::uint32_t (*colour)(int x, int y);
    int alphaSample;  // -1: none
  };
  const auto rgb = [](int x, int y) {
    return SampleOf(x, y, 0) << 16 | SampleOf(x, y, 1) << 8 | SampleOf(x, y, 2);
  };
  const auto grey = [](int x, int y) { return SampleOf(x, y, 0) * 0x010101; };
  const Case cases[] = {
      {"RGB, 8 bits", 8, 2, 3, rgb, -1},   {"RGBA, 8 bits", 8, 6, 4, rgb, 3},
      {"RGB, 16 bits", 16, 2, 3, rgb, -1}, {"RGBA, 16 bits", 16, 6, 4, rgb, 3},
      {"grey, 8 bits", 8, 0, 1, grey, -1}, {"grey and alpha, 16 bits", 16, 4, 2, grey, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t wide = static_cast<std::size_t>(c.depth / 8);
    const Image image = Kelvane::ReadPng(
        MakePng(6, 5, c.depth, c.colourType, c.samples * wide, Samples(c.samples, wide)), 6);
    ASSERT_EQ(image.width, 6);
    ASSERT_EQ(image.height, 5);
    ASSERT_EQ(image.alpha.size(), c.alphaSample < 0 ? 0u : 30u);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(image.Pixel(x, y), c.colour(x, y)) << x << "," << y;
        if (c.alphaSample >= 0) {
          EXPECT_EQ(image.alpha[image.IndexOf(x, y)], SampleOf(x, y, c.alphaSample));
        }
      }
    }
  }
  // A palette, its tRNS giving the first entries' alpha.
  std::string palette;
  for (int i = 0; i < 4; ++i)
    palette += {static_cast<char>(i * 60), static_cast<char>(255 - i), '\x07'};
  std::vector<std::string> indices;
  for (int y = 0; y < 5; ++y) {
    std::string row;
    for (int x = 0; x < 6; ++x) row += static_cast<char>((x + y) % 4);
    indices.push_back(row);
  }
  const Image paletted = Kelvane::ReadPng(
      MakePng(6, 5, 8, 3, 1, indices, {{"PLTE", palette}, {"tRNS", std::string("\x00\x80", 2)}}),
      6);
  ASSERT_EQ(paletted.alpha.size(), 30u);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const int entry = (x + y) % 4;
      EXPECT_EQ(paletted.Pixel(x, y),
                static_cast<std::uint32_t>(entry * 60 << 16 | (255 - entry) << 8 | 7));
      EXPECT_EQ(paletted.alpha[paletted.IndexOf(x, y)], entry == 0 ? 0 : entry == 1 ? 0x80 : 255);
    }
  }
  // Pixels smaller than a byte, the first in the high bits: a palette of 4
  // bits, grey of 1 bit.
  std::vector<std::string> nibbles, bitRows;
  for (int y = 0; y < 5; ++y) {
    std::string row, bitsRow(1, '\0');
    for (int x = 0; x < 6; x += 2) {
      row += static_cast<char>(((x + y) % 4) << 4 | (x + 1 + y) % 4);
    }
    for (int x = 0; x < 6; ++x) {
      if ((x + y) % 2) bitsRow[0] = static_cast<char>(bitsRow[0] | 0x80 >> x);
    }
    nibbles.push_back(row);
    bitRows.push_back(bitsRow);
  }
  const Image packed = Kelvane::ReadPng(
      MakePng(6, 5, 4, 3, 1, nibbles, {{"PLTE", palette}, {"tRNS", std::string("\x00\x80", 2)}}),
      6);
  EXPECT_EQ(packed.rgb, paletted.rgb);
  EXPECT_EQ(packed.alpha, paletted.alpha);
  const Image bits = Kelvane::ReadPng(MakePng(6, 5, 1, 0, 1, bitRows), 6);
  ASSERT_EQ(bits.rgb.size(), 30u);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) EXPECT_EQ(bits.Pixel(x, y), (x + y) % 2 ? 0xFFFFFFu : 0u);
  }
  const Image noAlpha = Kelvane::ReadPng(MakePng(6, 5, 8, 3, 1, indices, {{"PLTE", palette}}), 6);
  EXPECT_EQ(noAlpha.width, 6);
  EXPECT_TRUE(noAlpha.alpha.empty());
}

TEST(PngReadTest, DamagedOrUnknownFilesGiveNothing) {
  const std::string good = MakePng(6, 5, 8, 2, 3, Samples(3, 1));
  ASSERT_EQ(Kelvane::ReadPng(good, 6).width, 6);
  std::string interlaced = good;
  interlaced[28] = 1;  // IHDR's interlace byte
  std::string nibbles = good;
  nibbles[24] = 4;  // 4 bits a sample
  const struct {
    const char* name;
    std::string bytes;
    int maxSide;
  } cases[] = {
      {"not a PNG", "GIF89a", 64},
      {"cut in its data", good.substr(0, good.size() - 30), 64},
      {"cut before IEND", good.substr(0, good.size() - 12), 64},
      {"wider than the largest side", good, 5},
      {"interlaced", interlaced, 64},
      {"4 bits a sample", nibbles, 64},
      {"a palette index beyond the palette",
       MakePng(6, 5, 8, 3, 1, std::vector<std::string>(5, std::string(6, '\x05')),
               {{"PLTE", std::string(12, '\x01')}}),
       64},
      {"a filter type beyond Paeth", MakePng(6, 5, 8, 2, 3, Samples(3, 1), {}, 5), 64},
      {"a palette without PLTE",
       MakePng(6, 5, 8, 3, 1, std::vector<std::string>(5, std::string(6, '\0'))), 64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = Kelvane::ReadPng(c.bytes, c.maxSide);
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.rgb.empty());
  }
}

}  // namespace
