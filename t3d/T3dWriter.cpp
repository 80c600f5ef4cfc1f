#include "t3d/T3dWriter.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/Platform.h"
#include "t3d/EditorFrame.h"
#include "t3d/PolygonRecords.h"
#include "text/Files.h"
#include "text/RunError.h"

namespace Kelvane::Unreal {

T3dWriter::T3dWriter(std::string outputPath, std::string templatePath, Output output,
                     Writes writes, std::size_t streamBlock)
    : outputPath_(std::move(outputPath)),
      templatePath_(templatePath.empty() ? DefaultTemplatePath() : std::move(templatePath)),
      targetPath_(outputPath_),
      writeFiles_(output == Output::kFile),
      streamAsked_(writes == Writes::kStream),
      streamBlock_(streamBlock) {}

T3dWriter::~T3dWriter() { Abandon(); }

std::string SideFileName(const std::string& output, int n) {
  return n <= 1 ? output + ".partial" : output + "." + std::to_string(n) + ".partial";
}

void T3dWriter::StartDocument() {
  targetPath_ = outputPath_;
  earlierOutput_ = Platform::IsRegularFile(outputPath_);
  sideWanted_ = earlierOutput_;
  headWritten_ = false;
  recordsWritten_ = 0;
}

bool EndsAsWholeDocument(const std::string& path) {
  constexpr std::string_view kEnds[] = {"End Map\r\n", "End PolyList\r\n"};
  Platform::File file;
  int error = 0;
  std::int64_t length = 0;
  bool folder = false;
  if (!file.Open(path, Platform::File::Mode::kRead, error) || !file.Length(length, folder, error) ||
      folder) {
    return false;
  }
  char end[16];
  const std::int64_t want = length < 16 ? length : 16;
  if (!file.Seek(length - want, error)) return false;
  std::int64_t got = 0;
  while (got < want) {
    const std::int64_t n = file.Read(end + got, static_cast<std::size_t>(want - got), error);
    if (n <= 0) return false;
    got += n;
  }
  const std::string_view tail(end, static_cast<std::size_t>(got));
  for (const std::string_view ending : kEnds) {
    if (tail.size() >= ending.size() && tail.substr(tail.size() - ending.size()) == ending)
      return true;
  }
  return false;
}

namespace {

namespace fs = std::filesystem;

// Where writing through `path` would write: the path itself, or the file
// its links lead to, also when that file does not exist yet.
std::string WrittenThrough(const std::string& path) {
  std::error_code error;
  fs::path at = Platform::PathOf(path);
  // As many links as the system follows in one path.
  for (int hop = 0; hop < 40 && fs::is_symlink(at, error); ++hop) {
    const fs::path target = fs::canonical(at, error);
    if (!error) return Platform::TextOf(target);
    const fs::path next = fs::read_symlink(at, error);
    if (error) break;
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  return Platform::TextOf(at);
}

}  // namespace

void T3dWriter::MakeSideFile() {
  // Through a link the file it leads to is replaced, as writing through it
  // would; the link stays.
  replacedPath_ = WrittenThrough(outputPath_);
  int code = 0;
  if (earlierOutput_) {
    // A file the run could not write must not be replaced either: the same
    // refusal as writing it in place, and the earlier document stays.
    Platform::File check;
    if (!check.Open(replacedPath_, Platform::File::Mode::kAppend, code))
      ThrowFileError("Cannot write", outputPath_, code);
    check.Close(code);
  }
  // A side file left by an earlier run may hold what the user still wants:
  // the next free name is taken instead, made new so that no other file is
  // ever written over.
  constexpr int kMostSideFiles = 100;
  for (int n = 1; n <= kMostSideFiles; ++n) {
    const std::string side = SideFileName(replacedPath_, n);
    Platform::File file;
    if (file.Open(side, Platform::File::Mode::kCreate, code)) {
      file.Close(code);
      targetPath_ = side;
      return;
    }
    if (!Platform::Exists(side)) {
      // Without an earlier output the side file is the output's own first
      // write, and what stops it stops the output (a folder that is
      // missing or takes no files).
      ThrowFileError("Cannot write", earlierOutput_ ? side : outputPath_, code);
    }
  }
  throw RunError(ErrorKind::FileError, "Cannot write a side file beside \"" + outputPath_ +
                                           "\": \"" + SideFileName(replacedPath_, 1) + "\" to \"" +
                                           SideFileName(replacedPath_, kMostSideFiles) +
                                           "\" are all taken; remove the ones no longer needed");
}

char* T3dWriter::GrowFor(std::size_t bytes) {
  // A block and the piece that fills it, or a piece larger than a block (a
  // long template): grown once, kept for the document. Without a stream it
  // holds one record at a time.
  const std::size_t room =
      std::max(used_ + bytes, streaming_ ? streamBlock_ + 65536 : std::size_t{65536});
  auto grown = std::make_unique_for_overwrite<char[]>(room);
  if (used_ > 0) std::memcpy(grown.get(), buffer_.get(), used_);
  buffer_ = std::move(grown);
  room_ = room;
  return buffer_.get() + used_;
}

void T3dWriter::ThrowTooManyPolygons() {
  throw RunError(ErrorKind::Overflow, "More than 2147483647 polygons");
}

void T3dWriter::WriteBlock() {
  if (used_ == 0) return;
  const std::string_view block(buffer_.get(), used_);
  // Taken back from the file when it fails: the file holds the blocks
  // before, whole pieces; this one is dropped.
  used_ = 0;
  TextRoutines::WriteTextLine(targetPath_, block, true);
  streamed_ += block.size();
}

void T3dWriter::FinishDocument() {
  if (streaming_) {
    WriteBlock();
    settled_ = true;
  }
  if (targetPath_ == outputPath_) return;
  int code = 0;
  if (!Platform::PutFileInPlace(targetPath_, replacedPath_, code)) {
    throw RunError(ErrorKind::FileError, "Cannot put \"" + targetPath_ + "\" in the place of \"" +
                                             outputPath_ + "\": " + Platform::ErrorText(code));
  }
  targetPath_ = outputPath_;
}

void T3dWriter::Abandon() noexcept {
  if (settled_) return;
  settled_ = true;
  try {
    WriteBlock();
  } catch (...) {
    // The failure that stopped the run is the one reported.
  }
  if (streamed_ == 0 && targetPath_ != outputPath_) {
    // Not even the head went in: the run made this file, and it goes again
    // as a new output would.
    Platform::RemoveFile(targetPath_);
    targetPath_ = outputPath_;
  }
  buffer_.reset();
  used_ = room_ = 0;
}

void T3dWriter::WriteRecordAlone() {
  const std::size_t made = made_;
  made_ = 0;
  if (!writeFiles_) return;
  TextRoutines::WriteTextLine(targetPath_, std::string_view(buffer_.get() + used_, made), true);
  ++recordsWritten_;
}

void T3dWriter::BeginDocument(std::string& text, OutputMode mode) const {
  Unreal::BeginDocument(text, mode, templatePath_);
}

void T3dWriter::WritePiece(std::string_view piece, bool append) {
  if (!writeFiles_) return;
  if (!append) {
    // The document's first piece: the way this document is written is
    // decided here, as whether a side file is made.
    streaming_ = streamAsked_ && (!Platform::Exists(outputPath_) || earlierOutput_);
    if (streaming_) {
      sideWanted_ = false;
      settled_ = false;
      streamed_ = 0;
      used_ = 0;
      MakeSideFile();
    }
  }
  if (streaming_) {
    Gather(piece);
    Gather("\r\n");
    if (used_ >= streamBlock_) WriteBlock();
    return;
  }
  if (!append && sideWanted_) {
    sideWanted_ = false;
    MakeSideFile();
    try {
      TextRoutines::WriteTextFile(targetPath_, piece, append);
    } catch (const RunError&) {
      // Not even the head went in: the side file holds nothing, and the
      // run made it, so it goes again as a new output would.
      Platform::RemoveFile(targetPath_);
      targetPath_ = outputPath_;
      throw;
    }
    headWritten_ = true;
    return;
  }
  TextRoutines::WriteTextFile(targetPath_, piece, append);
  if (!append) headWritten_ = true;
}

void T3dWriter::StreamRecord(std::string_view record) {
  Gather(record);
  if (used_ >= streamBlock_) WriteBlock();
}

void T3dWriter::AppendRecord(std::string_view record) {
  // The default document's records come this way one by one: nothing but
  // the write itself on their path.
  if (streaming_) return StreamRecord(record);
  if (!writeFiles_) return;
  TextRoutines::WriteTextLine(targetPath_, record, true);
  ++recordsWritten_;
}

void T3dWriter::BeginPolygon(std::string& text, const Vector3& A, const Vector3& B,
                             const Vector3& C) {
  Unreal::BeginPolygon(text, A, B, C, polygonLinkCounter_);
}

void T3dWriter::WriteTriangle(std::string& text, const Vector3& A, const Vector3& B,
                              const Vector3& C) {
  AppendTriangle(text, A, B, C, polygonLinkCounter_);
}

void T3dWriter::WriteTexturedTriangle(std::string& text, const Vector3& A, const Vector3& B,
                                      const Vector3& C, std::string_view texture,
                                      const TextureAxes* axes) {
  AppendTexturedTriangle(text, A, B, C, texture, axes, polygonLinkCounter_);
}

void T3dWriter::WriteTriangle(std::string& text, const Vector3& A, const Vector3& B,
                              const Vector3& C, const CornerForm& formA, const CornerForm& formB,
                              const CornerForm& formC) {
  AppendTriangle(text, A, B, C, polygonLinkCounter_, &formA, &formB, &formC);
}

}  // namespace Kelvane::Unreal
