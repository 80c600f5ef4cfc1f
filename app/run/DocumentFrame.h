#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "app/run/RunSettings.h"
#include "app/run/RunSink.h"
#include "t3d/Engines.h"
#include "t3d/T3dWriter.h"

namespace Kelvane {

// The document a run writes, framed alike by both passes: the writer, the
// brush numbers, the document's head and tail, and in a map the brush
// actor around each object's polygon list, as the engine asked for frames
// them (t3d/Engines.h; the default document as Framing.h does).
class DocumentFrame {
 public:
  DocumentFrame(const RunSettings& settings, RunSink& sink, Unreal::T3dWriter::Output output);

  Unreal::T3dWriter& Writer() { return writer_; }
  const Unreal::T3dWriter& Writer() const { return writer_; }

  // The document's head; the link counter and the brush numbers start.
  void WriteHead();
  // In map mode: the brush actor's head and its polygon list's head.
  // `name` is the object's own name, when it has one (an editor shows it).
  void BeginObject(std::string_view name = {});
  // "Processed " and the polygons written so far, then a yield.
  void ShowProcessed();
  // In map mode: the polygon list's end and the brush actor's tail.
  void EndObject();
  // The document's tail; then the whole document takes the output's place.
  void WriteTail();

 private:
  // Asked anew at each point the frame needs it: a window's box may change.
  bool MapMode();
  // A UE3 or UE4 document of one brush: one actor around all polygons,
  // decided when the head is written.
  bool OneActor() const { return oneActor_; }
  void BeginActor(std::string_view name);
  void EndActor();

  RunSink& sink_;
  bool oneBrush_;
  Unreal::Engine engine_;
  std::int32_t polyFlags_;
  // The model's name, for the map and for labels of objects without one.
  std::string modelName_;
  Unreal::T3dWriter writer_;
  std::int32_t brushNumber_ = 2;
  bool oneActor_ = false;
  Unreal::EngineBrush brush_;
  std::set<std::string> labels_;
};

}  // namespace Kelvane
