#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "t3d/EditorFrame.h"
#include "t3d/Extent.h"
#include "t3d/Framing.h"
#include "t3d/NumberForm.h"
#include "t3d/TextureAxes.h"
#include "vector/Vector3.h"

namespace Kelvane::Unreal {

struct CornerForm;

// What the editor frame left out or mended so that an editor keeps every
// polygon it is given as it stands.
struct EditorMends {
  // Triangles of zero area left out; those whose corners lie on one line
  // only as written (to six decimals) among them.
  std::int64_t zeroArea = 0;
  std::int64_t onALine = 0;
  // Triangles left with fewer than three corners once those the editor
  // takes for one point were merged.
  std::int64_t collapsed = 0;
  // Corners of the polygons written merged into their neighbour.
  std::int64_t mergedCorners = 0;
};

// The T3D document one run writes: the polygon records' numbering, the map
// template and the output file. Each piece of text is made into a string the
// caller passes (document-level routines replace it, polygon records append
// to it) and handed to the writer, which puts it in the file one of two
// ways (Writes).
class T3dWriter {
 public:
  // kNone: pieces are made and counted but not written (a pass that only
  // measures the model).
  enum class Output { kFile, kNone };

  // kPieces: each piece is written at once by its own open, append and
  // close, so the file is complete up to the last piece at every moment
  // (the default document). kStream: pieces are gathered and written in
  // blocks of about kStreamBlock bytes into a side file, which takes the
  // output's place in one step when the document is whole (the editor
  // documents); an output that is no regular file (a device, a pipe, a
  // folder) still takes the pieces one by one.
  enum class Writes { kPieces, kStream };
  // The bytes a stream gathers before it writes them: whole pieces only,
  // so a block goes out as soon as it reaches this size.
  static constexpr std::size_t kStreamBlock = std::size_t{4} << 20;

  // An empty template path means DefaultTemplatePath(). `streamBlock` is
  // the size a stream's block reaches before it is written (kStreamBlock;
  // tests take smaller ones).
  explicit T3dWriter(std::string outputPath, std::string templatePath = {},
                     Output output = Output::kFile, Writes writes = Writes::kPieces,
                     std::size_t streamBlock = kStreamBlock);
  // A document left unfinished goes the way Abandon sends it.
  ~T3dWriter();
  T3dWriter(const T3dWriter&) = delete;
  T3dWriter& operator=(const T3dWriter&) = delete;

  // Numbers the polygon records: written into each record's head line, then
  // increased. It starts at 0 with the document.
  std::int32_t PolygonLinkCounter() const { return polygonLinkCounter_; }
  void SetPolygonLinkCounter(std::int32_t value) { polygonLinkCounter_ = value; }

  // The box around the corners written so far (kept by whoever writes them).
  const Extent& CornersWritten() const { return extent_; }
  void IncludeCorner(const Vector3& corner) { extent_.Include(corner); }
  void IncludeCorners(const Extent& corners) { extent_.Include(corners); }

  // What the editor's form left out or mended.
  const EditorMends& Mends() const { return mends_; }
  std::int64_t ZeroAreaLeftOut() const { return mends_.zeroArea; }
  void LeaveOutZeroArea() { ++mends_.zeroArea; }
  void LeaveOutOnALine() {
    ++mends_.zeroArea;
    ++mends_.onALine;
  }
  void LeaveOutCollapsed() { ++mends_.collapsed; }
  void CountMergedCorners(std::size_t corners) {
    mends_.mergedCorners += static_cast<std::int64_t>(corners);
  }

  const std::string& OutputPath() const { return outputPath_; }
  const std::string& TemplatePath() const { return templatePath_; }

  // Mode 2: "Begin PolyList"; any other mode: the template, as read.
  void BeginDocument(std::string& text, OutputMode mode) const;
  // The records of Unreal/PolygonRecords.h, numbered by PolygonLinkCounter.
  void BeginPolygon(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C);
  void WriteTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C);
  void WriteTriangle(std::string& text, const Vector3& A, const Vector3& B, const Vector3& C,
                     const CornerForm& formA, const CornerForm& formB, const CornerForm& formC);
  void WriteTexturedTriangle(std::string& text, const Vector3& A, const Vector3& B,
                             const Vector3& C, std::string_view texture, const TextureAxes* axes);
  // A polygon in the editor's form (EditorFrame.h), numbered within its
  // brush, made where the next record goes (at the stream's end), with the
  // empty line after it; it counts in PolygonLinkCounter and its corners
  // in CornersWritten. WriteRecord then writes it: nothing else may be
  // written between the two.
  void MakeEditorRecord(const EditorCorner* const* corners, std::size_t count,
                        const Vector3& normal, std::string_view texture, const TextureAxes* axes,
                        std::int32_t flags = 0);
  void WriteRecord();
  // A brush begins: the editor's polygon numbers start again at 0.
  void StartBrush() { brushLink_ = {}; }

  // Writes a piece to the output followed by CR LF: the first piece of a
  // document replaces the file (append false), every later one is appended.
  void WritePiece(std::string_view piece, bool append);
  // Appends text that already ends its last line (a polygon record and the
  // empty line after it).
  void AppendRecord(std::string_view record);
  // What is on disk of this document: whether its head went in (then the
  // target holds the pieces written since), and the polygon records after it.
  bool HeadWritten() const { return headWritten_; }
  std::int64_t RecordsWritten() const { return recordsWritten_; }

  // Begins a document that must not cost the user an earlier one: when the
  // output is an existing file, the pieces go to a side file beside it
  // instead (SideFileName), made new with the first piece, and only
  // FinishDocument puts it in the output's place. A run that fails leaves
  // the earlier document as it was. Without an existing file the pieces go
  // to the output itself, as without this call; a stream (Writes::kStream)
  // goes to a side file either way, so that a new output too appears only
  // whole.
  void StartDocument();
  // After the last piece: what the stream holds is written, and the side
  // file, if any, replaces the output in one step (Platform::PutFileInPlace).
  // A file error when it cannot; the side file then keeps what went into it.
  void FinishDocument();
  // After a failure, or when the run is stopped: the document will not be
  // finished. What the stream holds goes to the side file, which never
  // takes the output's place; a side file that nothing went into is
  // removed. Raises nothing: the failure that stopped the run is the one
  // to report. Nothing happens after FinishDocument, or a second time.
  void Abandon() noexcept;
  // Where the pieces go: the output, or the side file.
  const std::string& TargetPath() const { return targetPath_; }
  // The side file that holds this document while it has not replaced the
  // output; empty when there is none.
  std::string SideFile() const { return targetPath_ == outputPath_ ? std::string() : targetPath_; }
  // Whether the output was an existing file when the document began, which
  // the side file stands beside.
  bool ReplacesEarlierOutput() const { return earlierOutput_; }

 private:
  // The side file beside the output (or where its link leads), made new.
  void MakeSideFile();
  // Writes what the stream holds to the side file and empties it. A write
  // that fails takes its bytes back (text/Files) and drops the block.
  void WriteBlock();
  // Room for `bytes` more at the buffer's end: the stream's, or the one
  // record a writer of pieces makes at a time.
  char* RoomFor(std::size_t bytes) {
    return room_ - used_ >= bytes ? buffer_.get() + used_ : GrowFor(bytes);
  }
  [[gnu::noinline]] char* GrowFor(std::size_t bytes);
  [[noreturn]] static void ThrowTooManyPolygons();
  // WriteRecord for a record that does not go into the stream.
  [[gnu::noinline]] void WriteRecordAlone();
  [[gnu::noinline]] void StreamRecord(std::string_view record);
  void Gather(std::string_view text) {
    std::memcpy(RoomFor(text.size()), text.data(), text.size());
    used_ += text.size();
  }

  std::string outputPath_;
  std::string templatePath_;
  std::string targetPath_;
  // The file a side file replaces: the output, or where its link leads.
  std::string replacedPath_;
  bool writeFiles_;
  bool streamAsked_;
  std::size_t streamBlock_;
  // This document goes through the stream (decided by its first piece).
  bool streaming_ = false;
  bool sideWanted_ = false;
  bool headWritten_ = false;
  std::int64_t recordsWritten_ = 0;
  bool earlierOutput_ = false;
  // The stream's bytes (or the record being made): used_ of room_.
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::size_t room_ = 0;
  // The record MakeEditorRecord made after the used bytes.
  std::size_t made_ = 0;
  // Bytes the side file holds; false while a stream's document is neither
  // finished nor abandoned.
  std::uint64_t streamed_ = 0;
  bool settled_ = true;
  std::int32_t polygonLinkCounter_ = 0;
  LinkDigits brushLink_;
  Extent extent_;
  EditorMends mends_;
};

// Whether the file ends as every whole T3D document does, with "End Map"
// or "End PolyList" and CR LF; false when it cannot be read. An earlier
// output that does not was most likely left by a run that failed.
bool EndsAsWholeDocument(const std::string& path);

// Inline: a reader's loop holds the whole of an editor record's making.
inline void T3dWriter::MakeEditorRecord(const EditorCorner* const* corners, std::size_t count,
                                        const Vector3& normal, std::string_view texture,
                                        const TextureAxes* axes, std::int32_t flags) {
  if (polygonLinkCounter_ == INT32_MAX || brushLink_.value == INT32_MAX) [[unlikely]] {
    ThrowTooManyPolygons();
  }
  char* const start = RoomFor(EditorRecordRoom(count, texture.size()) + 2);
  char* const end = PutEditorRecord(start, brushLink_, corners, count, normal, texture, axes, flags);
  end[0] = '\r';
  end[1] = '\n';
  made_ = static_cast<std::size_t>(end + 2 - start);
  ++polygonLinkCounter_;
  for (std::size_t k = 0; k < count; ++k) {
    if (corners[k]->inExtent) continue;
    extent_.Include(corners[k]->point);
    corners[k]->inExtent = true;
  }
}

inline void T3dWriter::WriteRecord() {
  if (!streaming_) [[unlikely]] return WriteRecordAlone();
  used_ += made_;
  made_ = 0;
  if (used_ >= streamBlock_) WriteBlock();
}

// The name of side file `n` (from 1) beside `output`: "OUTPUT.partial", then
// "OUTPUT.2.partial", ... A name that does not end in ".t3d" keeps an
// unfinished document out of the editor's import dialog, and the number
// keeps the side file of an earlier failed run.
std::string SideFileName(const std::string& output, int n);

}  // namespace Kelvane::Unreal
