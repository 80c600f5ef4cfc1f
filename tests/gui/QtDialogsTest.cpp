#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "QtPrinting.h"
#include "TestSupport.h"
#include "app/gui/Dialogs.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using Kelvane::Gui::FileDialogRequest;
using Kelvane::Gui::QtDialogs;
using testing_support::TempDir;

namespace {

// Works the real file dialog once it is up, as a user would.
void WhenTheDialogShows(std::function<void(QFileDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      WhenTheDialogShows(act);  // not shown yet
      return;
    }
    act(dialog);
  });
}

TEST(QtDialogsTest, TheFileDialogStartsFromTheRequestAndGivesBackTheChoice) {
  TempDir dir;
  // The dialog gives paths with "/" on every system.
  const QString folder =
      QDir::fromNativeSeparators(QString::fromStdString(Platform::TextOf(dir.Path())));
  FileDialogRequest request;
  request.save = true;
  request.nameFilters = {"Unreal Brush (*.t3d)", "Windows Bitmap (*.bmp)"};
  request.filterIndex = 2;
  request.defaultSuffix = "bmp";
  request.fileName = folder + "/proposed_1.bmp";

  QStringList shownFilters;
  QString shownFilter;
  QString shownFolder;
  QStringList shownFiles;
  bool acceptsNewNames = false;
  WhenTheDialogShows([&](QFileDialog* dialog) {
    shownFilters = dialog->nameFilters();
    shownFilter = dialog->selectedNameFilter();
    shownFolder = dialog->directory().absolutePath();
    shownFiles = dialog->selectedFiles();
    acceptsNewNames = dialog->fileMode() == QFileDialog::AnyFile &&
                      dialog->acceptMode() == QFileDialog::AcceptSave;
    dialog->selectFile("typed");
    static_cast<QDialog*>(dialog)->accept();  // as the Save button does
  });
  QtDialogs dialogs;
  const auto answer = dialogs.ShowFileDialog(nullptr, request);

  EXPECT_EQ(shownFilters, request.nameFilters);
  EXPECT_EQ(shownFilter, "Windows Bitmap (*.bmp)");
  EXPECT_EQ(QDir(shownFolder), QDir(folder));
  EXPECT_EQ(shownFiles, QStringList{folder + "/proposed_1.bmp"});
  EXPECT_TRUE(acceptsNewNames);
  ASSERT_TRUE(answer.has_value());
  // A typed name without extension takes the default one.
  EXPECT_EQ(answer->fileName, folder + "/typed.bmp");
  EXPECT_EQ(answer->filterIndex, 2);
}

TEST(QtDialogsTest, AnOpenDialogThatNeedsAnExistingFileCanBeCancelled) {
  FileDialogRequest request;
  request.nameFilters = {"3DMF (*.3dmf *.3dm *.3mf)"};
  request.fileMustExist = true;
  bool existingOnly = false;
  WhenTheDialogShows([&](QFileDialog* dialog) {
    existingOnly = dialog->fileMode() == QFileDialog::ExistingFile &&
                   dialog->acceptMode() == QFileDialog::AcceptOpen;
    dialog->reject();
  });
  QtDialogs dialogs;
  EXPECT_FALSE(dialogs.ShowFileDialog(nullptr, request).has_value());
  EXPECT_TRUE(existingOnly);
}

// The question the window asks after a keyword run the whole-format reader
// would have read: Yes is the default button, Escape answers No.
TEST(QtDialogsTest, AYesNoQuestionGivesBackTheButtonPressed) {
  QtDialogs dialogs;
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes);
    QString shownText;
    bool yesIsDefault = false;
    const auto answer = [&, yes] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return false;
      shownText = box->text();
      yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
      if (yes) {
        box->button(QMessageBox::Yes)->click();
      } else {
        box->reject();  // Escape, or the window's close button
      }
      return true;
    };
    std::function<void()> whenShown;
    whenShown = [&] {
      if (!answer()) QTimer::singleShot(0, whenShown);
    };
    QTimer::singleShot(0, whenShown);
    EXPECT_EQ(dialogs.AskYesNo(nullptr, Kelvane::Gui::Dialogs::MessageKind::Error, "Kelvane",
                               "Convert again?"),
              yes);
    EXPECT_EQ(shownText, "Convert again?");
    EXPECT_TRUE(yesIsDefault);
  }
}

}  // namespace
