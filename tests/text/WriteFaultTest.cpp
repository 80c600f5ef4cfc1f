#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FaultSupport.h"
#include "TestSupport.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using testing_support::ReadFile;
using testing_support::RunWithFileSizeLimit;
using testing_support::TempDir;
using TextRoutines::WriteTextFile;

namespace {

// A write that stops part-way leaves no piece of itself behind: the file
// ends with the last whole piece, so a failed run's output is never cut in
// the middle of a line.
TEST(WriteFaultTest, AWriteCutShortByAFullFileTakesItsBytesBack) {
  TempDir dir;
  const std::string path = dir.File("out.t3d");
  struct Case {
    rlim_t limit;
    std::string kept;  // what the file holds after the failed third piece
  };
  // Pieces: "head" + CR LF (6 bytes), "body" + CR LF (12), then a long one.
  const Case cases[] = {
      {12, "head\r\nbody\r\n"},  // the limit at a piece's end: nothing of the next fits
      {13, "head\r\nbody\r\n"},  // one byte of the next piece fits and is taken back
      {15, "head\r\nbody\r\n"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    const int status = RunWithFileSizeLimit(c.limit, [&] {
      WriteTextFile(path, "head", false);
      WriteTextFile(path, "body", true);
      try {
        WriteTextFile(path, "a piece longer than what is left", true);
      } catch (const Kelvane::RunError& e) {
        const std::string text = e.what();
        const bool named = text.find(path) != std::string::npos &&
                           text.find("File too large") != std::string::npos;
        return e.Kind() == Kelvane::ErrorKind::FileError && named ? 0 : 2;
      }
      return 3;  // the write went through
    });
    EXPECT_EQ(status, 0) << "limit " << c.limit;
    EXPECT_EQ(ReadFile(path), c.kept) << "limit " << c.limit;
  }
}

// The first piece replaces the file; when even that does not fit, the file
// is left empty rather than holding the start of the head.
TEST(WriteFaultTest, AFirstPieceThatDoesNotFitLeavesAnEmptyFile) {
  TempDir dir;
  const std::string path = dir.File("out.t3d");
  testing_support::WriteFile(path, "an older output");
  const int status = RunWithFileSizeLimit(4, [&] {
    try {
      WriteTextFile(path, "Begin PolyList", false);
    } catch (const Kelvane::RunError&) {
      return 0;
    }
    return 3;
  });
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadFile(path), "");
}

// A device that is always full: the error names the path and the reason.
TEST(WriteFaultTest, NoSpaceLeftIsAFileErrorNamingThePath) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this machine";
  for (const bool append : {false, true}) {
    try {
      WriteTextFile("/dev/full", "Begin Map", append);
      FAIL() << "a write to /dev/full went through";
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::FileError);
      EXPECT_NE(std::string(e.what()).find("\"/dev/full\": No space left on device"),
                std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
