#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "t3d/EditorFrame.h"
#include "t3d/PolygonRecords.h"
#include "t3d/RecordsAhead.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"
#include "vector/ModuleVector.h"

// Writing the polygons of one object, one record per row of a corner table,
// each appended to the output at once.
namespace Kelvane {

// Three indices into a point table, with where each was read.
struct IndexRow {
  std::int16_t index[3];
  std::int32_t spot[3];
};

// Three 32-bit indices into a point table, checked where they were read.
using TriangleRow = std::array<std::uint32_t, 3>;

inline std::int64_t RowIndex(const IndexRow& row, int k) { return row.index[k]; }
inline std::int32_t RowSpot(const IndexRow& row, int k, std::int32_t) { return row.spot[k]; }
inline std::int64_t RowIndex(const TriangleRow& row, int k) {
  return row[static_cast<std::size_t>(k)];
}
inline std::int32_t RowSpot(const TriangleRow&, int, std::int32_t spot) { return spot; }

// A polygon's corner names a point the table does not hold.
[[noreturn]] inline void ThrowOutsideTable(std::int64_t index, std::size_t size) {
  throw RunError(ErrorKind::OutOfRange, "Point index " + std::to_string(index) +
                                            " is outside the table 0 to " +
                                            std::to_string(size - 1));
}

// Makes the records of an object's rows, batch after batch in row order,
// on whichever thread calls Fill: the corner table, the link numbers and
// the box around the corners made belong to it, not to the writer.
template <typename Point, typename Row, typename MakeCorner>
class RecordMaker {
 public:
  RecordMaker(const std::vector<Point>& points, const std::vector<Row>& rows, MakeCorner corner,
              double scale, std::int32_t firstLink, std::int32_t spot)
      : points_(points),
        rows_(rows),
        corner_(corner),
        scale_(scale),
        // Only the mark of each corner is set here: a corner is filled in
        // when a row first names it, so the table is not cleared first.
        corners_(std::make_unique_for_overwrite<Corner[]>(points.size())),
        link_(firstLink),
        spot_(spot) {
    for (std::size_t i = 0; i < points.size(); ++i) corners_[i].form.length = kNotMade;
  }

  // Makes the records of rows batch.first on, one after another at the
  // start of batch.texts, whose room is kept from batch to batch; a failure
  // is kept in the batch behind the records made before it. What the loop
  // uses is copied into locals first: the calls inside it could change
  // anything a reference reaches, so the compiler would fetch it again each
  // time.
  void Fill(RecordBatch& batch) {
    const std::size_t first = batch.first;
    const std::size_t last = std::min(rows_.size(), first + kRecordBatch);
    const Row* const rowAt = rows_.data();
    const Point* const pointAt = points_.data();
    const std::size_t pointCount = points_.size();
    Corner* const table = corners_.get();
    const double factor = scale_;
    Unreal::LinkDigits next{.value = link_};
    std::size_t made = 0;
    std::size_t used = 0;
    try {
      for (std::size_t r = first; r < last; ++r) {
        const Corner* cornerOf[3];
        for (int k = 0; k < 3; ++k) {
          const std::int64_t index = RowIndex(rowAt[r], k);
          if (index < 0 || static_cast<std::size_t>(index) >= pointCount) {
            batch.failureSpot = RowSpot(rowAt[r], k, spot_);
            ThrowOutsideTable(index, pointCount);
          }
          Corner& shared = table[static_cast<std::size_t>(index)];
          if (shared.form.length == kNotMade) {
            shared.point = corner_(pointAt[static_cast<std::size_t>(index)]);
            if (factor != 1.0) shared.point = ModuleVector::VectorScale(shared.point, factor);
            Unreal::MakeCornerForm(shared.form, shared.point);
            extent_.Include(shared.point);
          }
          cornerOf[k] = &shared;
        }
        // Room for the largest record and the empty line after it.
        if (batch.texts.size() - used < Unreal::kTriangleRoom + 2) {
          batch.texts.resize(std::max(2 * batch.texts.size(), used + Unreal::kTriangleRoom + 2));
        }
        char* const start = batch.texts.data();
        char* const end =
            Unreal::PutTriangle(start + used, *cornerOf[0], *cornerOf[1], *cornerOf[2], next);
        end[0] = '\r';
        end[1] = '\n';
        used = static_cast<std::size_t>(end + 2 - start);
        batch.ends[made++] = used;
      }
    } catch (...) {
      // Kept until the polygons made before it are written.
      if (batch.failureSpot == 0) batch.failureSpot = spot_;
      batch.failure = std::current_exception();
    }
    batch.made = made;
    link_ = next.value;
  }

  // The box around the corners made so far.
  const Unreal::Extent& Corners() const { return extent_; }

 private:
  // A corner not made yet has a form length that no made form has; this
  // keeps the table of a big object at 72 bytes a point.
  static constexpr std::uint8_t kNotMade = 0xFF;
  static_assert(Unreal::CornerForm::kRoom < kNotMade);
  using Corner = Unreal::FormedCorner;

  const std::vector<Point>& points_;
  const std::vector<Row>& rows_;
  MakeCorner corner_;
  double scale_;
  std::unique_ptr<Corner[]> corners_;
  std::int32_t link_;
  std::int32_t spot_;
  Unreal::Extent extent_;
};

// Writes a batch's records one by one, the writer's link counter set at
// each write from where the object began; then raises the batch's failure,
// if any, with `spot` on where it stood.
template <typename BeforeWrite, typename AfterWrite>
void WriteRecordBatch(Unreal::T3dWriter& writer, const RecordBatch& batch,
                      std::int32_t counterStart, std::int32_t& spot, BeforeWrite& beforeWrite,
                      AfterWrite& afterWrite) {
  const std::string_view all = batch.texts;
  std::size_t from = 0;
  for (std::size_t i = 0; i < batch.made; ++i) {
    const std::size_t row = batch.first + i;
    writer.SetPolygonLinkCounter(
        static_cast<std::int32_t>(counterStart + std::int64_t{1} + static_cast<std::int64_t>(row)));
    beforeWrite(row);
    writer.AppendRecord(std::string_view(all.data() + from, batch.ends[i] - from));
    from = batch.ends[i];
    afterWrite(row);
  }
  if (batch.failure) {
    writer.SetPolygonLinkCounter(static_cast<std::int32_t>(
        counterStart + static_cast<std::int64_t>(batch.first + batch.made)));
    spot = batch.failureSpot;
    std::rethrow_exception(batch.failure);
  }
}

// Writes one polygon per row, in order: each corner is `corner(point)` of
// the point its index names, scaled unless the factor is exactly 1.0; each
// polygon is appended to the output at once. `beforeWrite(rowNumber)` runs
// after the polygon text is made and `afterWrite(rowNumber)` after it is
// written. `spot` is where the reader stands in the input: a failure sets
// it to where the failing row's index was read (IndexRow), else leaves it.
//
// Neighbouring polygons share corners: a point is mapped, scaled and its
// form made the first time a row names it, and taken as it is after that.
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
// indices (TriangleRow). Points are of any type that `corner` turns into
// the output's Vector3 (the whole-format reader maps its axes there, so a
// big object is not held twice).
template <typename Point, typename Row, typename MakeCorner, typename BeforeWrite,
          typename AfterWrite>
void WritePolygons(Unreal::T3dWriter& writer, double scale, std::int32_t& spot,
                   const std::vector<Point>& points, MakeCorner corner,
                   const std::vector<Row>& rows, BeforeWrite beforeWrite, AfterWrite afterWrite) {
  const std::int32_t counterStart = writer.PolygonLinkCounter();
  RecordMaker<Point, Row, MakeCorner> maker(points, rows, corner, scale, counterStart, spot);
  if (MakeRecordsAhead(rows.size())) {
    RecordsAhead ahead(rows.size(), [&](RecordBatch& batch) { maker.Fill(batch); });
    while (const RecordBatch* batch = ahead.Next()) {
      WriteRecordBatch(writer, *batch, counterStart, spot, beforeWrite, afterWrite);
    }
  } else {
    RecordBatch batch;
    for (std::size_t first = 0; first < rows.size(); first += batch.made) {
      batch.first = first;
      batch.made = 0;
      batch.failureSpot = 0;
      maker.Fill(batch);
      WriteRecordBatch(writer, batch, counterStart, spot, beforeWrite, afterWrite);
    }
  }
  writer.SetPolygonLinkCounter(
      static_cast<std::int32_t>(counterStart + static_cast<std::int64_t>(rows.size())));
  writer.IncludeCorners(maker.Corners());
}

// WritePolygons in the editor's form (EditorFrame.h): each row's corners
// written in the opposite order (the editor's frame is the mirror of the
// model's, so this keeps the face turned the way the model turned it) or,
// with `sameOrder`, as they stand; a row whose corners span no area is left
// out and counted in the writer. Captions and yields come per row as there.
template <typename Point, typename Row, typename MakeCorner, typename BeforeWrite,
          typename AfterWrite>
void WriteEditorTriangles(Unreal::T3dWriter& writer, double scale, std::int32_t& spot,
                          const std::vector<Point>& points, MakeCorner corner,
                          const std::vector<Row>& rows, bool sameOrder, BeforeWrite beforeWrite,
                          AfterWrite afterWrite) {
  const std::int32_t spotStart = spot;
  // Each point is mapped, scaled, judged and formed once, the first time a
  // row names it. What the loop uses is copied into locals first, as in
  // RecordMaker::Fill.
  Unreal::EditorCornerTable table(points.size());
  Unreal::EditorCorner* const tableAt = table.data();
  const Row* const rowAt = rows.data();
  const std::size_t rowCount = rows.size();
  const Point* const pointAt = points.data();
  const std::size_t pointCount = points.size();
  for (std::size_t r = 0; r < rowCount; ++r) {
    const Unreal::EditorCorner* made[3];
    for (int k = 0; k < 3; ++k) {
      const std::int64_t index = RowIndex(rowAt[r], k);
      if (index < 0 || static_cast<std::size_t>(index) >= pointCount) {
        spot = RowSpot(rowAt[r], k, spotStart);
        ThrowOutsideTable(index, pointCount);
      }
      Unreal::EditorCorner& shared = tableAt[index];
      if (!Unreal::EditorCornerTable::Made(shared)) {
        Vector3 point = corner(pointAt[index]);
        if (scale != 1.0) point = ModuleVector::VectorScale(point, scale);
        Unreal::MakeEditorCorner(shared, point);
      }
      made[k] = &shared;
    }
    if (!sameOrder) std::swap(made[1], made[2]);
    Vector3 normal;
    // A triangle with area may still be none to the editor, which reads its
    // corners as written.
    std::size_t count = 3;
    std::size_t merged = 0;
    bool area = Unreal::EditorNormal(made[0]->point, made[1]->point, made[2]->point, normal);
    const Unreal::EditorVerdict verdict =
        area ? Unreal::JudgeEditorCorners(made, nullptr, count, merged)
             : Unreal::EditorVerdict::kKept;
    if (!area) {
      writer.LeaveOutZeroArea();
    } else if (verdict == Unreal::EditorVerdict::kTooFewCorners) {
      area = false;
      writer.LeaveOutCollapsed();
    } else if (verdict == Unreal::EditorVerdict::kOnALine) {
      area = false;
      writer.LeaveOutOnALine();
    } else {
      writer.MakeEditorRecord(made, 3, normal, {}, nullptr);
    }
    beforeWrite(r);
    if (area) writer.WriteRecord();
    afterWrite(r);
  }
}

}  // namespace Kelvane
