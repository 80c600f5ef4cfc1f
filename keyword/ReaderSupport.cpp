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
  std::vector<IndexRow> rows = TableRoom<IndexRow>(count, what);
  // A copy the calls to the window below cannot change, so the loop keeps
  // it at hand.
  const std::string_view text = args.inputText;
  for (std::int16_t r = 0; r < count; ++r) {
    IndexRow row;
    if (TextRoutines::NextCountLine(text, args.scanPosition, passedOver, row.index, row.spot)) {
      args.spot = row.spot[2];
    } else {
      LineTokens line = TakeLine(args);
      for (int k = 0; k < passedOver; ++k) line.Token();
      row = ReadIndexRow(line, args.spot);
    }
    rows.push_back(row);
    ShowCurpos(args);
    if (yieldPerRow) args.sink.DoEvents();
  }
  return rows;
}

}  // namespace Kelvane
