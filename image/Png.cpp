#include "image/Png.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/Platform.h"
#include "text/Files.h"
#include "text/RunError.h"

namespace Kelvane {

namespace {

// The library's functions that a picture needs, to be made or read.
struct Zlib {
  decltype(&::deflateInit_) deflateInit_ = nullptr;
  decltype(&::deflate) deflate = nullptr;
  decltype(&::deflateEnd) deflateEnd = nullptr;
  decltype(&::deflateBound) deflateBound = nullptr;
  decltype(&::crc32) crc32 = nullptr;
  decltype(&::inflateInit_) inflateInit_ = nullptr;
  decltype(&::inflate) inflate = nullptr;
  decltype(&::inflateEnd) inflateEnd = nullptr;
};

#ifdef KELVANE_ZLIB_LIBRARY
// The system's shared library, loaded (by its SONAME) when the first
// picture is made: only PNG previews use it, so the command line starts
// without it.
const Zlib& Library() {
  struct Loaded {
    Platform::SharedLibrary library;
    Zlib functions;
    std::string failure;
  };
  static const auto* const loaded = [] {
    auto* const result = new Loaded;  // kept to the end of the program
    if (!result->library.Load(KELVANE_ZLIB_LIBRARY, result->failure)) return result;
    const auto find = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
          result->library.Function(name));
      if (function == nullptr && result->failure.empty())
        result->failure = "it has no " + std::string(name);
    };
    Zlib& z = result->functions;
    find(z.deflateInit_, "deflateInit_");
    find(z.deflate, "deflate");
    find(z.deflateEnd, "deflateEnd");
    find(z.deflateBound, "deflateBound");
    find(z.crc32, "crc32");
    find(z.inflateInit_, "inflateInit_");
    find(z.inflate, "inflate");
    find(z.inflateEnd, "inflateEnd");
    return result;
  }();
  if (!loaded->failure.empty()) {
    throw RunError(ErrorKind::FileError, "A PNG picture needs the library " +
                                             std::string(KELVANE_ZLIB_LIBRARY) + ": " +
                                             loaded->failure);
  }
  return loaded->functions;
}
#else
// Linked in (the Windows build links it statically).
const Zlib& Library() {
  static const Zlib functions{&::deflateInit_, &::deflate,      &::deflateEnd, &::deflateBound,
                              &::crc32,        &::inflateInit_, &::inflate,    &::inflateEnd};
  return functions;
}
#endif

void PutBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// A chunk: length, type, data and the CRC of type and data.
void PutChunk(std::string& out, const char type[5], std::string_view data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.append(type, 4);
  out.append(data);
  const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
  const Zlib& z = Library();
  PutBigEndian(out, static_cast<std::uint32_t>(z.crc32(z.crc32(0, nullptr, 0), bytes,
                                                       static_cast<uInt>(out.size() - start))));
}

// A failure of zlib, which with sound arguments can only be memory.
[[noreturn]] void Fail(int result) {
  if (result == Z_MEM_ERROR) throw std::bad_alloc();
  throw RunError(ErrorKind::InvalidArgument,
                 "The picture could not be compressed (zlib error " + std::to_string(result) + ")");
}

// The zlib stream of the image's rows, each led by its filter type 0 (none),
// of 3 bytes a pixel (RGB) or 4 (RGBA, `withAlpha`). Rows are deflated one
// by one, so the raw picture is never held whole.
std::string Deflate(const Image& image, bool withAlpha) {
  const Zlib& z = Library();
  z_stream stream{};
  // deflateInit is a macro over deflateInit_, which checks the header's
  // version against the library's.
  if (const int result = z.deflateInit_(&stream, Z_DEFAULT_COMPRESSION, ZLIB_VERSION,
                                        static_cast<int>(sizeof(z_stream)));
      result != Z_OK)
    Fail(result);
  struct End {
    const Zlib& z;
    z_stream& stream;
    ~End() { z.deflateEnd(&stream); }
  } end{z, stream};
  const auto width = static_cast<std::size_t>(image.width);
  const std::size_t pixelBytes = withAlpha ? 4 : 3;
  std::string row(1 + pixelBytes * width, '\0');
  // Enough for the whole stream when it is fed without flushes; growing it
  // is a safeguard only.
  std::string out(
      z.deflateBound(&stream, static_cast<uLong>(row.size()) * static_cast<uLong>(image.height)),
      '\0');
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  for (int y = 0; y < image.height; ++y) {
    const std::uint32_t* pixel = image.rgb.data() + image.IndexOf(0, y);
    for (std::size_t x = 0; x < width; ++x) {
      char* out = row.data() + 1 + pixelBytes * x;
      out[0] = static_cast<char>((pixel[x] >> 16) & 0xFF);
      out[1] = static_cast<char>((pixel[x] >> 8) & 0xFF);
      out[2] = static_cast<char>(pixel[x] & 0xFF);
      if (withAlpha) out[3] = static_cast<char>(image.alpha[image.IndexOf(0, y) + x]);
    }
    stream.next_in = reinterpret_cast<Bytef*>(row.data());
    stream.avail_in = static_cast<uInt>(row.size());
    const int flush = y + 1 == image.height ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
      if (stream.avail_out == 0) {
        const std::size_t used = out.size();
        out.resize(used + used / 2 + 64);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        stream.avail_out = static_cast<uInt>(out.size() - used);
      }
      const int result = z.deflate(&stream, flush);
      if (result == Z_STREAM_END) break;
      if (result != Z_OK && result != Z_BUF_ERROR) Fail(result);
      if (flush == Z_NO_FLUSH && stream.avail_in == 0 && stream.avail_out > 0) break;
    }
  }
  out.resize(static_cast<std::size_t>(stream.total_out));
  return out;
}

}  // namespace

std::string PngBytes(const Image& image) {
  if (image.Empty()) {
    throw RunError(ErrorKind::InvalidArgument, "An empty picture cannot be made a PNG");
  }
  const bool withAlpha = image.alpha.size() == image.rgb.size() && image.HasAlpha();
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(image.width));
  PutBigEndian(header, static_cast<std::uint32_t>(image.height));
  // 8 bits, RGB (2) or RGBA (6), deflate, no filter, no interlace.
  header += {'\x08', withAlpha ? '\x06' : '\x02', '\x00', '\x00', '\x00'};

  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", Deflate(image, withAlpha));
  PutChunk(png, "IEND", {});
  return png;
}

void SavePng(const Image& image, const std::string& path) {
  TextRoutines::WriteWholeFile(path, PngBytes(image));
}

namespace {

std::uint32_t BigEndianAt(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

int Paeth(int left, int up, int upLeft) {
  const int guess = left + up - upLeft;
  const int toLeft = std::abs(guess - left);
  const int toUp = std::abs(guess - up);
  const int toUpLeft = std::abs(guess - upLeft);
  if (toLeft <= toUp && toLeft <= toUpLeft) return left;
  return toUp <= toUpLeft ? up : upLeft;
}

// Undoes a row's filter in place: `row` holds its bytes after the filter
// type, `above` the row before it as undone (zeros above the first), and a
// pixel takes `step` bytes. False for a filter type that does not exist.
bool Unfilter(unsigned char type, unsigned char* row, const unsigned char* above,
              std::size_t length, std::size_t step) {
  for (std::size_t i = 0; i < length; ++i) {
    const int left = i >= step ? row[i - step] : 0;
    const int up = above[i];
    const int upLeft = i >= step ? above[i - step] : 0;
    int add = 0;
    switch (type) {
      case 0:
        break;
      case 1:
        add = left;
        break;
      case 2:
        add = up;
        break;
      case 3:
        add = (left + up) / 2;
        break;
      case 4:
        add = Paeth(left, up, upLeft);
        break;
      default:
        return false;
    }
    row[i] = static_cast<unsigned char>(row[i] + add);
  }
  return true;
}

}  // namespace

Image ReadPng(std::string_view bytes, int maxSide) {
  if (bytes.substr(0, 8) != std::string_view("\x89PNG\r\n\x1a\n", 8)) return {};
  std::uint32_t width = 0, height = 0;
  unsigned depth = 0, colourType = 0;
  bool header = false, ended = false;
  std::vector<std::uint32_t> palette;
  std::vector<std::uint8_t> paletteAlpha;
  std::string compressed;
  for (std::size_t at = 8; !ended;) {
    if (bytes.size() - at < 12) return {};
    const std::uint32_t length = BigEndianAt(bytes, at);
    if (length > bytes.size() - at - 12) return {};
    const std::string_view type = bytes.substr(at + 4, 4);
    const std::string_view data = bytes.substr(at + 8, length);
    at += 12 + std::size_t{length};
    if (!header) {
      if (type != "IHDR" || length != 13) return {};
      width = BigEndianAt(data, 0);
      height = BigEndianAt(data, 4);
      depth = static_cast<unsigned char>(data[8]);
      colourType = static_cast<unsigned char>(data[9]);
      const bool packed = depth == 1 || depth == 2 || depth == 4;  // pixels within a byte
      const bool known = ((packed || depth == 8) && (colourType == 0 || colourType == 3)) ||
                         ((depth == 8 || depth == 16) && (colourType == 0 || colourType == 2 ||
                                                          colourType == 4 || colourType == 6));
      // Compression and filter method 0, no interlace.
      if (!known || data[10] != 0 || data[11] != 0 || data[12] != 0) return {};
      if (width == 0 || height == 0 || width > static_cast<std::uint32_t>(maxSide) ||
          height > static_cast<std::uint32_t>(maxSide)) {
        return {};
      }
      header = true;
    } else if (type == "PLTE") {
      if (length % 3 != 0 || length > 3 * 256) return {};
      for (std::size_t i = 0; i < length; i += 3) {
        palette.push_back(std::uint32_t{static_cast<unsigned char>(data[i])} << 16 |
                          std::uint32_t{static_cast<unsigned char>(data[i + 1])} << 8 |
                          static_cast<unsigned char>(data[i + 2]));
      }
    } else if (type == "tRNS" && colourType == 3) {
      paletteAlpha.assign(data.begin(), data.end());
    } else if (type == "IDAT") {
      compressed.append(data);
    } else if (type == "IEND") {
      ended = true;
    }
  }
  if (colourType == 3 && palette.empty()) return {};

  if (compressed.size() > UINT32_MAX) return {};
  // Samples a pixel: grey, RGB, a palette index, grey and alpha, RGBA.
  constexpr std::size_t kSamples[7] = {1, 0, 3, 1, 2, 0, 4};
  const std::size_t samples = kSamples[colourType];
  const std::size_t bits = samples * depth;  // a pixel's
  // A filter steps by whole pixels, or by a byte where pixels are smaller.
  const std::size_t step = std::max<std::size_t>(1, bits / 8);
  const std::size_t rowBytes = (bits * width + 7) / 8;
  // The picture grows row by row as its data inflates: a file that claims
  // a large size it does not hold takes no memory for it.
  Image image;
  std::vector<std::uint8_t> alpha;
  bool anyAlpha = false;

  z_stream stream{};
  const Zlib& z = Library();
  if (z.inflateInit_(&stream, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) != Z_OK) return {};
  struct End {
    const Zlib& z;
    z_stream& stream;
    ~End() { z.inflateEnd(&stream); }
  } end{z, stream};
  stream.next_in = reinterpret_cast<Bytef*>(compressed.data());
  stream.avail_in = static_cast<uInt>(compressed.size());
  std::vector<unsigned char> row(1 + rowBytes), above(rowBytes, 0);
  for (std::uint32_t y = 0; y < height; ++y) {
    stream.next_out = row.data();
    stream.avail_out = static_cast<uInt>(row.size());
    while (stream.avail_out > 0) {
      const int result = z.inflate(&stream, Z_NO_FLUSH);
      if (result == Z_STREAM_END && stream.avail_out > 0) return {};
      if (result != Z_OK && result != Z_STREAM_END) return {};
    }
    unsigned char* const line = row.data() + 1;
    if (!Unfilter(row[0], line, above.data(), rowBytes, step)) return {};
    for (std::uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = line + (bits * x) / 8;
      const std::size_t wide = depth / 8;  // a 16-bit sample keeps its high byte, first
      const auto sample = [&](std::size_t k) { return std::uint32_t{p[k * wide]}; };
      // A value of fewer than 8 bits, the first pixel in the high bits.
      std::uint32_t value = p[0];
      if (depth < 8) value = (value >> (8 - depth - (depth * x) % 8)) & ((1u << depth) - 1);
      std::uint32_t colour = 0;
      std::uint8_t a = 255;
      switch (colourType) {
        case 0:
          colour = (depth < 8 ? value * 255 / ((1u << depth) - 1) : sample(0)) * 0x010101;
          break;
        case 2:
          colour = sample(0) << 16 | sample(1) << 8 | sample(2);
          break;
        case 3:
          if (value >= palette.size()) return {};
          colour = palette[value];
          if (value < paletteAlpha.size()) a = paletteAlpha[value];
          break;
        case 4:
          colour = sample(0) * 0x010101;
          a = static_cast<std::uint8_t>(sample(1));
          break;
        default:
          colour = sample(0) << 16 | sample(1) << 8 | sample(2);
          a = static_cast<std::uint8_t>(sample(3));
          break;
      }
      image.rgb.push_back(colour);
      alpha.push_back(a);
      anyAlpha = anyAlpha || a < 255;
    }
    std::copy(line, line + rowBytes, above.begin());
  }
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  if (anyAlpha) image.alpha = std::move(alpha);
  return image;
}

}  // namespace Kelvane
