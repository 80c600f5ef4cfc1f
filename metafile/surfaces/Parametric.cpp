#include "metafile/surfaces/Parametric.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "metafile/surfaces/NurbPatch.h"
#include "metafile/surfaces/Span.h"

namespace Kelvane::Metafile {

namespace {

constexpr double kPi = 3.141592653589793238462643383279502884;
constexpr double kSqrt2 = 1.414213562373095048801688724209698079;
// The most steps one direction may take, as a Constant style may ask.
constexpr std::uint32_t kMaxSteps = 10000;
// Without a style: steps per whole turn around, and per whole turn of v on
// the kinds curved along v (an ellipsoid's v, pole to pole, is one).
constexpr double kDefaultAround = 32;
constexpr double kDefaultAlong = 16;
// ScreenSpace: the object's largest radius is taken as this many pixels.
constexpr double kScreenRadiusPixels = 100;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

enum class Kind { Ellipsoid, Cylinder, Cone, Disk, Torus };

struct Shape {
  Kind kind = Kind::Ellipsoid;
  std::string name;
  Vector3 orientation{0, 0, 1};
  Vector3 major{0, 1, 0};
  Vector3 minor{1, 0, 0};
  Vector3 origin{0, 0, 0};
  double ratio = 1;
  double uMin = 0, uMax = 1, vMin = 0, vMax = 1;
  // Axes that span no volume (a disk: radii that span no area): the shape
  // is flat or collapsed where it should be round.
  bool degenerate = false;
};

// A parameter range: where it starts, how long it is (in turns for u and a
// torus's v), and whether it is the whole turn.
struct Range {
  double start = 0;
  double span = 1;
  bool whole = true;
};

// A range that may wrap through 0: uMin > uMax goes on past 1.
Range Wrapping(double low, double high) {
  Range r;
  r.start = low;
  r.span = high > low ? high - low : 1 - low + high;
  r.whole = low == 0 && high == 1;
  return r;
}

class ShapeReader {
 public:
  ShapeReader(Fields& fields, Shape& shape) : fields_(fields), shape_(shape) {}

  void Read() {
    Shape& s = shape_;
    // Once a field is absent all after it are, and keep their defaults.
    if (s.kind != Kind::Disk && !fields_.AtEnd()) s.orientation = ReadPoint(fields_);
    if (!fields_.AtEnd()) s.major = ReadPoint(fields_);
    if (!fields_.AtEnd()) s.minor = ReadPoint(fields_);
    s.degenerate = s.kind == Kind::Disk ? SpanNoArea(s.major, s.minor)
                                        : SpanNoVolume(s.orientation, s.major, s.minor);
    if (!fields_.AtEnd()) s.origin = ReadPoint(fields_);
    if (s.kind == Kind::Torus && !fields_.AtEnd()) {
      s.ratio = fields_.Float32();
      if (!(s.ratio > 0)) {
        fields_.Fail(ErrorKind::OutOfRange,
                     "The ratio of this Torus is " + Number(s.ratio) + "; it must be above 0");
      }
    }
    if (!fields_.AtEnd()) s.uMin = Fraction("uMin");
    if (!fields_.AtEnd()) s.uMax = Fraction("uMax");
    CheckNotEmpty("u", s.uMin, s.uMax, true);
    if (!fields_.AtEnd()) s.vMin = Fraction("vMin");
    if (!fields_.AtEnd()) s.vMax = Fraction("vMax");
    CheckNotEmpty("v", s.vMin, s.vMax, s.kind == Kind::Torus);
    CheckSize();
  }

 private:
  double Fraction(const char* field) {
    const double value = fields_.Float32();
    if (!(value >= 0 && value <= 1)) {
      fields_.Fail(ErrorKind::OutOfRange, std::string("The ") + field + " of this " + shape_.name +
                                              " is " + Number(value) + ", outside 0 to 1");
    }
    return value;
  }

  void CheckNotEmpty(const char* which, double low, double high, bool wraps) {
    if (low != high && !(wraps && low == 1 && high == 0)) return;
    fields_.Fail(ErrorKind::OutOfRange,
                 std::string("The ") + which + " range of this " + shape_.name + " is empty (" +
                     which + "Min " + Number(low) + ", " + which + "Max " + Number(high) + ")");
  }

  // Every point lies within this distance of the origin's coordinates, so
  // when it is finite, so is every point.
  void CheckSize() {
    const Shape& s = shape_;
    const double origin =
        std::max({std::fabs(s.origin.X), std::fabs(s.origin.Y), std::fabs(s.origin.Z)});
    double reach = origin + Norm(s.major) + Norm(s.minor);
    if (s.kind != Kind::Disk) reach += Norm(s.orientation);
    if (s.kind == Kind::Torus) reach += s.ratio * Norm(s.orientation);
    if (!std::isfinite(reach)) {
      fields_.Fail(ErrorKind::Overflow,
                   "This " + s.name + " is too large: its points are beyond the range of numbers");
    }
  }

  Fields& fields_;
  Shape& shape_;
};

// The largest singular value of the matrix with columns a, b, c: the most
// the shape stretches a unit step of its parameters' unit shape.
double LargestStretch(const Vector3& a, const Vector3& b, const Vector3& c) {
  const double scale = std::max({Norm(a), Norm(b), Norm(c)});
  if (!(scale > 0) || !std::isfinite(scale)) return scale;
  const std::array<Vector3, 3> v = {a * (1 / scale), b * (1 / scale), c * (1 / scale)};
  double g[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) g[i][j] = Dot(v[i], v[j]);
  // Largest eigenvalue of the symmetric 3 x 3 Gram matrix, in closed form.
  const double off = g[0][1] * g[0][1] + g[0][2] * g[0][2] + g[1][2] * g[1][2];
  const double mean = (g[0][0] + g[1][1] + g[2][2]) / 3;
  double largest = std::max({g[0][0], g[1][1], g[2][2]});
  if (off > 0) {
    const double d0 = g[0][0] - mean;
    const double d1 = g[1][1] - mean;
    const double d2 = g[2][2] - mean;
    const double p = std::sqrt((d0 * d0 + d1 * d1 + d2 * d2 + 2 * off) / 6);
    const double b00 = d0 / p, b11 = d1 / p, b22 = d2 / p;
    const double b01 = g[0][1] / p, b02 = g[0][2] / p, b12 = g[1][2] / p;
    const double det = b00 * (b11 * b22 - b12 * b12) - b01 * (b01 * b22 - b12 * b02) +
                       b02 * (b01 * b12 - b11 * b02);
    const double r = std::clamp(det / 2, -1.0, 1.0);
    largest = mean + 2 * p * std::cos(std::acos(r) / 3);
  }
  // A hair over, so that rounding never lets an edge past the bound.
  return scale * std::sqrt(std::max(largest, 0.0)) * (1 + 1e-9);
}

// The longest and shortest R(u) = cos(t) major + sin(t) minor over a turn.
void RadiusBounds(const Vector3& major, const Vector3& minor, double& longest, double& shortest) {
  const double scale = std::max(Norm(major), Norm(minor));
  const Vector3 a = major * (1 / scale);
  const Vector3 b = minor * (1 / scale);
  const double aa = Dot(a, a), bb = Dot(b, b), ab = Dot(a, b);
  const double high = (aa + bb) / 2 + std::hypot((aa - bb) / 2, ab);
  const Vector3 across = Cross(a, b);
  const double low = Dot(across, across) / high;  // the product of the two is the determinant
  longest = scale * std::sqrt(high) * (1 + 1e-9);
  shortest = scale * std::sqrt(low);
}

struct Steps {
  std::uint32_t u = 1;
  std::uint32_t v = 1;
};

// A count from a rule, rounded up; past the limit (or not a number): the
// limit.
std::uint32_t Ruled(double wanted) {
  if (!(wanted < kMaxSteps)) return kMaxSteps;
  if (!(wanted > 1)) return 1;
  return static_cast<std::uint32_t>(std::ceil(wanted));
}

// A count as the file gives it: whole steps, within the limits.
std::uint32_t Given(double count) {
  if (!(count < kMaxSteps)) return count >= kMaxSteps ? kMaxSteps : 1;
  if (!(count > 1)) return 1;
  return static_cast<std::uint32_t>(std::floor(count));
}

// How the surface is laid out on its grid.
struct Layout {
  Range u;
  Range v;         // v in turns on a torus, else in the 0..1 parameter
  double vLow;     // the v range's ends in order (not a torus)
  double vHigh;
  bool southPole;  // row 0 is one point (pole, disk centre)
  bool northPole;  // row V is one point (pole, cone tip)
  bool tubeBand;   // a torus tube cut along v and closed by Interior
};

Layout LayOut(const Shape& s, bool interior) {
  const bool torus = s.kind == Kind::Torus;
  Layout layout;
  layout.u = Wrapping(s.uMin, s.uMax);
  layout.vLow = std::min(s.vMin, s.vMax);
  layout.vHigh = std::max(s.vMin, s.vMax);
  if (torus) {
    layout.v = Wrapping(s.vMin, s.vMax);
  } else {
    layout.v.start = layout.vLow;
    layout.v.span = layout.vHigh - layout.vLow;
    layout.v.whole = false;
  }
  layout.southPole = (s.kind == Kind::Ellipsoid || s.kind == Kind::Disk) && layout.vLow == 0;
  layout.northPole = (s.kind == Kind::Ellipsoid || s.kind == Kind::Cone) && layout.vHigh == 1;
  layout.tubeBand = torus && !layout.v.whole && interior;
  return layout;
}

Steps ChooseSteps(const Shape& s, const Layout& layout, const Subdivision& style) {
  const bool flatAlongV = s.kind == Kind::Cylinder || s.kind == Kind::Disk;
  const double turnAngle = 2 * kPi * layout.u.span;
  Steps steps;
  if (style.given && style.method == 0) {
    steps.u = Given(style.c1);
    steps.v = flatAlongV ? 1 : Given(style.c2);
  } else if (style.given && (style.method == 1 || style.method == 2)) {
    double length = style.c1;
    if (style.method == 2) {
      double radius = std::max(Norm(s.major), Norm(s.minor));
      if (s.kind != Kind::Disk) radius = std::max(radius, Norm(s.orientation));
      length = style.c1 * radius / kScreenRadiusPixels;
    }
    double alongU = 0, alongV = 0;  // the rule's counts times the length
    const double dv = layout.v.span;
    if (s.kind == Kind::Torus) {
      double longest = 0, shortest = 0;
      RadiusBounds(s.major, s.minor, longest, shortest);
      const double k = s.ratio * Norm(s.orientation);
      alongU = 2 * longest * (1 + k / shortest) * turnAngle;
      alongV = 2 * std::hypot(k, Norm(s.orientation)) * 2 * kPi * dv;
    } else {
      const Vector3 none{0, 0, 0};
      const double stretch =
          LargestStretch(s.kind == Kind::Disk ? none : s.orientation, s.major, s.minor);
      switch (s.kind) {
        case Kind::Ellipsoid:
          alongU = kSqrt2 * stretch * turnAngle;
          alongV = kSqrt2 * stretch * kPi * dv;
          break;
        case Kind::Cylinder:
          alongU = kSqrt2 * stretch * turnAngle;
          alongV = kSqrt2 * stretch * dv;
          break;
        case Kind::Cone:
          alongU = kSqrt2 * stretch * (1 - layout.v.start) * turnAngle;
          alongV = 2 * stretch * dv;
          break;
        default:  // Disk
          alongU = kSqrt2 * stretch * (layout.v.start + dv) * turnAngle;
          alongV = kSqrt2 * stretch * dv;
          break;
      }
    }
    if (s.degenerate) {
      // A direction the shape does not extend in needs one step; a bound
      // that is no number (a torus whose radii are parallel turns its tube
      // at once where R(u) passes 0) takes the count without a style.
      const auto ruled = [&](double along, double fallback) -> std::uint32_t {
        if (along == 0) return 1;
        if (!std::isfinite(along)) return Ruled(fallback);
        return length > 0 ? Ruled(along / length) : kMaxSteps;
      };
      const bool curvedAlongV = s.kind == Kind::Ellipsoid || s.kind == Kind::Torus;
      steps.u = ruled(alongU, kDefaultAround * layout.u.span);
      steps.v = ruled(alongV, curvedAlongV ? kDefaultAlong * layout.v.span : 1);
    } else if (!(length > 0)) {
      steps.u = steps.v = kMaxSteps;
    } else {
      steps.u = Ruled(alongU / length);
      steps.v = Ruled(alongV / length);
    }
  } else {
    steps.u = Ruled(kDefaultAround * layout.u.span);
    const bool curvedAlongV = s.kind == Kind::Ellipsoid || s.kind == Kind::Torus;
    steps.v = curvedAlongV ? Ruled(kDefaultAlong * layout.v.span) : 1;
  }
  // The least that still makes a solid rather than a flat or doubled one.
  if (layout.u.whole) steps.u = std::max<std::uint32_t>(steps.u, 3);
  if (layout.southPole && layout.northPole) steps.v = std::max<std::uint32_t>(steps.v, 2);
  if (s.kind == Kind::Torus && layout.v.whole) steps.v = std::max<std::uint32_t>(steps.v, 3);
  if (layout.tubeBand) steps.v = std::max<std::uint32_t>(steps.v, 2);
  return steps;
}

// The surface's points on a grid of U steps along u and V along v, stored
// row by row (v outer, u inner). A whole turn reuses its first column for
// the last, a whole torus tube its first row; a row that the surface draws
// together into one point (pole, tip, centre) holds just that point.
struct Grid {
  std::uint32_t U = 1, V = 1;
  bool uWhole = false, vWhole = false;
  std::vector<char> single;             // per row, 0 to V
  std::vector<std::uint32_t> rowStart;  // index of each stored row's first point

  std::uint32_t Columns() const { return uWhole ? U : U + 1; }
  std::uint32_t StoredRows() const { return vWhole ? V : V + 1; }
  std::uint32_t Row(std::uint32_t j) const { return vWhole && j == V ? 0 : j; }
  bool Single(std::uint32_t j) const { return single[Row(j)] != 0; }
  std::uint32_t PointCount() const {
    std::uint32_t n = 0;
    for (std::uint32_t j = 0; j < StoredRows(); ++j) n += single[j] ? 1 : Columns();
    return n;
  }
  std::uint32_t At(std::uint32_t i, std::uint32_t j) const {
    j = Row(j);
    if (single[j]) return rowStart[j];
    return rowStart[j] + (uWhole && i == U ? 0 : i);
  }
};

class Mesh {
 public:
  Mesh(TriangleSet& out, bool turned) : out_(out), turned_(turned) {}

  std::uint32_t Point(const Vector3& p) {
    out_.points.push_back(p);
    return static_cast<std::uint32_t>(out_.points.size() - 1);
  }

  // Corners counterclockwise seen from outside in a right-handed frame;
  // a left-handed one turns them round.
  void Triangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (turned_) std::swap(b, c);
    out_.triangles.push_back({a, b, c});
  }

  // A convex polygon as a fan from its first corner, facing the way its
  // corners turn or (`against`) the other way. The fan starts from the same
  // corner either way: the other end may lie in line with its neighbours
  // (a cone's tip on its slant).
  void Fan(const std::vector<std::uint32_t>& corners, bool against) {
    for (std::size_t k = 1; k + 1 < corners.size(); ++k) {
      if (against) {
        Triangle(corners[0], corners[k + 1], corners[k]);
      } else {
        Triangle(corners[0], corners[k], corners[k + 1]);
      }
    }
  }

  // The cells between rows p and q: two triangles each, one where either
  // row is a single point.
  void Strip(const Grid& g, std::uint32_t p, std::uint32_t q) {
    for (std::uint32_t i = 0; i < g.U; ++i) {
      const std::uint32_t a = g.At(i, p), b = g.At(i + 1, p);
      const std::uint32_t c = g.At(i, q), d = g.At(i + 1, q);
      if (g.Single(p)) {
        Triangle(a, d, c);
      } else if (g.Single(q)) {
        Triangle(a, b, d);
      } else {
        Triangle(a, b, d);
        Triangle(a, d, c);
      }
    }
  }

  void Cells(const Grid& g) {
    for (std::uint32_t j = 0; j < g.V; ++j) Strip(g, j, j + 1);
  }

  // A flat cap from `centre` over row j, facing the way v grows (`up`) or
  // against it.
  void Cap(const Grid& g, std::uint32_t j, std::uint32_t centre, bool up) {
    for (std::uint32_t i = 0; i < g.U; ++i) {
      if (up) {
        Triangle(centre, g.At(i, j), g.At(i + 1, j));
      } else {
        Triangle(centre, g.At(i + 1, j), g.At(i, j));
      }
    }
  }

 private:
  TriangleSet& out_;
  bool turned_;
};

// cos and sin of the grid's angles, the ends exact.
void Angles(const Range& range, std::uint32_t steps, double turn, std::vector<double>& cosines,
            std::vector<double>& sines) {
  cosines.resize(steps + 1);
  sines.resize(steps + 1);
  for (std::uint32_t i = 0; i <= steps; ++i) {
    const double at = i == steps ? range.start + range.span
                                 : range.start + range.span * i / static_cast<double>(steps);
    cosines[i] = std::cos(turn * at);
    sines[i] = std::sin(turn * at);
  }
}

// The v values of the grid's rows, the ends exact.
std::vector<double> Rows(double low, double high, std::uint32_t steps) {
  std::vector<double> v(steps + 1);
  for (std::uint32_t j = 0; j <= steps; ++j) {
    v[j] = j == steps ? high : low + (high - low) * j / static_cast<double>(steps);
  }
  return v;
}

// A torus whose tube just reaches its axis (a circle of radius k): the tube's
// inner side meets itself at the origin.
bool IsHornTorus(const Shape& s) {
  const double a = Norm(s.major);
  const double b = Norm(s.minor);
  const double k = s.ratio * Norm(s.orientation);
  const double tolerance = 1e-12 * a;
  return std::fabs(a - b) <= tolerance && std::fabs(Dot(s.major, s.minor)) <= tolerance * b &&
         std::fabs(k - a) <= tolerance;
}

// Whether the grid's own sense faces in: a disk faces majorRadius x
// minorRadius whatever its frame, and the grid (u, then v outwards) faces
// the other way; the other kinds face out in a right-handed frame. A
// degenerate frame has no outside to face: its parts that keep an area face
// as the grid turns.
bool TurnedRound(const Shape& s) {
  if (s.kind == Kind::Disk) return true;
  const double handedness =
      s.degenerate ? 0 : Dot(Unit(s.orientation), Cross(Unit(s.major), Unit(s.minor)));
  return handedness < 0;
}

// Lays a shape out on its grid and makes its points and triangles.
class Tessellator {
 public:
  Tessellator(const Shape& s, std::uint32_t caps, TriangleSet& out)
      : s_(s),
        caps_(caps),
        interior_((caps & kCapInterior) != 0),
        layout_(LayOut(s, interior_)),
        out_(out),
        mesh_(out, TurnedRound(s)),
        sideFaces_(!layout_.u.whole && interior_ && s.kind != Kind::Disk) {}

  void Run(const Subdivision& style, Fields& fields) {
    const Steps steps = ChooseSteps(s_, layout_, style);
    CheckSurfaceCells(fields, steps.u, steps.v);
    g_.U = steps.u;
    g_.V = steps.v;
    g_.uWhole = layout_.u.whole;
    g_.vWhole = s_.kind == Kind::Torus && layout_.v.whole;
    g_.single.assign(g_.V + 1, 0);
    g_.single[0] = layout_.southPole;
    g_.single[g_.V] = layout_.northPole;

    std::vector<double> cu, su;
    Angles(layout_.u, g_.U, 2 * kPi, cu, su);
    around_.resize(g_.U + 1);
    for (std::uint32_t i = 0; i <= g_.U; ++i) around_[i] = s_.major * cu[i] + s_.minor * su[i];

    if (s_.kind == Kind::Torus) {
      Torus();
    } else {
      AroundAxis();
    }
  }

 private:
  static constexpr std::uint32_t kNoPoint = 0xFFFFFFFFu;

  void Torus() {
    const Vector3& A = s_.orientation;
    const Vector3& O = s_.origin;
    std::vector<double> cv, sv;
    Angles(layout_.v, g_.V, 2 * kPi, cv, sv);
    if (IsHornTorus(s_)) MarkWholeTurnsOfV();
    out_.points.reserve(g_.PointCount() + 2);
    out_.triangles.reserve(static_cast<std::size_t>(2) * g_.U * g_.V + 2 * g_.U + 2 * g_.V);
    const double k = s_.ratio * Norm(A);
    std::vector<Vector3> outward(g_.U + 1);  // k R(u) / |R(u)|
    for (std::uint32_t i = 0; i <= g_.U; ++i) {
      // Where R(u) is 0 (radii of length 0, or parallel) the tube has no
      // direction across: its cross section there is a line along the
      // orientation.
      const double length = Norm(around_[i]);
      outward[i] = length == 0 ? Vector3{0, 0, 0} : around_[i] * (k / length);
    }
    g_.rowStart.resize(g_.StoredRows());
    for (std::uint32_t j = 0; j < g_.StoredRows(); ++j) {
      g_.rowStart[j] = static_cast<std::uint32_t>(out_.points.size());
      if (g_.single[j]) {
        mesh_.Point(O);
        continue;
      }
      for (std::uint32_t i = 0; i < g_.Columns(); ++i) {
        const Vector3 p = O + around_[i] - cv[j] * outward[i];
        mesh_.Point(p - sv[j] * A);
      }
    }
    mesh_.Cells(g_);
    // The flat band across the tube between its two cut edges.
    if (layout_.tubeBand) mesh_.Strip(g_, g_.V, 0);
    if (!sideFaces_) return;
    // The tube's cross section at each cut; a whole one round its centre
    // (its last row is then its first again).
    for (std::uint32_t column : {0u, g_.U}) {
      CutFace(column, layout_.v.whole ? mesh_.Point(O + around_[column]) : kNoPoint, kNoPoint);
    }
  }

  // A torus whose tube just reaches its axis: rows at a whole turn of v are
  // the single point where the tube meets itself.
  void MarkWholeTurnsOfV() {
    for (std::uint32_t j = 0; j <= g_.V; ++j) {
      const double at = j == g_.V
                            ? layout_.v.start + layout_.v.span
                            : layout_.v.start + layout_.v.span * j / static_cast<double>(g_.V);
      if (at == std::floor(at)) g_.single[j] = 1;
    }
  }

  // The other kinds: p = O + a A + b R(u), for each row's axial and radial
  // factors a and b.
  void AroundAxis() {
    const Vector3& A = s_.orientation;
    const Vector3& O = s_.origin;
    const bool disk = s_.kind == Kind::Disk;
    std::vector<double> axial(g_.V + 1), radial(g_.V + 1);
    RowFactors(axial, radial);

    const bool cutSouth = !layout_.southPole && !disk;
    const bool cutNorth = !layout_.northPole && !disk;
    const bool bottomCap = cutSouth && (caps_ & kCapBottom) != 0;
    const bool topCap =
        cutNorth && ((caps_ & kCapTop) != 0 || (s_.kind == Kind::Cone && interior_));
    out_.points.reserve(g_.PointCount() + 2);
    out_.triangles.reserve(static_cast<std::size_t>(2) * g_.U * g_.V + 2 * g_.U + 2 * g_.V + 4);

    g_.rowStart.resize(g_.StoredRows());
    for (std::uint32_t j = 0; j <= g_.V; ++j) {
      g_.rowStart[j] = static_cast<std::uint32_t>(out_.points.size());
      const Vector3 centre = O + axial[j] * A;
      if (g_.single[j]) {
        mesh_.Point(centre);  // a pole exactly
        continue;
      }
      for (std::uint32_t i = 0; i < g_.Columns(); ++i) {
        mesh_.Point(centre + radial[j] * around_[i]);
      }
    }
    mesh_.Cells(g_);
    if (disk) return;

    // The axis points at the two ends, shared by the caps and the faces on
    // the cuts.
    std::uint32_t south = 0, north = 0;
    if (cutSouth && (bottomCap || sideFaces_)) south = mesh_.Point(O + axial[0] * A);
    if (cutNorth && (topCap || sideFaces_)) north = mesh_.Point(O + axial[g_.V] * A);
    if (bottomCap) mesh_.Cap(g_, 0, south, false);
    if (topCap) mesh_.Cap(g_, g_.V, north, true);
    if (!sideFaces_) return;
    // Each cut, from the axis out to the surface's cut edge.
    for (std::uint32_t column : {0u, g_.U}) {
      CutFace(column, cutSouth ? south : kNoPoint, cutNorth ? north : kNoPoint);
    }
  }

  void RowFactors(std::vector<double>& axial, std::vector<double>& radial) const {
    const std::vector<double> v = Rows(layout_.vLow, layout_.vHigh, g_.V);
    for (std::uint32_t j = 0; j <= g_.V; ++j) {
      switch (s_.kind) {
        case Kind::Ellipsoid:
          axial[j] = -std::cos(kPi * v[j]);
          radial[j] = std::sin(kPi * v[j]);
          break;
        case Kind::Cylinder:
          axial[j] = v[j];
          radial[j] = 1;
          break;
        case Kind::Cone:
          axial[j] = v[j];
          radial[j] = 1 - v[j];
          break;
        default:  // Disk
          axial[j] = 0;
          radial[j] = v[j];
          break;
      }
    }
  }

  // The flat face that closes a partial turn at one of its two cuts: from
  // `first` (when it is a point) through the cut's grid points, row 0 to
  // row V, to `last` (likewise). A convex polygon, counterclockwise seen
  // from outside at the start of the range.
  void CutFace(std::uint32_t column, std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint32_t> face;
    if (first != kNoPoint) face.push_back(first);
    for (std::uint32_t j = 0; j <= g_.V; ++j) face.push_back(g_.At(column, j));
    if (last != kNoPoint) face.push_back(last);
    mesh_.Fan(face, column == g_.U);
  }

  const Shape& s_;
  std::uint32_t caps_;
  bool interior_;
  Layout layout_;
  TriangleSet& out_;
  Mesh mesh_;
  bool sideFaces_;
  Grid g_;
  std::vector<Vector3> around_;  // R(u) at each column
};

}  // namespace

void CheckSurfaceCells(Fields& fields, std::uint64_t across, std::uint64_t along) {
  if (across * along > kMaxSurfaceCells) {
    fields.Fail(ErrorKind::OutOfRange, "A grid of " + std::to_string(across) + " x " +
                                           std::to_string(along) + " cells is more than the " +
                                           std::to_string(kMaxSurfaceCells) +
                                           " one surface may be cut into");
  }
}

bool IsParametricKind(std::string_view kind) {
  for (std::string_view k : {"Ellipsoid", "Cylinder", "Cone", "Disk", "Torus", "NURBPatch"}) {
    if (SameWord(kind, k)) return true;
  }
  return false;
}

void DecodeParametric(std::string_view kind, Fields& fields, std::uint32_t caps,
                      const Subdivision& subdivision, TriangleSet& out) {
  out.points.clear();
  out.triangles.clear();
  out.zeroAreaLeftOut = 0;
  if (SameWord(kind, "NURBPatch")) return DecodeNurbPatch(fields, subdivision, out);
  Shape shape;
  if (SameWord(kind, "Ellipsoid")) {
    shape.kind = Kind::Ellipsoid;
  } else if (SameWord(kind, "Cylinder")) {
    shape.kind = Kind::Cylinder;
  } else if (SameWord(kind, "Cone")) {
    shape.kind = Kind::Cone;
  } else if (SameWord(kind, "Disk")) {
    shape.kind = Kind::Disk;
    shape.major = {1, 0, 0};
    shape.minor = {0, 1, 0};
  } else if (SameWord(kind, "Torus")) {
    shape.kind = Kind::Torus;
  } else {
    fields.Fail(ErrorKind::InvalidArgument,
                "An object of kind " + Quote(kind) + " is not a parametric surface");
  }
  static constexpr const char* kNames[] = {"Ellipsoid", "Cylinder", "Cone", "Disk", "Torus"};
  shape.name = kNames[static_cast<int>(shape.kind)];
  ShapeReader(fields, shape).Read();
  Tessellator(shape, caps, out).Run(subdivision, fields);
  if (shape.degenerate) DropZeroAreaTriangles(out);
}

}  // namespace Kelvane::Metafile
