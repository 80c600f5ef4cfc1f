#include "keyword/ReaderSupport.h"

#include "keyword/Readers.h"

namespace Kelvane {

std::optional<std::string_view> FirstGeometryKeyword(std::string_view text) {
  std::optional<std::string_view> first;
  std::size_t firstAt = std::string_view::npos;
  for (std::string_view keyword : {kPolyhedronKeyword, kTriMeshKeyword, kMeshKeyword}) {
    const std::size_t at = text.find(keyword);
    if (at < firstAt) {
      first = keyword;
      firstAt = at;
    }
  }
  return first;
}

std::vector<IndexRow> ReadIndexRows(ReaderArgs& args, std::int16_t count, const char* what,
                                    int passedOver, bool yieldPerRow) {
  std::vector<IndexRow> rows = MakeTable<IndexRow>(count, what);
  for (IndexRow& row : rows) {
    LineTokens line = TakeLine(args);
    for (int k = 0; k < passedOver; ++k) line.Token();
    row = ReadIndexRow(line, args.spot);
    ShowCurpos(args);
    if (yieldPerRow) args.sink.DoEvents();
  }
  return rows;
}

}  // namespace Kelvane
