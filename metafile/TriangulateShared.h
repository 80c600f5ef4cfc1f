#pragma once

// What the two halves of the polygon cutting share beyond Triangulate.h:
// ear clipping (EarClipping.cpp) and the even-odd fill (EvenOddFill.cpp).
namespace Kelvane::Metafile {

// How far from zero an Orient value must be to count as a turn: a
// millionth of a millionth of the squared size of the polygon, well above
// the rounding of the products yet far below any area a model would draw.
inline double Tolerance(double extent) { return extent * extent * 1e-12; }

}  // namespace Kelvane::Metafile
