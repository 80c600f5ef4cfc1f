#include "image/Png.h"

#include <zlib.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/Platform.h"
#include "text/RunError.h"
#include "text/Files.h"

namespace Kelvane {

namespace {

// The library's functions that a picture needs.
struct Zlib {
  decltype(&::deflateInit_) deflateInit_ = nullptr;
  decltype(&::deflate) deflate = nullptr;
  decltype(&::deflateEnd) deflateEnd = nullptr;
  decltype(&::deflateBound) deflateBound = nullptr;
  decltype(&::crc32) crc32 = nullptr;
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
    return result;
  }();
  if (!loaded->failure.empty()) {
    throw RunError(ErrorKind::FileError, "Making a PNG picture needs the library " +
                                             std::string(KELVANE_ZLIB_LIBRARY) + ": " +
                                             loaded->failure);
  }
  return loaded->functions;
}
#else
// Linked in (the Windows build links it statically).
const Zlib& Library() {
  static const Zlib functions{&::deflateInit_, &::deflate, &::deflateEnd, &::deflateBound,
                              &::crc32};
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

// The zlib stream of the image's rows, each led by its filter type 0 (none).
// Rows are deflated one by one, so the raw picture is never held whole.
std::string Deflate(const Image& image) {
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
  std::string row(1 + 3 * width, '\0');
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
      row[1 + 3 * x] = static_cast<char>((pixel[x] >> 16) & 0xFF);
      row[2 + 3 * x] = static_cast<char>((pixel[x] >> 8) & 0xFF);
      row[3 + 3 * x] = static_cast<char>(pixel[x] & 0xFF);
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
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(image.width));
  PutBigEndian(header, static_cast<std::uint32_t>(image.height));
  header +=
      {'\x08', '\x02', '\x00', '\x00', '\x00'};  // 8 bits, RGB, deflate, no filter, no interlace

  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", Deflate(image));
  PutChunk(png, "IEND", {});
  return png;
}

void SavePng(const Image& image, const std::string& path) {
  TextRoutines::WriteWholeFile(path, PngBytes(image));
}

}  // namespace Kelvane
