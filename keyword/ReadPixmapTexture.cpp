#include <limits>

#include "image/Image.h"
#include "keyword/ReaderSupport.h"
#include "keyword/Readers.h"

namespace Kelvane {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of "&H" followed by up to two characters of the line from a
// 1-based cursor, by the numeric-value rule (blanks, tabs and line feeds
// passed over; reading stops at the first character that is no hex digit).
int ByteAt(std::string_view line, std::int32_t cursor) {
  int value = 0;
  for (std::int32_t k = cursor;
       k < cursor + 2 && k >= 1 && k <= static_cast<std::int32_t>(line.size()); ++k) {
    const char c = line[static_cast<std::size_t>(k - 1)];
    if (c == ' ' || c == '\t' || c == '\n') continue;
    const int digit = HexValue(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

void ReadPixmapTexture(ReaderArgs& args) {
  ShowCurpos(args);
  SkipLine(args);  // the rest of the keyword's line
  LineTokens header = TakeLine(args);
  const std::int16_t width = header.Count();
  const std::int16_t height = header.Count();
  header.Count();  // bytes per row: converted, not used
  const std::int16_t pixelSize = header.Count();

  if (width < 0 || height < 0) {
    args.spot = header.Start();
    throw RunError(ErrorKind::InvalidArgument, "The texture size " + std::to_string(width) + " x " +
                                                   std::to_string(height) + " is negative");
  }
  // The picture takes the texture's size (the window's box grows or shrinks
  // by the difference, so its drawing area is always exactly that).
  Image& picture = args.picture;
  picture = BlankPicture(width, height);
  args.sink.ShowTexture(picture);
  args.sink.DoEvents();

  const auto textEnd = static_cast<std::int64_t>(args.inputText.size());
  std::int16_t column = 0;
  std::int16_t row = 0;
  // Rows fill from the top, left to right, without gaps; lines need not
  // match rows. The loop also ends when the input has run out.
  while (row < height && column < width && args.scanPosition <= textEnd) {
    LineTokens pixelLine = TakeLine(args);
    const std::string_view line = pixelLine.Line();
    ShowCurpos(args);
    args.sink.DoEvents();
    if (line.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
      throw RunError(ErrorKind::Overflow, "A pixel line of " + std::to_string(line.size()) +
                                              " characters is longer than 32767");
    }
    const auto lineLength = static_cast<std::int16_t>(line.size());
    const std::size_t x = line.find('x');
    std::int32_t cursor = x == std::string_view::npos ? 1 : static_cast<std::int32_t>(x) + 2;
    while (cursor < lineLength) {
      args.spot = pixelLine.Start() + cursor - 1;
      const int blue = ByteAt(line, cursor);
      cursor += 2;
      const int green = ByteAt(line, cursor);
      cursor += 2;
      const int red = ByteAt(line, cursor);
      cursor += 2;
      if (pixelSize > 24) cursor += 2;  // the fourth byte is not used
      picture.SetPixel(column, row,
                       static_cast<std::uint32_t>(red << 16) |
                           static_cast<std::uint32_t>(green << 8) |
                           static_cast<std::uint32_t>(blue));
      args.sink.DoEvents();
      ++column;
      if (column >= width) {
        column = 0;
        if (row == std::numeric_limits<std::int16_t>::max()) {
          throw RunError(ErrorKind::Overflow, "The texture's row count passed 32767");
        }
        ++row;
      }
    }
  }
  // The input ended before the last row: the rest stays black.
  if (row < height && width > 0) args.notes.PastEnd(args.scanPosition);
  args.saver.SaveTexture(picture);
}

}  // namespace Kelvane
