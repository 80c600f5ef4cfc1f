#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "metafile/format/Document.h"
#include "metafile/scene/Scene.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using Kelvane::ErrorKind;
using Kelvane::RunError;
using namespace Kelvane::Metafile;

// Keeps what the walk hands over.
class Recorder : public SceneSink {
 public:
  void Reached(const Object&) override { ++reached; }
  void Geometry(const Object& object, TriangleSet& set) override {
    kinds.push_back(object.kind);
    sets.push_back(set);
  }
  void Texture(const Object&, const Image& image) override { images.push_back(image); }

  int reached = 0;
  std::vector<std::string> kinds;
  std::vector<TriangleSet> sets;
  std::vector<Image> images;
};

struct Walked {
  Recorder recorder;
  SceneSummary summary;
};

Walked WalkText(const std::string& body, bool textures = true) {
  Walked walked;
  const std::string text = "3DMetafile ( 1 6 Normal toc> )\n" + body;
  const auto doc = ReadTextDocument(text);
  WalkScene(*doc, walked.recorder, textures, walked.summary);
  return walked;
}

const std::string kUnitTriangle = "Triangle ( 1 0 0 0 1 0 0 0 1 )\n";

TEST(SceneTest, EachTransformMovesThePointsThatFollowIt) {
  const double h = std::sqrt(0.5);
  const struct {
    std::string transforms;
    Vector3 expect[3];  // where (1,0,0), (0,1,0), (0,0,1) go
  } cases[] = {
      {"", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
      {"Translate ( 1 2 3 )", {{2, 2, 3}, {1, 3, 3}, {1, 2, 4}}},
      {"Scale ( 2 -1 0.5 )", {{2, 0, 0}, {0, -1, 0}, {0, 0, 0.5}}},
      // Counter-clockwise seen from the positive end of the axis.
      {"Rotate ( X 1.5707963267948966 )", {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}},
      {"Rotate ( Y 1.5707963267948966 )", {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}},
      {"Rotate ( Z 1.5707963267948966 )", {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}},
      {"RotateAboutPoint ( Z 3.141592653589793 1 1 0 )", {{1, 2, 0}, {2, 1, 0}, {2, 2, 1}}},
      {"RotateAboutAxis ( 0 0 5 0 0 2 1.5707963267948966 )", {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}},
      {"Matrix ( 1 0 0 0  0 1 0 0  0 0 1 0  5 6 7 1 )", {{6, 6, 7}, {5, 7, 7}, {5, 6, 8}}},
      // A half turn about Z as a quaternion (w, x, y, z), not of unit length.
      {"Quaternion ( 0 0 0 2 )", {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}},
      {"Quaternion ( 0.7071067811865476 0 0 0.7071067811865476 )",
       {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}},
      // The transform written last acts first: rotate, then move.
      {"Translate ( 10 0 0 ) Rotate ( Z 1.5707963267948966 )", {{10, 1, 0}, {9, 0, 0}, {10, 0, 1}}},
      {"Translate ( 10 0 0 ) Reset ( ) Scale ( 3 3 3 )", {{3, 0, 0}, {0, 3, 0}, {0, 0, 3}}},
      {"Rotate ( X 0.7853981633974483 )", {{1, 0, 0}, {0, h, h}, {0, -h, h}}},
  };
  for (const auto& c : cases) {
    const Walked walked = WalkText(c.transforms + "\n" + kUnitTriangle);
    ASSERT_EQ(walked.recorder.sets.size(), 1u) << c.transforms;
    const auto& points = walked.recorder.sets[0].points;
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(points[k].X, c.expect[k].X, 1e-12) << c.transforms << " corner " << k;
      EXPECT_NEAR(points[k].Y, c.expect[k].Y, 1e-12) << c.transforms << " corner " << k;
      EXPECT_NEAR(points[k].Z, c.expect[k].Z, 1e-12) << c.transforms << " corner " << k;
    }
  }
}

TEST(SceneTest, LeavingAGroupRestoresItsTransform) {
  const Walked walked = WalkText(
      "Translate ( 1 0 0 )\n"
      "BeginGroup ( DisplayGroup ( ) )\n"
      "  Translate ( 0 5 0 )\n" +
      kUnitTriangle + "  BeginGroup ( OrderedDisplayGroup ( ) ) Scale ( 2 2 2 ) EndGroup ( )\n" +
      kUnitTriangle + "EndGroup ( )\n" + kUnitTriangle + "EndGroup ( )\n" + kUnitTriangle);
  ASSERT_EQ(walked.recorder.sets.size(), 4u);
  EXPECT_EQ(walked.recorder.sets[0].points[0].Y, 5);
  EXPECT_EQ(walked.recorder.sets[1].points[0].X, 2);  // the inner Scale is gone
  EXPECT_EQ(walked.recorder.sets[2].points[0].Y, 0);
  EXPECT_EQ(walked.recorder.sets[2].points[0].X, 2);
  EXPECT_EQ(walked.recorder.sets[3].points[0].X, 2);  // a stray EndGroup changes nothing
  EXPECT_EQ(walked.summary.strayEndGroups, 1u);
}

TEST(SceneTest, AnObjectDrawnThroughTwoReferencesConvertsTwice) {
  const Walked walked =
      WalkText("g: BeginGroup ( DisplayGroup ( ) ) Translate ( 0 0 1 ) t: " + kUnitTriangle +
               "EndGroup ( )\n"
               "Translate ( 100 0 0 )\n"
               "Reference ( 2 )\n"
               "Container ( Reference ( 1 ) AttributeSet ( ) )\n"
               "toc: TableOfContents ( -1 3 -1 0 12 2 1 t> 2 g> )\n");
  // The group in place, the group again through its reference (its own
  // transform restored after it), then the bare triangle.
  ASSERT_EQ(walked.recorder.sets.size(), 3u);
  EXPECT_EQ(walked.recorder.sets[0].points[0].Z, 1);
  EXPECT_EQ(walked.recorder.sets[1].points[0].X, 101);
  EXPECT_EQ(walked.recorder.sets[1].points[0].Z, 1);
  EXPECT_EQ(walked.recorder.sets[2].points[0].X, 101);
  EXPECT_EQ(walked.recorder.sets[2].points[0].Z, 0);
  EXPECT_EQ(walked.summary.geometryObjects, 3u);
  EXPECT_EQ(walked.summary.triangles, 3u);
}

TEST(SceneTest, UnknownKindsAndShapesWithoutSurfaceAreCountedAndLeftOut) {
  const Walked walked = WalkText(
      "Frobnicator ( 1 2 Inner ( ) 3 )\n"
      "Frobnicator ( )\n"
      "Ellipse ( 1 0 0 0 1 0 0 0 0 0 1 )\n"
      "Container ( Line ( 0 0 0 1 1 1 ) AttributeSet ( ) )\n"
      "DiffuseColor ( 1 0 0 )\n"
      "ViewHints ( )\n" +
      kUnitTriangle);
  EXPECT_EQ(walked.recorder.sets.size(), 1u);
  EXPECT_EQ(walked.summary.unknown, (std::map<std::string, std::size_t>{{"Frobnicator", 2}}));
  EXPECT_EQ(walked.summary.noSurface,
            (std::map<std::string, std::size_t>{{"Ellipse", 1}, {"Line", 1}}));
}

TEST(SceneTest, SubdivisionStylesAndCapsReachTheParametricSurfaces) {
  // A cylinder's side of u x v cells, and caps as its Caps attribute asks.
  const std::string cylinder = "Cylinder ( 0 0 2 1 0 0 0 1 0 0 0 0 0 1 0 1 )";
  const Walked walked = WalkText(
      "SubdivisionStyle ( Constant 8 3 )\n"
      "BeginGroup ( DisplayGroup ( ) )\n"
      "  SubdivisionStyle ( Constant 20 5 )\n"
      "  Container ( " +
      cylinder +
      " Caps ( Top | Bottom ) )\n"
      "EndGroup ( )\n" +
      cylinder +
      "\n"
      "Container ( " +
      cylinder + " Caps ( Bottom ) )\n");
  ASSERT_EQ(walked.recorder.sets.size(), 3u);
  const auto count = [&](std::size_t k) { return walked.recorder.sets[k].triangles.size(); };
  // Inside the group: 20 around; after it, 8 around again. Each cap adds
  // one fan of u triangles.
  EXPECT_GT(count(0), count(1));
  EXPECT_EQ(count(2) - count(1), 8u);
  EXPECT_EQ(walked.summary.geometryObjects, 3u);
}

TEST(SceneTest, ASubdivisionStyleOutsideItsRangeIsAnError) {
  const struct {
    std::string style;
    std::string message;
  } cases[] = {
      {"SubdivisionStyle ( Constant 0 4 )", "A subdivision count of 0 is outside 1 to 10000"},
      {"SubdivisionStyle ( Constant 4 10001 )",
       "A subdivision count of 10001 is outside 1 to 10000"},
      {"SubdivisionStyle ( WorldSpace -1 )", "A subdivision size of -1 is not above 0"},
      // In plain decimal, never rounded to a 0 that would read as allowed.
      {"SubdivisionStyle ( WorldSpace -1e-7 )", "A subdivision size of -0.0000001 is not above 0"},
      {"SubdivisionStyle ( Constant 1e5 4 )", "A subdivision count of 100000 is outside 1 to 10000"},
  };
  for (const auto& c : cases) {
    try {
      WalkText(c.style + "\n" + kUnitTriangle);
      ADD_FAILURE() << c.style;
    } catch (const RunError& e) {
      EXPECT_EQ(e.Kind(), ErrorKind::OutOfRange) << c.style;
      EXPECT_EQ(std::string(e.what()), c.message);
      EXPECT_EQ(e.Place().rfind("input line 2, column ", 0), 0u) << e.Place();
    }
  }
}

TEST(SceneTest, ATextureIsHandedOverOnceWhereverItStands) {
  const std::string pixmap = "PixmapTexture ( 1 1 4 32 RGB32 BigEndian BigEndian 0x00102030 )";
  const std::string body = "shader: Container ( TextureShader ( ) " + pixmap +
                           " )\n"
                           "Container ( " +
                           kUnitTriangle +
                           " Container ( AttributeSet ( ) Reference ( 1 ) ) )\n"
                           "Container ( " +
                           kUnitTriangle +
                           " Container ( AttributeSet ( ) Reference ( 1 ) ) )\n"
                           "toc: TableOfContents ( -1 2 -1 0 12 1 1 shader> )\n";
  const Walked on = WalkText(body);
  ASSERT_EQ(on.recorder.images.size(), 1u);
  EXPECT_EQ(on.recorder.images[0].rgb, (std::vector<std::uint32_t>{0x102030}));
  EXPECT_EQ(on.recorder.sets.size(), 2u);
  const Walked off = WalkText(body, false);
  EXPECT_TRUE(off.recorder.images.empty());
  EXPECT_EQ(off.recorder.sets.size(), 2u);
}

TEST(SceneTest, BadReferencesAndTransformsAreErrorsWithTheirPlace) {
  const struct {
    std::string body;
    ErrorKind kind;
    std::string message;
    std::string place;
  } cases[] = {
      {"Reference ( 9 )\n", ErrorKind::OutOfRange,
       "Reference 9 names no entry of the table of contents", "input line 2, column 1"},
      {"a: BeginGroup ( DisplayGroup ( ) )\n  Reference ( 1 )\nEndGroup ( )\n"
       "toc: TableOfContents ( -1 2 -1 0 12 1 1 a> )\n",
       ErrorKind::InvalidArgument,
       "This Reference leads back into an object that refers to it: a cycle of references",
       "input line 3, column 3"},
      {"c: Container ( Reference ( 1 ) )\ntoc: TableOfContents ( -1 2 -1 0 12 1 1 c> )\n",
       ErrorKind::InvalidArgument,
       "This Reference leads back into an object that refers to it: a cycle of references",
       "input line 2, column 16"},
      {"RotateAboutAxis ( 0 0 0 0 0 0 1 )\n", ErrorKind::InvalidArgument,
       "The axis of a RotateAboutAxis has no direction", "input line 2, column 31"},
      {"Quaternion ( 0 0 0 0 )\n", ErrorKind::InvalidArgument,
       "A Quaternion of length 0 gives no rotation", "input line 2, column 20"},
      {"Rotate ( W 1 )\n", ErrorKind::InvalidArgument,
       "Unknown value \"W\"; expected one of X, Y, Z", "input line 2, column 10"},
      {"Scale ( 1e300 1e300 1e300 ) Scale ( 1e300 1 1 )\n" + kUnitTriangle, ErrorKind::Overflow,
       "A point of this Triangle is beyond the range of numbers once transformed",
       "input line 3, column 1"},
  };
  for (const auto& c : cases) {
    try {
      WalkText(c.body);
      ADD_FAILURE() << "no error for: " << c.body;
    } catch (const RunError& e) {
      EXPECT_EQ(e.Kind(), c.kind) << c.body;
      EXPECT_EQ(std::string(e.what()), c.message) << c.body;
      EXPECT_EQ(e.Place(), c.place) << c.body;
    }
  }
}

TEST(SceneTest, AReferenceChainDeeperThanTheLimitIsRefused) {
  std::string body;
  std::string table;
  const int links = kMaxNesting + 2;
  for (int i = 1; i <= links; ++i) {
    body +=
        "r" + std::to_string(i) + ": Container ( Reference ( " + std::to_string(i + 1) + ") )\n";
    table += " " + std::to_string(i) + " r" + std::to_string(i) + ">";
  }
  body += "Reference ( 1 )\ntoc: TableOfContents ( -1 2 -1 0 12 " + std::to_string(links) + table +
          " )\n";
  try {
    WalkText(body);
    ADD_FAILURE() << "no error";
  } catch (const RunError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::OutOfRange);
    EXPECT_EQ(std::string(e.what()), "References lead into one another more than 256 deep");
  }
}

TEST(SceneTest, ReferencesThatDoubleAtEachLevelAreStoppedNotFollowedForever) {
  // Each group draws the one before it twice: 2^60 triangles by the last.
  std::string geometry = "g0: Triangle ( 0 0 0 1 0 0 0 1 0 )\n";
  std::string attributes = "a0: AttributeSet ( )\n";
  std::string table;
  const int levels = 60;
  for (int i = 1; i <= levels; ++i) {
    const std::string before = std::to_string(i - 1);
    geometry += "g" + std::to_string(i) + ": BeginGroup ( DisplayGroup ( ) ) Reference ( " +
                before + " ) Reference ( " + before + " ) EndGroup ( )\n";
    attributes += "a" + std::to_string(i) + ": Container ( AttributeSet ( ) Reference ( " +
                  std::to_string(levels + 1 + i - 1) + " ) Reference ( " +
                  std::to_string(levels + 1 + i - 1) + " ) )\n";
  }
  for (int i = 0; i <= levels; ++i) {
    table += " " + std::to_string(i) + " g" + std::to_string(i) + ">";
    table += " " + std::to_string(levels + 1 + i) + " a" + std::to_string(i) + ">";
  }
  const std::string toc =
      "toc: TableOfContents ( -1 2 -1 0 12 " + std::to_string(2 * (levels + 1)) + table + " )\n";
  // Attribute sets that refer to each other twice over are searched once.
  const Walked attributesOnly = WalkText(attributes + toc);
  EXPECT_TRUE(attributesOnly.recorder.sets.empty());
  try {
    WalkText(geometry + toc);
    ADD_FAILURE() << "no error";
  } catch (const RunError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::OutOfRange);
    EXPECT_EQ(std::string(e.what()), "References draw this file's objects more than 1048576 times");
  }
}

}  // namespace
