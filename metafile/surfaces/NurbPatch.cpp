#include "metafile/surfaces/NurbPatch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "metafile/surfaces/GridCells.h"

namespace Kelvane::Metafile {

namespace {

// The highest order the format's own libraries accept for a patch. It also
// bounds the work per grid point (order squared terms).
constexpr std::uint32_t kMaxOrder = 16;
// The same limit as a SubdivisionStyle's counts.
constexpr std::uint32_t kMaxSegments = 10000;
// The fineness without a style: enough for a cubic span to look round.
constexpr std::uint32_t kSegmentsPerSpan = 16;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

// A control point as the file gives it: x, y and z already carry the weight.
struct Homogeneous {
  double x = 0, y = 0, z = 0, w = 0;
};

// One parametric direction: u runs along a row (over the columns), v down a
// column (over the rows).
struct Direction {
  const char* name = "";
  std::uint32_t order = 0;
  std::uint32_t count = 0;
  std::vector<double> knots;

  double Low() const { return knots[order - 1]; }
  double High() const { return knots[count]; }
};

std::uint32_t ReadOrder(Fields& fields, const char* name) {
  const std::uint32_t order = fields.Uns32();
  if (order < 2 || order > kMaxOrder) {
    fields.Fail(ErrorKind::OutOfRange, std::string("The NURBPatch's ") + name + " order of " +
                                           std::to_string(order) + " is outside 2 to " +
                                           std::to_string(kMaxOrder));
  }
  return order;
}

void CheckCountAgainstOrder(Fields& fields, const Direction& d, const char* countName) {
  if (d.count < d.order) {
    fields.Fail(ErrorKind::OutOfRange, std::string("The NURBPatch has ") + std::to_string(d.count) +
                                           " " + countName + ", fewer than its " + d.name +
                                           " order of " + std::to_string(d.order));
  }
}

void ReadKnots(Fields& fields, Direction& d) {
  const std::uint64_t total = std::uint64_t{d.count} + d.order;
  fields.CheckCount(total, 1, 4, std::string(d.name) + " knot");
  d.knots.reserve(total);
  for (std::uint64_t i = 0; i < total; ++i) {
    const double knot = fields.Float32();
    if (i > 0 && knot < d.knots.back()) {
      fields.Fail(ErrorKind::InvalidArgument,
                  std::string("The NURBPatch's ") + d.name + " knots decrease: knot " +
                      std::to_string(i) + " (" + Number(knot) + ") is below the one before it (" +
                      Number(d.knots.back()) + ")");
    }
    d.knots.push_back(knot);
  }
  if (!(d.High() > d.Low())) {
    fields.Fail(ErrorKind::InvalidArgument,
                std::string("The NURBPatch's ") + d.name +
                    " knots leave no parameter range: knots " + std::to_string(d.order - 1) +
                    " to " + std::to_string(d.count) + " are all " + Number(d.Low()));
  }
}

// The knot span that holds t: knots[i] <= t < knots[i + 1], i from order - 1
// to count - 1. The end of the range belongs to the last span that is not
// empty, so that the patch's far edge is evaluated, not left at zero.
std::uint32_t SpanOf(const Direction& d, double t) {
  const auto first = d.knots.begin() + (d.order - 1);
  const auto last = d.knots.begin() + d.count + 1;
  auto i = static_cast<std::uint32_t>(std::upper_bound(first, last, t) - d.knots.begin()) - 1;
  if (i >= d.count) {
    i = d.count - 1;
    while (d.knots[i] == d.knots[i + 1]) --i;  // High() > Low() ends this
  }
  return i;
}

// The order's basis functions that are not zero at t in span i (those of
// control points i - order + 1 to i), by the Cox-de Boor recursion built up
// one degree at a time. Every divisor spans the non-empty span i, so none is
// zero, however the knots repeat.
void BasisAt(const Direction& d, std::uint32_t i, double t, double* basis) {
  std::array<double, kMaxOrder> left{};
  std::array<double, kMaxOrder> right{};
  basis[0] = 1;
  for (std::uint32_t degree = 1; degree < d.order; ++degree) {
    left[degree] = t - d.knots[i + 1 - degree];
    right[degree] = d.knots[i + degree] - t;
    double carried = 0;
    for (std::uint32_t r = 0; r < degree; ++r) {
      const double share = basis[r] / (right[r + 1] + left[degree - r]);
      basis[r] = carried + right[r + 1] * share;
      carried = left[degree - r] * share;
    }
    basis[degree] = carried;
  }
}

// The parameter values of a direction's grid lines and, for each, its span
// and basis functions.
struct Samples {
  std::vector<double> at;
  std::vector<std::uint32_t> span;
  std::vector<double> basis;  // order values per sample
};

std::vector<double> Uniform(const Direction& d, std::uint32_t segments) {
  std::vector<double> at(segments + 1);
  const double low = d.Low();
  const double high = d.High();
  for (std::uint32_t s = 0; s < segments; ++s) {
    at[s] = low + (high - low) * (static_cast<double>(s) / segments);
  }
  at[segments] = high;
  return at;
}

// The default grid: kSegmentsPerSpan in each span that is not empty, so
// that grid lines fall on the knots, where the surface may bend sharply.
// Fewer per span when that would pass kMaxSegments; past kMaxSegments
// spans, an even grid of kMaxSegments.
std::vector<double> PerSpan(const Direction& d) {
  std::vector<std::uint32_t> spans;
  for (std::uint32_t i = d.order - 1; i < d.count; ++i) {
    if (d.knots[i] < d.knots[i + 1]) spans.push_back(i);
  }
  if (spans.size() > kMaxSegments) return Uniform(d, kMaxSegments);
  const auto perSpan = static_cast<std::uint32_t>(
      std::min<std::size_t>(kSegmentsPerSpan, kMaxSegments / spans.size()));
  std::vector<double> at;
  at.reserve(spans.size() * perSpan + 1);
  for (const std::uint32_t i : spans) {
    const double low = d.knots[i];
    const double high = d.knots[i + 1];
    for (std::uint32_t s = 0; s < perSpan; ++s) {
      at.push_back(low + (high - low) * (static_cast<double>(s) / perSpan));
    }
  }
  at.push_back(d.High());
  return at;
}

std::uint32_t ConstantSegments(Fields& fields, double count) {
  if (!(count >= 1) || count > kMaxSegments) {
    fields.Fail(ErrorKind::OutOfRange, "A subdivision count of " + Number(count) +
                                           " is outside 1 to " + std::to_string(kMaxSegments));
  }
  return static_cast<std::uint32_t>(std::lround(count));
}

// A bound on the speed |dS/dt| along the direction, from the control net:
// the derivative of a B-spline of order k is one of order k - 1 whose
// control points are (k - 1) (P[i+1] - P[i]) / (knots[i+k] - knots[i+1]),
// and a B-spline stays within the hull of its control points. `step` is the
// index distance between neighbours in the direction, `lineStep` between
// the first points of two such lines, `lines` how many the net has. Exact for equal weights; with
// unequal ones the ratio of neighbouring weights scales the estimate, as it scales the speed at the
// patch's edges.
double SpeedBound(const Direction& d, const std::vector<Homogeneous>& net, std::uint32_t step,
                  std::uint32_t lineStep, std::uint32_t lines) {
  double bound = 0;
  for (std::uint32_t line = 0; line < lines; ++line) {
    for (std::uint32_t i = 0; i + 1 < d.count; ++i) {
      const double knotGap = d.knots[i + d.order] - d.knots[i + 1];
      if (!(knotGap > 0)) continue;  // that derivative basis function is zero
      const Homogeneous& a = net[std::size_t{line} * lineStep + std::size_t{i} * step];
      const Homogeneous& b = net[std::size_t{line} * lineStep + std::size_t{i + 1} * step];
      const double dx = b.x / b.w - a.x / a.w;
      const double dy = b.y / b.w - a.y / a.w;
      const double dz = b.z / b.w - a.z / a.w;
      const double ratio = std::max(a.w / b.w, b.w / a.w);
      const double speed = (d.order - 1) * std::sqrt(dx * dx + dy * dy + dz * dz) * ratio / knotGap;
      bound = std::max(bound, std::isnan(speed) ? HUGE_VAL : speed);
    }
  }
  return bound;
}

// WorldSpace: segments so that each side of a cell is at most half the
// size, which keeps the cell's diagonal (at most one side in u plus one in
// v) within the size as well.
std::uint32_t WorldSegments(const Direction& d, double speedBound, double size) {
  if (speedBound == 0) return 1;
  const double segments = std::ceil((d.High() - d.Low()) * speedBound / (size / 2));
  if (!(segments <= kMaxSegments)) return kMaxSegments;
  return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(segments));
}

Samples Sample(const Direction& d, std::vector<double> at) {
  Samples s;
  s.at = std::move(at);
  s.span.resize(s.at.size());
  s.basis.resize(s.at.size() * d.order);
  for (std::size_t k = 0; k < s.at.size(); ++k) {
    s.span[k] = SpanOf(d, s.at[k]);
    BasisAt(d, s.span[k], s.at[k], &s.basis[k * d.order]);
  }
  return s;
}

// The control net, row by row, each row's points by increasing u.
std::vector<Homogeneous> ReadNet(Fields& fields, const Direction& u, const Direction& v) {
  const std::uint64_t netSize = std::uint64_t{v.count} * u.count;
  fields.CheckCount(netSize, 4, 16, "control point");
  std::vector<Homogeneous> net(netSize);
  for (Homogeneous& p : net) {
    p.x = fields.Float32();
    p.y = fields.Float32();
    p.z = fields.Float32();
    p.w = fields.Float32();
    if (!(p.w > 0)) {
      fields.Fail(ErrorKind::InvalidArgument, "A NURBPatch control point has the weight " +
                                                  Number(p.w) + "; it must be above 0");
    }
  }
  return net;
}

// Where the grid lines fall along u and along v, as the subdivision asks.
void GridLines(Fields& fields, const Subdivision& subdivision, const Direction& u,
               const Direction& v, const std::vector<Homogeneous>& net, std::vector<double>& uAt,
               std::vector<double>& vAt) {
  if (subdivision.given && subdivision.method == 0) {
    uAt = Uniform(u, ConstantSegments(fields, subdivision.c1));
    vAt = Uniform(v, ConstantSegments(fields, subdivision.c2));
  } else if (subdivision.given && subdivision.method == 1) {
    if (!(subdivision.c1 > 0)) {
      fields.Fail(ErrorKind::OutOfRange,
                  "A subdivision size of " + Number(subdivision.c1) + " is not above 0");
    }
    uAt = Uniform(u, WorldSegments(u, SpeedBound(u, net, 1, u.count, v.count), subdivision.c1));
    vAt = Uniform(v, WorldSegments(v, SpeedBound(v, net, u.count, 1, u.count), subdivision.c1));
  } else if (!subdivision.given || subdivision.method == 2) {
    // A screen size needs a camera, which a converted model has none of.
    uAt = PerSpan(u);
    vAt = PerSpan(v);
  } else {
    fields.Fail(ErrorKind::InvalidArgument,
                "Unknown subdivision method " + std::to_string(subdivision.method));
  }
}

// The weighted sum of `order` points, `stride` apart from `first`.
Homogeneous Blend(const Homogeneous* first, std::size_t stride, const double* basis,
                  std::uint32_t order) {
  Homogeneous sum;
  for (std::uint32_t k = 0; k < order; ++k) {
    const Homogeneous& p = first[k * stride];
    sum.x += basis[k] * p.x;
    sum.y += basis[k] * p.y;
    sum.z += basis[k] * p.z;
    sum.w += basis[k] * p.w;
  }
  return sum;
}

// The columns of the net that some grid point blends.
std::vector<std::uint32_t> NeededColumns(const Direction& u, const Samples& us) {
  std::vector<bool> needed(u.count, false);
  for (const std::uint32_t span : us.span) {
    for (std::uint32_t k = 0; k < u.order; ++k) needed[span + 1 - u.order + k] = true;
  }
  std::vector<std::uint32_t> columns;
  for (std::uint32_t c = 0; c < u.count; ++c) {
    if (needed[c]) columns.push_back(c);
  }
  return columns;
}

// The patch's points at the grid's parameters, row by row (v), each row by
// increasing u. Each grid row's control rows are blended into one row of
// points first (only the columns some grid point needs), then each grid
// point from `order` of them: the work grows with the grid, not with grid
// times net.
void EvaluateGrid(Fields& fields, const Direction& u, const Direction& v,
                  const std::vector<Homogeneous>& net, const Samples& us, const Samples& vs,
                  std::vector<Vector3>& points) {
  const std::vector<std::uint32_t> columns = NeededColumns(u, us);
  std::vector<Homogeneous> blended(u.count);
  points.reserve(us.at.size() * vs.at.size());
  for (std::size_t r = 0; r < vs.at.size(); ++r) {
    const std::uint32_t firstRow = vs.span[r] + 1 - v.order;
    const double* vBasis = &vs.basis[r * v.order];
    for (const std::uint32_t c : columns) {
      blended[c] = Blend(&net[std::size_t{firstRow} * u.count + c], u.count, vBasis, v.order);
    }
    for (std::size_t c = 0; c < us.at.size(); ++c) {
      const std::uint32_t firstColumn = us.span[c] + 1 - u.order;
      const Homogeneous sum = Blend(&blended[firstColumn], 1, &us.basis[c * u.order], u.order);
      const Vector3 point{sum.x / sum.w, sum.y / sum.w, sum.z / sum.w};
      if (!std::isfinite(point.X) || !std::isfinite(point.Y) || !std::isfinite(point.Z)) {
        fields.Fail(ErrorKind::Overflow, "The NURBPatch's point at u = " + Number(us.at[c]) +
                                             ", v = " + Number(vs.at[r]) +
                                             " is beyond the range of numbers");
      }
      points.push_back(point);
    }
  }
}

}  // namespace

void DecodeNurbPatch(Fields& fields, const Subdivision& subdivision, TriangleSet& out) {
  out.points.clear();
  out.triangles.clear();

  Direction u;
  Direction v;
  u.name = "u";
  v.name = "v";
  u.order = ReadOrder(fields, "u");
  v.order = ReadOrder(fields, "v");
  v.count = fields.Uns32();  // numRows
  u.count = fields.Uns32();  // numColumns
  CheckCountAgainstOrder(fields, v, "rows");
  CheckCountAgainstOrder(fields, u, "columns");
  const std::vector<Homogeneous> net = ReadNet(fields, u, v);
  ReadKnots(fields, u);
  ReadKnots(fields, v);

  std::vector<double> uAt;
  std::vector<double> vAt;
  GridLines(fields, subdivision, u, v, net, uAt, vAt);
  CheckSurfaceCells(fields, uAt.size() - 1, vAt.size() - 1);
  const Samples us = Sample(u, std::move(uAt));
  const Samples vs = Sample(v, std::move(vAt));
  EvaluateGrid(fields, u, v, net, us, vs, out.points);

  // Per cell (a b e) and (a e d): both turn from the u direction to the v
  // direction.
  const auto across = static_cast<std::uint32_t>(us.at.size());
  const auto down = static_cast<std::uint32_t>(vs.at.size());
  out.triangles.reserve(2 * std::size_t{across - 1} * (down - 1));
  ForEachCell(down, across, [&](auto, auto a, auto b, auto d, auto e) {
    out.triangles.push_back({a, b, e});
    out.triangles.push_back({a, e, d});
  });
}

}  // namespace Kelvane::Metafile
