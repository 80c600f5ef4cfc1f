#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "metafile/Triangulate.h"

using namespace Kelvane::Metafile;

namespace {

using Contour = std::vector<std::uint32_t>;

Point3 Cross(const Point3& a, const Point3& b, const Point3& c) {
  const Point3 u{b.x - a.x, b.y - a.y, b.z - a.z};
  const Point3 v{c.x - a.x, c.y - a.y, c.z - a.z};
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

double Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double Length(const Point3& a) { return std::sqrt(Dot(a, a)); }

double ContourArea(const std::vector<Point3>& points, const Contour& contour) {
  return Length(NewellNormal(points, contour)) / 2;
}

// Points of a 2D drawing in the plane z = 0, and its contours, numbered in
// drawing order.
struct Drawing {
  std::vector<Point3> points;
  Contour outer;
  std::vector<Contour> holes;
};

Contour Add(std::vector<Point3>& points, const std::vector<std::pair<double, double>>& xy) {
  Contour c;
  for (const auto& [x, y] : xy) {
    c.push_back(static_cast<std::uint32_t>(points.size()));
    points.push_back({x, y, 0});
  }
  return c;
}

Drawing Make(const std::vector<std::pair<double, double>>& outer,
             const std::vector<std::vector<std::pair<double, double>>>& holes = {}) {
  Drawing d;
  d.outer = Add(d.points, outer);
  for (const auto& h : holes) d.holes.push_back(Add(d.points, h));
  return d;
}

bool InContour2D(double x, double y, const std::vector<Point3>& points, const Contour& c) {
  bool in = false;
  for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
    const Point3& a = points[c[j]];
    const Point3& b = points[c[i]];
    if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x)) in = !in;
  }
  return in;
}

bool InTriangle2D(double x, double y, const Point3& a, const Point3& b, const Point3& c) {
  const double d1 = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
  const double d2 = (c.x - b.x) * (y - b.y) - (c.y - b.y) * (x - b.x);
  const double d3 = (a.x - c.x) * (y - c.y) - (a.y - c.y) * (x - c.x);
  return (d1 > 0 && d2 > 0 && d3 > 0) || (d1 < 0 && d2 < 0 && d3 < 0);
}

// Samples a grid over the drawing (at offsets no edge of the test shapes
// passes through) and counts the points where the number of triangles
// covering them differs from what the region asks (1 inside, 0 outside).
// Catches triangles outside the face, overlaps and gaps alike.
int CoverageFaults(const std::vector<Point3>& points, const std::vector<TriangleIndices>& tris,
                   const std::function<bool(double, double)>& inRegion) {
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (const Point3& p : points) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  int faults = 0;
  constexpr int kSteps = 97;
  for (int i = 0; i < kSteps; ++i) {
    for (int j = 0; j < kSteps; ++j) {
      const double x = minX + (maxX - minX) * (i + 0.3137) / kSteps;
      const double y = minY + (maxY - minY) * (j + 0.5771) / kSteps;
      int cover = 0;
      for (const auto& t : tris) {
        if (InTriangle2D(x, y, points[t[0]], points[t[1]], points[t[2]])) ++cover;
      }
      if (cover != (inRegion(x, y) ? 1 : 0)) ++faults;
    }
  }
  return faults;
}

std::function<bool(double, double)> Region(const Drawing& d) {
  return [&d](double x, double y) {
    if (!InContour2D(x, y, d.points, d.outer)) return false;
    for (const Contour& h : d.holes) {
      if (InContour2D(x, y, d.points, h)) return false;
    }
    return true;
  };
}

double TrianglesArea(const std::vector<Point3>& points, const std::vector<TriangleIndices>& tris) {
  double sum = 0;
  for (const auto& t : tris) sum += Length(Cross(points[t[0]], points[t[1]], points[t[2]])) / 2;
  return sum;
}

// Every triangle turns with the outer contour (or has no area).
bool SameSense(const std::vector<Point3>& points, const Contour& outer,
               const std::vector<TriangleIndices>& tris) {
  const Point3 n = NewellNormal(points, outer);
  for (const auto& t : tris) {
    if (Dot(Cross(points[t[0]], points[t[1]], points[t[2]]), n) < -1e-9) return false;
  }
  return true;
}

struct FaceCase {
  std::string name;
  Drawing drawing;
};

std::vector<FaceCase> FaceCases() {
  const std::vector<std::pair<double, double>> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  std::vector<std::vector<std::pair<double, double>>> grid;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double x = 1 + 3 * i + 0.1 * j;
      const double y = 1 + 3 * j;
      grid.push_back({{x, y}, {x, y + 2}, {x + 2, y + 2}, {x + 1.5, y + 1}, {x + 2, y}});
    }
  }
  return {
      {"NineConcaveHoles", Make(square, grid)},
      {"ConvexSquare", Make(square)},
      {"ClockwiseSquare", Make({{0, 0}, {0, 10}, {10, 10}, {10, 0}})},
      {"LShape", Make({{0, 0}, {6, 0}, {6, 2}, {2, 2}, {2, 6}, {0, 6}})},
      // The concave face of the Mesh_Concave sample.
      {"MeshConcaveSample", Make({{0, 1}, {-1, -1}, {-3, 0}, {-3, -2}, {3, -2}, {3, 2}, {1, -1}})},
      {"Comb",
       Make({{0, 0}, {9, 0}, {9, 5}, {8, 5}, {8, 1}, {7, 1}, {7, 5}, {6, 5}, {6, 1}, {5, 1},
             {5, 5}, {4, 5}, {4, 1}, {3, 1}, {3, 5}, {2, 5}, {2, 1}, {1, 1}, {1, 5}, {0, 5}})},
      {"Spiral", Make({{0, 0},
                       {10, 0},
                       {10, 10},
                       {2, 10},
                       {2, 4},
                       {6, 4},
                       {6, 6},
                       {4, 6},
                       {4, 8},
                       {8, 8},
                       {8, 2},
                       {0, 2}})},
      {"CollinearCornersOnEdges",
       Make({{0, 0}, {2, 0}, {4, 0}, {6, 0}, {6, 3}, {6, 6}, {3, 6}, {0, 6}, {0, 3}})},
      {"RepeatedCorners", Make({{0, 0}, {4, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 4}, {0, 4}})},
      {"HoleAgainstTheOuterSense", Make(square, {{{3, 3}, {3, 7}, {7, 7}, {7, 3}}})},
      {"HoleInTheOuterSense", Make(square, {{{3, 3}, {7, 3}, {7, 7}, {3, 7}}})},
      {"TwoHolesSideBySide",
       Make(square, {{{1, 1}, {1, 4}, {4, 4}, {4, 1}}, {{6, 6}, {6, 9}, {9, 9}, {9, 6}}})},
      {"TwoHolesOnOneLine",
       Make(square, {{{1, 4}, {1, 6}, {3, 6}, {3, 4}}, {{6, 4}, {6, 6}, {8, 6}, {8, 4}}})},
      // Mesh_ComplexAa: a triangle with a triangular hole.
      {"MeshComplexAaSample", Make({{3, 2}, {-3, -2}, {3, -2}}, {{{2, 1}, {2, -1}, {-1, -1}}})},
      {"HoleInAConcaveFace",
       Make({{0, 0}, {10, 0}, {10, 10}, {6, 10}, {6, 4}, {4, 4}, {4, 10}, {0, 10}},
            {{{1, 1}, {1, 3}, {9, 3}, {9, 1}}})},
      {"HoleBehindAReflexCorner",
       Make({{0, 0}, {10, 0}, {10, 10}, {5, 10}, {8, 5}, {5, 6}, {0, 10}},
            {{{1, 4}, {2, 5}, {3, 4}}})},
  };
}

TEST(TriangulateTest, FacesGiveTheCountAndCoverExactly) {
  for (const FaceCase& c : FaceCases()) {
    SCOPED_TRACE(c.name);
    const Drawing& d = c.drawing;
    std::vector<TriangleIndices> tris;
    Triangulate(d.points, d.outer, d.holes, tris);
    std::size_t corners = d.outer.size();
    for (const Contour& h : d.holes) corners += h.size();
    EXPECT_EQ(tris.size(), corners + 2 * d.holes.size() - 2);
    double area = ContourArea(d.points, d.outer);
    for (const Contour& h : d.holes) area -= ContourArea(d.points, h);
    EXPECT_NEAR(TrianglesArea(d.points, tris), area, 1e-9 * area);
    EXPECT_EQ(CoverageFaults(d.points, tris, Region(d)), 0);
    EXPECT_TRUE(SameSense(d.points, d.outer, tris));
  }
}

// The same faces stood up in other planes, both ways round: the
// triangles follow each one's own sense.
TEST(TriangulateTest, FacesInAnyPlaneKeepTheirSense) {
  const Drawing flat =
      Make({{0, 0}, {6, 0}, {6, 2}, {2, 2}, {2, 6}, {0, 6}}, {{{3, 0.5}, {4, 1.5}, {5, 0.5}}});
  struct Placement {
    std::string name;
    std::function<Point3(const Point3&)> move;
  };
  const std::vector<Placement> placements = {
      {"XZ",
       [](const Point3& p) {
         return Point3{p.x, 5, p.y};
       }},
      {"ZX",
       [](const Point3& p) {
         return Point3{p.y, -5, p.x};
       }},
      {"YZ",
       [](const Point3& p) {
         return Point3{2, p.x, p.y};
       }},
      {"Tilted",
       [](const Point3& p) {
         return Point3{p.x, 0.6 * p.y, 0.8 * p.y + 100};
       }},
      {"Mirrored",
       [](const Point3& p) {
         return Point3{-p.x, p.y, 0};
       }},
      {"FarFromTheOrigin",
       [](const Point3& p) {
         return Point3{p.x + 1e7, p.y - 1e7, 3};
       }},
  };
  for (const Placement& placement : placements) {
    SCOPED_TRACE(placement.name);
    std::vector<Point3> points;
    for (const Point3& p : flat.points) points.push_back(placement.move(p));
    std::vector<TriangleIndices> tris;
    Triangulate(points, flat.outer, flat.holes, tris);
    EXPECT_EQ(tris.size(), 6u + 3u + 2u - 2u);
    const double area = ContourArea(points, flat.outer) - ContourArea(points, flat.holes[0]);
    EXPECT_NEAR(TrianglesArea(points, tris), area, 1e-6);
    EXPECT_TRUE(SameSense(points, flat.outer, tris));
  }
}

TEST(TriangulateTest, ATriangleStaysAsGiven) {
  const Drawing d = Make({{0, 0}, {0, 1}, {1, 0}});
  std::vector<TriangleIndices> tris;
  Triangulate(d.points, d.outer, {}, tris);
  ASSERT_EQ(tris.size(), 1u);
  EXPECT_EQ(tris[0], (TriangleIndices{0, 1, 2}));
}

// Input no one could draw still gives the count, in bounds, at once.
TEST(TriangulateTest, DegenerateAndBrokenFacesStillGiveTheCount) {
  const std::vector<FaceCase> cases = {
      {"AllOnALine", Make({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {1.5, 0}})},
      {"AllOnePoint", Make({{1, 1}, {1, 1}, {1, 1}, {1, 1}})},
      {"BackAndForth", Make({{0, 0}, {5, 0}, {0, 0}, {5, 0}, {0, 0}, {5, 0}})},
      {"Bowtie", Make({{0, 0}, {4, 4}, {4, 0}, {0, 4}})},
      {"Pentagram", Make({{0, 10}, {6, -8}, {-9.5, 3}, {9.5, 3}, {-6, -8}})},
      {"HoleOutsideTheFace", Make({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{{5, 5}, {6, 5}, {6, 6}}})},
      {"HoleBiggerThanTheFace",
       Make({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, {{{-5, -5}, {6, -5}, {6, 6}, {-5, 6}}})},
      {"DegenerateHole", Make({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{{1, 1}, {2, 2}, {3, 3}}})},
      {"OnePointHole", Make({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{{2, 2}}})},
  };
  for (const FaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Drawing& d = c.drawing;
    std::vector<TriangleIndices> tris;
    Triangulate(d.points, d.outer, d.holes, tris);
    std::size_t corners = d.outer.size();
    for (const Contour& h : d.holes) corners += h.size();
    EXPECT_EQ(tris.size(), corners + 2 * d.holes.size() - 2);
    for (const auto& t : tris) {
      for (std::uint32_t i : t) EXPECT_LT(i, d.points.size());
    }
  }
}

// A hole that only touches a line of collinear corners, or degenerate
// corners in a valid face, must not push triangles out of the face.
TEST(TriangulateTest, CollinearCornersDoNotLetTrianglesOut) {
  std::vector<std::pair<double, double>> outline;
  for (int i = 0; i <= 20; ++i) outline.push_back({i, 0});
  outline.push_back({20, 5});
  outline.push_back({10, 1});  // a deep notch reaching almost to the bottom
  outline.push_back({0, 5});
  const Drawing d = Make(outline);
  std::vector<TriangleIndices> tris;
  Triangulate(d.points, d.outer, {}, tris);
  EXPECT_EQ(tris.size(), outline.size() - 2);
  EXPECT_EQ(CoverageFaults(d.points, tris, Region(d)), 0);
}

// Faces of many corners: a concave one of a few thousand is still clipped
// properly; beyond the limit a million corners come back at once as a fan.
TEST(TriangulateTest, LargeFacesFinishWithTheCount) {
  std::vector<std::pair<double, double>> comb = {{0, 0}};
  const int teeth = 1500;
  for (int i = 0; i < teeth; ++i) {
    comb.push_back({2.0 * i + 1, 0});
    comb.push_back({2.0 * i + 1, -5});
    comb.push_back({2.0 * i + 2, -5});
    comb.push_back({2.0 * i + 2, 0});
  }
  comb.push_back({2.0 * teeth + 1, 0});
  comb.push_back({2.0 * teeth + 1, 3});
  comb.push_back({0, 3});
  const Drawing d = Make(comb);
  ASSERT_LT(d.outer.size(), kEarClippingLimit);
  std::vector<TriangleIndices> tris;
  Triangulate(d.points, d.outer, {}, tris);
  EXPECT_EQ(tris.size(), comb.size() - 2);
  EXPECT_NEAR(TrianglesArea(d.points, tris), ContourArea(d.points, d.outer), 1e-6);
  EXPECT_TRUE(SameSense(d.points, d.outer, tris));

  const std::size_t n = 1'000'000;
  std::vector<Point3> circle;
  Contour outer;
  for (std::size_t i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * static_cast<double>(i) / n;
    circle.push_back({std::cos(a), std::sin(a), 0});
    outer.push_back(static_cast<std::uint32_t>(i));
  }
  tris.clear();
  Triangulate(circle, outer, {Contour{0, 1, 2}}, tris);
  EXPECT_EQ(tris.size(), n + 3 + 2 - 2);
}

struct EvenOddCase {
  std::string name;
  std::vector<std::vector<std::pair<double, double>>> contours;
  std::size_t triangles;
  double area;
};

TEST(TriangulateTest, EvenOddFillsNestedContours) {
  auto square = [](double lo, double hi, bool ccw) {
    std::vector<std::pair<double, double>> s = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
    if (!ccw) std::swap(s[1], s[3]);
    return s;
  };
  const std::vector<EvenOddCase> cases = {
      {"OneContour", {square(0, 10, true)}, 2, 100},
      {"SquareWithHole", {square(0, 10, true), square(2, 8, false)}, 8, 64},
      {"HoleWoundLikeTheOuter", {square(0, 10, true), square(2, 8, true)}, 8, 64},
      {"HoleGivenFirst", {square(2, 8, true), square(0, 10, true)}, 8, 64},
      {"IslandInAHole",
       {square(0, 10, true), square(2, 8, false), square(4, 6, true)},
       10,
       100 - 36 + 4},
      {"IslandWoundTheOtherWay",
       {square(0, 10, true), square(2, 8, true), square(4, 6, false)},
       10,
       100 - 36 + 4},
      {"TwoSeparateFaces", {square(0, 4, true), square(6, 10, false)}, 4, 32},
      {"TwoHolesInOneFace",
       {square(0, 10, true), {{1, 1}, {1, 4}, {4, 4}, {4, 1}}, {{6, 6}, {6, 9}, {9, 9}, {9, 6}}},
       14,
       100 - 18},
  };
  for (const EvenOddCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Point3> points;
    std::vector<Contour> contours;
    for (const auto& xy : c.contours) contours.push_back(Add(points, xy));
    std::vector<TriangleIndices> tris;
    TriangulateEvenOdd(points, contours, tris);
    EXPECT_EQ(tris.size(), c.triangles);
    EXPECT_NEAR(TrianglesArea(points, tris), c.area, 1e-9);
    const auto inRegion = [&](double x, double y) {
      int inside = 0;
      for (const Contour& k : contours) inside += InContour2D(x, y, points, k) ? 1 : 0;
      return inside % 2 == 1;
    };
    EXPECT_EQ(CoverageFaults(points, tris, inRegion), 0);
    // All in the sense of the first contour inside no other.
    std::size_t reference = 0;
    for (std::size_t i = 0; i < contours.size(); ++i) {
      bool free = true;
      for (std::size_t j = 0; j < contours.size(); ++j) {
        const Point3& p = points[contours[i][0]];
        if (i != j && InContour2D(p.x, p.y, points, contours[j])) free = false;
      }
      if (free) {
        reference = i;
        break;
      }
    }
    EXPECT_TRUE(SameSense(points, contours[reference], tris));
  }
}

}  // namespace
