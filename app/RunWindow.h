#pragma once

#include <string>
#include <string_view>

#include "keyword/ReaderWindow.h"

namespace Kelvane {

// What a conversion run needs of the window that starts it. The window
// program implements it over its controls; the command line over its
// arguments.
class RunWindow : public ReaderWindow {
 public:
  virtual std::string TextScale() = 0;
  virtual std::string TextOutFileName() = 0;
  virtual std::string TextInFileName() = 0;
  // Check box values: 0 off, 1 on.
  virtual int CheckDoPics() = 0;
  virtual int CheckMapOrBrush() = 0;
  // 1: read the whole 3DMF format instead of searching object keywords.
  // A binary file is read so whatever this says.
  virtual int CheckWholeFormat() { return 0; }
  // 1: polygons of textured objects name their texture and carry the
  // model's own texture mapping (read with the whole-format reader, which
  // it selects, textures included).
  virtual int CheckTextureMapping() { return 0; }
  // 1: textures whose sides are not powers of two are resampled to the
  // next ones up (whole-format reader, which it selects).
  virtual int CheckPowerOfTwo() { return 0; }
  virtual void SetCommandGoEnabled(bool enabled) = 0;
  virtual void SetLabelProgress(std::string_view caption) = 0;
};

}  // namespace Kelvane
