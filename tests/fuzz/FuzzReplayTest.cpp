#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "TestSupport.h"

// One fuzz target (KELVANE_FUZZ_TARGET), linked in whole: each test run asks
// what the fuzzer asks, on the inputs it starts from and on what it once
// found, so that a target whose own checks no longer hold (or an input that
// once broke it) fails here, not minutes into `make fuzz`. A failed check
// aborts the test with the check's name.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
#ifdef KELVANE_FUZZ_INITIALIZE
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
#endif

namespace {

namespace fs = std::filesystem;

void Replay(std::string_view bytes) {
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// The files of a folder and its subfolders, sorted; none when it is missing.
std::vector<fs::path> FilesUnder(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class FuzzReplayTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifdef KELVANE_FUZZ_INITIALIZE
    LLVMFuzzerInitialize(nullptr, nullptr);
#endif
  }
  const fs::path source{KELVANE_SOURCE_DIR};
  const std::string target{KELVANE_FUZZ_TARGET};
};

// The seeds every target starts from (fuzz/seeds, the examples, the public
// samples), whole and cut to the longest inputs the targets are run with.
TEST_F(FuzzReplayTest, TheSeedsTheFuzzerStartsFrom) {
  int replayed = 0;
  for (const fs::path& folder :
       {source / "fuzz/seeds", source / "examples", source / "tests/data/samples"}) {
    for (const fs::path& file : FilesUnder(folder)) {
      if (file.extension() == ".md") continue;
      SCOPED_TRACE(file.string());
      const std::string bytes = testing_support::ReadFile(Platform::TextOf(file));
      Replay(bytes);
      for (const std::size_t cut : {std::size_t{1024}, std::size_t{4096}}) {
        if (bytes.size() > cut) Replay(std::string_view(bytes).substr(0, cut));
      }
      ++replayed;
    }
  }
  EXPECT_GE(replayed, 70);
}

// What the fuzzer found and was kept: fuzz/regressions/TARGET/ (in the
// repository, each one mended) and fuzz/findings/TARGET-* (what the last
// `make fuzz` left here, not yet mended).
TEST_F(FuzzReplayTest, WhatTheFuzzerFound) {
  std::vector<fs::path> found = FilesUnder(source / "fuzz/regressions" / target);
  for (const fs::path& file : FilesUnder(source / "fuzz/findings")) {
    const std::string name = file.filename().string();
    if (name.rfind(target + "-", 0) == 0 && file.extension() != ".log") found.push_back(file);
  }
  for (const fs::path& file : found) {
    SCOPED_TRACE(file.string());
    Replay(testing_support::ReadFile(Platform::TextOf(file)));
  }
  RecordProperty("replayed", static_cast<int>(found.size()));
}

}  // namespace
