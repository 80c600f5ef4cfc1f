#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
  // The tests never need a display; one can still be asked for to watch them.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  // On Windows the offscreen platform has no fontconfig to find a face for
  // the default family; without one every text is measured in boxes. The
  // Windows test run names the face Linux gets (KELVANE_TEST_FONT), from the
  // folder in QT_QPA_FONTDIR.
  const QString face = qEnvironmentVariable("KELVANE_TEST_FONT");
  if (!face.isEmpty()) QFont::insertSubstitution(QApplication::font().family(), face);
  return RUN_ALL_TESTS();
}
