#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "text/RunError.h"
#include "text/Files.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using TextRoutines::AppendToStringArray;
using TextRoutines::ReadTextFile;
using TextRoutines::ReadWholeFile;
using TextRoutines::WriteTextFile;

namespace {

// Bytes that change from position to position, with every byte value and
// line breaks of all kinds, so a misplaced or translated chunk shows.
std::string PatternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
  return bytes;
}

TEST(ReadTextFileTest, ChunkBoundariesGiveBackTheSameBytes) {
  TempDir dir;
  struct Case {
    std::size_t size;
    int expectedYields;  // the window's time: none for one read
  };
  // Chunked: before and after each chunk read, once after the reads, once
  // per chunk joined.
  const Case cases[] = {{0, 0}, {499999, 0}, {500000, 2 * 1 + 1 + 1}, {1200000, 2 * 3 + 1 + 3}};
  for (const Case& c : cases) {
    const std::string path = dir.File("in" + std::to_string(c.size));
    const std::string bytes = PatternBytes(c.size);
    WriteFile(path, bytes);
    int yields = 0;
    const std::string text = ReadTextFile(path, [&] { ++yields; });
    EXPECT_EQ(text.size(), c.size);
    EXPECT_TRUE(text == bytes) << c.size;
    EXPECT_EQ(yields, c.expectedYields) << c.size;
    EXPECT_TRUE(ReadWholeFile(path) == bytes) << c.size;
  }
}

TEST(ReadTextFileTest, MissingFileOrFolderIsAFileErrorThatNamesThePath) {
  TempDir dir;
  const std::string missing = dir.File("missing.3dmf");
  for (const std::string& path : {missing, Platform::TextOf(dir.Path())}) {
    try {
      ReadTextFile(path);
      FAIL() << path;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::FileError);
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(missing)));
}

// A folder, or a place in a folder that is not there, takes no output; on
// Windows too a folder is named as one rather than as denied access.
TEST(WriteTextFileTest, AFolderOrAMissingFolderIsAFileErrorThatNamesThePath) {
  TempDir dir;
  const std::string folder = Platform::TextOf(dir.Path());
  const std::string nowhere = dir.File("none/out.t3d");
  for (const bool append : {false, true}) {
    for (const std::string& path : {folder, nowhere}) {
      try {
        WriteTextFile(path, "Begin Map", append);
        FAIL() << path;
      } catch (const Kelvane::RunError& e) {
        EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::FileError);
        EXPECT_NE(std::string(e.what()).find("Cannot write \"" + path + "\": "), std::string::npos)
            << e.what();
        if (path == folder) {
          EXPECT_NE(std::string(e.what()).find("Is a directory"), std::string::npos) << e.what();
        }
      }
    }
  }
  EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(dir.File("none"))));
}

TEST(WriteTextFileTest, CreatesEmptiesAndAppendsWithCrLf) {
  TempDir dir;
  const std::string path = dir.File("out.t3d");
  WriteTextFile(path, "first", true);  // append on a missing file creates it
  EXPECT_EQ(ReadFile(path), "first\r\n");
  WriteTextFile(path, "Begin PolyList\r\n", true);
  EXPECT_EQ(ReadFile(path), "first\r\nBegin PolyList\r\n\r\n");
  WriteTextFile(path, "new", false);
  EXPECT_EQ(ReadFile(path), "new\r\n");
  WriteTextFile(path, "", true);
  EXPECT_EQ(ReadFile(path), "new\r\n\r\n");
  WriteTextFile(path, "a\nb\0c", false);  // bytes go out as they are
  EXPECT_EQ(ReadFile(path), "a\nb\r\n");
}

// Pieces of the usual size go out joined to their line end, larger ones in
// two parts: the file holds the same bytes either way.
TEST(WriteTextFileTest, PiecesOfEverySizeEndWithCrLf) {
  TempDir dir;
  const std::string path = dir.File("big.t3d");
  const std::string ended = dir.File("ended.t3d");
  std::string expected;
  bool first = true;
  for (const std::size_t size : {8189u, 8190u, 8191u, 8192u, 70000u, 1u}) {
    const std::string piece = PatternBytes(size);
    WriteTextFile(path, piece, !first);
    // A text that brings its own line end is written as it stands.
    TextRoutines::WriteTextLine(ended, piece + "\r\n", !first);
    expected += piece + "\r\n";
    first = false;
    ASSERT_TRUE(ReadFile(path) == expected) << size;
    ASSERT_TRUE(ReadFile(ended) == expected) << size;
  }
  TextRoutines::WriteTextLine(ended, "new\r\n", false);
  EXPECT_EQ(ReadFile(ended), "new\r\n");
}

TEST(WriteTextFileTest, UnwritablePathIsAFileError) {
  TempDir dir;
  const std::string path = dir.File("no-such-folder/out.t3d");
  try {
    WriteTextFile(path, "x", false);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::FileError);
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
}

TEST(AppendToStringArrayTest, ReusesALoneEmptyFirstElement) {
  std::vector<std::string> list{""};
  AppendToStringArray(list, "A");
  EXPECT_EQ(list, (std::vector<std::string>{"A"}));
  AppendToStringArray(list, "B");
  EXPECT_EQ(list, (std::vector<std::string>{"A", "B"}));

  std::vector<std::string> fresh{""};
  AppendToStringArray(fresh, "");
  EXPECT_EQ(fresh, (std::vector<std::string>{""}));
  AppendToStringArray(fresh, "A");
  EXPECT_EQ(fresh, (std::vector<std::string>{"A"}));

  std::vector<std::string> grown{"", "x"};
  AppendToStringArray(grown, "y");
  EXPECT_EQ(grown, (std::vector<std::string>{"", "x", "y"}));
}

}  // namespace
