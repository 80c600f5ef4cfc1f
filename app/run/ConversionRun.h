#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "app/run/RunReport.h"
#include "app/run/RunSettings.h"
#include "app/run/RunSink.h"
#include "image/Image.h"

namespace Kelvane {

// One conversion, from Go to "Done": reads the input whole, takes its
// objects in the order their keywords stand (or walks the whole 3DMF
// scene), frames them, hands each to its reader, and writes every piece of
// the document to the output at once. A failure ends the run where it
// stands; the output keeps every piece written before it, and the report
// says what and where.
class ConversionRun {
 public:
  ConversionRun(RunSettings settings, RunSink& sink);
  ~ConversionRun();
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  // Runs the whole conversion once; each call starts afresh. A run error or
  // running out of memory ends it with the failure in the report; whatever
  // else the sink raises (a window closed during a run) passes through.
  RunReport CommandGo_Click();

  // For a progress display during the run.
  std::int32_t ScanPosition() const;
  std::size_t InputLength() const;
  std::int32_t PolygonsWritten() const;

 private:
  class Conversion;

  RunSettings settings_;
  RunSink& sink_;
  // The texture picture the readers paint into: it outlives each press of
  // Go, so that a window can keep showing the last texture (RunSink's
  // ShowTexture).
  Image picture_;
  std::unique_ptr<Conversion> current_;
};

}  // namespace Kelvane
