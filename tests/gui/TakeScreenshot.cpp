// kelvane-screenshot: shows the window on the display in use, converts one
// model the way a user would (browse for the input, Go, accept the proposed
// bitmap names) and saves a picture of the screen area of the window.
// Usage: kelvane-screenshot MODEL PNG [CHECKBOX...]   (run it under a
// virtual display); each CHECKBOX, an object name such as
// CheckTextureMapping, is ticked before Go.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <cstdio>

#include "ScriptedDialogs.h"
#include "app/gui/FormMain.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "Usage: kelvane-screenshot MODEL PNG [CHECKBOX...]\n");
    return 2;
  }
  const QString model = QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1]));
  const QString png = QString::fromLocal8Bit(argv[2]);

  testing_support::ScriptedDialogs dialogs;
  Kelvane::Gui::FormMain window(&dialogs);
  window.move(0, 0);
  window.show();
  if (!window.windowHandle() || !window.windowHandle()->isExposed()) QApplication::processEvents();

  dialogs.Choose(model);
  window.findChild<QPushButton*>(QStringLiteral("CommandBrowseInput"))->click();
  for (int i = 3; i < argc; ++i) {
    auto* box = window.findChild<QCheckBox*>(QString::fromLocal8Bit(argv[i]));
    if (box == nullptr) {
      std::fprintf(stderr, "kelvane-screenshot: no check box %s\n", argv[i]);
      return 2;
    }
    box->setChecked(true);
  }
  // The textures' bitmaps beside the output, under their proposed names.
  for (int i = 0; i < 16; ++i) dialogs.AcceptProposed();
  window.findChild<QPushButton*>(QStringLiteral("CommandGo"))->click();
  if (!dialogs.messages.empty()) {
    std::fprintf(stderr, "kelvane-screenshot: %s\n", qPrintable(dialogs.messages.back().text));
    return 1;
  }
  // Let the last repaints reach the display before it is read.
  for (int i = 0; i < 20; ++i) {
    QApplication::processEvents();
    QThread::msleep(25);
  }
  const QPixmap shot = window.screen()->grabWindow(
      0, window.x(), window.y(), window.frameGeometry().width(), window.frameGeometry().height());
  if (shot.isNull() || !shot.save(png)) {
    std::fprintf(stderr, "kelvane-screenshot: cannot save %s\n", qPrintable(png));
    return 1;
  }
  return 0;
}
