// Ear clipping: a polygon with holes, bridged into one ring, cut one
// corner at a time.

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

}  // namespace

Vector3 NewellNormal(const std::vector<Vector3>& points,
                     const std::vector<std::uint32_t>& contour) {
  Vector3 n;
  for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
    const Vector3& a = points[contour[j]];
    const Vector3& b = points[contour[i]];
    n.X += (a.Y - b.Y) * (a.Z + b.Z);
    n.Y += (a.Z - b.Z) * (a.X + b.X);
    n.Z += (a.X - b.X) * (a.Y + b.Y);
  }
  return n;
}

PlaneAxes DominantPlane(const Vector3& normal) {
  const double ax = std::fabs(normal.X);
  const double ay = std::fabs(normal.Y);
  const double az = std::fabs(normal.Z);
  // Cyclic pairs (y z), (z x), (x y): each keeps the right-hand rule about
  // the dropped axis.
  if (ax > ay && ax > az) return {1, 2};
  if (ay > az) return {2, 0};
  return {0, 1};
}

double SignedArea(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& contour,
                  PlaneAxes axes) {
  if (contour.empty()) return 0;
  double sum = 0;
  for (std::size_t i = 0, j = contour.size() - 1; i < contour.size(); j = i++) {
    const Vector3& a = points[contour[j]];
    const Vector3& b = points[contour[i]];
    sum += Coordinate(a, axes.u) * Coordinate(b, axes.v) -
           Coordinate(b, axes.u) * Coordinate(a, axes.v);
  }
  return sum / 2;
}

void Triangulate(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& outer,
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

}  // namespace Kelvane::Polygon
