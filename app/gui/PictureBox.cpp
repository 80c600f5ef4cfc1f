#include "app/gui/PictureBox.h"

#include <qdrawutil.h>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace Kelvane::Gui {

PictureBox::PictureBox(int outerWidth, int outerHeight, QWidget* parent) : QWidget(parent) {
  kept_.width = std::max(0, outerWidth - 2 * kBorder);
  kept_.height = std::max(0, outerHeight - 2 * kBorder);
  kept_.rgb.assign(static_cast<std::size_t>(kept_.width) * static_cast<std::size_t>(kept_.height),
                   0);
  setAttribute(Qt::WA_OpaquePaintEvent);
  Sync();
}

void PictureBox::Show(const Kelvane::Image& picture) {
  live_ = &picture;
  shown_ = true;
}

void PictureBox::Keep() {
  if (live_ == nullptr) return;
  kept_ = *live_;
  live_ = nullptr;
}

void PictureBox::Sync() {
  const Kelvane::Image& picture = Picture();
  const QSize outer(picture.width + 2 * kBorder, picture.height + 2 * kBorder);
  if (size() != outer) resize(outer);
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const Kelvane::Image& picture = Picture();
  qDrawWinPanel(&painter, rect(), palette(), /*sunken=*/true);
  const QRect inner(kBorder, kBorder, picture.width, picture.height);
  const QRect exposed = event->rect() & inner;
  if (exposed.isEmpty()) return;
  if (!shown_) {
    painter.fillRect(exposed, palette().button());
    return;
  }
  // A texture's transparent pixels show the box's background, as the
  // editors show them.
  const bool masked = picture.alpha.size() == picture.rgb.size();
  const QRgb background = palette().button().color().rgb();
  QImage part(exposed.size(), QImage::Format_RGB32);
  for (int y = 0; y < exposed.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
    const int row = exposed.top() - kBorder + y;
    const int column = exposed.left() - kBorder;
    for (int x = 0; x < exposed.width(); ++x) {
      const std::size_t index = picture.IndexOf(column + x, row);
      line[x] =
          masked && picture.Transparent(index) ? background : 0xFF000000u | picture.rgb[index];
    }
  }
  painter.drawImage(exposed.topLeft(), part);
}

}  // namespace Kelvane::Gui
