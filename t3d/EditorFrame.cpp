#include "t3d/EditorFrame.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "t3d/NumberForm.h"

namespace Kelvane::Unreal {

namespace {

void AppendEditorVector(std::string& text, const Vector3& v) {
  AppendEditorNumber(text, v.X);
  text += ',';
  AppendEditorNumber(text, v.Y);
  text += ',';
  AppendEditorNumber(text, v.Z);
  text += "\r\n";
}

// The unit vector of v, or zero for a zero vector.
Vector3 Unit(const Vector3& v) {
  const double length = Length(v);
  if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
  return v / length;
}

}  // namespace

bool EditorNormal(const Vector3& v0, const Vector3& v1, const Vector3& v2, Vector3& normal) {
  const Vector3 e1 = v1 - v0;
  const Vector3 e2 = v2 - v0;
  const Vector3 cross = Cross(e1, e2);
  const double length = Length(cross);
  const double edges = std::sqrt(Dot(e1, e1) * Dot(e2, e2));
  // Three corners on a line give a cross product of rounding noise only:
  // the sine of the angle between the edges is below what a double holds.
  if (!(length > 1e-12 * edges) || !std::isfinite(length)) return false;
  normal = cross / length;
  return true;
}

bool FlatAndConvex(const Vector3* corners, std::size_t count, Vector3& normal) {
  if (count < 3 || count > kMostCorners) return false;
  // Newell's normal: its direction is the corners' sense by the right-hand
  // rule, whatever their shape.
  Vector3 newell{0, 0, 0};
  double size = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Vector3& a = corners[i];
    const Vector3& b = corners[(i + 1) % count];
    newell.X += (a.Y - b.Y) * (a.Z + b.Z);
    newell.Y += (a.Z - b.Z) * (a.X + b.X);
    newell.Z += (a.X - b.X) * (a.Y + b.Y);
    size = std::max(size, Length(a - corners[0]));
  }
  const double length = Length(newell);
  if (!(length > 0) || !std::isfinite(length)) return false;
  const Vector3 axis = newell / length;
  // On one plane, within what single-precision points in a file hold.
  for (std::size_t i = 1; i < count; ++i) {
    if (std::fabs(Dot(axis, corners[i] - corners[0])) > 1e-5 * size) return false;
  }
  // Every corner turns the same way round the axis, and the turns add up
  // to one full turn: convex, and not a star that winds twice.
  constexpr double kFullTurn = 6.283185307179586;
  double turning = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Vector3 e1 = corners[(i + 1) % count] - corners[i];
    const Vector3 e2 = corners[(i + 2) % count] - corners[(i + 1) % count];
    const double sine = Dot(axis, Cross(e1, e2));
    if (!(sine > 1e-9 * Length(e1) * Length(e2))) return false;
    turning += std::atan2(sine, Dot(e1, e2));
  }
  if (std::fabs(turning - kFullTurn) > 1e-6) return false;
  return EditorNormal(corners[0], corners[1], corners[2], normal) && Dot(normal, axis) > 0;
}

namespace {

using Millionths = std::array<std::int64_t, 3>;

bool SamePoint(const Millionths& a, const Millionths& b) {
  for (int k = 0; k < 3; ++k) {
    const std::int64_t d = a[static_cast<std::size_t>(k)] - b[static_cast<std::size_t>(k)];
    if (!(d > -kSamePointMillionths && d < kSamePointMillionths)) return false;
  }
  return true;
}

// Whether every corner lies on the line through the first two: the cross
// products of the edges from the first corner, exact in 128 bits for
// coordinates below 2^62.
bool OnOneLine(const Millionths* at, std::size_t count) {
  __extension__ typedef __int128 Int128;
  Int128 e1[3];
  for (int k = 0; k < 3; ++k) e1[k] = Int128{at[1][k]} - at[0][k];
  for (std::size_t i = 2; i < count; ++i) {
    Int128 e[3];
    for (int k = 0; k < 3; ++k) e[k] = Int128{at[i][k]} - at[0][k];
    if (e1[1] * e[2] != e1[2] * e[1] || e1[2] * e[0] != e1[0] * e[2] ||
        e1[0] * e[1] != e1[1] * e[0]) {
      return false;
    }
  }
  return true;
}

}  // namespace

EditorVerdict JudgeEditorCorners(Vector3* corners, std::uint32_t* indices, std::size_t& count,
                                 std::size_t& merged) {
  merged = 0;
  if (count > kMostCorners) return EditorVerdict::kKept;
  constexpr std::int64_t kJudged = std::int64_t{1} << 62;
  Millionths at[kMostCorners];
  for (std::size_t i = 0; i < count; ++i) {
    for (int k = 0; k < 3; ++k) {
      std::int64_t& m = at[i][static_cast<std::size_t>(k)];
      if (!WrittenMillionths(Coordinate(corners[i], k), m) || m >= kJudged || m <= -kJudged) {
        return EditorVerdict::kKept;
      }
    }
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (kept > 0 && SamePoint(at[i], at[kept - 1])) continue;
    at[kept] = at[i];
    corners[kept] = corners[i];
    if (indices != nullptr) indices[kept] = indices[i];
    ++kept;
  }
  while (kept > 1 && SamePoint(at[kept - 1], at[0])) --kept;
  merged = count - kept;
  count = kept;
  if (kept < 3) return EditorVerdict::kTooFewCorners;
  return OnOneLine(at, kept) ? EditorVerdict::kOnALine : EditorVerdict::kKept;
}

void WriteEditorPolygon(std::string& text, std::int32_t link, const Vector3* corners,
                        std::size_t count, const Vector3& normal, std::string_view texture,
                        const TextureAxes* axes, std::int32_t flags) {
  PutPolygonHead(text, texture, flags);
  char number[16];
  text.append(number, std::to_chars(number, number + sizeof number, link).ptr);
  text += "\r\nOrigin ";
  AppendEditorVector(text, axes != nullptr ? axes->origin : corners[0]);
  text += "Normal ";
  AppendEditorVector(text, normal);
  text += "TextureU ";
  AppendEditorVector(text, axes != nullptr ? axes->u : Unit(corners[0] - corners[1]));
  text += "TextureV ";
  AppendEditorVector(text, axes != nullptr ? axes->v : Unit(corners[2] - corners[1]));
  for (std::size_t k = 0; k < count; ++k) {
    text += "Vertex ";
    AppendEditorVector(text, corners[k]);
  }
  text += "End Polygon\r\n";
}

}  // namespace Kelvane::Unreal
