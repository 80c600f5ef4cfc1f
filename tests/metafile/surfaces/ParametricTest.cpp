#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "metafile/format/TextFields.h"
#include "metafile/surfaces/Parametric.h"
#include "tests/metafile/DecodeTestSupport.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using namespace Kelvane::Metafile;
using Kelvane::ErrorKind;
using Kelvane::RunError;

namespace {

using Tri = std::array<std::uint32_t, 3>;
constexpr double kPi = 3.141592653589793238462643383279502884;
constexpr std::uint32_t kAll = kCapTop | kCapBottom | kCapInterior;

Subdivision Constant(double c1, double c2) { return {true, 0, c1, c2}; }
Subdivision WorldSpace(double c1) { return {true, 1, c1, c1}; }
Subdivision ScreenSpace(double c1) { return {true, 2, c1, c1}; }

TriangleSet Decode(std::string_view kind, std::string_view data, std::uint32_t caps = 0,
                   const Subdivision& style = {}) {
  TriangleSet set;
  DecodeParametric(kind, *TextFieldsOf(data), caps, style, set);
  return set;
}

Vector3 Normal(const TriangleSet& set, const Tri& t) {
  return Cross(set.points[t[1]] - set.points[t[0]], set.points[t[2]] - set.points[t[0]]);
}

// The shape as its data states it, every field written out.
struct Shape {
  std::string kind;
  Vector3 orientation, major, minor, origin;
  double ratio = 1;
  double uMin = 0, uMax = 1, vMin = 0, vMax = 1;

  bool IsDisk() const { return kind == "Disk"; }
  bool IsTorus() const { return kind == "Torus"; }
  // The third axis of the frame; a disk has none, so its normal stands in.
  Vector3 Axis() const { return IsDisk() ? Cross(major, minor) : orientation; }
  double Triple() const { return Dot(Axis(), Cross(major, minor)); }
  double USpan() const { return uMax > uMin ? uMax - uMin : 1 - uMin + uMax; }
  double VLow() const { return IsTorus() ? vMin : std::min(vMin, vMax); }
  double VSpan() const {
    if (IsTorus()) return vMax > vMin ? vMax - vMin : 1 - vMin + vMax;
    return std::fabs(vMax - vMin);
  }
  double VHigh() const { return VLow() + VSpan(); }
};

Shape Parse(const std::string& kind, const std::string& data) {
  Shape s;
  s.kind = kind;
  std::istringstream in(data);
  auto vec = [&](Vector3& p) { in >> p.X >> p.Y >> p.Z; };
  if (kind != "Disk") vec(s.orientation);
  vec(s.major);
  vec(s.minor);
  vec(s.origin);
  if (kind == "Torus") in >> s.ratio;
  in >> s.uMin >> s.uMax >> s.vMin >> s.vMax;
  return s;
}

// Where a point stands in the shape's frame: p = origin + a axis + b major
// + c minor.
std::array<double, 3> Frame(const Shape& s, const Vector3& p) {
  const Vector3 d = p - s.origin;
  const Vector3 axis = s.Axis();
  const double t = s.Triple();
  return {Dot(d, Cross(s.major, s.minor)) / t, Dot(d, Cross(s.minor, axis)) / t,
          Dot(d, Cross(axis, s.major)) / t};
}

// Whether a fraction of a turn lies in [low, low + span], allowing for the
// wrap through 0.
bool InTurn(double at, double low, double span) {
  const double from = at - low - std::floor(at - low);
  return from <= span + 1e-9 || from >= 1 - 1e-9;
}

bool Near(double a, double b) { return std::fabs(a - b) <= 1e-9; }

// Whether the point lies on the analytic surface within its ranges, or is
// one of the axis points that caps and cut faces add.
bool OnShape(const Shape& s, const Vector3& p) {
  const auto [a, b, c] = Frame(s, p);
  const double r = std::hypot(b, c);
  const double turn = std::atan2(c, b) / (2 * kPi);
  const bool inU = r <= 1e-9 || InTurn(turn, s.uMin, s.USpan());
  const double lo = s.VLow(), hi = s.VHigh();
  auto within = [&](double v) { return v >= lo - 1e-9 && v <= hi + 1e-9; };
  if (s.kind == "Ellipsoid") {
    const bool axisPoint =
        r <= 1e-9 && (Near(a, -std::cos(kPi * lo)) || Near(a, -std::cos(kPi * hi)));
    return axisPoint ||
           (Near(a * a + r * r, 1) && within(std::acos(std::clamp(-a, -1.0, 1.0)) / kPi) && inU);
  }
  if (s.kind == "Cylinder") {
    const bool axisPoint = r <= 1e-9 && (Near(a, lo) || Near(a, hi));
    return axisPoint || (Near(r, 1) && within(a) && inU);
  }
  if (s.kind == "Cone") {
    const bool axisPoint = r <= 1e-9 && (Near(a, lo) || Near(a, hi));
    return axisPoint || (Near(r, 1 - a) && within(a) && inU);
  }
  if (s.IsDisk()) return Near(a, 0) && within(r) && inU;
  // Torus: b major + c minor = r R(turn); the tube puts r = 1 - cos(t) k / |R|
  // and a = -sin(t).
  const double angle = 2 * kPi * turn;
  const Vector3 R{s.major.X * std::cos(angle) + s.minor.X * std::sin(angle),
                  s.major.Y * std::cos(angle) + s.minor.Y * std::sin(angle),
                  s.major.Z * std::cos(angle) + s.minor.Z * std::sin(angle)};
  const double k = s.ratio * Length(s.orientation);
  const double cosT = (1 - r) * Length(R) / k;
  const double sinT = -a;
  const bool sectionCentre =
      Near(r, 1) && Near(a, 0) && (InTurn(turn, s.uMin, 0) || InTurn(turn, s.uMax, 0));
  return sectionCentre || (Near(cosT * cosT + sinT * sinT, 1) &&
                           InTurn(std::atan2(sinT, cosT) / (2 * kPi), s.vMin, s.VSpan()) && inU);
}

Vector3 Centroid(const TriangleSet& set, const Tri& t) {
  const Vector3 &a = set.points[t[0]], &b = set.points[t[1]], &c = set.points[t[2]];
  return {(a.X + b.X + c.X) / 3, (a.Y + b.Y + c.Y) / 3, (a.Z + b.Z + c.Z) / 3};
}

// The point inside the solid beside a surface point: the centre, the axis
// at its height, or the tube's centre line at its angle.
Vector3 Inside(const Shape& s, const Vector3& p) {
  const auto [a, b, c] = Frame(s, p);
  if (s.kind == "Ellipsoid") return s.origin;
  if (!s.IsTorus()) {
    return {s.origin.X + a * s.orientation.X, s.origin.Y + a * s.orientation.Y,
            s.origin.Z + a * s.orientation.Z};
  }
  const double t = std::atan2(c, b);
  return {s.origin.X + s.major.X * std::cos(t) + s.minor.X * std::sin(t),
          s.origin.Y + s.major.Y * std::cos(t) + s.minor.Y * std::sin(t),
          s.origin.Z + s.major.Z * std::cos(t) + s.minor.Z * std::sin(t)};
}

// The enclosed volume, when the mesh is closed: positive when the faces
// turn out.
double SignedVolume(const TriangleSet& set) {
  double sum = 0;
  for (const Tri& t : set.triangles) {
    sum += Dot(set.points[t[0]], Cross(set.points[t[1]], set.points[t[2]])) / 6;
  }
  return sum;
}

// The volume of the solid the shape bounds, once closed; 0 where the test
// does not work it out.
double SolidVolume(const Shape& s) {
  const double f = s.USpan();
  const double lo = s.VLow(), hi = s.VHigh();
  const double stretch = std::fabs(s.Triple());
  if (s.kind == "Ellipsoid") {
    const double a0 = -std::cos(kPi * lo), a1 = -std::cos(kPi * hi);
    return stretch * f * kPi * ((a1 - a1 * a1 * a1 / 3) - (a0 - a0 * a0 * a0 / 3));
  }
  if (s.kind == "Cylinder") return stretch * f * kPi * (hi - lo);
  if (s.kind == "Cone") {
    return stretch * f * kPi * (std::pow(1 - lo, 3) - std::pow(1 - hi, 3)) / 3;
  }
  // A torus round a circle, tube whole: Pappus.
  if (s.IsTorus() && s.VSpan() == 1 && Near(Dot(s.major, s.minor), 0) &&
      Near(Length(s.major), Length(s.minor)) && Near(Dot(s.orientation, s.major), 0) &&
      Near(Dot(s.orientation, s.minor), 0)) {
    const double k = s.ratio * Length(s.orientation);
    return f * 2 * kPi * Length(s.major) * kPi * k * Length(s.orientation);
  }
  return 0;
}

// Triangles by the closed forms of Parametric.h.
std::size_t Expected(const Shape& s, std::uint32_t caps, std::size_t U, std::size_t V) {
  const std::size_t south = s.VLow() == 0 ? 1 : 0;
  const std::size_t north = s.VHigh() == 1 ? 1 : 0;
  const bool partial = s.USpan() < 1;
  const bool top = caps & kCapTop, bottom = caps & kCapBottom, interior = caps & kCapInterior;
  std::size_t n = 2 * U * V;
  if (s.kind == "Ellipsoid") {
    n -= U * (south + north);
    if (top && !north) n += U;
    if (bottom && !south) n += U;
    if (interior && partial) n += 2 * (V + 1 - south - north);
  } else if (s.kind == "Cylinder") {
    n += (top ? U : 0) + (bottom ? U : 0) + (interior && partial ? 2 * (V + 1) : 0);
  } else if (s.kind == "Cone") {
    n -= U * north;
    if (bottom) n += U;
    if ((top || interior) && !north) n += U;
    if (interior && partial) n += 2 * (V + 1 - north);
  } else if (s.IsDisk()) {
    n -= U * south;
  } else if (interior) {
    const bool tubeWhole = s.VSpan() == 1;
    if (partial) n += tubeWhole ? 2 * V : 2 * (V - 1);
    if (!tubeWhole) n += 2 * U;
  }
  return n;
}

// Edges, each way: how many triangles run along each.
std::map<std::pair<std::uint32_t, std::uint32_t>, int> Edges(const TriangleSet& set) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
  for (const Tri& t : set.triangles) {
    for (int i = 0; i < 3; ++i) ++edges[{t[i], t[(i + 1) % 3]}];
  }
  return edges;
}

// Edges that run one way only: the mesh's border. -1 when an edge runs
// twice the same way (faces turned unlike) or is shared by more than two.
int BorderEdges(const TriangleSet& set) {
  const auto edges = Edges(set);
  int border = 0;
  for (const auto& [edge, count] : edges) {
    if (count != 1) return -1;
    if (edges.count({edge.second, edge.first}) == 0) ++border;
  }
  return border;
}

const char* kRight = "0 0 2  3 0 0  0 1.5 0  1 -2 0.5";  // right-handed
const char* kLeft = "0 0 2  0 1.5 0  3 0 0  1 -2 0.5";   // major and minor swapped
const char* kSkewed = "0.3 0.2 1.5  1 0.4 0  -0.2 1.2 0.3  -1 0 2";
const char* kTorusRight = "0 0 0.5  2 0 0  0 2 0  0 0 1  0.6";
const char* kTorusLeft = "0 0 -0.5  2 0 0  0 2 0  0 0 1  0.6";
const char* kTorusSkewed = "0.1 0 0.4  2 0.3 0  -0.2 1.8 0.1  1 1 1  0.5";
const char* kDiskRight = "3 0 0  0 1.5 0  1 -2 0.5";
const char* kDiskSkewed = "1 0.4 0  -0.2 1.2 0.3  -1 0 2";

struct MeshCase {
  std::string name;
  std::string kind;
  std::string frame;
  std::string ranges;  // uMin uMax vMin vMax
  std::uint32_t caps;
  std::uint32_t u, v;  // the steps a Constant style gives
  int border;          // edges on the mesh's border; 0: closed
};

// Every kind, whole and partial, in right-, left-handed and skewed frames:
// points on the surface, the documented count, shared points, faces out,
// closed where every opening has its cap and open just along the cuts
// otherwise.
TEST(ParametricTest, MeshesFollowTheSurfaceAndCloseWhereCapped) {
  const int U = 24, V = 12;
  const std::vector<MeshCase> cases = {
      {"EllipsoidWhole", "Ellipsoid", kRight, "0 1 0 1", 0, U, V, 0},
      {"EllipsoidWholeLeftHanded", "Ellipsoid", kLeft, "0 1 0 1", kAll, U, V, 0},
      {"EllipsoidWedgeWrapsClosed", "Ellipsoid", kSkewed, "0.75 0.25 0 1", kCapInterior, U, V, 0},
      {"EllipsoidBandAllCaps", "Ellipsoid", kSkewed, "0.1 0.7 0.2 0.9", kAll, U, V, 0},
      {"EllipsoidBandLeftHandedAllCaps", "Ellipsoid", kLeft, "0.6 0.1 0.9 0.2", kAll, U, V, 0},
      {"EllipsoidBandOpen", "Ellipsoid", kSkewed, "0.1 0.7 0.2 0.9", 0, U, V, 2 * U + 2 * V},
      {"EllipsoidTopOnly", "Ellipsoid", kRight, "0 1 0.3 0.8", kCapTop, U, V, U},
      {"EllipsoidCutsWithoutBottom", "Ellipsoid", kLeft, "0 0.5 0.25 1", kCapInterior | kCapTop, U,
       V, U + 2},
      {"CylinderWholeCapped", "Cylinder", kRight, "0 1 0 1", kCapTop | kCapBottom, U, 1, 0},
      {"CylinderWedgeLeftHanded", "Cylinder", kLeft, "0.9 0.4 0.25 0.75", kAll, U, 1, 0},
      {"CylinderOpen", "Cylinder", kSkewed, "0 1 0 1", kCapInterior, U, 1, 2 * U},
      {"ConeWithBase", "Cone", kRight, "0 1 0 1", kCapBottom | kCapTop, U, V, 0},
      {"ConeCutWedgeClosedByInterior", "Cone", kSkewed, "0.85 0.15 0 0.6",
       kCapBottom | kCapInterior, U, V, 0},
      {"ConeFrustumTopAndBottom", "Cone", kLeft, "0 1 0.7 0.2", kCapTop | kCapBottom, U, V, 0},
      {"ConeWedgeToTheTip", "Cone", kRight, "0.2 0.6 0 1", kAll, U, V, 0},
      {"ConeOpen", "Cone", kRight, "0 1 0 1", 0, U, V, U},
      {"DiskWhole", "Disk", kDiskRight, "0 1 0 1", kAll, U, 1, U},
      {"DiskRingSector", "Disk", kDiskSkewed, "0.25 0.75 0.3 1", 0, U, 1, 2 * U + 2},
      {"TorusWhole", "Torus", kTorusRight, "0 1 0 1", 0, U, V, 0},
      {"TorusWholeLeftHanded", "Torus", kTorusLeft, "0 1 0 1", kAll, U, V, 0},
      {"TorusWedgeWrapsClosed", "Torus", kTorusSkewed, "0.7 0.2 0 1", kCapInterior, U, V, 0},
      {"TorusCutTubeWedge", "Torus", kTorusRight, "0.1 0.6 0.6 0.1", kCapInterior, U, V, 0},
      {"TorusCutTubeLeftHanded", "Torus", kTorusLeft, "0 1 0.2 0.7", kCapInterior, U, V, 0},
      {"TorusWedgeOpen", "Torus", kTorusRight, "0 0.5 0 1", kCapTop, U, V, 2 * V},
  };
  for (const MeshCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string data = c.frame + "  " + c.ranges;
    const Shape shape = Parse(c.kind, data);
    // c2 is given as V even where the kind has no use for it.
    const TriangleSet set = Decode(c.kind, data, c.caps, Constant(c.u, V));

    EXPECT_EQ(set.triangles.size(), Expected(shape, c.caps, c.u, c.v));
    for (const Vector3& p : set.points) {
      ASSERT_TRUE(OnShape(shape, p)) << p.X << " " << p.Y << " " << p.Z;
    }
    // Points stand apart: poles, seams and rims are shared, not repeated.
    for (std::size_t i = 0; i < set.points.size(); ++i) {
      for (std::size_t j = i + 1; j < set.points.size(); ++j) {
        ASSERT_GT(Length(set.points[i] - set.points[j]), 1e-9) << i << " " << j;
      }
    }
    for (const Tri& t : set.triangles) {
      ASSERT_GT(Length(Normal(set, t)), 1e-6) << t[0] << " " << t[1] << " " << t[2];
    }
    EXPECT_EQ(BorderEdges(set), c.border);

    // Faces out, where the caps add no faces: each triangle faces away from
    // the axis beside it (the tube's centre line); a disk faces major x
    // minor. With cap faces, a closed mesh shows it by its volume below.
    if (Expected(shape, c.caps, c.u, c.v) == Expected(shape, 0, c.u, c.v)) {
      for (const Tri& t : set.triangles) {
        const Vector3 away = shape.IsDisk()
                                 ? Cross(shape.major, shape.minor)
                                 : (Centroid(set, t)) - (Inside(shape, Centroid(set, t)));
        EXPECT_GT(Dot(Normal(set, t), away), 0);
      }
    }

    // A closed mesh turned out encloses a positive volume, close to the
    // solid's (the inscribed mesh a little smaller).
    if (c.border == 0) {
      const double volume = SignedVolume(set);
      EXPECT_GT(volume, 0);
      const double solid = SolidVolume(shape);
      if (solid > 0) {
        EXPECT_GT(volume / solid, 0.93);
        EXPECT_LT(volume / solid, 1.01);
      }
    }
  }
}

// The fields in the format's order, and the defaults for those absent.
TEST(ParametricTest, AbsentFieldsTakeTheirDefaults) {
  struct Case {
    std::string name, kind, shortData, fullData;
  };
  const std::vector<Case> cases = {
      {"EllipsoidNoData", "Ellipsoid", "", "0 0 1  0 1 0  1 0 0  0 0 0  0 1 0 1"},
      {"CylinderOrientationOnly", "Cylinder", "0 0 2", "0 0 2  0 1 0  1 0 0  0 0 0  0 1 0 1"},
      {"ConeUpToOrigin", "Cone", "0 0 2  0 3 0  1 0 0  5 6 7",
       "0 0 2  0 3 0  1 0 0  5 6 7  0 1 0 1"},
      {"ConeUpToUMin", "Cone", "0 0 2  0 3 0  1 0 0  5 6 7  0.5",
       "0 0 2  0 3 0  1 0 0  5 6 7  0.5 1 0 1"},
      {"DiskNoData", "Disk", "", "1 0 0  0 1 0  0 0 0  0 1 0 1"},
      {"TorusUpToOrigin", "Torus", "0 0 0.5  2 0 0  0 2 0  1 1 1",
       "0 0 0.5  2 0 0  0 2 0  1 1 1  1  0 1 0 1"},
      {"TorusNoData", "Torus", "", "0 0 1  0 1 0  1 0 0  0 0 0  1  0 1 0 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet a = Decode(c.kind, c.shortData);
    const TriangleSet b = Decode(c.kind, c.fullData);
    ASSERT_FALSE(a.triangles.empty());
    EXPECT_EQ(a.triangles, b.triangles);
    ASSERT_EQ(a.points.size(), b.points.size());
    for (std::size_t i = 0; i < a.points.size(); ++i) {
      EXPECT_EQ(a.points[i].X, b.points[i].X);
      EXPECT_EQ(a.points[i].Y, b.points[i].Y);
      EXPECT_EQ(a.points[i].Z, b.points[i].Z);
    }
  }
}

// Each field lands where the format puts it: the box round the points
// shows origin and radii, the torus's ratio its tube.
TEST(ParametricTest, FieldsPlaceTheShape) {
  struct Case {
    std::string name, kind, data;
    Vector3 low, high;
  };
  const std::vector<Case> cases = {
      {"Ellipsoid", "Ellipsoid", "0 0 4  2 0 0  0 3 0  1 1 1  0 1 0 1", {-1, -2, -3}, {3, 4, 5}},
      {"EllipsoidLowerHalf",
       "Ellipsoid",
       "0 0 4  2 0 0  0 3 0  1 1 1  0 1 0 0.5",
       {-1, -2, -3},
       {3, 4, 1}},
      {"EllipsoidQuarterFromMajorToMinor",
       "Ellipsoid",
       "0 0 4  2 0 0  0 3 0  1 1 1  0 0.25 0 1",
       {1, 1, -3},
       {3, 4, 5}},
      {"ConeTipAtOrientation",
       "Cone",
       "0 0 4  2 0 0  0 3 0  1 1 1  0 1 0 1",
       {-1, -2, 1},
       {3, 4, 5}},
      {"DiskRing", "Disk", "2 0 0  0 3 0  1 1 1  0 0.5 0.5 1", {-1, 1, 1}, {3, 4, 1}},
      {"TorusInnerHalfOfTheTube",
       "Torus",
       "0 0 0.5  2 0 0  0 2 0  1 1 1  0.8  0 1 0.75 0.25",
       {-1, -1, 0.5},
       {3, 3, 1.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TriangleSet set = Decode(c.kind, c.data, 0, Constant(16, 8));
    for (const auto& [bound, sign] : {std::pair{c.low, -1.0}, std::pair{c.high, 1.0}}) {
      double x = -1e300, y = -1e300, z = -1e300;  // the farthest out, each way
      for (const Vector3& p : set.points) {
        x = std::max(x, sign * p.X), y = std::max(y, sign * p.Y), z = std::max(z, sign * p.Z);
      }
      EXPECT_NEAR(sign * x, bound.X, 1e-12);
      EXPECT_NEAR(sign * y, bound.Y, 1e-12);
      EXPECT_NEAR(sign * z, bound.Z, 1e-12);
    }
  }
}

// The format's own default torus just touches its axis: its inner side is
// one point, with fans of triangles round it, not a ring of repeats.
TEST(ParametricTest, TorusMeetingItsAxisPinchesToOnePoint) {
  const TriangleSet set = Decode("Torus", "", 0, Constant(12, 8));
  EXPECT_EQ(set.points.size(), 12u * 7 + 1);
  EXPECT_EQ(set.triangles.size(), 2u * 12 * 8 - 2 * 12);
  EXPECT_EQ(BorderEdges(set), 0);
  for (const Tri& t : set.triangles) EXPECT_GT(Length(Normal(set, t)), 1e-6);
  EXPECT_GT(SignedVolume(set), 0);
}

// Counts each way, through the triangles they make: the constant counts,
// the defaults, and the least a solid needs.
TEST(ParametricTest, SubdivisionSetsTheCounts) {
  struct Case {
    std::string name, kind, data;
    Subdivision style;
    std::size_t triangles;
  };
  const char* ball = "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0 1";
  const char* tube = "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0 1";
  const char* torus = "0 0 0.5  2 0 0  0 2 0  0 0 0  0.5  0 1 0 1";
  const std::vector<Case> cases = {
      {"EllipsoidConstant", "Ellipsoid", ball, Constant(10, 6), 2 * 10 * 5},
      {"EllipsoidDefault", "Ellipsoid", ball, {}, 2 * 32 * 15},
      {"EllipsoidDefaultQuarter",
       "Ellipsoid",
       "0 0 1  1 0 0  0 1 0  0 0 0  0 0.25 0 0.5",
       {},
       2 * 8 * 8 - 8},
      {"EllipsoidAtLeastASolid", "Ellipsoid", ball, Constant(1, 1), 2 * 3 * 1},
      {"EllipsoidUnknownMethodIsTheDefault", "Ellipsoid", ball, {true, 7, 3, 3}, 2 * 32 * 15},
      {"CylinderIgnoresC2", "Cylinder", tube, Constant(10, 50), 2 * 10},
      {"CylinderDefault", "Cylinder", tube, {}, 2 * 32},
      {"ConeBands", "Cone", tube, Constant(10, 4), 2 * 10 * 4 - 10},
      {"ConeDefault", "Cone", tube, {}, 32},
      {"DiskIgnoresC2", "Disk", "1 0 0  0 1 0  0 0 0  0 1 0 1", Constant(10, 9), 10},
      {"TorusConstant", "Torus", torus, Constant(10, 6), 2 * 10 * 6},
      {"TorusDefault", "Torus", torus, {}, 2 * 32 * 16},
      {"TorusAtLeastATube", "Torus", torus, Constant(2, 2), 2 * 3 * 3},
      {"CutTubeNeedsTwoRows", "Torus", "0 0 0.5  2 0 0  0 2 0  0 0 0  0.5  0 0.5 0 0.5",
       Constant(4, 1), 2 * 4 * 2 + 2 * 4 + 2 * 1},
      {"CountsAreWhole", "Ellipsoid", ball, Constant(10.9, 6.9), 2 * 10 * 5},
      {"CountsBeyondTheLimitStopThere", "Cylinder", "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0 1e-10",
       WorldSpace(1e-9), 2 * 10000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Decode(c.kind, c.data, c.name == "CutTubeNeedsTwoRows" ? kCapInterior : 0u, c.style)
                  .triangles.size(),
              c.triangles);
  }
}

double LongestEdge(const TriangleSet& set) {
  double longest = 0;
  for (const Tri& t : set.triangles) {
    for (int i = 0; i < 3; ++i) {
      longest = std::max(longest, Length(set.points[t[i]] - set.points[t[(i + 1) % 3]]));
    }
  }
  return longest;
}

// WorldSpace: no edge of the surface longer than c1, and not needlessly
// many; ScreenSpace: c1 pixels as c1 / 100 of the largest radius.
TEST(ParametricTest, WorldSpaceKeepsEdgesWithinTheLength) {
  struct Case {
    std::string name, kind, data;
  };
  const std::vector<Case> cases = {
      {"Ellipsoid", "Ellipsoid", "0.3 0.2 1.5  1 0.4 0  -0.2 1.2 0.3  -1 0 2  0 1 0 1"},
      {"EllipsoidPart", "Ellipsoid", "0 0 2  3 0 0  0 1.5 0  0 0 0  0.6 0.1 0.3 0.8"},
      {"Cylinder", "Cylinder", "0.3 0.2 4  1 0.4 0  -0.2 1.2 0.3  -1 0 2  0 1 0 1"},
      {"Cone", "Cone", "0 1 3  2 0 0  0.5 0 1  0 0 0  0 1 0.2 1"},
      {"Disk", "Disk", "3 0 0  1 1.5 0  0 0 0  0 1 0.2 1"},
      {"Torus", "Torus", "0.1 0 0.4  2 0.3 0  -0.2 1.8 0.1  1 1 1  0.5  0 1 0 1"},
      {"TorusCut", "Torus", "0 0 0.5  2 0 0  0 2 0  0 0 0  0.9  0.2 0.9 0.7 0.2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (double length : {0.5, 0.2}) {
      const TriangleSet set = Decode(c.kind, c.data, 0, WorldSpace(length));
      const double longest = LongestEdge(set);
      EXPECT_LE(longest, length);
      EXPECT_GT(longest, length / 4);
    }
    EXPECT_GT(Decode(c.kind, c.data, 0, WorldSpace(0.2)).triangles.size(),
              Decode(c.kind, c.data, 0, WorldSpace(0.5)).triangles.size());
  }
  // The largest radius here is 3: 10 pixels are 0.3.
  const char* data = "0 0 2  3 0 0  0 1.5 0  0 0 0  0 1 0 1";
  EXPECT_EQ(Decode("Ellipsoid", data, 0, ScreenSpace(10)).triangles,
            Decode("Ellipsoid", data, 0, WorldSpace(0.3)).triangles);
}

// Caps that have no opening to close change nothing.
TEST(ParametricTest, CapsWithoutAnOpeningAreIgnored) {
  struct Case {
    std::string kind, data;
    std::uint32_t caps;
  };
  const std::vector<Case> cases = {
      {"Ellipsoid", "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0 1", kAll},
      {"Cone", "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0 1", kCapTop},
      {"Cylinder", "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0 1", kCapInterior},
      {"Disk", "1 0 0  0 1 0  0 0 0  0.2 0.7 0.5 1", kAll},
      {"Torus", "0 0 0.5  2 0 0  0 2 0  0 0 0  0.5  0 1 0 1", kAll},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    EXPECT_EQ(Decode(c.kind, c.data, c.caps, Constant(8, 4)).triangles,
              Decode(c.kind, c.data, 0, Constant(8, 4)).triangles);
  }
}

TEST(ParametricTest, KindsAndAReusedSet) {
  for (const char* kind : {"Ellipsoid", "cylinder", "CONE", "Disk", "Torus", "NURBPatch"}) {
    EXPECT_TRUE(IsParametricKind(kind)) << kind;
  }
  for (const char* kind : {"Box", "Ellipse", "TriMesh", ""}) EXPECT_FALSE(IsParametricKind(kind));

  TriangleSet set;
  set.points.assign(5, Vector3{9, 9, 9});
  set.triangles.assign(3, Tri{0, 1, 2});
  DecodeParametric("Disk", *TextFieldsOf(""), 0, Constant(6, 1), set);
  EXPECT_EQ(set.points.size(), 7u);
  EXPECT_EQ(set.triangles.size(), 6u);
}

using testing_support::BadCase;

TEST(ParametricTest, BadDataIsRefusedWithAClearError) {
  const std::vector<BadCase> cases = {
      {"UMinBelowZero", "Ellipsoid", "0 0 1  1 0 0  0 1 0  0 0 0  -0.1", ErrorKind::OutOfRange,
       "uMin of this Ellipsoid is -0.1, outside 0 to 1"},
      {"UMaxAboveOne", "Cylinder", "0 0 1  1 0 0  0 1 0  0 0 0  0 1.5", ErrorKind::OutOfRange,
       "uMax of this Cylinder is 1.5"},
      {"VMinAboveOne", "Cone", "0 0 1  1 0 0  0 1 0  0 0 0  0 1 2", ErrorKind::OutOfRange,
       "vMin of this Cone is 2"},
      {"RatioZero", "Torus", "0 0 1  2 0 0  0 2 0  0 0 0  0", ErrorKind::OutOfRange,
       "ratio of this Torus is 0"},
      {"RatioNegative", "Torus", "0 0 1  2 0 0  0 2 0  0 0 0  -0.5", ErrorKind::OutOfRange,
       "ratio of this Torus is -0.5"},
      {"EmptyURange", "Ellipsoid", "0 0 1  1 0 0  0 1 0  0 0 0  0.3 0.3", ErrorKind::OutOfRange,
       "u range of this Ellipsoid is empty"},
      {"WrapOneToZeroIsEmpty", "Cone", "0 0 1  1 0 0  0 1 0  0 0 0  1 0", ErrorKind::OutOfRange,
       "u range of this Cone is empty"},
      {"EmptyVRange", "Cylinder", "0 0 1  1 0 0  0 1 0  0 0 0  0 1 0.5 0.5", ErrorKind::OutOfRange,
       "v range of this Cylinder is empty"},
      {"DefaultUMaxMeetsUMin", "Disk", "1 0 0  0 1 0  0 0 0  1", ErrorKind::OutOfRange,
       "u range of this Disk is empty"},
      {"TooLarge", "Ellipsoid", "0 0 1e308  1e308 0 0  0 1e308 0  1e308 0 0", ErrorKind::Overflow,
       "too large"},
      {"TorusTubeTooLarge", "Torus", "0 0 1e300  2 0 0  0 2 0  0 0 0  1e300", ErrorKind::Overflow,
       "too large"},
      {"NotParametric", "Box", "", ErrorKind::InvalidArgument, "not a parametric surface"},
  };
  testing_support::ExpectRefused(
      cases, [](const std::string& kind, const std::string& data) { Decode(kind, data); },
      "input line 1");
}

// Axes of length 0 or in one plane are no error: what keeps an area is
// written, the triangles of zero area are left out and counted. `kept` is
// what remains, `full` the count the shape's rule gives; `flatAxis` (0 to
// 2, or -1) is a coordinate every point keeps at 0.
TEST(ParametricTest, DegenerateShapesKeepWhatHasArea) {
  struct Case {
    std::string name, kind, data;
    std::uint32_t caps;
    Subdivision style;
    std::size_t kept, full;
    int flatAxis;
  };
  const std::vector<Case> cases = {
      // Its two halves back to back: a flat ellipse, every triangle kept.
      {"EllipsoidWithoutOrientation", "Ellipsoid", "0 0 0  0 1 0  1 0 0", 0, Constant(8, 4), 48, 48,
       2},
      {"EllipsoidAxesInOnePlane", "Ellipsoid", "1 1 0  0 1 0  1 0 0", 0, Constant(8, 4), 48, 48, 2},
      {"EllipsoidOfNothing", "Ellipsoid", "0 0 0  0 0 0  0 0 0", 0, Constant(8, 4), 0, 48, -1},
      // The side has no height; the caps are two ellipses back to back.
      {"CylinderWithoutOrientation", "Cylinder", "0 0 0  0 1 0  1 0 0", kCapTop | kCapBottom,
       Constant(8, 1), 16, 32, 2},
      // Parallel radii: the side is a flat band, the caps lines.
      {"CylinderParallelRadii", "Cylinder", "0 0 1  1 0 0  2 0 0", kCapTop | kCapBottom,
       Constant(8, 1), 16, 32, 1},
      {"ConeWithoutMinor", "Cone", "0 0 1  1 0 0  0 0 0", kCapBottom, Constant(8, 4), 56, 64, 1},
      {"ConeOfNothingScreenSpace", "Cone", "0 0 0  0 0 0  0 0 0", kAll, ScreenSpace(4), 0, 6, -1},
      {"DiskParallelRadii", "Disk", "1 0 0  -2 0 0", 0, Constant(8, 1), 0, 8, -1},
      {"DiskWithoutMajor", "Disk", "0 0 0  0 1 0", 0, WorldSpace(0.1), 0, 2581, 0},
      {"TorusWithoutOrientation", "Torus", "0 0 0  2 0 0  0 2 0  0 0 0  0.5", 0, Constant(8, 4), 0,
       64, -1},
      // R(u) passes 0: the style's bound around has no number, and 32
      // steps around stand in; around the tube its rule gives 29.
      {"TorusParallelRadiiWorldSpace", "Torus", "0 0 1  2 0 0  2 0 0  0 0 0  0.5", 0,
       WorldSpace(0.5), 1856, 1856, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TriangleSet set;
    ASSERT_NO_THROW(set = Decode(c.kind, c.data, c.caps, c.style));
    EXPECT_EQ(set.triangles.size(), c.kept);
    EXPECT_EQ(set.triangles.size() + set.zeroAreaLeftOut, c.full);
    for (const Vector3& p : set.points) {
      ASSERT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z));
      if (c.flatAxis >= 0) {
        EXPECT_EQ(c.flatAxis == 0 ? p.X : c.flatAxis == 1 ? p.Y : p.Z, 0);
      }
    }
    for (const Tri& t : set.triangles) {
      const Vector3 ab = set.points[t[1]] - set.points[t[0]];
      const Vector3 ac = set.points[t[2]] - set.points[t[0]];
      EXPECT_GT(Length(Normal(set, t)), 1e-9 * Length(ab) * Length(ac));
    }
  }
}

}  // namespace
