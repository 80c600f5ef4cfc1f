#include "vector/ModuleVector.h"

#include <cmath>

#include "text/RunError.h"

namespace ModuleVector {

namespace {

[[noreturn]] void ThrowNotFinite(const char* step) {
  throw Kelvane::RunError(Kelvane::ErrorKind::Overflow,
                          std::string("A vector ") + step + " overflowed a double");
}

double Sub(double a, double b) {
  const double r = a - b;
  if (!std::isfinite(r)) ThrowNotFinite("subtraction");
  return r;
}

double Add(double a, double b) {
  const double r = a + b;
  if (!std::isfinite(r)) ThrowNotFinite("sum");
  return r;
}

double Mul(double a, double b) {
  const double r = a * b;
  if (!std::isfinite(r)) ThrowNotFinite("product");
  return r;
}

double Div(double a, double b) {
  const double r = a / b;
  if (!std::isfinite(r)) ThrowNotFinite("division");
  return r;
}

}  // namespace

Vector3 VectorSubtract(const Vector3& from, const Vector3& to) {
  return {Sub(to.X, from.X), Sub(to.Y, from.Y), Sub(to.Z, from.Z)};
}

Vector3 TriangleNormal(const Vector3& A, const Vector3& B, const Vector3& C) {
  const Vector3 e1 = VectorSubtract(B, A);
  const Vector3 e2 = VectorSubtract(B, C);
  Vector3 n;
  n.X = Sub(Mul(e1.Y, e2.Z), Mul(e1.Z, e2.Y));
  n.Y = Sub(Mul(e1.Z, e2.X), Mul(e1.X, e2.Z));
  n.Z = Sub(Mul(e1.X, e2.Y), Mul(e1.Y, e2.X));
  return n;
}

double VectorLength(const Vector3& v) {
  return std::sqrt(Add(Add(Mul(v.X, v.X), Mul(v.Y, v.Y)), Mul(v.Z, v.Z)));
}

Vector3 VectorNormalize(const Vector3& v) {
  const double length = VectorLength(v);
  if (length == 0) return {0, 0, 0};
  return {Div(v.X, length), Div(v.Y, length), Div(v.Z, length)};
}

Vector3 VectorScale(const Vector3& v, double s) { return {Mul(v.X, s), Mul(v.Y, s), Mul(v.Z, s)}; }

}  // namespace ModuleVector
