#include "app/run/DocumentFrame.h"

#include <limits>
#include <string>

#include "platform/Platform.h"
#include "t3d/Framing.h"
#include "text/RunError.h"

namespace Kelvane {

namespace {

// The input's file name without its extension, as editors take names.
std::string ModelNameOf(const std::string& inputPath) {
  return Unreal::EditorName(Platform::TextOf(Platform::PathOf(inputPath).stem()), "Model");
}

}  // namespace

DocumentFrame::DocumentFrame(const RunSettings& settings, RunSink& sink,
                             Unreal::T3dWriter::Output output)
    : sink_(sink),
      oneBrush_(settings.oneBrush),
      engine_(settings.engine),
      polyFlags_(Unreal::PolyFlagsOf(settings.solidity)),
      modelName_(ModelNameOf(settings.inputPath)),
      // The editor documents are this program's own choice of form, not
      // bound to a file that is whole after every piece: one stream.
      writer_(settings.outputPath, settings.templatePath, output,
              settings.EditorFrame() ? Unreal::T3dWriter::Writes::kStream
                                     : Unreal::T3dWriter::Writes::kPieces) {}

bool DocumentFrame::MapMode() { return !sink_.OneBrushNow(oneBrush_); }

void DocumentFrame::WriteHead() {
  const bool map = MapMode();
  std::string piece;
  Unreal::BeginEngineDocument(piece, engine_, map ? Unreal::kMapMode : Unreal::kOneBrushMode,
                              writer_.TemplatePath(), modelName_);
  writer_.StartDocument();
  writer_.WritePiece(piece, false);
  writer_.SetPolygonLinkCounter(0);
  brushNumber_ = 2;
  oneActor_ = Unreal::TakesOnlyMaps(engine_) && !map;
  if (oneActor_) BeginActor({});
}

void DocumentFrame::BeginActor(std::string_view name) {
  writer_.StartBrush();
  std::string piece;
  if (engine_ == Unreal::Engine::kNone) {
    Unreal::BeginBrushActor(piece, brushNumber_, Vector3{0, 0, 0}, polyFlags_);
  } else {
    // Labels are names an editor shows; each names one brush.
    std::string label = Unreal::EditorName(name, modelName_ + "_" + std::to_string(brushNumber_));
    for (int n = 2; !labels_.insert(label).second; ++n) {
      label = Unreal::EditorName(name, modelName_) + "_" + std::to_string(n);
    }
    brush_ = {brushNumber_, label};
    Unreal::BeginEngineActor(piece, engine_, brush_, polyFlags_);
  }
  writer_.WritePiece(piece, true);
  Unreal::BeginPolyList(piece);
  writer_.WritePiece(piece, true);
}

void DocumentFrame::EndActor() {
  std::string piece;
  Unreal::EndPolyList(piece);
  writer_.WritePiece(piece, true);
  if (engine_ == Unreal::Engine::kNone) {
    Unreal::EndBrushActor(piece, brushNumber_);
  } else {
    Unreal::EndEngineActor(piece, engine_, brush_);
  }
  writer_.WritePiece(piece, true);
  if (brushNumber_ == std::numeric_limits<std::int32_t>::max()) {
    throw RunError(ErrorKind::Overflow, "More than 2147483647 brush actors");
  }
  ++brushNumber_;
}

void DocumentFrame::BeginObject(std::string_view name) {
  if (!OneActor() && MapMode()) BeginActor(name);
}

void DocumentFrame::ShowProcessed() {
  sink_.ShowProcessed(writer_.PolygonLinkCounter());
  sink_.DoEvents();
}

void DocumentFrame::EndObject() {
  if (!OneActor() && MapMode()) EndActor();
}

void DocumentFrame::WriteTail() {
  if (OneActor()) EndActor();
  std::string piece;
  const bool map = OneActor() || MapMode();
  Unreal::EndEngineDocument(piece, engine_, map ? Unreal::kMapMode : Unreal::kOneBrushMode);
  writer_.WritePiece(piece, true);
  writer_.FinishDocument();
}

}  // namespace Kelvane
