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

const char* const kUsage =
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
    "                     .3dmf files (any letter case) in sorted order\n"
    "  --out-dir DIR      write the T3D documents into DIR (made when missing)\n"
    "                     instead of beside their inputs\n"
    "  --jobs N           convert up to N files at once (default: the number of cores)\n"
    "  --recursive        also take the .3dmf files in the folders' subfolders\n"
    "  --scale TEXT       scale factor applied to every point (default 20.0)\n"
    "  --fit SIZE         scale the model so that its largest side is SIZE units\n"
    "                     (instead of --scale)\n"
    "  --editor-frame     write polygons as the editor does: the model not mirrored,\n"
    "                     faces outward with unit normals, whole faces, no polygon\n"
    "                     of zero area\n"
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
  options.wholeFormat = value == "3dmf";
  options.keywordsAsked = !options.wholeFormat;
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
  options.bitmapDepth = value == "8" ? 8 : 24;
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
  if (value.empty() || error != std::errc() || stop != end || !(size > 0) ||
      !std::isfinite(size)) {
    throw UsageError("--fit takes a size above 0 in units, like 512, not \"" + value + "\"");
  }
  options.fitSize = size;
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

// The options that take a value, and what each does with it.
struct ValueOption {
  const char* name;
  void (*take)(const std::string& value, Options& options);
};

constexpr ValueOption kValueOptions[] = {
    {"--scale",
     [](const std::string& v, Options& o) {
       o.scale = v;
       o.scaleGiven = true;
     }},
    {"--fit", SetFit},
    {"--reader", SetReader},
    {"--bitmap-depth", SetBitmapDepth},
    {"--textures", [](const std::string& v, Options& o) { o.texturesDir = v; }},
    {"--template", [](const std::string& v, Options& o) { o.templatePath = v; }},
    {"--out-dir",
     [](const std::string& v, Options& o) {
       SetNonEmpty("--out-dir", v, o.outDir);
       o.outDirGiven = true;
     }},
    {"--jobs", SetJobs},
    {"--preview", [](const std::string& v, Options& o) { SetNonEmpty("--preview", v, o.preview); }},
    {"--preview-size", SetPreviewSize},
};

// The options that stand alone, with their short names.
struct Flag {
  const char* name;
  const char* shortName;
  bool Options::*field;
  bool value;
};

constexpr Flag kFlags[] = {
    {"--one-brush", nullptr, &Options::oneBrush, true},
    {"--no-pictures", nullptr, &Options::pictures, false},
    {"--uv", nullptr, &Options::textureMapping, true},
    {"--pow2", nullptr, &Options::powerOfTwo, true},
    {"--editor-frame", nullptr, &Options::editorFrame, true},
    {"--quiet", "-q", &Options::quiet, true},
    {"--recursive", "-r", &Options::recursive, true},
    {"--result-line", nullptr, &Options::resultLine, true},
};

// Checks that hold between options once all are read.
void CheckTogether(Options& options) {
  if (options.paths.empty()) throw UsageError("no INPUT given");
  if (options.scaleGiven && options.fitSize > 0) {
    throw UsageError("--fit and --scale both set the size; give one of them");
  }
  if (options.textureMapping || options.powerOfTwo) {
    const std::string option = options.textureMapping ? "--uv" : "--pow2";
    if (options.keywordsAsked) throw UsageError(option + " needs --reader 3dmf");
    if (options.textureMapping && !options.pictures) {
      throw UsageError("--uv names the texture bitmaps, which --no-pictures leaves out");
    }
    options.wholeFormat = true;
  }
}

}  // namespace

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
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      command.action = arg == "--version" ? Action::Version : Action::Help;
      return command;
    }
    const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags), [&](const Flag& f) {
      return arg == f.name || (f.shortName != nullptr && arg == f.shortName);
    });
    if (flag != std::end(kFlags)) {
      options.*(flag->field) = flag->value;
      continue;
    }
    bool taken = false;
    for (const ValueOption& option : kValueOptions) {
      const std::string name = option.name;
      if (arg == name) {
        if (i + 1 >= arguments.size()) throw UsageError(name + " needs a value");
        option.take(arguments[++i], options);
      } else if (arg.rfind(name + "=", 0) == 0) {
        option.take(arg.substr(name.size() + 1), options);
      } else {
        continue;
      }
      taken = true;
      break;
    }
    if (!taken) throw UsageError("unknown option " + arg);
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
