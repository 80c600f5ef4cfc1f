#include "readers/ReaderSupport.h"

#include <charconv>

namespace Kelvane {

void ShowCurpos(ReaderArgs& args) {
  char caption[24] = "curpos ";
  const auto end = std::to_chars(caption + 7, caption + sizeof caption, args.scanPosition);
  args.window.SetLabelPos(std::string_view(caption, static_cast<std::size_t>(end.ptr - caption)));
}

}  // namespace Kelvane
