// Fuzz target: a whole conversion run over arbitrary input bytes, once as a
// map and once as one brush, with pictures on, writing into a temporary
// folder. One of the two runs reads with the keyword search and the other
// with the whole-format reader, which of them by the parity of the input's
// length, so that each reader meets every input and both modes. A run may
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

#include "app/ConversionRun.h"
#include "image/TexturePicture.h"
#include "t3d/Unreal.h"
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
// command line does: into a file of the folder, a failed save ignored.
class FuzzWindow : public Kelvane::RunWindow {
 public:
  FuzzWindow(std::string scale, int mapOrBrush, int wholeFormat)
      : scale_(std::move(scale)), mapOrBrush_(mapOrBrush), wholeFormat_(wholeFormat) {}

  std::string TextScale() override { return scale_; }
  std::string TextOutFileName() override { return Folder + "/out.t3d"; }
  std::string TextInFileName() override { return Folder + "/in.3dmf"; }
  int CheckDoPics() override { return 1; }
  int CheckMapOrBrush() override { return mapOrBrush_; }
  int CheckWholeFormat() override { return wholeFormat_; }
  void SetCommandGoEnabled(bool) override {}
  void SetLabelProgress(std::string_view) override {}
  void SetLabelPos(std::string_view) override {}
  void DoEvents() override {}
  Kelvane::TexturePicture& PictureTexture() override { return picture_; }
  std::string SaveTexturePicture() override {
    if (picture_.InnerWidth() == 0 || picture_.InnerHeight() == 0) return {};
    try {
      Kelvane::SaveBitmap(picture_, Folder + "/texture.bmp");
      return Folder + "/texture.bmp";
    } catch (const Kelvane::RunError&) {
      return {};
    }
  }

 private:
  std::string scale_;
  int mapOrBrush_;
  int wholeFormat_;
  // One pixel to start with: every texture sizes the box to itself, and a
  // large first box would cost each run a fill of its pixels.
  Kelvane::TexturePicture picture_{5 * Kelvane::TexturePicture::kTwipsPerPixel,
                                   5 * Kelvane::TexturePicture::kTwipsPerPixel, 2};
};

std::size_t Count(std::string_view text, std::string_view word) {
  std::size_t n = 0;
  for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
    ++n;
  return n;
}

void RunOnce(std::string_view input, const char* scale, int mapOrBrush, int wholeFormat) {
  FuzzWindow window(scale, mapOrBrush, wholeFormat);
  Kelvane::ConversionRun run(window);
  bool done = false;
  try {
    run.CommandGo_Click();
    done = true;
  } catch (const Kelvane::RunError& e) {
    if (const auto place = run.ErrorPlace()) {
      if (place->line < 1 || place->column < 1) Fail("error place before the input's start");
    }
    // The whole-format reader says where every fault of the input stands.
    if (run.UsedWholeFormat() && e.Place().empty() && run.ErrorPlaceText().empty())
      Fail("a whole-format run failed without a place");
  }
  const bool binary = input.substr(0, 4) == "3DMF" || input.substr(0, 4) == "FMD3";
  if (run.UsedWholeFormat() != (wholeFormat != 0 || binary))
    Fail("the run chose another reader than the window and the input ask for");
  if (done) {
    const std::string output = ReadAll(Folder + "/out.t3d");
    const std::string_view tail = mapOrBrush == 1 ? "End PolyList\r\n" : "End Map\r\n";
    if (output.size() < tail.size() ||
        output.compare(output.size() - tail.size(), tail.size(), tail) != 0)
      Fail("a finished run left no document tail");
    if (Count(output, "Begin Polygon ") != static_cast<std::size_t>(Unreal::PolygonLinkCounter))
      Fail("polygon records and the counter disagree");
    if (run.UsedWholeFormat() &&
        run.Summary().triangles != static_cast<std::size_t>(Unreal::PolygonLinkCounter))
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
  Unreal::SetTemplatePath(Folder + "/StartMapFile.txt");
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
  const int wholeFormat = size % 2 == 1 ? 1 : 0;
  RunOnce(input, "20.0", 0, wholeFormat);     // map, scaled
  RunOnce(input, "1.0", 1, 1 - wholeFormat);  // one brush, as read
  return 0;
}
