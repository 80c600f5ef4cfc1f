#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/RunWindow.h"

namespace Kelvane {

// A place in the input text, 1-based, for messages.
struct InputPlace {
  std::int32_t line = 0;
  std::int32_t column = 0;
};

// The line and column of a 1-based position; CR LF, a lone CR and a lone LF
// each end a line.
InputPlace PlaceOf(std::string_view text, std::int32_t position);

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

 private:
  // Which keyword each object kind is found by, and its reader.
  enum Kind { kPolyhedron, kMesh, kTriMesh, kTexture, kKinds };
  // The far marker: a "Mesh" that belongs to the TriMesh ahead; it lies
  // behind every real hit.
  static constexpr std::int32_t kFarMarker = 2000000000;

  std::int32_t Search(Kind kind, std::int32_t from) const;
  void ApplyFarMarker();
  bool MapMode();
  void Write(const std::string& piece, bool append);

  RunWindow& window_;
  std::string inputText_;
  std::string outputPath_;
  std::int32_t scanPosition_ = 1;
  std::int32_t spot_ = 0;
  std::int32_t hits_[kKinds] = {};
};

}  // namespace Kelvane
