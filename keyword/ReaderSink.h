#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Kelvane {

struct Image;

// What a reader tells the front end it runs under while it reads: its
// place, its yields and the texture it paints. Each front end answers in
// its own way (the window turns the calls into captions).
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
  // The texture being read, sized and black, before its pixels come: the
  // reader paints into `picture` between yields, and it stays valid and as
  // last painted for as long as the run object that owns it. A sink that
  // shows the texture after the run copies it.
  virtual void ShowTexture(const Image& /*picture*/) {}
};

// Saves a texture that a reader has read (the run's part: it asks for the
// place, writes the bitmap and notes what became of it). Returns the path
// it was saved to, empty when it was not saved.
class TextureSaver {
 public:
  virtual ~TextureSaver() = default;
  virtual std::string SaveTexture(const Image& picture) = 0;
};

}  // namespace Kelvane
