#include "metafile/scene/Transform.h"

#include <cmath>
#include <cstdint>

#include "metafile/surfaces/Geometry.h"

namespace Kelvane::Metafile {

namespace {

constexpr EnumName kAxes[] = {{"X", 0}, {"Y", 1}, {"Z", 2}};

Matrix4 Translation(const Vector3& t) {
  Matrix4 m;
  m.m[3][0] = t.X;
  m.m[3][1] = t.Y;
  m.m[3][2] = t.Z;
  m.identity = false;
  return m;
}

// A rotation about a coordinate axis, counter-clockwise seen from the axis'
// positive end, for row vectors.
Matrix4 AxisRotation(std::uint32_t axis, double radians) {
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  Matrix4 m;
  const int a = axis == 0 ? 1 : axis == 1 ? 2 : 0;  // the two axes that turn
  const int b = axis == 0 ? 2 : axis == 1 ? 0 : 1;
  m.m[a][a] = c;
  m.m[a][b] = s;
  m.m[b][a] = -s;
  m.m[b][b] = c;
  m.identity = false;
  return m;
}

// The rotation of row vectors that turns by `radians` about the unit axis
// (x, y, z) through the origin (Rodrigues' formula, transposed).
Matrix4 Rotation(double x, double y, double z, double radians) {
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  const double t = 1 - c;
  const double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                          {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                          {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
  Matrix4 m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m.m[i][j] = r[j][i];
  m.identity = false;
  return m;
}

Matrix4 About(const Vector3& point, const Matrix4& rotation) {
  return Multiply(Multiply(Translation(-point), rotation), Translation(point));
}

}  // namespace

Matrix4 Multiply(const Matrix4& a, const Matrix4& b) {
  if (a.identity) return b;
  if (b.identity) return a;
  Matrix4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  r.identity = false;
  return r;
}

bool Mirrors(const Matrix4& matrix) {
  if (matrix.identity) return false;
  const auto& m = matrix.m;
  const double determinant = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                             m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                             m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  return determinant < 0;
}

bool IsTransformKind(std::string_view kind) {
  return kind == "Translate" || kind == "Scale" || kind == "Rotate" || kind == "RotateAboutPoint" ||
         kind == "RotateAboutAxis" || kind == "Matrix" || kind == "Quaternion" || kind == "Reset";
}

bool ReadTransform(std::string_view kind, Fields& fields, Matrix4& matrix, bool& reset) {
  reset = false;
  if (kind == "Translate") {
    matrix = Translation(ReadPoint(fields));
  } else if (kind == "Scale") {
    const Vector3 s = ReadPoint(fields);
    matrix = Matrix4{};
    matrix.m[0][0] = s.X;
    matrix.m[1][1] = s.Y;
    matrix.m[2][2] = s.Z;
    matrix.identity = false;
  } else if (kind == "Rotate") {
    const std::uint32_t axis = fields.Enum({kAxes[0], kAxes[1], kAxes[2]});
    matrix = AxisRotation(axis, fields.Float32());
  } else if (kind == "RotateAboutPoint") {
    const std::uint32_t axis = fields.Enum({kAxes[0], kAxes[1], kAxes[2]});
    const double radians = fields.Float32();
    matrix = About(ReadPoint(fields), AxisRotation(axis, radians));
  } else if (kind == "RotateAboutAxis") {
    const Vector3 origin = ReadPoint(fields);
    const Vector3 axis = ReadPoint(fields);
    const double radians = fields.Float32();
    const double length = Length(axis);
    if (!(length > 0) || !std::isfinite(length)) {
      fields.Fail(ErrorKind::InvalidArgument, "The axis of a RotateAboutAxis has no direction");
    }
    const Vector3 unit = axis / length;
    matrix = About(origin, Rotation(unit.X, unit.Y, unit.Z, radians));
  } else if (kind == "Matrix") {
    matrix = Matrix4{};
    for (auto& row : matrix.m)
      for (double& value : row) value = fields.Float32();
    matrix.identity = false;
  } else if (kind == "Quaternion") {
    const double w = fields.Float32();
    const double x = fields.Float32();
    const double y = fields.Float32();
    const double z = fields.Float32();
    const double length = std::sqrt(w * w + x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length)) {
      fields.Fail(ErrorKind::InvalidArgument, "A Quaternion of length 0 gives no rotation");
    }
    const double qw = w / length, qx = x / length, qy = y / length, qz = z / length;
    // The rotation q v q* for column vectors, transposed for row vectors.
    const double r[3][3] = {
        {1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy - qw * qz), 2 * (qx * qz + qw * qy)},
        {2 * (qx * qy + qw * qz), 1 - 2 * (qx * qx + qz * qz), 2 * (qy * qz - qw * qx)},
        {2 * (qx * qz - qw * qy), 2 * (qy * qz + qw * qx), 1 - 2 * (qx * qx + qy * qy)}};
    matrix = Matrix4{};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) matrix.m[i][j] = r[j][i];
    matrix.identity = false;
  } else if (kind == "Reset") {
    matrix = Matrix4{};
    reset = true;
  } else {
    return false;
  }
  return true;
}

}  // namespace Kelvane::Metafile
