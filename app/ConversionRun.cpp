#include "app/ConversionRun.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "app/OutputGuard.h"
#include "app/RunMessages.h"
#include "image/TexturePicture.h"
#include "keyword/Readers.h"
#include "platform/Platform.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"
#include "text/Files.h"
#include "text/Numbers.h"

namespace Kelvane {

namespace {

constexpr std::string_view kKeywords[] = {kPolyhedronKeyword, kMeshKeyword, kTriMeshKeyword,
                                          kTextureKeyword};

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

ConversionRun::ConversionRun(RunSettings settings, RunSink& sink)
    : ConversionRun(std::move(settings), sink, Unreal::T3dWriter::Output::kFile) {}

ConversionRun::ConversionRun(RunSettings settings, RunSink& sink, Unreal::T3dWriter::Output output)
    : settings_(std::move(settings)),
      sink_(sink),
      writer_(settings_.outputPath, settings_.templatePath, output),
      args_{.writer = writer_, .sink = sink_, .saver = *this} {}

ConversionRun::~ConversionRun() = default;

RunReport ConversionRun::CommandGo_Click() {
  inputText_.clear();
  inputText_.shrink_to_fit();
  args_.inputText = {};
  args_.editorFrame = settings_.editorFrame;
  args_.scanPosition = 1;
  args_.spot = 0;
  writer_.SetPolygonLinkCounter(0);
  textures_ = 0;
  document_.reset();
  currentObject_ = nullptr;
  report_ = {};
  report_.settings = settings_;
  try {
    Convert();
    report_.completed = true;
  } catch (const RunError& e) {
    report_.failure = RunFailure{.kind = e.Kind(), .text = e.what(), .place = ErrorPlaceOf(e)};
  } catch (const std::bad_alloc&) {
    report_.failure = RunFailure{
        .outOfMemory = true,
        .text = "Out of memory while converting \"" + settings_.inputPath + "\"",
    };
  }
  if (report_.failure) report_.sideFile = writer_.SideFile();
  report_.polygons = writer_.PolygonLinkCounter();
  report_.scale = args_.scale;
  report_.extent = writer_.CornersWritten();
  report_.degenerateLeftOut = writer_.ZeroAreaLeftOut();
  const bool failedToRead = report_.failure && !report_.failure->outOfMemory;
  if (!report_.wholeFormat && (failedToRead || (report_.completed && report_.polygons == 0))) {
    report_.wholeFormatWouldRead = WholeFormatWouldRead();
  }
  return std::move(report_);
}

std::string ConversionRun::ErrorPlaceOf(const RunError& error) const {
  if (!error.Place().empty()) return error.Place();
  if (report_.wholeFormat) {
    if (document_ == nullptr || currentObject_ == nullptr) return {};
    return document_->PlaceOf(currentObject_->start, currentObject_);
  }
  if (args_.spot < 1) return {};
  const InputPlace place = PlaceOf(args_.inputText, args_.spot);
  return "input line " + std::to_string(place.line) + ", column " + std::to_string(place.column);
}

std::int32_t ConversionRun::Search(Kind kind, std::int32_t from) const {
  if (from < 1 || static_cast<std::size_t>(from - 1) > args_.inputText.size()) return 0;
  const std::size_t at = args_.inputText.find(kKeywords[kind], static_cast<std::size_t>(from - 1));
  return at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
}

void ConversionRun::ApplyFarMarker() {
  if (hits_[kTriMesh] >= 1 && hits_[kMesh] == hits_[kTriMesh] + 3) hits_[kMesh] = kFarMarker;
}

bool ConversionRun::MapMode() { return !sink_.OneBrushNow(settings_.oneBrush); }

void ConversionRun::Convert() {
  sink_.SetGoEnabled(false);
  const bool fit = !settings_.fit.empty();
  if (!fit && !TextRoutines::StartsWithNumber(settings_.scale)) {
    throw RunError(ErrorKind::InvalidScale,
                   "The scale " + Quote(settings_.scale) + " does not start with a number");
  }
  const double fitSize = fit ? TextRoutines::NumericValue(settings_.fit) : 0.0;
  if (fit && (!TextRoutines::StartsWithNumber(settings_.fit) || !(fitSize > 0))) {
    throw RunError(ErrorKind::InvalidScale,
                   "The size to fit " + Quote(settings_.fit) + " is not a number above 0");
  }
  args_.scale = fit ? 1.0 : TextRoutines::NumericValue(settings_.scale);
  sink_.ShowPhase(RunPhase::Reading);
  sink_.DoEvents();
  if (SameExistingFile(settings_.inputPath, settings_.outputPath)) {
    throw RunError(ErrorKind::SameFile, "The output \"" + settings_.outputPath +
                                            "\" is the input file; choose another output");
  }
  if (const auto reason = ModelReason(settings_.outputPath)) {
    throw RunError(ErrorKind::OutputIsModel,
                   "The output \"" + settings_.outputPath + "\" is a 3DMF model: " + *reason +
                       "; a T3D document is never written over a model, choose another output");
  }
  inputText_ = TextRoutines::ReadTextFile(settings_.inputPath, [this] { sink_.DoEvents(); });
  args_.inputText = inputText_;
  sink_.ShowPhase(RunPhase::Parsing);
  sink_.DoEvents();
  if (fit) args_.scale = FitScale(fitSize);
  ConvertText();
}

namespace {

// The sink of a run that only measures: it shows nothing, saves nothing and
// paints into a picture of its own, but lets the window's messages run.
class MeasuringSink : public RunSink {
 public:
  explicit MeasuringSink(RunSink& window) : window_(window) {}
  void ShowPhase(RunPhase) override {}
  void ShowPosition(std::int32_t) override {}
  void ShowRow(std::size_t) override {}
  void ShowProcessed(std::int32_t) override {}
  void DoEvents() override { window_.DoEvents(); }
  TexturePicture& PictureTexture() override { return picture_; }
  std::string ChooseBitmapPath(int, const std::string&) override { return {}; }

 private:
  RunSink& window_;
  TexturePicture picture_{5055, 4425, 2};
};

}  // namespace

// The scale that makes the model's largest side the size asked for: the
// text is converted once at scale 1 without writing anything, and the
// corners it would write are measured.
double ConversionRun::FitScale(double size) {
  RunSettings measuring = settings_;
  measuring.fit.clear();
  MeasuringSink quiet(sink_);
  ConversionRun probe(measuring, quiet, Unreal::T3dWriter::Output::kNone);
    probe.args_.inputText = args_.inputText;
  probe.args_.editorFrame = settings_.editorFrame;
  probe.args_.scale = 1.0;
  try {
    probe.ConvertText();
  } catch (const RunError& e) {
    throw RunError(e.Kind(), e.what(), probe.ErrorPlaceOf(e));
  }
  const double side = probe.writer_.CornersWritten().LargestSide();
  if (!(side > 0) || !std::isfinite(size / side)) {
    report_.warnings.push_back("the model has no size to fit to " + ShortNumber(size) +
                               " units; it is written at scale 1");
    return 1.0;
  }
  return size / side;
}

void ConversionRun::ConvertText() {
  // Mapped polygons name their bitmaps: the textures are saved too.
  const bool pictures = settings_.pictures || settings_.textureMapping;
  if (Metafile::IsBinaryMetafile(args_.inputText) || settings_.wholeFormat || settings_.textureMapping ||
      settings_.powerOfTwo) {
    RunWholeFormat(pictures);
  } else {
    RunKeywords(settings_.pictures);
  }
}

void ConversionRun::RunKeywords(bool pictures) {
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

    args_.scanPosition = hits_[next];
    args_.spot = args_.scanPosition;
    switch (next) {
      case kPolyhedron:
        ReadPolyhedron(args_);
        break;
      case kMesh:
        ReadMesh(args_);
        break;
      case kTriMesh:
        ReadTriMesh(args_);
        break;
      case kTexture:
      case kKinds:
        ReadPixmapTexture(args_);
        break;
    }

    ShowProcessed();

    const std::int32_t from = args_.scanPosition;
    if (pictures && hits_[kTexture] >= 1) hits_[kTexture] = Search(kTexture, from);
    for (Kind kind : {kPolyhedron, kTriMesh, kMesh}) {
      if (hits_[kind] >= 1) hits_[kind] = Search(kind, from);
    }
    ApplyFarMarker();

    EndObjectFrame();
  }

  WriteDocumentTail();
}

void ConversionRun::WriteDocumentHead() {
  std::string piece;
  writer_.BeginDocument(piece, MapMode() ? Unreal::kMapMode : Unreal::kOneBrushMode);
  writer_.StartDocument();
  writer_.WritePiece(piece, false);
  writer_.SetPolygonLinkCounter(0);
  brushNumber_ = 2;
}

void ConversionRun::BeginObjectFrame() {
  if (!MapMode()) return;
  writer_.StartBrush();
  std::string piece;
  Unreal::BeginBrushActor(piece, brushNumber_, Vector3{0, 0, 0});
  writer_.WritePiece(piece, true);
  Unreal::BeginPolyList(piece);
  writer_.WritePiece(piece, true);
}

void ConversionRun::ShowProcessed() {
  sink_.ShowProcessed(writer_.PolygonLinkCounter());
  sink_.DoEvents();
}

void ConversionRun::EndObjectFrame() {
  if (!MapMode()) return;
  std::string piece;
  Unreal::EndPolyList(piece);
  writer_.WritePiece(piece, true);
  Unreal::EndBrushActor(piece, brushNumber_);
  writer_.WritePiece(piece, true);
  if (brushNumber_ == std::numeric_limits<std::int32_t>::max()) {
    throw RunError(ErrorKind::Overflow, "More than 2147483647 brush actors");
  }
  ++brushNumber_;
}

void ConversionRun::WriteDocumentTail() {
  std::string piece;
  Unreal::EndDocument(piece, MapMode() ? Unreal::kMapMode : Unreal::kOneBrushMode);
  writer_.WritePiece(piece, true);
  writer_.FinishDocument();
  sink_.ShowPhase(RunPhase::Done);
  sink_.SetGoEnabled(true);
}

std::string ConversionRun::ProposedBitmapPath(int number) const {
  std::string base;
  try {
    base = TextRoutines::StripExtension(settings_.outputPath);
  } catch (const RunError&) {
    base = "texture";  // a name too long to take apart
  }
  if (!settings_.texturesFolder.empty()) {
    base = Platform::TextOf(Platform::PathOf(settings_.texturesFolder) /
                            Platform::PathOf(base).filename());
  }
  const std::string path = base + "_" + std::to_string(number) + ".bmp";
  return settings_.textureMapping ? TextureBitmapPath(path) : path;
}

// The picture is offered where the front end says; what stops the bitmap
// (an empty picture, a path that is the run's own input or output, a write
// that fails) is a warning, and the run goes on.
std::string ConversionRun::SaveTexturePicture() {
  const int number = ++textures_;
  const std::string path = sink_.ChooseBitmapPath(number, ProposedBitmapPath(number));
  if (path.empty()) return {};
  const std::string texture = "texture " + std::to_string(number);
  const TexturePicture& picture = sink_.PictureTexture();
  if (picture.InnerWidth() == 0 || picture.InnerHeight() == 0) {
    report_.warnings.push_back(texture + " is " + std::to_string(picture.InnerWidth()) + " x " +
                               std::to_string(picture.InnerHeight()) +
                               " pixels: no bitmap written");
    return {};
  }
  // Bitmap names come from the output's name, so an input or output that
  // happens to be called like one must not be written over.
  const std::string* const runFiles[] = {&settings_.inputPath, &settings_.outputPath,
                                         &writer_.TargetPath()};
  for (const std::string* file : runFiles) {
    if (SameExistingFile(path, *file)) {
      report_.warnings.push_back(texture + " not saved: \"" + path + "\" is " +
                                 (file == &settings_.inputPath ? "the input" : "the output"));
      return {};
    }
  }
  try {
    SaveBitmap(picture, path, settings_.bitmapDepth);
  } catch (const RunError& e) {
    report_.warnings.push_back(texture + " not saved: " + e.what());
    return {};
  }
  report_.bitmaps.push_back(path);
  return path;
}

}  // namespace Kelvane
