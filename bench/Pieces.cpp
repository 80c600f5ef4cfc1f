#include "bench/Pieces.h"

#include <stdexcept>

namespace Kelvane::BenchPieces {

std::vector<std::uint32_t> SplitPieces(std::string_view document, std::size_t templateBytes) {
  std::vector<std::uint32_t> sizes;
  std::size_t start = 0;
  if (templateBytes > 0) {
    // The template is copied as it stands and may hold any line at all.
    start = templateBytes + 2;
    if (start > document.size()) throw std::invalid_argument("document shorter than its template");
    sizes.push_back(static_cast<std::uint32_t>(start));
  }
  std::size_t line = start;
  while (line < document.size()) {
    const std::size_t lf = document.find("\r\n", line);
    const std::size_t next = lf == std::string_view::npos ? document.size() : lf + 2;
    const std::string_view content =
        document.substr(line, (lf == std::string_view::npos ? document.size() : lf) - line);
    if (content.empty() || content == "End PolyList" || content == "End Map") {
      sizes.push_back(static_cast<std::uint32_t>(next - start));
      start = next;
    }
    line = next;
  }
  if (start < document.size()) sizes.push_back(static_cast<std::uint32_t>(document.size() - start));
  return sizes;
}

}  // namespace Kelvane::BenchPieces
