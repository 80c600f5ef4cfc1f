#pragma once

#include <string_view>

#include "metafile/format/Fields.h"
#include "vector/Vector3.h"

// The transforms of the scene walk: the matrices that place an object, as
// the format's transform objects give them.
namespace Kelvane::Metafile {

// A 4 x 4 matrix acting on row vectors: p' = p M, as the format's
// transforms are defined.
struct Matrix4 {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  bool identity = true;
};

// a M b: `a` acts first.
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);

// Whether the matrix turns a right-handed frame into a left-handed one.
bool Mirrors(const Matrix4& matrix);

// Whether the kind is a transform object that ReadTransform reads.
bool IsTransformKind(std::string_view kind);

// The matrix of a transform object (Translate, Scale, Rotate,
// RotateAboutPoint, RotateAboutAxis, Matrix, Quaternion, Reset), read from
// its data; false for a kind that is no transform.
bool ReadTransform(std::string_view kind, Fields& fields, Matrix4& matrix, bool& reset);

// The point placed by the matrix. Inline: the walk places every point of
// every object through it.
inline Vector3 Apply(const Matrix4& matrix, const Vector3& p) {
  if (matrix.identity) return p;
  const auto& m = matrix.m;
  Vector3 r{p.X * m[0][0] + p.Y * m[1][0] + p.Z * m[2][0] + m[3][0],
            p.X * m[0][1] + p.Y * m[1][1] + p.Z * m[2][1] + m[3][1],
            p.X * m[0][2] + p.Y * m[1][2] + p.Z * m[2][2] + m[3][2]};
  const double w = p.X * m[0][3] + p.Y * m[1][3] + p.Z * m[2][3] + m[3][3];
  if (w != 1.0 && w != 0.0) {
    r = r / w;
  }
  return r;
}

}  // namespace Kelvane::Metafile
