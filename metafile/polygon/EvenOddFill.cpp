// The choice between the even-odd fill and ear clipping: a face goes to
// the fill when its contours cross or its holes are out of place, and a
// GeneralPolygon's contours that do not cross are cut by their nesting.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "metafile/polygon/FlatFace.h"
#include "metafile/polygon/Plane.h"
#include "metafile/polygon/Triangulate.h"

namespace Kelvane::Polygon {

namespace {

// Whether the contour is convex: it turns the same way at every corner and
// goes round once (its direction in u changes sign at most twice). Such a
// contour cannot cross itself, and most faces of a Mesh are such; this
// finds them without the cost of the search for crossings.
bool PlainlyConvex(const std::vector<Vector3>& points, const std::vector<std::uint32_t>& contour) {
  const std::size_t n = contour.size();
  if (n < 3) return false;
  const PlaneAxes axes = DominantPlane(NewellNormal(points, contour));
  const auto at = [&](std::size_t i) {
    const Vector3& p = points[contour[i]];
    return Point2{Coordinate(p, axes.u), Coordinate(p, axes.v)};
  };
  Point2 a = at(n - 2);
  Point2 b = at(n - 1);
  int sense = 0;
  int firstStep = 0;
  int lastStep = 0;
  int changes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Point2 c = at(i);
    const double turn = Orient(a, b, c);
    const int side = turn > 0 ? 1 : turn < 0 ? -1 : 0;
    // No turn, or one that is not a number: not plainly convex.
    if (side == 0 || (sense != 0 && side != sense)) return false;
    sense = side;
    const int step = c.x > b.x ? 1 : c.x < b.x ? -1 : 0;
    if (step != 0) {
      if (lastStep != 0 && step != lastStep) ++changes;
      if (firstStep == 0) firstStep = step;
      lastStep = step;
    }
    a = b;
    b = c;
  }
  if (firstStep != lastStep) ++changes;
  return changes <= 2;
}

// Each contour is tested against every other: bounded, since thousands of
// contours with many corners each would take minutes.
constexpr std::uint64_t kNestingBudget = 50'000'000;

void FillEachAlone(std::vector<Vector3>& points,
                   const std::vector<std::vector<std::uint32_t>>& contours,
                   std::vector<TriangleIndices>& out) {
  for (const auto& contour : contours) Triangulate(points, contour, {}, out);
}

// The contour whose sense the fill of crossing contours takes, as for
// contours that nest: the first with an area whose first corner off the
// others' borders is inside none.
std::size_t FreeContour(const FlatFace& face) {
  const std::size_t count = face.contours.size();
  std::uint64_t work = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (face.contours[i].size() < 3 || FlatArea(face.contours[i]) == 0) continue;
    bool free = true;
    for (std::size_t j = 0; j < count && free; ++j) {
      if (i == j || face.contours[j].size() < 3) continue;
      const Side side = FirstSideOf(face.contours[i], face.contours[j], face.eps, work);
      if (side != Side::Border) free = side == Side::Outside;
    }
    if (free) return i;
  }
  return 0;
}

// Contours that cross, touch or overlap, filled in slabs; false when they
// do not, or the fill would take too long.
bool FillCrossing(std::vector<Vector3>& points,
                  const std::vector<std::vector<std::uint32_t>>& contours,
                  std::vector<TriangleIndices>& out) {
  std::size_t total = 0;
  for (const auto& contour : contours) total += contour.size();
  if (total > kEvenOddEdgeLimit) return false;
  FlatFace face;
  if (!FlattenFace(points, contours, kLargestContour, face) || !ContoursCross(face)) return false;
  return FillSlabs(points, contours, face, CounterclockwiseLike(face, FreeContour(face)), out);
}

// The Newell normal of the largest contour, whose plane all are seen in;
// `corners` counts the corners of all.
Vector3 LargestNormal(const std::vector<Vector3>& points,
                      const std::vector<std::vector<std::uint32_t>>& contours,
                      std::size_t& corners) {
  Vector3 normal;
  double largest = -1;
  for (const auto& contour : contours) {
    corners += contour.size();
    if (contour.empty()) continue;
    const Vector3 n = NewellNormal(points, contour);
    const double size = Dot(n, n);
    if (size > largest) {
      largest = size;
      normal = n;
    }
  }
  return normal;
}

// The contours seen in the plane of `axes`, from the lower corner of their
// box; `eps` the tolerance of turns there.
std::vector<std::vector<Point2>> InPlane(const std::vector<Vector3>& points,
                                         const std::vector<std::vector<std::uint32_t>>& contours,
                                         PlaneAxes axes, double& eps) {
  double minU = std::numeric_limits<double>::infinity();
  double minV = minU;
  double maxU = -minU;
  double maxV = -minU;
  std::vector<std::vector<Point2>> flat(contours.size());
  for (std::size_t c = 0; c < contours.size(); ++c) {
    for (std::uint32_t index : contours[c]) {
      const Point2 p{Coordinate(points[index], axes.u), Coordinate(points[index], axes.v)};
      flat[c].push_back(p);
      minU = std::min(minU, p.x);
      maxU = std::max(maxU, p.x);
      minV = std::min(minV, p.y);
      maxV = std::max(maxV, p.y);
    }
  }
  for (auto& contour : flat) {
    for (Point2& p : contour) p = {p.x - minU, p.y - minV};
  }
  eps = Tolerance(std::max(maxU - minU, maxV - minV));
  return flat;
}

// inside[i][j]: contour i lies inside contour j, judged by its first
// corner that is not on j's border; depth[i]: how many contours i lies in.
struct Nesting {
  std::vector<std::vector<bool>> inside;
  std::vector<std::size_t> depth;
};

// False when the tests would pass kNestingBudget.
bool FindNesting(const std::vector<std::vector<Point2>>& flat, double eps, Nesting& nesting) {
  const std::size_t count = flat.size();
  std::uint64_t work = 0;
  nesting.inside.assign(count, std::vector<bool>(count, false));
  nesting.depth.assign(count, 0);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = 0; j < count; ++j) {
      if (i == j || flat[j].size() < 3) continue;
      nesting.inside[i][j] = FirstSideOf(flat[i], flat[j], eps, work) == Side::Inside;
      if (nesting.inside[i][j]) ++nesting.depth[i];
      if (work > kNestingBudget) return false;
    }
  }
  return true;
}

// A contour at an odd depth is a hole of the contour around it one level
// up; one without such a contour (crossing contours) is filled itself. The
// filled ones all turn as the first contour that lies inside no other.
void FillNested(std::vector<Vector3>& points,
                const std::vector<std::vector<std::uint32_t>>& contours, PlaneAxes axes,
                const Nesting& nesting, std::vector<TriangleIndices>& out) {
  const std::size_t count = contours.size();
  std::vector<std::size_t> parent(count, count);
  for (std::size_t i = 0; i < count; ++i) {
    if (nesting.depth[i] % 2 == 0) continue;
    for (std::size_t j = 0; j < count; ++j) {
      if (nesting.inside[i][j] && nesting.depth[j] + 1 == nesting.depth[i]) {
        parent[i] = j;
        break;
      }
    }
  }
  double reference = 0;
  for (std::size_t i = 0; i < count && reference == 0; ++i) {
    if (nesting.depth[i] == 0) reference = SignedArea(points, contours[i], axes);
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (parent[i] != count) continue;
    std::vector<std::uint32_t> outer = contours[i];
    const double area = SignedArea(points, outer, axes);
    if ((area < 0 && reference > 0) || (area > 0 && reference < 0)) {
      std::reverse(outer.begin(), outer.end());
    }
    std::vector<std::vector<std::uint32_t>> holes;
    for (std::size_t j = 0; j < count; ++j) {
      if (parent[j] == i) holes.push_back(contours[j]);
    }
    Triangulate(points, outer, holes, out);
  }
}

}  // namespace

void TriangulateFace(std::vector<Vector3>& points, const std::vector<std::uint32_t>& outer,
                     const std::vector<std::vector<std::uint32_t>>& holes,
                     std::vector<TriangleIndices>& out) {
  std::size_t corners = outer.size();
  for (const auto& hole : holes) corners += hole.size();
  // A lone triangle cannot cross itself; a degenerate one keeps its
  // triangle of no area, as before.
  const bool mayCross = !holes.empty() || (outer.size() > 3 && !PlainlyConvex(points, outer));
  if (mayCross && corners <= kEvenOddEdgeLimit) {
    std::vector<std::vector<std::uint32_t>> contours = {outer};
    for (const auto& hole : holes) {
      if (!hole.empty()) contours.push_back(hole);
    }
    FlatFace face;
    if (FlattenFace(points, contours, 0, face) && (ContoursCross(face) || HolesOutOfPlace(face)) &&
        FillSlabs(points, contours, face, CounterclockwiseLike(face, 0), out)) {
      return;
    }
  }
  Triangulate(points, outer, holes, out);
}

void TriangulateEvenOdd(std::vector<Vector3>& points,
                        const std::vector<std::vector<std::uint32_t>>& contours,
                        std::vector<TriangleIndices>& out) {
  const std::size_t count = contours.size();
  if (count == 0) return;
  if (FillCrossing(points, contours, out)) return;
  if (count == 1) return FillEachAlone(points, contours, out);

  std::size_t corners = 0;
  const Vector3 normal = LargestNormal(points, contours, corners);
  if (static_cast<std::uint64_t>(count) * corners > kNestingBudget) {
    return FillEachAlone(points, contours, out);
  }
  const PlaneAxes axes = DominantPlane(normal);
  double eps = 0;
  const std::vector<std::vector<Point2>> flat = InPlane(points, contours, axes, eps);
  Nesting nesting;
  if (!FindNesting(flat, eps, nesting)) return FillEachAlone(points, contours, out);
  FillNested(points, contours, axes, nesting, out);
}

}  // namespace Kelvane::Polygon
