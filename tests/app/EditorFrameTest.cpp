// The editor frame: the model not mirrored, faces outward with unit normals,
// whole faces as single polygons, no polygon of zero area, and the editor's
// record text; read back from the written documents.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "RunTestSupport.h"
#include "T3dRecords.h"
#include "t3d/EditorFrame.h"
#include "t3d/NumberForm.h"

namespace {

using testing_support::Dot;
using testing_support::Minus;
using testing_support::Record;
using testing_support::Records;
using testing_support::RunFixture;
using testing_support::Vec;

Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const Vec& v) { return std::sqrt(Dot(v, v)); }

// The document of one input through the chosen reader in the editor frame.
std::vector<Record> Convert(const std::string& input, bool wholeFormat, RunFixture& fixture,
                            const std::string& scale = "1") {
  fixture.window.editorFrame = 1;
  fixture.window.wholeFormat = wholeFormat ? 1 : 0;
  fixture.window.mapOrBrush = 1;
  fixture.window.scale = scale;
  EXPECT_EQ(fixture.Run(input), std::nullopt) << fixture.message;
  return Records(fixture.Output());
}

// An asymmetric tetrahedron: corners at distinct distances along x, y, z.
const char kTetraPoints[] = "0 0 0  3 0 0  0 2 0  0 0 1";

TEST(EditorFrameTest, PointsKeepTheirHandednessThroughBothReaders) {
  // X = a, Y = c, Z = b: the determinant is -1 and the model's up (+y)
  // becomes the editor's up (+Z).
  const std::string keyword =
      std::string("Polyhedron (\n4 0 4\n") + kTetraPoints + "\n0 2 1\n0 1 3\n0 3 2\n1 2 3\n)\n";
  const std::string whole = std::string("3DMetafile ( 1 6 Normal toc> )\nTriMesh ( 4 0 0 0 4 0\n") +
                            "0 2 1 0 1 3 0 3 2 1 2 3\n" + kTetraPoints + " )\n";
  const double model[4][3] = {{0, 0, 0}, {3, 0, 0}, {0, 2, 0}, {0, 0, 1}};
  for (const bool wholeFormat : {false, true}) {
    RunFixture fixture;
    const std::vector<Record> records =
        Convert(wholeFormat ? whole : keyword, wholeFormat, fixture, "2");
    ASSERT_EQ(records.size(), 4u);
    for (const Record& record : records) {
      for (const Vec& v : record.vertices) {
        bool found = false;
        for (const auto& p : model) {
          found = found || (v.x == 2 * p[0] && v.y == 2 * p[2] && v.z == 2 * p[1]);
        }
        EXPECT_TRUE(found) << v.x << " " << v.y << " " << v.z << (wholeFormat ? " 3dmf" : "");
      }
    }
  }
}

// Every polygon: a unit normal along (V1 - V0) x (V2 - V0), and area.
void ExpectEditorPolygons(const std::vector<Record>& records, const std::string& name) {
  for (const Record& record : records) {
    ASSERT_GE(record.vertices.size(), 3u) << name;
    const Vec cross = Cross(Minus(record.vertices[1], record.vertices[0]),
                            Minus(record.vertices[2], record.vertices[0]));
    ASSERT_GT(Length(cross), 0) << name << "\n" << record.text;
    EXPECT_NEAR(Length(record.normal), 1, 2e-6) << name << "\n" << record.text;
    EXPECT_NEAR(Dot(record.normal, cross) / Length(cross), 1, 2e-6) << name << "\n" << record.text;
  }
}

// The signed volume by the written corner order (fans from each first corner).
double Volume(const std::vector<Record>& records) {
  double volume = 0;
  for (const Record& record : records) {
    const std::vector<Vec>& v = record.vertices;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) volume += Dot(v[0], Cross(v[i], v[i + 1])) / 6;
  }
  return volume;
}

TEST(EditorFrameTest, ClosedShapesFaceOutwardWithUnitNormals) {
  const struct {
    const char* name;
    std::string input;
    bool wholeFormat;
    double volume;  // at scale 1
  } cases[] = {
      {"Box", "3DMetafile ( 1 6 Normal toc> )\nBox ( 0 2 0 0 0 3 4 0 0 0 0 0 )\n", true, 24},
      // Placed mirrored: still outward.
      {"Box mirrored",
       "3DMetafile ( 1 6 Normal toc> )\nBeginGroup ( DisplayGroup ( ) )\nScale ( -1 1 1 )\n"
       "Box ( 0 2 0 0 0 3 4 0 0 0 0 0 )\nEndGroup ( )\n",
       true, 24},
      {"Ellipsoid", "3DMetafile ( 1 6 Normal toc> )\nEllipsoid ( 0 1 0  0 0 1  1 0 0  0 0 0 )\n",
       true, 4.1},  // a sphere of radius 1 cut coarsely: below 4.19
      {"Mesh cube",
       "3DMetafile ( 1 6 Normal toc> )\nMesh ( 8 0 0 0 1 0 0 1 1 0 0 1 0 0 0 1 1 0 1 1 1 1 0 1 "
       "1\n6 0\n4 0 3 2 1\n4 4 5 6 7\n4 0 1 5 4\n4 1 2 6 5\n4 2 3 7 6\n4 3 0 4 7 )\n",
       true, 1},
      {"TriMesh",
       std::string("3DMetafile ( 1 6 Normal toc> )\nTriMesh ( 4 0 0 0 4 0\n") +
           "0 2 1 0 1 3 0 3 2 1 2 3\n" + kTetraPoints + " )\n",
       true, 1},
      {"Polyhedron (keywords)",
       std::string("Polyhedron (\n4 0 4\n") + kTetraPoints + "\n0 2 1\n0 1 3\n0 3 2\n1 2 3\n)\n",
       false, 1},
  };
  for (const auto& c : cases) {
    RunFixture fixture;
    const std::vector<Record> records = Convert(c.input, c.wholeFormat, fixture);
    ASSERT_FALSE(records.empty()) << c.name;
    ExpectEditorPolygons(records, c.name);
    if (c.volume == 4.1) {
      EXPECT_GT(Volume(records), 3.5) << c.name;
      EXPECT_LT(Volume(records), 4.19) << c.name;
    } else {
      EXPECT_NEAR(Volume(records), c.volume, 1e-5) << c.name;
    }
  }
}

// How often a point of the z = 0 plane is covered by the records'
// polygons (each a fan, all convex).
int Coverage(const std::vector<Record>& records, double x, double y) {
  int covered = 0;
  for (const Record& record : records) {
    const std::vector<Vec>& v = record.vertices;
    for (std::size_t i = 1; i + 1 < v.size(); ++i) {
      const auto side = [&](const Vec& a, const Vec& b) {
        return (b.x - a.x) * (y - a.z) - (b.z - a.z) * (x - a.x);
      };
      const double s1 = side(v[0], v[i]), s2 = side(v[i], v[i + 1]), s3 = side(v[i + 1], v[0]);
      if ((s1 > 0 && s2 > 0 && s3 > 0) || (s1 < 0 && s2 < 0 && s3 < 0)) ++covered;
    }
  }
  return covered;
}

TEST(EditorFrameTest, FlatConvexFacesAreOnePolygonOthersAreCutExactly) {
  // Faces in the model's x-y plane (z = 0): the editor's X-Z plane (Y = 0).
  // The points tested lie off every cut, where a point counts for no side.
  const std::string head = "3DMetafile ( 1 6 Normal toc> )\n";
  const struct {
    const char* name;
    std::string input;
    std::vector<std::size_t> corners;  // per polygon written
    double inside[2];                  // a point inside the face
    double outside[2];                 // a point of the bounding box outside it
  } cases[] = {
      {"Polygon pentagon",
       head + "Polygon ( 5 0 0 0 2 0 0 3 1 0 1 3 0 -1 1 0 )\n",
       {5},
       {1, 1},
       {2.9, 2.9}},
      {"Mesh square and triangle",
       head + "Mesh ( 5 0 0 0 1 0 0 1 1 0 0 1 0 2 0 0\n2 0\n4 0 1 2 3\n3 1 4 2 )\n",
       {4, 3},
       {0.3, 0.7},
       {1.9, 0.9}},
      {"Box side",
       head + "Box ( 0 0 1 0 1 0 1 0 0 0 0 0 )\n",
       {4, 4, 4, 4, 4, 4},
       {0.5, 0.5},
       {2, 2}},
      // An L: concave, cut into triangles that cover it once.
      {"Mesh concave",
       head + "Mesh ( 6 0 0 0 2 0 0 2 1 0 1 1 0 1 2 0 0 2 0\n1 0\n6 0 1 2 3 4 5 )\n",
       {3, 3, 3, 3},
       {0.5, 1.5},
       {1.5, 1.5}},
      // A square with a square hole.
      {"Mesh hole",
       head + "Mesh ( 8 0 0 0 3 0 0 3 3 0 0 3 0 1 1 0 2 1 0 2 2 0 1 2 0\n1 1\n4 0 1 2 3\n-4 7 6 "
              "5 4 )\n",
       {3, 3, 3, 3, 3, 3, 3, 3},
       {0.3, 0.7},
       {1.5, 1.4}},
  };
  for (const auto& c : cases) {
    RunFixture fixture;
    const std::vector<Record> records = Convert(c.input, true, fixture);
    std::vector<std::size_t> corners;
    for (const Record& record : records) corners.push_back(record.vertices.size());
    EXPECT_EQ(corners, c.corners) << c.name;
    ExpectEditorPolygons(records, c.name);
    if (std::string(c.name) == "Box side") continue;  // not flat
    EXPECT_EQ(Coverage(records, c.inside[0], c.inside[1]), 1) << c.name;
    EXPECT_EQ(Coverage(records, c.outside[0], c.outside[1]), 0) << c.name;
    // Seen from above (+Y, the model's +z), the faces turn as the file does.
    for (const Record& record : records) EXPECT_GT(record.normal.y, 0.999) << c.name;
  }
}

TEST(EditorFrameTest, RecordTextNumbersAndLinksAsTheEditorWritesThem) {
  RunFixture fixture;
  fixture.window.editorFrame = 1;
  fixture.window.scale = "1";
  // Two objects in map mode; the second has a triangle with a repeated
  // corner, which is left out and counted.
  ASSERT_EQ(fixture.Run("TriMesh (\n2 0 0 0 4 0\n0 1 2\n0 2 3\n0 0 0 1.5 0 0 0 0 -128\n"
                        "1.5 0 -128\n)\nTriMesh (\n2 0 0 0 3 0\n0 1 2\n0 0 2\n0 0 0 1 0 0 0 1 0\n"
                        ")\n"),
            std::nullopt);
  const std::string document = fixture.Output();
  // The model's up (+y) is the editor's up (+Z).
  EXPECT_NE(document.find("Begin Polygon Item=OUTSIDE Link=0\r\nOrigin +00000.000000,+00000."
                          "000000,+00000.000000\r\nNormal +00000.000000,+00000.000000,+00001."
                          "000000\r\n"),
            std::string::npos)
      << document;
  EXPECT_NE(document.find("Vertex +00000.000000,-00128.000000,+00000.000000\r\n"),
            std::string::npos);
  EXPECT_NE(document.find("Vertex +00001.500000,+00000.000000,+00000.000000\r\n"),
            std::string::npos);
  // Links start again in each brush: 0, 1 in the first, 0 in the second.
  std::vector<std::string> links;
  for (const Record& record : Records(document)) links.push_back(record.head.substr(27));
  EXPECT_EQ(links, (std::vector<std::string>{"Link=0", "Link=1", "Link=0"}));
  EXPECT_EQ(fixture.report.polygons, 3);
  EXPECT_EQ(fixture.report.degenerateLeftOut, 1);
}

// The editor document goes out in blocks, but a run shows what it does as
// the default document's run does: a yield after every triangle, the
// Mesh's rows and each object's count in the captions, at the same points.
TEST(EditorFrameTest, ProgressComesWhereTheDefaultDocumentsDoes) {
  const std::string tetra =
      std::string("Polyhedron (\n4 0 4\n") + kTetraPoints + "\n0 2 1\n0 1 3\n0 3 2\n1 2 3\n)\n";
  const std::string mesh = "Mesh (\n4\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n1\n0\n4 0 1 2 3\n)\n";
  const std::string triMesh = "TriMesh (\n2 0 0 0 4 0\n0 1 2\n0 2 3\n0 0 0 1 0 0 1 1 0 0 1 0\n)\n";
  const struct {
    const char* name;
    std::string input;
    bool wholeFormat;
  } cases[] = {
      {"keyword readers", tetra + mesh + triMesh, false},
      {"whole-format reader", "3DMetafile ( 1 6 Normal toc> )\n" + triMesh + triMesh, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture plain;
    RunFixture editor;
    for (RunFixture* fixture : {&plain, &editor}) {
      fixture->window.editorFrame = fixture == &editor ? 1 : 0;
      fixture->window.wholeFormat = c.wholeFormat ? 1 : 0;
      ASSERT_EQ(fixture->Run(c.input), std::nullopt) << fixture->message;
    }
    EXPECT_EQ(editor.window.doEvents, plain.window.doEvents);
    EXPECT_GT(editor.window.doEvents, editor.report.polygons);
    EXPECT_EQ(editor.window.labelPos, plain.window.labelPos);
    EXPECT_EQ(editor.window.labelProgress, plain.window.labelProgress);
  }
}

TEST(EditorFrameTest, NumberForm) {
  const struct {
    double value;
    const char* form;
  } cases[] = {
      {128, "+00128.000000"},        {-1.5, "-00001.500000"},
      {0, "+00000.000000"},          {-0.0, "+00000.000000"},
      {-0.0000004, "+00000.000000"}, {-0.0000006, "-00000.000001"},
      {123456.25, "+123456.250000"}, {99999.9999996, "+100000.000000"},
      {0.1234565, "+00000.123456"},  // 0.1234565 lies just below the tie
  };
  for (const auto& c : cases) {
    std::string text;
    Unreal::AppendEditorNumber(text, c.value);
    EXPECT_EQ(text, c.form) << c.value;
  }
}

TEST(EditorFrameTest, FitMakesTheLargestSideTheSizeAskedInEitherFrame) {
  const std::string cube = "Polyhedron (\n4 0 2\n0 0 0 2 0 0 0 4 0 0 0 8\n0 1 2\n0 1 3\n)\n";
  for (const int frame : {0, 1}) {
    RunFixture fixture;
    fixture.window.editorFrame = frame;
    fixture.window.fit = "512";
    fixture.window.scale = "not used";
    ASSERT_EQ(fixture.Run(cube), std::nullopt) << fixture.message;
    EXPECT_DOUBLE_EQ(fixture.report.scale, 64);
    EXPECT_DOUBLE_EQ(fixture.report.extent.LargestSide(), 512);
  }
  RunFixture flat;
  flat.window.fit = "0";
  EXPECT_EQ(flat.Run(cube), ErrorKind::InvalidScale);
}

}  // namespace
