#pragma once

#include "metafile/format/Fields.h"
#include "metafile/surfaces/Geometry.h"
#include "metafile/surfaces/Parametric.h"

namespace Kelvane::Metafile {

// Reads a NURBPatch's data (orders, control points, knots) and evaluates it
// on a grid of the fineness the subdivision asks for; trim loops are not
// applied. Triangles as DecodeParametric gives them.
//
// The data: uOrder, vOrder, numRows, numColumns (Uns32 each); numRows *
// numColumns control points (x y z w, Float32 each), row by row, u running
// along a row; numColumns + uOrder u knots, then numRows + vOrder v knots.
// x, y and z carry the weight: the point is (x/w, y/w, z/w). Orders run
// from 2 to 16, each count is at least its order, knots never decrease and
// leave a range [knot[order-1], knot[count]] that is not empty, and every
// w is above 0; anything else raises a RunError through fields.Fail.
//
// The grid covers that range in u and in v, with at most 10000 segments
// each way:
// - Constant: c1 segments in u and c2 in v, evenly spaced (rounded to whole
//   numbers; outside 1 to 10000 is an error).
// - WorldSpace: evenly spaced, so many that no triangle edge is longer than
//   c1. The speed along each direction is bounded from the control net
//   (exact for equal weights, an estimate with unequal ones) and each cell
//   side kept to c1 / 2.
// - ScreenSpace, or no style: 16 segments in each knot span that is not
//   empty (fewer when that would pass 10000), so that grid lines fall on
//   the knots.
// Points come row by row (v), each row by increasing u: (su + 1) * (sv + 1)
// of them for su by sv segments. Each cell gives 2 triangles, 2 * su * sv in
// all, counterclockwise seen from the side dS/du x dS/dv points to.
void DecodeNurbPatch(Fields& fields, const Subdivision& subdivision, TriangleSet& out);

}  // namespace Kelvane::Metafile
