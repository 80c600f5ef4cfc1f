// The even-odd fill in slabs: between every two heights where a corner
// stands or two edges cross, the region is trapezoids.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "metafile/polygon/FlatFace.h"

namespace Kelvane::Polygon {

namespace {

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

}  // namespace

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

}  // namespace Kelvane::Polygon
