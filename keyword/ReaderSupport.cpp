#include "keyword/ReaderSupport.h"

namespace Kelvane {

std::vector<IndexRow> ReadIndexRows(ReaderArgs& args, std::int16_t count, const char* what,
                                    int passedOver, bool yieldPerRow) {
  std::vector<IndexRow> rows = TableRoom<IndexRow>(count, what);
  for (std::int16_t r = 0; r < count; ++r) {
    IndexRow& row = rows.emplace_back();
    if (TextRoutines::NextCountLine(args.inputText, args.scanPosition, passedOver, row.index,
                                    row.spot)) {
      args.spot = row.spot[2];
    } else {
      LineTokens line = TakeLine(args);
      for (int k = 0; k < passedOver; ++k) line.Token();
      row = ReadIndexRow(line, args.spot);
    }
    ShowCurpos(args);
    if (yieldPerRow) args.sink.DoEvents();
  }
  return rows;
}

}  // namespace Kelvane
