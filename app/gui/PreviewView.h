#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "preview/Preview.h"

namespace Kelvane::Gui {

// Shows the converted model: the T3D document a run wrote, drawn by
// Preview::Render. Dragging with the left button turns it, the wheel zooms,
// the arrow keys, + and - do the same from the keyboard and a double click
// or Home goes back to the fixed angle.
//
// A worker thread reads the document and draws; the window's thread only
// asks and shows, so a model of a million triangles never stops the window
// answering. A request made while the worker is busy replaces any other
// still waiting: only the newest is drawn, and a drag never queues up
// pictures nobody will see.
class PreviewView : public QWidget {
 public:
  explicit PreviewView(QWidget* parent = nullptr);
  ~PreviewView() override;

  // Reads the T3D document at `path` and shows it from the fixed angle.
  void ShowDocument(const std::string& path);
  // Shows no model, only the caption.
  void ShowNothing(const QString& caption);

  const Kelvane::Preview::View& CurrentView() const { return view_; }
  // Whether a picture asked for has not been shown yet.
  bool Busy() const { return shownSerial_ != askedSerial_; }
  // The picture shown, as Render drew it; null before the first.
  const QImage& Image() const { return image_; }
  // The text shown over the picture: what the view is waiting for, or why
  // there is no model to show; empty while a model is shown.
  const QString& Caption() const { return caption_; }

  // Turning per pixel dragged (radians) and zooming per wheel step.
  static constexpr double kTurnPerPixel = 0.01;
  static constexpr double kZoomPerStep = 1.25;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  enum class Source { Keep, Load, Clear };
  struct Request {
    std::uint64_t serial = 0;
    Source source = Source::Keep;
    std::string path;  // Load
    QString caption;   // Clear
    Kelvane::Preview::View view;
    QSize size;
    double pixelRatio = 1;
  };

  void Ask(Source source, std::string path = {}, QString caption = {});
  void Turn(double yaw, double pitch);
  void Zoom(double steps);
  void Work();
  void Take(std::uint64_t serial, const QImage& image, const QString& caption);

  Kelvane::Preview::View view_;
  QImage image_;
  QString caption_;
  std::uint64_t askedSerial_ = 0;
  std::uint64_t shownSerial_ = 0;
  bool anyDocument_ = false;  // nothing to redraw before the first run
  bool dragging_ = false;
  QPoint dragFrom_;

  // Shared with the worker.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<Request> waiting_;
  bool stop_ = false;
  std::thread worker_;  // last: it starts once everything above is made
};

}  // namespace Kelvane::Gui
