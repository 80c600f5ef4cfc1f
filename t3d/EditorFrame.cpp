#include "t3d/EditorFrame.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "t3d/NumberForm.h"

namespace Kelvane::Unreal {

bool FlatAndConvex(const EditorCorner* const* corners, std::size_t count, Vector3& normal) {
  if (count < 3 || count > kMostCorners) return false;
  const auto at = [corners](std::size_t i) -> const Vector3& { return corners[i]->point; };
  // Newell's normal: its direction is the corners' sense by the right-hand
  // rule, whatever their shape.
  Vector3 newell{0, 0, 0};
  double size = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Vector3& a = at(i);
    const Vector3& b = at((i + 1) % count);
    newell.X += (a.Y - b.Y) * (a.Z + b.Z);
    newell.Y += (a.Z - b.Z) * (a.X + b.X);
    newell.Z += (a.X - b.X) * (a.Y + b.Y);
    size = std::max(size, Length(a - at(0)));
  }
  const double length = Length(newell);
  if (!(length > 0) || !std::isfinite(length)) return false;
  const Vector3 axis = newell / length;
  // On one plane, within what single-precision points in a file hold.
  for (std::size_t i = 1; i < count; ++i) {
    if (std::fabs(Dot(axis, at(i) - at(0))) > 1e-5 * size) return false;
  }
  // Every corner turns the same way round the axis, and the turns add up
  // to one full turn: convex, and not a star that winds twice.
  constexpr double kFullTurn = 6.283185307179586;
  double turning = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Vector3 e1 = at((i + 1) % count) - at(i);
    const Vector3 e2 = at((i + 2) % count) - at((i + 1) % count);
    const double sine = Dot(axis, Cross(e1, e2));
    if (!(sine > 1e-9 * Length(e1) * Length(e2))) return false;
    turning += std::atan2(sine, Dot(e1, e2));
  }
  if (std::fabs(turning - kFullTurn) > 1e-6) return false;
  return EditorNormal(at(0), at(1), at(2), normal) && Dot(normal, axis) > 0;
}

void MakeEditorCorner(EditorCorner& corner, const Vector3& point) {
  corner.point = point;
  constexpr std::int64_t kJudged = std::int64_t{1} << 62;
  // Below 100000 in size: five integer digits, the form's room.
  constexpr std::int64_t kFormed = 100000LL * 1000000;
  bool judged = true;
  bool formed = true;
  for (int k = 0; k < 3; ++k) {
    std::int64_t& m = corner.at[k];
    const double value = Coordinate(point, k);
    if (NumberForm::QuickMillionths(value, m)) [[likely]] {
      formed &= m < kFormed && m > -kFormed;
    } else {
      formed = false;
      if (!WrittenMillionths(value, m)) {
        judged = false;
        m = 0;
      }
    }
    judged &= m < kJudged && m > -kJudged;
  }
  corner.judged = judged;
  corner.inExtent = false;
  corner.length = 0;
  if (!formed) return;
  char* end = NumberForm::PutEditorMillionths(corner.form, corner.at[0]);
  *end++ = ',';
  end = NumberForm::PutEditorMillionths(end, corner.at[1]);
  *end++ = ',';
  end = NumberForm::PutEditorMillionths(end, corner.at[2]);
  *end++ = '\r';
  *end++ = '\n';
  corner.length = static_cast<std::uint8_t>(end - corner.form);
}

namespace {

// Within kSamePointMillionths on every axis. The difference of judged
// millionths holds in 64 bits; it lies in the box exactly when, moved up by
// the box's half less one, it is at most the box's width as an unsigned
// number (below the box it wraps round far above it).
bool SamePoint(const EditorCorner& a, const EditorCorner& b) {
  constexpr auto kHalf = static_cast<std::uint64_t>(kSamePointMillionths - 1);
  // Most pairs are told apart by their first axis.
  for (int k = 0; k < 3; ++k) {
    const std::uint64_t d =
        static_cast<std::uint64_t>(a.at[k]) - static_cast<std::uint64_t>(b.at[k]);
    if (d + kHalf > 2 * kHalf) return false;
  }
  return true;
}

// Whether every corner lies on the line through the first two: the cross
// products of the edges from the first corner, exact. The edges of
// coordinates below 2^62 hold in 64 bits; their products are taken in 64
// bits while they fit, as for every edge shorter than 2147 units, else in
// 128.
bool OnOneLine(const EditorCorner* const* corners, std::size_t count) {
  __extension__ typedef __int128 Int128;
  const std::int64_t* const first = corners[0]->at;
  std::int64_t e1[3];
  for (int k = 0; k < 3; ++k) e1[k] = corners[1]->at[k] - first[k];
  for (std::size_t i = 2; i < count; ++i) {
    std::int64_t e[3];
    for (int k = 0; k < 3; ++k) e[k] = corners[i]->at[k] - first[k];
    for (int k = 0; k < 3; ++k) {
      const int a = (k + 1) % 3;
      const int b = (k + 2) % 3;
      std::int64_t p = 0;
      std::int64_t q = 0;
      if (!__builtin_mul_overflow(e1[a], e[b], &p) && !__builtin_mul_overflow(e1[b], e[a], &q)) {
        if (p != q) return false;
      } else if (Int128{e1[a]} * e[b] != Int128{e1[b]} * e[a]) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

EditorVerdict JudgeEditorCorners(const EditorCorner** corners, std::uint32_t* indices,
                                 std::size_t& count, std::size_t& merged) {
  merged = 0;
  if (count == 3) {
    // A triangle, as most polygons are: the same steps unrolled.
    const EditorCorner& a = *corners[0];
    const EditorCorner& b = *corners[1];
    const EditorCorner& c = *corners[2];
    if (!(a.judged && b.judged && c.judged)) return EditorVerdict::kKept;
    if (!SamePoint(b, a) && !SamePoint(c, b) && !SamePoint(c, a)) {
      return OnOneLine(corners, 3) ? EditorVerdict::kOnALine : EditorVerdict::kKept;
    }
  }
  if (count > kMostCorners) return EditorVerdict::kKept;
  for (std::size_t i = 0; i < count; ++i) {
    if (!corners[i]->judged) return EditorVerdict::kKept;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (kept > 0 && SamePoint(*corners[i], *corners[kept - 1])) continue;
    corners[kept] = corners[i];
    if (indices != nullptr) indices[kept] = indices[i];
    ++kept;
  }
  while (kept > 1 && SamePoint(*corners[kept - 1], *corners[0])) --kept;
  merged = count - kept;
  count = kept;
  if (kept < 3) return EditorVerdict::kTooFewCorners;
  return OnOneLine(corners, kept) ? EditorVerdict::kOnALine : EditorVerdict::kKept;
}

}  // namespace Kelvane::Unreal
