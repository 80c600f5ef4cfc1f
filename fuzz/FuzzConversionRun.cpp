// Fuzz target: a whole conversion run over arbitrary input bytes, once as a
// map and once as one brush, with pictures on, writing into a temporary
// folder. The two runs read with two of the keyword search, the
// whole-format reader and the reader the input's header chooses, which of
// them by the input's length, so that each reader meets every input in
// both modes. A run may
// fail, but only with RunError; any other exception, a crash or a sanitizer
// report is a finding, and so is a run that libFuzzer's -timeout or
// -rss_limit_mb stops. A run that ends well must leave a complete document,
// numbered as the counter says, and the input as it was.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "app/run/ConversionRun.h"
#include "metafile/format/Document.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "run check failed: %s\n", what.c_str());
  std::abort();
}

std::string Folder;  // the temporary folder, made once per process

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) Fail("cannot write " + path);
}

// A window that does nothing while it waits and saves each texture like the
// command line does, into one file of the folder.
class FuzzWindow : public Kelvane::RunSink {
 public:
  void ShowPhase(Kelvane::RunPhase) override {}
  void ShowPosition(std::int32_t) override {}
  void ShowRow(std::size_t) override {}
  void ShowProcessed(std::int32_t) override {}
  void DoEvents() override {}
  std::string ChooseBitmapPath(int, const std::string&) override { return Folder + "/texture.bmp"; }
};

std::size_t Count(std::string_view text, std::string_view word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
    ++n;
  return n;
}

// The keyword reader, the whole-format reader, or the one the header names.
enum Reader { kKeywords, kWholeFormat, kByHeader, kReaders };

void RunOnce(std::string_view input, const char* scale, int mapOrBrush, Reader reader) {
  FuzzWindow window;
  Kelvane::ConversionRun run({.inputPath = Folder + "/in.3dmf",
                              .outputPath = Folder + "/out.t3d",
                              .scale = scale,
                              .oneBrush = mapOrBrush == 1,
                              .wholeFormat = reader == kWholeFormat,
                              .readerByHeader = reader == kByHeader,
                              .templatePath = Folder + "/StartMapFile.txt"},
                             window);
  const Kelvane::RunReport report = run.CommandGo_Click();
  if (report.failure) {
    // "input line L, column C": both from 1.
    const std::string& place = report.failure->place;
    if (place.find("line 0") != std::string::npos || place.find("column 0") != std::string::npos ||
        place.find("line -") != std::string::npos || place.find("column -") != std::string::npos)
      Fail("error place before the input's start");
    // The whole-format reader says where every fault of the input stands.
    if (report.wholeFormat && place.empty()) Fail("a whole-format run failed without a place");
  }
  const bool binary = input.substr(0, 4) == "3DMF" || input.substr(0, 4) == "FMD3";
  const bool wholeFormat = reader == kWholeFormat || binary ||
                           (reader == kByHeader && Kelvane::Metafile::BeginsWithMetafileHeader(input));
  if (report.wholeFormat != wholeFormat)
    Fail("the run chose another reader than the window and the input ask for");
  // The other reader is named only after a run it could stand in for.
  if (report.wholeFormatWouldRead && (report.wholeFormat || *report.wholeFormatWouldRead == 0))
    Fail("the whole-format reader was named after a run of its own, or for nothing");
  if (report.keywordsWouldWrite &&
      (!report.wholeFormat || reader != kByHeader || binary || *report.keywordsWouldWrite <= 0))
    Fail("the keyword reader was named where it cannot be chosen, or for nothing");
  if ((report.wholeFormatWouldRead || report.keywordsWouldWrite) && report.completed &&
      report.polygons > 0)
    Fail("another reader was named after a run that wrote polygons");
  if (report.completed) {
    const std::string output = ReadAll(Folder + "/out.t3d");
    const std::string_view tail = mapOrBrush == 1 ? "End PolyList\r\n" : "End Map\r\n";
    if (output.size() < tail.size() ||
        output.compare(output.size() - tail.size(), tail.size(), tail) != 0)
      Fail("a finished run left no document tail");
    if (Count(output, "Begin Polygon ") != static_cast<std::size_t>(report.polygons))
      Fail("polygon records and the counter disagree");
    if (report.wholeFormat && report.leftOut.triangles != static_cast<std::size_t>(report.polygons))
      Fail("the walk's triangles and the polygons written disagree");
  }
  if (ReadAll(Folder + "/in.3dmf") != input) Fail("the run changed its input");
  ::unlink((Folder + "/out.t3d").c_str());
  ::unlink((Folder + "/texture.bmp").c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Shared memory keeps the many small appends of a run off the disk.
  std::string base = "/dev/shm";
  if (::access(base.c_str(), W_OK) != 0) {
    const char* tmp = std::getenv("TMPDIR");
    base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string pattern = base + "/kelvane-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Fail("cannot make a folder under " + base);
  Folder = pattern;
  WriteAll(Folder + "/StartMapFile.txt", "Begin Map\r\n");
  std::atexit([] {
    ::unlink((Folder + "/in.3dmf").c_str());
    ::unlink((Folder + "/out.t3d").c_str());
    ::unlink((Folder + "/texture.bmp").c_str());
    ::unlink((Folder + "/StartMapFile.txt").c_str());
    ::rmdir(Folder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  WriteAll(Folder + "/in.3dmf", input);
  const auto first = static_cast<Reader>(size % kReaders);
  RunOnce(input, "20.0", 0, first);                                    // map, scaled
  RunOnce(input, "1.0", 1, static_cast<Reader>((first + 1) % kReaders));  // one brush, as read
  return 0;
}
