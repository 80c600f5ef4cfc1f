#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "metafile/format/TextFields.h"
#include "metafile/texture/Texture.h"

namespace Kelvane::Metafile {
namespace {

Image Decode(std::string_view kind, std::string_view text, bool* atEnd = nullptr) {
  Image image;
  auto fields = TextFieldsOf(text);
  DecodeTexture(kind, *fields, image);
  if (atEnd != nullptr) *atEnd = fields->AtEnd();
  return image;
}

struct PixelCase {
  const char* name;
  const char* text;
  std::vector<std::uint32_t> rgb;
};

// Two pixels each, so that a swapped byte order or channel shows; the bytes
// that carry alpha or nothing are set, so that leaking them shows too.
const PixelCase kPixelCases[] = {
    {"RGB32 big", "2 1 8 32 RGB32 BigEndian BigEndian 0xFF123456 0x80ABCDEF", {0x123456, 0xABCDEF}},
    {"RGB32 little",
     "2 1 8 32 RGB32 BigEndian LittleEndian 0x563412FF 0xEFCDAB80",
     {0x123456, 0xABCDEF}},
    {"ARGB32 big",
     "2 1 8 32 ARGB32 BigEndian BigEndian 0x80123456 0x00ABCDEF",
     {0x123456, 0xABCDEF}},
    {"ARGB32 little",
     "2 1 8 32 ARGB32 LittleEndian LittleEndian 0x56341280 0xEFCDAB00",
     {0x123456, 0xABCDEF}},
    {"RGB24 big", "2 1 6 24 RGB24 BigEndian BigEndian 0x123456ABCDEF", {0x123456, 0xABCDEF}},
    {"RGB24 little",
     "2 1 6 24 RGB24 LittleEndian LittleEndian 0x563412EFCDAB",
     {0x123456, 0xABCDEF}},
    // 0x7C01: red 31, blue 1; 0x8200: unused bit set, green 16.
    {"RGB16 big", "2 1 4 16 RGB16 BigEndian BigEndian 0x7C018200", {0xFF0008, 0x008400}},
    {"RGB16 little", "2 1 4 16 RGB16 BigEndian LittleEndian 0x017C0082", {0xFF0008, 0x008400}},
    {"ARGB16 big", "2 1 4 16 ARGB16 BigEndian BigEndian 0xFC010200", {0xFF0008, 0x008400}},
    {"ARGB16 little", "2 1 4 16 ARGB16 LittleEndian LittleEndian 0x01FC0002", {0xFF0008, 0x008400}},
    // 0xFFE0: red 31, green 63; 0x0C1F: red 1, green 32, blue 31.
    {"RGB16_565 big", "2 1 4 16 RGB16_565 BigEndian BigEndian 0xFFE00C1F", {0xFFFF00, 0x0882FF}},
    {"RGB16_565 little",
     "2 1 4 16 RGB16_565 LittleEndian LittleEndian 0xE0FF1F0C",
     {0xFFFF00, 0x0882FF}},
    // Pixel types by number, as a writer may give them.
    {"type 5 by number", "2 1 6 24 5 0 0 0x123456ABCDEF", {0x123456, 0xABCDEF}},
};

TEST(TextureTest, EachPixelTypeAndByteOrderGivesItsColours) {
  for (const PixelCase& c : kPixelCases) {
    SCOPED_TRACE(c.name);
    bool atEnd = false;
    const Image image = Decode("PixmapTexture", c.text, &atEnd);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 1);
    EXPECT_EQ(image.rgb, c.rgb);
    EXPECT_TRUE(atEnd);
  }
}

TEST(TextureTest, RowPaddingIsSkipped) {
  const PixelCase cases[] = {
      {"RGB24, 2 bytes of padding",
       "2 2 8 24 RGB24 BigEndian BigEndian 0x112233445566FFFF 0x778899AABBCCEEEE",
       {0x112233, 0x445566, 0x778899, 0xAABBCC}},
      {"RGB16, a pixel of padding",
       "1 2 4 16 RGB16 BigEndian BigEndian 0x7C00FFFF 0x001F03E0",
       {0xFF0000, 0x0000FF}},
      {"RGB32 little, two pixels of padding",
       "1 2 12 32 RGB32 LittleEndian LittleEndian 0x33221100 0xFFFFFFFF 0xFFFFFFFF"
       " 0x66554400 0xEEEEEEEE 0xEEEEEEEE",
       {0x112233, 0x445566}},
  };
  for (const PixelCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Image image = Decode("PixmapTexture", c.text);
    EXPECT_EQ(image.rgb, c.rgb);
  }
}

// The textures of tx-16bit-little, tx-24bit-little and tx-32bit-little, and
// the first of uv-transform: one picture in four encodings.
constexpr const char* kTx16Little =
    "4 4 8 16 RGB16 LittleEndian LittleEndian\n"
    "0x007000700070007080031C001C000070\n"
    "0x80031C001C0000708003800300700070\n";
constexpr const char* kTx24Little =
    "4 4 12 24 RGB24 LittleEndian LittleEndian\n"
    "0x0000E00000E00000E00000E0\n"
    "0x00E000E00000E000000000E0\n"
    "0x00E000E00000E000000000E0\n"
    "0x00E00000E0000000E00000E0\n";
constexpr const char* kTx32Little =
    "4 4 16 32 RGB32 LittleEndian LittleEndian\n"
    "0x0000E0000000E0000000E0000000E000\n"
    "0x00E00000E0000000E00000000000E000\n"
    "0x00E00000E0000000E00000000000E000\n"
    "0x00E0000000E000000000E0000000E000\n";
constexpr const char* kUvTransform16Big =
    "4 4 8 16 RGB16 BigEndian BigEndian\n"
    "0x70007000700070000380001C001C7000\n"
    "0x0380001C001C70000380038070007000\n";

// Rows from the top: red, then green-blue-blue-red twice, then green-green-red-red.
const std::vector<std::uint32_t> kTxPicture = {
    0xE00000, 0xE00000, 0xE00000, 0xE00000,  //
    0x00E000, 0x0000E0, 0x0000E0, 0xE00000,  //
    0x00E000, 0x0000E0, 0x0000E0, 0xE00000,  //
    0x00E000, 0x00E000, 0xE00000, 0xE00000,
};

bool Near(std::uint32_t a, std::uint32_t b, int levels) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > levels) return false;
  }
  return true;
}

TEST(TextureTest, SampleEncodingsOfOnePictureAgree) {
  EXPECT_EQ(Decode("PixmapTexture", kTx32Little).rgb, kTxPicture);
  const Image samples[] = {
      Decode("PixmapTexture", kTx16Little),
      Decode("PixmapTexture", kTx24Little),
      Decode("PixmapTexture", kTx32Little),
      Decode("PixmapTexture", kUvTransform16Big),
  };
  for (const Image& image : samples) {
    ASSERT_EQ(image.width, 4);
    ASSERT_EQ(image.height, 4);
    ASSERT_EQ(image.rgb.size(), kTxPicture.size());
    for (std::size_t i = 0; i < kTxPicture.size(); ++i) {
      EXPECT_TRUE(Near(image.rgb[i], kTxPicture[i], 8))
          << "pixel " << i << ": " << std::hex << image.rgb[i] << " vs " << kTxPicture[i];
    }
  }
  // 5-bit 28 widens to 231, not 224: the two 16-bit encodings match exactly.
  EXPECT_EQ(samples[0].rgb[0], 0xE70000u);
  EXPECT_EQ(samples[0].rgb, samples[3].rgb);
}

TEST(TextureTest, TriMeshFancyBigEndianPaddedRows) {
  // The first texture of TriMesh-fancy: 8 x 8, 36 bytes a row, the 4 bytes
  // of padding holding leftovers that must not show.
  const char* blueGreen =
      "8 8 36 32 RGB32 BigEndian BigEndian\n"
      "0x000000FF000000FF0000FF000000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x01909860000000FF000000FF0000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF00047F00000000FF000000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF000000FF00000000000000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF000000FF000000FF00B7A401E6\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x000000500000FF000000FF000000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF00000000000000FF000000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF000000FF0001E856400000FF00\n"
      "0x0000FF000000FF000000FF000000FF00\n"
      "0x0000FF000000FF000000FF0000000000\n";
  // Blue in the top left 2 x 2, green elsewhere.
  std::vector<std::uint32_t> expected;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) expected.push_back(x < 2 && y < 2 ? 0x0000FF : 0x00FF00);
  }
  bool atEnd = false;
  EXPECT_EQ(Decode("PixmapTexture", blueGreen, &atEnd).rgb, expected);
  EXPECT_TRUE(atEnd);
}

struct MipmapCase {
  const char* name;
  const char* text;
  int width;
  int height;
  std::vector<std::uint32_t> rgb;
};

TEST(TextureTest, MipmapTextureGivesItsFirstPicture) {
  const MipmapCase cases[] = {
      {"one picture",
       "False RGB24 BigEndian BigEndian 2 1 6 0 0x123456ABCDEF",
       2,
       1,
       {0x123456, 0xABCDEF}},
      // The 1 x 1 level stands first in the data; the 2 x 2 one at offset 4.
      {"mipmapped, first picture at an offset",
       "True RGB32 BigEndian BigEndian 2 2 8 4  1 1 4 0\n"
       "0x00FFFFFF 0x00111111 0x00222222 0x00333333 0x00444444",
       2,
       2,
       {0x111111, 0x222222, 0x333333, 0x444444}},
      // Levels follow the longer side: 4 x 2, 2 x 1, 1 x 1.
      {"mipmapped, not square",
       "True RGB16 LittleEndian LittleEndian 4 2 8 0  2 1 4 16  1 1 2 20\n"
       "0x007C007C007C007C 0x1F001F001F001F00 0xE003E003 0xFF7F",
       4,
       2,
       {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF}},
  };
  for (const MipmapCase& c : cases) {
    SCOPED_TRACE(c.name);
    bool atEnd = false;
    const Image image = Decode("MipmapTexture", c.text, &atEnd);
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(image.rgb, c.rgb);
    EXPECT_TRUE(atEnd);
  }
}

TEST(TextureTest, KindsThatAreTextures) {
  EXPECT_TRUE(IsTexture("PixmapTexture"));
  EXPECT_TRUE(IsTexture("MipmapTexture"));
  EXPECT_TRUE(IsTexture("pixmaptexture"));
  EXPECT_FALSE(IsTexture("CompressedPixmapTexture"));
  EXPECT_FALSE(IsTexture("TextureShader"));
  EXPECT_FALSE(IsTexture(""));
}

struct BadCase {
  const char* name;
  const char* kind;
  const char* text;
  ErrorKind kind_expected;
};

const BadCase kBadCases[] = {
    {"rowBytes below width * 4", "PixmapTexture",
     "2 1 7 32 RGB32 BigEndian BigEndian 0x00000000000000", ErrorKind::InvalidArgument},
    {"mipmap rowBytes below width * 2", "MipmapTexture",
     "False RGB16 BigEndian BigEndian 2 1 3 0 0x000000", ErrorKind::InvalidArgument},
    {"pixel size 16 for RGB32", "PixmapTexture",
     "2 1 8 16 RGB32 BigEndian BigEndian 0x0000000000000000", ErrorKind::InvalidArgument},
    {"pixel size 32 for RGB24", "PixmapTexture", "1 1 4 32 RGB24 BigEndian BigEndian 0x00000000",
     ErrorKind::InvalidArgument},
    {"more pixels than the box holds", "PixmapTexture",
     "8193 8192 16386 16 RGB16 BigEndian BigEndian 0x0000", ErrorKind::InvalidArgument},
    // Exactly as many as the box holds passes the size check and fails on
    // the data instead.
    {"the box's limit, data missing", "PixmapTexture",
     "8192 8192 16384 16 RGB16 BigEndian BigEndian 0x0000", ErrorKind::OutOfRange},
    {"mipmap beyond the box", "MipmapTexture",
     "False RGB32 BigEndian BigEndian 65536 1025 262144 0 0x00", ErrorKind::InvalidArgument},
    {"no width", "PixmapTexture", "0 4 0 32 RGB32 BigEndian BigEndian", ErrorKind::InvalidArgument},
    {"no height", "MipmapTexture", "False RGB32 BigEndian BigEndian 4 0 16 0",
     ErrorKind::InvalidArgument},
    {"data shorter than height * rowBytes", "PixmapTexture",
     "4 4 16 32 RGB32 BigEndian BigEndian 0x00000000", ErrorKind::OutOfRange},
    {"rowBytes of 4 GiB", "PixmapTexture", "1 1 4294967295 32 RGB32 BigEndian BigEndian 0x00000000",
     ErrorKind::OutOfRange},
    {"unknown pixel type name", "PixmapTexture", "1 1 4 32 RGB8 BigEndian BigEndian 0x00000000",
     ErrorKind::InvalidArgument},
    {"unknown pixel type number", "PixmapTexture", "1 1 4 32 6 BigEndian BigEndian 0x00000000",
     ErrorKind::InvalidArgument},
    {"unknown bit order", "PixmapTexture", "1 1 4 32 RGB32 MiddleEndian BigEndian 0x00000000",
     ErrorKind::InvalidArgument},
    {"unknown byte order", "MipmapTexture", "False RGB32 BigEndian 2 1 1 4 0 0x00000000",
     ErrorKind::InvalidArgument},
    {"mipmap offset past the data", "MipmapTexture",
     "False RGB32 BigEndian BigEndian 1 1 4 4 0x00000000", ErrorKind::OutOfRange},
    {"mipmap offset of 4 GiB", "MipmapTexture",
     "False RGB32 BigEndian BigEndian 1 1 4 4294967295 0x00000000", ErrorKind::OutOfRange},
    {"mipmapped side not a power of 2", "MipmapTexture",
     "True RGB32 BigEndian BigEndian 3 2 12 0 0x00", ErrorKind::InvalidArgument},
    {"mipmapped data missing", "MipmapTexture",
     "True RGB32 BigEndian BigEndian 2 2 8 0  1 1 4 16 0x00000000", ErrorKind::OutOfRange},
    {"not a texture", "TriMesh", "1 0 0 0 3 0", ErrorKind::InvalidArgument},
};

TEST(TextureTest, BadInputIsRefusedWithItsPlace) {
  for (const BadCase& c : kBadCases) {
    SCOPED_TRACE(c.name);
    try {
      Decode(c.kind, c.text);
      ADD_FAILURE() << "no error";
    } catch (const RunError& e) {
      EXPECT_EQ(e.Kind(), c.kind_expected) << e.what();
      EXPECT_NE(e.Place().find("input line 1"), std::string::npos) << e.Place();
      EXPECT_STRNE(e.what(), "");
    }
  }
}

}  // namespace
}  // namespace Kelvane::Metafile
