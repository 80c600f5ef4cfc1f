#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "RunTestSupport.h"
#include "app/run/KeywordPass.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using Kelvane::ErrorKind;
using testing_support::Lines;
using testing_support::MapDocument;
using testing_support::OneBrushDocument;
using testing_support::ReadFile;
using testing_support::RunFixture;
using testing_support::WriteFile;

// One triangle (0 0 0), (1 0 0), (0 0 1) at scale 20: Y is minus the third
// number and Z the second.
const std::string kPolyhedron = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 2\n)\n";
std::string PolyhedronRecord(int link) {
  return "Begin Polygon Item=OUTSIDE Link= " + std::to_string(link) + "\r\n" +
         Lines({"Origin 00000.00000,00000.00000,00000.00000",
                "Normal 00000.00000,00000.00000,00400.00000",
                "TextureU -00001.00000,00000.00000,00000.00000",
                "TextureV -00000.70711,-00000.70711,00000.00000",
                "Vertex 00000.00000,00000.00000,00000.00000",
                "Vertex 00020.00000,00000.00000,00000.00000",
                "Vertex 00000.00000,-00020.00000,00000.00000", "End Polygon", ""});
}

// The corners of a unit square, at scale 1.
const std::string kTriMesh =
    "TriMesh (\n2 0 0 0 4 0\n0 1 2\n0 2 3\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n)\n";
const std::string kMesh = "Mesh (\n4\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n1\n0\n4 0 1 2 3\n)\n";
std::string SquareRecord(int link, int half) {
  std::string text = "Begin Polygon Item=OUTSIDE Link= " + std::to_string(link) + "\r\n";
  if (half == 0) {
    return text + Lines({"Origin 00000.00000,00000.00000,00000.00000",
                         "Normal 00000.00000,00001.00000,00000.00000",
                         "TextureU -00001.00000,00000.00000,00000.00000",
                         "TextureV 00000.00000,00000.00000,00001.00000",
                         "Vertex 00000.00000,00000.00000,00000.00000",
                         "Vertex 00001.00000,00000.00000,00000.00000",
                         "Vertex 00001.00000,00000.00000,00001.00000", "End Polygon", ""});
  }
  return text + Lines({"Origin 00000.00000,00000.00000,00000.00000",
                       "Normal 00000.00000,00001.00000,00000.00000",
                       "TextureU -00000.70711,00000.00000,-00000.70711",
                       "TextureV -00001.00000,00000.00000,00000.00000",
                       "Vertex 00000.00000,00000.00000,00000.00000",
                       "Vertex 00001.00000,00000.00000,00001.00000",
                       "Vertex 00000.00000,00000.00000,00001.00000", "End Polygon", ""});
}

// A 2 x 1 texture: a red pixel and a green one.
const std::string kTexture = "PixmapTexture (\n2 1 6 24\n0x0000FF00FF00\n)\n";

TEST(ConversionRunTest, EachObjectKindInBothModes) {
  struct Case {
    std::string input;
    std::string scale;
    std::string records;
  };
  const Case cases[] = {
      {kPolyhedron, "20.0", PolyhedronRecord(0)},
      {kTriMesh, "1.0", SquareRecord(0, 0) + SquareRecord(1, 1)},
      {kMesh, "1", SquareRecord(0, 0)},
  };
  for (const Case& c : cases) {
    for (int oneBrush : {0, 1}) {
      RunFixture fixture;
      fixture.window.scale = c.scale;
      fixture.window.mapOrBrush = oneBrush;
      ASSERT_EQ(fixture.Run(c.input), std::nullopt) << fixture.message;
      EXPECT_EQ(fixture.Output(), oneBrush ? OneBrushDocument(c.records) : MapDocument({c.records}))
          << c.input;
      EXPECT_EQ(fixture.window.labelPos.back(), "Done");
      EXPECT_TRUE(fixture.window.goEnabled);
    }
  }
}

TEST(ConversionRunTest, EmptyInputsGiveHeadAndTail) {
  for (const std::string input : {"", "nothing here\n", "polyhedron trimesh mesh\n",
                                  "PixmapTexture (\n1 1 3 24\n0x000000\n)\n"}) {
    RunFixture map;
    map.window.doPics = 0;
    ASSERT_EQ(map.Run(input), std::nullopt);
    EXPECT_EQ(map.Output(), "Begin Map\r\n\r\nEnd Map\r\n");
    EXPECT_TRUE(map.window.labelProgress.empty());
    EXPECT_EQ(map.window.labelPos,
              (std::vector<std::string>{"Reading file..", "Parsing file..", "Done"}));

    RunFixture brush;
    brush.window.mapOrBrush = 1;
    brush.window.doPics = 0;
    ASSERT_EQ(brush.Run(input), std::nullopt);
    EXPECT_EQ(brush.Output(), "Begin PolyList\r\n\r\nEnd PolyList\r\n");
  }
}

TEST(ConversionRunTest, ObjectsAreTakenInFileOrderAcrossKinds) {
  RunFixture fixture;
  fixture.window.scale = "1.0";
  // A Mesh, then a Polyhedron, then a TriMesh whose own "Mesh" must not
  // count as a second Mesh.
  const std::string polyhedronAtOne = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 1 1 0\n0 1 2\n)\n";
  ASSERT_EQ(fixture.Run(kMesh + polyhedronAtOne + kTriMesh), std::nullopt) << fixture.message;
  std::string polyhedronRecord = SquareRecord(1, 0);
  EXPECT_EQ(fixture.Output(), MapDocument({SquareRecord(0, 0), polyhedronRecord,
                                           SquareRecord(2, 0) + SquareRecord(3, 1)}));
  EXPECT_EQ(fixture.window.labelProgress,
            (std::vector<std::string>{"Processed 1", "Processed 2", "Processed 4"}));
}

TEST(ConversionRunTest, KeywordsCountWhereverTheyStandAndOnlyInTheirCase) {
  RunFixture fixture;
  fixture.window.scale = "1";
  // The comment's "Mesh" starts the object; the lower-case words do not.
  const std::string input =
      "# a polyhedron and a trimesh, lower case\n# the Mesh follows\n4\n0 0 0\n1 0 0\n1 1 0\n0 1 "
      "0\n1\n0\n4 0 1 2 3\n";
  ASSERT_EQ(fixture.Run(input), std::nullopt) << fixture.message;
  EXPECT_EQ(fixture.Output(), MapDocument({SquareRecord(0, 0)}));
}

TEST(ConversionRunTest, TexturesTakeTheirPlaceInFileOrder) {
  // Geometry before, between and after textures: nothing is passed over, and
  // a texture after the last geometry is read too.
  RunFixture fixture;
  fixture.window.scale = "1";
  ASSERT_EQ(fixture.Run(kMesh + kTexture + kMesh + kTexture), std::nullopt) << fixture.message;
  EXPECT_EQ(fixture.Output(), MapDocument({SquareRecord(0, 0), "", SquareRecord(1, 0), ""}));
  ASSERT_EQ(fixture.window.savedTextures.size(), 2u);
  const Kelvane::Image& picture = fixture.window.savedTextures[0];
  EXPECT_EQ(picture.width, 2);
  EXPECT_EQ(picture.height, 1);
  EXPECT_EQ(picture.Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(picture.Pixel(1, 0), 0x00FF00u);

  // With pictures off the textures are not objects at all.
  RunFixture off;
  off.window.scale = "1";
  off.window.doPics = 0;
  ASSERT_EQ(off.Run(kMesh + kTexture + kMesh + kTexture), std::nullopt);
  EXPECT_EQ(off.Output(), MapDocument({SquareRecord(0, 0), SquareRecord(1, 0)}));
  EXPECT_TRUE(off.window.savedTextures.empty());
}

TEST(ConversionRunTest, TwoRunsInARowGiveTheSameDocument) {
  RunFixture fixture;
  fixture.window.scale = "1";
  ASSERT_EQ(fixture.Run(kTriMesh + kMesh), std::nullopt);
  const std::string first = fixture.Output();
  ASSERT_EQ(fixture.Run(kTriMesh + kMesh), std::nullopt);
  EXPECT_EQ(fixture.Output(), first);
  EXPECT_EQ(first, MapDocument({SquareRecord(0, 0) + SquareRecord(1, 1), SquareRecord(2, 0)}));
}

TEST(ConversionRunTest, ScaleWithoutANumberFailsBeforeAnythingIsWritten) {
  for (const std::string scale : {"", "  ", "abc", "-", ".", "+.", "&H"}) {
    RunFixture fixture;
    WriteFile(fixture.window.outFileName, "earlier output");
    fixture.window.scale = scale;
    EXPECT_EQ(fixture.Run(kPolyhedron), ErrorKind::InvalidScale) << '"' << scale << '"';
    EXPECT_EQ(fixture.Output(), "earlier output");
    EXPECT_FALSE(fixture.window.goEnabled);  // the window enables it again
    EXPECT_EQ(fixture.Place(), "");
  }
  // A text that starts with a number keeps its leading number.
  RunFixture fixture;
  fixture.window.scale = " 2cm";
  fixture.window.mapOrBrush = 1;
  ASSERT_EQ(fixture.Run("Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 2\n"), std::nullopt);
  EXPECT_NE(fixture.Output().find("Vertex 00002.00000,00000.00000,00000.00000\r\n"),
            std::string::npos);
}

TEST(ConversionRunTest, OutputThatIsTheInputFailsAndLeavesTheInput) {
  RunFixture fixture;
  WriteFile(fixture.window.inFileName, kPolyhedron);
  fixture.window.outFileName = fixture.dir.File("./in.3dmf");
  EXPECT_EQ(fixture.Run(kPolyhedron), ErrorKind::SameFile);
  EXPECT_EQ(ReadFile(fixture.window.inFileName), kPolyhedron);
}

TEST(ConversionRunTest, FailuresBeforeTheFirstWriteLeaveTheOutputAlone) {
  RunFixture missingInput;
  WriteFile(missingInput.window.outFileName, "earlier");
  missingInput.window.inFileName = missingInput.dir.File("missing.3dmf");
  EXPECT_EQ(missingInput.RunAgain(), ErrorKind::FileError);
  EXPECT_EQ(missingInput.Output(), "earlier");

  RunFixture missingTemplate;
  WriteFile(missingTemplate.window.outFileName, "earlier");
  missingTemplate.window.templatePath = missingTemplate.dir.File("none.txt");
  EXPECT_EQ(missingTemplate.Run(kPolyhedron), ErrorKind::FileError);
  EXPECT_EQ(missingTemplate.Output(), "earlier");
}

TEST(ConversionRunTest, AFailureLeavesTheDocumentAsFarAsItWasWritten) {
  const std::string head = "Begin Map\r\n\r\n" + testing_support::ActorHead(2);
  struct Case {
    std::string input;
    ErrorKind kind;
    std::string output;
    Kelvane::InputPlace place;
  };
  const Case cases[] = {
      // The third face names vertex 3 of a table of three: two polygons are out.
      {"Polyhedron (\n3 0 3\n0 0 0 1 0 0 0 0 1\n0 1 2\n0 1 2\n0 1 3\n",
       ErrorKind::OutOfRange,
       head + PolyhedronRecord(0) + PolyhedronRecord(1),
       {6, 5}},
      {"Mesh (\n0\n", ErrorKind::OutOfRange, head, {2, 1}},
      {"TriMesh (\n1 0 0 0 40000 0\n", ErrorKind::Overflow, head, {2, 9}},
      {"Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1e999\n0 1 2\n", ErrorKind::Overflow, head, {3, 17}},
      {"PixmapTexture (\n-1 4 0 24\n", ErrorKind::InvalidArgument, head, {2, 1}},
  };
  for (const Case& c : cases) {
    RunFixture fixture;
    EXPECT_EQ(fixture.Run(c.input), c.kind) << c.input;
    EXPECT_EQ(fixture.Output(), c.output) << c.input;
    EXPECT_EQ(fixture.Place(), "input line " + std::to_string(c.place.line) + ", column " +
                                   std::to_string(c.place.column))
        << c.input;
    EXPECT_NE(fixture.window.labelPos.back(), "Done");
  }
}

// A run that fails over an earlier output leaves it as it was; what the
// run wrote is in the side file beside it, byte for byte what the same run
// writes where no file stood before.
TEST(ConversionRunTest, AFailureOverAnEarlierOutputLeavesItAndKeepsThePiecesBeside) {
  const struct {
    const char* name;
    std::string input;
    int wholeFormat;
    ErrorKind kind;
  } cases[] = {
      {"a bad index in the middle",
       kPolyhedron + "Polyhedron (\n3 0 2\n0 0 0 1 0 0 0 0 1\n0 1 2\n0 1 3\n", 0,
       ErrorKind::OutOfRange},
      {"a bad index, whole-format reader",
       "3DMetafile ( 1 6 Normal )\nTriangle ( 0 0 0 1 0 0 0 1 0 )\n"
       "TriMesh ( 1 0 0 0 3 0  0 1 7  0 0 0 1 0 0 0 1 0  0 0 0 1 1 0 False )\n",
       1, ErrorKind::OutOfRange},
      {"an input that cannot be read", "", 0, ErrorKind::FileError},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture fresh;
    fresh.window.wholeFormat = c.wholeFormat;
    RunFixture over;
    over.window.wholeFormat = c.wholeFormat;
    WriteFile(over.window.outFileName, "earlier output, edited by hand");
    const bool unreadable = c.input.empty();
    if (unreadable) {
      fresh.window.inFileName = fresh.dir.File("missing.3dmf");
      over.window.inFileName = over.dir.File("missing.3dmf");
    }
    EXPECT_EQ(unreadable ? fresh.RunAgain() : fresh.Run(c.input), c.kind);
    EXPECT_EQ(unreadable ? over.RunAgain() : over.Run(c.input), c.kind);
    EXPECT_EQ(over.Output(), "earlier output, edited by hand");
    const std::string side = over.window.outFileName + ".partial";
    if (unreadable) {  // read before the first write: there is no side file
      EXPECT_EQ(over.report.sideFile, "");
      EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(side)));
    } else {
      EXPECT_EQ(over.report.sideFile, side);
      EXPECT_EQ(ReadFile(side), fresh.Output());
      EXPECT_NE(fresh.Output().find("Begin Polygon"), std::string::npos);
    }
  }
}

// A run that completes replaces the earlier output at once and leaves no
// side file; an earlier run's side file is kept, the next name taken.
TEST(ConversionRunTest, ACompletedRunReplacesTheEarlierOutputAndKeepsOldSideFiles) {
  RunFixture fixture;
  fixture.window.mapOrBrush = 1;
  const std::string output = fixture.window.outFileName;
  WriteFile(output, "earlier output");
  WriteFile(output + ".partial", "an earlier failed run's pieces");
  ASSERT_EQ(fixture.Run("Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 7\n"),
            ErrorKind::OutOfRange);
  EXPECT_EQ(fixture.report.sideFile, output + ".2.partial");
  EXPECT_EQ(ReadFile(output + ".partial"), "an earlier failed run's pieces");
  EXPECT_EQ(ReadFile(output), "earlier output");

  ASSERT_EQ(fixture.Run(kPolyhedron), std::nullopt);
  EXPECT_EQ(fixture.Output(), OneBrushDocument(PolyhedronRecord(0)));
  EXPECT_EQ(ReadFile(output + ".partial"), "an earlier failed run's pieces");
  EXPECT_EQ(ReadFile(output + ".2.partial"), "Begin PolyList\r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(output + ".3.partial")));
}

}  // namespace
