#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "image/Image.h"

// Reads a PNG as the writer makes it (8-bit RGB or RGBA, unfiltered rows),
// with zlib's inflate, checking every chunk's CRC; a failed check is a test
// failure and gives an empty image. An RGBA file's alpha fills the image's
// alpha plane, whatever its values.
namespace testing_support {

inline std::uint32_t BigEndian(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

inline Kelvane::Image DecodePng(const std::string& png) {
  Kelvane::Image image;
  if (png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
    ADD_FAILURE() << "no PNG signature";
    return {};
  }
  std::string zlib;
  bool ended = false;
  std::size_t channels = 3;
  for (std::size_t at = 8; at + 12 <= png.size() && !ended;) {
    const std::uint32_t length = BigEndian(png, at);
    if (length > png.size() - at - 12) {
      ADD_FAILURE() << "a chunk runs past the file";
      return {};
    }
    const std::string type = png.substr(at + 4, 4);
    const std::string data = png.substr(at + 8, length);
    const auto* typed = reinterpret_cast<const Bytef*>(png.data() + at + 4);
    if (crc32(0, typed, 4 + length) != BigEndian(png, at + 8 + length)) {
      ADD_FAILURE() << "the CRC of " << type << " is wrong";
      return {};
    }
    if (type == "IHDR") {
      image.width = static_cast<int>(BigEndian(data, 0));
      image.height = static_cast<int>(BigEndian(data, 4));
      if (data.substr(8) == std::string("\x08\x06\0\0\0", 5)) {
        channels = 4;  // 8-bit RGBA
      } else {
        EXPECT_EQ(data.substr(8), std::string("\x08\x02\0\0\0", 5));  // 8-bit RGB
      }
    }
    if (type == "IDAT") zlib += data;
    ended = type == "IEND";
    at += 12 + length;
  }
  EXPECT_TRUE(ended) << "no IEND";
  const std::size_t stride = 1 + channels * static_cast<std::size_t>(image.width);
  std::string raw(stride * static_cast<std::size_t>(image.height) + 1, '\0');
  uLongf rawSize = static_cast<uLongf>(raw.size());
  const int inflated =
      uncompress(reinterpret_cast<Bytef*>(raw.data()), &rawSize,
                 reinterpret_cast<const Bytef*>(zlib.data()), static_cast<uLong>(zlib.size()));
  if (inflated != Z_OK || rawSize + 1 != raw.size()) {
    ADD_FAILURE() << "the image data does not inflate to its rows (zlib " << inflated << ", "
                  << rawSize << " bytes)";
    return {};
  }
  for (int y = 0; y < image.height; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * stride;
    EXPECT_EQ(raw[row], 0) << "row " << y << " is filtered";
    for (int x = 0; x < image.width; ++x) {
      auto byte = [&](std::size_t k) {
        return std::uint32_t{
            static_cast<unsigned char>(raw[row + 1 + channels * static_cast<std::size_t>(x) + k])};
      };
      image.rgb.push_back(byte(0) << 16 | byte(1) << 8 | byte(2));
      if (channels == 4) image.alpha.push_back(static_cast<std::uint8_t>(byte(3)));
    }
  }
  return image;
}

}  // namespace testing_support
