// Times a conversion driven through the real window, offscreen, as a user
// would start it: paths and options in the boxes, then Go. Texture dialogs
// are answered with the name the window proposes.
//
//   kelvane-window-bench INPUT OUTPUT [--one-brush] [--no-pictures]
//   kelvane-window-bench --texture SIZE DIR
//
// Prints the wall time in seconds of Go (the second form first writes a
// model holding one SIZE x SIZE texture into DIR and converts it).

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/gui/Dialogs.h"
#include "app/gui/FormMain.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

class AcceptingDialogs : public Kelvane::Gui::Dialogs {
 public:
  std::optional<Kelvane::Gui::FileDialogAnswer> ShowFileDialog(
      QWidget*, const Kelvane::Gui::FileDialogRequest& request) override {
    return Kelvane::Gui::FileDialogAnswer{request.fileName, request.filterIndex};
  }
  void ShowMessage(QWidget*, MessageKind, const QString& title, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    failed = true;
  }
  bool failed = false;
};

// A model of one square texture of changing colours, 24 bits a pixel, one
// pixel row a line.
void WriteTextureModel(const std::string& path, int size) {
  std::ofstream out(path, std::ios::binary);
  out << "PixmapTexture (\n" << size << ' ' << size << ' ' << size * 3 << " 24\n";
  static const char kHex[] = "0123456789ABCDEF";
  for (int y = 0; y < size; ++y) {
    out << "0x";
    for (int x = 0; x < size * 3; ++x) {
      const int value = (x * 7 + y * 13) & 0xFF;
      out << kHex[value >> 4] << kHex[value & 15];
    }
    out << '\n';
  }
  out << ")\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: kelvane-window-bench INPUT OUTPUT [--one-brush] [--no-pictures]\n"
                 "       kelvane-window-bench --texture SIZE DIR\n");
    return 2;
  }
  std::string input = argv[1];
  std::string output = argv[2];
  bool oneBrush = false;
  bool pictures = true;
  if (input == "--texture") {
    const std::string dir = argc > 3 ? argv[3] : ".";
    input = dir + "/texture.3dmf";
    output = dir + "/texture.t3d";
    WriteTextureModel(input, std::stoi(argv[2]));
  }
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--one-brush") oneBrush = true;
    if (arg == "--no-pictures") pictures = false;
  }

  AcceptingDialogs dialogs;
  Kelvane::Gui::FormMain window(&dialogs);
  window.show();
  window.findChild<QLineEdit*>("TextInFileName")->setText(QString::fromStdString(input));
  window.findChild<QLineEdit*>("TextOutFileName")->setText(QString::fromStdString(output));
  window.findChild<QCheckBox*>("CheckMapOrBrush")->setChecked(oneBrush);
  window.findChild<QCheckBox*>("CheckDoPics")->setChecked(pictures);
  QApplication::processEvents();

  const auto start = std::chrono::steady_clock::now();
  window.CommandGo_Click();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.3f\n", seconds.count());
  return dialogs.failed ? 1 : 0;
}
