#pragma once

#include <algorithm>
#include <cmath>

#include "metafile/Geometry.h"

// The small arithmetic of points and directions that the surface builders
// and the polygon cutting share: in space on Point3, and in a polygon's
// plane on Point2.
namespace Kelvane::Metafile {

inline Point3 Add(const Point3& a, const Point3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

inline Point3 Minus(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline Point3 Scale(const Point3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }

inline double Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Point3 Cross(const Point3& a, const Point3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Length without overflow or underflow on the way, so that a radius of
// 1e200 or 1e-200 is measured as it stands.
inline double Norm(const Point3& v) {
  const double m = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
  if (m == 0 || !std::isfinite(m)) return m;
  const double x = v.x / m;
  const double y = v.y / m;
  const double z = v.z / m;
  return m * std::sqrt(x * x + y * y + z * z);
}

// The direction of a vector that has one (not of length 0).
inline Point3 Unit(const Point3& v) { return Scale(v, 1 / Norm(v)); }

// Whether three axes span no volume: one has length 0, or, as unit
// vectors, they lie in one plane to within 1e-12.
inline bool SpanNoVolume(const Point3& a, const Point3& b, const Point3& c) {
  if (Norm(a) == 0 || Norm(b) == 0 || Norm(c) == 0) return true;
  return std::fabs(Dot(Unit(a), Cross(Unit(b), Unit(c)))) <= 1e-12;
}

// One coordinate by number: 0 = x, 1 = y, 2 = z.
inline double Coordinate(const Point3& p, int axis) {
  return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

inline void SetCoordinate(Point3& p, int axis, double value) {
  (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = value;
}

// A point in a polygon's plane.
struct Point2 {
  double x = 0;
  double y = 0;
};

// Twice the signed area of a b c: positive when they turn counterclockwise.
inline double Orient(const Point2& a, const Point2& b, const Point2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

inline bool SamePlace(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

}  // namespace Kelvane::Metafile
