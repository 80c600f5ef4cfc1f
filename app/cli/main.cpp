// kelvane-convert: the conversion run from the command line.

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/ConversionRun.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

namespace {

constexpr const char* kVersion = "0.1.0";

constexpr const char* kUsage =
    "Usage: kelvane-convert INPUT [OUTPUT] [options]\n"
    "Converts a 3DMF model into an Unreal T3D document and saves its\n"
    "textures as Windows bitmaps.\n"
    "\n"
    "  OUTPUT           the T3D file to write (default: INPUT without its\n"
    "                   extension, followed by .t3d)\n"
    "  --scale TEXT     scale factor applied to every point (default 20.0)\n"
    "  --one-brush      write all objects into one brush instead of a map\n"
    "  --reader NAME    keywords (default): find objects by their keywords;\n"
    "                   3dmf: read the whole 3DMF format (groups, transforms,\n"
    "                   references, every surface kind); a binary 3DMF file\n"
    "                   is always read this way\n"
    "  --no-pictures    do not read the textures\n"
    "  --textures DIR   folder for the texture bitmaps (default: the output's)\n"
    "  --template FILE  map template (default: StartMapFile.txt beside this program)\n"
    "  --quiet          no progress line and no summary\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when the conversion fails, 2 for a usage error.\n";

struct Options {
  std::string input;
  std::string output;
  std::string scale = "20.0";
  bool oneBrush = false;
  bool pictures = true;
  std::string texturesDir;
  std::string templatePath;
  bool quiet = false;
  bool wholeFormat = false;
};

// The window of a run without a window: settings from the arguments,
// progress on the terminal, textures saved beside the output.
class CommandLineWindow : public Kelvane::RunWindow {
 public:
  explicit CommandLineWindow(const Options& options)
      : options_(options), picture_(5055, 4425, 2), showProgress_(!options.quiet && ::isatty(2)) {}

  void Attach(const Kelvane::ConversionRun* run) { run_ = run; }

  std::string TextScale() override { return options_.scale; }
  std::string TextOutFileName() override { return options_.output; }
  std::string TextInFileName() override { return options_.input; }
  int CheckDoPics() override { return options_.pictures ? 1 : 0; }
  int CheckMapOrBrush() override { return options_.oneBrush ? 1 : 0; }
  int CheckWholeFormat() override { return options_.wholeFormat ? 1 : 0; }
  void SetCommandGoEnabled(bool) override {}
  void SetLabelProgress(std::string_view) override {}
  void SetLabelPos(std::string_view caption) override {
    if (caption == "Reading file..") phase_ = "Reading";
    if (caption == "Parsing file..") phase_ = "Converting";
  }
  void DoEvents() override {
    if (!showProgress_ || (++calls_ & 1023) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ < std::chrono::milliseconds(250)) return;
    lastShown_ = now;
    ShowProgress();
  }
  Kelvane::TexturePicture& PictureTexture() override { return picture_; }

  void SaveTexturePicture() override {
    ++textures_;
    const std::string path = BitmapPath(textures_);
    if (picture_.InnerWidth() == 0 || picture_.InnerHeight() == 0) {
      Warn("texture " + std::to_string(textures_) + " is " + std::to_string(picture_.InnerWidth()) +
           " x " + std::to_string(picture_.InnerHeight()) + " pixels: no bitmap written");
      return;
    }
    // Bitmap names come from the output's name, so an input or output
    // that happens to be called like one must not be written over.
    for (const std::string* file : {&options_.input, &options_.output}) {
      if (Kelvane::SameExistingFile(path, *file)) {
        Warn("texture " + std::to_string(textures_) + " not saved: \"" + path + "\" is " +
             (file == &options_.input ? "the input" : "the output"));
        return;
      }
    }
    try {
      Kelvane::SaveBitmap(picture_, path);
      bitmaps_.push_back(path);
    } catch (const Kelvane::RunError& e) {
      Warn("texture " + std::to_string(textures_) + " not saved: " + e.what());
    }
  }

  void ClearProgress() {
    if (progressShown_) std::fputs("\r\033[K", stderr);
    progressShown_ = false;
  }
  const std::vector<std::string>& Bitmaps() const { return bitmaps_; }

 private:
  std::string BitmapPath(int number) const {
    std::string base = TextRoutines::StripExtension(options_.output);
    if (!options_.texturesDir.empty()) {
      base = (std::filesystem::path(options_.texturesDir) / std::filesystem::path(base).filename())
                 .string();
    }
    return base + "_" + std::to_string(number) + ".bmp";
  }

  void ShowProgress() {
    std::string line = "\r" + phase_;
    if (run_ != nullptr && run_->InputLength() > 0 && phase_ == "Converting") {
      const double share =
          100.0 * (run_->ScanPosition() - 1) / static_cast<double>(run_->InputLength());
      line += ": " +
              std::to_string(static_cast<int>(share < 0     ? 0
                                              : share > 100 ? 100
                                                            : share)) +
              "% of the input, " + std::to_string(Unreal::PolygonLinkCounter) + " polygons";
    }
    line += "\033[K";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    progressShown_ = true;
  }

  void Warn(const std::string& text) {
    ClearProgress();
    std::fprintf(stderr, "kelvane-convert: warning: %s\n", text.c_str());
  }

  const Options& options_;
  Kelvane::TexturePicture picture_;
  const Kelvane::ConversionRun* run_ = nullptr;
  bool showProgress_;
  bool progressShown_ = false;
  std::string phase_ = "Starting";
  std::uint32_t calls_ = 0;
  std::chrono::steady_clock::time_point lastShown_{};
  int textures_ = 0;
  std::vector<std::string> bitmaps_;
};

[[noreturn]] void UsageError(const std::string& text) {
  std::fprintf(stderr, "kelvane-convert: %s\n\n%s", text.c_str(), kUsage);
  std::exit(2);
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const std::string& name) -> std::string {
      if (i + 1 >= argc) UsageError(name + " needs a value");
      return argv[++i];  // taken as it stands, also when empty or starting with "-"
    };
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("kelvane-convert %s\n", kVersion);
      std::exit(0);
    } else if (arg == "--scale") {
      options.scale = value(arg);
    } else if (arg.rfind("--scale=", 0) == 0) {
      options.scale = arg.substr(8);
    } else if (arg == "--reader" || arg.rfind("--reader=", 0) == 0) {
      const std::string name = arg == "--reader" ? value(arg) : arg.substr(9);
      if (name == "keywords") {
        options.wholeFormat = false;
      } else if (name == "3dmf") {
        options.wholeFormat = true;
      } else {
        UsageError("--reader takes keywords or 3dmf, not \"" + name + "\"");
      }
    } else if (arg == "--one-brush") {
      options.oneBrush = true;
    } else if (arg == "--no-pictures") {
      options.pictures = false;
    } else if (arg == "--textures") {
      options.texturesDir = value(arg);
    } else if (arg.rfind("--textures=", 0) == 0) {
      options.texturesDir = arg.substr(11);
    } else if (arg == "--template") {
      options.templatePath = value(arg);
    } else if (arg.rfind("--template=", 0) == 0) {
      options.templatePath = arg.substr(11);
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else {
      UsageError("unknown option " + arg);
    }
  }
  if (positional.empty()) UsageError("no INPUT given");
  if (positional.size() > 2) UsageError("too many arguments: " + positional[2]);
  options.input = positional[0];
  if (positional.size() == 2) {
    options.output = positional[1];
  } else {
    try {
      options.output = TextRoutines::StripExtension(options.input) + ".t3d";
    } catch (const Kelvane::RunError& e) {
      UsageError(std::string("INPUT: ") + e.what());
    }
  }
  if (options.input.empty()) UsageError("INPUT is empty");
  if (options.output.empty()) UsageError("OUTPUT is empty");
  return options;
}

// After the keyword reader failed or wrote no polygon: a line that says
// when the whole-format reader reads the file.
void SuggestWholeFormat(const Kelvane::ConversionRun& run) {
  if (run.UsedWholeFormat()) return;
  if (const auto objects = run.WholeFormatWouldRead()) {
    std::fprintf(stderr,
                 "kelvane-convert: note: the 3DMF reader reads this file (%zu geometry object%s);"
                 " try --reader 3dmf\n",
                 *objects, *objects == 1 ? "" : "s");
  }
}

// What the whole-format reader left out, one line each.
std::vector<std::string> SummaryNotes(const Kelvane::Metafile::SceneSummary& summary) {
  std::vector<std::string> notes;
  const auto list = [](const std::map<std::string, std::size_t>& kinds) {
    std::string text;
    for (const auto& [kind, count] : kinds) {
      if (!text.empty()) text += ", ";
      text += std::to_string(count) + " " + kind;
    }
    return text;
  };
  if (!summary.noSurface.empty()) {
    notes.push_back("skipped shapes without surface (curves, lines, points): " +
                    list(summary.noSurface));
  }
  if (summary.untrimmedPatches > 0) {
    notes.push_back("trim curves not applied to " + std::to_string(summary.untrimmedPatches) +
                    " NURB patch" + (summary.untrimmedPatches == 1 ? "" : "es") +
                    ": the whole patch is converted");
  }
  if (!summary.unknown.empty()) {
    notes.push_back("skipped objects of kinds this reader does not know: " + list(summary.unknown));
  }
  if (summary.strayEndGroups > 0) {
    notes.push_back("ignored " + std::to_string(summary.strayEndGroups) +
                    " EndGroup that closed no group");
  }
  return notes;
}

}  // namespace

int main(int argc, char** argv) {
  // A write beyond a file-size limit then fails with an error instead of
  // ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  const Options options = ParseArguments(argc, argv);
  if (!options.templatePath.empty()) Unreal::SetTemplatePath(options.templatePath);

  CommandLineWindow window(options);
  Kelvane::ConversionRun run(window);
  window.Attach(&run);
  try {
    run.CommandGo_Click();
  } catch (const Kelvane::RunError& e) {
    window.ClearProgress();
    std::string line =
        "kelvane-convert: " + std::string(Kelvane::KindName(e.Kind())) + ": " + e.what();
    const std::string place = e.Place().empty() ? run.ErrorPlaceText() : e.Place();
    if (!place.empty()) line += " (" + place + ")";
    std::fprintf(stderr, "%s\n", line.c_str());
    SuggestWholeFormat(run);
    return 1;
  } catch (const std::bad_alloc&) {
    window.ClearProgress();
    std::fprintf(stderr, "kelvane-convert: Out of memory while converting \"%s\"\n",
                 options.input.c_str());
    return 1;
  }
  window.ClearProgress();
  if (!options.quiet) {
    const auto counted = [](std::size_t n, const char* noun) {
      return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
    };
    std::string line = "Wrote " + options.output + ": " +
                       counted(static_cast<std::size_t>(Unreal::PolygonLinkCounter), "polygon") +
                       ", " + counted(window.Bitmaps().size(), "bitmap");
    for (std::size_t i = 0; i < window.Bitmaps().size(); ++i)
      line += (i == 0 ? ": " : ", ") + window.Bitmaps()[i];
    std::printf("%s\n", line.c_str());
    if (run.UsedWholeFormat()) {
      for (const std::string& note : SummaryNotes(run.Summary()))
        std::printf("  %s\n", note.c_str());
    }
  }
  if (!run.UsedWholeFormat() && Unreal::PolygonLinkCounter == 0) SuggestWholeFormat(run);
  return 0;
}
