#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "metafile/format/TextFields.h"
#include "metafile/surfaces/Geometry.h"
#include "tests/metafile/DecodeTestSupport.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using namespace Kelvane::Metafile;
using Kelvane::ErrorKind;
using Kelvane::RunError;

namespace {

using Tri = std::array<std::uint32_t, 3>;

TriangleSet Decode(std::string_view kind, std::string_view data) {
  TriangleSet set;
  DecodeGeometry(kind, *TextFieldsOf(data), set);
  return set;
}

Vector3 Cross(const Vector3& a, const Vector3& b, const Vector3& c) { return Cross(b - a, c - a); }

Vector3 Normal(const TriangleSet& set, const Tri& t) {
  return Cross(set.points[t[0]], set.points[t[1]], set.points[t[2]]);
}

double Area(const TriangleSet& set) {
  double sum = 0;
  for (const Tri& t : set.triangles) sum += std::sqrt(Dot(Normal(set, t), Normal(set, t))) / 2;
  return sum;
}

// The data parts of the sample models (the text between the object's
// parentheses), comments kept as they stand.
constexpr std::string_view kTriMeshSimple = R"(
		2 1 0 0 4 2 # numTriangles
		# numTriangleAttributeTypes
		# numEdges
		# numEdgeAttributeTypes
		# numPoints
		# numVertexAttributeTypes
		0 1 2 # faces
		0 2 3
		-0.5 -0.5 0 # points
		0.5 -0.5 0
		0.5 0.5 0
		-0.5 0.5 0
		-0.5 -0.0 0 0.5 0.5 0 False # bounding box
)";

constexpr std::string_view kTriMeshFancy = R"(
		4 2 3 1 6 2 # numTriangles
		0 3 1 # faces
		0 2 3
		2 4 3
		4 5 3
		0 3 0 1 # edges
		2 3 1 2
		3 4 2 3
		-20 -20 0 # points
		-20 10 0
		0 0 0
		0 30 0
		20 -20 0
		20 10 0
		-20 -20 -1 20 30 1 False # bounding box
)";

constexpr std::string_view kTriMeshFaceColors = R"(
		6 1 0 0 8 0 # numTriangles numTriangleAttributeTypes numEdges ...
		# faces
		0 1 5
		0 5 4
		1 2 6
		1 6 5
		2 3 7
		2 7 6
		# vertices
		0 0 0
		1 0 1
		2 0 1
		3 0 1
		0 1 0
		1 1 1
		2 1 1
		3 1 1
		# bounding box
		0 0 0 3 1 1 False
)";

constexpr std::string_view kMesh = R"(
		14			# numVertices
		-3 -2  1	# vertex 0
		 3 -2  1	# vertex 1
		 3  2  1	# vertex 2
		-3  2  1	# vertex 3
		-3 -2 -1	# vertex 4
		 3 -2 -1	# vertex 5
		 3  2 -1	# vertex 6
		-3  2 -1	# vertex 7
		 2  1  1	# vertex 8
		 2 -1  1	# vertex 9
		-1 -1  1	# vertex 10
		 2  1 -1	# vertex 11
		 2 -1 -1	# vertex 12
		-1 -1 -1	# vertex 13
		8			# numFaces
		2			# numContours
		# faces
		 4  0  1  2  3	# front
		-3  8  9 10
		 4  7  6  5  4	# back
		-3 13 12 11
		 4  1  5  6  2	# right
		 4  3  7  4  0	# left
#		 4  2  6  7  3	# top
		 4  0  4  5  1	# bottom
		 4  9  8 11 12	# tunnel
		 4 10  9 12 13	# tunnel
		 4  8 10 13 11	# tunnel
)";

constexpr std::string_view kMeshComplexAa = R"(
		6			# numVertices
		 3  2  0	# vertex 0
		-3 -2  0	# vertex 1
		 3 -2  0	# vertex 2
		 2  1  0	# vertex 3
		 2 -1  0	# vertex 4
		-1 -1  0	# vertex 5
		1			# numFaces
		1			# numContours
		 3  0  1  2
		-3  3  4  5
)";

constexpr std::string_view kMeshConcave = R"(
		7			# numVertices
		 0  1  0	# vertex 0
		-1 -1  0	# vertex 1
		-3  0  0	# vertex 2
		-3 -2  0	# vertex 3
		 3 -2  0	# vertex 4
		 3  2  0	# vertex 5
		 1 -1  0	# vertex 6
		1			# numFaces
		0			# numContours
		7  0  1  2  3  4  5  6
)";

constexpr std::string_view kMeshTriGrid = R"(
		15			# numVertices
		-4 -2 -1	-2 -2  0	 0 -2 -1	 2 -2  0	 4 -2 -1
		-4  0  0	-2  0 -1	 0  0  2	 2  0 -1	 4  0  0
		-4  2 -1	-2  2  0	 0  2 -1	 2  2  0	 4  2 -1
		16			# numFaces
		 0			# numContours
		3   1  5  0		3   1  6  5		3   1  7  6		3   1  2  7
		3   3  7  2		3   3  8  7		3   3  9  8		3   3  4  9
		3  11 10  5		3  11  5  6		3  11  6  7		3  11  7 12
		3  13 12  7		3  13  7  8		3  13  8  9		3  13  9 14
)";

constexpr std::string_view kPolygon = R"(
		5
		0 0 0
		1 0 0
		2 1 0
		1 2 0
		0 1 0
)";

constexpr std::string_view kTriangle = R"(
			1.5 -1.5 0
			0 1.5 0
			-1.5 -1.5 0 )";

constexpr std::string_view kGeneralPolygon = R"(
		1			# numContours
		# contour 0
		5			# numVertices
		 0  2  0	# vertex 0
		-3  0  0	# vertex 1
		-3 -2  0	# vertex 2
		 3 -2  0	# vertex 3
		 3  2  0	# vertex 4
)";

constexpr std::string_view kBox = R"(
		 0  4  0	# orientation
		 0  0  2	# majorAxis
		 6  0  0	# minorAxis
		-3 -2 -1	# origin
)";

struct SampleCase {
  std::string name;
  std::string kind;
  std::string_view data;
  std::size_t points;
  std::size_t triangles;
  double area;
};

TEST(GeometryTest, SampleModelsGiveTheirTriangles) {
  const std::vector<SampleCase> cases = {
      {"TriMesh-simple", "TriMesh", kTriMeshSimple, 4, 2, 1},
      {"TriMesh-fancy", "TriMesh", kTriMeshFancy, 6, 4, 4 * 300},
      {"TriMesh-face-colors", "TriMesh", kTriMeshFaceColors, 8, 6, std::sqrt(2.0) + 2},
      // Front and back: 4 corners with a 3-corner hole, 7 triangles each;
      // right, left, bottom and three tunnel walls, 2 each.
      {"Mesh", "Mesh", kMesh, 14, 26, 2 * (24 - 3) + 8 + 8 + 12 + 4 + 6 + 2 * std::sqrt(13.0)},
      {"Mesh_ComplexAa", "Mesh", kMeshComplexAa, 6, 6, 12 - 3},
      {"Mesh_Concave", "Mesh", kMeshConcave, 7, 5, 12},
      {"Mesh_TriGrid", "Mesh", kMeshTriGrid, 15, 16, -1},
      {"Polygon", "Polygon", kPolygon, 5, 3, 2.5},
      {"Triangle", "Triangle", kTriangle, 3, 1, 4.5},
      {"GeneralPolygon", "GeneralPolygon", kGeneralPolygon, 5, 3, 24 - 3},
      {"Box", "Box", kBox, 8, 12, 2 * (6 * 4 + 6 * 2 + 4 * 2)},
  };
  for (const SampleCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(c.kind, c.data);
    EXPECT_EQ(set.points.size(), c.points);
    EXPECT_EQ(set.triangles.size(), c.triangles);
    if (c.area >= 0) {
      EXPECT_NEAR(Area(set), c.area, 1e-9);
    }
  }
}

// The keyword reader takes a TriMesh's rows as they stand; so does this one.
TEST(GeometryTest, TriMeshKeepsTheFilesRowsAndPoints) {
  const TriangleSet set = Decode("TriMesh", kTriMeshFancy);
  EXPECT_EQ(set.triangles, (std::vector<Tri>{{0, 3, 1}, {0, 2, 3}, {2, 4, 3}, {4, 5, 3}}));
  ASSERT_EQ(set.points.size(), 6u);
  EXPECT_EQ(set.points[1].X, -20);
  EXPECT_EQ(set.points[1].Y, 10);
  EXPECT_EQ(set.points[5].X, 20);
  // Without its bounding box the TriMesh reads the same.
  const TriangleSet bare = Decode("TriMesh", "1 0 0 0 3 0  2 1 0  0 0 0  1 0 0  0 1 0");
  EXPECT_EQ(bare.triangles, (std::vector<Tri>{{2, 1, 0}}));
  EXPECT_EQ(bare.points.size(), 3u);
}

TEST(GeometryTest, PolyhedronGivesItsTrianglesInFileOrder) {
  // A tetrahedron: 4 vertices, 6 edges, 4 triangles with their edge flags.
  const TriangleSet set = Decode("Polyhedron", R"(
    4 6 4
    0 0 0   1 0 0   0 1 0   0 0 1
    0 1 0 3   1 2 0 1   2 0 0 2   0 3 2 3   1 3 1 3   2 3 1 2
    0 2 1 Edge01 | Edge12 | Edge20
    0 1 3 None
    1 2 3 Edge12
    0 3 2 All
  )");
  EXPECT_EQ(set.triangles, (std::vector<Tri>{{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {0, 3, 2}}));
  EXPECT_EQ(set.points.size(), 4u);
  // Outward all round: the file's sense is kept.
  for (const Tri& t : set.triangles) {
    const Vector3 n = Normal(set, t);
    const Vector3 toCentre{0.25 - set.points[t[0]].X, 0.25 - set.points[t[0]].Y,
                           0.25 - set.points[t[0]].Z};
    EXPECT_LT(Dot(n, toCentre), 0);
  }
}

TEST(GeometryTest, SmallKindsGiveExactTriangles) {
  EXPECT_EQ(Decode("Triangle", kTriangle).triangles, (std::vector<Tri>{{0, 1, 2}}));
  const TriangleSet quad = Decode("Mesh", "4  0 0 0  1 0 0  1 1 0  0 1 0  1 0  4 0 1 2 3");
  ASSERT_EQ(quad.triangles.size(), 2u);
  EXPECT_NEAR(Area(quad), 1, 1e-12);
  // Kinds are named as the text form writes them, in any case.
  EXPECT_TRUE(IsSurfaceGeometry("TriMesh"));
  EXPECT_TRUE(IsSurfaceGeometry("generalpolygon"));
  EXPECT_FALSE(IsSurfaceGeometry("Cylinder"));
  EXPECT_FALSE(IsSurfaceGeometry("PixmapTexture"));
}

// Normals of a face agree whichever kind carries it, and whichever way the
// file turns it.
TEST(GeometryTest, PolygonsKeepTheFilesSense) {
  struct SenseCase {
    std::string name;
    std::string kind;
    std::string data;
    double z;  // the sign every triangle normal's z must have
  };
  const std::vector<SenseCase> cases = {
      {"TriMesh", "TriMesh", "2 0 0 0 4 0  0 1 2  0 2 3  0 0 0 4 0 0 4 4 0 0 4 0", 1},
      {"MeshSameFace", "Mesh", "4  0 0 0  4 0 0  4 4 0  0 4 0  1 0  4 0 1 2 3", 1},
      {"MeshConcaveClockwise", "Mesh",
       "6  0 0 0  0 6 0  2 6 0  2 2 0  6 2 0  6 0 0  1 0  6 0 1 2 3 4 5", -1},
      {"PolygonClockwise", "Polygon", "5  0 0 0  0 2 0  1 1 0  2 2 0  2 0 0", -1},
      {"PolygonCounterclockwise", "Polygon", "5  0 0 0  2 0 0  2 2 0  1 1 0  0 2 0", 1},
      {"GeneralPolygonClockwise", "GeneralPolygon",
       "2  4  0 0 0  0 9 0  9 9 0  9 0 0  4  3 3 0  6 3 0  6 6 0  3 6 0", -1},
      {"TriGrid", "TriGrid", "2 3  0 0 0  1 0 0  2 0 0  0 1 0  1 1 0  2 1 0", 1},
  };
  for (const SenseCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(c.kind, c.data);
    ASSERT_FALSE(set.triangles.empty());
    for (const Tri& t : set.triangles) EXPECT_GT(Normal(set, t).Z * c.z, 0);
  }
}

TEST(GeometryTest, GeneralPolygonFillsEvenOdd) {
  // A frame (a square with a square hole) and an island inside the hole.
  const TriangleSet set = Decode("GeneralPolygon", R"(
    3
    4   0 0 0   10 0 0   10 10 0   0 10 0
    4   2 2 0   8 2 0    8 8 0     2 8 0
    4   4 4 0   6 4 0    6 6 0     4 6 0
  )");
  EXPECT_EQ(set.points.size(), 12u);
  EXPECT_EQ(set.triangles.size(), 10u);
  EXPECT_NEAR(Area(set), 100 - 36 + 4, 1e-9);
}

// How many triangles cover the point (x, y) of the plane z = 0, its border
// left out: probes stand off the lines a fill may cut along.
int Cover(const TriangleSet& set, double x, double y) {
  int count = 0;
  for (const Tri& t : set.triangles) {
    const Vector3& a = set.points[t[0]];
    const Vector3& b = set.points[t[1]];
    const Vector3& c = set.points[t[2]];
    const double d1 = (b.X - a.X) * (y - a.Y) - (b.Y - a.Y) * (x - a.X);
    const double d2 = (c.X - b.X) * (y - b.Y) - (c.Y - b.Y) * (x - b.X);
    const double d3 = (a.X - c.X) * (y - c.Y) - (a.Y - c.Y) * (x - c.X);
    if ((d1 > 0 && d2 > 0 && d3 > 0) || (d1 < 0 && d2 < 0 && d3 < 0)) ++count;
  }
  return count;
}

struct CrossingDecodeCase {
  std::string name;
  std::string kind;
  std::string data;
  std::size_t vertices;  // the file's points, which come first
  double area;           // of the even-odd region, worked out by hand
  std::vector<std::pair<double, double>> inside;
  std::vector<std::pair<double, double>> outside;
  double z;  // the sign every triangle normal's z must have
};

// Faces whose contours cross are filled by the even-odd rule: each point
// of the region once, nothing else.
TEST(GeometryTest, CrossingContoursFillTheEvenOddRegion) {
  const std::vector<CrossingDecodeCase> cases = {
      {"PolygonBowtie",
       "Polygon",
       "4  0 0 0  4 4 0  4 0 0  0 4 0",
       4,
       8,
       {{0.537, 2.071}, {3.463, 1.871}},
       {{2.137, 0.571}, {1.871, 3.463}},
       -1},
      {"MeshHoleAcrossTheEdge",
       "Mesh",
       "8  0 0 0  10 0 0  10 10 0  0 10 0  8 4 0  8 6 0  12 6 0  12 4 0"
       "  1 1  4 0 1 2 3  -4 4 5 6 7",
       8,
       100,
       {{5.137, 4.871}, {11.137, 4.929}},
       {{9.137, 5.071}, {11.137, 7.071}},
       1},
      {"MeshHoleOutsideTheFace",
       "Mesh",
       "6  0 0 0  1 0 0  0 1 0  5 5 0  6 5 0  5 6 0  1 1  3 0 1 2  -3 3 4 5",
       6,
       1,
       {{0.213, 0.187}, {5.213, 5.187}},
       {{0.813, 0.787}, {5.813, 5.787}},
       1},
      // The face is turned clockwise; the triangles follow it.
      {"MeshIslandInAHoleClockwise",
       "Mesh",
       "12  0 0 0  0 6 0  6 6 0  6 0 0  1 1 0  5 1 0  5 5 0  1 5 0"
       "  2 2 0  4 2 0  4 4 0  2 4 0  1 2  4 0 1 2 3  -4 4 5 6 7  -4 8 9 10 11",
       12,
       36 - 16 + 4,
       {{0.537, 3.071}, {3.137, 2.871}},
       {{1.537, 3.071}, {7.137, 3.071}},
       -1},
      {"GeneralPolygonOverlappingSquares",
       "GeneralPolygon",
       "2  4  0 0 0  4 0 0  4 4 0  0 4 0  4  2 2 0  6 2 0  6 6 0  2 6 0",
       8,
       24,
       {{1.137, 0.871}, {5.137, 4.871}, {3.137, 1.071}},
       {{3.137, 2.871}, {7.137, 7.071}},
       1},
      // Three staggered squares (GeneralPolygon_ComplexFa): the parts under
      // one or three of them.
      {"GeneralPolygonThreeSquares",
       "GeneralPolygon",
       "3  4 -5 -5 0  1 -5 0  1 1 0  -5 1 0  4 -3 -3 0  3 -3 0  3 3 0  -3 3 0"
       "  4 -1 -1 0  5 -1 0  5 5 0  -1 5 0",
       12,
       6 * 6 * 3 - 2 * (16 + 16 + 4) + 4 * 4,
       {{-4.137, -3.871}, {0.137, -0.129}, {4.137, 3.871}},
       {{-2.137, -1.871}, {2.137, 1.871}, {-4.137, 4.071}},
       1},
  };
  for (const CrossingDecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(c.kind, c.data);
    ASSERT_GE(set.points.size(), c.vertices);
    EXPECT_NEAR(Area(set), c.area, 1e-9);
    for (const auto& [x, y] : c.inside) EXPECT_EQ(Cover(set, x, y), 1) << x << " " << y;
    for (const auto& [x, y] : c.outside) EXPECT_EQ(Cover(set, x, y), 0) << x << " " << y;
    for (const Tri& t : set.triangles) EXPECT_GT(Normal(set, t).Z * c.z, 0);
  }
}

// Points the fill adds follow the file's, and later faces of the Mesh
// still use the file's vertices: a bowtie face, then a square.
TEST(GeometryTest, PointsAddedByTheFillComeAfterTheFilesVertices) {
  const TriangleSet set = Decode("Mesh",
                                 "8  0 0 0  4 4 0  4 0 0  0 4 0  10 0 0  11 0 0  11 1 0  10 1 0"
                                 "  2 0  4 0 1 2 3  4 4 5 6 7");
  ASSERT_GT(set.points.size(), 8u);
  EXPECT_EQ(set.points[4].X, 10);
  EXPECT_EQ(set.points[7].Y, 1);
  EXPECT_NEAR(set.points[8].X, 2, 1e-12);  // where the bowtie crosses
  EXPECT_NEAR(set.points[8].Y, 2, 1e-12);
  ASSERT_GE(set.triangles.size(), 2u);
  // The square comes last, in the file's vertices as before.
  const Tri& a = set.triangles[set.triangles.size() - 2];
  const Tri& b = set.triangles.back();
  for (std::uint32_t i : {a[0], a[1], a[2], b[0], b[1], b[2]}) {
    EXPECT_GE(i, 4u);
    EXPECT_LT(i, 8u);
  }
  EXPECT_NEAR(Area(set), 8 + 1, 1e-12);
}

TEST(GeometryTest, TriGridCutsEachCellByTheDocumentedDiagonal) {
  const TriangleSet set = Decode("TriGrid", R"(
    3 4
    0 0 0  1 0 0  2 0 0  3 0 0
    0 1 0  1 1 0  2 1 0  3 1 0
    0 2 0  1 2 0  2 2 0  3 2 0
  )");
  EXPECT_EQ(set.points.size(), 12u);
  ASSERT_EQ(set.triangles.size(), 2u * 2 * 3);
  EXPECT_EQ(set.triangles[0], (Tri{0, 1, 4}));
  EXPECT_EQ(set.triangles[1], (Tri{4, 1, 5}));
  EXPECT_EQ(set.triangles[2], (Tri{1, 6, 5}));
  EXPECT_EQ(set.triangles[3], (Tri{1, 2, 6}));
  EXPECT_NEAR(Area(set), 6, 1e-12);
}

struct BoxCase {
  std::string name;
  std::string data;
  Vector3 low;
  Vector3 high;
};

TEST(GeometryTest, BoxIsClosedAndFacesOut) {
  const std::vector<BoxCase> cases = {
      {"Sample", std::string(kBox), {-3, -2, -1}, {3, 2, 1}},
      {"NoDataIsTheUnitBox", "", {0, 0, 0}, {1, 1, 1}},
      {"LeftHanded", "0 4 0  0 0 2  -6 0 0  3 -2 -1", {-3, -2, -1}, {3, 2, 1}},
      {"OnlyOrientationGiven", "0 2 0", {0, 0, 0}, {1, 2, 1}},
  };
  for (const BoxCase& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode("Box", c.data);
    ASSERT_EQ(set.triangles.size(), 12u);
    ASSERT_EQ(set.points.size(), 8u);
    const Vector3 centre{(c.low.X + c.high.X) / 2, (c.low.Y + c.high.Y) / 2,
                         (c.low.Z + c.high.Z) / 2};
    for (const Vector3& p : set.points) {
      EXPECT_TRUE(p.X == c.low.X || p.X == c.high.X);
      EXPECT_TRUE(p.Y == c.low.Y || p.Y == c.high.Y);
      EXPECT_TRUE(p.Z == c.low.Z || p.Z == c.high.Z);
    }
    // Each edge once each way: closed, and every face turned alike.
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    for (const Tri& t : set.triangles) {
      const Vector3& a = set.points[t[0]];
      const Vector3& b = set.points[t[1]];
      const Vector3& d = set.points[t[2]];
      const Vector3 out{(a.X + b.X + d.X) / 3 - centre.X, (a.Y + b.Y + d.Y) / 3 - centre.Y,
                        (a.Z + b.Z + d.Z) / 3 - centre.Z};
      EXPECT_GT(Dot(Normal(set, t), out), 0);
      for (int i = 0; i < 3; ++i) ++edges[{t[i], t[(i + 1) % 3]}];
    }
    for (const auto& [edge, count] : edges) {
      EXPECT_EQ(count, 1);
      EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
    }
  }
}

// A Box whose sides span no volume keeps the faces that have area: a flat
// box its top and bottom back to back, a box of nothing no triangle.
TEST(GeometryTest, BoxesWithZeroSidesKeepTheFacesThatHaveArea) {
  struct Case {
    std::string name, data;
    std::size_t kept;
  };
  const std::vector<Case> cases = {
      {"NoHeight", "0 0 0  0 0 2  2 0 0", 4},
      {"OnlyOneSide", "0 0 0  0 0 0  2 0 0", 0},
      {"Nothing", "0 0 0  0 0 0  0 0 0  5 5 5", 0},
      {"TwoSidesParallel", "1 0 0  2 0 0  0 1 0", 8},
      {"SidesInOnePlane", "1 0 0  0 1 0  1 1 0", 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode("Box", c.data);
    EXPECT_EQ(set.triangles.size(), c.kept);
    EXPECT_EQ(set.zeroAreaLeftOut, 12 - c.kept);
    for (const Tri& t : set.triangles) EXPECT_GT(Dot(Normal(set, t), Normal(set, t)), 0);
    // The sides kept are still listed as faces, each over its own two
    // triangles.
    ASSERT_EQ(set.faces.size(), c.kept / 2);
    for (std::size_t f = 0; f < set.faces.size(); ++f) {
      EXPECT_EQ(set.faces[f].firstTriangle, 2 * f);
      EXPECT_EQ(set.triangles[2 * f][0], set.faceCorners[set.faces[f].firstCorner]);
    }
  }
  EXPECT_EQ(Decode("Box", "0 1 0  0 0 1  1 0 0").zeroAreaLeftOut, 0u);
}

using testing_support::BadCase;

TEST(GeometryTest, BadDataIsRefusedWithAClearError) {
  const std::vector<BadCase> cases = {
      {"TriMeshPointIndex", "TriMesh", "1 0 0 0 5 0  0 1 7", ErrorKind::OutOfRange,
       "Point index 7 is outside the table 0 to 4"},
      {"TriMeshNoPoints", "TriMesh", "1 0 0 0 0 0  0 0 0", ErrorKind::OutOfRange, "empty table"},
      {"TriMeshEdgePoint", "TriMesh", "1 0 1 0 3 0  0 1 2  0 3 0 0", ErrorKind::OutOfRange,
       "Point index 3"},
      {"TriMeshEdgeTriangle", "TriMesh", "1 0 1 0 3 0  0 1 2  0 1 0 2", ErrorKind::OutOfRange,
       "Triangle index 2"},
      {"TriMeshHugeCount", "TriMesh", "2147483647 0 0 0 3 0  0 1 2", ErrorKind::OutOfRange,
       "triangle"},
      {"TriMeshHugePointCount", "TriMesh", "1 0 0 0 4294967295 0  0 1 2  0 0 0",
       ErrorKind::OutOfRange, "point"},
      {"TriMeshTruncated", "TriMesh", "1 0 0 0 3 0  0 1 2  0 0 0  1 0 0  0 1",
       ErrorKind::OutOfRange, "ends"},
      {"TriMeshBadBoundingBox", "TriMesh",
       "1 0 0 0 3 0  0 1 2  0 0 0 1 0 0 0 1 0  0 0 0 1 1 0 Maybe", ErrorKind::InvalidArgument,
       "True or False"},
      {"TriMeshShortBoundingBox", "TriMesh", "1 0 0 0 3 0  0 1 2  0 0 0 1 0 0 0 1 0  0 0 0 1",
       ErrorKind::OutOfRange, "ends"},
      {"PolyhedronVertexIndex", "Polyhedron", "3 0 1  0 0 0 1 0 0 0 1 0  0 1 3 None",
       ErrorKind::OutOfRange, "Vertex index 3 is outside the table 0 to 2"},
      {"PolyhedronUnknownFlag", "Polyhedron", "3 0 1  0 0 0 1 0 0 0 1 0  0 1 2 Edge99",
       ErrorKind::InvalidArgument, "Edge99"},
      {"MeshVertexIndex", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 0  3 0 1 9", ErrorKind::OutOfRange,
       "Vertex index 9 is outside the table 0 to 2"},
      {"MeshHoleBeforeAnyFace", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 1  -3 0 1 2  3 0 1 2",
       ErrorKind::InvalidArgument, "before any face"},
      {"MeshMoreHolesThanDeclared", "Mesh",
       "3  0 0 0 1 0 0 0 1 0  1 1  3 0 1 2  -3 0 1 2  -3 0 1 2", ErrorKind::InvalidArgument,
       "numContours"},
      {"MeshMoreFacesThanDeclared", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 1  3 0 1 2  3 0 1 2",
       ErrorKind::InvalidArgument, "numFaces"},
      {"MeshRowsBeyondBothCounts", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 0  3 0 1 2  -3 0 1 2",
       ErrorKind::InvalidArgument, "more face rows"},
      {"MeshFewerRowsThanDeclared", "Mesh", "3  0 0 0 1 0 0 0 1 0  2 0  3 0 1 2",
       ErrorKind::OutOfRange, "face"},
      {"MeshTwoCornerFace", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 0  2 0 1 0", ErrorKind::OutOfRange,
       "at least 3"},
      {"MeshHugeRow", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 0  -2147483648 0 1 2",
       ErrorKind::InvalidArgument, "before any face"},
      {"MeshHugeFace", "Mesh", "3  0 0 0 1 0 0 0 1 0  1 0  2147483647 0 1 2", ErrorKind::OutOfRange,
       "vertex index"},
      {"MeshHugeVertexCount", "Mesh", "4294967295  0 0 0", ErrorKind::OutOfRange, "point"},
      {"PolygonTwoVertices", "Polygon", "2  0 0 0  1 0 0", ErrorKind::OutOfRange,
       "at least 3 vertices"},
      {"PolygonHugeCount", "Polygon", "4000000000  0 0 0  1 0 0  0 1 0", ErrorKind::OutOfRange,
       "point"},
      {"GeneralPolygonNoContour", "GeneralPolygon", "0", ErrorKind::OutOfRange, "contour"},
      {"GeneralPolygonShortContour", "GeneralPolygon", "1  2  0 0 0  1 0 0  0 1 0",
       ErrorKind::OutOfRange, "at least 3"},
      {"GeneralPolygonHugeContourCount", "GeneralPolygon", "2147483647  3  0 0 0 1 0 0 0 1 0",
       ErrorKind::OutOfRange, "contour"},
      {"TriGridOneRow", "TriGrid", "1 3  0 0 0 1 0 0 2 0 0", ErrorKind::OutOfRange, "2 rows"},
      {"TriGridBeyond32Bits", "TriGrid", "100000 100000  0 0 0", ErrorKind::Overflow, "points"},
      {"TriGridShortOfPoints", "TriGrid", "1000 1000  0 0 0", ErrorKind::OutOfRange, "point"},
      {"TriangleTwoPoints", "Triangle", "0 0 0  1 0 0", ErrorKind::OutOfRange, "point"},
      {"BoxCutShort", "Box", "0 1 0  0 0", ErrorKind::OutOfRange, "ends"},
      {"NotASurface", "Cylinder", "", ErrorKind::InvalidArgument, "Cylinder"},
  };
  testing_support::ExpectRefused(
      cases, [](const std::string& kind, const std::string& data) { Decode(kind, data); },
      "input line");
}

}  // namespace
