// A face set up in its plane for the even-odd fill, and where points
// stand against its contours.

#include "metafile/polygon/FlatFace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Kelvane::Polygon {

namespace {

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

}  // namespace

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

Side FirstSideOf(const std::vector<Point2>& contour, const std::vector<Point2>& other, double eps,
                 std::uint64_t& work) {
  for (const Point2& q : contour) {
    const Side side = SideOf(q, other, eps, work);
    if (side != Side::Border) return side;
  }
  return Side::Border;
}

double FlatArea(const std::vector<Point2>& ring) {
  double sum = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    sum += ring[j].x * ring[i].y - ring[i].x * ring[j].y;
  }
  return sum;
}

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

bool CounterclockwiseLike(const FlatFace& face, std::size_t contour) {
  const double area = FlatArea(face.contours[contour]);
  if (area != 0) return area > 0;
  return Coordinate(face.normal, face.w) > 0;
}

}  // namespace Kelvane::Polygon
