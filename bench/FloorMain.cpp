// kelvane-floor: the least work a conversion can do. It reads the input as
// the run does, then appends pieces of the sizes a conversion wrote, each
// with its own open, write and close, as the run must. Its time is the
// floor that the conversion's time is measured against.
//
// An editor document goes out in blocks of one stream: its floor is the
// reading and the same bytes written once, in blocks of that size.
//
//   kelvane-floor --split DOCUMENT SIZES [TEMPLATE]   piece sizes of a document
//   kelvane-floor --blocks DOCUMENT SIZES BLOCK        the document in blocks
//   kelvane-floor INPUT SIZES OUTPUT                   the floor run itself

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/Pieces.h"
#include "text/RunError.h"
#include "text/Files.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "kelvane-floor: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

// Read through the program's own routine: a stream read byte by byte would
// cost more than the writes it sets up and hide the conversion's own work.
std::string Slurp(const std::string& path) {
  try {
    return TextRoutines::ReadWholeFile(path);
  } catch (const RunError& e) {
    std::fprintf(stderr, "kelvane-floor: %s\n", e.what());
    std::exit(1);
  }
}

int Split(const std::string& documentPath, const std::string& sizesPath,
          const std::string& templatePath) {
  const std::string document = Slurp(documentPath);
  std::size_t templateBytes = 0;
  if (!templatePath.empty()) {
    struct stat info {};
    if (::stat(templatePath.c_str(), &info) != 0) Fail(templatePath);
    templateBytes = static_cast<std::size_t>(info.st_size);
  }
  const std::vector<std::uint32_t> sizes = BenchPieces::SplitPieces(document, templateBytes);
  std::ofstream out(sizesPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(sizes.data()),
            static_cast<std::streamsize>(sizes.size() * sizeof(std::uint32_t)));
  if (!out) Fail(sizesPath);
  std::printf("%zu pieces, %zu bytes\n", sizes.size(), document.size());
  return 0;
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(path);
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// The document's length as pieces of `block` bytes and the rest.
int SplitBlocks(const std::string& documentPath, const std::string& sizesPath,
                const std::string& blockText) {
  struct stat info {};
  if (::stat(documentPath.c_str(), &info) != 0) Fail(documentPath);
  const std::uint64_t block = std::strtoull(blockText.c_str(), nullptr, 10);
  if (block == 0 || block > UINT32_MAX) {
    std::fprintf(stderr, "kelvane-floor: a block is 1 to 4294967295 bytes\n");
    std::exit(2);
  }
  std::vector<std::uint32_t> sizes;
  for (auto left = static_cast<std::uint64_t>(info.st_size); left > 0;) {
    const std::uint64_t size = std::min(left, block);
    sizes.push_back(static_cast<std::uint32_t>(size));
    left -= size;
  }
  std::ofstream out(sizesPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(sizes.data()),
            static_cast<std::streamsize>(sizes.size() * sizeof(std::uint32_t)));
  if (!out) Fail(sizesPath);
  std::printf("%zu pieces, %lld bytes\n", sizes.size(), static_cast<long long>(info.st_size));
  return 0;
}

int Floor(const std::string& inputPath, const std::string& sizesPath,
          const std::string& outputPath) {
  // Read the same way as the run, and kept to the end as the run keeps it.
  const std::string input = TextRoutines::ReadTextFile(inputPath);
  const std::string sizeBytes = Slurp(sizesPath);
  std::vector<std::uint32_t> sizes(sizeBytes.size() / sizeof(std::uint32_t));
  std::memcpy(sizes.data(), sizeBytes.data(), sizes.size() * sizeof(std::uint32_t));
  const std::uint32_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
  // Text of the kind the run writes; the kernel's cost does not depend on
  // it. Only the first 64 KiB are filled in: what lies past them in a block
  // of a stream costs the floor nothing to make, as it should (the fresh
  // pages of a large allocation hold zeros).
  const std::string_view line = "Vertex 00012.34567,-00001.00000,00003.50000\r\n";
  const std::size_t room = std::max<std::size_t>(largest, line.size());
  const auto filler = std::make_unique_for_overwrite<char[]>(room);
  std::memset(filler.get(), 0, std::min<std::size_t>(room, 65536));
  for (std::size_t at = 0; at + line.size() <= std::min<std::size_t>(room, 65536);
       at += line.size()) {
    std::memcpy(filler.get() + at, line.data(), line.size());
  }
  std::uint64_t written = 0;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (i == 0 ? O_TRUNC : O_APPEND);
    const int fd = ::open(outputPath.c_str(), flags, 0666);
    if (fd < 0) Fail(outputPath);
    WriteAll(fd, filler.get(), sizes[i], outputPath);
    if (::close(fd) != 0) Fail(outputPath);
    written += sizes[i];
  }
  std::printf("read %zu bytes, wrote %zu pieces, %llu bytes\n", input.size(), sizes.size(),
              static_cast<unsigned long long>(written));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && argc <= 5 && std::strcmp(argv[1], "--split") == 0) {
    return Split(argv[2], argv[3], argc == 5 ? argv[4] : "");
  }
  if (argc == 5 && std::strcmp(argv[1], "--blocks") == 0) {
    return SplitBlocks(argv[2], argv[3], argv[4]);
  }
  if (argc == 4) return Floor(argv[1], argv[2], argv[3]);
  std::fprintf(stderr,
               "Usage: kelvane-floor --split DOCUMENT SIZES [TEMPLATE]\n"
               "       kelvane-floor --blocks DOCUMENT SIZES BLOCK\n"
               "       kelvane-floor INPUT SIZES OUTPUT\n");
  return 2;
}
