// kelvane-floor: the least work a conversion can do. It reads the input as
// the run does, then appends pieces of the sizes a conversion wrote, each
// with its own open, write and close, as the run must. Its time is the
// floor that the conversion's time is measured against.
//
//   kelvane-floor --split DOCUMENT SIZES [TEMPLATE]   piece sizes of a document
//   kelvane-floor INPUT SIZES OUTPUT                   the floor run itself

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
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

int Floor(const std::string& inputPath, const std::string& sizesPath,
          const std::string& outputPath) {
  // Read the same way as the run, and kept to the end as the run keeps it.
  const std::string input = TextRoutines::ReadTextFile(inputPath);
  const std::string sizeBytes = Slurp(sizesPath);
  std::vector<std::uint32_t> sizes(sizeBytes.size() / sizeof(std::uint32_t));
  std::memcpy(sizes.data(), sizeBytes.data(), sizes.size() * sizeof(std::uint32_t));
  const std::uint32_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
  // Text of the kind the run writes; the kernel's cost does not depend on it.
  const std::string line = "Vertex 00012.34567,-00001.00000,00003.50000\r\n";
  std::string filler;
  while (filler.size() < largest) filler += line;
  std::uint64_t written = 0;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (i == 0 ? O_TRUNC : O_APPEND);
    const int fd = ::open(outputPath.c_str(), flags, 0666);
    if (fd < 0) Fail(outputPath);
    WriteAll(fd, filler.data(), sizes[i], outputPath);
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
  if (argc == 4) return Floor(argv[1], argv[2], argv[3]);
  std::fprintf(stderr,
               "Usage: kelvane-floor --split DOCUMENT SIZES [TEMPLATE]\n"
               "       kelvane-floor INPUT SIZES OUTPUT\n");
  return 2;
}
