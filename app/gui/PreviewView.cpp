#include "app/gui/PreviewView.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "text/RunError.h"

namespace Kelvane::Gui {

namespace {

constexpr double kKeyTurn = std::numbers::pi / 12;
constexpr double kSmallestZoom = 1.0 / 16;
constexpr double kLargestZoom = 64;

QColor ColourOf(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb | 0xFF000000u)); }

QImage ImageOf(const Kelvane::Image& picture, double pixelRatio) {
  if (picture.width == 0) return {};
  QImage image(picture.width, picture.height, QImage::Format_RGB32);
  for (int y = 0; y < picture.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const std::uint32_t* from = picture.rgb.data() + static_cast<std::size_t>(y) * picture.width;
    for (int x = 0; x < picture.width; ++x) line[x] = from[x] | 0xFF000000u;
  }
  image.setDevicePixelRatio(pixelRatio);
  return image;
}

}  // namespace

PreviewView::PreviewView(QWidget* parent)
    : QWidget(parent),
      caption_(QStringLiteral("The converted model is drawn here after Go.")),
      worker_([this] { Work(); }) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setToolTip(
      QStringLiteral("The converted model: drag to turn it, use the wheel to zoom, "
                     "double-click to see it from the first angle again."));
}

PreviewView::~PreviewView() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  // Pictures the worker posted and nobody took go with the widget.
  worker_.join();
}

void PreviewView::ShowDocument(const std::string& path) {
  anyDocument_ = true;
  view_ = Kelvane::Preview::View{};
  caption_ = QStringLiteral("Reading the converted model...");
  update();
  Ask(Source::Load, path);
}

void PreviewView::ShowNothing(const QString& caption) {
  anyDocument_ = true;
  view_ = Kelvane::Preview::View{};
  caption_ = caption;
  update();
  Ask(Source::Clear, {}, caption);
}

void PreviewView::Ask(Source source, std::string path, QString caption) {
  Request request;
  request.serial = ++askedSerial_;
  request.view = view_;
  request.pixelRatio = devicePixelRatioF();
  request.size = size() * request.pixelRatio;
  {
    const std::lock_guard lock(mutex_);
    // A new view must not drop a document still waiting to be read.
    if (source == Source::Keep && waiting_) {
      request.source = waiting_->source;
      request.path = std::move(waiting_->path);
      request.caption = std::move(waiting_->caption);
    } else {
      request.source = source;
      request.path = std::move(path);
      request.caption = std::move(caption);
    }
    waiting_ = std::move(request);
  }
  wake_.notify_one();
}

void PreviewView::Work() {
  Kelvane::Preview::Model model;
  QString modelCaption;
  std::vector<Kelvane::Preview::Texture> textures;
  for (;;) {
    Request request;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || waiting_.has_value(); });
      if (stop_) return;
      request = std::move(*waiting_);
      waiting_.reset();
    }
    QImage image;
    try {
      if (request.source == Source::Load) {
        model = {};
        textures.clear();
        modelCaption.clear();
        model = Kelvane::Preview::ReadT3dFile(request.path);
        // The bitmaps the polygons name, from the document's folder.
        textures = Kelvane::Preview::LoadTextures(
            model, QFileInfo(QString::fromStdString(request.path)).absolutePath().toStdString());
        if (model.cornerCount.empty()) {
          modelCaption = QStringLiteral("\"%1\" holds no polygon of the model.")
                             .arg(QString::fromStdString(request.path));
        }
      } else if (request.source == Source::Clear) {
        model = {};
        textures.clear();
        modelCaption = request.caption;
      }
      image = ImageOf(Kelvane::Preview::Render(model, request.size.width(), request.size.height(),
                                               request.view, &textures),
                      request.pixelRatio);
    } catch (const Kelvane::RunError& e) {
      modelCaption = QStringLiteral("No preview. %1: %2")
                         .arg(QString::fromStdString(std::string(Kelvane::KindName(e.Kind()))),
                              QString::fromStdString(e.what()));
    } catch (const std::bad_alloc&) {
      model = {};
      modelCaption = QStringLiteral("No preview: out of memory.");
    }
    QMetaObject::invokeMethod(
        this,
        [this, serial = request.serial, image, caption = modelCaption] {
          Take(serial, image, caption);
        },
        Qt::QueuedConnection);
  }
}

void PreviewView::Take(std::uint64_t serial, const QImage& image, const QString& caption) {
  shownSerial_ = serial;
  image_ = image;
  caption_ = caption;
  update();
}

void PreviewView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), ColourOf(Kelvane::Preview::kBackground));
  // During a resize the last picture stretches until the new one comes.
  if (!image_.isNull()) painter.drawImage(rect(), image_);
  if (!caption_.isEmpty()) {
    painter.setPen(ColourOf(Kelvane::Preview::kFacing));
    painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     caption_);
  }
  if (hasFocus()) {
    painter.setPen(QPen(ColourOf(Kelvane::Preview::kEdgeOn), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void PreviewView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (anyDocument_) Ask(Source::Keep);
}

void PreviewView::Turn(double yaw, double pitch) {
  view_.yaw = std::remainder(view_.yaw + yaw, 2 * std::numbers::pi);
  // Beyond straight down or up the model would turn over.
  view_.pitch = std::clamp(view_.pitch + pitch, -std::numbers::pi / 2, std::numbers::pi / 2);
  if (anyDocument_) Ask(Source::Keep);
}

void PreviewView::Zoom(double steps) {
  view_.zoom = std::clamp(view_.zoom * std::pow(kZoomPerStep, steps), kSmallestZoom, kLargestZoom);
  if (anyDocument_) Ask(Source::Keep);
}

void PreviewView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragging_ = true;
  dragFrom_ = event->position().toPoint();
}

void PreviewView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
  const QPoint to = event->position().toPoint();
  const QPoint moved = to - dragFrom_;
  dragFrom_ = to;
  // The side of the model nearest the viewer follows the mouse.
  if (!moved.isNull()) Turn(moved.x() * kTurnPerPixel, -moved.y() * kTurnPerPixel);
}

void PreviewView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QWidget::mouseReleaseEvent(event);
}

void PreviewView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
  view_ = Kelvane::Preview::View{};
  if (anyDocument_) Ask(Source::Keep);
}

void PreviewView::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) return QWidget::wheelEvent(event);
  Zoom(delta / 120.0);  // one notch of a common wheel
  event->accept();
}

void PreviewView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left:
      return Turn(-kKeyTurn, 0);
    case Qt::Key_Right:
      return Turn(kKeyTurn, 0);
    case Qt::Key_Up:
      return Turn(0, kKeyTurn);
    case Qt::Key_Down:
      return Turn(0, -kKeyTurn);
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return Zoom(1);
    case Qt::Key_Minus:
      return Zoom(-1);
    case Qt::Key_Home:
      view_ = Kelvane::Preview::View{};
      if (anyDocument_) Ask(Source::Keep);
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace Kelvane::Gui
