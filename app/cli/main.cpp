// kelvane-convert: the conversion run from the command line. One file is
// converted in this process; many files each in a child process of this
// same program, since the run keeps global state (the polygon link counter,
// the template path) that would make one file's output depend on another's.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/ConversionRun.h"
#include "image/Palette.h"
#include "platform/Platform.h"
#include "preview/Preview.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

using namespace Kelvane;

namespace {

namespace fs = std::filesystem;
using Platform::PathOf;
using Platform::TextOf;

constexpr const char* kVersion = "0.1.0";

constexpr const char* kUsage =
    "Usage: kelvane-convert INPUT [OUTPUT] [options]\n"
    "       kelvane-convert INPUT... [--out-dir DIR] [--jobs N] [--recursive] [options]\n"
    "Converts 3DMF models into Unreal T3D documents and saves their textures as\n"
    "Windows bitmaps.\n"
    "\n"
    "  OUTPUT             the T3D file to write (default: INPUT without its\n"
    "                     extension, followed by .t3d); never a 3DMF model\n"
    "  INPUT...           with --out-dir, with three or more paths, or with a folder\n"
    "                     among them, every path is an input and each converts to\n"
    "                     its own <input without extension>.t3d; a folder gives its\n"
    "                     .3dmf files (any letter case) in sorted order\n"
    "  --out-dir DIR      write the T3D documents into DIR (made when missing)\n"
    "                     instead of beside their inputs\n"
    "  --jobs N           convert up to N files at once (default: the number of cores)\n"
    "  --recursive        also take the .3dmf files in the folders' subfolders\n"
    "  --scale TEXT       scale factor applied to every point (default 20.0)\n"
    "  --one-brush        write all objects into one brush instead of a map\n"
    "  --reader NAME      keywords (default): find objects by their keywords;\n"
    "                     3dmf: read the whole 3DMF format (groups, transforms,\n"
    "                     references, every surface kind); a binary 3DMF file\n"
    "                     is always read this way\n"
    "  --no-pictures      do not read the textures\n"
    "  --uv               polygons of textured objects name their texture and carry\n"
    "                     the model's own texture mapping (reads with the 3DMF\n"
    "                     reader; texture names are the bitmaps' names)\n"
    "  --pow2             resample textures whose sides are not powers of two to the\n"
    "                     next ones up (reads with the 3DMF reader)\n"
    "  --bitmap-depth N   24 (default): true-colour bitmaps; 8: 256-colour bitmaps\n"
    "                     with a palette, as older editors need\n"
    "  --textures DIR     folder for the texture bitmaps (default: the output's)\n"
    "  --template FILE    map template (default: StartMapFile.txt beside this program,\n"
    "                     else in ../share/kelvane/ from it)\n"
    "  --preview FILE     after the conversion, draw the T3D's polygons into the PNG\n"
    "                     picture FILE (one input only)\n"
    "  --preview-size WxH size of that picture in pixels (default 800x600)\n"
    "  --quiet            no progress line and no summary\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Every option applies to every input. With many inputs the program ends with\n"
    "one line per file (result, polygons, seconds) and a total line.\n"
    "\n"
    "Exit status: 0 when every file converted, 1 when any conversion failed,\n"
    "2 for a usage error (then nothing is written).\n";

// A child's last stdout line under the hidden option --result-line:
// "<tag> converted|failed POLYGONS BITMAPS [ERROR TEXT]". A line of its own
// is sturdier than reading the counts back from the written document.
constexpr std::string_view kResultTag = "kelvane-convert-result";

constexpr int kMaxJobs = 256;
constexpr int kMaxPreviewSide = 16384;

struct Options {
  std::vector<std::string> paths;  // as given, in order
  std::string input;
  std::string output;
  std::string scale = "20.0";
  bool oneBrush = false;
  bool pictures = true;
  std::string texturesDir;
  std::string templatePath;
  bool quiet = false;
  bool wholeFormat = false;
  bool keywordsAsked = false;  // --reader keywords given
  bool textureMapping = false;
  bool powerOfTwo = false;
  int bitmapDepth = 24;
  std::string outDir;
  bool outDirGiven = false;
  int jobs = 0;  // 0: the number of cores
  bool recursive = false;
  std::string preview;
  int previewWidth = 800;
  int previewHeight = 600;
  bool resultLine = false;  // set by the batch parent for its children only
};

class CommandLineWindow : public Kelvane::RunWindow {
 public:
  explicit CommandLineWindow(const Options& options)
      : options_(options),
        picture_(5055, 4425, 2),
        showProgress_(!options.quiet && Platform::StandardErrorIsTerminal()) {}

  void Attach(const Kelvane::ConversionRun* run) { run_ = run; }

  std::string TextScale() override { return options_.scale; }
  std::string TextOutFileName() override { return options_.output; }
  std::string TextInFileName() override { return options_.input; }
  int CheckDoPics() override { return options_.pictures ? 1 : 0; }
  int CheckMapOrBrush() override { return options_.oneBrush ? 1 : 0; }
  int CheckWholeFormat() override { return options_.wholeFormat ? 1 : 0; }
  int CheckTextureMapping() override { return options_.textureMapping ? 1 : 0; }
  int CheckPowerOfTwo() override { return options_.powerOfTwo ? 1 : 0; }
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

  std::string SaveTexturePicture() override {
    ++textures_;
    const std::string path = BitmapPath(textures_);
    if (picture_.InnerWidth() == 0 || picture_.InnerHeight() == 0) {
      Warn("texture " + std::to_string(textures_) + " is " + std::to_string(picture_.InnerWidth()) +
           " x " + std::to_string(picture_.InnerHeight()) + " pixels: no bitmap written");
      return {};
    }
    // Bitmap names come from the output's name, so an input or output
    // that happens to be called like one must not be written over.
    for (const std::string* file : {&options_.input, &options_.output}) {
      if (Kelvane::SameExistingFile(path, *file)) {
        Warn("texture " + std::to_string(textures_) + " not saved: \"" + path + "\" is " +
             (file == &options_.input ? "the input" : "the output"));
        return {};
      }
    }
    try {
      Kelvane::SaveBitmap(picture_, path, options_.bitmapDepth);
      bitmaps_.push_back(path);
      return path;
    } catch (const Kelvane::RunError& e) {
      Warn("texture " + std::to_string(textures_) + " not saved: " + e.what());
      return {};
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
      base = TextOf(PathOf(options_.texturesDir) / PathOf(base).filename());
    }
    const std::string path = base + "_" + std::to_string(number) + ".bmp";
    return options_.textureMapping ? Kelvane::TextureBitmapPath(path) : path;
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

// A whole decimal number from `low` to `high`, or nothing.
std::optional<int> WholeNumber(std::string_view text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

void ParsePreviewSize(const std::string& text, Options& options) {
  const std::size_t x = text.find_first_of("xX");
  const auto width = WholeNumber(std::string_view(text).substr(0, x), 1, kMaxPreviewSide);
  const auto height = x == std::string::npos
                          ? std::nullopt
                          : WholeNumber(std::string_view(text).substr(x + 1), 1, kMaxPreviewSide);
  if (!width || !height) {
    UsageError("--preview-size takes WIDTHxHEIGHT, each from 1 to " +
               std::to_string(kMaxPreviewSide) + " pixels (like 800x600), not \"" + text + "\"");
  }
  options.previewWidth = *width;
  options.previewHeight = *height;
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    // "--name VALUE" or "--name=VALUE"; the value is taken as it stands,
    // also when empty or starting with "-".
    std::string value;
    const auto takes = [&](const char* name) {
      const std::string flag = name;
      if (arg == flag) {
        if (i + 1 >= argc) UsageError(flag + " needs a value");
        value = argv[++i];
        return true;
      }
      if (arg.rfind(flag + "=", 0) == 0) {
        value = arg.substr(flag.size() + 1);
        return true;
      }
      return false;
    };
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("kelvane-convert %s\n", kVersion);
      std::exit(0);
    } else if (takes("--scale")) {
      options.scale = value;
    } else if (takes("--reader")) {
      if (value == "keywords") {
        options.wholeFormat = false;
        options.keywordsAsked = true;
      } else if (value == "3dmf") {
        options.wholeFormat = true;
        options.keywordsAsked = false;
      } else {
        UsageError("--reader takes keywords or 3dmf, not \"" + value + "\"");
      }
    } else if (arg == "--one-brush") {
      options.oneBrush = true;
    } else if (arg == "--no-pictures") {
      options.pictures = false;
    } else if (arg == "--uv") {
      options.textureMapping = true;
    } else if (arg == "--pow2") {
      options.powerOfTwo = true;
    } else if (takes("--bitmap-depth")) {
      if (value != "8" && value != "24") {
        UsageError("--bitmap-depth takes 8 or 24, not \"" + value + "\"");
      }
      if (value == "8" && !Kelvane::PaletteInThisBuild()) {
        UsageError(
            "--bitmap-depth 8 is not in this build (it is made without Leptonica); "
            "use --bitmap-depth 24");
      }
      options.bitmapDepth = value == "8" ? 8 : 24;
    } else if (takes("--textures")) {
      options.texturesDir = value;
    } else if (takes("--template")) {
      options.templatePath = value;
    } else if (arg == "--quiet" || arg == "-q") {
      options.quiet = true;
    } else if (takes("--out-dir")) {
      if (value.empty()) UsageError("--out-dir is empty");
      options.outDir = value;
      options.outDirGiven = true;
    } else if (takes("--jobs")) {
      const auto jobs = WholeNumber(value, 1, kMaxJobs);
      if (!jobs) {
        UsageError("--jobs takes a whole number from 1 to " + std::to_string(kMaxJobs) +
                   ", not \"" + value + "\"");
      }
      options.jobs = *jobs;
    } else if (arg == "--recursive" || arg == "-r") {
      options.recursive = true;
    } else if (takes("--preview")) {
      if (value.empty()) UsageError("--preview is empty");
      options.preview = value;
    } else if (takes("--preview-size")) {
      ParsePreviewSize(value, options);
    } else if (arg == "--result-line") {
      options.resultLine = true;
    } else {
      UsageError("unknown option " + arg);
    }
  }
  if (options.paths.empty()) UsageError("no INPUT given");
  if (options.textureMapping || options.powerOfTwo) {
    const char* option = options.textureMapping ? "--uv" : "--pow2";
    if (options.keywordsAsked) UsageError(std::string(option) + " needs --reader 3dmf");
    if (options.textureMapping && !options.pictures) {
      UsageError("--uv names the texture bitmaps, which --no-pictures leaves out");
    }
    options.wholeFormat = true;
  }
  return options;
}

// With --out-dir, three or more paths, or a folder among them, every path
// is an input. A child of a batch is always one conversion, so that no
// argument can make it start a batch of its own.
bool IsBatch(const Options& options) {
  if (options.resultLine) return false;
  if (options.outDirGiven || options.paths.size() > 2) return true;
  std::error_code ignored;
  return std::any_of(options.paths.begin(), options.paths.end(), [&](const std::string& path) {
    return fs::is_directory(PathOf(path), ignored);
  });
}

// Whether `path` is a 3DMF model, text or binary in either byte order: a
// file that a T3D document must never be written over.
bool IsMetafileModel(const std::string& path) {
  std::error_code ignored;
  if (!fs::is_regular_file(PathOf(path), ignored)) return false;  // a FIFO would block the read
  std::ifstream in(PathOf(path), std::ios::binary);
  char head[10] = {};
  in.read(head, sizeof head);
  const std::string_view start(head, static_cast<std::size_t>(in.gcount()));
  return start.substr(0, 4) == "3DMF" || start.substr(0, 4) == "FMD3" || start == "3DMetafile";
}

std::string DefaultOutput(const std::string& input) {
  try {
    return TextRoutines::StripExtension(input) + ".t3d";
  } catch (const Kelvane::RunError& e) {
    UsageError("INPUT: " + std::string(e.what()));
  }
}

// The checks on the output and the preview picture that are the same for
// one conversion and for each of a batch; all before anything is written.
void CheckOutputs(const std::string& input, const std::string& output, const Options& options) {
  std::error_code ignored;
  if (fs::is_directory(PathOf(output), ignored)) {
    UsageError("the output \"" + output + "\" is a folder; give --out-dir to write into it");
  }
  // Running over the input itself is the run's own error ("Same file").
  if (IsMetafileModel(output) && !Kelvane::SameExistingFile(input, output)) {
    UsageError("will not write a T3D document over \"" + output +
               "\": it is a 3DMF model. To convert several models, give --out-dir DIR "
               "(each model then converts to DIR/<name>.t3d)");
  }
  if (options.preview.empty()) return;
  if (options.preview == output || Kelvane::SameExistingFile(options.preview, output) ||
      Kelvane::SameExistingFile(options.preview, input) || IsMetafileModel(options.preview)) {
    UsageError("--preview \"" + options.preview + "\" names the input, the output or a 3DMF model");
  }
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

// What became of the textured polygons under --uv.
std::vector<std::string> MappingNotes(const Kelvane::ConversionRun::MappingSummary& mapping) {
  std::vector<std::string> notes;
  const auto polygons = [](std::int64_t n) {
    return std::to_string(n) + (n == 1 ? " polygon" : " polygons");
  };
  if (mapping.mapped > 0) {
    notes.push_back(polygons(mapping.mapped) + " carry the model's texture mapping");
  }
  if (mapping.withoutUV > 0) {
    notes.push_back(polygons(mapping.withoutUV) +
                    " of textured objects have corners without UVs: texture axes from their "
                    "edges");
  }
  if (mapping.flat > 0) {
    notes.push_back(polygons(mapping.flat) +
                    " have UVs without area: texture axes from their edges");
  }
  if (mapping.bitmapMissing > 0) {
    notes.push_back(polygons(mapping.bitmapMissing) +
                    " name no texture: their texture's bitmap was not saved");
  }
  return notes;
}

void PrintWarnings(const Kelvane::ConversionRun& run) {
  for (const std::string& warning : run.Warnings())
    std::fprintf(stderr, "kelvane-convert: warning: %s\n", warning.c_str());
}

// A text on one line, for the result line a batch parent reads.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

void PrintResultLine(const Options& options, bool converted, std::size_t bitmaps,
                     const std::string& error) {
  if (!options.resultLine) return;
  std::string line = std::string(kResultTag) + (converted ? " converted " : " failed ") +
                     std::to_string(Unreal::PolygonLinkCounter) + " " + std::to_string(bitmaps);
  if (!error.empty()) line += " " + OneLine(error);
  std::printf("%s\n", line.c_str());
}

// After a conversion: the picture is an extra, so a failure only warns.
void WritePreview(const Options& options, CommandLineWindow& window) {
  if (options.preview.empty()) return;
  std::string failure;
  try {
    Kelvane::Preview::WritePreviewPng(options.output, options.preview, options.previewWidth,
                                      options.previewHeight);
  } catch (const Kelvane::RunError& e) {
    failure = e.what();
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  }
  window.ClearProgress();
  if (!failure.empty()) {
    std::fprintf(stderr, "kelvane-convert: warning: preview not written: %s\n", failure.c_str());
  } else if (!options.quiet) {
    std::printf("Wrote preview %s: %d x %d pixels\n", options.preview.c_str(), options.previewWidth,
                options.previewHeight);
  }
}

// One conversion in this process: INPUT [OUTPUT].
int ConvertOne(Options options) {
  options.input = options.paths[0];
  if (options.paths.size() == 2) {
    options.output = options.paths[1];
  } else {
    options.output = DefaultOutput(options.input);
  }
  if (options.input.empty()) UsageError("INPUT is empty");
  if (options.output.empty()) UsageError("OUTPUT is empty");
  CheckOutputs(options.input, options.output, options);
  if (!options.templatePath.empty()) Unreal::SetTemplatePath(options.templatePath);

  CommandLineWindow window(options);
  Kelvane::ConversionRun run(window);
  window.Attach(&run);
  try {
    run.CommandGo_Click();
  } catch (const Kelvane::RunError& e) {
    window.ClearProgress();
    std::string error = std::string(Kelvane::KindName(e.Kind())) + ": " + e.what();
    const std::string place = run.ErrorPlaceOf(e);
    if (!place.empty()) error += " (" + place + ")";
    PrintWarnings(run);
    std::fprintf(stderr, "kelvane-convert: %s\n", error.c_str());
    SuggestWholeFormat(run);
    PrintResultLine(options, false, window.Bitmaps().size(), error);
    return 1;
  } catch (const std::bad_alloc&) {
    window.ClearProgress();
    const std::string error = "Out of memory while converting \"" + options.input + "\"";
    std::fprintf(stderr, "kelvane-convert: %s\n", error.c_str());
    PrintResultLine(options, false, window.Bitmaps().size(), error);
    return 1;
  }
  window.ClearProgress();
  PrintWarnings(run);
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
      if (options.textureMapping) {
        for (const std::string& note : MappingNotes(run.Mapping()))
          std::printf("  %s\n", note.c_str());
      }
    }
  }
  if (!run.UsedWholeFormat() && Unreal::PolygonLinkCounter == 0) SuggestWholeFormat(run);
  WritePreview(options, window);
  PrintResultLine(options, true, window.Bitmaps().size(), "");
  return 0;
}

// ---- Many files: each converts in a child process of this program ----

struct BatchFile {
  std::string input;
  std::string output{};
  bool converted = false;
  long long polygons = -1;  // -1: the child gave no count
  long long bitmaps = 0;
  std::string error{};      // why it failed, with its place
  std::string childText{};  // the child's stderr: warnings, the error, notes
  double seconds = 0;
};

bool HasModelExtension(const fs::path& path) {
  std::string extension = TextOf(path.extension());
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".3dmf";
}

// The .3dmf files of a folder (and its subfolders when asked), sorted.
std::vector<std::string> ModelsInFolder(const std::string& folder, bool recursive) {
  std::vector<std::string> found;
  std::error_code error;
  const auto take = [&](const fs::directory_entry& entry) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored) && HasModelExtension(entry.path()))
      found.push_back(TextOf(entry.path()));
  };
  if (recursive) {
    fs::recursive_directory_iterator it(PathOf(folder),
                                        fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) take(*it);
  } else {
    fs::directory_iterator it(PathOf(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) take(*it);
  }
  if (error) UsageError("cannot read the folder \"" + folder + "\": " + error.message());
  std::sort(found.begin(), found.end());
  return found;
}

// One spelling for every way of naming a file, so that two names of one
// output are seen as the same.
std::string PathKey(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(PathOf(path), error);
  if (error) return path;
  const fs::path canonical = fs::weakly_canonical(absolute, error);
  return TextOf(error ? absolute.lexically_normal() : canonical);
}

// Every input with its output, checked as a whole before anything is
// written: two inputs may not write one file, a T3D never goes over a 3DMF
// model.
std::vector<BatchFile> PlanBatch(const Options& options) {
  if (!options.preview.empty() && options.paths.size() > 1) {
    UsageError("--preview draws one conversion; give it with one INPUT only");
  }
  std::vector<BatchFile> files;
  for (const std::string& path : options.paths) {
    if (path.empty()) UsageError("an INPUT is empty");
    std::error_code ignored;
    if (!fs::is_directory(PathOf(path), ignored)) {
      files.push_back({.input = path});
      continue;
    }
    const std::vector<std::string> models = ModelsInFolder(path, options.recursive);
    if (models.empty()) {
      std::fprintf(stderr, "kelvane-convert: warning: no .3dmf file in the folder \"%s\"%s\n",
                   path.c_str(), options.recursive ? " or its subfolders" : "");
    }
    for (const std::string& model : models) files.push_back({.input = model});
  }
  if (files.empty()) UsageError("no 3DMF model to convert");
  if (!options.preview.empty() && files.size() > 1) {
    UsageError("--preview draws one conversion; the folder holds " + std::to_string(files.size()) +
               " models");
  }

  std::error_code ignored;
  if (options.outDirGiven && fs::exists(PathOf(options.outDir), ignored) &&
      !fs::is_directory(PathOf(options.outDir), ignored)) {
    UsageError("--out-dir \"" + options.outDir + "\" is not a folder");
  }
  // Bitmaps are named after their output; with --textures they all share
  // one folder, so two outputs of one name would write the same bitmaps.
  const bool sharedTextures = options.pictures && !options.texturesDir.empty();
  std::map<std::string, std::size_t> outputs;
  std::map<std::string, std::size_t> bitmapStems;
  for (std::size_t i = 0; i < files.size(); ++i) {
    BatchFile& file = files[i];
    if (options.outDirGiven) {
      const std::string name = TextOf(PathOf(file.input).filename());
      file.output = TextOf(PathOf(options.outDir) / PathOf(DefaultOutput(name)));
    } else {
      file.output = DefaultOutput(file.input);
    }
    const auto [at, added] = outputs.emplace(PathKey(file.output), i);
    if (!added) {
      UsageError("\"" + files[at->second].input + "\" and \"" + file.input +
                 "\" would both be written to \"" + file.output +
                 "\"; convert them in separate runs or with --out-dir");
    }
    if (sharedTextures) {
      // As the conversion names them: the output without ".t3d", its last part.
      const std::string stem =
          TextOf(PathOf(file.output.substr(0, file.output.size() - 4)).filename());
      const auto [first, fresh] =
          bitmapStems.emplace(PathKey(TextOf(PathOf(options.texturesDir) / PathOf(stem))), i);
      if (!fresh) {
        UsageError("\"" + files[first->second].input + "\" and \"" + file.input +
                   "\" would both save their textures as \"" + stem + "_N.bmp\" in \"" +
                   options.texturesDir + "\"");
      }
    }
    CheckOutputs(file.input, file.output, options);
  }
  if (options.outDirGiven) {
    std::error_code error;
    fs::create_directories(PathOf(options.outDir), error);
    if (error) UsageError("cannot make --out-dir \"" + options.outDir + "\": " + error.message());
  }
  return files;
}

// The arguments of one file's conversion: the single-file form with every
// option of this run, --quiet, and the hidden --result-line.
std::vector<std::string> ChildArguments(const Options& options, const BatchFile& file,
                                        const char* program) {
  std::vector<std::string> args = {program,
                                   "--quiet",
                                   "--result-line",
                                   "--scale",
                                   options.scale,
                                   "--reader",
                                   options.wholeFormat ? "3dmf" : "keywords"};
  if (options.oneBrush) args.push_back("--one-brush");
  if (!options.pictures) args.push_back("--no-pictures");
  if (options.textureMapping) args.push_back("--uv");
  if (options.powerOfTwo) args.push_back("--pow2");
  if (options.bitmapDepth != 24) args.insert(args.end(), {"--bitmap-depth", "8"});
  if (!options.texturesDir.empty()) args.insert(args.end(), {"--textures", options.texturesDir});
  if (!options.templatePath.empty()) args.insert(args.end(), {"--template", options.templatePath});
  if (!options.preview.empty()) {
    args.insert(args.end(), {"--preview", options.preview, "--preview-size",
                             std::to_string(options.previewWidth) + "x" +
                                 std::to_string(options.previewHeight)});
  }
  args.insert(args.end(), {"--", file.input, file.output});
  return args;
}

// What a child's ending and result line say about its file.
void FinishChild(const Platform::ProgramResult& child, double seconds, BatchFile& file) {
  file.seconds = seconds;
  if (!child.started) {
    file.error = "cannot start its conversion: " + child.ending;
    return;
  }
  file.childText = child.err;
  std::istringstream lines(child.out);
  std::string line;
  std::string result;
  while (std::getline(lines, line)) {
    if (line.rfind(kResultTag, 0) == 0) result = line.substr(kResultTag.size());
  }
  std::istringstream fields(result);
  std::string word;
  long long polygons = -1;
  long long bitmaps = 0;
  if (fields >> word >> polygons >> bitmaps) {
    file.polygons = polygons;
    file.bitmaps = bitmaps;
    std::getline(fields >> std::ws, file.error);
  }
  const bool exitedZero = child.exited && child.exitCode == 0;
  file.converted = exitedZero && word == "converted";
  if (file.converted || !file.error.empty()) return;
  if (!child.exited) {
    file.error = "its conversion ended by " + child.ending;
  } else {
    // No result line: the child's first line on stderr says why.
    std::string first = child.err.substr(0, child.err.find('\n'));
    const std::string prefix = "kelvane-convert: ";
    if (first.rfind(prefix, 0) == 0) first.erase(0, prefix.size());
    file.error = first.empty() ? "its conversion gave no result (exit status " +
                                     std::to_string(child.exitCode) + ")"
                               : first;
  }
}

// Passes a finished child's messages on, each line naming its input.
void RelayChildText(const BatchFile& file) {
  const std::string prefix = "kelvane-convert: ";
  if (file.childText.empty() && !file.converted) {  // not started, or killed
    std::fprintf(stderr, "%s%s: %s\n", prefix.c_str(), file.input.c_str(), file.error.c_str());
  }
  std::istringstream lines(file.childText);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
    std::fprintf(stderr, "%s%s: %s\n", prefix.c_str(), file.input.c_str(), line.c_str());
  }
}

// Runs the files' conversions, at most `jobs` at once, until all are done.
// Each worker thread waits on one child at a time; what a file gave is
// passed on as soon as its child ends.
void RunChildren(const Options& options, std::vector<BatchFile>& files, std::size_t jobs) {
  constexpr std::size_t kMaxChildText = 1 << 20;  // more is not a message
  const bool showProgress = !options.quiet && Platform::StandardErrorIsTerminal();
  const std::string program = Platform::ThisProgram();
  std::mutex lock;  // guards `next`, `done` and stderr
  std::size_t next = 0;
  std::size_t done = 0;
  const auto work = [&] {
    for (;;) {
      std::size_t index;
      {
        const std::lock_guard<std::mutex> hold(lock);
        if (next == files.size()) return;
        index = next++;
      }
      BatchFile& file = files[index];
      const auto start = std::chrono::steady_clock::now();
      const Platform::ProgramResult child = Platform::RunProgram(
          program, ChildArguments(options, file, "kelvane-convert"), {}, kMaxChildText);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const std::lock_guard<std::mutex> hold(lock);
      FinishChild(child, seconds, file);
      ++done;
      if (showProgress) std::fputs("\r\033[K", stderr);
      RelayChildText(file);
      if (showProgress) {
        std::fprintf(stderr, "\r%zu of %zu files done\033[K", done, files.size());
        std::fflush(stderr);
      }
    }
  };
  std::vector<std::thread> workers;
  for (std::size_t i = 1; i < jobs; ++i) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  if (showProgress) std::fputs("\r\033[K", stderr);
}

std::string Counted(long long n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

int ConvertMany(const Options& options) {
  std::vector<BatchFile> files = PlanBatch(options);
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t jobs =
      std::min(files.size(), static_cast<std::size_t>(options.jobs > 0 ? options.jobs : cores));

  const auto start = std::chrono::steady_clock::now();
  RunChildren(options, files, jobs);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::size_t failed = 0;
  long long polygons = 0;
  for (const BatchFile& file : files) {
    if (!file.converted) ++failed;
    if (file.converted && file.polygons > 0) polygons += file.polygons;
    if (options.quiet) continue;
    // Columns: file, result, polygons, seconds; then why it failed.
    std::string line = file.input + " -> " + file.output + ": ";
    line += file.converted ? "converted" : "failed";
    line +=
        ", " + (file.polygons < 0 ? std::string("? polygons") : Counted(file.polygons, "polygon"));
    if (file.converted) line += ", " + Counted(file.bitmaps, "bitmap");
    line += ", " + Seconds(file.seconds);
    if (!file.converted) line += ": " + file.error;
    std::printf("%s\n", line.c_str());
  }
  if (!options.quiet) {
    std::printf("Total: %s, %zu converted, %zu failed, %s, %s\n",
                Counted(static_cast<long long>(files.size()), "file").c_str(),
                files.size() - failed, failed, Counted(polygons, "polygon").c_str(),
                Seconds(seconds).c_str());
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Platform::PrepareProcess();
  // The arguments as UTF-8 on every system.
  const std::vector<std::string> arguments = Platform::Arguments(argc, argv);
  std::vector<char*> pointers;
  for (const std::string& argument : arguments)
    pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  const Options options = ParseArguments(static_cast<int>(arguments.size()), pointers.data());
  if (!IsBatch(options)) {
    if (options.paths.size() > 2) UsageError("too many arguments: " + options.paths[2]);
    return ConvertOne(options);
  }
  return ConvertMany(options);
}
