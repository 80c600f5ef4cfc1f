#pragma once

#include <cstdint>

// The cells of a grid of points stored row by row, as a TriGrid's points
// and a NURB patch's evaluated points are.
namespace Kelvane::Metafile {

// Calls visit(c, a, b, d, e) for every cell, row by row, each row by
// column c, with the cell's corners a (row r, column c), b (r, c + 1),
// d (r + 1, c) and e (r + 1, c + 1).
template <typename Visit>
void ForEachCell(std::uint32_t rows, std::uint32_t columns, Visit visit) {
  for (std::uint32_t r = 0; r + 1 < rows; ++r) {
    for (std::uint32_t c = 0; c + 1 < columns; ++c) {
      const std::uint32_t a = r * columns + c;
      visit(c, a, a + 1, a + columns, a + columns + 1);
    }
  }
}

}  // namespace Kelvane::Metafile
