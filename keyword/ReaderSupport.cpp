#include "keyword/ReaderSupport.h"

namespace Kelvane {

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
