#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/RunWindow.h"
#include "metafile/Document.h"
#include "metafile/Scene.h"
#include "text/RunError.h"

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
// objects in the order their keywords stand, frames them, hands each to its
// reader, and writes every piece of the document to the output at once.
// A failure raises RunError and ends the run where it stands; the output
// keeps every piece written before it.
class ConversionRun {
 public:
  explicit ConversionRun(RunWindow& window) : window_(window) {}

  // Runs one whole conversion with the window's current settings.
  void CommandGo_Click();

  // For progress and messages, during a run and after it.
  std::int32_t ScanPosition() const { return scanPosition_; }
  std::size_t InputLength() const { return inputText_.size(); }
  // Where the reader stood when the run failed, if it had begun reading.
  std::optional<InputPlace> ErrorPlace() const;
  // The same as a text: "input line 4, column 7" (or, for a binary file,
  // "byte 96 of the input, in a TriMesh ('tmsh')"); empty when unknown.
  // An error that carries its own place (RunError::Place) has that instead.
  std::string ErrorPlaceText() const;
  // Where a failure of the last run stood: the error's own place when it
  // carries one, else the run's.
  std::string ErrorPlaceOf(const RunError& error) const {
    return error.Place().empty() ? ErrorPlaceText() : error.Place();
  }

  // Which reader the last run used: the whole-format reader for a binary
  // file or when the window asks for it, else the keyword search.
  bool UsedWholeFormat() const { return wholeFormat_; }
  // Objects the last run took (geometry and textures).
  std::int64_t ObjectsTaken() const { return objectsTaken_; }
  // What the whole-format reader met, after a run that used it.
  const Metafile::SceneSummary& Summary() const { return summary_; }
  // After a keyword run (the front ends ask when it failed or wrote no
  // polygon): the number of geometry objects the whole-format reader reads
  // in the same input, when it reads it without error and finds any;
  // otherwise nothing.
  std::optional<std::size_t> WholeFormatWouldRead() const;

  // With texture mapping: what became of the polygons of textured objects.
  struct MappingSummary {
    std::int64_t mapped = 0;     // carry the model's own mapping
    std::int64_t withoutUV = 0;  // a corner without UV: axes from the edges
    std::int64_t flat = 0;       // UVs without area: axes from the edges
    // Their texture's bitmap was not saved: written without a texture.
    std::int64_t bitmapMissing = 0;
  };
  const MappingSummary& Mapping() const { return mapping_; }
  // Warnings of the last run for the user, in the order they arose
  // (textures the editor may refuse, names changed).
  const std::vector<std::string>& Warnings() const { return warnings_; }

 private:
  class MetafileSink;
  void RunWholeFormat(double scale, bool pictures, bool mapping, bool powerOfTwo);
  // Which keyword each object kind is found by, and its reader.
  enum Kind { kPolyhedron, kMesh, kTriMesh, kTexture, kKinds };
  // The far marker: a "Mesh" that belongs to the TriMesh ahead; it lies
  // behind every real hit.
  static constexpr std::int32_t kFarMarker = 2000000000;

  std::int32_t Search(Kind kind, std::int32_t from) const;
  void ApplyFarMarker();
  bool MapMode();
  void Write(const std::string& piece, bool append);
  // The document's head (and the counters it starts), its tail with
  // "Done"; around each object in map mode its brush actor's head and tail,
  // and after it the "Processed " caption. Both readers frame alike.
  void WriteDocumentHead();
  void BeginObjectFrame();
  void ShowProcessed();
  void EndObjectFrame();
  void WriteDocumentTail();

  RunWindow& window_;
  std::string inputText_;
  std::string outputPath_;
  std::int32_t scanPosition_ = 1;
  std::int32_t spot_ = 0;
  std::int32_t hits_[kKinds] = {};
  std::int32_t brushNumber_ = 2;
  bool wholeFormat_ = false;
  std::int64_t objectsTaken_ = 0;
  std::unique_ptr<Metafile::Document> document_;
  const Metafile::Object* currentObject_ = nullptr;
  Metafile::SceneSummary summary_;
  MappingSummary mapping_;
  std::vector<std::string> warnings_;
};

}  // namespace Kelvane
