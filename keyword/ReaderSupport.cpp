#include "keyword/ReaderSupport.h"

#include <charconv>

namespace Kelvane {

void ShowCurpos(ReaderArgs& args) {
  char caption[24] = "curpos ";
  const auto end = std::to_chars(caption + 7, caption + sizeof caption, args.scanPosition);
  args.window.SetLabelPos(std::string_view(caption, static_cast<std::size_t>(end.ptr - caption)));
}

std::vector<IndexRow> ReadIndexRows(ReaderArgs& args, std::int16_t count, const char* what,
                                    int passedOver, bool yieldPerRow) {
  std::vector<IndexRow> rows = MakeTable<IndexRow>(count, what);
  for (IndexRow& row : rows) {
    LineTokens line = TakeLine(args);
    for (int k = 0; k < passedOver; ++k) line.Token();
    row = ReadIndexRow(line, args.spot);
    ShowCurpos(args);
    if (yieldPerRow) args.window.DoEvents();
  }
  return rows;
}

}  // namespace Kelvane
