#pragma once

// The editor's polygon record as the writer made it before its corners
// were made once per object and its records at the stream's end: every
// number by the slow way of the editor's form (the shortest fixed form
// with six decimals, from the standard library), the corners judged from
// their own written millionths, the record appended to a string piece by
// piece. The fuzz target holds the writer's quick ways against these, byte
// for byte.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "t3d/TextureAxes.h"
#include "vector/Vector3.h"

namespace Kelvane::Reference::Editor {

constexpr std::size_t kMostCorners = 16;
constexpr std::int64_t kSamePointMillionths = 2000;

// The editor's number form of any value, the slow way.
inline void AppendNumber(std::string& text, double value) {
  char digits[330];
  const auto [end, error] =
      std::to_chars(digits, digits + sizeof digits, std::fabs(value), std::chars_format::fixed, 6);
  std::string_view form(digits, error == std::errc() ? static_cast<std::size_t>(end - digits) : 0);
  if (form.empty() || !std::isfinite(value)) form = "0.000000";
  const bool zero = form.find_first_not_of("0.") == std::string_view::npos;
  text += value < 0 && !zero ? '-' : '+';
  const std::size_t integerDigits = form.find('.');
  if (integerDigits < 5) text.append(5 - integerDigits, '0');
  text += form;
}

// The millionths the form writes, read back from it; false when not
// finite or beyond 63 bits.
inline bool WrittenMillionths(double value, std::int64_t& millionths) {
  if (!std::isfinite(value)) return false;
  std::string form;
  AppendNumber(form, value);
  constexpr auto kLargest = static_cast<std::uint64_t>(INT64_MAX);
  std::uint64_t all = 0;
  for (const char c : std::string_view(form).substr(1)) {
    if (c == '.') continue;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (all > (kLargest - digit) / 10) return false;
    all = all * 10 + digit;
  }
  millionths = form[0] == '-' ? -static_cast<std::int64_t>(all) : static_cast<std::int64_t>(all);
  return true;
}

enum class Verdict { kKept, kTooFewCorners, kOnALine };

using Millionths = std::array<std::int64_t, 3>;

inline bool SamePoint(const Millionths& a, const Millionths& b) {
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int64_t d = a[k] - b[k];
    if (!(d > -kSamePointMillionths && d < kSamePointMillionths)) return false;
  }
  return true;
}

inline bool OnOneLine(const Millionths* at, std::size_t count) {
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

inline Verdict JudgeCorners(Vector3* corners, std::uint32_t* indices, std::size_t& count,
                            std::size_t& merged) {
  merged = 0;
  if (count > kMostCorners) return Verdict::kKept;
  constexpr std::int64_t kJudged = std::int64_t{1} << 62;
  Millionths at[kMostCorners];
  for (std::size_t i = 0; i < count; ++i) {
    for (int k = 0; k < 3; ++k) {
      std::int64_t& m = at[i][static_cast<std::size_t>(k)];
      if (!WrittenMillionths(Coordinate(corners[i], k), m) || m >= kJudged || m <= -kJudged) {
        return Verdict::kKept;
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
  if (kept < 3) return Verdict::kTooFewCorners;
  return OnOneLine(at, kept) ? Verdict::kOnALine : Verdict::kKept;
}

inline bool Normal(const Vector3& v0, const Vector3& v1, const Vector3& v2, Vector3& normal) {
  const Vector3 e1 = v1 - v0;
  const Vector3 e2 = v2 - v0;
  const Vector3 cross = Cross(e1, e2);
  const double length = Length(cross);
  const double edges = std::sqrt(Dot(e1, e1) * Dot(e2, e2));
  if (!(length > 1e-12 * edges) || !std::isfinite(length)) return false;
  normal = cross / length;
  return true;
}

inline bool FlatAndConvex(const Vector3* corners, std::size_t count, Vector3& normal) {
  if (count < 3 || count > kMostCorners) return false;
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
  for (std::size_t i = 1; i < count; ++i) {
    if (std::fabs(Dot(axis, corners[i] - corners[0])) > 1e-5 * size) return false;
  }
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
  return Normal(corners[0], corners[1], corners[2], normal) && Dot(normal, axis) > 0;
}

inline void AppendVector(std::string& text, const Vector3& v) {
  AppendNumber(text, v.X);
  text += ',';
  AppendNumber(text, v.Y);
  text += ',';
  AppendNumber(text, v.Z);
  text += "\r\n";
}

inline Vector3 Unit(const Vector3& v) {
  const double length = Length(v);
  if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
  return v / length;
}

inline void PolygonRecord(std::string& text, std::int32_t link, const Vector3* corners,
                          std::size_t count, const Vector3& normal, std::string_view texture,
                          const Unreal::TextureAxes* axes, std::int32_t flags) {
  text += "Begin Polygon Item=OUTSIDE ";
  if (!texture.empty()) {
    text += "Texture=";
    text += texture;
    text += ' ';
  }
  if (flags != 0) {
    text += "Flags=";
    text += std::to_string(flags);
    text += ' ';
  }
  text += "Link=";
  char number[16];
  text.append(number, std::to_chars(number, number + sizeof number, link).ptr);
  text += "\r\nOrigin ";
  AppendVector(text, axes != nullptr ? axes->origin : corners[0]);
  text += "Normal ";
  AppendVector(text, normal);
  text += "TextureU ";
  AppendVector(text, axes != nullptr ? axes->u : Unit(corners[0] - corners[1]));
  text += "TextureV ";
  AppendVector(text, axes != nullptr ? axes->v : Unit(corners[2] - corners[1]));
  for (std::size_t k = 0; k < count; ++k) {
    text += "Vertex ";
    AppendVector(text, corners[k]);
  }
  text += "End Polygon\r\n";
}

}  // namespace Kelvane::Reference::Editor
