#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // The tests never need a display; one can still be asked for to watch them.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
