#include "metafile/texture/Texture.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace Kelvane::Metafile {

namespace {

enum PixelType : std::uint32_t {
  kRGB32 = 0,
  kARGB32 = 1,
  kRGB16 = 2,
  kARGB16 = 3,
  kRGB16_565 = 4,
  kRGB24 = 5,
};

constexpr std::uint32_t kBigEndian = 0;

std::uint32_t ReadPixelType(Fields& fields) {
  return fields.Enum({{"RGB32", kRGB32},
                      {"ARGB32", kARGB32},
                      {"RGB16", kRGB16},
                      {"ARGB16", kARGB16},
                      {"RGB16_565", kRGB16_565},
                      {"RGB24", kRGB24}});
}

std::uint32_t ReadEndian(Fields& fields) {
  return fields.Enum({{"BigEndian", kBigEndian}, {"LittleEndian", 1}});
}

std::uint32_t BitsPerPixel(std::uint32_t type) {
  switch (type) {
    case kRGB32:
    case kARGB32:
      return 32;
    case kRGB24:
      return 24;
    default:
      return 16;
  }
}

// One picture inside the object's image data.
struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t rowBytes = 0;
  std::uint64_t offset = 0;
};

// Refuses a size the box cannot show; read right after width and height so
// the message points at them.
void CheckSize(Fields& fields, std::uint32_t width, std::uint32_t height) {
  const std::string size = std::to_string(width) + " x " + std::to_string(height);
  if (width == 0 || height == 0) {
    fields.Fail(ErrorKind::InvalidArgument, "The texture size " + size + " holds no pixels");
  }
  if (std::uint64_t{width} * height > kMaxTexturePixels) {
    fields.Fail(ErrorKind::InvalidArgument, "The texture size " + size + " is more than " +
                                                std::to_string(kMaxTexturePixels) + " pixels");
  }
}

void CheckRowBytes(Fields& fields, const Picture& picture, std::uint32_t type) {
  const std::uint64_t needed = std::uint64_t{picture.width} * (BitsPerPixel(type) / 8);
  if (picture.rowBytes < needed) {
    fields.Fail(ErrorKind::InvalidArgument, "A row of " + std::to_string(picture.rowBytes) +
                                                " bytes cannot hold " +
                                                std::to_string(picture.width) + " pixels of " +
                                                std::to_string(BitsPerPixel(type)) + " bits (" +
                                                std::to_string(needed) + " bytes)");
  }
}

// Reads `size` bytes of image data, refusing a size the object cannot hold
// before anything is allocated for it.
std::vector<std::uint8_t> ReadImageData(Fields& fields, std::uint64_t size) {
  fields.CheckCount(size, 1, 1, "image data byte");
  std::vector<std::uint8_t> data;
  data.reserve(static_cast<std::size_t>(size));
  fields.RawData(static_cast<std::size_t>(size), data);
  return data;
}

template <typename PixelToRgb>
void DecodeRows(const std::vector<std::uint8_t>& data, const Picture& picture,
                std::uint32_t bytesPerPixel, PixelToRgb toRgb, Image& out) {
  out.width = static_cast<int>(picture.width);  // at most kMaxTexturePixels
  out.height = static_cast<int>(picture.height);
  out.rgb.assign(std::size_t{picture.width} * picture.height, 0);
  std::uint32_t* target = out.rgb.data();
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    // Bytes past width * bytesPerPixel in a row are padding.
    const std::uint8_t* p = data.data() + picture.offset + std::size_t{y} * picture.rowBytes;
    for (std::uint32_t x = 0; x < picture.width; ++x, p += bytesPerPixel) *target++ = toRgb(p);
  }
}

// A pixel of 8-bit channels: red, green and blue at these bytes of it.
template <int kRed, int kGreen, int kBlue>
struct Channels {
  std::uint32_t operator()(const std::uint8_t* p) const {
    return std::uint32_t{p[kRed]} << 16 | std::uint32_t{p[kGreen]} << 8 | p[kBlue];
  }
};

// 5- and 6-bit channels are widened by repeating their high bits below them,
// so that full intensity becomes 255 rather than 248 or 252.
std::uint32_t Widen5(std::uint32_t v) { return (v << 3) | (v >> 2); }
std::uint32_t Widen6(std::uint32_t v) { return (v << 2) | (v >> 4); }

// The alpha of an ARGB32 pixel is its high byte (first in big endian order,
// last in little), that of an ARGB16 pixel its high bit (set: opaque, 255;
// clear: transparent, 0). A texture whose pixels are all opaque keeps no
// alpha plane. The unused byte or bit of RGB32 and RGB16 is no alpha.
void DecodeAlpha(const std::vector<std::uint8_t>& data, const Picture& picture, std::uint32_t type,
                 bool bigEndian, Image& out) {
  out.alpha.clear();
  if (type != kARGB32 && type != kARGB16) return;
  const std::uint32_t bytesPerPixel = type == kARGB32 ? 4 : 2;
  // The byte that holds the alpha, or its high bit.
  const std::uint32_t at = bigEndian ? 0 : bytesPerPixel - 1;
  out.alpha.assign(out.rgb.size(), 255);
  bool any = false;
  std::uint8_t* target = out.alpha.data();
  for (std::uint32_t y = 0; y < picture.height; ++y) {
    const std::uint8_t* p = data.data() + picture.offset + std::size_t{y} * picture.rowBytes + at;
    for (std::uint32_t x = 0; x < picture.width; ++x, p += bytesPerPixel) {
      const std::uint8_t alpha = type == kARGB32 ? *p : (*p & 0x80) != 0 ? 255 : 0;
      any = any || alpha < 255;
      *target++ = alpha;
    }
  }
  if (!any) out.alpha.clear();
}

void DecodeColours(const std::vector<std::uint8_t>& data, const Picture& picture,
                   std::uint32_t type, bool bigEndian, Image& out) {
  switch (type) {
    case kRGB32:
    case kARGB32:
      if (bigEndian) return DecodeRows(data, picture, 4, Channels<1, 2, 3>{}, out);
      return DecodeRows(data, picture, 4, Channels<2, 1, 0>{}, out);
    case kRGB24:
      // A pixel is one 24-bit number: red is its high byte, first in big
      // endian order and last in little endian.
      if (bigEndian) return DecodeRows(data, picture, 3, Channels<0, 1, 2>{}, out);
      return DecodeRows(data, picture, 3, Channels<2, 1, 0>{}, out);
    default: {
      const bool is565 = type == kRGB16_565;
      DecodeRows(
          data, picture, 2,
          [bigEndian, is565](const std::uint8_t* p) {
            const std::uint32_t v =
                bigEndian ? (std::uint32_t{p[0]} << 8 | p[1]) : (std::uint32_t{p[1]} << 8 | p[0]);
            if (is565) {
              return Widen5((v >> 11) & 0x1F) << 16 | Widen6((v >> 5) & 0x3F) << 8 |
                     Widen5(v & 0x1F);
            }
            return Widen5((v >> 10) & 0x1F) << 16 | Widen5((v >> 5) & 0x1F) << 8 | Widen5(v & 0x1F);
          },
          out);
      return;
    }
  }
}

// The colours, and the alpha of ARGB32 and ARGB16 in its own plane, which
// the 24- and 8-bit bitmaps leave out.
void DecodePixels(const std::vector<std::uint8_t>& data, const Picture& picture, std::uint32_t type,
                  bool bigEndian, Image& out) {
  DecodeColours(data, picture, type, bigEndian, out);
  DecodeAlpha(data, picture, type, bigEndian, out);
}

void DecodePixmap(Fields& fields, Image& out) {
  Picture picture;
  picture.width = fields.Uns32();
  picture.height = fields.Uns32();
  CheckSize(fields, picture.width, picture.height);
  picture.rowBytes = fields.Uns32();
  const std::uint32_t pixelSize = fields.Uns32();
  const std::uint32_t type = ReadPixelType(fields);
  if (pixelSize != BitsPerPixel(type)) {
    fields.Fail(ErrorKind::InvalidArgument,
                "The pixel size " + std::to_string(pixelSize) +
                    " does not match the pixel type, whose pixels have " +
                    std::to_string(BitsPerPixel(type)) + " bits");
  }
  CheckRowBytes(fields, picture, type);
  ReadEndian(fields);  // bit order: no pixel type here packs pixels into a byte
  const bool bigEndian = ReadEndian(fields) == kBigEndian;
  const std::vector<std::uint8_t> data =
      ReadImageData(fields, std::uint64_t{picture.height} * picture.rowBytes);
  DecodePixels(data, picture, type, bigEndian, out);
}

// A MipmapTexture holds one picture, or with mipmapping a picture whose
// sides are powers of 2 and every halving of it down to 1 x 1, each with its
// own record; the image data holds them all. Only the first is decoded.
void DecodeMipmap(Fields& fields, Image& out) {
  const bool useMipmapping = fields.Boolean();
  const std::uint32_t type = ReadPixelType(fields);
  ReadEndian(fields);  // bit order: no pixel type here packs pixels into a byte
  const bool bigEndian = ReadEndian(fields) == kBigEndian;

  Picture first;
  first.width = fields.Uns32();
  first.height = fields.Uns32();
  CheckSize(fields, first.width, first.height);
  first.rowBytes = fields.Uns32();
  CheckRowBytes(fields, first, type);
  first.offset = fields.Uns32();

  // The data holds the pictures one after another, so its size is the sum
  // of theirs; the sum is capped, as any size near the cap is refused anyway.
  constexpr std::uint64_t kCap = std::uint64_t{1} << 62;
  std::uint64_t dataSize = std::uint64_t{first.height} * first.rowBytes;
  if (useMipmapping) {
    const auto isPowerOf2 = [](std::uint32_t v) { return (v & (v - 1)) == 0; };
    if (!isPowerOf2(first.width) || !isPowerOf2(first.height)) {
      fields.Fail(ErrorKind::InvalidArgument,
                  "A mipmapped texture of " + std::to_string(first.width) + " x " +
                      std::to_string(first.height) + " pixels: both sides must be powers of 2");
    }
    std::uint32_t side = std::max(first.width, first.height);
    // One record for each halving of the longer side down to 1.
    while (side > 1) {
      side /= 2;
      fields.Uns32();  // width
      const std::uint32_t height = fields.Uns32();
      const std::uint32_t rowBytes = fields.Uns32();
      fields.Uns32();  // offset
      dataSize = std::min(kCap, dataSize + std::uint64_t{height} * rowBytes);
    }
  }
  if (first.offset > dataSize ||
      std::uint64_t{first.height} * first.rowBytes > dataSize - first.offset) {
    fields.Fail(ErrorKind::OutOfRange, "The picture at offset " + std::to_string(first.offset) +
                                           " runs past the " + std::to_string(dataSize) +
                                           " bytes of image data");
  }
  const std::vector<std::uint8_t> data = ReadImageData(fields, dataSize);
  DecodePixels(data, first, type, bigEndian, out);
}

}  // namespace

bool IsTexture(std::string_view kind) {
  return SameWord(kind, "PixmapTexture") || SameWord(kind, "MipmapTexture");
}

void DecodeTexture(std::string_view kind, Fields& fields, Image& out) {
  if (SameWord(kind, "PixmapTexture")) {
    DecodePixmap(fields, out);
  } else if (SameWord(kind, "MipmapTexture")) {
    DecodeMipmap(fields, out);
  } else {
    fields.Fail(ErrorKind::InvalidArgument, "A " + std::string(kind) + " is not a texture");
  }
}

}  // namespace Kelvane::Metafile
