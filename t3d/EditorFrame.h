#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "t3d/NumberForm.h"
#include "t3d/TextureAxes.h"
#include "vector/Vector3.h"

// Polygons as the editor itself writes them (the editor frame): the model
// not mirrored, faces turned outward, unit normals, no polygon of zero area,
// a face of up to kMostCorners corners as one polygon, and numbers in the
// editor's form.
namespace Kelvane::Unreal {

// The most corners one editor polygon takes.
constexpr std::size_t kMostCorners = 16;

// A point read as a, b, c in the model becomes X = a, Y = c, Z = b: up
// stays up and the model is not mirrored (the determinant is -1, which
// takes the model's right-handed frame to the editor's left-handed one).
inline Vector3 MapAxesToEditor(double a, double b, double c) { return {a, c, b}; }

// The unit normal (V1 - V0) x (V2 - V0) of a polygon's first three
// corners; false when they span no area (a repeated corner, or three on a
// line), so the polygon is left out.
inline bool EditorNormal(const Vector3& v0, const Vector3& v1, const Vector3& v2,
                         Vector3& normal) {
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

// Two corners closer than this on every axis are one point to the UE1
// editor (a box test): 0.002 units, in the millionths the corners are
// written with.
constexpr std::int64_t kSamePointMillionths = 2000;

// A corner of the editor's form, made once for all the polygons that share
// it: the point, the millionths its coordinates are written with, and its
// vector form ("+00001.000000,-00002.500000,+00000.000000" and CR LF) when
// every coordinate is below 100000 in size, which is every corner of a
// model in practice.
struct EditorCorner {
  // The longest form: three numbers of 13 characters, two commas, CR LF,
  // and the byte past the end that a form may write.
  static constexpr std::size_t kRoom = 3 * 13 + 4 + 1;
  Vector3 point;
  std::int64_t at[3];
  // Every coordinate's millionths are exact and within the range the
  // corners are judged in (below 2^62 in size).
  bool judged;
  // The form's length; 0 where the form is made with each polygon.
  std::uint8_t length;
  // The writer's box around the corners written holds this one already:
  // each corner is taken into it once, however many polygons share it.
  mutable bool inExtent;
  char form[kRoom];
};
void MakeEditorCorner(EditorCorner& corner, const Vector3& point);

// Whether corners in a row (3 to kMostCorners) make one editor polygon: on
// one plane, and convex with every corner turning the same way, none on a
// line with its neighbours; its EditorNormal when they do.
bool FlatAndConvex(const EditorCorner* const* corners, std::size_t count, Vector3& normal);

// What the editors make of a polygon's corners as written.
enum class EditorVerdict {
  kKept,
  // Fewer than three corners are left once those the editor takes for one
  // point are merged.
  kTooFewCorners,
  // Every corner lies on one line at the six decimals written, whatever the
  // doubles before rounding said: the Normal would contradict the corners.
  kOnALine,
};

// Judges corners in a row as the editor reads them back: each corner that
// lies within kSamePointMillionths on every axis of the corner kept before
// it (the last one of the first one too) is merged into that one, first
// kept; `indices`, when given, is compacted alongside. `count` becomes the
// corners left and `merged` how many went. Corners beyond the form's exact
// range (not `judged`) are not judged: kKept.
EditorVerdict JudgeEditorCorners(const EditorCorner** corners, std::uint32_t* indices,
                                 std::size_t& count, std::size_t& merged);

// The room an editor polygon record of `count` corners may take, whatever
// its numbers: its head line with a texture name of `textureLength`
// characters and flags, and a word and a vector form on each other line.
constexpr std::size_t EditorRecordRoom(std::size_t count, std::size_t textureLength) {
  constexpr std::size_t kVector = 3 * NumberForm::kEditorNumberRoom + 4;
  return 64 + 24 + textureLength + (4 + count) * (16 + kVector) + 16;
}

namespace EditorRecord {

inline char* PutText(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

// The unit vector of v, or zero for a zero vector.
inline Vector3 Unit(const Vector3& v) {
  const double length = Length(v);
  if (!(length > 0) || !std::isfinite(length)) return {0, 0, 0};
  return v / length;
}

// A corner's vector form: copied when it is made already. The whole room
// is copied, a fixed size, which is quicker; what lies past the form is
// overwritten by the next characters.
[[gnu::always_inline]] inline char* PutCorner(char* out, const EditorCorner& corner) {
  if (corner.length != 0) [[likely]] {
    std::memcpy(out, corner.form, EditorCorner::kRoom);
    return out + corner.length;
  }
  return NumberForm::PutEditorVector(out, corner.point);
}

}  // namespace EditorRecord

// One polygon record in the editor's form, made at `out`, which has
// EditorRecordRoom for it; returns its end. "Begin Polygon Item=OUTSIDE
// [Texture=NAME ][Flags=N ]Link=N", Origin, Normal, TextureU, TextureV,
// one Vertex line per corner, "End Polygon". `corners` are in the written order and
// `normal` is their EditorNormal. With axes, Origin, TextureU and TextureV
// are those; else the edge axes: the first corner, and the unit edges from
// the second corner to the first and to the third.
// The link number is counted up (PutLink), and must be below the largest.
// Inline, so that the writer's MakeEditorRecord holds it whole.
inline char* PutEditorRecord(char* out, LinkDigits& link, const EditorCorner* const* corners,
                             std::size_t count, const Vector3& normal, std::string_view texture,
                             const TextureAxes* axes, std::int32_t flags) {
  using EditorRecord::PutCorner;
  using EditorRecord::PutText;
  using EditorRecord::Unit;
  using NumberForm::PutEditorUnitVector;
  using NumberForm::PutEditorVector;
  if (texture.empty() && flags == 0) [[likely]] {
    out = PutText(out, "Begin Polygon Item=OUTSIDE Link=");
  } else {
    out = PutText(out, "Begin Polygon Item=OUTSIDE ");
    if (!texture.empty()) {
      out = PutText(out, "Texture=");
      out = PutText(out, texture);
      *out++ = ' ';
    }
    if (flags != 0) {
      out = PutText(out, "Flags=");
      out = std::to_chars(out, out + 11, flags).ptr;
      *out++ = ' ';
    }
    out = PutText(out, "Link=");
  }
  out = PutLink(out, link);
  out = PutText(out, "\r\nOrigin ");
  out = axes != nullptr ? PutEditorVector(out, axes->origin) : PutCorner(out, *corners[0]);
  // The normal and the edge axes are unit vectors; texture axes are not.
  out = PutText(out, "Normal ");
  out = PutEditorUnitVector(out, normal);
  out = PutText(out, "TextureU ");
  out = axes != nullptr ? PutEditorVector(out, axes->u)
                        : PutEditorUnitVector(out, Unit(corners[0]->point - corners[1]->point));
  out = PutText(out, "TextureV ");
  out = axes != nullptr ? PutEditorVector(out, axes->v)
                        : PutEditorUnitVector(out, Unit(corners[2]->point - corners[1]->point));
  for (std::size_t k = 0; k < count; ++k) {
    out = PutText(out, "Vertex ");
    out = PutCorner(out, *corners[k]);
  }
  return PutText(out, "End Polygon\r\n");
}

// The corners of an object's points in the editor's form, each made the
// first time a polygon names it (Made, then MakeEditorCorner): a table of
// 96 bytes a point, not cleared first.
class EditorCornerTable {
 public:
  explicit EditorCornerTable(std::size_t points)
      : corners_(std::make_unique_for_overwrite<EditorCorner[]>(points)) {
    for (std::size_t i = 0; i < points; ++i) corners_[i].length = kNotMade;
  }
  EditorCorner& operator[](std::size_t i) { return corners_[i]; }
  EditorCorner* data() { return corners_.get(); }
  static bool Made(const EditorCorner& corner) { return corner.length != kNotMade; }

 private:
  static constexpr std::uint8_t kNotMade = 0xFF;
  static_assert(EditorCorner::kRoom < kNotMade);
  std::unique_ptr<EditorCorner[]> corners_;
};

}  // namespace Kelvane::Unreal
