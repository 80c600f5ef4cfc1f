#include <gtest/gtest.h>

#include "QtPrinting.h"
#include "ScriptedDialogs.h"
#include "app/gui/CommonDialog.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using Kelvane::Gui::CommonDialog;
using Kelvane::Gui::QtNameFilters;
using testing_support::ScriptedDialogs;

namespace {

TEST(QtNameFiltersTest, DescriptionAndPatternPairsBecomeQtFilters) {
  struct Case {
    const char* filter;
    QStringList expected;
  };
  const Case cases[] = {
      {"3DMF (*.3dmf;*.3dm;*.3mf)|*.3dmf;*.3dm;*.3mf|", {"3DMF (*.3dmf *.3dm *.3mf)"}},
      {"Windows Bitmap (*.bmp)|*.bmp|", {"Windows Bitmap (*.bmp)"}},
      // Without the closing bar, and two pairs.
      {"Text|*.txt|All files (*.*)|*.*", {"Text (*.txt)", "All files (*.*)"}},
      // Parentheses that are not the patterns stay part of the description.
      {"Pictures (old)|*.bmp|", {"Pictures (old) (*.bmp)"}},
      {"|*.t3d|", {"*.t3d (*.t3d)"}},
      // A pair without patterns offers nothing; a lone description neither.
      {"Nothing||Brush|*.t3d|", {"Brush (*.t3d)"}},
      {"Lonely", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(QtNameFilters(c.filter), c.expected) << c.filter;
}

TEST(CommonDialogTest, PropertiesShapeTheDialogAndOkFillsTheFileName) {
  ScriptedDialogs dialogs;
  CommonDialog dialog(dialogs, nullptr);
  dialog.Filter = "A|*.a|B|*.b|";
  dialog.DefaultExt = ".b";
  dialog.FilterIndex = 2;
  dialog.Flags = CommonDialog::kFileMustExist | 2;
  dialog.FileName = "/start/name.b";
  dialogs.Then([](const Kelvane::Gui::FileDialogRequest&) {
    return Kelvane::Gui::FileDialogAnswer{"/chosen/file.a", 1};
  });
  EXPECT_EQ(dialog.ShowOpen(), "/chosen/file.a");
  ASSERT_EQ(dialogs.requests.size(), 1u);
  const Kelvane::Gui::FileDialogRequest& request = dialogs.requests[0];
  EXPECT_FALSE(request.save);
  EXPECT_EQ(request.nameFilters, (QStringList{"A (*.a)", "B (*.b)"}));
  EXPECT_EQ(request.filterIndex, 2);
  EXPECT_EQ(request.defaultSuffix, "b");
  EXPECT_TRUE(request.fileMustExist);
  EXPECT_EQ(request.fileName, "/start/name.b");
  EXPECT_EQ(dialog.FileName, "/chosen/file.a");
  EXPECT_EQ(dialog.FilterIndex, 1);

  // The next use starts from what the last one left.
  dialog.Flags = 0;
  dialogs.AcceptProposed();
  dialog.ShowSave();
  EXPECT_TRUE(dialogs.requests[1].save);
  EXPECT_FALSE(dialogs.requests[1].fileMustExist);
  EXPECT_EQ(dialogs.requests[1].fileName, "/chosen/file.a");
  EXPECT_EQ(dialogs.requests[1].filterIndex, 1);
}

TEST(CommonDialogTest, CancelGivesNoPathAndKeepsTheFileName) {
  ScriptedDialogs dialogs;
  CommonDialog dialog(dialogs, nullptr);
  dialog.FileName = "/kept.t3d";
  for (const bool save : {true, false}) {
    dialogs.Cancel();
    EXPECT_EQ(save ? dialog.ShowSave() : dialog.ShowOpen(), std::nullopt);
    EXPECT_EQ(dialog.FileName, "/kept.t3d");
  }
}

}  // namespace
