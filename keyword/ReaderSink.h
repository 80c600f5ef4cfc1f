#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Kelvane {

class TexturePicture;

// What a reader needs of the window it runs under: its captions, the yield
// and the picture box. Each front end answers it in its own way (the window
// turns the calls into captions).
class ReaderSink {
 public:
  virtual ~ReaderSink() = default;
  // "curpos " and the scan position on LabelPos.
  virtual void ShowPosition(std::int32_t scanPosition) = 0;
  // A face's row number alone on LabelPos, as the Mesh reader counts its
  // polygons.
  virtual void ShowRow(std::size_t row) = 0;
  // Lets pending window messages run. Called often (per polygon, per pixel):
  // it must be cheap when there is nothing to do.
  virtual void DoEvents() = 0;
  // The picture box a texture is painted into.
  virtual TexturePicture& PictureTexture() = 0;
};

// Offers the painted picture for saving (the run's part: it asks for the
// place, writes the bitmap and notes what became of it). Returns the path it
// was saved to, empty when it was not saved.
class TextureSaver {
 public:
  virtual ~TextureSaver() = default;
  virtual std::string SaveTexturePicture() = 0;
};

}  // namespace Kelvane
