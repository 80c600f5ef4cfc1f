#pragma once

#include <string>
#include <string_view>

#include "image/TexturePicture.h"

namespace Kelvane {

// What a reader needs of the window it runs under.
class ReaderWindow {
 public:
  virtual ~ReaderWindow() = default;
  // The caption of LabelPos.
  virtual void SetLabelPos(std::string_view caption) = 0;
  // Lets pending window messages run. Called often (per polygon, per pixel):
  // it must be cheap when there is nothing to do.
  virtual void DoEvents() = 0;
  // The picture box a texture is painted into.
  virtual TexturePicture& PictureTexture() = 0;
  // Offers the painted texture for saving; ends silently on any failure.
  // Returns the path it was saved to, empty when it was not saved.
  virtual std::string SaveTexturePicture() = 0;
};

}  // namespace Kelvane
