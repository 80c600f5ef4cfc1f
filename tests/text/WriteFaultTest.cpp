#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "FaultSupport.h"
#include "TestSupport.h"
#include "image/Bitmap.h"
#include "image/Png.h"
#include "text/RunError.h"
#include "text/Files.h"

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

// Every writer of files fails one way: a write cut short by a file-size
// limit or a full disk leaves nothing of itself. The file goes back to the
// length it had before the write (empty, where the write replaces a file
// it has emptied); a file the write made is removed; a device, which cannot
// seek, is neither cut nor removed. The error names the path and the fault
// that stopped the write.
TEST(WriteFaultTest, EveryWriterTakesBackAWriteCutShort) {
  TempDir dir;
  Image image{24, 24, {}};
  std::mt19937 random(3);
  for (int i = 0; i < 24 * 24; ++i) image.rgb.push_back(random() & 0xFFFFFF);  // does not deflate
  const std::string piece(500, 'x');
  struct Writer {
    const char* name;
    bool appends;
    std::function<void(const std::string&)> write;
  };
  const Writer writers[] = {
      {"T3D piece", true, [&](const std::string& p) { WriteTextFile(p, piece, true); }},
      {"T3D record", true,
       [&](const std::string& p) { TextRoutines::WriteTextLine(p, piece + "\r\n", true); }},
      {"BMP 24-bit", false, [&](const std::string& p) { SaveBitmap(image, p); }},
      {"BMP 8-bit", false, [&](const std::string& p) { SaveBitmap(image, p, 8); }},
      {"PNG", false, [&](const std::string& p) { SavePng(image, p); }},
  };
  const std::string older = "an older file\r\n";
  struct Fault {
    const char* name;
    bool olderFile;   // the path holds `older` before the write
    bool deviceFull;  // the path is /dev/full
    rlim_t limit;
    const char* reason;
  };
  const Fault faults[] = {
      {"limit, no file before", false, false, 40, "File too large"},
      {"limit, an older file", true, false, 40, "File too large"},
      {"limit at the older file's end", true, false, 15, "File too large"},
      {"full disk", false, true, RLIM_INFINITY, "No space left on device"},
  };
  for (const Writer& w : writers) {
    for (const Fault& f : faults) {
      SCOPED_TRACE(std::string(w.name) + ", " + f.name);
      if (f.deviceFull && !std::filesystem::is_character_file("/dev/full")) continue;
      const std::string path = f.deviceFull ? "/dev/full" : dir.File("out");
      if (!f.deviceFull) {
        std::filesystem::remove(path);
        if (f.olderFile) testing_support::WriteFile(path, older);
      }
      const int status = RunWithFileSizeLimit(f.limit, [&] {
        try {
          w.write(path);
        } catch (const Kelvane::RunError& e) {
          const bool named =
              std::string(e.what()).find("\"" + path + "\": " + f.reason) != std::string::npos;
          return e.Kind() == Kelvane::ErrorKind::FileError && named ? 0 : 2;
        }
        return 3;  // the write went through
      });
      EXPECT_EQ(status, 0) << "2: another error, 3: no error";
      if (f.deviceFull) {
        EXPECT_TRUE(std::filesystem::is_character_file(path));
      } else if (!f.olderFile) {
        EXPECT_FALSE(std::filesystem::exists(path));
      } else {
        EXPECT_EQ(ReadFile(path), w.appends ? older : "");
      }
    }
  }
}

}  // namespace
