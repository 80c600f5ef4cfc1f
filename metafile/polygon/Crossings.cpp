// Whether a face's contours cross, touch or overlap, or its holes stand
// where cutting them out would not give the even-odd region.

#include <algorithm>
#include <cstddef>
#include <vector>

#include "metafile/polygon/FlatFace.h"

namespace Kelvane::Polygon {

namespace {

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

}  // namespace

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

}  // namespace Kelvane::Polygon
