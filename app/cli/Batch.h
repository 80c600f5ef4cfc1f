#pragma once

#include <string>
#include <vector>

#include "app/cli/Options.h"
#include "platform/Platform.h"

// Many files at once: each converts in a child process of this program.
namespace Kelvane::Cli {

struct BatchFile {
  std::string input;
  std::string output{};
  // For a model a folder gave: its path below that folder, which its output
  // keeps below --out-dir.
  std::string belowFolder{};
  bool converted = false;
  long long polygons = -1;  // -1: the child gave no count
  long long bitmaps = 0;
  bool wholeFormat = false;  // the reader that read it
  std::string error{};      // why it failed, with its place
  std::string childText{};  // the child's stderr: warnings, the error, notes
  double seconds = 0;
};

// Every input with its output, checked as a whole before anything is
// written: two inputs may not write one file (or, with --textures, the same
// bitmaps), a T3D never goes over a 3DMF model. With --out-dir, the models
// of a folder keep their subfolders below DIR. Makes --out-dir (and those
// subfolders) and --textures when they are missing. Raises UsageError. What
// to tell before the conversions start (a folder without models among other
// inputs) is added to `warnings`.
std::vector<BatchFile> PlanBatch(const Options& options, std::vector<std::string>& warnings);

// The arguments of one file's conversion: the single-file form with every
// option of this run, --quiet, and the hidden --result-line.
std::vector<std::string> ChildArguments(const Options& options, const BatchFile& file,
                                        const char* program);

// What a child's ending and result line say about its file.
void FinishChild(const Platform::ProgramResult& child, double seconds, BatchFile& file);

// Converts every file of the plan, up to --jobs at once, and prints one
// line per file and a total; returns the exit status.
int ConvertMany(const Options& options);

}  // namespace Kelvane::Cli
