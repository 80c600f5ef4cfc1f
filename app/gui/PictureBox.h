#pragma once

#include <QWidget>
#include <cstdint>

#include "image/TexturePicture.h"

namespace Kelvane::Gui {

// Shows a TexturePicture, which stays the one store of the image: only the
// part that is exposed is converted when the box paints, so a texture that
// grows pixel by pixel costs no copy per pixel.
class PictureBox : public QWidget {
 public:
  PictureBox(Kelvane::TexturePicture& picture, QWidget* parent);

  // Takes the picture's current size and schedules a repaint; the window
  // calls it when it lets pending messages run.
  void Sync();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int Border() const;

  Kelvane::TexturePicture& picture_;
  // The box shows its background until a texture first sizes it.
  std::uint64_t emptyGeneration_;
};

}  // namespace Kelvane::Gui
