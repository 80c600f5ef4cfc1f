#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "keyword/ReaderArgs.h"
#include "keyword/ReaderSink.h"
#include "t3d/EditorFrame.h"
#include "t3d/PolygonRecords.h"
#include "t3d/T3dWriter.h"
#include "t3d/WritePolygons.h"
#include "text/RunError.h"
#include "text/Numbers.h"
#include "text/Scanning.h"
#include "vector/ModuleVector.h"

// What the four object readers share: their arguments, taking lines and
// tokens while keeping note of where they stand, the number conversions,
// the axis mapping and tables made from counts.
namespace Kelvane {


// The value of a token that is no plain number, by the numeric-value rule
// (which may fail); one without a number at its start is 0, and noted with
// `at`, its position.
inline double GeneralValue(std::string_view token, std::int32_t at, ReadingNotes& notes) {
  const double value = TextRoutines::NumericValue(token);
  if (!TextRoutines::StartsWithNumber(token)) notes.NotANumber(token, at);
  return value;
}

// A line taken from the input, read token by token from line position 1.
class LineTokens {
 public:
  // `beforeBreak`: the line's break stands right after the view in memory,
  // as in a text that ends in a break.
  LineTokens(std::string_view line, std::int32_t lineStart, std::int32_t& spot,
             ReadingNotes& notes, bool beforeBreak = false)
      : line_(line), lineStart_(lineStart), spot_(spot), notes_(notes), beforeBreak_(beforeBreak) {}

  std::string_view Line() const { return line_; }
  std::int32_t Start() const { return lineStart_; }

  std::string_view Token() {
    const std::string_view token = TextRoutines::NextToken(line_, position_);
    // The token ends on the new line position.
    spot_ = lineStart_ + position_ - static_cast<std::int32_t>(token.size());
    return token;
  }
  double Number() {
    double value = 0;
    std::int32_t place = 0;
    if (beforeBreak_ ? TextRoutines::NextPlainInLine(line_, position_, value, place)
                     : TextRoutines::NextPlainValue(line_, position_, value, place)) {
      spot_ = lineStart_ + place - 1;
      return value;
    }
    std::string_view token;
    const bool plain = TextRoutines::NextTokenValue(line_, position_, token, value);
    spot_ = lineStart_ + position_ - static_cast<std::int32_t>(token.size());
    return plain ? value : GeneralValue(token, spot_, notes_);
  }
  std::int16_t Count() {
    std::string_view token;
    std::int16_t count = 0;
    if (TextRoutines::NextTokenCount(line_, position_, token, count)) {
      spot_ = lineStart_ + position_ - static_cast<std::int32_t>(token.size());
      return count;
    }
    return TextRoutines::ToCount(Number());
  }

 private:
  std::string_view line_;
  std::int32_t lineStart_;
  std::int32_t position_ = 1;
  std::int32_t& spot_;
  ReadingNotes& notes_;
  bool beforeBreak_;
};

// A read at the scan position finds the input at its end: it is taken as
// the read of an empty line (or of 0), as ever, and noted.
inline void NotePastEnd(ReaderArgs& args) {
  if (static_cast<std::size_t>(args.scanPosition) > args.inputText.size()) [[unlikely]]
    args.notes.PastEnd(args.scanPosition);
}

// The next line of the input at the scan position.
inline LineTokens TakeLine(ReaderArgs& args) {
  NotePastEnd(args);
  const std::int32_t start = args.scanPosition;
  args.spot = start;
  const std::string_view line = TextRoutines::NextLine(args.inputText, args.scanPosition);
  const bool endsInBreak =
      !args.inputText.empty() && TextRoutines::Scan::IsBreak(args.inputText.back());
  return LineTokens(line, start, args.spot, args.notes, endsInBreak);
}

// Passes over one line of the input.
inline void SkipLine(ReaderArgs& args) {
  NotePastEnd(args);
  args.spot = args.scanPosition;
  TextRoutines::NextLine(args.inputText, args.scanPosition);
}

// After a token of the stream: notes whether it ended the input.
inline void NoteStreamEnd(ReaderArgs& args) {
  const std::string_view text = args.inputText;
  if (static_cast<std::size_t>(args.scanPosition) == text.size() &&
      !TextRoutines::Scan::IsDelimiter(text.back())) [[unlikely]]
    args.notes.streamEndedInput = args.scanPosition;
}

// The next token of the input text itself, across line breaks.
inline double StreamNumber(ReaderArgs& args) {
  if (args.scanPosition == args.notes.streamEndedInput) [[unlikely]] {
    const auto end = static_cast<std::int32_t>(args.inputText.size());
    args.notes.PastEnd(end + 1);
  }
  double value = 0;
  if (TextRoutines::NextPlainValue(args.inputText, args.scanPosition, value, args.spot)) {
    NoteStreamEnd(args);
    return value;
  }
  std::string_view token;
  const bool plain = TextRoutines::NextTokenValue(args.inputText, args.scanPosition, token, value);
  args.spot = args.scanPosition - static_cast<std::int32_t>(token.size()) + 1;
  if (token.empty()) {
    // Only the end of the input leaves no token.
    args.spot = args.scanPosition;
    args.notes.PastEnd(args.scanPosition);
  }
  NoteStreamEnd(args);
  return plain ? value : GeneralValue(token, args.spot, args.notes);
}

// Shows "curpos " and the scan position on LabelPos.
inline void ShowCurpos(ReaderArgs& args) { args.sink.ShowPosition(args.scanPosition); }

// A point read as a, b, c in the model, in the document's frame.
inline Vector3 MapPoint(const ReaderArgs& args, double a, double b, double c) {
  return args.editorFrame ? Unreal::MapAxesToEditor(a, b, c) : Unreal::MapAxes(a, b, c);
}

// Reads a line of three numbers and maps them to the output axes.
inline Vector3 ReadPointLine(ReaderArgs& args) {
  double value[3];
  std::int32_t place[3];
  const std::int32_t start = args.scanPosition;
  if (TextRoutines::NextNumberLine(args.inputText, args.scanPosition, value, place)) {
    args.spot = place[2];
    return MapPoint(args, value[0], value[1], value[2]);
  }
  NotePastEnd(args);
  args.spot = start;
  LineTokens tokens(TextRoutines::NextLine(args.inputText, args.scanPosition), start, args.spot,
                    args.notes);
  const double a = tokens.Number();
  const double b = tokens.Number();
  const double c = tokens.Number();
  return MapPoint(args, a, b, c);
}

// Reads three numbers from a line and maps them to the output axes.
inline Vector3 ReadPoint(const ReaderArgs& args, LineTokens& tokens) {
  const double a = tokens.Number();
  const double b = tokens.Number();
  const double c = tokens.Number();
  return MapPoint(args, a, b, c);
}

// A count below 1 leaves no valid table.
inline void CheckTableCount(std::int16_t count, const char* what) {
  if (count < 1) {
    throw RunError(ErrorKind::OutOfRange, std::string("The ") + what + " count " +
                                              std::to_string(count) +
                                              " is below 1, so no table can be made");
  }
}

// An empty table with room for entries 0 to count - 1, which the reader
// adds in order (so nothing is cleared first).
template <typename T>
std::vector<T> TableRoom(std::int16_t count, const char* what) {
  CheckTableCount(count, what);
  std::vector<T> table;
  table.reserve(static_cast<std::size_t>(count));
  return table;
}

// Writes one polygon per row of `points` (WritePolygons).
template <typename Row, typename BeforeWrite, typename AfterWrite>
void WriteReaderPolygons(ReaderArgs& args, const std::vector<Vector3>& points,
                         const std::vector<Row>& rows, BeforeWrite beforeWrite,
                         AfterWrite afterWrite) {
  const auto asRead = [](const Vector3& p) { return p; };
  if (args.editorFrame) {
    WriteEditorTriangles(args.writer, args.scale, args.spot, points, asRead, rows, false,
                         beforeWrite, afterWrite);
  } else {
    WritePolygons(args.writer, args.scale, args.spot, points, asRead, rows, beforeWrite,
                  afterWrite);
  }
}

// Reads three indices from a line.
inline IndexRow ReadIndexRow(LineTokens& tokens, std::int32_t& spot) {
  IndexRow row{};
  for (int k = 0; k < 3; ++k) {
    row.index[k] = tokens.Count();
    row.spot[k] = spot;
  }
  return row;
}

// The table of a face or triangle list: one row per line, whose first
// `passedOver` tokens are taken and not used and whose next three are the
// indices; "curpos " after each line, and a yield too when `yieldPerRow`.
std::vector<IndexRow> ReadIndexRows(ReaderArgs& args, std::int16_t count, const char* what,
                                    int passedOver, bool yieldPerRow);

}  // namespace Kelvane
