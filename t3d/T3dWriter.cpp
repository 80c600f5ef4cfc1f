#include "t3d/T3dWriter.h"

#include <climits>
#include <filesystem>
#include <utility>

#include "platform/Platform.h"
#include "t3d/EditorFrame.h"
#include "t3d/PolygonRecords.h"
#include "text/Files.h"
#include "text/RunError.h"

namespace Kelvane::Unreal {

T3dWriter::T3dWriter(std::string outputPath, std::string templatePath, Output output)
    : outputPath_(std::move(outputPath)),
      templatePath_(templatePath.empty() ? DefaultTemplatePath() : std::move(templatePath)),
      targetPath_(outputPath_),
      writeFiles_(output == Output::kFile) {}

std::string SideFileName(const std::string& output, int n) {
  return n <= 1 ? output + ".partial" : output + "." + std::to_string(n) + ".partial";
}

void T3dWriter::StartDocument() {
  targetPath_ = outputPath_;
  sideWanted_ = Platform::IsRegularFile(outputPath_);
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

void T3dWriter::MakeSideFile() {
  namespace fs = std::filesystem;
  std::error_code error;
  // Through a link the file it leads to is replaced, as writing through it
  // would; the link stays.
  const fs::path output = Platform::PathOf(outputPath_);
  replacedPath_ = outputPath_;
  if (fs::is_symlink(output, error)) {
    const fs::path target = fs::canonical(output, error);
    if (!error) replacedPath_ = Platform::TextOf(target);
  }
  // A file the run could not write must not be replaced either: the same
  // refusal as writing it in place, and the earlier document stays.
  Platform::File check;
  int code = 0;
  if (!check.Open(replacedPath_, Platform::File::Mode::kAppend, code))
    ThrowFileError("Cannot write", outputPath_, code);
  check.Close(code);
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
    if (!Platform::Exists(side)) ThrowFileError("Cannot write", side, code);
  }
  throw RunError(ErrorKind::FileError, "Cannot write a side file beside \"" + outputPath_ +
                                           "\": \"" + SideFileName(replacedPath_, 1) + "\" to \"" +
                                           SideFileName(replacedPath_, kMostSideFiles) +
                                           "\" are all taken; remove the ones no longer needed");
}

void T3dWriter::FinishDocument() {
  if (targetPath_ == outputPath_) return;
  int code = 0;
  if (!Platform::PutFileInPlace(targetPath_, replacedPath_, code)) {
    throw RunError(ErrorKind::FileError, "Cannot put \"" + targetPath_ + "\" in the place of \"" +
                                             outputPath_ + "\": " + Platform::ErrorText(code));
  }
  targetPath_ = outputPath_;
}

void T3dWriter::WriteEditorPolygon(std::string& text, const Vector3* corners, std::size_t count,
                                   const Vector3& normal, std::string_view texture,
                                   const TextureAxes* axes, std::int32_t flags) {
  if (polygonLinkCounter_ == INT32_MAX || brushLink_ == INT32_MAX) {
    throw RunError(ErrorKind::Overflow, "More than 2147483647 polygons");
  }
  Unreal::WriteEditorPolygon(text, brushLink_, corners, count, normal, texture, axes, flags);
  ++brushLink_;
  ++polygonLinkCounter_;
  for (std::size_t k = 0; k < count; ++k) extent_.Include(corners[k]);
}

void T3dWriter::BeginDocument(std::string& text, OutputMode mode) const {
  Unreal::BeginDocument(text, mode, templatePath_);
}

void T3dWriter::WritePiece(std::string_view piece, bool append) {
  if (!writeFiles_) return;
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

void T3dWriter::AppendRecord(std::string_view record) {
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
