#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "t3d/PolygonRecords.h"
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
bool EditorNormal(const Vector3& v0, const Vector3& v1, const Vector3& v2, Vector3& normal);

// Whether corners in a row (3 to kMostCorners) make one editor polygon: on
// one plane, and convex with every corner turning the same way, none on a
// line with its neighbours; its EditorNormal when they do.
bool FlatAndConvex(const Vector3* corners, std::size_t count, Vector3& normal);

// Two corners closer than this on every axis are one point to the UE1
// editor (a box test): 0.002 units, in the millionths the corners are
// written with.
constexpr std::int64_t kSamePointMillionths = 2000;

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
// corners left and `merged` how many went. Coordinates beyond the form's
// exact range (millionths past 2^62) are not judged: kKept.
EditorVerdict JudgeEditorCorners(Vector3* corners, std::uint32_t* indices, std::size_t& count,
                                 std::size_t& merged);

// One polygon record in the editor's form: "Begin Polygon Item=OUTSIDE
// [Texture=NAME ][Flags=N ]Link=N", Origin, Normal, TextureU, TextureV, one Vertex
// line per corner, "End Polygon". `corners` are in the written order and
// `normal` is their EditorNormal. With axes, Origin, TextureU and TextureV
// are those; else the edge axes: the first corner, and the unit edges from
// the second corner to the first and to the third.
void WriteEditorPolygon(std::string& text, std::int32_t link, const Vector3* corners,
                        std::size_t count, const Vector3& normal, std::string_view texture,
                        const TextureAxes* axes, std::int32_t flags = 0);

}  // namespace Kelvane::Unreal
