#pragma once

#include <QWidget>

#include "image/Image.h"

namespace Kelvane::Gui {

// The window's picture box: the texture a run reads, inside a sunken border;
// its transparent pixels (Image::Transparent) show the box's background.
// While a run paints a texture the box shows the run's own picture, so
// that a texture growing pixel by pixel costs no copy per pixel; when the
// run ends the box keeps a copy of the last one. Until the first texture it
// shows its background, at the size it was laid out with.
class PictureBox : public QWidget {
 public:
  static constexpr int kBorder = 2;  // pixels on each side

  // The box's outer size in pixels, as laid out.
  PictureBox(int outerWidth, int outerHeight, QWidget* parent);

  // The picture of the texture being read; it stays valid until Keep().
  void Show(const Kelvane::Image& picture);
  // The run has ended: the picture shown is copied and kept.
  void Keep();
  // The picture the box holds now.
  const Kelvane::Image& Picture() const { return live_ != nullptr ? *live_ : kept_; }

  // Takes the picture's current size and schedules a repaint; the window
  // calls it when it lets pending messages run.
  void Sync();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Kelvane::Image kept_;
  const Kelvane::Image* live_ = nullptr;
  bool shown_ = false;  // a texture has been shown
};

}  // namespace Kelvane::Gui
