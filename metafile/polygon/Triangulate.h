#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vector/Vector3.h"

// Cutting planar polygons (with holes) into triangles: the polygon folder's
// contract. Pure functions on points in space (Vector3), knowing nothing
// of any file format: the points are given as a table, contours as index
// lists into it, and the triangles come back as index triples into the
// same table. Only the even-odd fill of crossing contours adds points (at
// the end of the table). Ear clipping is in EarClipping.cpp; the even-odd
// fill (FlatFace.h: the face in its plane, its crossings, its slabs) and
// the choice between the two in EvenOddFill.cpp.
namespace Kelvane::Polygon {

using TriangleIndices = std::array<std::uint32_t, 3>;

// Above this many corners in one face (the outer contour, the holes, and two
// more for each hole's bridge) the face is cut as a fan instead of by ear
// clipping. Ear clipping costs up to the square of the corners; a fan is
// linear but only right for convex faces, so the limit sits where ear
// clipping still takes well under a second.
constexpr std::size_t kEarClippingLimit = 10000;

// Up to this many corners in one face (all its contours together), contours
// that cross are found and filled by the even-odd rule in slabs. Both take
// up to the square of the edges; above the limit a face is cut as if its
// contours did not cross.
constexpr std::size_t kEvenOddEdgeLimit = 5000;

// The two coordinates (0 = x, 1 = y, 2 = z) a polygon is seen in when it is
// looked at along the dominant axis of its normal. The pair is chosen so
// that a contour going counterclockwise seen from the tip of the normal has
// a positive area in it.
struct PlaneAxes {
  int u = 0;
  int v = 1;
};

// The normal of a contour by Newell's method: its length is twice the area,
// its direction the contour's sense by the right-hand rule. Zero for a
// degenerate contour.
Vector3 NewellNormal(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& contour);

// The plane to look at a polygon of that normal in (x-y for a zero normal).
PlaneAxes DominantPlane(const Vector3& normal);

// The contour's area in that plane, positive when counterclockwise.
double SignedArea(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& contour,
                  PlaneAxes axes);

// Appends the triangles of one face: the `outer` contour less the `holes`
// (each a list of at least one index; empty holes are left out). Exactly
// V + 2h - 2 triangles come out for V corners in all and h holes, whatever
// the input: collinear, repeated or zero-area corners give zero-area
// triangles, never fewer. Every triangle turns the same way as `outer` does
// (holes may be given either way round). Faces of more than
// kEarClippingLimit corners are cut as a fan.
void Triangulate(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& outer,
                 const std::vector<std::vector<std::uint32_t>>& holes,
                 std::vector<TriangleIndices>& out);

// Appends the triangles of one face of a Mesh (its outer contour and the
// hole contours after it) or of a Polygon (no holes). Where the contours
// cross, touch or overlap one another or themselves, or a hole is not inside
// the outer contour or lies inside another hole, the face is the even-odd
// region of all its contours, cut in slabs: points where an edge meets a
// slab's border are appended to `points` (on the plane of the face), and no
// count formula holds. Otherwise, and above kEvenOddEdgeLimit corners, as
// Triangulate: V + 2h - 2 triangles, no new point. Triangles turn as the
// outer contour does.
void TriangulateFace(std::vector<Vector3>& points, const std::vector<std::uint32_t>& outer,
                     const std::vector<std::vector<std::uint32_t>>& holes,
                     std::vector<TriangleIndices>& out);

// Appends the triangles of a polygon of several contours filled by the
// even-odd rule. Contours that do not cross are cut by nesting: a contour
// inside an even number of others bounds a filled region, one inside an
// odd number is a hole of the contour just around it (V + 2h - 2 triangles
// per filled region, no new point). Contours that cross, touch or overlap
// (up to kEvenOddEdgeLimit corners in all) are cut in slabs as in
// TriangulateFace, appending points to `points`. All triangles turn the
// same way as the first contour that lies inside no other (judged by its
// first corner). With so many contours that finding their nesting would
// take too long, each contour is filled on its own.
void TriangulateEvenOdd(std::vector<Vector3>& points,
                        const std::vector<std::vector<std::uint32_t>>& contours,
                        std::vector<TriangleIndices>& out);

}  // namespace Kelvane::Polygon
