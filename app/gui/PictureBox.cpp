#include "app/gui/PictureBox.h"

#include <qdrawutil.h>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

namespace Kelvane::Gui {

PictureBox::PictureBox(Kelvane::TexturePicture& picture, QWidget* parent)
    : QWidget(parent), picture_(picture), emptyGeneration_(picture.Generation()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  Sync();
}

int PictureBox::Border() const {
  return (picture_.OuterWidthTwips() / Kelvane::TexturePicture::kTwipsPerPixel -
          picture_.InnerWidth()) /
         2;
}

void PictureBox::Sync() {
  const QSize outer(picture_.InnerWidth() + 2 * Border(), picture_.InnerHeight() + 2 * Border());
  if (size() != outer) resize(outer);
  update();
}

void PictureBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const int border = Border();
  qDrawWinPanel(&painter, rect(), palette(), /*sunken=*/true);
  const QRect inner(border, border, picture_.InnerWidth(), picture_.InnerHeight());
  const QRect exposed = event->rect() & inner;
  if (exposed.isEmpty()) return;
  if (picture_.Generation() == emptyGeneration_) {
    painter.fillRect(exposed, palette().button());
    return;
  }
  QImage part(exposed.size(), QImage::Format_RGB32);
  for (int y = 0; y < exposed.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(part.scanLine(y));
    const int row = exposed.top() - border + y;
    const int column = exposed.left() - border;
    for (int x = 0; x < exposed.width(); ++x)
      line[x] = 0xFF000000u | picture_.Pixel(column + x, row);
  }
  painter.drawImage(exposed.topLeft(), part);
}

}  // namespace Kelvane::Gui
