// kelvane: the window program.

#include <QApplication>
#include <csignal>

#include "app/gui/FormMain.h"

int main(int argc, char** argv) {
  // A write beyond a file-size limit then fails as a run error instead of
  // ending the program (Windows has no such signal).
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvane"));
  Kelvane::Gui::FormMain window;
  // Qt has taken its own options out; on Windows the list comes from the
  // wide command line, so any file name arrives whole.
  window.OpenArguments(QApplication::arguments().mid(1));
  window.show();
  return QApplication::exec();
}
