#include "app/cli/Options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string_view>

#include "image/Palette.h"
#include "platform/Platform.h"

namespace Kelvane::Cli {

const char* const kVersion = KELVANE_VERSION;

namespace {

constexpr int kMaxJobs = 256;
constexpr int kMaxPreviewSide = 16384;

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

void SetReader(const std::string& value, Options& options) {
  if (value != "keywords" && value != "3dmf") {
    throw UsageError("--reader takes keywords or 3dmf, not \"" + value + "\"");
  }
  options.settings.wholeFormat = value == "3dmf";
  options.keywordsAsked = !options.settings.wholeFormat;
}

void SetEngine(const std::string& value, Options& options) {
  using Unreal::Engine;
  const struct {
    const char* name;
    Engine engine;
  } engines[] = {{"none", Engine::kNone},
                 {"ue1", Engine::kUe1},
                 {"ue2", Engine::kUe2},
                 {"ue3", Engine::kUe3},
                 {"ue4", Engine::kUe4}};
  for (const auto& [name, engine] : engines) {
    if (value != name) continue;
    options.settings.engine = engine;
    options.engineGiven = true;
    return;
  }
  throw UsageError("--engine takes none, ue1, ue2, ue3 or ue4, not \"" + value + "\"");
}

void SetSolidity(const std::string& value, Options& options) {
  using Unreal::Solidity;
  if (value == "solid") {
    options.settings.solidity = Solidity::kSolid;
  } else if (value == "semisolid") {
    options.settings.solidity = Solidity::kSemisolid;
  } else if (value == "nonsolid") {
    options.settings.solidity = Solidity::kNonsolid;
  } else {
    throw UsageError("--solidity takes solid, semisolid or nonsolid, not \"" + value + "\"");
  }
}

void SetTexturePackage(const std::string& value, Options& options) {
  if (!Unreal::IsPackageName(value)) {
    throw UsageError(
        "--texture-package takes a package name of letters, digits and _ (parts "
        "joined by dots, like MyLevel.Walls), not \"" +
        value + "\"");
  }
  options.settings.texturePackage = value;
  options.texturePackageGiven = true;
}

void SetTextureFormat(const std::string& value, Options& options) {
  using TextureFormat = RunSettings::TextureFormat;
  if (value != "bmp" && value != "png") {
    throw UsageError("--texture-format takes bmp or png, not \"" + value + "\"");
  }
  options.settings.textureFormat = value == "png" ? TextureFormat::kPng : TextureFormat::kBmp;
}

void SetBitmapDepth(const std::string& value, Options& options) {
  if (value != "8" && value != "24") {
    throw UsageError("--bitmap-depth takes 8 or 24, not \"" + value + "\"");
  }
  if (value == "8" && !PaletteInThisBuild()) {
    throw UsageError(
        "--bitmap-depth 8 is not in this build (it is made without Leptonica); "
        "use --bitmap-depth 24");
  }
  options.settings.bitmapDepth = value == "8" ? 8 : 24;
  options.bitmapDepthGiven = true;
}

void SetJobs(const std::string& value, Options& options) {
  const auto jobs = WholeNumber(value, 1, kMaxJobs);
  if (!jobs) {
    throw UsageError("--jobs takes a whole number from 1 to " + std::to_string(kMaxJobs) +
                     ", not \"" + value + "\"");
  }
  options.jobs = *jobs;
}

// A size above 0, as a plain decimal number.
void SetFit(const std::string& value, Options& options) {
  double size = 0;
  const char* const end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, size);
  if (value.empty() || error != std::errc() || stop != end || !(size > 0) || !std::isfinite(size)) {
    throw UsageError("--fit takes a size above 0 in units, like 512, not \"" + value + "\"");
  }
  options.settings.fit = FitRequest::Size(size);
}

void SetPreviewSize(const std::string& text, Options& options) {
  const std::size_t x = text.find_first_of("xX");
  const auto width = WholeNumber(std::string_view(text).substr(0, x), 1, kMaxPreviewSide);
  const auto height = x == std::string::npos
                          ? std::nullopt
                          : WholeNumber(std::string_view(text).substr(x + 1), 1, kMaxPreviewSide);
  if (!width || !height) {
    throw UsageError("--preview-size takes WIDTHxHEIGHT, each from 1 to " +
                     std::to_string(kMaxPreviewSide) + " pixels (like 800x600), not \"" + text +
                     "\"");
  }
  options.previewWidth = *width;
  options.previewHeight = *height;
}

// A value that may not be empty.
void SetNonEmpty(const char* name, const std::string& value, std::string& field) {
  if (value.empty()) throw UsageError(std::string(name) + " is empty");
  field = value;
}

// Where an option acts: on every file's conversion (a batch passes it on
// to each child as it was given), on this run of the program, or instead
// of a conversion.
enum class Reach { kEveryFile, kThisRun, kAction };

// One option, defined once: its names, its argument, its lines in --help
// and what it sets.
struct OptionSpec {
  const char* name;
  const char* shortName;  // or nullptr
  const char* argument;   // the value's name in --help; nullptr: it stands alone
  const char* help;       // its lines in --help; nullptr: not shown
  Reach reach;
  void (*take)(const std::string& value, Options& options);
};

constexpr OptionSpec kOptions[] = {
    {"--out-dir", nullptr, "DIR",
     "write the T3D documents into DIR (made when missing)\n"
     "instead of beside their inputs",
     Reach::kThisRun,
     [](const std::string& v, Options& o) {
       SetNonEmpty("--out-dir", v, o.outDir);
       o.outDirGiven = true;
     }},
    {"--jobs", nullptr, "N", "convert up to N files at once (default: the number of cores)",
     Reach::kThisRun, SetJobs},
    {"--recursive", "-r", nullptr, "also take the models in the folders' subfolders",
     Reach::kThisRun, [](const std::string&, Options& o) { o.recursive = true; }},
    {"--scale", nullptr, "TEXT", "scale factor applied to every point (default 20.0)",
     Reach::kEveryFile,
     [](const std::string& v, Options& o) {
       o.settings.scale = v;
       o.scaleGiven = true;
     }},
    {"--fit", nullptr, "SIZE",
     "scale the model so that its largest side is SIZE units\n"
     "(instead of --scale)",
     Reach::kEveryFile, SetFit},
    {"--engine", nullptr, "NAME",
     "write the document the editor NAME takes as its own: ue1\n"
     "(Unreal, UT99, Deus Ex), ue2 (UT2004, Unreal 2), ue3 (UDK)\n"
     "or ue4 (UE4, UE5); each writes polygons as the editor does:\n"
     "the model not mirrored, faces outward with unit normals,\n"
     "whole faces, none the editor would drop (default: none,\n"
     "the plain document)",
     Reach::kEveryFile, SetEngine},
    {"--editor-frame", nullptr, nullptr, "the same as --engine ue1", Reach::kEveryFile,
     [](const std::string&, Options& o) { o.editorFrameGiven = true; }},
    {"--solidity", nullptr, "KIND",
     "solid (default), semisolid or nonsolid: how the brushes\n"
     "take part in the world's BSP (detail geometry: semisolid)",
     Reach::kEveryFile, SetSolidity},
    {"--texture-package", nullptr, "NAME",
     "the package texture references name with --engine ue2, ue3\n"
     "or ue4 (default MyLevel)",
     Reach::kEveryFile, SetTexturePackage},
    {"--one-brush", nullptr, nullptr, "write all objects into one brush instead of a map",
     Reach::kEveryFile, [](const std::string&, Options& o) { o.settings.oneBrush = true; }},
    {"--reader", nullptr, "NAME",
     "keywords (default): find objects by their keywords;\n"
     "3dmf: read the whole 3DMF format (groups, transforms,\n"
     "references, every surface kind); a binary 3DMF file\n"
     "is always read this way",
     Reach::kEveryFile, SetReader},
    {"--no-pictures", nullptr, nullptr, "do not read the textures", Reach::kEveryFile,
     [](const std::string&, Options& o) { o.settings.pictures = false; }},
    {"--uv", nullptr, nullptr,
     "polygons of textured objects name their texture and carry\n"
     "the model's own texture mapping (reads with the 3DMF\n"
     "reader; texture names are the bitmaps' names)",
     Reach::kEveryFile, [](const std::string&, Options& o) { o.settings.textureMapping = true; }},
    {"--pow2", nullptr, nullptr,
     "resample textures whose sides are not powers of two to the\n"
     "next ones up (reads with the 3DMF reader)",
     Reach::kEveryFile, [](const std::string&, Options& o) { o.settings.powerOfTwo = true; }},
    {"--bitmap-depth", nullptr, "N",
     "24 (default): true-colour bitmaps; 8: 256-colour bitmaps\n"
     "with a palette, as older editors need",
     Reach::kEveryFile, SetBitmapDepth},
    {"--texture-format", nullptr, "KIND",
     "bmp or png: how an --engine saves its textures (default:\n"
     "bmp for ue1 and ue2, png with alpha for ue3 and ue4)",
     Reach::kEveryFile, SetTextureFormat},
    {"--textures", nullptr, "DIR", "folder for the texture bitmaps (default: the output's)",
     Reach::kEveryFile, [](const std::string& v, Options& o) { o.settings.texturesFolder = v; }},
    {"--template", nullptr, "FILE",
     "map template (default: StartMapFile.txt beside this program,\n"
     "else in ../share/kelvane/ from it)",
     Reach::kEveryFile, [](const std::string& v, Options& o) { o.settings.templatePath = v; }},
    {"--preview", nullptr, "FILE",
     "after the conversion, draw the T3D's polygons into the PNG\n"
     "picture FILE (one input only)",
     Reach::kEveryFile,
     [](const std::string& v, Options& o) { SetNonEmpty("--preview", v, o.preview); }},
    {"--preview-size", nullptr, "WxH", "size of that picture in pixels (default 800x600)",
     Reach::kEveryFile, SetPreviewSize},
    {"--quiet", "-q", nullptr, "no progress line and no summary", Reach::kThisRun,
     [](const std::string&, Options& o) { o.quiet = true; }},
    {"--help", "-h", nullptr, "show this help and exit", Reach::kAction, nullptr},
    {"--version", nullptr, nullptr, "show the version and exit", Reach::kAction, nullptr},
    // A batch's child prints the result line its parent reads.
    {"--result-line", nullptr, nullptr, nullptr, Reach::kThisRun,
     [](const std::string&, Options& o) { o.resultLine = true; }},
};

constexpr const char* kUsageHead =
    "Usage: kelvane-convert INPUT [OUTPUT] [options]\n"
    "       kelvane-convert INPUT... [--out-dir DIR] [--jobs N] [--recursive] [options]\n"
    "Converts 3DMF models into Unreal T3D documents and saves their textures as\n"
    "Windows bitmaps.\n"
    "\n"
    "  OUTPUT             the T3D file to write (default: INPUT without its\n"
    "                     extension, followed by .t3d); never a 3DMF model (named\n"
    "                     .3dmf, .3dm, .q3d or .qd3d, or holding one); an earlier\n"
    "                     OUTPUT is replaced only by a whole document, a failed\n"
    "                     run leaves it and writes OUTPUT.partial beside it\n"
    "  INPUT...           with --out-dir, with three or more paths, or with a folder\n"
    "                     among them, every path is an input and each converts to\n"
    "                     its own <input without extension>.t3d; a folder gives its\n"
    "                     models (.3dmf, .3dm, .q3d, .qd3d, any letter case) in\n"
    "                     sorted order\n";

constexpr const char* kUsageTail =
    "\n"
    "Every option applies to every input. With many inputs the program ends with\n"
    "one line per file (result, polygons, seconds) and a total line.\n"
    "\n"
    "Exit status: 0 when every file converted, 1 when any conversion failed,\n"
    "2 for a usage error (then nothing is written).\n";

// The column where the options' help lines start.
constexpr std::size_t kHelpColumn = 21;

// Checks that hold between options once all are read.
void CheckTogether(Options& options) {
  RunSettings& settings = options.settings;
  if (options.paths.empty()) throw UsageError("no INPUT given");
  if (options.scaleGiven && settings.fit.Asked()) {
    throw UsageError("--fit and --scale both set the size; give one of them");
  }
  if (options.editorFrameGiven) {
    if (options.engineGiven && settings.engine != Unreal::Engine::kUe1) {
      throw UsageError("--editor-frame is --engine ue1; give one of them");
    }
    settings.engine = Unreal::Engine::kUe1;
  }
  if (Unreal::TakesOnlyMaps(settings.engine) && !settings.templatePath.empty()) {
    throw UsageError(
        "--template is read for --engine ue1 and ue2 only: ue3 and ue4 documents "
        "read no map template");
  }
  if (settings.textureFormat != RunSettings::TextureFormat::kEngine && !settings.EditorFrame()) {
    throw UsageError("--texture-format chooses how an --engine saves its textures");
  }
  if (settings.engine == Unreal::Engine::kUe1 && options.bitmapDepthGiven &&
      settings.bitmapDepth != 8 && settings.textureFormat != RunSettings::TextureFormat::kPng) {
    throw UsageError(
        "--engine ue1 saves 8-bit bitmaps, the only ones its editor imports; "
        "leave out --bitmap-depth 24");
  }
  if (options.texturePackageGiven && settings.engine != Unreal::Engine::kUe2 &&
      !Unreal::TakesOnlyMaps(settings.engine)) {
    throw UsageError("--texture-package names textures for --engine ue2, ue3 or ue4");
  }
  if (settings.textureMapping || settings.powerOfTwo) {
    const std::string option = settings.textureMapping ? "--uv" : "--pow2";
    if (options.keywordsAsked) throw UsageError(option + " needs --reader 3dmf");
    if (settings.textureMapping && !settings.pictures) {
      throw UsageError("--uv names the texture bitmaps, which --no-pictures leaves out");
    }
    settings.wholeFormat = true;
  }
}

}  // namespace

std::string UsageText() {
  std::string text = kUsageHead;
  for (const OptionSpec& option : kOptions) {
    if (option.help == nullptr) continue;
    std::string lead = std::string("  ") + option.name;
    if (option.argument != nullptr) lead += std::string(" ") + option.argument;
    lead.resize(std::max(lead.size() + 1, kHelpColumn), ' ');
    std::string_view help = option.help;
    for (;;) {
      const std::size_t end = help.find('\n');
      text += lead;
      text += help.substr(0, end);
      text += '\n';
      if (end == std::string_view::npos) break;
      help.remove_prefix(end + 1);
      lead.assign(kHelpColumn, ' ');
    }
  }
  return text + kUsageTail;
}

Command ParseArguments(const std::vector<std::string>& arguments) {
  Command command;
  Options& options = command.options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      options.paths.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* found = nullptr;
    std::string value;
    for (const OptionSpec& option : kOptions) {
      const std::string name = option.name;
      if (arg == name || (option.shortName != nullptr && arg == option.shortName)) {
        found = &option;
        if (option.argument == nullptr) break;
        if (i + 1 >= arguments.size()) throw UsageError(name + " needs a value");
        value = arguments[++i];
        break;
      }
      if (option.argument != nullptr && arg.rfind(name + "=", 0) == 0) {
        found = &option;
        value = arg.substr(name.size() + 1);
        break;
      }
    }
    if (found == nullptr) throw UsageError("unknown option " + arg);
    if (found->reach == Reach::kAction) {
      command.action =
          std::string_view(found->name) == "--version" ? Action::Version : Action::Help;
      return command;
    }
    found->take(value, options);
    if (found->reach == Reach::kEveryFile) {
      options.perFile.emplace_back(found->name);
      if (found->argument != nullptr) options.perFile.push_back(value);
    }
  }
  CheckTogether(options);
  return command;
}

bool IsBatch(const Options& options) {
  if (options.resultLine) return false;
  if (options.outDirGiven || options.paths.size() > 2) return true;
  std::error_code ignored;
  return std::any_of(options.paths.begin(), options.paths.end(), [&](const std::string& path) {
    return std::filesystem::is_directory(Platform::PathOf(path), ignored);
  });
}

}  // namespace Kelvane::Cli
