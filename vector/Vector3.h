#pragma once

#include <algorithm>
#include <cmath>

// The one value type of geometry: a point or a direction in space, three
// doubles X, Y, Z. The operators here are plain IEEE arithmetic in the
// order written (sums left to right), unchecked; ModuleVector.h holds the
// checked operations whose failures a document's records report.
namespace Kelvane {

struct Vector3 {
  double X = 0;
  double Y = 0;
  double Z = 0;

  constexpr Vector3& operator+=(const Vector3& b) {
    X += b.X;
    Y += b.Y;
    Z += b.Z;
    return *this;
  }
  constexpr Vector3& operator-=(const Vector3& b) {
    X -= b.X;
    Y -= b.Y;
    Z -= b.Z;
    return *this;
  }
  constexpr Vector3& operator*=(double s) {
    X *= s;
    Y *= s;
    Z *= s;
    return *this;
  }
};

// Three corners A, B, C in the order their vertex lines are written.
struct Triangle {
  Vector3 A;
  Vector3 B;
  Vector3 C;
};

constexpr Vector3 operator+(const Vector3& a, const Vector3& b) {
  return {a.X + b.X, a.Y + b.Y, a.Z + b.Z};
}
constexpr Vector3 operator-(const Vector3& a, const Vector3& b) {
  return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}
constexpr Vector3 operator-(const Vector3& a) { return {-a.X, -a.Y, -a.Z}; }
constexpr Vector3 operator*(const Vector3& a, double s) { return {a.X * s, a.Y * s, a.Z * s}; }
constexpr Vector3 operator*(double s, const Vector3& a) { return {s * a.X, s * a.Y, s * a.Z}; }
constexpr Vector3 operator/(const Vector3& a, double s) { return {a.X / s, a.Y / s, a.Z / s}; }
constexpr bool operator==(const Vector3& a, const Vector3& b) {
  return a.X == b.X && a.Y == b.Y && a.Z == b.Z;
}

constexpr double Dot(const Vector3& a, const Vector3& b) {
  return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

constexpr Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}

// sqrt(Dot(v, v)): overflows to infinity beyond about 1e154.
inline double Length(const Vector3& v) { return std::sqrt(Dot(v, v)); }

// The length without overflow or underflow on the way, so that a radius
// of 1e200 or 1e-200 is measured as it stands.
inline double Norm(const Vector3& v) {
  const double m = std::max({std::fabs(v.X), std::fabs(v.Y), std::fabs(v.Z)});
  if (m == 0 || !std::isfinite(m)) return m;
  const double x = v.X / m;
  const double y = v.Y / m;
  const double z = v.Z / m;
  return m * std::sqrt(x * x + y * y + z * z);
}

// One coordinate by number: 0 = X, 1 = Y, 2 = Z.
constexpr double Coordinate(const Vector3& p, int axis) {
  return axis == 0 ? p.X : axis == 1 ? p.Y : p.Z;
}
constexpr void SetCoordinate(Vector3& p, int axis, double value) {
  (axis == 0 ? p.X : axis == 1 ? p.Y : p.Z) = value;
}

}  // namespace Kelvane
