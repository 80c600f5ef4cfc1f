#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "keyword/ReaderSink.h"

namespace Kelvane {

// The run's phases, as LabelPos names them: "Reading file..",
// "Parsing file..", "Done".
enum class RunPhase { Reading, Parsing, Done };

// What a run tells its front end while it goes, and the few things it asks
// of it on the way. Everything read once comes in RunSettings instead.
class RunSink : public ReaderSink {
 public:
  virtual void ShowPhase(RunPhase phase) = 0;
  // "Processed " and the polygons written so far, after every object.
  virtual void ShowProcessed(std::int32_t polygons) = 0;
  // The run has started (true) or reached "Done" (false); a window keeps
  // a second run from starting meanwhile.
  virtual void ShowRunning(bool) {}
  // Whether all objects go into one brush, asked before and after every
  // object and at the end: a window answers with its box as it stands now;
  // without one the answer is the setting the run began with.
  virtual bool OneBrushNow(bool asSet) { return asSet; }
  // Where to save texture `number` (counted from 1 in reading order), given
  // the name the run proposes for it; empty when it is not to be saved (a
  // Cancel). A window asks in a save dialog.
  virtual std::string ChooseBitmapPath(int /*number*/, const std::string& proposed) {
    return proposed;
  }
};

// A sink that shows the run as the window's two captions: the place and
// phase ("curpos 17", "Done"), and the progress ("Processed 12").
class CaptionSink : public RunSink {
 public:
  virtual void SetPositionCaption(std::string_view caption) = 0;
  virtual void SetProgressCaption(std::string_view caption) = 0;

  void ShowPhase(RunPhase phase) override;
  void ShowPosition(std::int32_t scanPosition) override;
  void ShowRow(std::size_t row) override;
  void ShowProcessed(std::int32_t polygons) override;
};

}  // namespace Kelvane
