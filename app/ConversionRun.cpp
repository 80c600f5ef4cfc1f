#include "app/ConversionRun.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "keyword/Readers.h"
#include "platform/Platform.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"
#include "text/TextRoutines.h"

namespace Kelvane {

namespace {

constexpr std::string_view kKeywords[] = {"Polyhedron", "Mesh", "TriMesh", "PixmapTexture ("};

}  // namespace

InputPlace PlaceOf(std::string_view text, std::int32_t position) {
  InputPlace place{1, 1};
  std::size_t lineStart = 0;
  const std::size_t end =
      std::min(text.size(), static_cast<std::size_t>(std::max(position, 1) - 1));
  for (std::size_t i = 0; i < end; ++i) {
    const char c = text[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
      ++place.line;
      lineStart = i + 1;
    }
  }
  place.column = static_cast<std::int32_t>(std::max(position, 1) - 1 -
                                           static_cast<std::int64_t>(lineStart) + 1);
  return place;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
  return Platform::SameFile(a, b);
}

std::optional<InputPlace> ConversionRun::ErrorPlace() const {
  if (spot_ < 1) return std::nullopt;
  return PlaceOf(inputText_, spot_);
}

std::int32_t ConversionRun::Search(Kind kind, std::int32_t from) const {
  if (from < 1 || static_cast<std::size_t>(from - 1) > inputText_.size()) return 0;
  const std::size_t at =
      std::string_view(inputText_).find(kKeywords[kind], static_cast<std::size_t>(from - 1));
  return at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
}

void ConversionRun::ApplyFarMarker() {
  if (hits_[kTriMesh] >= 1 && hits_[kMesh] == hits_[kTriMesh] + 3) hits_[kMesh] = kFarMarker;
}

bool ConversionRun::MapMode() { return window_.CheckMapOrBrush() != 1; }

void ConversionRun::Write(const std::string& piece, bool append) {
  TextRoutines::WriteTextFile(outputPath_, piece, append);
}

std::string ConversionRun::ErrorPlaceText() const {
  if (wholeFormat_) {
    if (document_ == nullptr || currentObject_ == nullptr) return {};
    return document_->PlaceOf(currentObject_->start, currentObject_);
  }
  const auto place = ErrorPlace();
  if (!place) return {};
  return "input line " + std::to_string(place->line) + ", column " + std::to_string(place->column);
}

void ConversionRun::CommandGo_Click() {
  inputText_.clear();
  inputText_.shrink_to_fit();
  scanPosition_ = 1;
  spot_ = 0;
  wholeFormat_ = false;
  objectsTaken_ = 0;
  document_.reset();
  currentObject_ = nullptr;
  summary_ = {};
  mapping_ = {};
  warnings_.clear();

  window_.SetCommandGoEnabled(false);
  const std::string scaleText = window_.TextScale();
  if (!TextRoutines::StartsWithNumber(scaleText)) {
    throw RunError(ErrorKind::InvalidScale,
                   "The scale " + Quote(scaleText) + " does not start with a number");
  }
  const double scale = TextRoutines::NumericValue(scaleText);
  outputPath_ = window_.TextOutFileName();
  window_.SetLabelPos("Reading file..");
  window_.DoEvents();
  const std::string inputPath = window_.TextInFileName();
  if (SameExistingFile(inputPath, outputPath_)) {
    throw RunError(ErrorKind::SameFile,
                   "The output \"" + outputPath_ + "\" is the input file; choose another output");
  }
  inputText_ = TextRoutines::ReadTextFile(inputPath, [this] { window_.DoEvents(); });
  window_.SetLabelPos("Parsing file..");
  window_.DoEvents();

  // The pictures option counts as it stood when the run began.
  const bool pictures = window_.CheckDoPics() != 0;
  const bool mapping = window_.CheckTextureMapping() != 0;
  const bool powerOfTwo = window_.CheckPowerOfTwo() != 0;
  if (Metafile::IsBinaryMetafile(inputText_) || window_.CheckWholeFormat() != 0 || mapping ||
      powerOfTwo) {
    // Mapped polygons name their bitmaps: the textures are saved too.
    RunWholeFormat(scale, pictures || mapping, mapping, powerOfTwo);
    return;
  }
  hits_[kTexture] = pictures ? Search(kTexture, 1) : -1;
  hits_[kPolyhedron] = Search(kPolyhedron, 1);
  hits_[kTriMesh] = Search(kTriMesh, 1);
  hits_[kMesh] = Search(kMesh, 1);
  ApplyFarMarker();

  WriteDocumentHead();

  for (;;) {
    // The next object is the kind whose keyword stands first ahead; the
    // loop ends when none is left.
    Kind next = kKinds;
    for (Kind kind : {kPolyhedron, kMesh, kTriMesh, kTexture}) {
      if (hits_[kind] >= 1 && (next == kKinds || hits_[kind] < hits_[next])) next = kind;
    }
    if (next == kKinds) break;

    BeginObjectFrame();

    scanPosition_ = hits_[next];
    spot_ = scanPosition_;
    ++objectsTaken_;
    ReaderArgs args{inputText_, scanPosition_, scale, outputPath_, window_, spot_};
    switch (next) {
      case kPolyhedron:
        ReadPolyhedron(args);
        break;
      case kMesh:
        ReadMesh(args);
        break;
      case kTriMesh:
        ReadTriMesh(args);
        break;
      case kTexture:
      case kKinds:
        ReadPixmapTexture(args);
        break;
    }

    ShowProcessed();

    if (pictures && hits_[kTexture] >= 1) hits_[kTexture] = Search(kTexture, scanPosition_);
    for (Kind kind : {kPolyhedron, kTriMesh, kMesh}) {
      if (hits_[kind] >= 1) hits_[kind] = Search(kind, scanPosition_);
    }
    ApplyFarMarker();

    EndObjectFrame();
  }

  WriteDocumentTail();
}

void ConversionRun::WriteDocumentHead() {
  std::string piece;
  Unreal::BeginDocument(piece, MapMode() ? Unreal::kMapMode : Unreal::kOneBrushMode);
  Write(piece, false);
  Unreal::PolygonLinkCounter = 0;
  brushNumber_ = 2;
}

void ConversionRun::BeginObjectFrame() {
  if (!MapMode()) return;
  std::string piece;
  Unreal::BeginBrushActor(piece, brushNumber_, ModuleVector::Vector3{0, 0, 0});
  Write(piece, true);
  Unreal::BeginPolyList(piece);
  Write(piece, true);
}

void ConversionRun::ShowProcessed() {
  char caption[32] = "Processed ";
  const auto end =
      std::to_chars(caption + 10, caption + sizeof caption, Unreal::PolygonLinkCounter);
  window_.SetLabelProgress(std::string_view(caption, static_cast<std::size_t>(end.ptr - caption)));
  window_.DoEvents();
}

void ConversionRun::EndObjectFrame() {
  if (!MapMode()) return;
  std::string piece;
  Unreal::EndPolyList(piece);
  Write(piece, true);
  Unreal::EndBrushActor(piece, brushNumber_);
  Write(piece, true);
  if (brushNumber_ == std::numeric_limits<std::int32_t>::max()) {
    throw RunError(ErrorKind::Overflow, "More than 2147483647 brush actors");
  }
  ++brushNumber_;
}

void ConversionRun::WriteDocumentTail() {
  std::string piece;
  Unreal::EndDocument(piece, MapMode() ? Unreal::kMapMode : Unreal::kOneBrushMode);
  Write(piece, true);
  window_.SetLabelPos("Done");
  window_.SetCommandGoEnabled(true);
}

}  // namespace Kelvane
