#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "metafile/polygon/Plane.h"
#include "metafile/polygon/Triangulate.h"
#include "vector/Vector3.h"

// The even-odd fill's view of a face: its contours seen in its plane, and
// what the fill asks of them. FlatFace.cpp sets a face up in its plane,
// Crossings.cpp finds contours that cross, touch or overlap, SlabFill.cpp
// fills the even-odd region; EvenOddFill.cpp chooses between that and ear
// clipping.
namespace Kelvane::Polygon {

// Where a point stands against a contour in the plane.
enum class Side { Inside, Outside, Border };

// By the crossings of a ray from q towards +x; on an edge to within `eps`,
// Border. Adds the contour's corners to `work`, so that a search over many
// contours can be bounded.
Side SideOf(const Point2& q, const std::vector<Point2>& contour, double eps, std::uint64_t& work);

// Where `contour` stands against `other`, judged by its first corner that
// is not on other's border; Border when all of them are.
Side FirstSideOf(const std::vector<Point2>& contour, const std::vector<Point2>& other, double eps,
                 std::uint64_t& work);

// Twice the contour's area in its plane, positive when counterclockwise.
double FlatArea(const std::vector<Point2>& ring);

// A face's contours seen in its plane, for finding crossings and filling
// in slabs. Coordinates are scaled by a power of two (which is exact), so
// that no difference or product of them overflows whatever numbers the
// file holds, and taken from the lower corner of the face's box.
struct FlatFace {
  PlaneAxes axes;
  int w = 2;         // the axis looked along
  int exponent = 0;  // scaled = real * 2^-exponent
  Vector3 normal;    // scaled
  Vector3 centre;    // scaled: the plane goes through it
  double lowU = 0;
  double lowV = 0;
  double lowW = 0;
  double highW = 0;
  double eps = 0;
  std::vector<std::vector<Point2>> contours;
};

// As FlattenFace's planeContour: the plane of the largest contour.
constexpr std::size_t kLargestContour = static_cast<std::size_t>(-1);

// Sets up the face in the plane of contour `planeContour` (or of the
// largest contour when there is none such), as the other cuts see it.
// False when a coordinate is not finite or all corners lie on one line:
// then there is no plane to fill in.
bool FlattenFace(const std::vector<Vector3>& points,
                 const std::vector<std::vector<std::uint32_t>>& contours, std::size_t planeContour,
                 FlatFace& face);

// The point of the face's plane seen at (x, y), in the file's units. Kept
// within the face's box along the axis looked along, which a flat face's
// points are anyway.
Vector3 Lift(const FlatFace& face, double x, double y);

// The sense the even-odd triangles take: that of the contour given, or the
// plane normal's where that contour has no area.
bool CounterclockwiseLike(const FlatFace& face, std::size_t contour);

// Whether any two edges of the face cross, touch or overlap, other than
// neighbours at the corner they share; or a contour doubles back on itself
// along a line. Corners repeated in a row count as one. Edges are compared
// only where their spans in x meet.
bool ContoursCross(const FlatFace& face);

// For a Mesh face whose contours do not meet: whether a hole lies outside
// the outer contour (contour 0) or inside another hole, where cutting it
// out of the outer contour would not give the even-odd region.
bool HolesOutOfPlace(const FlatFace& face);

// Fills the face by the even-odd rule. Every corner height and every height
// where two edges cross bounds a slab, filled as SlabFill does. Where an
// edge meets a slab's border off its ends, a point of the plane is appended
// to `points`. False, with nothing appended, when the crossings or the
// work would pass kSlabWorkBudget.
bool FillSlabs(std::vector<Vector3>& points,
               const std::vector<std::vector<std::uint32_t>>& contours, const FlatFace& face,
               bool counterclockwise, std::vector<TriangleIndices>& out);

}  // namespace Kelvane::Polygon
