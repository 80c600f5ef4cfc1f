#include "app/run/DocumentFrame.h"

#include <limits>
#include <string>

#include "t3d/Framing.h"
#include "text/RunError.h"

namespace Kelvane {

DocumentFrame::DocumentFrame(const RunSettings& settings, RunSink& sink,
                             Unreal::T3dWriter::Output output)
    : sink_(sink),
      oneBrush_(settings.oneBrush),
      writer_(settings.outputPath, settings.templatePath, output) {}

bool DocumentFrame::MapMode() { return !sink_.OneBrushNow(oneBrush_); }

void DocumentFrame::WriteHead() {
  std::string piece;
  writer_.BeginDocument(piece, MapMode() ? Unreal::kMapMode : Unreal::kOneBrushMode);
  writer_.StartDocument();
  writer_.WritePiece(piece, false);
  writer_.SetPolygonLinkCounter(0);
  brushNumber_ = 2;
}

void DocumentFrame::BeginObject() {
  if (!MapMode()) return;
  writer_.StartBrush();
  std::string piece;
  Unreal::BeginBrushActor(piece, brushNumber_, Vector3{0, 0, 0});
  writer_.WritePiece(piece, true);
  Unreal::BeginPolyList(piece);
  writer_.WritePiece(piece, true);
}

void DocumentFrame::ShowProcessed() {
  sink_.ShowProcessed(writer_.PolygonLinkCounter());
  sink_.DoEvents();
}

void DocumentFrame::EndObject() {
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

void DocumentFrame::WriteTail() {
  std::string piece;
  Unreal::EndDocument(piece, MapMode() ? Unreal::kMapMode : Unreal::kOneBrushMode);
  writer_.WritePiece(piece, true);
  writer_.FinishDocument();
}

}  // namespace Kelvane
