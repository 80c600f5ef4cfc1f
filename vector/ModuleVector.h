#pragma once

// The vector arithmetic of polygons: pure functions on plain values. Every
// arithmetic step is checked; a step whose result is not finite raises an
// overflow error and the operation returns nothing.
namespace ModuleVector {

struct Vector3 {
  double X = 0;
  double Y = 0;
  double Z = 0;
};

struct Triangle {
  Vector3 A;
  Vector3 B;
  Vector3 C;
};

// to - from, component by component: the vector leading from `from` to `to`.
Vector3 VectorSubtract(const Vector3& from, const Vector3& to);

// (A - B) x (C - B), not scaled to unit length.
Vector3 TriangleNormal(const Vector3& A, const Vector3& B, const Vector3& C);

// sqrt((X*X + Y*Y) + Z*Z), summed in that order.
double VectorLength(const Vector3& v);

// v at unit length; the zero vector when the length is exactly 0.
Vector3 VectorNormalize(const Vector3& v);

// (X*s, Y*s, Z*s).
Vector3 VectorScale(const Vector3& v, double s);

}  // namespace ModuleVector
