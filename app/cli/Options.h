#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/run/RunSettings.h"

// The command line's options: what kelvane-convert was asked to do.
namespace Kelvane::Cli {

// The program's version, as the build names it.
extern const char* const kVersion;

// The --help text, made from the table of options.
std::string UsageText();

struct Options {
  std::vector<std::string> paths;  // as given, in order
  // What every file's run takes; its paths are set per file.
  RunSettings settings;
  bool scaleGiven = false;
  bool keywordsAsked = false;  // --reader keywords given
  bool engineGiven = false;
  bool editorFrameGiven = false;
  bool texturePackageGiven = false;
  bool bitmapDepthGiven = false;
  bool quiet = false;
  std::string outDir;
  bool outDirGiven = false;
  int jobs = 0;  // 0: the number of cores
  bool recursive = false;
  std::string preview;
  int previewWidth = 800;
  int previewHeight = 600;
  bool resultLine = false;  // set by a batch for its children only
  // The options given that each file's conversion takes, as they were
  // given: a batch passes them on to every child.
  std::vector<std::string> perFile;
};

// A request the program refuses before it writes anything (exit status 2).
// A brief one is told in its one line and "see --help", without the usage
// text: the options were right, the file they name was not.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& text, bool brief = false)
      : std::runtime_error(text), brief_(brief) {}
  bool Brief() const { return brief_; }

 private:
  bool brief_;
};

enum class Action { Convert, Help, Version };

struct Command {
  Action action = Action::Convert;
  Options options;
};

// Reads the arguments after the program's name. "--name VALUE" and
// "--name=VALUE" both work; a value is taken as it stands, also when empty
// or starting with "-"; after "--" every argument is a path. Raises
// UsageError for what it cannot take.
Command ParseArguments(const std::vector<std::string>& arguments);

// With --out-dir, three or more paths, or a folder among them, every path
// is an input. A child of a batch is always one conversion, so that no
// argument can make it start a batch of its own.
bool IsBatch(const Options& options);

}  // namespace Kelvane::Cli
