#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// The command line's options: what kelvane-convert was asked to do.
namespace Kelvane::Cli {

extern const char* const kUsage;
// The program's version, as the build names it.
extern const char* const kVersion;

struct Options {
  std::vector<std::string> paths;  // as given, in order
  std::string scale = "20.0";
  bool scaleGiven = false;
  double fitSize = 0;  // --fit SIZE; 0: not asked
  bool editorFrame = false;
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
  bool resultLine = false;  // set by a batch for its children only
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
