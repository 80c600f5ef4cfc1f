#pragma once

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
