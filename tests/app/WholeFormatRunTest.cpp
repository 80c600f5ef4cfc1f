#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "RunTestSupport.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using testing_support::ActorHead;
using testing_support::ActorTail;
using testing_support::ReadFile;
using testing_support::RunFixture;

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Numbers as modellers write them: plain, with exponents, signed zeros,
// trailing zeros.
std::string Coordinate(std::uint64_t& state) {
  state = state * 6364136223846793005ull + 1442695040888963407ull;
  const auto r = static_cast<std::int64_t>(state >> 33);
  switch (r % 5) {
    case 0:
      return std::to_string(r % 2000 - 1000);
    case 1:
      return std::to_string(r % 200000 - 100000) + "e-3";
    case 2:
      return "-0";
    case 3:
      return std::to_string(r % 1000) + ".2500";
    default:
      return "-" + std::to_string(r % 97) + "." + std::to_string(r % 1000003);
  }
}

// TriMesh, Mesh and Polyhedron objects in the layout both readers read: no
// keyword in a comment, Mesh faces of three corners, Polyhedron vertices on
// one line and one line per edge and per triangle.
std::string BothReadersModel() {
  std::uint64_t state = 12345;
  std::string text = "3DMetafile ( 1 6 Normal toc> )\n";
  for (int object = 0; object < 6; ++object) {
    const int points = 5 + object;
    const int triangles = 4 + object;
    if (object % 3 == 2) {
      text += "Polyhedron (\n " + std::to_string(points) + " 2 " + std::to_string(triangles) + "\n";
      for (int p = 0; p < points; ++p)
        text += " " + Coordinate(state) + " " + Coordinate(state) + " " + Coordinate(state);
      text += "\n 0 1 0 1\n 1 2 1 0\n";
      for (int t = 0; t < triangles; ++t) {
        text += " " + std::to_string((t + 1) % points) + " " + std::to_string(t % points) + " " +
                std::to_string((t + 2) % points) + " Edge01 | Edge12\n";
      }
      text += ")\n";
    } else if (object % 3 == 0) {
      text +=
          "TriMesh (\n " + std::to_string(triangles) + " 0 0 0 " + std::to_string(points) + " 0\n";
      for (int t = 0; t < triangles; ++t) {
        text += " " + std::to_string(t % points) + " " + std::to_string((t + 1) % points) + " " +
                std::to_string((t + 3) % points) + "\n";
      }
      for (int p = 0; p < points; ++p)
        text += " " + Coordinate(state) + " " + Coordinate(state) + " " + Coordinate(state) + "\n";
      text += " 0 0 0 1 1 1 False\n)\n";
    } else {
      text += "Mesh (\n " + std::to_string(points) + "\n";
      for (int p = 0; p < points; ++p)
        text += " " + Coordinate(state) + " " + Coordinate(state) + " " + Coordinate(state) + "\n";
      text += " " + std::to_string(triangles) + "\n 0\n";
      for (int t = 0; t < triangles; ++t) {
        text += " 3 " + std::to_string((t + 2) % points) + " " + std::to_string(t % points) + " " +
                std::to_string((t + 1) % points) + "\n";
      }
      text += ")\n";
    }
  }
  return text;
}

TEST(WholeFormatRunTest, BothReadersGiveTheSameDocumentForTriMeshMeshAndPolyhedron) {
  const std::string model = BothReadersModel();
  for (int mode : {0, 1}) {
    for (const char* scale : {"20.0", "1.0", "-2.5"}) {
      RunFixture keywords;
      keywords.window.mapOrBrush = mode;
      keywords.window.scale = scale;
      ASSERT_EQ(keywords.Run(model), std::nullopt) << keywords.message;
      RunFixture whole;
      whole.window.mapOrBrush = mode;
      whole.window.scale = scale;
      whole.window.wholeFormat = 1;
      ASSERT_EQ(whole.Run(model), std::nullopt) << whole.message;
      EXPECT_EQ(whole.Output(), keywords.Output()) << "mode " << mode << ", scale " << scale;
      EXPECT_EQ(whole.window.labelProgress, keywords.window.labelProgress);
      EXPECT_EQ(Count(whole.Output(), "Begin Polygon"), 39u);
      EXPECT_TRUE(whole.report.wholeFormat);
      EXPECT_FALSE(keywords.report.wholeFormat);
    }
  }
}

TEST(WholeFormatRunTest, OneActorPerGeometryObjectAndNoneForATexture) {
  RunFixture fixture;
  fixture.window.wholeFormat = 1;
  const std::string texture =
      "Container ( TextureShader ( ) PixmapTexture ( 2 1 8 32 RGB32 BigEndian BigEndian\n"
      "  0x00FF000000000080 ) )\n";
  const std::string triangle = "Triangle ( 0 0 0 1 0 0 0 1 0 )\n";
  ASSERT_EQ(fixture.Run("3DMetafile ( 1 6 Normal )\n" + texture + triangle + triangle),
            std::nullopt)
      << fixture.message;
  const std::string document = fixture.Output();
  EXPECT_EQ(Count(document, "Begin Actor Class=Brush"), 2u);
  EXPECT_NE(document.find(ActorHead(2)), std::string::npos);
  EXPECT_NE(document.find(ActorTail(3) + "End Map\r\n"), std::string::npos);
  ASSERT_EQ(fixture.window.savedTextures.size(), 1u);
  EXPECT_EQ(fixture.window.savedTextures[0].width, 2);
  EXPECT_EQ(fixture.window.savedTextures[0].Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(fixture.window.savedTextures[0].Pixel(1, 0), 0x000080u);
  EXPECT_EQ(fixture.window.labelProgress, (std::vector<std::string>{"Processed 1", "Processed 2"}));
  EXPECT_EQ(fixture.window.labelPos.back(), "Done");
  EXPECT_TRUE(fixture.window.goEnabled);
}

TEST(WholeFormatRunTest, GroupsTransformsAndReferencesPlaceTheGeometry) {
  RunFixture fixture;
  fixture.window.wholeFormat = 1;
  fixture.window.mapOrBrush = 1;
  fixture.window.scale = "1.0";
  const std::string input =
      "3DMetafile ( 1 6 Normal toc> )\n"
      "BeginGroup ( DisplayGroup ( ) )\n"
      "  Translate ( 10 0 0 )\n"
      "  tri1: Triangle ( 0 0 0 1 0 0 0 1 0 )\n"
      "  BeginGroup ( DisplayGroup ( ) )\n"
      "    Scale ( 2 2 2 )\n"
      "    Reference ( 1 )\n"
      "  EndGroup ( )\n"
      "  Reference ( 1 )\n"
      "EndGroup ( )\n"
      "Reference ( 1 )\n"
      "toc: TableOfContents ( -1 2 -1 0 12 1 1 tri1> )\n";
  ASSERT_EQ(fixture.Run(input), std::nullopt) << fixture.message;
  const std::string document = fixture.Output();
  // Second corners (1, 0, 0) of the triangle as each placement gives it;
  // the axes map X = a, Y = -c, Z = b.
  EXPECT_EQ(Count(document, "Begin Polygon"), 4u);
  const std::size_t first = document.find("Vertex 00011.00000,00000.00000,00000.00000");
  const std::size_t scaled = document.find("Vertex 00012.00000,00000.00000,00000.00000");
  const std::size_t plain = document.find("Vertex 00001.00000,00000.00000,00000.00000");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(scaled, std::string::npos);
  ASSERT_NE(plain, std::string::npos);
  EXPECT_LT(first, scaled);
  EXPECT_LT(scaled, plain);
  EXPECT_EQ(Count(document, "Vertex 00011.00000,00000.00000,00000.00000"), 2u);
}

TEST(WholeFormatRunTest, AFaultInAnObjectKeepsWhatWasWrittenAndNamesThePlace) {
  RunFixture fixture;
  fixture.window.wholeFormat = 1;
  const std::string input =
      "3DMetafile ( 1 6 Normal )\n"
      "Triangle ( 0 0 0 1 0 0 0 1 0 )\n"
      "TriMesh ( 1 0 0 0 3 0\n"
      "  0 1 7\n"
      "  0 0 0 1 0 0 0 1 0 0 0 0 1 1 0 False )\n";
  ASSERT_EQ(fixture.Run(input), Kelvane::ErrorKind::OutOfRange);
  const std::string document = fixture.Output();
  EXPECT_EQ(Count(document, "Begin Polygon"), 1u);
  // The document ends after the last whole piece: the first object's tail.
  EXPECT_EQ(document.substr(document.size() - ActorTail(2).size()), ActorTail(2));
  // The bad index itself.
  EXPECT_EQ(fixture.Place(), "input line 4, column 7");
}

TEST(WholeFormatRunTest, AStructuralFaultLeavesAnExistingOutputUntouched) {
  RunFixture fixture;
  fixture.window.wholeFormat = 1;
  testing_support::WriteFile(fixture.window.outFileName, "keep me");
  EXPECT_EQ(fixture.Run("3DMetafile ( 1 6 Normal )\nTriangle ( 0 0 0\n"),
            Kelvane::ErrorKind::InvalidArgument);
  EXPECT_EQ(fixture.Output(), "keep me");
}

// The corners of each written polygon, as the document gives them.
std::vector<std::vector<std::array<double, 3>>> Polygons(const std::string& document) {
  std::vector<std::vector<std::array<double, 3>>> polygons;
  for (std::size_t at = document.find("Begin Polygon"); at != std::string::npos;
       at = document.find("Begin Polygon", at + 1)) {
    polygons.emplace_back();
    const std::size_t end = document.find("End Polygon", at);
    for (std::size_t v = document.find("Vertex ", at); v < end; v = document.find("Vertex ", v + 1)) {
      std::array<double, 3> p{};
      std::sscanf(document.c_str() + v, "Vertex %lf,%lf,%lf", &p[0], &p[1], &p[2]);
      polygons.back().push_back(p);
    }
  }
  return polygons;
}

double Area(const std::vector<std::array<double, 3>>& corners) {
  if (corners.size() != 3) return -1;
  double e[2][3];
  for (int i = 0; i < 3; ++i) {
    e[0][i] = corners[1][static_cast<std::size_t>(i)] - corners[0][static_cast<std::size_t>(i)];
    e[1][i] = corners[2][static_cast<std::size_t>(i)] - corners[0][static_cast<std::size_t>(i)];
  }
  const double x = e[0][1] * e[1][2] - e[0][2] * e[1][1];
  const double y = e[0][2] * e[1][0] - e[0][0] * e[1][2];
  const double z = e[0][0] * e[1][1] - e[0][1] * e[1][0];
  return std::sqrt(x * x + y * y + z * z) / 2;
}

// Degenerate shapes of every kind between two good triangles: the file
// converts, no polygon without area is written, the shapes with none left
// get a warning with their place and no brush, and the summary counts.
TEST(WholeFormatRunTest, DegenerateShapesConvertWithoutPolygonsOfZeroArea) {
  RunFixture fixture;
  fixture.window.wholeFormat = 1;
  const std::string input =
      "3DMetafile ( 1 6 Normal )\n"
      "Triangle ( 0 0 0 1 0 0 0 1 0 )\n"
      "Ellipsoid ( 0 0 0  0 1 0  1 0 0  0 0 0 )\n"   // a flat ellipse: 960 triangles
      "Cylinder ( 0 0 0  0 1 0  1 0 0  0 0 0 )\n"    // no height, no caps: nothing
      "Cone ( 0 0 1  1 0 0  0 0 0  0 0 0 )\n"        // a flat fan: 32 triangles
      "Disk ( 1 0 0  -2 0 0  0 0 0 )\n"              // a line: nothing
      "Torus ( 0 0 0  2 0 0  0 2 0  0 0 0  0.5 )\n"  // a ring: nothing
      "Box ( 0 0 0  0 0 2  2 0 0  0 0 0 )\n"         // flat: its two faces
      "Box ( 0 0 0  0 0 0  0 0 0  5 5 5 )\n"         // a point: nothing
      "TriMesh ( 2 0 0 0 4 0  0 1 2  0 1 3  0 0 0 1 0 0 0 1 0 2 0 0  0 0 0 1 1 1 False )\n";
  ASSERT_EQ(fixture.Run(input), std::nullopt) << fixture.message;
  const std::string document = fixture.Output();
  const auto polygons = Polygons(document);
  EXPECT_EQ(polygons.size(), 1u + 960 + 32 + 4 + 2);
  // The TriMesh's own triangle without area is written as every reader
  // writes it; the shapes' are not.
  for (std::size_t i = 0; i + 1 < polygons.size(); ++i)
    EXPECT_GT(Area(polygons[i]), 0) << "polygon " << i;
  EXPECT_EQ(Area(polygons.back()), 0);
  EXPECT_EQ(Count(document, "Begin Actor"), 5u);
  EXPECT_EQ(fixture.report.warnings,
            (std::vector<std::string>{
                "Cylinder with no area left out (input line 4, column 1)",
                "Disk with no area left out (input line 6, column 1)",
                "Torus with no area left out (input line 7, column 1)",
                "Box with no area left out (input line 9, column 1)"}));
  EXPECT_EQ(fixture.report.leftOut.zeroAreaTriangles, 64u + 32 + 1024 + 8 + 12);
  EXPECT_EQ(fixture.report.leftOut.noArea,
            (std::map<std::string, std::size_t>{{"Box", 1}, {"Cylinder", 1}, {"Disk", 1},
                                                {"Torus", 1}}));
}

// A file whose last Containers lost their ')' converts whole.
TEST(WholeFormatRunTest, AFileEndingWithOpenContainersConverts) {
  RunFixture fixture;
  fixture.window.wholeFormat = 1;
  ASSERT_EQ(fixture.Run("3DMetafile ( 1 6 Normal )\n"
                        "BeginGroup ( DisplayGroup ( ) )\n"
                        "Container (\n"
                        "  Container ( Triangle ( 0 0 0 1 0 0 0 1 0 ) AttributeSet ( )\n"
                        "EndGroup ( )\n"),
            std::nullopt)
      << fixture.message;
  EXPECT_EQ(Count(fixture.Output(), "Begin Polygon"), 1u);
  ASSERT_EQ(fixture.report.warnings.size(), 2u);
  EXPECT_NE(fixture.report.warnings[1].find("(input line 3, column 1)"), std::string::npos);
}

TEST(WholeFormatRunTest, ABinaryFileIsReadWholeWhateverTheOption) {
  RunFixture fixture;
  fixture.window.wholeFormat = 0;
  fixture.window.mapOrBrush = 1;
  ASSERT_EQ(fixture.Run(ReadFile(std::string(KELVANE_SOURCE_DIR) +
                                 "/tests/data/samples/binary-Triangle.3dmf")),
            std::nullopt)
      << fixture.message;
  EXPECT_TRUE(fixture.report.wholeFormat);
  EXPECT_EQ(Count(fixture.Output(), "Begin Polygon"), 1u);
}

TEST(WholeFormatRunTest, AKeywordRunThatFailsTellsWhenTheWholeReaderReadsTheFile) {
  RunFixture fixture;
  // The header comment names a Mesh: the keyword search stumbles on it.
  const std::string input =
      "3DMetafile ( 1 6 Normal )\n#  Mesh.3dmf\nTriangle ( 0 0 0 1 0 0 0 1 0 )\n";
  EXPECT_EQ(fixture.Run(input), Kelvane::ErrorKind::OutOfRange);
  EXPECT_EQ(fixture.report.wholeFormatWouldRead, std::optional<std::size_t>(1));
  // Not for a file the whole reader cannot read either.
  EXPECT_EQ(fixture.Run("Mesh\nx\n"), Kelvane::ErrorKind::OutOfRange);
  EXPECT_EQ(fixture.report.wholeFormatWouldRead, std::nullopt);
}

TEST(WholeFormatRunTest, EveryRealSampleConvertsWithItsCounts) {
  const struct {
    const char* file;
    int polygons;
    std::size_t textures;
    std::size_t noSurface;
  } cases[] = {
      {"Box.3dmf", 12, 0, 0},
      // No style: 32 steps around; a cylinder's side 2 x 32 x 1, an
      // ellipsoid 2 x 32 x (16 - 1) with its poles as single points.
      {"Cylinder.3dmf", 64, 0, 0},
      {"Ellipsoid.3dmf", 960, 0, 0},
      {"GeneralPolygon.3dmf", 3, 0, 0},
      // Two faces with a hole (7 + 2 - 2 triangles each), six quadrangles.
      {"Mesh.3dmf", 26, 0, 0},
      {"Mesh_ComplexAa.3dmf", 6, 0, 0},
      {"Mesh_Concave.3dmf", 5, 0, 0},
      {"Mesh_TriGrid.3dmf", 16, 0, 0},
      {"Polygon.3dmf", 3, 0, 0},
      {"TriMesh-face-colors.3dmf", 6, 0, 0},
      {"TriMesh-fancy.3dmf", 4, 2, 0},
      {"TriMesh-simple.3dmf", 2, 0, 0},
      {"Triangle.3dmf", 1, 0, 0},
      // Constant 30 30: torus 2 x 30 x 30, ellipsoid 2 x 30 x 29, cone
      // 2 x 30 x 30 - 30 at its tip + 30 for its bottom cap.
      {"binary-Quesa-Logo.3dmf", 5340, 0, 0},
      {"binary-Triangle.3dmf", 1, 0, 0},
      {"texture-wrapping.3dmf", 6, 3, 0},
      {"tx-16bit-little.3dmf", 3, 1, 0},
      {"tx-24bit-little.3dmf", 3, 1, 0},
      {"tx-32bit-little.3dmf", 3, 1, 0},
      {"uv-transform.3dmf", 6, 2, 0},
  };
  for (const auto& c : cases) {
    RunFixture fixture;
    fixture.window.wholeFormat = 1;
    ASSERT_EQ(
        fixture.Run(ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/" + c.file)),
        std::nullopt)
        << c.file << ": " << fixture.message;
    EXPECT_EQ(fixture.report.polygons, c.polygons) << c.file;
    EXPECT_EQ(fixture.window.savedTextures.size(), c.textures) << c.file;
    std::size_t noSurface = 0;
    for (const auto& [kind, count] : fixture.report.leftOut.noSurface) noSurface += count;
    EXPECT_EQ(noSurface, c.noSurface) << c.file;
    EXPECT_TRUE(fixture.report.leftOut.unknown.empty()) << c.file;
  }
}

TEST(WholeFormatRunTest, TheThreePixelFormatsOfOnePictureSaveTheSameBitmap) {
  std::vector<Kelvane::Image> pictures;
  for (const char* file :
       {"tx-32bit-little.3dmf", "tx-24bit-little.3dmf", "tx-16bit-little.3dmf"}) {
    RunFixture fixture;
    fixture.window.wholeFormat = 1;
    ASSERT_EQ(
        fixture.Run(ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/" + file)),
        std::nullopt)
        << file;
    ASSERT_EQ(fixture.window.savedTextures.size(), 1u) << file;
    pictures.push_back(fixture.window.savedTextures[0]);
  }
  const Kelvane::Image& reference = pictures[0];
  for (std::size_t k = 1; k < pictures.size(); ++k) {
    ASSERT_EQ(pictures[k].width, reference.width);
    ASSERT_EQ(pictures[k].height, reference.height);
    // 5 bits a channel keep each channel within 8 levels of the original.
    const int tolerance = k == 2 ? 7 : 0;
    for (int y = 0; y < reference.height; ++y) {
      for (int x = 0; x < reference.width; ++x) {
        for (int shift : {0, 8, 16}) {
          const int a = static_cast<int>((reference.Pixel(x, y) >> shift) & 0xFF);
          const int b = static_cast<int>((pictures[k].Pixel(x, y) >> shift) & 0xFF);
          EXPECT_LE(std::abs(a - b), tolerance) << k << " at " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
