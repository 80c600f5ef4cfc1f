#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "keyword/ReaderWindow.h"
#include "t3d/RecordsAhead.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"
#include "vector/ModuleVector.h"

// What the four object readers share: their arguments, taking lines and
// tokens while keeping note of where they stand, the number conversions,
// the axis mapping, tables made from counts, and writing one polygon.
namespace Kelvane {

using ModuleVector::Vector3;

// The arguments of every reader. The scan position and the spot belong to
// the run: the scan position is where the next search starts, the spot is
// the input position the reader last read from, for error messages.
struct ReaderArgs {
  std::string_view inputText;
  std::int32_t& scanPosition;
  double scale;
  const std::string& outputPath;
  ReaderWindow& window;
  std::int32_t& spot;
};

// A line taken from the input, read token by token from line position 1.
class LineTokens {
 public:
  LineTokens(std::string_view line, std::int32_t lineStart, std::int32_t& spot)
      : line_(line), lineStart_(lineStart), spot_(spot) {}

  std::string_view Line() const { return line_; }
  std::int32_t Start() const { return lineStart_; }

  std::string_view Token() {
    const std::string_view token = TextRoutines::NextToken(line_, position_);
    // The token ends on the new line position.
    spot_ = lineStart_ + position_ - static_cast<std::int32_t>(token.size());
    return token;
  }
  double Number() {
    std::string_view token;
    double value = 0;
    const bool plain = TextRoutines::NextTokenValue(line_, position_, token, value);
    spot_ = lineStart_ + position_ - static_cast<std::int32_t>(token.size());
    return plain ? value : TextRoutines::NumericValue(token);
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
};

// The next line of the input at the scan position.
inline LineTokens TakeLine(ReaderArgs& args) {
  const std::int32_t start = args.scanPosition;
  args.spot = start;
  const std::string_view line = TextRoutines::NextLine(args.inputText, args.scanPosition);
  return LineTokens(line, start, args.spot);
}

// Passes over one line of the input.
inline void SkipLine(ReaderArgs& args) {
  args.spot = args.scanPosition;
  TextRoutines::NextLine(args.inputText, args.scanPosition);
}

// The next token of the input text itself, across line breaks.
inline double StreamNumber(ReaderArgs& args) {
  std::string_view token;
  double value = 0;
  const bool plain = TextRoutines::NextTokenValue(args.inputText, args.scanPosition, token, value);
  args.spot = args.scanPosition - static_cast<std::int32_t>(token.size()) + 1;
  if (token.empty()) args.spot = args.scanPosition;
  return plain ? value : TextRoutines::NumericValue(token);
}

// Shows "curpos " and the scan position on LabelPos.
void ShowCurpos(ReaderArgs& args);

// A point read as a, b, c in the model becomes X = a, Y = -c, Z = b.
inline Vector3 MapAxes(double a, double b, double c) { return {a, -c, b}; }

// Reads three numbers from a line and maps them to the output axes.
inline Vector3 ReadPoint(LineTokens& tokens) {
  const double a = tokens.Number();
  const double b = tokens.Number();
  const double c = tokens.Number();
  return MapAxes(a, b, c);
}

// A table with entries 0 to count - 1; a count below 1 leaves no valid table.
template <typename T>
std::vector<T> MakeTable(std::int16_t count, const char* what) {
  if (count < 1) {
    throw RunError(ErrorKind::OutOfRange, std::string("The ") + what + " count " +
                                              std::to_string(count) +
                                              " is below 1, so no table can be made");
  }
  return std::vector<T>(static_cast<std::size_t>(count));
}

// Three indices into a point table, with where each was read.
struct IndexRow {
  std::int16_t index[3];
  std::int32_t spot[3];
};

// Reads three indices from a line.
inline IndexRow ReadIndexRow(LineTokens& tokens, std::int32_t& spot) {
  IndexRow row{};
  for (int k = 0; k < 3; ++k) {
    row.index[k] = tokens.Count();
    row.spot[k] = spot;
  }
  return row;
}

inline const Vector3& CornerPoint(const Vector3& point) { return point; }

// A polygon's corner names a point the table does not hold.
[[noreturn]] inline void ThrowOutsideTable(std::int64_t index, std::size_t size) {
  throw RunError(ErrorKind::OutOfRange, "Point index " + std::to_string(index) +
                                            " is outside the table 0 to " +
                                            std::to_string(size - 1));
}

// Three 32-bit indices into a point table, checked where they were read.
using TriangleRow = std::array<std::uint32_t, 3>;

inline std::int64_t RowIndex(const IndexRow& row, int k) { return row.index[k]; }
inline std::int32_t RowSpot(const IndexRow& row, int k, std::int32_t) { return row.spot[k]; }
inline std::int64_t RowIndex(const TriangleRow& row, int k) {
  return row[static_cast<std::size_t>(k)];
}
inline std::int32_t RowSpot(const TriangleRow&, int, std::int32_t spot) { return spot; }

// The table of a face or triangle list: one row per line, whose first
// `passedOver` tokens are taken and not used and whose next three are the
// indices; "curpos " after each line, and a yield too when `yieldPerRow`.
std::vector<IndexRow> ReadIndexRows(ReaderArgs& args, std::int16_t count, const char* what,
                                    int passedOver, bool yieldPerRow);

// Writes one polygon per row, in order: each corner is the point its index
// names, scaled unless the factor is exactly 1.0; each polygon is appended to
// the output at once. `beforeWrite(rowNumber)` runs after the polygon text is
// made and `afterWrite(rowNumber)` after it is written.
//
// Neighbouring polygons share corners: a point is scaled and its form made
// the first time a row names it, and taken as it is after that.
//
// The texts of up to kRecordBatch polygons are made in a row before they
// are written one by one: work done between the writes slows the writes
// themselves, and making the texts together is quicker too. For a large
// object on a machine with two cores or more, a worker thread makes them
// ahead while this thread writes (RecordsAhead). Either way everything a
// caller or the window can see happens as if each polygon were made just
// before its write: the writes, yields and captions in order, on this
// thread, the link counter at each of them, and a failure to make a polygon
// surfaces (with its place) only after the polygons before it are written.
// A write that fails, or a yield that stops the run, stops the worker too.
//
// Rows are IndexRow (16-bit indices with their places) or three 32-bit
// indices (TriangleRow).
//
// Points are Vector3 as the readers store them, or any type that
// CornerPoint turns into one (the whole-format reader maps its axes there,
// so a big object is not held twice).
template <typename Point, typename Row, typename BeforeWrite, typename AfterWrite>
void WritePolygons(ReaderArgs& args, const std::vector<Point>& points, const std::vector<Row>& rows,
                   BeforeWrite beforeWrite, AfterWrite afterWrite) {
  // A corner not made yet has a form length that no made form has; this
  // keeps the table of a big object at 72 bytes a point.
  constexpr std::uint8_t kNotMade = 0xFF;
  static_assert(Unreal::CornerForm::kRoom < kNotMade);
  struct Corner {
    Vector3 point;
    Unreal::CornerForm form;
  };
  // The corner table and the link counter belong to whoever makes the
  // records; the run's counter is set at each write from where it began.
  std::vector<Corner> corners(points.size());
  for (Corner& corner : corners) corner.form.length = kNotMade;
  const std::int32_t counterStart = Unreal::PolygonLinkCounter;
  const std::int32_t spotStart = args.spot;
  const double scale = args.scale;
  std::int32_t link = counterStart;

  // Makes the polygons of rows batch.first on at the end of batch.texts.
  auto fill = [&](RecordBatch& batch) {
    const std::size_t last = std::min(rows.size(), batch.first + kRecordBatch);
    try {
      for (std::size_t r = batch.first; r < last; ++r) {
        const Corner* corner[3];
        for (int k = 0; k < 3; ++k) {
          const std::int64_t index = RowIndex(rows[r], k);
          if (index < 0 || static_cast<std::size_t>(index) >= points.size()) {
            batch.failureSpot = RowSpot(rows[r], k, spotStart);
            ThrowOutsideTable(index, points.size());
          }
          Corner& shared = corners[static_cast<std::size_t>(index)];
          if (shared.form.length == kNotMade) {
            shared.point = CornerPoint(points[static_cast<std::size_t>(index)]);
            if (scale != 1.0) shared.point = ModuleVector::VectorScale(shared.point, scale);
            Unreal::MakeCornerForm(shared.form, shared.point);
          }
          corner[k] = &shared;
        }
        Unreal::WriteTriangle(batch.texts, corner[0]->point, corner[1]->point, corner[2]->point,
                              corner[0]->form, corner[1]->form, corner[2]->form, link);
        batch.texts += "\r\n";
        batch.ends[batch.made++] = batch.texts.size();
      }
    } catch (...) {
      // Kept until the polygons made before it are written.
      if (batch.failureSpot == 0) batch.failureSpot = spotStart;
      batch.failure = std::current_exception();
    }
  };
  // Writes a batch's polygons one by one; then raises its failure, if any.
  auto write = [&](const RecordBatch& batch) {
    const std::string_view all = batch.texts;
    std::size_t from = 0;
    for (std::size_t i = 0; i < batch.made; ++i) {
      const std::size_t row = batch.first + i;
      Unreal::PolygonLinkCounter = static_cast<std::int32_t>(counterStart + std::int64_t{1} +
                                                             static_cast<std::int64_t>(row));
      beforeWrite(row);
      TextRoutines::WriteTextLine(args.outputPath, all.substr(from, batch.ends[i] - from), true);
      from = batch.ends[i];
      afterWrite(row);
    }
    if (batch.failure) {
      Unreal::PolygonLinkCounter = static_cast<std::int32_t>(
          counterStart + static_cast<std::int64_t>(batch.first + batch.made));
      args.spot = batch.failureSpot;
      std::rethrow_exception(batch.failure);
    }
  };

  if (MakeRecordsAhead(rows.size())) {
    RecordsAhead ahead(rows.size(), fill);
    while (const RecordBatch* batch = ahead.Next()) write(*batch);
  } else {
    RecordBatch batch;
    for (std::size_t first = 0; first < rows.size(); first += batch.made) {
      batch.first = first;
      batch.made = 0;
      batch.texts.clear();
      batch.failureSpot = 0;
      fill(batch);
      write(batch);
    }
  }
  Unreal::PolygonLinkCounter =
      static_cast<std::int32_t>(counterStart + static_cast<std::int64_t>(rows.size()));
}

}  // namespace Kelvane
