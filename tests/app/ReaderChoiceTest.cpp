#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "RunTestSupport.h"
#include "metafile/format/Document.h"

// The reader the command line's --reader auto takes for an input, and what
// the readers say of files they could not read that the other one reads.
namespace {

using testing_support::ReadFile;
using testing_support::RunFixture;

const std::string kTriangle = "Triangle ( 0 0 0 1 0 0 0 1 0 )\n";
const std::string kKeywordTriangle = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 1 0\n0 1 2\n)\n";

std::string SourceFile(const std::string& path) {
  return ReadFile(std::string(KELVANE_SOURCE_DIR) + "/" + path);
}

// A file that begins with a 3DMF header goes to the whole-format reader,
// any other to the keyword reader; either writes what that reader writes
// when named.
TEST(ReaderChoiceTest, TheHeaderChoosesTheReader) {
  const struct {
    const char* name;
    std::string input;
    bool wholeFormat;
  } cases[] = {
      {"headed text", "3DMetafile ( 1 6 Normal toc> )\n" + kTriangle, true},
      {"header after comments that name keywords",
       "# A Polyhedron, by hand\n\n   # TriMesh too\n3DMetafile ( 1 6 Normal toc> )\n" + kTriangle,
       true},
      {"byte order mark", "\xEF\xBB\xBF" "3DMetafile ( 1 6 Normal toc> )\n" + kTriangle, true},
      {"old Mac line ends", "# Mesh\r\r3DMetafile ( 1 6 Normal toc> )\r" + kTriangle, true},
      {"no blank before the parenthesis", "3DMetafile( 1 6 Normal toc> )\n" + kTriangle, true},
      {"binary", SourceFile("fuzz/seeds/bin-polygon.3dmf"), true},
      {"binary, other byte order", SourceFile("fuzz/seeds/bin-little-endian.3dmf"), true},
      {"header-less keyword file", kKeywordTriangle, false},
      {"header in a comment", "# 3DMetafile ( 1 6 Normal )\n" + kKeywordTriangle, false},
      {"header after an object", kKeywordTriangle + "3DMetafile ( 1 6 Normal )\n", false},
      {"a longer word", "3DMetafileX ( 1 6 Normal )\n" + kKeywordTriangle, false},
      {"junk", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16), false},
      {"empty", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Metafile::BeginsWithMetafileHeader(c.input), c.wholeFormat);
    RunFixture chosen;
    chosen.window.readerByHeader = 1;
    const auto failed = chosen.Run(c.input);
    EXPECT_EQ(chosen.report.wholeFormat, c.wholeFormat);
    RunFixture named;
    named.window.wholeFormat = c.wholeFormat ? 1 : 0;
    EXPECT_EQ(named.Run(c.input), failed);
    EXPECT_EQ(chosen.Output(), named.Output());
    EXPECT_EQ(failed, std::nullopt) << chosen.message;
    EXPECT_GE(chosen.report.polygons, c.input.size() > 16 ? 1 : 0);
  }
}

// The run names the other reader only when that reader, run as this one
// was without writing anything, converts the file without error and
// writes polygons: not after a fault around the files, a bad scale, or a
// fault the other reader meets as well.
TEST(ReaderChoiceTest, TheOtherReaderIsNamedOnlyWhereItReadsTheFile) {
  const std::string mesh = SourceFile("tests/data/samples/Mesh.3dmf");
  const std::string triangle = SourceFile("tests/data/samples/Triangle.3dmf");
  // Read at scale 20, its points overflow in either reader.
  const std::string huge = "3DMetafile ( 1 6 Normal toc> )\nTriangle ( 1e308 0 0 0 1e308 0 0 0 1 )\n";
  const std::string keywordOnly = "3DMetafile ( 1 6 Normal toc> )\n" + kKeywordTriangle;
  struct Case {
    const char* name;
    std::string input;
    bool byHeader;
    const char* output;  // in the run's folder
    const char* scale;
    bool completed;
    std::optional<std::size_t> wholeFormatWouldRead;
    std::optional<std::int32_t> keywordsWouldWrite;
  };
  const Case cases[] = {
      {"keywords fail on a header comment", mesh, false, "out.t3d", "20", false, 1, std::nullopt},
      {"keywords find nothing", triangle, false, "out.t3d", "20", true, 1, std::nullopt},
      {"an output that cannot be written", mesh, false, "none/out.t3d", "20", false, std::nullopt,
       std::nullopt},
      {"a scale without a number", mesh, false, "out.t3d", "x", false, std::nullopt, std::nullopt},
      {"both overflow", huge, false, "out.t3d", "20", true, std::nullopt, std::nullopt},
      {"whole-format overflows", huge, true, "out.t3d", "20", false, std::nullopt, std::nullopt},
      {"a keyword layout behind a header", keywordOnly, true, "out.t3d", "20", false, std::nullopt,
       1},
      {"the header's reader reads it", triangle, true, "out.t3d", "20", true, std::nullopt,
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture fixture;
    fixture.window.readerByHeader = c.byHeader ? 1 : 0;
    fixture.window.scale = c.scale;
    fixture.window.outFileName = fixture.dir.File(c.output);
    fixture.Run(c.input);
    EXPECT_EQ(fixture.report.completed, c.completed) << fixture.message;
    EXPECT_EQ(fixture.report.wholeFormatWouldRead, c.wholeFormatWouldRead);
    EXPECT_EQ(fixture.report.keywordsWouldWrite, c.keywordsWouldWrite);
  }
  // A missing map template fails both readers alike.
  RunFixture noTemplate;
  noTemplate.window.templatePath = noTemplate.dir.File("missing.txt");
  EXPECT_EQ(noTemplate.Run(mesh), ErrorKind::FileError);
  EXPECT_EQ(noTemplate.report.wholeFormatWouldRead, std::nullopt);
}

}  // namespace
