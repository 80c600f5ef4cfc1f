#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/RunReport.h"
#include "app/RunSink.h"
#include "keyword/ReaderSupport.h"
#include "metafile/format/Document.h"
#include "t3d/Unreal.h"

namespace Kelvane {

// A place in the input text, 1-based, for messages.
struct InputPlace {
  std::int32_t line = 0;
  std::int32_t column = 0;
};

// The line and column of a 1-based position; CR LF, a lone CR and a lone LF
// each end a line.
InputPlace PlaceOf(std::string_view text, std::int32_t position);

// The texture name of a bitmap saved at `path`: its file name without the
// extension, each character other than a letter, digit or _ made a _.
std::string TextureNameOf(std::string_view path);

// A bitmap path as texture mapping saves it: the same folder, the file named
// after the texture name of `path`, so that the T3D's name is the bitmap's.
std::string TextureBitmapPath(const std::string& path);

// Whether two paths name one existing file.
bool SameExistingFile(const std::string& a, const std::string& b);

// One conversion, from Go to "Done": reads the input whole, takes its
// objects in the order their keywords stand (or walks the whole 3DMF
// scene), frames them, hands each to its reader, and writes every piece of
// the document to the output at once. A failure ends the run where it
// stands; the output keeps every piece written before it, and the report
// says what and where.
class ConversionRun : private TextureSaver {
 public:
  ConversionRun(RunSettings settings, RunSink& sink);
  ~ConversionRun() override;
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  // Runs the whole conversion once. A run error or running out of memory
  // ends it with the failure in the report; whatever else the sink raises
  // (a window closed during a run) passes through.
  RunReport CommandGo_Click();

  // For a progress display during the run.
  std::int32_t ScanPosition() const { return args_.scanPosition; }
  std::size_t InputLength() const { return args_.inputText.size(); }
  std::int32_t PolygonsWritten() const { return writer_.PolygonLinkCounter; }

 private:
  class MetafileSink;
  // Which keyword each object kind is found by, and its reader.
  enum Kind { kPolyhedron, kMesh, kTriMesh, kTexture, kKinds };
  // The far marker: a "Mesh" that belongs to the TriMesh ahead; it lies
  // behind every real hit.
  static constexpr std::int32_t kFarMarker = 2000000000;

  void Convert();
  // Converts the text read, at the scale set.
  void ConvertText();
  double FitScale(double size);
  void RunKeywords(bool pictures);
  void RunWholeFormat(bool pictures);
  std::int32_t Search(Kind kind, std::int32_t from) const;
  void ApplyFarMarker();
  bool MapMode();
  // The document's head (and the counters it starts), its tail with
  // "Done"; around each object in map mode its brush actor's head and tail,
  // and after it the "Processed " caption. Both readers frame alike.
  void WriteDocumentHead();
  void BeginObjectFrame();
  void ShowProcessed();
  void EndObjectFrame();
  void WriteDocumentTail();
  // Where the run stood when it failed: the error's own place when it
  // carries one, else where the reader stood.
  std::string ErrorPlaceOf(const RunError& error) const;
  std::optional<std::size_t> WholeFormatWouldRead() const;
  // The name a bitmap is proposed under: the output without its extension,
  // "_" and the texture's number, ".bmp", in the textures folder if set.
  std::string ProposedBitmapPath(int number) const;
  std::string SaveTexturePicture() override;

  RunSettings settings_;
  RunSink& sink_;
  Unreal::T3dWriter writer_;
  std::string inputText_;  // what args_.inputText views (empty in a measuring run)
  ReaderArgs args_;
  std::int32_t hits_[kKinds] = {};
  std::int32_t brushNumber_ = 2;
  int textures_ = 0;
  std::unique_ptr<Metafile::Document> document_;
  const Metafile::Object* currentObject_ = nullptr;
  RunReport report_;
};

}  // namespace Kelvane
