#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/Platform.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace testing_support {

// A fresh folder for one test, removed with everything in it afterwards.
// On Windows it lies in a folder whose name has a blank and a letter
// beyond ASCII, so every test also runs through such a path.
class TempDir {
 public:
  TempDir() {
    namespace fs = std::filesystem;
    fs::path parent = fs::temp_directory_path();
#ifdef _WIN32
    parent /= Platform::PathOf("kelvane tests \xC3\xA9t\xC3\xA9");
    fs::create_directories(parent);
#endif
    static std::atomic<unsigned> made{0};
    std::mt19937 random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() + 7919 * made++));
    // create_directory makes a new folder or says that the name was taken.
    do {
      path_ = parent / ("kelvane-" + std::to_string(random()));
    } while (!fs::create_directory(path_));
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(const std::string& name) const {
    return Platform::TextOf(path_ / Platform::PathOf(name));
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(Platform::PathOf(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(Platform::PathOf(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Arguments written as a shell would take them: split at blanks, with
// '...' holding blanks together ('' is an empty argument).
inline std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (const char c : text) {
    if (c == '\'') {
      quoted = !quoted;
      inArgument = true;
    } else if (c == ' ' && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

// The system's text for a file that is not there, as error messages end.
#ifdef _WIN32
inline const std::string kNoSuchFile = Platform::ErrorText(2);  // ERROR_FILE_NOT_FOUND
#else
inline const std::string kNoSuchFile = "No such file or directory";
#endif

struct ProgramRun {
  int status;  // the exit status; -1 when it did not end by itself
  std::string out;
  std::string err;
};

#ifdef KELVANE_CONVERT
// Runs kelvane-convert with the arguments (quoted as SplitArguments reads
// them) in `folder` (empty: the test's own).
inline ProgramRun RunConvert(const std::string& arguments, const std::string& folder = {}) {
  std::vector<std::string> argv = {"kelvane-convert"};
  for (std::string& argument : SplitArguments(arguments)) argv.push_back(std::move(argument));
  const Platform::ProgramResult result = Platform::RunProgram(KELVANE_CONVERT, argv, folder);
  return {result.exited ? result.exitCode : -1, result.out, result.err};
}
#endif

}  // namespace testing_support
