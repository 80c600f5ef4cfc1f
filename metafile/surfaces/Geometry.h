#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "metafile/format/Fields.h"
#include "metafile/surfaces/Mapping.h"
#include "vector/Vector3.h"

// The surface geometry of 3DMF objects as triangles: the surfaces folder's
// contract (Parametric.h and NurbPatch.h give the curved kinds the same
// TriangleSet). Each decoder reads one object's data through Fields and
// gives its points (in the file's own axes, untransformed) and its
// triangles as indices into them, in the corner order the file gives, so
// that a TriMesh keeps its triangles exactly.
namespace Kelvane::Metafile {

// A face of the file that was cut into triangles: a polygon without holes
// whose corners faceCorners[firstCorner, firstCorner + corners) run round it
// in the file's sense, cut into triangles [firstTriangle, firstTriangle +
// triangles).
struct SourceFace {
  std::uint32_t firstTriangle = 0;
  std::uint32_t triangles = 0;
  std::uint32_t firstCorner = 0;
  std::uint32_t corners = 0;
};

struct TriangleSet {
  std::vector<Vector3> points;
  std::vector<std::array<std::uint32_t, 3>> triangles;
  // The faces the triangles were cut from, in triangle order, where the
  // file has such faces (Polygon, Mesh faces without holes, Box sides,
  // TriGrid cells); other triangles stand alone.
  std::vector<SourceFace> faces;
  std::vector<std::uint32_t> faceCorners;
  // The walk placed the object through a transform that mirrors it, which
  // turns its faces the other way round.
  bool mirrored = false;
  // Filled by the scene walk when texture mapping is asked for.
  SurfaceMapping mapping;
  // Triangles of zero area that a degenerate shape (a Box or a parametric
  // surface whose axes span no volume) left out: a flat or collapsed part
  // gives the editor nothing to draw.
  std::size_t zeroAreaLeftOut = 0;
  // The object's own name, where its Container gives it one (a name
  // element); empty otherwise.
  std::string name;
};

// Whether a triangle has no area: a side of length 0, or corners in one
// line (the sine of its angle at `a` at most 1e-9, far below any triangle a
// surface is cut into, far above the rounding of a collapsed one).
bool HasNoArea(const Vector3& a, const Vector3& b, const Vector3& c);

// Leaves out the triangles of the set that have no area, adding their
// number to zeroAreaLeftOut. Points stay as they are; a face that lost a
// triangle is no longer listed (what is left of it stands alone).
void DropZeroAreaTriangles(TriangleSet& set);

// A point or vector: three Float32 fields.
Vector3 ReadPoint(Fields& fields);

// Whether the kind is one that DecodeGeometry turns into triangles.
bool IsSurfaceGeometry(std::string_view kind);

// Reads the data of an object of a surface kind (TriMesh, Polyhedron, Mesh,
// Triangle, Polygon, GeneralPolygon, TriGrid, Box) and fills `out`.
// Bad data (an index outside its table, a count the data cannot hold, a
// truncated object) raises a RunError through fields.Fail.
//
// What comes out, by kind (`out` is emptied first):
// - TriMesh, Polyhedron: their points and their triangles, row by row as
//   the file has them. Edges are checked and dropped.
// - Mesh: its vertices; each face (with the hole contours after it) cut
//   into V + 2h - 2 triangles, faces in file order.
// - Triangle: 3 points, 1 triangle. Polygon: n points, n - 2 triangles.
// - GeneralPolygon: the points of all contours in order; filled by the
//   even-odd rule.
// - TriGrid: rows * columns points; per cell, row by row, corners a (row r,
//   column c), b (r, c+1), d (r+1, c), e (r+1, c+1): in even columns
//   (a b d) (d b e), in odd ones (a e d) (a b e).
// - Box: corner k = s + 2t + 4u at origin + s*orientation + t*major +
//   u*minor; faces -orientation, +orientation, -major, +major, -minor,
//   +minor, 2 triangles each. No data: the unit box (orientation 0 1 0,
//   major 0 0 1, minor 1 0 0, origin 0 0 0). A Box whose sides span no
//   volume (one of length 0, or all three in one plane) keeps only its
//   triangles that have area (DropZeroAreaTriangles): a flat box is its two
//   faces back to back, a box of no area has no triangle.
// Faces of the file that were cut without new points are listed in
// `faces`. Polygons keep the sense the file gives their corners; box faces turn
// counterclockwise seen from outside (the right-hand rule gives an outward
// normal), the front-face sense of the format.
// A Mesh face or Polygon whose contours cross, touch or overlap, or whose
// holes are not inside its outer contour or nest, and a GeneralPolygon
// whose contours cross, touch or overlap, are filled by the even-odd rule
// over all their contours (TriangulateFace, TriangulateEvenOdd): the counts
// above do not hold, and the points where the fill cuts edges follow the
// file's points.
void DecodeGeometry(std::string_view kind, Fields& fields, TriangleSet& out);

}  // namespace Kelvane::Metafile
