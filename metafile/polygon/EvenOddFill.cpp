// The even-odd fill: finding contours that cross, touch or overlap (or
// holes out of place), and filling such faces in slabs; otherwise the
// faces go to ear clipping.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "metafile/polygon/Plane.h"
#include "metafile/polygon/Triangulate.h"

namespace Kelvane::Polygon {

namespace {

// Where a point stands against a contour in the plane.
enum class Side { Inside, Outside, Border };

Side SideOf(const Point2& q, const std::vector<Point2>& contour, double eps, std::uint64_t& work) {
  work += contour.size();
  bool inside = false;
  for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
    const Point2& a = contour[j];
    const Point2& b = contour[i];
    if (std::fabs(Orient(a, b, q)) <= eps && q.x >= std::min(a.x, b.x) - eps &&
        q.x <= std::max(a.x, b.x) + eps && q.y >= std::min(a.y, b.y) - eps &&
        q.y <= std::max(a.y, b.y) + eps) {
      return Side::Border;
    }
    if ((a.y > q.y) != (b.y > q.y)) {
      const double x = a.x + (q.y - a.y) / (b.y - a.y) * (b.x - a.x);
      if (q.x < x) inside = !inside;
    }
  }
  return inside ? Side::Inside : Side::Outside;
}

// A face's contours seen in its plane, for finding crossings and filling
// in slabs. Coordinates are scaled by a power of two (which is exact), so
// that no difference or product of them overflows whatever numbers the
// file holds, and taken from the lower corner of the face's box.
struct FlatFace {
  PlaneAxes axes;
  int w = 2;         // the axis looked along
  int exponent = 0;  // scaled = real * 2^-exponent
  Vector3 normal;    // scaled
  Vector3 centre;    // scaled: the plane goes through it
  double lowU = 0;
  double lowV = 0;
  double lowW = 0;
  double highW = 0;
  double eps = 0;
  std::vector<std::vector<Point2>> contours;
};

// The normal of the plane the points span, for contours whose Newell normal
// vanishes (a figure of eight with equal loops): from the first point, the
// one farthest from it, then the one farthest off that line. Zero when all
// lie on one line.
Vector3 SpanNormal(const std::vector<Vector3>& face) {
  if (face.empty()) return {};
  const Vector3& origin = face[0];
  Vector3 far = origin;
  double best = 0;
  for (const Vector3& p : face) {
    const Vector3 d = p - origin;
    if (Dot(d, d) > best) {
      best = Dot(d, d);
      far = p;
    }
  }
  const Vector3 axis = far - origin;
  Vector3 normal;
  best = 0;
  for (const Vector3& p : face) {
    const Vector3 n = Cross(axis, p - origin);
    if (Dot(n, n) > best) {
      best = Dot(n, n);
      normal = n;
    }
  }
  return normal;
}

// Sets up the face in the plane of contour `planeContour` (or of the
// largest contour when there is none such), as the other cuts see it.
// False when a coordinate is not finite or all corners lie on one line:
// then there is no plane to fill in.
constexpr std::size_t kLargestContour = static_cast<std::size_t>(-1);

bool FlattenFace(const std::vector<Vector3>& points,
                 const std::vector<std::vector<std::uint32_t>>& contours, std::size_t planeContour,
                 FlatFace& face) {
  double largest = 0;
  for (const auto& contour : contours) {
    for (std::uint32_t index : contour) {
      const Vector3& p = points[index];
      if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z)) return false;
      largest = std::max({largest, std::fabs(p.X), std::fabs(p.Y), std::fabs(p.Z)});
    }
  }
  std::frexp(largest, &face.exponent);
  const auto scaled = [&](std::uint32_t index) {
    const Vector3& p = points[index];
    return Vector3{std::ldexp(p.X, -face.exponent), std::ldexp(p.Y, -face.exponent),
                   std::ldexp(p.Z, -face.exponent)};
  };

  std::vector<Vector3> all;
  Vector3 newell;
  double size = -1;
  for (std::size_t c = 0; c < contours.size(); ++c) {
    const auto& contour = contours[c];
    if (contour.empty()) continue;
    Vector3 n;
    for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
      const Vector3 a = scaled(contour[j]);
      const Vector3 b = scaled(contour[i]);
      n.X += (a.Y - b.Y) * (a.Z + b.Z);
      n.Y += (a.Z - b.Z) * (a.X + b.X);
      n.Z += (a.X - b.X) * (a.Y + b.Y);
      all.push_back(b);
    }
    const bool chosen = planeContour == kLargestContour ? Dot(n, n) > size : c == planeContour;
    if (chosen) {
      size = Dot(n, n);
      newell = n;
    }
  }
  if (all.empty()) return false;
  Vector3 low = all[0];
  Vector3 high = all[0];
  for (const Vector3& p : all) {
    low = {std::min(low.X, p.X), std::min(low.Y, p.Y), std::min(low.Z, p.Z)};
    high = {std::max(high.X, p.X), std::max(high.Y, p.Y), std::max(high.Z, p.Z)};
    face.centre = face.centre + p;
  }
  const double count = static_cast<double>(all.size());
  face.centre = face.centre / count;

  // A Newell normal lost in rounding (loops that cancel) gives no plane;
  // the points themselves still span one. It keeps the sense of the Newell
  // normal where that has one.
  const Vector3 span = high - low;
  const double tiny = Tolerance(std::sqrt(Dot(span, span)));
  face.normal = newell;
  if (Dot(newell, newell) <= tiny * tiny) {
    face.normal = SpanNormal(all);
    if (Dot(face.normal, newell) < 0) face.normal = -face.normal;
  }
  if (face.normal == Vector3{}) return false;

  face.axes = DominantPlane(face.normal);
  face.w = 3 - face.axes.u - face.axes.v;
  face.lowU = Coordinate(low, face.axes.u);
  face.lowV = Coordinate(low, face.axes.v);
  face.lowW = Coordinate(low, face.w);
  face.highW = Coordinate(high, face.w);
  face.eps = Tolerance(std::max(Coordinate(high, face.axes.u) - face.lowU,
                                Coordinate(high, face.axes.v) - face.lowV));
  face.contours.clear();
  for (const auto& contour : contours) {
    std::vector<Point2>& flat = face.contours.emplace_back();
    flat.reserve(contour.size());
    for (std::uint32_t index : contour) {
      const Vector3 p = scaled(index);
      flat.push_back(
          {Coordinate(p, face.axes.u) - face.lowU, Coordinate(p, face.axes.v) - face.lowV});
    }
  }
  return true;
}

// The point of the face's plane seen at (x, y), in the file's units. Kept
// within the face's box along the axis looked along, which a flat face's
// points are anyway.
Vector3 Lift(const FlatFace& face, double x, double y) {
  const double u = x + face.lowU;
  const double v = y + face.lowV;
  const double nu = Coordinate(face.normal, face.axes.u);
  const double nv = Coordinate(face.normal, face.axes.v);
  const double nw = Coordinate(face.normal, face.w);
  double w = Coordinate(face.centre, face.w) + (nu * (Coordinate(face.centre, face.axes.u) - u) +
                                                nv * (Coordinate(face.centre, face.axes.v) - v)) /
                                                   nw;
  w = std::clamp(w, face.lowW, face.highW);
  Vector3 p;
  SetCoordinate(p, face.axes.u, std::ldexp(u, face.exponent));
  SetCoordinate(p, face.axes.v, std::ldexp(v, face.exponent));
  SetCoordinate(p, face.w, std::ldexp(w, face.exponent));
  return p;
}

int SignOf(double value, double eps) { return value > eps ? 1 : value < -eps ? -1 : 0; }

// Whether p lies within the segment from a to b (p already on its line).
bool Between(const Point2& p, const Point2& a, const Point2& b, double eps) {
  return (p.x - a.x) * (b.x - a.x) + (p.y - a.y) * (b.y - a.y) >= -eps &&
         (p.x - b.x) * (a.x - b.x) + (p.y - b.y) * (a.y - b.y) >= -eps;
}

// Whether two segments meet anywhere: crossing, touching or overlapping.
bool SegmentsMeet(const Point2& a, const Point2& b, const Point2& c, const Point2& d, double eps) {
  const int ca = SignOf(Orient(c, d, a), eps);
  const int cb = SignOf(Orient(c, d, b), eps);
  const int ac = SignOf(Orient(a, b, c), eps);
  const int ad = SignOf(Orient(a, b, d), eps);
  if (ca * cb < 0 && ac * ad < 0) return true;
  return (ca == 0 && Between(a, c, d, eps)) || (cb == 0 && Between(b, c, d, eps)) ||
         (ac == 0 && Between(c, a, b, eps)) || (ad == 0 && Between(d, a, b, eps));
}

// Whether any two edges of the face cross, touch or overlap, other than
// neighbours at the corner they share; or a contour doubles back on itself
// along a line. Corners repeated in a row count as one. Edges are compared
// only where their spans in x meet.
bool ContoursCross(const FlatFace& face) {
  struct Segment {
    Point2 a;
    Point2 b;
    std::size_t contour;
    std::size_t position;
    std::size_t corners;  // of its contour, repeats left out
  };
  std::vector<Segment> segments;
  const double eps = face.eps;
  for (std::size_t c = 0; c < face.contours.size(); ++c) {
    std::vector<Point2> ring;
    for (const Point2& p : face.contours[c]) {
      if (ring.empty() || !SamePlace(ring.back(), p)) ring.push_back(p);
    }
    while (ring.size() > 1 && SamePlace(ring.back(), ring.front())) ring.pop_back();
    if (ring.size() < 2) continue;
    // There and back along one segment.
    if (ring.size() == 2) return true;
    for (std::size_t i = 0; i < ring.size(); ++i) {
      segments.push_back({ring[i], ring[(i + 1) % ring.size()], c, i, ring.size()});
    }
  }
  std::sort(segments.begin(), segments.end(), [](const Segment& s, const Segment& t) {
    return std::min(s.a.x, s.b.x) < std::min(t.a.x, t.b.x);
  });
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const double right = std::max(s.a.x, s.b.x) + eps;
    const double low = std::min(s.a.y, s.b.y) - eps;
    const double high = std::max(s.a.y, s.b.y) + eps;
    for (std::size_t j = i + 1; j < segments.size(); ++j) {
      const Segment& t = segments[j];
      if (std::min(t.a.x, t.b.x) > right) break;
      if (std::max(t.a.y, t.b.y) < low || std::min(t.a.y, t.b.y) > high) continue;
      if (s.contour == t.contour) {
        const Segment* first = nullptr;
        const Segment* second = nullptr;
        if ((s.position + 1) % s.corners == t.position) {
          first = &s;
          second = &t;
        } else if ((t.position + 1) % t.corners == s.position) {
          first = &t;
          second = &s;
        }
        if (first != nullptr) {
          // Neighbours meet at their shared corner; they overlap only when
          // the second turns back along the first.
          const Point2& p = first->a;
          const Point2& q = first->b;
          const Point2& r = second->b;
          if (SignOf(Orient(p, q, r), eps) == 0 &&
              (p.x - q.x) * (r.x - q.x) + (p.y - q.y) * (r.y - q.y) > 0) {
            return true;
          }
          continue;
        }
      }
      if (SegmentsMeet(s.a, s.b, t.a, t.b, eps)) return true;
    }
  }
  return false;
}

// For a Mesh face whose contours do not meet: whether a hole lies outside
// the outer contour (contour 0) or inside another hole, where cutting it
// out of the outer contour would not give the even-odd region.
bool HolesOutOfPlace(const FlatFace& face) {
  std::uint64_t work = 0;
  const auto& contours = face.contours;
  for (std::size_t h = 1; h < contours.size(); ++h) {
    if (contours[h].empty()) continue;
    const Point2& q = contours[h][0];
    if (contours[0].size() < 3 || SideOf(q, contours[0], face.eps, work) != Side::Inside) {
      return true;
    }
    for (std::size_t g = 1; g < contours.size(); ++g) {
      if (g != h && contours[g].size() >= 3 &&
          SideOf(q, contours[g], face.eps, work) == Side::Inside) {
        return true;
      }
    }
  }
  return false;
}

// Twice the contour's area in the face's plane.
double FlatArea(const std::vector<Point2>& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    sum += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
  }
  return sum;
}

// The sense the even-odd triangles take: that of the contour given, or the
// plane normal's where that contour has no area.
bool CounterclockwiseLike(const FlatFace& face, std::size_t contour) {
  const double area = FlatArea(face.contours[contour]);
  if (area != 0) return area > 0;
  return Coordinate(face.normal, face.w) > 0;
}

// Whether the contour is convex: it turns the same way at every corner and
// goes round once (its direction in u changes sign at most twice). Such a
// contour cannot cross itself, and most faces of a Mesh are such; this
// finds them without the cost of the search for crossings.
bool PlainlyConvex(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& contour) {
  const std::size_t n = contour.size();
  if (n < 3) return false;
  const PlaneAxes axes = DominantPlane(NewellNormal(points, contour));
  const auto at = [&](std::size_t i) {
    const Vector3& p = points[contour[i]];
    return Point2{Coordinate(p, axes.u), Coordinate(p, axes.v)};
  };
  Point2 a = at(n - 2);
  Point2 b = at(n - 1);
  int sense = 0;
  int firstStep = 0;
  int lastStep = 0;
  int changes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Point2 c = at(i);
    const double turn = Orient(a, b, c);
    const int side = turn > 0 ? 1 : turn < 0 ? -1 : 0;
    // No turn, or one that is not a number: not plainly convex.
    if (side == 0 || (sense != 0 && side != sense)) return false;
    sense = side;
    const int step = c.x > b.x ? 1 : c.x < b.x ? -1 : 0;
    if (step != 0) {
      if (lastStep != 0 && step != lastStep) ++changes;
      if (firstStep == 0) firstStep = step;
      lastStep = step;
    }
    a = b;
    b = c;
  }
  if (firstStep != lastStep) ++changes;
  return changes <= 2;
}

// Bounds on the slab fill: edges looked at, summed over the slabs, and
// crossings. Each edge in a slab costs a sort step and can give a triangle
// and a point, so this keeps a face to a fraction of a second and some
// tens of megabytes; faces a model draws stay far below it.
constexpr std::uint64_t kSlabWorkBudget = 1'000'000;

// An edge of the face from its lower end up, with the points at its ends.
struct SlabEdge {
  Point2 lo;
  Point2 hi;
  std::uint32_t loPoint;
  std::uint32_t hiPoint;
};

// The edge's x at height y; beyond its ends, that of the nearer end.
double XAt(const SlabEdge& e, double y) {
  if (y <= e.lo.y) return e.lo.x;
  if (y >= e.hi.y) return e.hi.x;
  return e.lo.x + (y - e.lo.y) / (e.hi.y - e.lo.y) * (e.hi.x - e.lo.x);
}

// The face's edges that rise; level edges bound no slab's inside.
std::vector<SlabEdge> SlabEdges(const std::vector<std::vector<std::uint32_t>>& contours,
                                const FlatFace& face) {
  std::vector<SlabEdge> edges;
  for (std::size_t c = 0; c < contours.size(); ++c) {
    const std::vector<Point2>& ring = face.contours[c];
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = (i + 1) % n;
      if (ring[i].y == ring[k].y) continue;
      if (ring[i].y < ring[k].y) {
        edges.push_back({ring[i], ring[k], contours[c][i], contours[c][k]});
      } else {
        edges.push_back({ring[k], ring[i], contours[c][k], contours[c][i]});
      }
    }
  }
  return edges;
}

// The slabs' borders, rising, each once: the heights of the edges' ends
// and of their crossings, where the order of two edges in x changes over
// the heights both span. Pairs whose spans in x do not meet are passed
// over. False when the crossings pass kSlabWorkBudget.
bool SlabHeights(const std::vector<SlabEdge>& edges, std::vector<double>& heights) {
  for (const SlabEdge& e : edges) {
    heights.push_back(e.lo.y);
    heights.push_back(e.hi.y);
  }
  std::vector<std::size_t> byX(edges.size());
  for (std::size_t i = 0; i < byX.size(); ++i) byX[i] = i;
  const auto minX = [&](std::size_t i) { return std::min(edges[i].lo.x, edges[i].hi.x); };
  const auto maxX = [&](std::size_t i) { return std::max(edges[i].lo.x, edges[i].hi.x); };
  std::sort(byX.begin(), byX.end(),
            [&](std::size_t a, std::size_t b) { return minX(a) < minX(b); });
  std::uint64_t crossings = 0;
  for (std::size_t i = 0; i < byX.size(); ++i) {
    const SlabEdge& s = edges[byX[i]];
    const double right = maxX(byX[i]);
    for (std::size_t j = i + 1; j < byX.size() && minX(byX[j]) <= right; ++j) {
      const SlabEdge& t = edges[byX[j]];
      const double y0 = std::max(s.lo.y, t.lo.y);
      const double y1 = std::min(s.hi.y, t.hi.y);
      if (!(y0 < y1)) continue;
      const double d0 = XAt(s, y0) - XAt(t, y0);
      const double d1 = XAt(s, y1) - XAt(t, y1);
      if ((d0 < 0 && d1 > 0) || (d0 > 0 && d1 < 0)) {
        const double y = y0 + (y1 - y0) * (d0 / (d0 - d1));
        if (y > y0 && y < y1) heights.push_back(y);
        if (++crossings > kSlabWorkBudget) return false;
      }
    }
  }
  std::sort(heights.begin(), heights.end());
  heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
  return true;
}

// The work of the fill, known before any of it is done: each edge is
// looked at once in each slab it spans.
std::uint64_t SlabWork(const std::vector<SlabEdge>& edges, const std::vector<double>& heights) {
  std::uint64_t work = 0;
  for (const SlabEdge& e : edges) {
    const auto slabs = std::lower_bound(heights.begin(), heights.end(), e.hi.y) -
                       std::lower_bound(heights.begin(), heights.end(), e.lo.y);
    work += static_cast<std::uint64_t>(slabs);
  }
  return work;
}

// Fills the slabs from the lowest up. In a slab no edges cross, so the
// edges spanning it, in order of x, bound the region pairwise (1-2, 3-4,
// ...), and each pair makes a trapezoid, cut into two triangles (one where
// it narrows to a point). New points and triangles are kept apart until
// the whole face is filled.
class SlabFill {
 public:
  SlabFill(const std::vector<Vector3>& points, const FlatFace& face, bool counterclockwise,
           const std::vector<SlabEdge>& edges, const std::vector<double>& heights)
      : points_(points),
        face_(face),
        counterclockwise_(counterclockwise),
        edges_(edges),
        heights_(heights),
        base_(points.size()),
        byLow_(edges.size()),
        lastBorder_(edges.size()) {
    for (std::size_t i = 0; i < byLow_.size(); ++i) byLow_[i] = i;
    std::sort(byLow_.begin(), byLow_.end(),
              [&](std::size_t a, std::size_t b) { return edges_[a].lo.y < edges_[b].lo.y; });
  }

  void Run() {
    for (std::size_t k = 0; k + 1 < heights_.size(); ++k) {
      TakeEdgesAt(heights_[k]);
      if (active_.size() < 2) continue;
      OrderEdges(heights_[k], heights_[k + 1]);
      FillPairs(k);
    }
  }

  void AppendTo(std::vector<Vector3>& points, std::vector<TriangleIndices>& out) const {
    points.insert(points.end(), fresh_.begin(), fresh_.end());
    out.insert(out.end(), triangles_.begin(), triangles_.end());
  }

 private:
  static constexpr std::uint32_t kNoPoint = std::numeric_limits<std::uint32_t>::max();

  // The point an edge last met a border at.
  struct Border {
    std::size_t height = static_cast<std::size_t>(-1);
    double x = 0;
    std::uint32_t point = 0;
  };

  // The slab from y0 up spans the edges that start at or below y0 and end
  // above it.
  void TakeEdgesAt(double y0) {
    std::erase_if(active_, [&](std::size_t e) { return edges_[e].hi.y <= y0; });
    while (nextLow_ < byLow_.size() && edges_[byLow_[nextLow_]].lo.y <= y0) {
      active_.push_back(byLow_[nextLow_++]);
    }
  }

  // The slab's edges in order of x at its middle, and where they meet its
  // lower and upper border.
  void OrderEdges(double y0, double y1) {
    const double middle = y0 + (y1 - y0) / 2;
    order_.clear();
    for (std::size_t e : active_) order_.push_back({XAt(edges_[e], middle), e});
    std::sort(order_.begin(), order_.end());
    // Rounding may let neighbours swap by a hair at a border where they
    // cross; keeping the borders in order keeps trapezoids from overlapping.
    bottom_.resize(order_.size());
    top_.resize(order_.size());
    for (std::size_t i = 0; i < order_.size(); ++i) {
      bottom_[i] = XAt(edges_[order_[i].second], y0);
      top_[i] = XAt(edges_[order_[i].second], y1);
      if (i > 0) {
        bottom_[i] = std::max(bottom_[i], bottom_[i - 1]);
        top_[i] = std::max(top_[i], top_[i - 1]);
      }
    }
  }

  // The trapezoids of slab k (between heights k and k + 1) that have area.
  void FillPairs(std::size_t k) {
    bottomPoints_.assign(order_.size(), kNoPoint);
    topPoints_.assign(order_.size(), kNoPoint);
    // The lower border's points first, while the edges' records still
    // hold their points there from the slab below.
    for (std::size_t i = 0; i + 1 < order_.size(); i += 2) {
      if (bottom_[i + 1] > bottom_[i]) PointOn(bottom_, bottomPoints_, i + 1, k);
      if (bottom_[i + 1] > bottom_[i] || top_[i + 1] > top_[i]) {
        PointOn(bottom_, bottomPoints_, i, k);
      }
    }
    for (std::size_t i = 0; i + 1 < order_.size(); i += 2) {
      const bool wideBottom = bottom_[i + 1] > bottom_[i];
      const bool wideTop = top_[i + 1] > top_[i];
      if (!wideBottom && !wideTop) continue;
      const std::uint32_t leftBottom = bottomPoints_[i];
      const std::uint32_t rightTop = PointOn(top_, topPoints_, i + 1, k + 1);
      if (wideBottom) Emit(leftBottom, bottomPoints_[i + 1], rightTop);
      if (wideTop) Emit(leftBottom, rightTop, PointOn(top_, topPoints_, i, k + 1));
    }
  }

  // The point on a border (xs along it, `found` the points so far, both
  // by place in the order of the slab's edges) where the i-th edge meets
  // it. Edges that meet on a border share a point there (an edge's own
  // corner if one stands there), and an edge keeps the point it had on the
  // same border in the slab below. Where there is none, a point of the
  // plane is made.
  std::uint32_t PointOn(const std::vector<double>& xs, std::vector<std::uint32_t>& found,
                        std::size_t i, std::size_t height) {
    if (found[i] != kNoPoint) return found[i];
    const double x = xs[i];
    const double y = heights_[height];
    std::size_t first = i;
    std::size_t last = i;
    while (first > 0 && xs[first - 1] == x) --first;
    while (last + 1 < xs.size() && xs[last + 1] == x) ++last;
    std::uint32_t point = kNoPoint;
    for (std::size_t j = first; j <= last && point == kNoPoint; ++j) {
      const SlabEdge& e = edges_[order_[j].second];
      if (y == e.lo.y && x == e.lo.x) point = e.loPoint;
      if (y == e.hi.y && x == e.hi.x) point = e.hiPoint;
    }
    for (std::size_t j = first; j <= last && point == kNoPoint; ++j) {
      const Border& b = lastBorder_[order_[j].second];
      if (b.height == height && b.x == x) point = b.point;
    }
    if (point == kNoPoint) {
      point = static_cast<std::uint32_t>(base_ + fresh_.size());
      fresh_.push_back(Lift(face_, x, y));
    }
    for (std::size_t j = first; j <= last; ++j) {
      found[j] = point;
      lastBorder_[order_[j].second] = {height, x, point};
    }
    return point;
  }

  // Where a point stands in the face's frame once in the file's units:
  // two corners a hair apart in the frame can become one far from the
  // origin, and their triangle then has no area (or turns the wrong way by
  // a rounding); Emit leaves such triangles out.
  Point2 Placed(std::uint32_t index) const {
    const Vector3& p = index < base_ ? points_[index] : fresh_[index - base_];
    return Point2{std::ldexp(Coordinate(p, face_.axes.u), -face_.exponent) - face_.lowU,
                  std::ldexp(Coordinate(p, face_.axes.v), -face_.exponent) - face_.lowV};
  }

  void Emit(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (!(Orient(Placed(a), Placed(b), Placed(c)) > 0)) return;
    if (counterclockwise_) {
      triangles_.push_back({a, b, c});
    } else {
      triangles_.push_back({a, c, b});
    }
  }

  const std::vector<Vector3>& points_;
  const FlatFace& face_;
  bool counterclockwise_;
  const std::vector<SlabEdge>& edges_;
  const std::vector<double>& heights_;
  std::size_t base_;                // points_.size(): new points are numbered from here
  std::vector<std::size_t> byLow_;  // edges by their lower end
  std::size_t nextLow_ = 0;         // in byLow_: the first edge not yet taken
  std::vector<std::size_t> active_;
  std::vector<std::pair<double, std::size_t>> order_;  // x at the middle, edge
  std::vector<double> bottom_;
  std::vector<double> top_;
  std::vector<std::uint32_t> bottomPoints_;
  std::vector<std::uint32_t> topPoints_;
  std::vector<Border> lastBorder_;  // by edge
  std::vector<Vector3> fresh_;
  std::vector<TriangleIndices> triangles_;
};

// Fills the face by the even-odd rule. Every corner height and every height
// where two edges cross bounds a slab, filled as SlabFill does. Where an
// edge meets a slab's border off its ends, a point of the plane is appended
// to `points`. False, with nothing appended, when the crossings or the
// work would pass kSlabWorkBudget.
bool FillSlabs(std::vector<Vector3>& points,
               const std::vector<std::vector<std::uint32_t>>& contours, const FlatFace& face,
               bool counterclockwise, std::vector<TriangleIndices>& out) {
  // New points are at most two per edge in a slab.
  if (points.size() > std::numeric_limits<std::uint32_t>::max() - 2 * kSlabWorkBudget) {
    return false;
  }
  const std::vector<SlabEdge> edges = SlabEdges(contours, face);
  std::vector<double> heights;
  if (!SlabHeights(edges, heights) || SlabWork(edges, heights) > kSlabWorkBudget) return false;
  SlabFill fill(points, face, counterclockwise, edges, heights);
  fill.Run();
  fill.AppendTo(points, out);
  return true;
}

}  // namespace

void TriangulateFace(std::vector<Vector3>& points, const std::vector<std::uint32_t>& outer,
                     const std::vector<std::vector<std::uint32_t>>& holes,
                     std::vector<TriangleIndices>& out) {
  std::size_t corners = outer.size();
  for (const auto& hole : holes) corners += hole.size();
  // A lone triangle cannot cross itself; a degenerate one keeps its
  // triangle of no area, as before.
  const bool mayCross = !holes.empty() || (outer.size() > 3 && !PlainlyConvex(points, outer));
  if (mayCross && corners <= kEvenOddEdgeLimit) {
    std::vector<std::vector<std::uint32_t>> contours = {outer};
    for (const auto& hole : holes) {
      if (!hole.empty()) contours.push_back(hole);
    }
    FlatFace face;
    if (FlattenFace(points, contours, 0, face) && (ContoursCross(face) || HolesOutOfPlace(face)) &&
        FillSlabs(points, contours, face, CounterclockwiseLike(face, 0), out)) {
      return;
    }
  }
  Triangulate(points, outer, holes, out);
}

void TriangulateEvenOdd(std::vector<Vector3>& points,
                        const std::vector<std::vector<std::uint32_t>>& contours,
                        std::vector<TriangleIndices>& out) {
  const std::size_t count = contours.size();
  if (count == 0) return;
  std::size_t total = 0;
  for (const auto& contour : contours) total += contour.size();
  if (total <= kEvenOddEdgeLimit) {
    FlatFace face;
    if (FlattenFace(points, contours, kLargestContour, face) && ContoursCross(face)) {
      // The sense as for contours that nest: the first contour with an
      // area whose first corner off the others' borders is inside none.
      std::size_t reference = 0;
      std::uint64_t work = 0;
      for (std::size_t i = 0; i < count; ++i) {
        if (face.contours[i].size() < 3 || FlatArea(face.contours[i]) == 0) continue;
        bool free = true;
        for (std::size_t j = 0; j < count && free; ++j) {
          if (i == j || face.contours[j].size() < 3) continue;
          for (const Point2& q : face.contours[i]) {
            const Side side = SideOf(q, face.contours[j], face.eps, work);
            if (side == Side::Border) continue;
            free = side == Side::Outside;
            break;
          }
        }
        if (free) {
          reference = i;
          break;
        }
      }
      if (FillSlabs(points, contours, face, CounterclockwiseLike(face, reference), out)) return;
    }
  }
  auto eachAlone = [&] {
    for (const auto& contour : contours) Triangulate(points, contour, {}, out);
  };
  if (count == 1) {
    eachAlone();
    return;
  }

  // One plane for all contours: that of the largest.
  Vector3 normal;
  double largest = -1;
  std::size_t corners = 0;
  for (const auto& contour : contours) {
    corners += contour.size();
    if (contour.empty()) continue;
    const Vector3 n = NewellNormal(points, contour);
    const double size = Dot(n, n);
    if (size > largest) {
      largest = size;
      normal = n;
    }
  }
  // Each contour is tested against every other: bounded, since thousands of
  // contours with many corners each would take minutes.
  constexpr std::uint64_t kNestingBudget = 50'000'000;
  if (static_cast<std::uint64_t>(count) * corners > kNestingBudget) {
    eachAlone();
    return;
  }
  const PlaneAxes axes = DominantPlane(normal);
  double minU = std::numeric_limits<double>::infinity();
  double minV = minU;
  double maxU = -minU;
  double maxV = -minU;
  std::vector<std::vector<Point2>> flat(count);
  for (std::size_t c = 0; c < count; ++c) {
    for (std::uint32_t index : contours[c]) {
      const Point2 p{Coordinate(points[index], axes.u), Coordinate(points[index], axes.v)};
      flat[c].push_back(p);
      minU = std::min(minU, p.x);
      maxU = std::max(maxU, p.x);
      minV = std::min(minV, p.y);
      maxV = std::max(maxV, p.y);
    }
  }
  for (auto& contour : flat) {
    for (Point2& p : contour) p = {p.x - minU, p.y - minV};
  }
  const double eps = Tolerance(std::max(maxU - minU, maxV - minV));

  // inside[i][j]: contour i lies inside contour j, judged by its first
  // corner that is not on j's border.
  std::uint64_t work = 0;
  std::vector<std::vector<bool>> inside(count, std::vector<bool>(count, false));
  std::vector<std::size_t> depth(count, 0);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = 0; j < count; ++j) {
      if (i == j || flat[j].size() < 3) continue;
      for (const Point2& q : flat[i]) {
        const Side side = SideOf(q, flat[j], eps, work);
        if (side == Side::Border) continue;
        inside[i][j] = side == Side::Inside;
        break;
      }
      if (inside[i][j]) ++depth[i];
      if (work > kNestingBudget) {
        eachAlone();
        return;
      }
    }
  }

  // A contour at an odd depth is a hole of the contour around it one level
  // up; one without such a contour (crossing contours) is filled itself.
  std::vector<std::size_t> parent(count, count);
  for (std::size_t i = 0; i < count; ++i) {
    if (depth[i] % 2 == 0) continue;
    for (std::size_t j = 0; j < count; ++j) {
      if (inside[i][j] && depth[j] + 1 == depth[i]) {
        parent[i] = j;
        break;
      }
    }
  }
  double reference = 0;
  for (std::size_t i = 0; i < count && reference == 0; ++i) {
    if (depth[i] == 0) reference = SignedArea(points, contours[i], axes);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (parent[i] != count) continue;
    std::vector<std::uint32_t> outer = contours[i];
    const double area = SignedArea(points, outer, axes);
    if ((area < 0 && reference > 0) || (area > 0 && reference < 0)) {
      std::reverse(outer.begin(), outer.end());
    }
    std::vector<std::vector<std::uint32_t>> holes;
    for (std::size_t j = 0; j < count; ++j) {
      if (parent[j] == i) holes.push_back(contours[j]);
    }
    Triangulate(points, outer, holes, out);
  }
}

}  // namespace Kelvane::Polygon
