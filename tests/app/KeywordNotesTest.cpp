#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunTestSupport.h"

// The keyword reader takes what the input lacks as 0: a token without a
// number at its start, or a read past the end of a file cut off inside an
// object. Its documents stay what they always were, but the run ends with
// a warning that says so, how often and where first.
namespace {

using testing_support::RunFixture;

TEST(KeywordNotesTest, WhatWasReadAs0IsToldAndTheDocumentIsAsEver) {
  const std::string polyhedron = "Polyhedron (\n3 0 1\n";
  const std::string triMesh = "TriMesh (\n1 0 0 0 3 0\n0 1 2\n";
  const std::string tokens = "the keyword reader took 0 for ";
  const std::string pastEnd = "the keyword reader read past the end of the input ";
  const struct {
    const char* name;
    std::string input;
    std::string sameAs;  // what the reader makes of it, written out
    std::vector<std::string> warnings;
  } cases[] = {
      {"nan", polyhedron + "nan 0 0 1 0 0 0 1 0\n0 1 2\n)\n",
       polyhedron + "0 0 0 1 0 0 0 1 0\n0 1 2\n)\n",
       {tokens + "a token that does not start with a number, \"nan\" at input line 3, column 1"}},
      {"inf", polyhedron + "0 0 0 inf 0 0 0 -inf 0\n0 1 2\n)\n",
       polyhedron + "0 0 0 0 0 0 0 0 0\n0 1 2\n)\n",
       {tokens + "2 tokens that do not start with a number, the first \"inf\" at input line 3, "
                 "column 7"}},
      {"a word as a count", "TriMesh (\n1 x 0 0 3 0\n0 1 2\n0 0 0 1 0 0 0 1 0\n)\n",
       triMesh + "0 0 0 1 0 0 0 1 0\n)\n",
       {tokens + "a token that does not start with a number, \"x\" at input line 2, column 3"}},
      {"a word as an index", polyhedron + "0 0 0 1 0 0 0 1 0\n0 one 2\n)\n",
       polyhedron + "0 0 0 1 0 0 0 1 0\n0 0 2\n)\n",
       {tokens + "a token that does not start with a number, \"one\" at input line 4, column 3"}},
      {"a word among the points", triMesh + "0 0 zero\n1 0 0 0 1 0\n)\n",
       triMesh + "0 0 0\n1 0 0 0 1 0\n)\n",
       {tokens + "a token that does not start with a number, \"zero\" at input line 4, "
                 "column 5"}},
      {"cut off before a face line", polyhedron + "0 0 0 1 0 0 0 1 0\n",
       polyhedron + "0 0 0 1 0 0 0 1 0\n0 0 0\n",
       {pastEnd + "once and took 0 for what was missing, first at input line 4, column 1: the "
                  "file may be cut off"}},
      {"cut off among the points", triMesh + "0 0 0 1 0 0", triMesh + "0 0 0 1 0 0 0 0 0\n",
       {pastEnd + "3 times and took 0 for what was missing, first at input line 4, column 12: "
                  "the file may be cut off"}},
      {"both", polyhedron + "nan 0 0 1 0 0 0 1 0\n", polyhedron + "0 0 0 1 0 0 0 1 0\n0 0 0\n",
       {tokens + "a token that does not start with a number, \"nan\" at input line 3, column 1",
        pastEnd + "once and took 0 for what was missing, first at input line 4, column 1: the "
                  "file may be cut off"}},
      {"a whole model", polyhedron + "0 0 0 1 0 0 0 1 0\n0 1 2\n)\n",
       polyhedron + "0 0 0 1 0 0 0 1 0\n0 1 2\n)\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture told;
    ASSERT_EQ(told.Run(c.input), std::nullopt) << told.message;
    EXPECT_EQ(told.report.warnings, c.warnings);
    RunFixture plain;
    ASSERT_EQ(plain.Run(c.sameAs), std::nullopt) << plain.message;
    EXPECT_TRUE(plain.report.warnings.empty());
    EXPECT_EQ(told.Output(), plain.Output());
    EXPECT_NE(told.Output().find("Begin Polygon"), std::string::npos);
  }
}

// A texture cut off before its last row keeps the rest black, as ever, and
// is told as a read past the end; so is a run that fails after such reads.
TEST(KeywordNotesTest, ACutOffTextureAndAFailedRunAreToldToo) {
  RunFixture cut;
  ASSERT_EQ(cut.Run("PixmapTexture (\n2 2 6 24\n0x0000FF00FF00\n"), std::nullopt);
  RunFixture whole;
  ASSERT_EQ(whole.Run("PixmapTexture (\n2 2 6 24\n0x0000FF00FF00\n0x000000000000\n)\n"),
            std::nullopt);
  ASSERT_EQ(cut.window.savedTextures.size(), 1u);
  ASSERT_EQ(whole.window.savedTextures.size(), 1u);
  EXPECT_EQ(cut.window.savedTextures[0].rgb, whole.window.savedTextures[0].rgb);
  EXPECT_EQ(cut.Output(), whole.Output());
  ASSERT_EQ(cut.report.warnings.size(), 1u);
  EXPECT_EQ(cut.report.warnings[0].rfind("the keyword reader read past the end of the input once",
                                         0),
            0u)
      << cut.report.warnings[0];
  EXPECT_TRUE(whole.report.warnings.empty());

  // The face count read as 0 leaves no table: the run fails, and still
  // tells what it took as 0.
  RunFixture failed;
  EXPECT_EQ(failed.Run("Polyhedron (\n3 0 none\n0 0 0 1 0 0 0 1 0\n0 1 2\n)\n"),
            ErrorKind::OutOfRange);
  ASSERT_EQ(failed.report.warnings.size(), 1u);
  EXPECT_NE(failed.report.warnings[0].find("\"none\" at input line 2, column 5"),
            std::string::npos)
      << failed.report.warnings[0];
}

}  // namespace
