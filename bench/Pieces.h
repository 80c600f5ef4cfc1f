#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace Kelvane::BenchPieces {

// The sizes of the pieces a conversion wrote, in order, recovered from the
// finished document: every piece ends in the writer's CR LF, and the pieces
// are the template (map mode: its length is given), then units that end in
// an empty line or in the "End PolyList" or "End Map" line. Bytes after the
// last such end form a last piece.
std::vector<std::uint32_t> SplitPieces(std::string_view document, std::size_t templateBytes);

}  // namespace Kelvane::BenchPieces
