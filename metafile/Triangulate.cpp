#include "metafile/Triangulate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "metafile/PointMath.h"

namespace Kelvane::Metafile {

namespace {

// A corner of the polygon being cut: the point it stands for and where it
// lies in the plane.
struct Corner {
  std::uint32_t point;
  Point2 at;
};

using Ring = std::vector<Corner>;

double RingArea(const Ring& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    sum += ring[j].at.x * ring[i].at.y - ring[i].at.x * ring[j].at.y;
  }
  return sum / 2;
}

// Appends the fan of a ring of point indices: right for convex rings only,
// but linear in time and always ring.size() - 2 triangles.
void AppendFan(const std::vector<std::uint32_t>& ring, std::vector<TriangleIndices>& out) {
  for (std::size_t i = 1; i + 1 < ring.size(); ++i) out.push_back({ring[0], ring[i], ring[i + 1]});
}

// Inside the triangle or on its border, with a tolerance; the triangle may
// turn either way.
bool InTriangle(const Point2& a, const Point2& b, const Point2& c, const Point2& p, double eps) {
  const double d1 = Orient(a, b, p);
  const double d2 = Orient(b, c, p);
  const double d3 = Orient(c, a, p);
  const bool negative = d1 < -eps || d2 < -eps || d3 < -eps;
  const bool positive = d1 > eps || d2 > eps || d3 > eps;
  return !(negative && positive);
}

// Whether a segment from the corner ring[i] towards m starts inside the
// polygon (the ring turns counterclockwise).
bool LocallyInside(const Ring& ring, std::size_t i, const Point2& m) {
  const std::size_t n = ring.size();
  const Point2& a = ring[(i + n - 1) % n].at;
  const Point2& b = ring[i].at;
  const Point2& c = ring[(i + 1) % n].at;
  if (Orient(a, b, c) >= 0) return Orient(a, b, m) >= 0 && Orient(b, c, m) >= 0;
  return Orient(a, b, m) >= 0 || Orient(b, c, m) >= 0;
}

// The corner of the ring a hole's rightmost corner m is joined to. The ray
// from m towards +x meets the ring first on some edge; its end further
// right is visible from m unless other corners stand in the triangle between
// m, the hit and that end, and then the one seen at the smallest angle from
// the ray is. So the bridge crosses no edge of the ring.
std::size_t FindBridge(const Ring& ring, const Point2& m, double eps) {
  const std::size_t n = ring.size();
  std::size_t edge = n;
  double hitX = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < n; ++i) {
    const Point2& a = ring[i].at;
    const Point2& b = ring[(i + 1) % n].at;
    // Only edges going up: those are the ones a ray leaves the inside by.
    if (!(a.y <= m.y && m.y <= b.y && a.y < b.y)) continue;
    const double x = a.x + (m.y - a.y) / (b.y - a.y) * (b.x - a.x);
    if (x >= m.x && x < hitX) {
      hitX = x;
      edge = i;
    }
  }
  if (edge == n) {
    // No edge to the right: the hole is not inside. Any corner will do to
    // keep the count; take the nearest.
    std::size_t nearest = 0;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < n; ++i) {
      const double dx = ring[i].at.x - m.x;
      const double dy = ring[i].at.y - m.y;
      if (dx * dx + dy * dy < best) {
        best = dx * dx + dy * dy;
        nearest = i;
      }
    }
    return nearest;
  }
  const Point2 hit{hitX, m.y};
  const std::size_t next = (edge + 1) % n;
  std::size_t end = ring[edge].at.x > ring[next].at.x ? edge : next;
  if (SamePlace(hit, ring[edge].at)) end = edge;
  if (SamePlace(hit, ring[next].at)) end = next;
  const Point2 p = ring[end].at;
  const bool hitIsCorner = SamePlace(hit, p);

  struct Candidate {
    double tangent;
    double distance;
    std::size_t index;
  };
  std::vector<Candidate> candidates;
  const double minX = std::min({m.x, hit.x, p.x});
  const double maxX = std::max({m.x, hit.x, p.x});
  const double minY = std::min(m.y, p.y);
  const double maxY = std::max(m.y, p.y);
  for (std::size_t i = 0; i < n; ++i) {
    const Point2& r = ring[i].at;
    if (hitIsCorner) {
      if (!SamePlace(r, p)) continue;
    } else {
      if (r.x < minX || r.x > maxX || r.y < minY || r.y > maxY) continue;
      if (!InTriangle(m, hit, p, r, eps)) continue;
    }
    const double dx = r.x - m.x;
    const double dy = r.y - m.y;
    const double tangent = dx > 0 ? std::fabs(dy) / dx : (dy == 0 ? 0.0 : 1e300);
    candidates.push_back({tangent, dx * dx + dy * dy, i});
  }
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return a.tangent != b.tangent ? a.tangent < b.tangent : a.distance < b.distance;
  });
  for (const Candidate& c : candidates) {
    if (LocallyInside(ring, c.index, m)) return c.index;
  }
  return end;
}

// Joins each hole to the ring by a bridge there and back: the ring gains
// the hole's corners and two more (the two ends of the bridge, repeated).
// Holes go right to left, so that a bridge never crosses a hole not yet
// joined.
void BridgeHoles(Ring& ring, std::vector<Ring>& holes, double eps) {
  struct Entry {
    std::size_t hole;
    std::size_t rightmost;
  };
  std::vector<Entry> order;
  for (std::size_t h = 0; h < holes.size(); ++h) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < holes[h].size(); ++i) {
      const Point2& a = holes[h][i].at;
      const Point2& b = holes[h][best].at;
      if (a.x > b.x || (a.x == b.x && a.y < b.y)) best = i;
    }
    order.push_back({h, best});
  }
  std::sort(order.begin(), order.end(), [&](const Entry& a, const Entry& b) {
    return holes[a.hole][a.rightmost].at.x > holes[b.hole][b.rightmost].at.x;
  });
  for (const Entry& e : order) {
    const Ring& hole = holes[e.hole];
    const Corner& m = hole[e.rightmost];
    const std::size_t k = FindBridge(ring, m.at, eps);
    Ring splice;
    splice.reserve(hole.size() + 2);
    for (std::size_t i = 0; i < hole.size(); ++i) {
      splice.push_back(hole[(e.rightmost + i) % hole.size()]);
    }
    splice.push_back(m);
    splice.push_back(ring[k]);
    ring.insert(ring.begin() + static_cast<std::ptrdiff_t>(k + 1), splice.begin(), splice.end());
  }
}

// Ear clipping over a ring that turns counterclockwise. Each step cuts off
// one corner as a triangle, so the count is right whatever happens; the
// choice of corner is what keeps the triangles inside the polygon: ears
// (convex corners whose triangle holds no reflex corner) first, then
// corners on a straight line (their triangles have no area, so cutting
// them changes nothing; left for last, as an ear there would be a triangle
// of no area where one with area could be), and only when there are none,
// the most convex corner.
class EarClipper {
 public:
  EarClipper(const Ring& ring, double eps, std::vector<TriangleIndices>& out)
      : ring_(ring),
        eps_(eps),
        out_(out),
        prev_(ring.size()),
        next_(ring.size()),
        alive_(ring.size(), 1),
        blocking_(ring.size(), 0),
        listed_(ring.size(), 0),
        version_(ring.size(), 0),
        shape_(ring.size(), 0) {
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
      prev_[i] = (i + n - 1) % n;
      next_[i] = (i + 1) % n;
    }
    remaining_ = n;
  }

  void Run() {
    if (remaining_ < 3) return;
    for (std::size_t i = 0; i < ring_.size(); ++i) UpdateShape(i);
    for (std::size_t i = 0; i < ring_.size(); ++i) Classify(i);
    bool cutSinceScan = false;
    while (remaining_ > 3) {
      if (work_ > kWorkBudget) {
        FanRest();
        return;
      }
      std::size_t i = PopEar();
      if (i == kNone && cutSinceScan) {
        // Cutting a corner can free ears that were blocked before: look at
        // every convex corner again before cutting one that is no ear.
        for (std::size_t j = head_, k = 0; k < remaining_; j = next_[j], ++k) {
          if (shape_[j] > eps_ && IsEar(j)) ears_.push_back({j, version_[j]});
        }
        work_ += remaining_;
        cutSinceScan = false;
        i = PopEar();
      }
      if (i == kNone) i = PopFlat();
      if (i == kNone) i = MostConvex();
      Cut(i);
      cutSinceScan = true;
    }
    const std::size_t a = head_;
    out_.push_back({ring_[a].point, ring_[next_[a]].point, ring_[next_[next_[a]]].point});
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Corners looked at in ear tests before the rest of a face is cut as a
  // fan: a bound on time (some tenths of a second) for input no polygon
  // could be drawn from. Real faces up to kEarClippingLimit stay below it.
  static constexpr std::uint64_t kWorkBudget = 400'000'000;

  struct Blocker {
    Point2 at;
    std::size_t node;
  };

  const Point2& At(std::size_t i) const { return ring_[i].at; }

  void UpdateShape(std::size_t i) {
    shape_[i] = Orient(At(prev_[i]), At(i), At(next_[i]));
    blocking_[i] = shape_[i] <= eps_;
    if (blocking_[i] && !listed_[i]) {
      listed_[i] = 1;
      blockers_.push_back({At(i), i});
    }
  }

  void Classify(std::size_t i) {
    ++version_[i];
    if (std::fabs(shape_[i]) <= eps_) {
      flat_.push_back({i, version_[i]});
    } else if (shape_[i] > 0 && IsEar(i)) {
      ears_.push_back({i, version_[i]});
    }
  }

  // Drops cut corners and corners no longer reflex from the blockers, once
  // they may make up half of them, so that ear tests stay a tight loop.
  void Prune() {
    std::size_t kept = 0;
    for (const Blocker& b : blockers_) {
      if (alive_[b.node] && blocking_[b.node]) {
        blockers_[kept++] = b;
      } else {
        listed_[b.node] = 0;
      }
    }
    blockers_.resize(kept);
    changesSincePrune_ = 0;
  }

  // A convex corner whose triangle holds no reflex or flat corner, on its
  // border included (a diagonal through a corner is no diagonal).
  bool IsEar(std::size_t b) {
    if (changesSincePrune_ * 2 > blockers_.size()) Prune();
    const std::size_t a = prev_[b];
    const std::size_t c = next_[b];
    const Point2& pa = At(a);
    const Point2& pb = At(b);
    const Point2& pc = At(c);
    const double minX = std::min({pa.x, pb.x, pc.x}) - eps_;
    const double maxX = std::max({pa.x, pb.x, pc.x}) + eps_;
    const double minY = std::min({pa.y, pb.y, pc.y}) - eps_;
    const double maxY = std::max({pa.y, pb.y, pc.y}) + eps_;
    work_ += blockers_.size();
    for (const Blocker& k : blockers_) {
      const Point2& p = k.at;
      if (p.x < minX || p.x > maxX || p.y < minY || p.y > maxY) continue;
      const std::size_t r = k.node;
      if (!alive_[r] || !blocking_[r] || r == a || r == b || r == c) continue;
      // The other end of a bridge stands where a corner of the triangle does.
      if (SamePlace(p, pa) || SamePlace(p, pb) || SamePlace(p, pc)) continue;
      if (Orient(pa, pb, p) >= -eps_ && Orient(pb, pc, p) >= -eps_ && Orient(pc, pa, p) >= -eps_) {
        return false;
      }
    }
    return true;
  }

  std::size_t PopEar() {
    while (!ears_.empty()) {
      const auto [i, v] = ears_.back();
      ears_.pop_back();
      // Cutting a corner that was no ear can make a neighbour reflex; so
      // check again.
      if (alive_[i] && version_[i] == v && IsEar(i)) return i;
    }
    return kNone;
  }

  std::size_t PopFlat() {
    while (!flat_.empty()) {
      const auto [i, v] = flat_.back();
      flat_.pop_back();
      if (alive_[i] && version_[i] == v) return i;
    }
    return kNone;
  }

  std::size_t MostConvex() const {
    std::size_t best = head_;
    for (std::size_t j = head_, k = 0; k < remaining_; j = next_[j], ++k) {
      if (shape_[j] > shape_[best]) best = j;
    }
    return best;
  }

  void Cut(std::size_t b) {
    const std::size_t a = prev_[b];
    const std::size_t c = next_[b];
    out_.push_back({ring_[a].point, ring_[b].point, ring_[c].point});
    alive_[b] = 0;
    next_[a] = c;
    prev_[c] = a;
    head_ = a;
    --remaining_;
    changesSincePrune_ += 3;
    UpdateShape(a);
    UpdateShape(c);
    Classify(a);
    Classify(c);
  }

  void FanRest() {
    std::vector<std::uint32_t> rest;
    for (std::size_t j = head_, k = 0; k < remaining_; j = next_[j], ++k) {
      rest.push_back(ring_[j].point);
    }
    AppendFan(rest, out_);
  }

  const Ring& ring_;
  double eps_;
  std::vector<TriangleIndices>& out_;
  std::vector<std::size_t> prev_;
  std::vector<std::size_t> next_;
  std::vector<std::uint8_t> alive_;
  std::vector<std::uint8_t> blocking_;  // reflex or on a line: may lie in an ear
  std::vector<std::uint8_t> listed_;    // in blockers_
  std::vector<std::uint32_t> version_;
  std::vector<double> shape_;  // Orient of the corner with its neighbours
  std::vector<Blocker> blockers_;
  std::vector<std::pair<std::size_t, std::uint32_t>> flat_;
  std::vector<std::pair<std::size_t, std::uint32_t>> ears_;
  std::size_t head_ = 0;
  std::size_t remaining_ = 0;
  std::size_t changesSincePrune_ = 0;
  std::uint64_t work_ = 0;
};

// How far from zero an Orient value must be to count as a turn: a
// millionth of a millionth of the squared size of the polygon, well above
// the rounding of the products yet far below any area a model would draw.
double Tolerance(double extent) { return extent * extent * 1e-12; }

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

// ---- The even-odd fill of contours that cross ----

// A face's contours seen in its plane, for finding crossings and filling
// in slabs. Coordinates are scaled by a power of two (which is exact), so
// that no difference or product of them overflows whatever numbers the
// file holds, and taken from the lower corner of the face's box.
struct FlatFace {
  PlaneAxes axes;
  int w = 2;         // the axis looked along
  int exponent = 0;  // scaled = real * 2^-exponent
  Point3 normal;     // scaled
  Point3 centre;     // scaled: the plane goes through it
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
Point3 SpanNormal(const std::vector<Point3>& face) {
  if (face.empty()) return {};
  const Point3& origin = face[0];
  Point3 far = origin;
  double best = 0;
  for (const Point3& p : face) {
    const Point3 d = Minus(p, origin);
    if (Dot(d, d) > best) {
      best = Dot(d, d);
      far = p;
    }
  }
  const Point3 axis = Minus(far, origin);
  Point3 normal;
  best = 0;
  for (const Point3& p : face) {
    const Point3 n = Cross(axis, Minus(p, origin));
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

bool FlattenFace(const std::vector<Point3>& points,
                 const std::vector<std::vector<std::uint32_t>>& contours, std::size_t planeContour,
                 FlatFace& face) {
  double largest = 0;
  for (const auto& contour : contours) {
    for (std::uint32_t index : contour) {
      const Point3& p = points[index];
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
      largest = std::max({largest, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    }
  }
  std::frexp(largest, &face.exponent);
  const auto scaled = [&](std::uint32_t index) {
    const Point3& p = points[index];
    return Point3{std::ldexp(p.x, -face.exponent), std::ldexp(p.y, -face.exponent),
                  std::ldexp(p.z, -face.exponent)};
  };

  std::vector<Point3> all;
  Point3 newell;
  double size = -1;
  for (std::size_t c = 0; c < contours.size(); ++c) {
    const auto& contour = contours[c];
    if (contour.empty()) continue;
    Point3 n;
    for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
      const Point3 a = scaled(contour[j]);
      const Point3 b = scaled(contour[i]);
      n.x += (a.y - b.y) * (a.z + b.z);
      n.y += (a.z - b.z) * (a.x + b.x);
      n.z += (a.x - b.x) * (a.y + b.y);
      all.push_back(b);
    }
    const bool chosen = planeContour == kLargestContour ? Dot(n, n) > size : c == planeContour;
    if (chosen) {
      size = Dot(n, n);
      newell = n;
    }
  }
  if (all.empty()) return false;
  Point3 low = all[0];
  Point3 high = all[0];
  for (const Point3& p : all) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    face.centre = Add(face.centre, p);
  }
  const double count = static_cast<double>(all.size());
  face.centre = {face.centre.x / count, face.centre.y / count, face.centre.z / count};

  // A Newell normal lost in rounding (loops that cancel) gives no plane;
  // the points themselves still span one. It keeps the sense of the Newell
  // normal where that has one.
  const Point3 span = Minus(high, low);
  const double tiny = Tolerance(std::sqrt(Dot(span, span)));
  face.normal = newell;
  if (Dot(newell, newell) <= tiny * tiny) {
    face.normal = SpanNormal(all);
    if (Dot(face.normal, newell) < 0)
      face.normal = {-face.normal.x, -face.normal.y, -face.normal.z};
  }
  if (face.normal.x == 0 && face.normal.y == 0 && face.normal.z == 0) return false;

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
      const Point3 p = scaled(index);
      flat.push_back(
          {Coordinate(p, face.axes.u) - face.lowU, Coordinate(p, face.axes.v) - face.lowV});
    }
  }
  return true;
}

// The point of the face's plane seen at (x, y), in the file's units. Kept
// within the face's box along the axis looked along, which a flat face's
// points are anyway.
Point3 Lift(const FlatFace& face, double x, double y) {
  const double u = x + face.lowU;
  const double v = y + face.lowV;
  const double nu = Coordinate(face.normal, face.axes.u);
  const double nv = Coordinate(face.normal, face.axes.v);
  const double nw = Coordinate(face.normal, face.w);
  double w = Coordinate(face.centre, face.w) + (nu * (Coordinate(face.centre, face.axes.u) - u) +
                                                nv * (Coordinate(face.centre, face.axes.v) - v)) /
                                                   nw;
  w = std::clamp(w, face.lowW, face.highW);
  Point3 p;
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
bool PlainlyConvex(const std::vector<Point3>& points, const std::vector<std::uint32_t>& contour) {
  const std::size_t n = contour.size();
  if (n < 3) return false;
  const PlaneAxes axes = DominantPlane(NewellNormal(points, contour));
  const auto at = [&](std::size_t i) {
    const Point3& p = points[contour[i]];
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

// Fills the face by the even-odd rule. Every corner height and every height
// where two edges cross bounds a slab; in a slab no edges cross, so the
// edges spanning it, in order of x, bound the region pairwise (1-2, 3-4,
// ...), and each pair makes a trapezoid, cut into two triangles (one where
// it narrows to a point). Where an edge meets a slab's border off its ends,
// a point of the plane is appended to `points`. False, with nothing
// appended, when the crossings or the work would pass kSlabWorkBudget.
bool FillSlabs(std::vector<Point3>& points, const std::vector<std::vector<std::uint32_t>>& contours,
               const FlatFace& face, bool counterclockwise, std::vector<TriangleIndices>& out) {
  // New points are at most two per edge in a slab.
  if (points.size() > std::numeric_limits<std::uint32_t>::max() - 2 * kSlabWorkBudget) {
    return false;
  }
  struct Edge {
    Point2 lo;
    Point2 hi;
    std::uint32_t loPoint;
    std::uint32_t hiPoint;
  };
  std::vector<Edge> edges;
  for (std::size_t c = 0; c < contours.size(); ++c) {
    const std::vector<Point2>& ring = face.contours[c];
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t k = (i + 1) % n;
      // Level edges bound no slab's inside.
      if (ring[i].y == ring[k].y) continue;
      if (ring[i].y < ring[k].y) {
        edges.push_back({ring[i], ring[k], contours[c][i], contours[c][k]});
      } else {
        edges.push_back({ring[k], ring[i], contours[c][k], contours[c][i]});
      }
    }
  }
  const auto xAt = [](const Edge& e, double y) {
    if (y <= e.lo.y) return e.lo.x;
    if (y >= e.hi.y) return e.hi.x;
    return e.lo.x + (y - e.lo.y) / (e.hi.y - e.lo.y) * (e.hi.x - e.lo.x);
  };

  std::vector<double> heights;
  for (const Edge& e : edges) {
    heights.push_back(e.lo.y);
    heights.push_back(e.hi.y);
  }
  // Crossings: where the order of two edges in x changes over the heights
  // both span. Pairs whose spans in x do not meet are passed over.
  std::vector<std::size_t> byX(edges.size());
  for (std::size_t i = 0; i < byX.size(); ++i) byX[i] = i;
  const auto minX = [&](std::size_t i) { return std::min(edges[i].lo.x, edges[i].hi.x); };
  const auto maxX = [&](std::size_t i) { return std::max(edges[i].lo.x, edges[i].hi.x); };
  std::sort(byX.begin(), byX.end(),
            [&](std::size_t a, std::size_t b) { return minX(a) < minX(b); });
  std::uint64_t crossings = 0;
  for (std::size_t i = 0; i < byX.size(); ++i) {
    const Edge& s = edges[byX[i]];
    const double right = maxX(byX[i]);
    for (std::size_t j = i + 1; j < byX.size() && minX(byX[j]) <= right; ++j) {
      const Edge& t = edges[byX[j]];
      const double y0 = std::max(s.lo.y, t.lo.y);
      const double y1 = std::min(s.hi.y, t.hi.y);
      if (!(y0 < y1)) continue;
      const double d0 = xAt(s, y0) - xAt(t, y0);
      const double d1 = xAt(s, y1) - xAt(t, y1);
      if ((d0 < 0 && d1 > 0) || (d0 > 0 && d1 < 0)) {
        const double y = y0 + (y1 - y0) * (d0 / (d0 - d1));
        if (y > y0 && y < y1) heights.push_back(y);
        if (++crossings > kSlabWorkBudget) return false;
      }
    }
  }
  std::sort(heights.begin(), heights.end());
  heights.erase(std::unique(heights.begin(), heights.end()), heights.end());
  // The work to come, known before any of it is done: each edge is looked
  // at once in each slab it spans.
  std::uint64_t work = 0;
  for (const Edge& e : edges) {
    const auto slabs = std::lower_bound(heights.begin(), heights.end(), e.hi.y) -
                       std::lower_bound(heights.begin(), heights.end(), e.lo.y);
    work += static_cast<std::uint64_t>(slabs);
  }
  if (work > kSlabWorkBudget) return false;

  std::vector<std::size_t> byLow(edges.size());
  for (std::size_t i = 0; i < byLow.size(); ++i) byLow[i] = i;
  std::sort(byLow.begin(), byLow.end(),
            [&](std::size_t a, std::size_t b) { return edges[a].lo.y < edges[b].lo.y; });

  const std::size_t base = points.size();
  std::vector<Point3> fresh;
  std::vector<TriangleIndices> triangles;
  // Where a point stands in the face's frame once in the file's units:
  // two corners a hair apart in the frame can become one far from the
  // origin, and their triangle then has no area (or turns the wrong way by
  // a rounding); such triangles are left out.
  const auto placed = [&](std::uint32_t index) {
    const Point3& p = index < base ? points[index] : fresh[index - base];
    return Point2{std::ldexp(Coordinate(p, face.axes.u), -face.exponent) - face.lowU,
                  std::ldexp(Coordinate(p, face.axes.v), -face.exponent) - face.lowV};
  };
  const auto emit = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (!(Orient(placed(a), placed(b), placed(c)) > 0)) return;
    if (counterclockwise) {
      triangles.push_back({a, b, c});
    } else {
      triangles.push_back({a, c, b});
    }
  };

  // The points on a slab's lower and upper border, by place in the order
  // of the slab's edges. Edges that meet on a border share a point there
  // (an edge's own corner if one stands there), and an edge keeps the point
  // it had on the same border in the slab below.
  constexpr std::uint32_t kNoPoint = std::numeric_limits<std::uint32_t>::max();
  struct Border {
    std::size_t height = static_cast<std::size_t>(-1);
    double x = 0;
    std::uint32_t point = 0;
  };
  std::vector<Border> lastBorder(edges.size());
  std::vector<std::size_t> active;
  std::vector<std::pair<double, std::size_t>> order;
  std::vector<double> bottom;
  std::vector<double> top;
  std::vector<std::uint32_t> bottomPoints;
  std::vector<std::uint32_t> topPoints;
  const auto pointOn = [&](const std::vector<double>& xs, std::vector<std::uint32_t>& found,
                           std::size_t i, std::size_t height) {
    if (found[i] != kNoPoint) return found[i];
    const double x = xs[i];
    const double y = heights[height];
    std::size_t first = i;
    std::size_t last = i;
    while (first > 0 && xs[first - 1] == x) --first;
    while (last + 1 < xs.size() && xs[last + 1] == x) ++last;
    std::uint32_t point = kNoPoint;
    for (std::size_t j = first; j <= last && point == kNoPoint; ++j) {
      const Edge& e = edges[order[j].second];
      if (y == e.lo.y && x == e.lo.x) point = e.loPoint;
      if (y == e.hi.y && x == e.hi.x) point = e.hiPoint;
    }
    for (std::size_t j = first; j <= last && point == kNoPoint; ++j) {
      const Border& b = lastBorder[order[j].second];
      if (b.height == height && b.x == x) point = b.point;
    }
    if (point == kNoPoint) {
      point = static_cast<std::uint32_t>(base + fresh.size());
      fresh.push_back(Lift(face, x, y));
    }
    for (std::size_t j = first; j <= last; ++j) {
      found[j] = point;
      lastBorder[order[j].second] = {height, x, point};
    }
    return point;
  };

  std::size_t next = 0;
  for (std::size_t k = 0; k + 1 < heights.size(); ++k) {
    const double y0 = heights[k];
    const double y1 = heights[k + 1];
    std::erase_if(active, [&](std::size_t e) { return edges[e].hi.y <= y0; });
    while (next < byLow.size() && edges[byLow[next]].lo.y <= y0) active.push_back(byLow[next++]);
    if (active.size() < 2) continue;

    const double middle = y0 + (y1 - y0) / 2;
    order.clear();
    for (std::size_t e : active) order.push_back({xAt(edges[e], middle), e});
    std::sort(order.begin(), order.end());
    // Rounding may let neighbours swap by a hair at a border where they
    // cross; keeping the borders in order keeps trapezoids from overlapping.
    bottom.resize(order.size());
    top.resize(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
      bottom[i] = xAt(edges[order[i].second], y0);
      top[i] = xAt(edges[order[i].second], y1);
      if (i > 0) {
        bottom[i] = std::max(bottom[i], bottom[i - 1]);
        top[i] = std::max(top[i], top[i - 1]);
      }
    }
    bottomPoints.assign(order.size(), kNoPoint);
    topPoints.assign(order.size(), kNoPoint);
    // The lower border's points first, while the edges' records still
    // hold their points there from the slab below.
    for (std::size_t i = 0; i + 1 < order.size(); i += 2) {
      if (bottom[i + 1] > bottom[i]) pointOn(bottom, bottomPoints, i + 1, k);
      if (bottom[i + 1] > bottom[i] || top[i + 1] > top[i]) pointOn(bottom, bottomPoints, i, k);
    }
    for (std::size_t i = 0; i + 1 < order.size(); i += 2) {
      const bool wideBottom = bottom[i + 1] > bottom[i];
      const bool wideTop = top[i + 1] > top[i];
      if (!wideBottom && !wideTop) continue;
      const std::uint32_t leftBottom = bottomPoints[i];
      const std::uint32_t rightTop = pointOn(top, topPoints, i + 1, k + 1);
      if (wideBottom) emit(leftBottom, bottomPoints[i + 1], rightTop);
      if (wideTop) emit(leftBottom, rightTop, pointOn(top, topPoints, i, k + 1));
    }
  }
  points.insert(points.end(), fresh.begin(), fresh.end());
  out.insert(out.end(), triangles.begin(), triangles.end());
  return true;
}

}  // namespace

Point3 NewellNormal(const std::vector<Point3>& points, const std::vector<std::uint32_t>& contour) {
  Point3 n;
  for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
    const Point3& a = points[contour[j]];
    const Point3& b = points[contour[i]];
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  return n;
}

PlaneAxes DominantPlane(const Point3& normal) {
  const double ax = std::fabs(normal.x);
  const double ay = std::fabs(normal.y);
  const double az = std::fabs(normal.z);
  // Cyclic pairs (y z), (z x), (x y): each keeps the right-hand rule about
  // the dropped axis.
  if (ax > ay && ax > az) return {1, 2};
  if (ay > az) return {2, 0};
  return {0, 1};
}

double SignedArea(const std::vector<Point3>& points, const std::vector<std::uint32_t>& contour,
                  PlaneAxes axes) {
  if (contour.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
    const Point3& a = points[contour[j]];
    const Point3& b = points[contour[i]];
    sum += Coordinate(a, axes.u) * Coordinate(b, axes.v) -
           Coordinate(b, axes.u) * Coordinate(a, axes.v);
  }
  return sum / 2;
}

void Triangulate(const std::vector<Point3>& points, const std::vector<std::uint32_t>& outer,
                 const std::vector<std::vector<std::uint32_t>>& holes,
                 std::vector<TriangleIndices>& out) {
  std::size_t total = outer.size();
  for (const auto& hole : holes) {
    if (!hole.empty()) total += hole.size() + 2;
  }
  if (total < 3 || outer.empty()) return;

  if (total > kEarClippingLimit) {
    // Each hole joined at the first corner: the count stays right.
    std::vector<std::uint32_t> ring;
    ring.reserve(total);
    ring.push_back(outer[0]);
    for (const auto& hole : holes) {
      if (hole.empty()) continue;
      ring.insert(ring.end(), hole.begin(), hole.end());
      ring.push_back(hole[0]);
      ring.push_back(outer[0]);
    }
    ring.insert(ring.end(), outer.begin() + 1, outer.end());
    AppendFan(ring, out);
    return;
  }

  const PlaneAxes axes = DominantPlane(NewellNormal(points, outer));
  // Coordinates relative to a corner of the bounding box, so that a face
  // far from the origin keeps its precision.
  double minU = std::numeric_limits<double>::infinity();
  double minV = minU;
  double maxU = -minU;
  double maxV = -minU;
  auto widen = [&](const std::vector<std::uint32_t>& contour) {
    for (std::uint32_t index : contour) {
      const double u = Coordinate(points[index], axes.u);
      const double v = Coordinate(points[index], axes.v);
      minU = std::min(minU, u);
      maxU = std::max(maxU, u);
      minV = std::min(minV, v);
      maxV = std::max(maxV, v);
    }
  };
  widen(outer);
  for (const auto& hole : holes) widen(hole);
  const double eps = Tolerance(std::max(maxU - minU, maxV - minV));

  auto toRing = [&](const std::vector<std::uint32_t>& contour) {
    Ring ring;
    ring.reserve(contour.size());
    for (std::uint32_t index : contour) {
      ring.push_back(
          {index,
           {Coordinate(points[index], axes.u) - minU, Coordinate(points[index], axes.v) - minV}});
    }
    return ring;
  };
  Ring ring = toRing(outer);
  // A contour turning clockwise in this plane is mirrored to turn
  // counterclockwise; the triangles, cut counterclockwise in the mirror,
  // then turn in space as the contour does in the file.
  const bool mirror = RingArea(ring) < 0;
  auto place = [&](Ring& r) {
    if (mirror) {
      for (Corner& c : r) c.at.y = -c.at.y;
    }
  };
  place(ring);
  std::vector<Ring> holeRings;
  for (const auto& hole : holes) {
    if (hole.empty()) continue;
    holeRings.push_back(toRing(hole));
    place(holeRings.back());
    if (RingArea(holeRings.back()) > 0)
      std::reverse(holeRings.back().begin(), holeRings.back().end());
  }
  BridgeHoles(ring, holeRings, eps);
  EarClipper(ring, eps, out).Run();
}

void TriangulateFace(std::vector<Point3>& points, const std::vector<std::uint32_t>& outer,
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

void TriangulateEvenOdd(std::vector<Point3>& points,
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
  Point3 normal;
  double largest = -1;
  std::size_t corners = 0;
  for (const auto& contour : contours) {
    corners += contour.size();
    if (contour.empty()) continue;
    const Point3 n = NewellNormal(points, contour);
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

}  // namespace Kelvane::Metafile
