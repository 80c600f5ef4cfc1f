#pragma once

#include <cmath>

#include "vector/Vector3.h"

// The vector arithmetic of polygons: pure functions on plain values. Every
// arithmetic step is checked; a step whose result is not finite raises an
// overflow error and the operation returns nothing.
//
// The functions are inline: the polygon writer calls them for every polygon,
// and its records cost little more than the arithmetic itself.
namespace Kelvane::ModuleVector {

namespace Checked {

// Raises the overflow error of a step ("subtraction", "sum", ...).
[[noreturn, gnu::cold, gnu::noinline]] void ThrowNotFinite(const char* step);

inline double Sub(double a, double b) {
  const double r = a - b;
  if (!std::isfinite(r)) [[unlikely]]
    ThrowNotFinite("subtraction");
  return r;
}

inline double Add(double a, double b) {
  const double r = a + b;
  if (!std::isfinite(r)) [[unlikely]]
    ThrowNotFinite("sum");
  return r;
}

inline double Mul(double a, double b) {
  const double r = a * b;
  if (!std::isfinite(r)) [[unlikely]]
    ThrowNotFinite("product");
  return r;
}

inline double Div(double a, double b) {
  const double r = a / b;
  if (!std::isfinite(r)) [[unlikely]]
    ThrowNotFinite("division");
  return r;
}

}  // namespace Checked

// to - from, component by component: the vector leading from `from` to `to`.
inline Vector3 VectorSubtract(const Vector3& from, const Vector3& to) {
  using namespace Checked;
  return {Sub(to.X, from.X), Sub(to.Y, from.Y), Sub(to.Z, from.Z)};
}

// (A - B) x (C - B), not scaled to unit length.
inline Vector3 TriangleNormal(const Vector3& A, const Vector3& B, const Vector3& C) {
  using namespace Checked;
  const Vector3 e1 = VectorSubtract(B, A);
  const Vector3 e2 = VectorSubtract(B, C);
  Vector3 n;
  n.X = Sub(Mul(e1.Y, e2.Z), Mul(e1.Z, e2.Y));
  n.Y = Sub(Mul(e1.Z, e2.X), Mul(e1.X, e2.Z));
  n.Z = Sub(Mul(e1.X, e2.Y), Mul(e1.Y, e2.X));
  return n;
}

// sqrt((X*X + Y*Y) + Z*Z), summed in that order.
inline double VectorLength(const Vector3& v) {
  using namespace Checked;
  return std::sqrt(Add(Add(Mul(v.X, v.X), Mul(v.Y, v.Y)), Mul(v.Z, v.Z)));
}

// v at unit length; the zero vector when the length is exactly 0.
inline Vector3 VectorNormalize(const Vector3& v) {
  using namespace Checked;
  const double length = VectorLength(v);
  if (length == 0) return {0, 0, 0};
  return {Div(v.X, length), Div(v.Y, length), Div(v.Z, length)};
}

// (X*s, Y*s, Z*s).
inline Vector3 VectorScale(const Vector3& v, double s) {
  using namespace Checked;
  return {Mul(v.X, s), Mul(v.Y, s), Mul(v.Z, s)};
}

}  // namespace Kelvane::ModuleVector
