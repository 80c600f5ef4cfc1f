#pragma once

#include <cstdint>
#include <string_view>

#include "metafile/format/Fields.h"
#include "metafile/surfaces/Geometry.h"

// Parametric surfaces of 3DMF objects (Ellipsoid, Cylinder, Cone, Disk,
// Torus, NURBPatch) as closed triangle meshes.
namespace Kelvane::Metafile {

// The caps an object's Caps attribute asks for (flags as the format gives
// them: None 0, Top 1, Bottom 2, Interior 4).
enum CapFlags : std::uint32_t { kCapTop = 1, kCapBottom = 2, kCapInterior = 4 };

// The SubdivisionStyle in force: method Constant 0, WorldSpace 1,
// ScreenSpace 2, and its two numbers as the file gives them. `given` is
// false when no style is in force.
struct Subdivision {
  bool given = false;
  std::uint32_t method = 0;
  double c1 = 0;
  double c2 = 0;
};

// The most grid cells one object may be cut into (a 2048 x 2048 grid):
// beyond it the triangles alone would take gigabytes. A finer subdivision
// is refused with the object's place.
constexpr std::uint64_t kMaxSurfaceCells = std::uint64_t{1} << 22;

// Refuses a grid of more than kMaxSurfaceCells cells.
void CheckSurfaceCells(Fields& fields, std::uint64_t across, std::uint64_t along);

// Whether DecodeParametric reads the kind.
bool IsParametricKind(std::string_view kind);

// Reads the object's data and tessellates it into `out` (emptied first):
// points in the file's own axes, untransformed; triangles counterclockwise
// seen from outside (the right-hand rule gives an outward normal), as the
// Box of DecodeGeometry. Bad data (a range value outside [0, 1], an empty
// range, a torus ratio not above 0, a shape too large for the range of
// numbers) raises a RunError through fields.Fail. NURBPatch goes to
// DecodeNurbPatch.
//
// A degenerate shape is no error: radius vectors of length 0, or three in
// one plane (a Disk: two parallel radii), are tessellated as they stand and
// its triangles of zero area left out (DropZeroAreaTriangles, counted in
// zeroAreaLeftOut). What keeps an area is written: an Ellipsoid of
// orientation 0 is its flat ellipse, both halves back to back; a Cylinder
// of orientation 0 is its two caps, if it has any; a shape with no area
// left has no triangle. Its faces turn as the grid does (no outside to face
// them to), and a subdivision rule that has no bound for it (a direction of
// no extent, a torus whose radii are parallel) takes one step, or the
// counts without a style.
//
// The data, in the file's order; fields absent at the end take the
// defaults in brackets:
//   Ellipsoid, Cylinder, Cone: orientation [0 0 1], majorRadius [0 1 0],
//     minorRadius [1 0 0], origin [0 0 0], uMin [0], uMax [1], vMin [0],
//     vMax [1].
//   Torus: as those, with ratio [1] after origin.
//   Disk: majorRadius [1 0 0], minorRadius [0 1 0], origin, uMin, uMax,
//     vMin, vMax as above.
//
// The surfaces, with t = 2 pi u the angle around, R(u) = cos(t) majorRadius
// + sin(t) minorRadius (u runs from majorRadius towards minorRadius):
//   Ellipsoid  origin - cos(pi v) orientation + sin(pi v) R(u):
//              v from the pole origin - orientation (v = 0) to the pole
//              origin + orientation (v = 1).
//   Cylinder   origin + v orientation + R(u): v = 0 base, v = 1 top.
//   Cone       origin + v orientation + (1 - v) R(u): v = 1 is the tip.
//   Disk       origin + v R(u): v = 0 the centre, v = 1 the rim.
//   Torus      origin + R(u) - cos(s) k R(u) / |R(u)| - sin(s) orientation,
//              s = 2 pi v, k = ratio |orientation|: the tube's cross
//              section has radius k across and |orientation| along the
//              orientation; v = 0 is its inner side.
// uMin > uMax wraps through u = 0 (from uMin to 1, then 0 to uMax); so does
// vMin > vMax on a torus. On the other kinds vMin > vMax is the same range
// swapped. Equal ends (or 1 to 0) make an empty range, which is refused.
//
// Faces: "outward" is away from the solid; a Disk, which has no inside,
// faces towards majorRadius x minorRadius. A left-handed frame is turned
// round, so faces still point out. Points are shared wherever the surface
// meets itself or a cap: a pole, the cone's tip and the disk's centre are
// one point with a fan of triangles around it; a whole turn reuses its
// first column (a whole torus tube its first row); caps and interior faces
// use the surface's own rim points.
//
// Caps (only where the range leaves an opening; otherwise ignored):
//   Top, Bottom  a flat fan from the axis point over the rim at vMax / vMin
//                (Ellipsoid, Cylinder; a Cone's base is Bottom).
//   Interior     a partial turn (u range less than whole) is closed by a
//                flat face on each cut, between the cut and the axis
//                (Ellipsoid, Cylinder, Cone), or by the tube's cross
//                section there (Torus). It also closes a cut cone's top (as
//                Top does), and a torus tube cut along v (vMin, vMax not a
//                whole turn) by a flat band between the two cut edges.
//   A Disk takes no caps. Without caps a partial shape stays open along
//   its cuts; a shape is closed (every edge in exactly two triangles) when
//   every opening has its cap. A Disk is one-sided: its rim is its edge.
//
// Fineness: U steps along u and V along v, over the object's own ranges; du
// and dv are the ranges' lengths (a wrapped range counted from its Min round
// to its Max), and vMin, vMax below are the v range's ends in order.
//   Constant      U = c1, V = c2 (Ellipsoid: around and pole to pole;
//                 Cone: around and bands from base to tip; Torus: the long
//                 way and around the tube). A Cylinder and a Disk are flat
//                 along v: c2 is not used and V = 1.
//   WorldSpace    c1 is a length in the object's own units (before any
//                 transform): counts that keep every edge of the surface's
//                 grid (steps along u and v, and the diagonal of each cell)
//                 at most c1, from a bound on how far the surface stretches
//                 its parameters: with S the largest singular value of
//                 (orientation majorRadius minorRadius) (Disk: of the two
//                 radii) and T = 2 pi du the angle covered,
//                   Ellipsoid  U = sqrt2 S T / c1, V = sqrt2 S pi dv / c1
//                   Cylinder   U = sqrt2 S T / c1, V = sqrt2 S dv / c1
//                   Cone       U = sqrt2 S (1 - vMin) T / c1, V = 2 S dv / c1
//                   Disk       U = sqrt2 S vMax T / c1, V = sqrt2 S dv / c1
//                   Torus      U = 2 Rmax (1 + k / Rmin) T / c1,
//                              V = 2 sqrt(k^2 + |orientation|^2) 2 pi dv / c1
//                 each rounded up (Rmax, Rmin the largest and least length
//                 of R(u)). Caps are flat and not
//                 subdivided: their spokes may be longer than c1.
//   ScreenSpace   no screen here: c1 pixels are taken as c1 / 100 of the
//                 object's largest radius vector (as if that radius were 100
//                 pixels long), then as WorldSpace.
//   none given    enough to look round: U = 32 du rounded up (32 around a
//                 whole turn); V = 16 dv rounded up on
//                 an Ellipsoid (16 pole to pole) and a Torus (16 around a
//                 whole tube); V = 1 on a Cylinder, Cone and Disk, which are
//                 straight along v.
//   Any other method is taken as none given.
// Every count is then kept within 1 to 10 000, and raised where a solid
// needs more: 3 around a whole turn, 2 from pole to pole, 3 around a whole
// tube, 2 along a partial tube closed by Interior.
//
// Triangles, with s = 1 when vMin = 0 (south pole, disk centre) and n = 1
// when vMax = 1 (north pole, cone tip), else 0; "partial" is a u range less
// than a whole turn:
//   Ellipsoid  2UV - U(s + n), + U for Top when n = 0, + U for Bottom when
//              s = 0, + 2(V + 1 - s - n) for Interior when partial.
//              A whole ellipsoid: 2U(V - 1).
//   Cylinder   2UV, + U for Top, + U for Bottom, + 2(V + 1) for Interior
//              when partial.
//   Cone       2UV - Un, + U for Bottom, + U for Top or Interior when
//              n = 0, + 2(V + 1 - n) for Interior when partial.
//   Disk       2UV - Us.
//   Torus      2UV, with Interior: + 2V when partial and the tube whole,
//              + 2(V - 1) when partial and the tube cut, + 2U when the
//              tube is cut.
//              A tube that just reaches the axis (R(u) a circle of radius
//              k, as in the format's default torus) meets itself at the
//              origin: a row at a whole turn of v is that one point, and
//              each cell beside it one triangle (U fewer per such strip). A
//              tube reaching past the axis crosses itself; its triangles
//              follow the surface as it is.
void DecodeParametric(std::string_view kind, Fields& fields, std::uint32_t caps,
                      const Subdivision& subdivision, TriangleSet& out);

}  // namespace Kelvane::Metafile
