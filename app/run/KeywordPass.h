#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/run/DocumentFrame.h"
#include "app/run/Pass.h"
#include "app/run/RunSink.h"
#include "keyword/ReaderArgs.h"

namespace Kelvane {

struct Image;
class TextureSaver;

// A place in the input text, 1-based, for messages.
struct InputPlace {
  std::int32_t line = 0;
  std::int32_t column = 0;
};

// The line and column of a 1-based position; CR LF, a lone CR and a lone LF
// each end a line.
InputPlace PlaceOf(std::string_view text, std::int32_t position);

// The keyword reader's pass: takes the objects in the order their keywords
// stand in the text, frames each in the document and hands it to its
// reader. With pictures, a texture ahead comes before any geometry.
class KeywordPass : public Pass {
 public:
  KeywordPass(std::string_view text, double scale, bool editorFrame, bool pictures,
              DocumentFrame& frame, RunSink& sink, TextureSaver& saver, Image& picture);

  void Run() override;
  std::int32_t ScanPosition() const override { return args_.scanPosition; }
  std::string PlaceOf(const RunError& error) const override;
  // What the readers took that the input did not hold (ReadingNotes): the
  // documents are what they always were, but the user hears of it.
  std::vector<std::string> Warnings() const override;

 private:
  // Which keyword each object kind is found by, and its reader.
  enum Kind { kPolyhedron, kMesh, kTriMesh, kTexture, kKinds };
  // The far marker: a "Mesh" that belongs to the TriMesh ahead; it lies
  // behind every real hit.
  static constexpr std::int32_t kFarMarker = 2000000000;

  std::int32_t Search(Kind kind, std::int32_t from) const;
  std::string Where(std::int32_t position) const;
  void ApplyFarMarker();
  void ReadObject(Kind kind);

  DocumentFrame& frame_;
  bool pictures_;
  ReaderArgs args_;
  std::int32_t hits_[kKinds] = {};
};

}  // namespace Kelvane
