#pragma once

// The arithmetic of a polygon seen in its plane, which ear clipping and the
// even-odd fill share: points in the plane, their turns, and how far from
// zero a turn must be to count.
namespace Kelvane::Polygon {

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

// How far from zero an Orient value must be to count as a turn: a
// millionth of a millionth of the squared size of the polygon, well above
// the rounding of the products yet far below any area a model would draw.
inline double Tolerance(double extent) { return extent * extent * 1e-12; }

}  // namespace Kelvane::Polygon
