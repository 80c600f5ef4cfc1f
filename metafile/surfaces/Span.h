#pragma once

#include <cmath>

#include "vector/Vector3.h"

// Directions, and whether a shape's axes span the space they should: a
// shape whose axes span no volume (a Box, a quadric) or whose radii span no
// area (a Disk) is flat or collapsed, and keeps only its triangles that
// have area.
namespace Kelvane::Metafile {

// The direction of a vector that has one (not of length 0).
inline Vector3 Unit(const Vector3& v) { return v * (1 / Norm(v)); }

// Whether three axes span no volume: one has length 0, or, as unit
// vectors, they lie in one plane to within 1e-12.
inline bool SpanNoVolume(const Vector3& a, const Vector3& b, const Vector3& c) {
  if (Norm(a) == 0 || Norm(b) == 0 || Norm(c) == 0) return true;
  return std::fabs(Dot(Unit(a), Cross(Unit(b), Unit(c)))) <= 1e-12;
}

// Whether two radii span no area: one has length 0, or they are parallel.
inline bool SpanNoArea(const Vector3& a, const Vector3& b) {
  if (Norm(a) == 0 || Norm(b) == 0) return true;
  return Norm(Cross(Unit(a), Unit(b))) <= 1e-12;
}

}  // namespace Kelvane::Metafile
