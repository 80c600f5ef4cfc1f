#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "metafile/format/TextFields.h"
#include "metafile/surfaces/NurbPatch.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using namespace Kelvane::Metafile;
using Kelvane::ErrorKind;
using Kelvane::RunError;

namespace {

using Tri = std::array<std::uint32_t, 3>;
using Net = std::vector<std::vector<Vector3>>;  // [row][column]

struct Patch {
  std::uint32_t uOrder = 2;
  std::uint32_t vOrder = 2;
  Net points;                   // Euclidean, [row][column]
  std::vector<double> weights;  // row by row; empty: all 1
  std::vector<double> uKnots;
  std::vector<double> vKnots;
};

std::string Num(double x) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", x);
  return text;
}

// The patch's data as a file has it: the weight multiplied into x, y, z.
std::string Data(const Patch& p) {
  const std::size_t rows = p.points.size();
  const std::size_t columns = p.points[0].size();
  std::string s = std::to_string(p.uOrder) + " " + std::to_string(p.vOrder) + "\n" +
                  std::to_string(rows) + " " + std::to_string(columns) + "\n";
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns; ++c) {
      const double w = p.weights.empty() ? 1.0 : p.weights[r * columns + c];
      const Vector3& q = p.points[r][c];
      s += Num(q.X * w) + " " + Num(q.Y * w) + " " + Num(q.Z * w) + " " + Num(w) + "\n";
    }
  }
  for (double k : p.uKnots) s += Num(k) + " ";
  s += "\n";
  for (double k : p.vKnots) s += Num(k) + " ";
  return s + "\n";
}

Subdivision Style(std::uint32_t method, double c1, double c2 = 0) {
  return Subdivision{true, method, c1, c2};
}

TriangleSet Decode(const std::string& data, const Subdivision& style) {
  TriangleSet set;
  DecodeNurbPatch(*TextFieldsOf(data), style, set);
  return set;
}

Vector3 Lerp(const Vector3& a, const Vector3& b, double t) { return a * (1 - t) + b * t; }
Vector3 Normal(const TriangleSet& set, const Tri& t) {
  return Cross(set.points[t[1]] - set.points[t[0]], set.points[t[2]] - set.points[t[0]]);
}

double LongestEdge(const TriangleSet& set) {
  double longest = 0;
  for (const Tri& t : set.triangles) {
    for (int k = 0; k < 3; ++k) {
      longest = std::max(longest, Length(set.points[t[k]] - set.points[t[(k + 1) % 3]]));
    }
  }
  return longest;
}

void ExpectNear(const Vector3& got, const Vector3& want, double tolerance) {
  EXPECT_NEAR(got.X, want.X, tolerance);
  EXPECT_NEAR(got.Y, want.Y, tolerance);
  EXPECT_NEAR(got.Z, want.Z, tolerance);
}

// A plane patch: corner p0, sides along `du` (columns) and `dv` (rows).
Patch Bilinear(const Vector3& p0, const Vector3& du, const Vector3& dv) {
  Patch p;
  p.points = {{p0, p0 + du}, {p0 + dv, p0 + du + dv}};
  p.uKnots = {0, 0, 1, 1};
  p.vKnots = {0, 0, 1, 1};
  return p;
}

// A curved quadratic Bezier net (3 by 3), rows along v.
const Net kBezierNet = {
    {{0, 0, 0}, {1, 0.3, 1}, {2, 0, 0}},
    {{0.2, 1, 1}, {1.1, 1.2, 3}, {2.3, 0.9, -1}},
    {{0, 2, 0}, {1, 2.4, -1}, {2, 2, 2}},
};

Vector3 Bezier3(const Vector3& a, const Vector3& b, const Vector3& c, double t) {
  return a * ((1 - t) * (1 - t)) + b * (2 * t * (1 - t)) + c * (t * t);
}

Vector3 BezierSurface(double u, double v) {
  Vector3 rows[3];
  for (int r = 0; r < 3; ++r)
    rows[r] = Bezier3(kBezierNet[r][0], kBezierNet[r][1], kBezierNet[r][2], u);
  return Bezier3(rows[0], rows[1], rows[2], v);
}

// The same surface with knot `a` inserted `times` times in u (de Casteljau
// at a): each row's control points change, the surface does not. With
// times -1, a knot more at each end instead, whose extra control points
// (far away) must have no weight anywhere.
Patch BezierWithKnot(double a, int times) {
  Patch p;
  p.uOrder = 3;
  p.vOrder = 3;
  p.vKnots = {0, 0, 0, 1, 1, 1};
  if (times < 0) {
    p.uKnots = {0, 0, 0, 0, 1, 1, 1, 1};
    for (const auto& row : kBezierNet) {
      p.points.push_back({{99, 99, 99}, row[0], row[1], row[2], {-99, 99, 99}});
    }
    return p;
  }
  p.uKnots = {0, 0, 0};
  for (int k = 0; k < times; ++k) p.uKnots.push_back(a);
  p.uKnots.insert(p.uKnots.end(), {1, 1, 1});
  for (const auto& row : kBezierNet) {
    const Vector3 left = Lerp(row[0], row[1], a);
    const Vector3 right = Lerp(row[1], row[2], a);
    const Vector3 mid = Lerp(left, right, a);
    if (times == 0) p.points.push_back(row);
    if (times == 1) p.points.push_back({row[0], left, right, row[2]});
    if (times == 2) p.points.push_back({row[0], left, mid, right, row[2]});
    if (times == 3) p.points.push_back({row[0], left, mid, mid, right, row[2]});
  }
  return p;
}

// A quarter of the cylinder x^2 + y^2 = r^2 from z = 0 to 2: u from +x to
// +y (a rational quadratic arc), v along z.
Patch QuarterCylinder(double radius) {
  Patch p;
  p.uOrder = 3;
  p.vOrder = 2;
  for (double z : {0.0, 2.0}) {
    p.points.push_back({{radius, 0, z}, {radius, radius, z}, {0, radius, z}});
  }
  const double s = std::sqrt(2.0) / 2;
  p.weights = {1, s, 1, 1, s, 1};
  p.uKnots = {0, 0, 0, 1, 1, 1};
  p.vKnots = {0, 0, 1, 1};
  return p;
}

TEST(NurbPatchTest, BilinearPatchIsItsParallelogram) {
  const Vector3 p0{1, -2, 0.5};
  const Vector3 du{4, 0, 1};
  const Vector3 dv{0.5, 3, -2};
  // A v range away from [0, 1] and a weight other than 1, the same on every
  // point: neither moves the surface.
  Patch patch = Bilinear(p0, du, dv);
  patch.vKnots = {-2, -2, 7, 7};
  patch.weights = {3, 3, 3, 3};
  const TriangleSet set = Decode(Data(patch), Style(0, 4, 3));
  ASSERT_EQ(set.points.size(), 5u * 4u);
  for (int r = 0; r <= 3; ++r) {
    for (int c = 0; c <= 4; ++c) {
      SCOPED_TRACE(std::to_string(r) + "," + std::to_string(c));
      ExpectNear(set.points[r * 5 + c], p0 + du * (c / 4.0) + dv * (r / 3.0), 1e-12);
    }
  }
}

TEST(NurbPatchTest, QuadraticBezierMatchesItsClosedForm) {
  // The plain Bezier, the same surface with a knot at 0.25 once, twice and
  // three times (the last leaves a span of zero length), and with empty
  // spans at both ends.
  for (int times = -1; times <= 3; ++times) {
    SCOPED_TRACE(times);
    const TriangleSet set = Decode(Data(BezierWithKnot(0.25, times)), Style(0, 8, 5));
    ASSERT_EQ(set.points.size(), 9u * 6u);
    for (int r = 0; r <= 5; ++r) {
      for (int c = 0; c <= 8; ++c) {
        ExpectNear(set.points[r * 9 + c], BezierSurface(c / 8.0, r / 5.0), 1e-12);
      }
    }
  }
}

TEST(NurbPatchTest, DefaultGridLinesFallOnTheKnots) {
  // Spans [0, 0.25] and [0.25, 1] in u, 16 segments each; one span in v.
  const TriangleSet set = Decode(Data(BezierWithKnot(0.25, 1)), Subdivision{});
  ASSERT_EQ(set.points.size(), 33u * 17u);
  for (int r = 0; r <= 16; ++r) {
    for (int c : {0, 8, 16, 20, 32}) {
      const double u = c <= 16 ? 0.25 * c / 16 : 0.25 + 0.75 * (c - 16) / 16;
      ExpectNear(set.points[r * 33 + c], BezierSurface(u, r / 16.0), 1e-12);
    }
  }
}

TEST(NurbPatchTest, RationalQuarterCylinderIsExact) {
  for (const Subdivision& style : {Subdivision{}, Style(0, 7, 2), Style(1, 0.3)}) {
    SCOPED_TRACE(style.method);
    const TriangleSet set = Decode(Data(QuarterCylinder(1)), style);
    ASSERT_FALSE(set.points.empty());
    for (const Vector3& q : set.points) {
      EXPECT_NEAR(std::hypot(q.X, q.Y), 1, 1e-12);
      EXPECT_GE(q.X, -1e-15);
      EXPECT_GE(q.Y, -1e-15);
    }
  }
}

TEST(NurbPatchTest, TrianglesTurnFromUToV) {
  // dS/du x dS/dv of each patch at every triangle's first corner, from
  // its own geometry: the normal of every triangle must point that way.
  struct Case {
    const char* name;
    Patch patch;
    std::function<Vector3(const Vector3&)> side;  // the side dS/du x dS/dv points to
  };
  const Case cases[] = {
      {"plane up", Bilinear({0, 0, 0}, {1, 0, 0}, {0, 1, 0}),
       [](const Vector3&) {
         return Vector3{0, 0, 1};
       }},
      {"plane down", Bilinear({0, 0, 0}, {0, 1, 0}, {1, 0, 0}),
       [](const Vector3&) {
         return Vector3{0, 0, -1};
       }},
      {"cylinder out", QuarterCylinder(3),
       [](const Vector3& q) {
         return Vector3{q.X, q.Y, 0};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(Data(c.patch), Style(0, 6, 4));
    ASSERT_EQ(set.triangles.size(), 2u * 6u * 4u);
    for (const Tri& t : set.triangles) {
      const Vector3 centre = (set.points[t[0]] + set.points[t[1]] + set.points[t[2]]) * (1.0 / 3);
      EXPECT_GT(Dot(Normal(set, t), c.side(centre)), 0);
    }
  }
}

TEST(NurbPatchTest, GridSizeFollowsTheStyle) {
  Patch manySpans;  // 700 spans in u, one in v
  manySpans.points.resize(2);
  for (int c = 0; c <= 700; ++c) {
    manySpans.points[0].push_back({c / 100.0, 0, 0});
    manySpans.points[1].push_back({c / 100.0, 1, 0});
    manySpans.uKnots.push_back(c);
  }
  manySpans.uKnots.insert(manySpans.uKnots.begin(), 0);
  manySpans.uKnots.push_back(700);
  manySpans.vKnots = {0, 0, 1, 1};
  Patch flatRibbon = Bilinear({0, 0, 0}, {1, 0, 0}, {0, 0, 0});  // no extent in v

  const struct {
    const char* name;
    Patch patch;
    Subdivision style;
    std::uint32_t u, v;  // segments
  } cases[] = {
      {"constant", BezierWithKnot(0.5, 2), Style(0, 5, 3), 5, 3},
      {"constant rounds", BezierWithKnot(0.5, 2), Style(0, 2.6, 1.2), 3, 1},
      {"no style, one span", BezierWithKnot(0.5, 0), Subdivision{}, 16, 16},
      {"no style, two spans", BezierWithKnot(0.5, 1), Subdivision{}, 32, 16},
      {"no style, empty span", BezierWithKnot(0.5, 3), Subdivision{}, 32, 16},
      {"screen space as no style", BezierWithKnot(0.5, 1), Style(2, 3), 32, 16},
      {"no style, capped per span", manySpans, Subdivision{}, 700 * 14, 16},
      // Sides of 10 at a size of 1: cells of 0.5 keep the diagonals within 1.
      {"world space", Bilinear({0, 0, 0}, {10, 0, 0}, {0, 10, 0}), Style(1, 1), 20, 20},
      {"world space capped", flatRibbon, Style(1, 1e-9), 10000, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(Data(c.patch), c.style);
    EXPECT_EQ(set.points.size(), std::size_t{c.u + 1} * (c.v + 1));
    EXPECT_EQ(set.triangles.size(), 2 * std::size_t{c.u} * c.v);
    for (const Tri& t : set.triangles) {
      for (std::uint32_t i : t) ASSERT_LT(i, set.points.size());
    }
  }
}

TEST(NurbPatchTest, WorldSpaceKeepsEveryEdgeWithinTheSize) {
  const struct {
    const char* name;
    Patch patch;
    double size;
  } cases[] = {
      {"bezier", BezierWithKnot(0.3, 1), 0.05},
      {"cylinder", QuarterCylinder(5), 0.4},
      {"skewed plane", Bilinear({0, 0, 0}, {3, 0, 0}, {2.9, 0.2, 0}), 0.25},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(Data(c.patch), Style(1, c.size));
    EXPECT_LE(LongestEdge(set), c.size);
    // Not needlessly fine either: the longest edge is more than a quarter
    // of the size.
    EXPECT_GT(LongestEdge(set), c.size / 4);
  }
}

TEST(NurbPatchTest, BadDataIsRefusedWithItsPlace) {
  // A valid patch: lines 1 orders, 2 counts, 3-4 points, 5 u knots, 6 v knots.
  const std::string points = "0 0 0 1  1 0 0 1\n0 1 0 1  1 1 0 1\n";
  const struct {
    const char* name;
    std::string data;
    Subdivision style;
    ErrorKind kind;
    const char* text;
    int line;
  } cases[] = {
      {"u order 1",
       "1 2\n2 2\n" + points + "0 0 1 1\n0 0 1 1",
       {},
       ErrorKind::OutOfRange,
       "u order of 1",
       1},
      {"v order 17", "2 17\n2 2\n" + points, {}, ErrorKind::OutOfRange, "v order of 17", 1},
      {"rows below order",
       "2 3\n2 2\n" + points,
       {},
       ErrorKind::OutOfRange,
       "2 rows, fewer than its v order of 3",
       2},
      {"columns below order",
       "3 2\n2 2\n" + points,
       {},
       ErrorKind::OutOfRange,
       "2 columns, fewer than its u order of 3",
       2},
      {"net beyond the data",
       "2 2\n100000 100000\n" + points,
       {},
       ErrorKind::OutOfRange,
       "control point",
       3},
      {"net beyond 32 bits",
       "2 2\n4294967295 4294967295\n" + points,
       {},
       ErrorKind::OutOfRange,
       "control point",
       3},
      {"zero weight",
       "2 2\n2 2\n0 0 0 1  1 0 0 1\n0 1 0 0  1 1 0 1\n0 0 1 1\n0 0 1 1",
       {},
       ErrorKind::InvalidArgument,
       "weight 0",
       4},
      {"negative weight",
       "2 2\n2 2\n0 0 0 1  1 0 0 -2\n0 1 0 1  1 1 0 1\n0 0 1 1\n0 0 1 1",
       {},
       ErrorKind::InvalidArgument,
       "weight -2",
       3},
      {"u knots decrease",
       "2 2\n2 2\n" + points + "0 1 0.5 1\n0 0 1 1",
       {},
       ErrorKind::InvalidArgument,
       "u knots decrease: knot 2 (0.5)",
       5},
      {"v knots decrease",
       "2 2\n2 2\n" + points + "0 0 1 1\n0 0 1 -1",
       {},
       ErrorKind::InvalidArgument,
       "v knots decrease: knot 3 (-1)",
       6},
      {"no u range",
       "2 2\n2 2\n" + points + "0 1 1 2\n0 0 1 1",
       {},
       ErrorKind::InvalidArgument,
       "u knots leave no parameter range",
       5},
      {"v knots cut short",
       "2 2\n2 2\n" + points + "0 0 1 1\n0 0 1",
       {},
       ErrorKind::OutOfRange,
       "v knot",
       6},
      {"not a number",
       "2 2\n2 2\n" + points + "0 0 1 1\n0 nan 1 1",
       {},
       ErrorKind::Overflow,
       "not finite",
       6},
      {"beyond doubles",
       "2 2\n2 2\n0 0 0 1  1e300 0 0 1e-300\n0 1 0 1  1 1 0 1\n0 0 1 1\n0 0 1 1",
       {},
       ErrorKind::Overflow,
       "beyond the range of numbers",
       6},
      {"constant count 0", "2 2\n2 2\n" + points + "0 0 1 1\n0 0 1 1", Style(0, 0, 4),
       ErrorKind::OutOfRange, "subdivision count of 0", 6},
      {"constant count 10001", "2 2\n2 2\n" + points + "0 0 1 1\n0 0 1 1", Style(0, 4, 10001),
       ErrorKind::OutOfRange, "subdivision count of 10001", 6},
      {"world size 0", "2 2\n2 2\n" + points + "0 0 1 1\n0 0 1 1", Style(1, 0),
       ErrorKind::OutOfRange, "subdivision size of 0", 6},
      {"unknown method", "2 2\n2 2\n" + points + "0 0 1 1\n0 0 1 1", Style(7, 1),
       ErrorKind::InvalidArgument, "method 7", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      Decode(c.data, c.style);
      ADD_FAILURE() << "no error";
    } catch (const RunError& e) {
      EXPECT_EQ(e.Kind(), c.kind) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos) << e.what();
      EXPECT_EQ(e.Place().rfind("input line " + std::to_string(c.line) + ",", 0), 0u) << e.Place();
    }
  }
}

}  // namespace
