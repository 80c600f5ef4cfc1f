#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <string_view>
#include <vector>

#include "metafile/format/TextFields.h"
#include "metafile/polygon/Triangulate.h"
#include "metafile/surfaces/Geometry.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code
using namespace Kelvane::Metafile;
using namespace Kelvane::Polygon;

namespace {

using Contour = std::vector<std::uint32_t>;

Vector3 Cross(const Vector3& a, const Vector3& b, const Vector3& c) { return Cross(b - a, c - a); }

double ContourArea(const std::vector<Vector3>& points, const Contour& contour) {
  return Length(NewellNormal(points, contour)) / 2;
}

// Points of a 2D drawing in the plane z = 0, and its contours, numbered in
// drawing order.
struct Drawing {
  std::vector<Vector3> points;
  Contour outer;
  std::vector<Contour> holes;
};

Contour Add(std::vector<Vector3>& points, const std::vector<std::pair<double, double>>& xy) {
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

bool InContour2D(double x, double y, const std::vector<Vector3>& points, const Contour& c) {
  bool in = false;
  for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++) {
    const Vector3& a = points[c[j]];
    const Vector3& b = points[c[i]];
    if ((a.Y > y) != (b.Y > y) && x < a.X + (y - a.Y) / (b.Y - a.Y) * (b.X - a.X)) in = !in;
  }
  return in;
}

bool InTriangle2D(double x, double y, const Vector3& a, const Vector3& b, const Vector3& c) {
  const double d1 = (b.X - a.X) * (y - a.Y) - (b.Y - a.Y) * (x - a.X);
  const double d2 = (c.X - b.X) * (y - b.Y) - (c.Y - b.Y) * (x - b.X);
  const double d3 = (a.X - c.X) * (y - c.Y) - (a.Y - c.Y) * (x - c.X);
  return (d1 > 0 && d2 > 0 && d3 > 0) || (d1 < 0 && d2 < 0 && d3 < 0);
}

// Samples a grid over the drawing (at offsets no edge of the test shapes
// passes through) and counts the points where the number of triangles
// covering them differs from what the region asks (1 inside, 0 outside).
// Catches triangles outside the face, overlaps and gaps alike.
int CoverageFaults(const std::vector<Vector3>& points, const std::vector<TriangleIndices>& tris,
                   const std::function<bool(double, double)>& inRegion) {
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (const Vector3& p : points) {
    minX = std::min(minX, p.X);
    maxX = std::max(maxX, p.X);
    minY = std::min(minY, p.Y);
    maxY = std::max(maxY, p.Y);
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

double TrianglesArea(const std::vector<Vector3>& points, const std::vector<TriangleIndices>& tris) {
  double sum = 0;
  for (const auto& t : tris) sum += Length(Cross(points[t[0]], points[t[1]], points[t[2]])) / 2;
  return sum;
}

// Every triangle turns with the outer contour (or has no area).
bool SameSense(const std::vector<Vector3>& points, const Contour& outer,
               const std::vector<TriangleIndices>& tris) {
  const Vector3 n = NewellNormal(points, outer);
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
    std::function<Vector3(const Vector3&)> move;
  };
  const std::vector<Placement> placements = {
      {"XZ",
       [](const Vector3& p) {
         return Vector3{p.X, 5, p.Y};
       }},
      {"ZX",
       [](const Vector3& p) {
         return Vector3{p.Y, -5, p.X};
       }},
      {"YZ",
       [](const Vector3& p) {
         return Vector3{2, p.X, p.Y};
       }},
      {"Tilted",
       [](const Vector3& p) {
         return Vector3{p.X, 0.6 * p.Y, 0.8 * p.Y + 100};
       }},
      {"Mirrored",
       [](const Vector3& p) {
         return Vector3{-p.X, p.Y, 0};
       }},
      {"FarFromTheOrigin",
       [](const Vector3& p) {
         return Vector3{p.X + 1e7, p.Y - 1e7, 3};
       }},
  };
  for (const Placement& placement : placements) {
    SCOPED_TRACE(placement.name);
    std::vector<Vector3> points;
    for (const Vector3& p : flat.points) points.push_back(placement.move(p));
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
  std::vector<Vector3> circle;
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
    std::vector<Vector3> points;
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
        const Vector3& p = points[contours[i][0]];
        if (i != j && InContour2D(p.X, p.Y, points, contours[j])) free = false;
      }
      if (free) {
        reference = i;
        break;
      }
    }
    EXPECT_TRUE(SameSense(points, contours[reference], tris));
  }
}

// ---- Contours that cross: the even-odd region, exactly ----

bool EvenOddInside(double x, double y, const std::vector<Vector3>& points,
                   const std::vector<Contour>& contours) {
  int inside = 0;
  for (const Contour& k : contours) inside += InContour2D(x, y, points, k) ? 1 : 0;
  return inside % 2 == 1;
}

// The area of the even-odd region of contours in the plane z = 0, worked
// out along x: on a vertical line the region's length changes linearly
// between the xs of corners and of crossings, so its length at the middle
// of each strip between them gives the strip's area.
double EvenOddArea(const std::vector<Vector3>& points, const std::vector<Contour>& contours) {
  std::vector<std::pair<Vector3, Vector3>> edges;
  for (const Contour& c : contours) {
    for (std::size_t i = 0; i < c.size(); ++i) {
      edges.push_back({points[c[i]], points[c[(i + 1) % c.size()]]});
    }
  }
  std::vector<double> xs;
  for (const auto& [a, b] : edges) xs.push_back(a.X);
  for (const auto& [a, b] : edges) {
    for (const auto& [c, d] : edges) {
      const double denom = (b.X - a.X) * (d.Y - c.Y) - (b.Y - a.Y) * (d.X - c.X);
      if (denom == 0) continue;
      const double t = ((c.X - a.X) * (d.Y - c.Y) - (c.Y - a.Y) * (d.X - c.X)) / denom;
      const double u = ((c.X - a.X) * (b.Y - a.Y) - (c.Y - a.Y) * (b.X - a.X)) / denom;
      if (t >= 0 && t <= 1 && u >= 0 && u <= 1) xs.push_back(a.X + t * (b.X - a.X));
    }
  }
  std::sort(xs.begin(), xs.end());
  double area = 0;
  for (std::size_t k = 0; k + 1 < xs.size(); ++k) {
    const double middle = (xs[k] + xs[k + 1]) / 2;
    std::vector<double> ys;
    for (const auto& [a, b] : edges) {
      if ((a.X <= middle) != (b.X <= middle)) {
        ys.push_back(a.Y + (middle - a.X) / (b.X - a.X) * (b.Y - a.Y));
      }
    }
    std::sort(ys.begin(), ys.end());
    double length = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); i += 2) length += ys[i + 1] - ys[i];
    area += (xs[k + 1] - xs[k]) * length;
  }
  return area;
}

// Checks an even-odd fill of contours drawn in the plane z = 0, whose
// first `given` points are the input's: the triangles cover the region
// exactly once and nothing else, their area is the region's, each has an
// area and turns as contour `sense` does, the input's points are kept and
// every added point lies on the contours' plane.
void ExpectEvenOddFill(const std::vector<Vector3>& points, std::size_t given,
                       const std::vector<Contour>& contours, std::size_t sense,
                       const std::vector<TriangleIndices>& tris) {
  ASSERT_GE(points.size(), given);
  for (const auto& t : tris) {
    for (std::uint32_t i : t) ASSERT_LT(i, points.size());
    const Vector3 n = Cross(points[t[0]], points[t[1]], points[t[2]]);
    EXPECT_GT(Length(n), 0);
  }
  const double area = EvenOddArea(points, contours);
  EXPECT_NEAR(TrianglesArea(points, tris), area, 1e-9 * std::max(area, 1.0));
  EXPECT_EQ(
      CoverageFaults(points, tris,
                     [&](double x, double y) { return EvenOddInside(x, y, points, contours); }),
      0);
  EXPECT_TRUE(SameSense(points, contours[sense], tris));
  for (std::size_t i = given; i < points.size(); ++i) {
    EXPECT_TRUE(std::isfinite(points[i].X) && std::isfinite(points[i].Y));
    EXPECT_EQ(points[i].Z, 0) << "point " << i;
  }
}

// Triangles meeting at a new corner share its point: no two added points
// stand at one place (in a frame of small whole numbers, where rounding
// cannot merge places).
void ExpectAddedPointsApart(const std::vector<Vector3>& points, std::size_t given) {
  std::vector<std::array<double, 3>> added;
  for (std::size_t i = given; i < points.size(); ++i) {
    added.push_back({points[i].X, points[i].Y, points[i].Z});
  }
  std::sort(added.begin(), added.end());
  EXPECT_EQ(std::adjacent_find(added.begin(), added.end()), added.end());
}

// A drawing's contours: a Mesh face (TriangulateFace: the first contour
// outer, the others holes) or a GeneralPolygon (TriangulateEvenOdd).
struct CrossingCase {
  std::string name;
  bool face;
  std::vector<std::vector<std::pair<double, double>>> contours;
  std::size_t sense;  // the contour the triangles turn with
};

std::vector<TriangleIndices> Fill(bool face, std::vector<Vector3>& points,
                                  const std::vector<Contour>& contours) {
  std::vector<TriangleIndices> tris;
  if (face) {
    TriangulateFace(points, contours[0], {contours.begin() + 1, contours.end()}, tris);
  } else {
    TriangulateEvenOdd(points, contours, tris);
  }
  return tris;
}

std::vector<std::pair<double, double>> Square(double x0, double y0, double x1, double y1) {
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

std::vector<std::pair<double, double>> Clockwise(std::vector<std::pair<double, double>> c) {
  std::reverse(c.begin(), c.end());
  return c;
}

std::vector<CrossingCase> CrossingCases() {
  const auto frame = Square(0, 0, 10, 10);
  return {
      {"TwoOverlappingSquares", false, {Square(0, 0, 4, 4), Square(2, 2, 6, 6)}, 0},
      {"OverlappingSquaresOppositeWays",
       false,
       {Clockwise(Square(0, 0, 4, 4)), Square(2, 2, 6, 6)},
       0},
      {"Bowtie", true, {{{0, 0}, {4, 4}, {4, 0}, {0, 4}}}, 0},
      {"UnevenBowtie", true, {{{0, 0}, {6, 3}, {6, 0}, {0, 1}}}, 0},
      {"Pentagram", false, {{{0, 10}, {6, -8}, {-9.5, 3}, {9.5, 3}, {-6, -8}}}, 0},
      {"FigureEightThroughOneCorner", true, {{{0, 0}, {2, 2}, {4, 0}, {4, 4}, {2, 2}, {0, 4}}}, 0},
      {"SpikeThereAndBack", true, {{{0, 0}, {4, 0}, {4, 4}, {2, 4}, {2, 7}, {2, 4}, {0, 4}}}, 0},
      {"HoleAcrossTheOuterEdge", true, {frame, Clockwise(Square(8, 4, 12, 6))}, 0},
      {"HoleAcrossAClockwiseFace", true, {Clockwise(frame), Square(8, 4, 12, 6)}, 0},
      {"HolesCrossingEachOther", true, {frame, Square(2, 2, 6, 6), Square(4, 4, 8, 8)}, 0},
      {"HoleOutsideTheFace", true, {Square(0, 0, 1, 1), {{5, 5}, {6, 5}, {6, 6}}}, 0},
      {"HoleAroundTheFace", true, {Square(0, 0, 1, 1), Square(-5, -5, 6, 6)}, 0},
      {"IslandInAHole", true, {frame, Square(2, 2, 8, 8), Square(4, 4, 6, 6)}, 0},
      {"HoleTouchingTheOuterEdge", true, {frame, {{10, 5}, {7, 3}, {7, 7}}}, 0},
      {"SquaresSharingPartOfAnEdge", false, {Square(0, 0, 4, 4), Square(2, 0, 6, 4)}, 0},
      {"SquaresSharingPartOfASide", false, {Square(0, 0, 4, 4), Square(0, 2, 4, 6)}, 0},
      {"SquaresTouchingAtACorner", false, {Square(0, 0, 2, 2), Square(2, 2, 4, 4)}, 0},
      {"CrossingWithRepeatedAndCollinearCorners",
       false,
       {{{0, 0}, {0, 0}, {2, 0}, {4, 0}, {4, 4}, {4, 4}, {0, 4}}, Square(2, -2, 6, 2)},
       0},
  };
}

TEST(TriangulateTest, CrossingContoursFillTheEvenOddRegionOnce) {
  for (const CrossingCase& c : CrossingCases()) {
    SCOPED_TRACE(c.name);
    std::vector<Vector3> points;
    std::vector<Contour> contours;
    for (const auto& xy : c.contours) contours.push_back(Add(points, xy));
    const std::size_t given = points.size();
    const std::vector<TriangleIndices> tris = Fill(c.face, points, contours);
    ExpectEvenOddFill(points, given, contours, c.sense, tris);
    ExpectAddedPointsApart(points, given);
  }
}

// The models of crossing contours, as the files give them.
struct ModelCase {
  std::string name;
  std::string kind;
  std::string_view data;
  std::size_t given;              // points in the file
  std::vector<Contour> contours;  // as index lists into them
};

constexpr std::string_view kGeneralPolygonComplexE = R"(
		2			# numContours
		# contour 0
		4			# numVertices
		-3 -1  0	# vertex 0
		 3 -1  0	# vertex 1
		 3  1  0	# vertex 2
		-3  1  0	# vertex 3
		# contour 1
		3			# numVertices
		 1  2  0	# vertex 0
		 1 -2  0	# vertex 1
		-1 -2  0	# vertex 2
)";

constexpr std::string_view kGeneralPolygonComplexFa = R"(
		3			# numContours
		# contour 0
		4			# numVertices
		-5 -5  0	# vertex 0
		 1 -5  0	# vertex 1
		 1  1  0	# vertex 2
		-5  1  0	# vertex 3
		# contour 1
		4			# numVertices
		-3 -3  0	# vertex 0
		 3 -3  0	# vertex 1
		 3  3  0	# vertex 2
		-3  3  0	# vertex 3
		# contour 2
		4			# numVertices
		-1 -1  0	# vertex 0
		 5 -1  0	# vertex 1
		 5  5  0	# vertex 2
		-1  5  0	# vertex 3
)";

constexpr std::string_view kGeneralPolygonComplexG = R"(
		4			# numContours
		# contour 0
		3			# numVertices
		 0  2  0	# vertex 0
		-2 -3  0	# vertex 1
		 2 -3  0	# vertex 2
		# contour 1
		3			# numVertices
		 0 -2  0	# vertex 0
		 2  3  0	# vertex 1
		-2  3  0	# vertex 2
		# contour 2
		3			# numVertices
		 2  0  0	# vertex 0
		-3  2  0	# vertex 1
		-3 -2  0	# vertex 2
		# contour 3
		3			# numVertices
		-2  0  0	# vertex 0
		 3 -2  0	# vertex 1
		 3  2  0	# vertex 2
)";

constexpr std::string_view kGeneralPolygonComplexH = R"(
		2			# numContours
		# contour 0
		10			# numVertices
		 0  2  0	# vertex 0
		-2 -3  0	# vertex 1
		-3 -3  0	# vertex 2
		-3 -2  0	# vertex 3
		 2  0  0	# vertex 4
		-3  2  0	# vertex 5
		-4  2  0	# vertex 6
		-4 -4  0	# vertex 7
		 2 -4  0	# vertex 8
		 2 -3  0	# vertex 9
		# contour 1
		10			# numVertices
		 0 -2  0	# vertex 0
		 2  3  0	# vertex 1
		 3  3  0	# vertex 2
		 3  2  0	# vertex 3
		-2  0  0	# vertex 4
		 3 -2  0	# vertex 5
		 4 -2  0	# vertex 6
		 4  4  0	# vertex 7
		-2  4  0	# vertex 8
		-2  3  0	# vertex 9
)";

constexpr std::string_view kMeshComplexBa = R"(
		12			# numVertices

		-3 -3  0	# vertex 0
		 3 -3  0	# vertex 1
		 3  3  0	# vertex 2
		-3  3  0	# vertex 3
		-2  2  0	# vertex 4
		 2  2  0	# vertex 5
		 2 -2  0	# vertex 6
		-2 -2  0	# vertex 7
		-1 -1  0	# vertex 8
		 1 -1  0	# vertex 9
		 1  1  0	# vertex 10
		-1  1  0	# vertex 11

		1			# numFaces
		2			# numContours

		# faces
		 4  0  1  2  3
		-4  4  5  6  7
		-4  8  9 10 11
)";

constexpr std::string_view kMeshComplexE = R"(
		7			# numVertices

		-3 -1  0	# vertex 0
		 3 -1  0	# vertex 1
		 3  1  0	# vertex 2
		-3  1  0	# vertex 3
		 1  2  0	# vertex 4
		 1 -2  0	# vertex 5
		-1 -2  0	# vertex 6

		1			# numFaces
		1			# numContours

		# faces
		 4  0  1  2  3
		-3  4  5  6
)";

constexpr std::string_view kMeshComplexG = R"(
		12			# numVertices

		 0  2  0	# vertex 0
		-2 -3  0	# vertex 1
		 2 -3  0	# vertex 2
		 0 -2  0	# vertex 3
		 2  3  0	# vertex 4
		-2  3  0	# vertex 5
		 2  0  0	# vertex 6
		-3  2  0	# vertex 7
		-3 -2  0	# vertex 8
		-2  0  0	# vertex 9
		 3 -2  0	# vertex 10
		 3  2  0	# vertex 11

		1			# numFaces
		3			# numContours

		# faces
		 3  0  1  2
		-3  3  4  5
		-3  6  7  8
		-3  9 10 11
)";

constexpr std::string_view kMeshComplexH = R"(
		20			# numVertices

		 0  2  0	# vertex 0
		-2 -3  0	# vertex 1
		-3 -3  0	# vertex 2
		-3 -2  0	# vertex 3
		 2  0  0	# vertex 4
		-3  2  0	# vertex 5
		-4  2  0	# vertex 6
		-4 -4  0	# vertex 7
		 2 -4  0	# vertex 8
		 2 -3  0	# vertex 9
		 0 -2  0	# vertex 10
		 2  3  0	# vertex 11
		 3  3  0	# vertex 12
		 3  2  0	# vertex 13
		-2  0  0	# vertex 14
		 3 -2  0	# vertex 15
		 4 -2  0	# vertex 16
		 4  4  0	# vertex 17
		-2  4  0	# vertex 18
		-2  3  0	# vertex 19

		1			# numFaces
		1			# numContours

		# faces
		 10  0  1  2  3  4  5  6  7  8  9
		-10 10 11 12 13 14 15 16 17 18 19
)";

Contour Indices(std::uint32_t first, std::uint32_t count) {
  Contour c;
  for (std::uint32_t i = 0; i < count; ++i) c.push_back(first + i);
  return c;
}

TEST(TriangulateTest, CrossingModelsFillTheEvenOddRegionOnce) {
  const std::vector<ModelCase> cases = {
      {"GeneralPolygon_ComplexE",
       "GeneralPolygon",
       kGeneralPolygonComplexE,
       7,
       {Indices(0, 4), Indices(4, 3)}},
      {"GeneralPolygon_ComplexFa",
       "GeneralPolygon",
       kGeneralPolygonComplexFa,
       12,
       {Indices(0, 4), Indices(4, 4), Indices(8, 4)}},
      {"GeneralPolygon_ComplexG",
       "GeneralPolygon",
       kGeneralPolygonComplexG,
       12,
       {Indices(0, 3), Indices(3, 3), Indices(6, 3), Indices(9, 3)}},
      {"GeneralPolygon_ComplexH",
       "GeneralPolygon",
       kGeneralPolygonComplexH,
       20,
       {Indices(0, 10), Indices(10, 10)}},
      {"Mesh_ComplexBa", "Mesh", kMeshComplexBa, 12, {Indices(0, 4), Indices(4, 4), Indices(8, 4)}},
      {"Mesh_ComplexE", "Mesh", kMeshComplexE, 7, {Indices(0, 4), Indices(4, 3)}},
      {"Mesh_ComplexG",
       "Mesh",
       kMeshComplexG,
       12,
       {Indices(0, 3), Indices(3, 3), Indices(6, 3), Indices(9, 3)}},
      {"Mesh_ComplexH", "Mesh", kMeshComplexH, 20, {Indices(0, 10), Indices(10, 10)}},
  };
  for (const ModelCase& c : cases) {
    SCOPED_TRACE(c.name);
    TriangleSet set;
    DecodeGeometry(c.kind, *TextFieldsOf(c.data), set);
    ExpectEvenOddFill(set.points, c.given, c.contours, 0, set.triangles);
    ExpectAddedPointsApart(set.points, c.given);
  }
}

// Faces that cross are filled whatever their plane, size or place: each
// case is drawn, moved into space, filled there and brought back to be
// checked. Points added must lie on the face's plane.
TEST(TriangulateTest, CrossingFacesInAnyPlaneAndAtAnyScale) {
  struct Placement {
    std::string name;
    std::function<Vector3(const Vector3&)> move;
    std::function<Vector3(const Vector3&)> back;
    // How far a point is off the plane the drawing is moved to, against
    // the size of the coordinates there.
    std::function<double(const Vector3&)> offPlane;
  };
  const std::vector<Placement> placements = {
      {"Tilted",
       [](const Vector3& p) {
         return Vector3{p.X, 0.6 * p.Y, 0.8 * p.Y + 100};
       },
       [](const Vector3& p) {
         return Vector3{p.X, p.Y / 0.6, 0};
       },
       [](const Vector3& p) { return (0.6 * (p.Z - 100) - 0.8 * p.Y) / 100; }},
      {"StandingInYZ",
       [](const Vector3& p) {
         return Vector3{2, p.X, p.Y};
       },
       [](const Vector3& p) {
         return Vector3{p.Y, p.Z, 0};
       },
       [](const Vector3& p) { return p.X - 2; }},
      {"FarFromTheOrigin",
       [](const Vector3& p) {
         return Vector3{p.X + 1e7, p.Y - 1e7, 3};
       },
       [](const Vector3& p) {
         return Vector3{p.X - 1e7, p.Y + 1e7, 0};
       },
       [](const Vector3& p) { return p.Z - 3; }},
      {"Huge",
       [](const Vector3& p) {
         return Vector3{p.X * 1e30, p.Y * 1e30, 0};
       },
       [](const Vector3& p) {
         return Vector3{p.X / 1e30, p.Y / 1e30, 0};
       },
       [](const Vector3& p) { return p.Z / 1e30; }},
      {"NearTheLargestDouble",
       [](const Vector3& p) {
         return Vector3{p.X * 1e300, p.Y * 1e300, -1e307};
       },
       [](const Vector3& p) {
         return Vector3{p.X / 1e300, p.Y / 1e300, 0};
       },
       [](const Vector3& p) { return (p.Z + 1e307) / 1e307; }},
      {"Tiny",
       [](const Vector3& p) {
         return Vector3{p.X * 1e-300, p.Y * 1e-300, 0};
       },
       [](const Vector3& p) {
         return Vector3{p.X / 1e-300, p.Y / 1e-300, 0};
       },
       [](const Vector3& p) { return p.Z / 1e-300; }},
  };
  for (const Placement& placement : placements) {
    for (const CrossingCase& c : CrossingCases()) {
      SCOPED_TRACE(placement.name + " " + c.name);
      std::vector<Vector3> drawn;
      std::vector<Contour> contours;
      for (const auto& xy : c.contours) contours.push_back(Add(drawn, xy));
      std::vector<Vector3> points;
      for (const Vector3& p : drawn) points.push_back(placement.move(p));
      const std::size_t given = points.size();
      const std::vector<TriangleIndices> tris = Fill(c.face, points, contours);
      for (std::size_t i = given; i < points.size(); ++i) {
        EXPECT_LE(std::fabs(placement.offPlane(points[i])), 1e-12) << "point " << i;
      }
      std::vector<Vector3> flat;
      for (const Vector3& p : points) flat.push_back(placement.back(p));
      for (std::size_t i = 0; i < given; ++i) {
        EXPECT_NEAR(flat[i].X, drawn[i].X, 1e-9);
        EXPECT_NEAR(flat[i].Y, drawn[i].Y, 1e-9);
      }
      ExpectEvenOddFill(flat, given, contours, c.sense, tris);
    }
  }
}

// Faces that do not cross keep the cut they had: the same triangles, no
// point added.
TEST(TriangulateTest, FacesThatDoNotCrossKeepTheirCut) {
  for (const FaceCase& c : FaceCases()) {
    SCOPED_TRACE(c.name);
    std::vector<Vector3> points = c.drawing.points;
    std::vector<TriangleIndices> before;
    Triangulate(points, c.drawing.outer, c.drawing.holes, before);
    std::vector<TriangleIndices> tris;
    TriangulateFace(points, c.drawing.outer, c.drawing.holes, tris);
    EXPECT_EQ(tris, before);
    EXPECT_EQ(points.size(), c.drawing.points.size());
  }
}

// Input no one could draw, crossing: no point that is not a number, no
// hang, nothing outside the table, and the area there is.
TEST(TriangulateTest, DegenerateCrossingContoursStayFinite) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct DegenerateCase {
    CrossingCase drawing;
    double area;  // not a number: any
  };
  const std::vector<DegenerateCase> cases = {
      {{"OverlappingOnALine", false, {{{0, 0}, {4, 0}, {2, 0}}, {{1, 0}, {5, 0}, {3, 0}}}, 0}, 0},
      {{"ThereAndBack", true, {{{0, 0}, {5, 0}, {0, 0}, {5, 0}}}, 0}, 0},
      {{"AllOnePoint", false, {{{1, 1}, {1, 1}, {1, 1}}, {{1, 1}, {1, 1}, {1, 1}}}, 0}, 0},
      {{"ZeroAreaHoleAcrossTheFace", true, {Square(0, 0, 4, 4), {{-1, 2}, {5, 2}, {2, 2}}}, 0}, 16},
      {{"NotANumber", true, {{{0, 0}, {nan, 4}, {4, 0}, {0, 4}}}, 0}, nan},
      {{"NotANumberInAHole", true, {Square(0, 0, 4, 4), {{1, 1}, {nan, 1}, {9, 9}}}, 0}, nan},
  };
  for (const DegenerateCase& c : cases) {
    SCOPED_TRACE(c.drawing.name);
    std::vector<Vector3> points;
    std::vector<Contour> contours;
    for (const auto& xy : c.drawing.contours) contours.push_back(Add(points, xy));
    const std::size_t given = points.size();
    const std::vector<TriangleIndices> tris = Fill(c.drawing.face, points, contours);
    for (const auto& t : tris) {
      for (std::uint32_t i : t) EXPECT_LT(i, points.size());
    }
    for (std::size_t i = given; i < points.size(); ++i) {
      EXPECT_TRUE(std::isfinite(points[i].X) && std::isfinite(points[i].Y) &&
                  std::isfinite(points[i].Z));
    }
    if (!std::isnan(c.area)) {
      EXPECT_NEAR(TrianglesArea(points, tris), c.area, 1e-12);
    }
  }
}

// Beyond the bounds on work, a crossing face is cut as if it did not
// cross: the count of its corners, no point added, at once.
TEST(TriangulateTest, CrossingFacesBeyondTheBoundsKeepTheCount) {
  // A ring of more corners than the limit, two of them swapped.
  std::vector<std::pair<double, double>> twisted;
  for (std::size_t i = 0; i <= kEvenOddEdgeLimit; ++i) {
    const double a = 2 * std::numbers::pi * static_cast<double>(i) / (kEvenOddEdgeLimit + 1);
    twisted.push_back({std::cos(a), std::sin(a)});
  }
  std::swap(twisted[1], twisted[2]);
  // A star of long chords: below the limit, but its crossings run to
  // millions.
  std::vector<std::pair<double, double>> star;
  const std::size_t n = 4999;
  for (std::size_t i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * static_cast<double>(i * 2000 % n) / n;
    star.push_back({std::cos(a), std::sin(a)});
  }
  // Teeth of rising heights over a base that touches itself: few
  // crossings, but over a million edges spanning slabs in all.
  std::vector<std::pair<double, double>> teeth = {{0, 0}, {2400, -1}, {2400, 0}};
  for (int i = 1199; i >= 0; --i) {
    teeth.push_back({2.0 * i + 1, 10 + 0.001 * i});
    teeth.push_back({2.0 * i, 0});
  }
  teeth.push_back({0, -1});
  for (const auto& contour : {twisted, star, teeth}) {
    std::vector<Vector3> points;
    const Contour outer = Add(points, contour);
    std::vector<TriangleIndices> tris;
    TriangulateFace(points, outer, {}, tris);
    EXPECT_EQ(tris.size(), contour.size() - 2);
    EXPECT_EQ(points.size(), contour.size());
  }
}
}  // namespace
