#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "QtPrinting.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "app/ModelOutputCases.h"
#include "app/gui/FormMain.h"
#include "app/gui/PictureBox.h"
#include "app/gui/PreviewView.h"
#include "image/Png.h"
#include "platform/Platform.h"
#include "preview/Preview.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using Kelvane::Gui::FileDialogRequest;
using Kelvane::Gui::FormMain;
using testing_support::ReadFile;
using testing_support::ScriptedDialogs;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// Geometry of the picture box's border, in pixels, on each side.
constexpr int kBorder = 2;

// What the command line prints and writes for the same input and options,
// run through the platform layer (an argument list, no shell), so paths with
// blanks and letters beyond ASCII pass on Windows too.
struct CommandLineResult {
  int status = 0;
  std::string stderrText;
};

// The window reads with the keyword reader unless "Whole 3DMF" is ticked:
// so does the command line, unless the arguments name a reader.
CommandLineResult RunCommandLine(const std::string& arguments) {
  const std::string reader =
      arguments.find("--reader") == std::string::npos ? "--reader keywords " : "";
  const testing_support::ProgramRun run =
      testing_support::RunConvert("--quiet " + reader + arguments);
  return {run.status, run.err + run.out};
}

// A path as one argument of RunCommandLine.
std::string Q(const std::string& path) { return "'" + path + "'"; }

// A path as UTF-8, which path::string() is not on Windows.
std::string Text(const std::filesystem::path& path) { return Platform::TextOf(path); }

std::string TestModel(const std::string& name) {
  return ReadFile(std::string(KELVANE_TEST_DATA) + "/" + name);
}

// A texture written the way the reader takes it: a header line, then one
// line of blue-green-red bytes per row.
std::string Texture(int width, int height, const std::vector<std::uint32_t>& rgb) {
  std::string text = "PixmapTexture (\n  " + std::to_string(width) + " " + std::to_string(height) +
                     " " + std::to_string(width * 3) + " 24\n";
  char byte[8];
  for (int y = 0; y < height; ++y) {
    text += "  0x";
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = rgb[static_cast<std::size_t>(y * width + x)];
      std::snprintf(byte, sizeof byte, "%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
      text += byte;
    }
    text += "\n";
  }
  return text + ")\n";
}

const char kTriangle[] =
    "Polyhedron (\n"
    "  3 0 1\n"
    "  0 0 0 1 0 0 0 1 0\n"
    "  0 1 2\n"
    ")\n";

struct Bitmap {
  int bitsPerPixel = 0;
  int width = 0;
  int height = 0;
  std::string bytes;
  // Colour as 0xRRGGBB, row 0 at the top.
  std::uint32_t Pixel(int x, int y) const {
    auto u32 = [&](std::size_t at) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
             static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
             static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16;
    };
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t offset = u32(10) & 0xFFFFFF;
    return u32(offset + static_cast<std::size_t>(height - 1 - y) * rowBytes +
               static_cast<std::size_t>(x) * 3);
  }
};

Bitmap ReadBitmap(const std::string& path) {
  Bitmap bitmap;
  bitmap.bytes = ReadFile(path);
  if (bitmap.bytes.size() < 54 || bitmap.bytes.compare(0, 2, "BM") != 0) return bitmap;
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned char>(bitmap.bytes[at]) |
           static_cast<unsigned char>(bitmap.bytes[at + 1]) << 8;
  };
  bitmap.width = u16(18);
  bitmap.height = u16(22);
  bitmap.bitsPerPixel = u16(28);
  return bitmap;
}

QString TextOf(QWidget* control) {
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  if (auto* box = qobject_cast<QLineEdit*>(control)) return box->text();
  return {};
}

class FormMainTest : public testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<FormMain>(&dialogs);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }

  template <typename T>
  T* Control(const char* name) {
    T* control = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  QLineEdit* Box(const char* name) { return Control<QLineEdit>(name); }
  QString Caption(const char* name) { return Control<QLabel>(name)->text(); }
  void Click(const char* name) { QTest::mouseClick(Control<QPushButton>(name), Qt::LeftButton); }

  void SetRun(const std::string& input, const std::string& output) {
    Box("TextInFileName")->setText(QString::fromStdString(input));
    Box("TextOutFileName")->setText(QString::fromStdString(output));
  }

  TempDir dir;
  ScriptedDialogs dialogs;
  std::unique_ptr<FormMain> window;
};

// ---------------------------------------------------------------- start

TEST_F(FormMainTest, OpensWithTheCaptionsValuesAndGeometryOfTheLayout) {
  EXPECT_EQ(window->windowTitle(), "Kelvane - Dunmoor");
  // 13400 x 6660 twips at 96 dots per inch: the original 5325 twips and the
  // preview beside them.
  EXPECT_EQ(window->size(), QSize(893, 444));

  struct Expected {
    const char* name;
    const char* kind;
    const char* text;
    QRect pixels;
  };
  const Expected controls[] = {
      {"CommandGo", "QPushButton", "Go", {245, 96, 65, 25}},
      {"LabelProgress", "QLabel", "Label1", {98, 91, 73, 29}},
      {"LabelPos", "QLabel", "LabelPos", {8, 96, 81, 29}},
      {"Label1", "QLabel", "Input 3DMF Ascii File", {8, 7, 113, 17}},
      {"TextInFileName", "QLineEdit", "", {8, 24, 257, 19}},
      {"CommandBrowseInput", "QPushButton", "...", {272, 24, 33, 17}},
      {"Label2", "QLabel", "Output Unreal Ascii Brush File", {8, 56, 145, 18}},
      {"TextOutFileName", "QLineEdit", "", {8, 72, 257, 19}},
      {"CommandBrowseOutput", "QPushButton", "...", {272, 72, 33, 17}},
      {"CheckMapOrBrush", "QCheckBox", "All objects to one brush?", {8, 126, 145, 17}},
      {"PictureTexture", "Kelvane::Gui::PictureBox", "", {7, 147, 337, 295}},
      {"CheckDoPics", "QCheckBox", "Do pictures?", {161, 126, 82, 17}},
      {"Label3", "QLabel", "Scale:", {210, 49, 33, 17}},
      {"TextScale", "QLineEdit", "20.0", {245, 49, 61, 19}},
  };
  for (const Expected& c : controls) {
    SCOPED_TRACE(c.name);
    QWidget* control = Control<QWidget>(c.name);
    ASSERT_NE(control, nullptr);
    // The picture box sits in a scroll area; its place counts from the window.
    EXPECT_EQ(QRect(control->mapTo(window.get(), QPoint(0, 0)), control->size()), c.pixels);
    EXPECT_TRUE(control->isVisible());
    EXPECT_EQ(TextOf(control), c.text);
    if (std::string(c.kind) != "Kelvane::Gui::PictureBox") {
      EXPECT_TRUE(control->inherits(c.kind));
    }
  }
  EXPECT_FALSE(Control<QCheckBox>("CheckMapOrBrush")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>("CheckDoPics")->isChecked());
  EXPECT_TRUE(Control<QPushButton>("CommandGo")->isEnabled());
  EXPECT_TRUE(dialogs.requests.empty());
}

TEST_F(FormMainTest, FocusStartsOnGoAndTabFollowsTheLayoutOrder) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  EXPECT_EQ(QApplication::focusWidget(), Control<QWidget>("CommandGo"));
  // Labels take no focus; the other controls follow in the order of the
  // layout and the chain comes back to Go.
  const char* order[] = {"TextInFileName",   "CommandBrowseInput",
                         "TextOutFileName",  "CommandBrowseOutput",
                         "CheckMapOrBrush",  "PictureTexture",
                         "CheckDoPics",      "TextScale",
                         "CheckWholeFormat", "CheckTextureMapping",
                         "CheckPowerOfTwo",  "CheckBitmap8",
                         "TextFit",          "ComboEngine",
                         "ComboSolidity",    "PicturePreview",
                         "CommandGo"};
  for (const char* name : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), name);
  }
}

TEST_F(FormMainTest, FixedCaptionsKeepToOneLineInsideTheirControls) {
  for (const char* name : {"Label1", "Label2", "Label3", "LabelFit", "LabelEngine", "LabelSolidity"}) {
    auto* label = Control<QLabel>(name);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << name;
  }
  // A box's caption is drawn in the part its style leaves beside the
  // indicator (its size hint adds margins of the style's own, which differ
  // between the Linux and the Windows style).
  for (const char* name :
       {"CheckMapOrBrush", "CheckDoPics", "CheckWholeFormat", "CheckTextureMapping",
        "CheckPowerOfTwo", "CheckBitmap8"}) {
    auto* box = Control<QCheckBox>(name);
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect caption = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()), caption.width()) << name;
    EXPECT_LE(caption.right(), box->rect().right()) << name;
  }
}

// ---------------------------------------------------------------- browse

TEST_F(FormMainTest, InputBrowseFillsTheInputAndProposesTheOutput) {
  struct Case {
    const char* chosen;
    const char* proposed;
  };
  const Case cases[] = {
      {"/data/ship.3dmf", "/data/ship.t3d"},
      {"/data/v.2/model", "/data/v.2/model.t3d"},  // a dot in a folder is no extension
      {"C:\\v.2\\model", "C:\\v.2\\model.t3d"},
      {"/data/ship.tar.3dm", "/data/ship.tar.t3d"},
      {"model", "model.t3d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    Box("TextOutFileName")->setText("/elsewhere/old.t3d");
    dialogs.Choose(c.chosen);
    Click("CommandBrowseInput");
    EXPECT_EQ(Box("TextInFileName")->text(), c.chosen);
    EXPECT_EQ(Box("TextOutFileName")->text(), c.proposed);
  }
  ASSERT_EQ(dialogs.requests.size(), std::size(cases));
  const FileDialogRequest& open = dialogs.requests.back();
  EXPECT_FALSE(open.save);
  EXPECT_TRUE(open.fileMustExist);
  EXPECT_EQ(open.nameFilters, QStringList{"3DMF (*.3dmf *.3dm *.3mf)"});
  EXPECT_EQ(open.filterIndex, 1);
  EXPECT_EQ(open.defaultSuffix, "3dmf");
  // The dialog opens where the previous use left it.
  EXPECT_EQ(open.fileName, "/data/ship.tar.3dm");
}

TEST_F(FormMainTest, CancelInEitherBrowseDialogChangesNothing) {
  SetRun("/data/in.3dmf", "/data/out.t3d");
  dialogs.Cancel();
  Click("CommandBrowseInput");
  dialogs.Cancel();
  Click("CommandBrowseOutput");
  EXPECT_EQ(dialogs.requests.size(), 2u);
  EXPECT_EQ(Box("TextInFileName")->text(), "/data/in.3dmf");
  EXPECT_EQ(Box("TextOutFileName")->text(), "/data/out.t3d");
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FormMainTest, OutputBrowseSetsOnlyTheOutputAndTakesNewNames) {
  dialogs.Choose("/data/ship.3dmf");
  Click("CommandBrowseInput");
  dialogs.Choose("/data/new/brush.t3d");
  Click("CommandBrowseOutput");
  EXPECT_EQ(Box("TextInFileName")->text(), "/data/ship.3dmf");
  EXPECT_EQ(Box("TextOutFileName")->text(), "/data/new/brush.t3d");

  ASSERT_EQ(dialogs.requests.size(), 2u);
  const FileDialogRequest& save = dialogs.requests[1];
  EXPECT_TRUE(save.save);
  // The input browse's file-must-exist flag does not reach a save dialog.
  EXPECT_FALSE(save.fileMustExist);
  EXPECT_EQ(save.nameFilters, QStringList{"Unreal Brush (*.t3d)"});
  EXPECT_EQ(save.defaultSuffix, "t3d");
  EXPECT_EQ(save.fileName, "/data/ship.3dmf");
}

TEST_F(FormMainTest, DroppingAFileTakesItAsTheInput) {
  const std::string model = dir.File("v.2-model.3dmf");
  WriteFile(model, kTriangle);
  Box("TextOutFileName")->setText("/elsewhere/old.t3d");

  auto drop = [&](const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &dropped);
    return enter.isAccepted();
  };

  // Folders, missing files and remote addresses are not inputs.
  EXPECT_FALSE(drop({QUrl::fromLocalFile(QString::fromStdString(Text(dir.Path())))}));
  EXPECT_FALSE(drop({QUrl::fromLocalFile(QString::fromStdString(dir.File("missing.3dmf")))}));
  EXPECT_FALSE(drop({QUrl("https://example.org/ship.3dmf")}));
  EXPECT_EQ(Box("TextInFileName")->text(), "");
  EXPECT_EQ(Box("TextOutFileName")->text(), "/elsewhere/old.t3d");

  EXPECT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(model))}));
  // A dropped file's path comes with "/" on every system.
  auto slashes = [](const std::string& path) {
    return QDir::fromNativeSeparators(QString::fromStdString(path));
  };
  EXPECT_EQ(Box("TextInFileName")->text(), slashes(model));
  EXPECT_EQ(Box("TextOutFileName")->text(), slashes(dir.File("v.2-model.t3d")));
}

// Started with a path (Explorer's "Open with", a file dropped on the
// program's icon) or given a model by a drop, the window fills the boxes as
// the input browse does; only a single path counts, and nothing converts
// until Go.
TEST_F(FormMainTest, AnArgumentOrADropFillsTheBoxesAndConvertsNothing) {
  const std::string model = dir.File("Kel vané v.2.3dmf");
  WriteFile(model, kTriangle);
  const QString path = QString::fromStdString(model);
  const QString proposed = QString::fromStdString(dir.File("Kel vané v.2.t3d"));
  const QString kept = "/elsewhere/old.t3d";
  struct Case {
    const char* how;
    bool drop;
    QStringList arguments;
    QString input;
    QString output;
  };
  const Case cases[] = {
      {"no argument", false, {}, "", kept},
      {"an empty argument", false, {""}, "", kept},
      {"two paths", false, {path, path}, "", kept},
      {"one path", false, {path}, path, proposed},
      {"a Windows path",
       false,
       {"C:\\Models\\v.2\\ship.qd3d"},
       "C:\\Models\\v.2\\ship.qd3d",
       "C:\\Models\\v.2\\ship.t3d"},
      // A dropped file's path comes with "/" on every system.
      {"a drop",
       true,
       {path},
       QDir::fromNativeSeparators(path),
       QDir::fromNativeSeparators(proposed)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    SetRun("", kept.toStdString());
    if (c.drop) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(c.arguments.front())});
      QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton,
                            Qt::NoModifier);
      QApplication::sendEvent(window.get(), &enter);
      QDropEvent dropped(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(window.get(), &dropped);
    } else {
      window->OpenArguments(c.arguments);
    }
    EXPECT_EQ(Box("TextInFileName")->text(), c.input);
    EXPECT_EQ(Box("TextOutFileName")->text(), c.output);
  }
  QApplication::processEvents();
  EXPECT_EQ(Caption("LabelProgress"), "Label1");
  EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(proposed.toStdString())));
  EXPECT_TRUE(dialogs.requests.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

// ---------------------------------------------------------------- runs

TEST_F(FormMainTest, GoWritesWhatTheCommandLineWrites) {
  struct Case {
    const char* name;
    bool oneBrush;
    bool pictures;
    const char* scale;
    const char* commandLineOptions;
    bool bitmap;
  };
  const Case cases[] = {
      {"map", false, true, "20.0", "", true},
      {"brush", true, true, "20.0", "--one-brush", true},
      {"plain", false, false, "2.5", "--no-pictures --scale 2.5", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path windowDir = dir.Path() / (std::string(c.name) + "-window");
    const std::filesystem::path lineDir = dir.Path() / (std::string(c.name) + "-line");
    std::filesystem::create_directories(windowDir);
    std::filesystem::create_directories(lineDir);
    for (const auto& d : {windowDir, lineDir})
      WriteFile(Text(d / "crate.3dmf"), TestModel("crate.3dmf"));

    SetRun(Text(windowDir / "crate.3dmf"), Text(windowDir / "crate.t3d"));
    Control<QCheckBox>("CheckMapOrBrush")->setChecked(c.oneBrush);
    Control<QCheckBox>("CheckDoPics")->setChecked(c.pictures);
    Box("TextScale")->setText(c.scale);
    if (c.bitmap) dialogs.AcceptProposed();
    Click("CommandGo");

    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.AnswersLeft(), 0u);
    EXPECT_EQ(dialogs.unexpected, 0);
    EXPECT_EQ(Caption("LabelPos"), "Done");
    EXPECT_EQ(Caption("LabelProgress"), "Processed 12");
    EXPECT_TRUE(Control<QPushButton>("CommandGo")->isEnabled());

    const CommandLineResult line =
        RunCommandLine(Q(Text(lineDir / "crate.3dmf")) + " " + Q(Text(lineDir / "crate.t3d")) +
                       " " + c.commandLineOptions);
    ASSERT_EQ(line.status, 0) << line.stderrText;
    const std::string written = ReadFile(Text(windowDir / "crate.t3d"));
    EXPECT_FALSE(written.empty());
    EXPECT_TRUE(written == ReadFile(Text(lineDir / "crate.t3d")));
    EXPECT_EQ(std::filesystem::exists(windowDir / "crate_1.bmp"), c.bitmap);
    if (c.bitmap) {
      EXPECT_TRUE(ReadFile(Text(windowDir / "crate_1.bmp")) ==
                  ReadFile(Text(lineDir / "crate_1.bmp")));
    }
  }
}

TEST_F(FormMainTest, AFailedRunShowsWhatAndWhereAndLeavesGoEnabled) {
  // The second face names a point the table does not have: the first
  // polygon is written, then the run stops.
  const std::string model =
      "Polyhedron (\n"
      "  3 0 2\n"
      "  0 0 0 1 0 0 0 1 0\n"
      "  0 1 2\n"
      "  0 1 7\n"
      ")\n";
  WriteFile(dir.File("bad.3dmf"), model);
  WriteFile(dir.File("line.3dmf"), model);
  SetRun(dir.File("bad.3dmf"), dir.File("bad.t3d"));
  Click("CommandGo");

  const CommandLineResult line = RunCommandLine(Q(dir.File("line.3dmf")) + " " + Q(dir.File("line.t3d")));
  ASSERT_EQ(line.status, 1);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  const QString message = dialogs.messages[0].text;
  EXPECT_EQ(dialogs.messages[0].kind, Kelvane::Gui::Dialogs::MessageKind::Error);
  EXPECT_TRUE(message.contains("Out of range: Point index 7 is outside the table 0 to 2"))
      << message.toStdString();
  // The same place as the command line names.
  EXPECT_TRUE(line.stderrText.find("(input line 5, column 7)") != std::string::npos)
      << line.stderrText;
  EXPECT_TRUE(message.contains("(input line 5, column 7)")) << message.toStdString();

  EXPECT_TRUE(Control<QPushButton>("CommandGo")->isEnabled());
  EXPECT_NE(Caption("LabelPos"), "Done");
  const std::string written = ReadFile(dir.File("bad.t3d"));
  EXPECT_TRUE(written == ReadFile(dir.File("line.t3d")));
  EXPECT_NE(written.find("Begin Polygon"), std::string::npos);
  EXPECT_EQ(written.find("End Map"), std::string::npos);
}

// The window refuses every output the command line refuses as a model,
// says so and writes nothing; other outputs convert.
TEST_F(FormMainTest, AnOutputThatIsAModelIsRefusedAndLeftAsItWas) {
  WriteFile(dir.File("a.3dmf"), kTriangle);
  for (const testing_support::ModelOutputCase& c : testing_support::ModelOutputCases()) {
    SCOPED_TRACE(c.name);
    dialogs.messages.clear();
    const std::string output = dir.File(c.name);
    if (!c.bytes.empty()) WriteFile(output, c.bytes);
    SetRun(dir.File("a.3dmf"), output);
    Click("CommandGo");
    if (c.because.empty()) {
      EXPECT_TRUE(dialogs.messages.empty());
      EXPECT_EQ(ReadFile(output).rfind("Begin Map", 0), 0u);
      continue;
    }
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string message = dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.messages[0].kind, Kelvane::Gui::Dialogs::MessageKind::Error);
    EXPECT_NE(message.find("Output is a model: The output \"" + output + "\" is a 3DMF model"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find(c.because), std::string::npos) << message;
    EXPECT_EQ(ReadFile(output), c.bytes);
    EXPECT_EQ(std::filesystem::exists(Kelvane::Platform::PathOf(output)), !c.bytes.empty());
    EXPECT_TRUE(Control<QPushButton>("CommandGo")->isEnabled());
  }
}

// A run that fails over an earlier document leaves it and names the side
// file; a run that finds no object says so.
TEST_F(FormMainTest, AFailureOverAnEarlierDocumentAndAnEmptyInputAreTold) {
  WriteFile(dir.File("bad.3dmf"), "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 1 0\n0 1 7\n)\n");
  WriteFile(dir.File("bad.t3d"), "Begin Map\r\nthe level as it was\r\nEnd Map\r\n");
  SetRun(dir.File("bad.3dmf"), dir.File("bad.t3d"));
  Click("CommandGo");
  WriteFile(dir.File("pic.3dmf"), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
  SetRun(dir.File("pic.3dmf"), dir.File("pic.t3d"));
  Click("CommandGo");
  ASSERT_EQ(dialogs.messages.size(), 2u);
  const std::string failed = dialogs.messages[0].text.toStdString();
  EXPECT_NE(failed.find("\"" + dir.File("bad.t3d") + "\" is as it was, and what this run wrote is in \"" +
                        dir.File("bad.t3d.partial") + "\""),
            std::string::npos)
      << failed;
  EXPECT_EQ(ReadFile(dir.File("bad.t3d")), "Begin Map\r\nthe level as it was\r\nEnd Map\r\n");
  EXPECT_EQ(dialogs.messages[1].kind, Kelvane::Gui::Dialogs::MessageKind::Warning);
  EXPECT_NE(dialogs.messages[1].text.toStdString().find(
                "Nothing was converted: no polygon written, no texture saved."),
            std::string::npos)
      << dialogs.messages[1].text.toStdString();
}

TEST_F(FormMainTest, TheWholeFormatBoxStartsOffAndReadsAsReader3dmfDoes) {
  auto* box = Control<QCheckBox>("CheckWholeFormat");
  EXPECT_FALSE(box->isChecked());
  EXPECT_TRUE(box->text().contains("3DMF"));
  box->setChecked(true);
  const std::string model = TestModel("samples/texture-wrapping.3dmf");
  WriteFile(dir.File("window.3dmf"), model);
  WriteFile(dir.File("line.3dmf"), model);
  SetRun(dir.File("window.3dmf"), dir.File("window.t3d"));
  for (int i = 0; i < 3; ++i) dialogs.AcceptProposed();
  Click("CommandGo");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.AnswersLeft(), 0u);
  EXPECT_EQ(Caption("LabelProgress"), "Processed 6");

  const CommandLineResult line =
      RunCommandLine("--reader 3dmf " + Q(dir.File("line.3dmf")) + " " + Q(dir.File("line.t3d")));
  ASSERT_EQ(line.status, 0) << line.stderrText;
  EXPECT_TRUE(ReadFile(dir.File("window.t3d")) == ReadFile(dir.File("line.t3d")));
  for (const char* n : {"_1.bmp", "_2.bmp", "_3.bmp"}) {
    EXPECT_TRUE(ReadFile(dir.File(std::string("window") + n)) ==
                ReadFile(dir.File(std::string("line") + n)))
        << n;
  }
}

// Each engine and solidity the window offers, and the size to fit, write
// what the command line's options write.
TEST_F(FormMainTest, TheEngineSolidityAndFitChoicesWriteWhatTheirOptionsWrite) {
  auto* engine = Control<QComboBox>("ComboEngine");
  auto* solidity = Control<QComboBox>("ComboSolidity");
  EXPECT_EQ(engine->currentIndex(), 0);  // the plain document
  EXPECT_EQ(solidity->currentIndex(), 0);
  EXPECT_EQ(Box("TextFit")->text(), "");
  const struct {
    int engine;
    int solidity;
    bool whole;
    const char* options;
    const char* line;  // one the document must hold
  } cases[] = {
      {1, 0, false, "--engine ue1 --fit 256", "Begin Polygon Item=OUTSIDE Link=0\r\n"},
      {2, 1, true, "--reader 3dmf --engine ue2 --solidity semisolid --fit 256",
       "PolyFlags=32\r\n"},
      {3, 2, true, "--reader 3dmf --engine ue3 --solidity nonsolid --fit 256",
       "Begin Level NAME=PersistentLevel\r\n"},
      {4, 0, false, "--engine ue4 --fit 256", "BrushType=Brush_Add\r\n"},
      {0, 1, false, "--solidity semisolid --fit 256", "PolyFlags=32\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    // A model each reader reads: a keyword TriMesh, or a Mesh of two faces.
    const std::string model =
        c.whole ? TestModel("samples/Mesh_TriGrid.3dmf")
                : "TriMesh (\n2 0 0 0 4 0\n0 1 2\n0 2 3\n0 0 0 1 0 0 1 1 0 0 1 0\n)\n";
    // The same name in another folder: map names and labels come from it.
    WriteFile(dir.File("window.3dmf"), model);
    std::filesystem::create_directories(Kelvane::Platform::PathOf(dir.File("line")));
    WriteFile(dir.File("line/window.3dmf"), model);
    engine->setCurrentIndex(c.engine);
    solidity->setCurrentIndex(c.solidity);
    Control<QCheckBox>("CheckWholeFormat")->setChecked(c.whole);
    Box("TextFit")->setText("256");
    SetRun(dir.File("window.3dmf"), dir.File("window.t3d"));
    Click("CommandGo");
    const CommandLineResult line = RunCommandLine(std::string(c.options) + " " +
                                                  Q(dir.File("line/window.3dmf")) + " " +
                                                  Q(dir.File("line/window.t3d")));
    ASSERT_EQ(line.status, 0) << line.stderrText;
    const std::string document = ReadFile(dir.File("window.t3d"));
    EXPECT_NE(document.find(c.line), std::string::npos) << document;
    EXPECT_TRUE(document == ReadFile(dir.File("line/window.t3d")));
    // The summary under the preview gives the size it was fitted to.
    EXPECT_TRUE(Caption("LabelSummary").contains("256")) << Caption("LabelSummary").toStdString();
  }
}

// When the keyword reader fails on a file or finds nothing in it, and the
// whole-format reader reads it, the message asks whether to convert again
// with that reader: Yes ticks "Whole 3DMF" and converts, writing what
// --reader 3dmf writes; No leaves the box and the output as they are.
TEST_F(FormMainTest, AKeywordRunThatFindsNothingOffersTheWholeFormatReader) {
  struct Case {
    const char* sample;
    bool failed;  // the keyword run stops, or finds nothing
    bool yes;
  };
  const Case cases[] = {
      {"samples/Mesh.3dmf", true, true},
      {"samples/Triangle.3dmf", false, true},
      {"samples/Mesh.3dmf", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sample) + (c.yes ? " yes" : " no"));
    auto* box = Control<QCheckBox>("CheckWholeFormat");
    box->setChecked(false);
    dialogs.messages.clear();
    const std::string name = std::string(c.yes ? "yes-" : "no-") + (c.failed ? "failed" : "empty");
    const std::string line3dmf = dir.File(name + "-line.3dmf");
    const std::string lineT3d = dir.File(name + "-line.t3d");
    WriteFile(dir.File(name + ".3dmf"), TestModel(c.sample));
    WriteFile(line3dmf, TestModel(c.sample));
    SetRun(dir.File(name + ".3dmf"), dir.File(name + ".t3d"));
    if (c.yes) dialogs.AnswerYes();
    Click("CommandGo");

    ASSERT_EQ(dialogs.messages.size(), 1u);
    const auto& question = dialogs.messages[0];
    EXPECT_TRUE(question.question);
    EXPECT_EQ(question.kind, c.failed ? Kelvane::Gui::Dialogs::MessageKind::Error
                                      : Kelvane::Gui::Dialogs::MessageKind::Warning);
    EXPECT_TRUE(question.text.contains("The whole-format reader reads this file (1 geometry object)."))
        << question.text.toStdString();
    EXPECT_TRUE(question.text.endsWith("Tick \"Whole 3DMF\" and convert again?"))
        << question.text.toStdString();
    EXPECT_EQ(box->isChecked(), c.yes);
    const CommandLineResult line =
        RunCommandLine(std::string(c.yes ? "--reader 3dmf " : "--reader keywords ") +
                       Q(line3dmf) + " " + Q(lineT3d));
    EXPECT_EQ(line.status, c.failed && !c.yes ? 1 : 0) << line.stderrText;
    EXPECT_TRUE(ReadFile(dir.File(name + ".t3d")) == ReadFile(lineT3d));
    if (c.yes) {
      EXPECT_NE(ReadFile(dir.File(name + ".t3d")).find("Begin Polygon"), std::string::npos);
      EXPECT_TRUE(Caption("LabelSummary").contains("(whole-format reader)"))
          << Caption("LabelSummary").toStdString();
    }
  }
}

TEST_F(FormMainTest, AMissingInputIsReportedWithoutAPlace) {
  SetRun(dir.File("missing.3dmf"), dir.File("out.t3d"));
  Click("CommandGo");
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(dialogs.messages[0].text.contains("File error: "))
      << dialogs.messages[0].text.toStdString();
  EXPECT_FALSE(dialogs.messages[0].text.contains("Input line"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.t3d"));
  EXPECT_TRUE(Control<QPushButton>("CommandGo")->isEnabled());
  EXPECT_EQ(Caption("LabelPos"), "Reading file..");
}

TEST_F(FormMainTest, CaptionsReachTheLabelsAtTheRunsYields) {
  window->SetYieldInterval(std::chrono::milliseconds(0));
  WriteFile(dir.File("in.3dmf"), TestModel("crate.3dmf"));
  SetRun(dir.File("in.3dmf"), dir.File("out.t3d"));
  Control<QCheckBox>("CheckDoPics")->setChecked(false);
  // A timer that fires whenever the run lets messages run, noting what the
  // labels show at that moment.
  std::vector<QString> seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const QString shown = Caption("LabelPos") + " | " + Caption("LabelProgress");
    if (seen.empty() || seen.back() != shown) seen.push_back(shown);
  });
  watch.start(0);
  Click("CommandGo");
  watch.stop();
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], "Reading file.. | Label1");
  EXPECT_EQ(seen[1], "Parsing file.. | Label1");
  EXPECT_TRUE(seen[2].startsWith("curpos ")) << seen[2].toStdString();
  // The last yield comes after the object's count and before "Done".
  EXPECT_TRUE(seen.back().startsWith("curpos ")) << seen.back().toStdString();
  EXPECT_TRUE(seen.back().endsWith(" | Processed 12")) << seen.back().toStdString();
  EXPECT_EQ(Caption("LabelPos"), "Done");
}

// ---------------------------------------------------------------- textures

TEST_F(FormMainTest, ATextureIsShownAndSavedUnderTheChosenName) {
  const std::vector<std::uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF,
                                              0x123456, 0xFFFFFF, 0x808000};
  WriteFile(dir.File("tex.3dmf"), Texture(3, 2, colours) + kTriangle);
  // An input browse first: its flags must not reach the bitmap dialog.
  dialogs.Choose(QString::fromStdString(dir.File("tex.3dmf")));
  Click("CommandBrowseInput");
  const std::string chosen = dir.File("chosen.bmp");
  bool onlyGoDisabled = false;
  QString posWhileAsked;
  dialogs.Then([&](const FileDialogRequest&) {
    // The dialog comes during the run: the rest of the window is usable and
    // the captions have reached the labels.
    onlyGoDisabled = !Control<QPushButton>("CommandGo")->isEnabled() &&
                     Control<QPushButton>("CommandBrowseInput")->isEnabled() &&
                     Control<QPushButton>("CommandBrowseOutput")->isEnabled() &&
                     Box("TextScale")->isEnabled() &&
                     Control<QCheckBox>("CheckDoPics")->isEnabled();
    posWhileAsked = Caption("LabelPos");
    return Kelvane::Gui::FileDialogAnswer{QString::fromStdString(chosen), 1};
  });
  Click("CommandGo");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Caption("LabelPos"), "Done");
  EXPECT_TRUE(onlyGoDisabled);
  EXPECT_TRUE(posWhileAsked.startsWith("curpos ")) << posWhileAsked.toStdString();

  ASSERT_EQ(dialogs.requests.size(), 2u);
  const FileDialogRequest& save = dialogs.requests[1];
  EXPECT_TRUE(save.save);
  EXPECT_FALSE(save.fileMustExist);
  EXPECT_EQ(save.nameFilters, QStringList{"Windows Bitmap (*.bmp)"});
  EXPECT_EQ(save.defaultSuffix, "bmp");
  // A bitmap name beside the output, never the output or the input.
  EXPECT_EQ(save.fileName.toStdString(), dir.File("tex_1.bmp"));

  // The box takes the texture's size and shows its pixels.
  QWidget* box = Control<QWidget>("PictureTexture");
  EXPECT_EQ(box->size(), QSize(3 + 2 * kBorder, 2 + 2 * kBorder));
  const QImage shown = box->grab().toImage();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(shown.pixel(kBorder + x, kBorder + y) & 0xFFFFFF, colours[y * 3 + x])
          << x << "," << y;

  const Bitmap bitmap = ReadBitmap(chosen);
  EXPECT_EQ(bitmap.bitsPerPixel, 24);
  ASSERT_EQ(bitmap.width, 3);
  ASSERT_EQ(bitmap.height, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(bitmap.Pixel(x, y), colours[y * 3 + x]) << x << "," << y;
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "tex_1.bmp"));
}

TEST_F(FormMainTest, CancelInTheBitmapDialogWritesNothingAndTheRunGoesOn) {
  WriteFile(dir.File("tex.3dmf"), Texture(1, 1, {0xABCDEF}) + kTriangle);
  SetRun(dir.File("tex.3dmf"), dir.File("tex.t3d"));
  dialogs.Cancel();
  Click("CommandGo");
  EXPECT_EQ(dialogs.requests.size(), 1u);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Caption("LabelPos"), "Done");
  EXPECT_EQ(Caption("LabelProgress"), "Processed 1");
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    files.push_back(Text(entry.path().filename()));
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"tex.3dmf", "tex.t3d"}));
}

TEST_F(FormMainTest, ABitmapNameThatIsTheRunsInputOrOutputIsRefused) {
  WriteFile(dir.File("tex.3dmf"), Texture(1, 1, {0xABCDEF}) + kTriangle);
  WriteFile(dir.File("line.3dmf"), Texture(1, 1, {0xABCDEF}) + kTriangle);
  SetRun(dir.File("tex.3dmf"), dir.File("tex.t3d"));
  // The output by another spelling, the input, then a good name.
  dialogs.Choose(QString::fromStdString(Text(dir.Path()) + "/./tex.t3d"));
  dialogs.Choose(QString::fromStdString(dir.File("tex.3dmf")));
  dialogs.Choose(QString::fromStdString(dir.File("good.bmp")));
  Click("CommandGo");

  ASSERT_EQ(dialogs.requests.size(), 3u);
  for (const FileDialogRequest& request : dialogs.requests)
    EXPECT_EQ(request.fileName.toStdString(), dir.File("tex_1.bmp"));  // each time anew
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0].kind, Kelvane::Gui::Dialogs::MessageKind::Warning);
  EXPECT_TRUE(dialogs.messages[1].text.contains("tex.3dmf"));
  EXPECT_EQ(Caption("LabelPos"), "Done");
  EXPECT_EQ(ReadBitmap(dir.File("good.bmp")).width, 1);

  ASSERT_EQ(RunCommandLine(Q(dir.File("line.3dmf")) + " " + Q(dir.File("line.t3d"))).status, 0);
  EXPECT_TRUE(ReadFile(dir.File("tex.t3d")) == ReadFile(dir.File("line.t3d")));
  EXPECT_TRUE(ReadFile(dir.File("tex.3dmf")) == ReadFile(dir.File("line.3dmf")));
}

// ---------------------------------------------------------------- closing

// The default document keeps what was written in the output; an editor
// document, which appears only whole, in the side file beside it.
TEST_F(FormMainTest, ClosingDuringARunStopsItAndClosesTheWindow) {
  const std::string model = Texture(2, 2, {1, 2, 3, 4}) + TestModel("crate.3dmf");
  WriteFile(dir.File("line.3dmf"), model);
  for (const int engine : {0, 1}) {
    SCOPED_TRACE(engine);
    if (engine > 0) SetUp();  // the first window has closed
    // Every yield lets messages run, so the close is seen at the first
    // yield after it is asked for.
    window->SetYieldInterval(std::chrono::milliseconds(0));
    Control<QComboBox>("ComboEngine")->setCurrentIndex(engine);
    const std::string name = "out" + std::to_string(engine);
    WriteFile(dir.File("in.3dmf"), model);
    SetRun(dir.File("in.3dmf"), dir.File(name + ".t3d"));
    // The user saves the first texture, then closes the window while the
    // run goes on.
    dialogs.Then([&](const FileDialogRequest& request) {
      QTimer::singleShot(0, window.get(), [&] { window->close(); });
      return Kelvane::Gui::FileDialogAnswer{request.fileName, 1};
    });
    // As in the program: Go is clicked from the event loop, which ends
    // when the window has closed.
    QTimer::singleShot(0, window.get(), [&] { Click("CommandGo"); });
    bool hung = false;
    QTimer::singleShot(30000, qApp, [&] {
      hung = true;
      QApplication::quit();
    });
    QApplication::exec();

    EXPECT_FALSE(hung);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Running());
    EXPECT_TRUE(dialogs.messages.empty());
    // The crate's texture is never reached.
    EXPECT_EQ(dialogs.requests.size(), static_cast<std::size_t>(engine + 1));
    EXPECT_EQ(ReadBitmap(dir.File(name + "_1.bmp")).width, 2);

    // What was written stays: the start of the complete document.
    const std::string options = engine > 0 ? " --engine ue1" : "";
    ASSERT_EQ(RunCommandLine(Q(dir.File("line.3dmf")) + " " + Q(dir.File("line.t3d")) + options)
                  .status,
              0);
    EXPECT_EQ(std::filesystem::exists(Kelvane::Platform::PathOf(dir.File(name + ".t3d"))),
              engine == 0);
    const std::string written = ReadFile(dir.File(name + (engine > 0 ? ".t3d.partial" : ".t3d")));
    const std::string complete = ReadFile(dir.File("line.t3d"));
    EXPECT_NE(written.find("Begin Map"), std::string::npos);
    EXPECT_LT(written.size(), complete.size());
    EXPECT_TRUE(complete.compare(0, written.size(), written) == 0);
  }
}

TEST_F(FormMainTest, GoGetsTheFocusBackAfterARun) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  WriteFile(dir.File("in.3dmf"), kTriangle);
  SetRun(dir.File("in.3dmf"), dir.File("out.t3d"));
  QPushButton* go = Control<QPushButton>("CommandGo");
  ASSERT_TRUE(go->hasFocus());
  QTest::keyClick(go, Qt::Key_Space);
  EXPECT_EQ(Caption("LabelPos"), "Done");
  EXPECT_TRUE(go->hasFocus());
  // A second run from the keyboard gives the same file.
  const std::string first = ReadFile(dir.File("out.t3d"));
  QTest::keyClick(go, Qt::Key_Space);
  EXPECT_EQ(Caption("LabelProgress"), "Processed 1");
  EXPECT_TRUE(ReadFile(dir.File("out.t3d")) == first);
}

// ---------------------------------------------------------------- preview

std::size_t Colours(const QImage& image) {
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  return colours.size();
}

class PreviewTest : public FormMainTest {
 protected:
  Kelvane::Gui::PreviewView* View() {
    return dynamic_cast<Kelvane::Gui::PreviewView*>(Control<QWidget>("PicturePreview"));
  }
  // Runs Go and returns the preview's picture once it is drawn.
  QImage Go(const std::string& model) {
    std::filesystem::remove(dir.Path() / "in.3dmf");
    if (!model.empty()) WriteFile(dir.File("in.3dmf"), model);
    SetRun(dir.File("in.3dmf"), dir.File("out.t3d"));
    Control<QCheckBox>("CheckDoPics")->setChecked(false);
    Click("CommandGo");
    return Settled();
  }
  QImage Settled() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !View()->Busy(); }, 30000));
    return View()->Image();
  }
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), View()->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(View(), &event);
  }
};

TEST_F(PreviewTest, AfterARunThePreviewShowsTheModelAndTheMouseTurnsAndZoomsIt) {
  Kelvane::Gui::PreviewView* view = View();
  ASSERT_NE(view, nullptr);
  // Beside the picture box, under the rows of texture and document options.
  EXPECT_EQ(QRect(view->mapTo(window.get(), QPoint(0, 0)), view->size()), QRect(352, 56, 530, 338));
  EXPECT_TRUE(view->Image().isNull());

  const QImage first = Go(TestModel("crate.3dmf"));
  ASSERT_EQ(first.size(), QSize(530, 338));
  EXPECT_TRUE(view->Caption().isEmpty()) << view->Caption().toStdString();
  EXPECT_GE(Colours(first), 3u);  // the background and two faces at least
  EXPECT_EQ(first.pixel(0, 0) & 0xFFFFFF, Kelvane::Preview::kBackground);
  EXPECT_EQ(view->grab().toImage().pixel(217, 217), first.pixel(217, 217));
  EXPECT_NE(first.pixel(217, 217) & 0xFFFFFF, Kelvane::Preview::kBackground);

  // A drag 60 pixels right and 30 down turns the model; the wheel zooms.
  Mouse(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {130, 115}, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {160, 130}, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, {160, 130}, Qt::LeftButton, Qt::NoButton);
  const Kelvane::Preview::View standard;
  EXPECT_NEAR(view->CurrentView().yaw, standard.yaw + 0.6, 1e-9);
  EXPECT_NEAR(view->CurrentView().pitch, standard.pitch - 0.3, 1e-9);
  const QImage turned = Settled();
  EXPECT_NE(turned, first);
  EXPECT_GE(Colours(turned), 3u);
  QWheelEvent wheel(QPointF(100, 100), view->mapToGlobal(QPointF(100, 100)), QPoint(),
                    QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  EXPECT_DOUBLE_EQ(view->CurrentView().zoom, Kelvane::Gui::PreviewView::kZoomPerStep);
  EXPECT_NE(Settled(), turned);

  // The next run starts from the fixed angle again.
  EXPECT_EQ(Go(TestModel("crate.3dmf")), first);
}

TEST_F(PreviewTest, AFailedRunShowsWhatItWroteAndNeverAnOlderDocument) {
  // The first face is written, then an index outside the table stops the
  // run; a missing input stops it before its first write.
  const std::string oneFace = "Polyhedron (\n 3 0 2\n 0 0 0 1 0 0 0 1 0\n 0 1 2\n 0 1 7\n)\n";
  for (const std::string& model : {oneFace, std::string()}) {
    ASSERT_GE(Colours(Go(TestModel("crate.3dmf"))), 3u);  // an earlier run's output
    const QImage shown = Go(model);
    ASSERT_FALSE(dialogs.messages.empty());
    const bool wrote = !model.empty();
    EXPECT_EQ(Colours(shown), wrote ? 2u : 1u);  // one flat face, or the background
    EXPECT_EQ(View()->Caption().isEmpty(), wrote) << View()->Caption().toStdString();
  }
}

TEST(PreviewPngTest, QtReadsTheWrittenPictureAsRendered) {
  TempDir dir;
  WriteFile(dir.File("model.t3d"),
            "Begin Polygon\nVertex 0,0,0\nVertex 0,4,0\nVertex 0,4,3\nEnd Polygon\n"
            "Begin Polygon\nVertex 1,0,0\nVertex 2,4,1\nVertex -1,4,3\nEnd Polygon\n");
  Kelvane::Preview::WritePreviewPng(dir.File("model.t3d"), dir.File("model.png"), 123, 77);
  const QImage image = QImage(QString::fromStdString(dir.File("model.png")));
  const auto expected =
      Kelvane::Preview::Render(Kelvane::Preview::ReadT3dFile(dir.File("model.t3d")), 123, 77);
  QImage rendered(123, 77, QImage::Format_RGB32);
  for (int y = 0; y < 77; ++y)
    for (int x = 0; x < 123; ++x) rendered.setPixel(x, y, 0xFF000000u | expected.rgb[y * 123 + x]);
  EXPECT_EQ(image.convertToFormat(QImage::Format_RGB32), rendered);
  EXPECT_GE(Colours(image), 3u);
}

}  // namespace

namespace {

// A texture's transparent pixels show the box's background, as the
// editors show a masked texture; its opaque ones their colour.
TEST(PictureBoxTest, TransparentPixelsShowTheBoxsBackground) {
  Kelvane::Gui::PictureBox box(40, 40, nullptr);
  const Kelvane::Image picture{3, 1, {0xFF0000, 0x00FF00, 0x0000FF}, {0, 127, 128}};
  box.Show(picture);
  box.Sync();
  const QImage shown = box.grab().toImage();
  const int border = Kelvane::Gui::PictureBox::kBorder;
  const QRgb background = box.palette().button().color().rgb() & 0xFFFFFF;
  ASSERT_NE(background, 0xFF0000u);
  EXPECT_EQ(shown.pixel(border, border) & 0xFFFFFF, background);
  EXPECT_EQ(shown.pixel(border + 1, border) & 0xFFFFFF, background);
  EXPECT_EQ(shown.pixel(border + 2, border) & 0xFFFFFF, 0x0000FFu);
  box.Keep();  // the copy kept after the run shows the same
  EXPECT_EQ(box.grab().toImage().pixel(border, border) & 0xFFFFFF, background);
}

QByteArray PngOf(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "PNG"));
  return bytes;
}

// Another PNG writer and reader: Qt reads the alpha Kelvane writes, and
// Kelvane reads the PNGs Qt writes, RGBA and palette with tRNS alike.
TEST(PngQtTest, QtAndKelvaneReadEachOthersAlpha) {
  Kelvane::Image ours{5, 3, {}, {}};
  for (int i = 0; i < 15; ++i) {
    ours.rgb.push_back(static_cast<std::uint32_t>(i * 0x110D07) & 0xFFFFFF);
    ours.alpha.push_back(static_cast<std::uint8_t>(i % 4 == 0 ? 255 : i * 18));
  }
  const std::string png = Kelvane::PngBytes(ours);
  QImage read;
  ASSERT_TRUE(read.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                                static_cast<int>(png.size()), "PNG"));
  read = read.convertToFormat(QImage::Format_ARGB32);
  for (int i = 0; i < 15; ++i) {
    const QRgb pixel = read.pixel(i % 5, i / 5);
    EXPECT_EQ(qAlpha(pixel), ours.alpha[static_cast<std::size_t>(i)]) << i;
    if (ours.alpha[static_cast<std::size_t>(i)] == 255) {
      EXPECT_EQ(pixel & 0xFFFFFF, ours.rgb[static_cast<std::size_t>(i)]);
    }
  }

  QImage rgba(7, 6, QImage::Format_ARGB32);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 7; ++x)
      rgba.setPixel(x, y, qRgba(x * 30, y * 40, 200 - x * y, (x + y) % 3 ? 255 : x * 20));
  const QByteArray fromQt = PngOf(rgba);
  const Kelvane::Image theirs = Kelvane::ReadPng(
      std::string_view(fromQt.constData(), static_cast<std::size_t>(fromQt.size())), 64);
  ASSERT_EQ(theirs.width, 7);
  ASSERT_EQ(theirs.alpha.size(), 42u);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 7; ++x) {
      const QRgb want = rgba.pixel(x, y);
      EXPECT_EQ(theirs.alpha[theirs.IndexOf(x, y)], qAlpha(want)) << x << "," << y;
      if (qAlpha(want) == 255) {
        EXPECT_EQ(theirs.Pixel(x, y), want & 0xFFFFFF) << x << "," << y;
      }
    }
  }

  QImage indexed(4, 4, QImage::Format_Indexed8);
  indexed.setColorTable(
      {qRgba(0, 0, 0, 0), qRgba(255, 0, 0, 255), qRgba(0, 255, 0, 255), qRgba(0, 0, 255, 255)});
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) indexed.setPixel(x, y, static_cast<uint>((x + y) % 4));
  const QByteArray paletted = PngOf(indexed);
  const Kelvane::Image fromPalette = Kelvane::ReadPng(
      std::string_view(paletted.constData(), static_cast<std::size_t>(paletted.size())), 64);
  ASSERT_EQ(fromPalette.width, 4);
  ASSERT_EQ(fromPalette.alpha.size(), 16u);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int entry = (x + y) % 4;
      EXPECT_EQ(fromPalette.Transparent(fromPalette.IndexOf(x, y)), entry == 0) << x << "," << y;
      if (entry != 0) {
        EXPECT_EQ(fromPalette.Pixel(x, y), indexed.color(entry) & 0xFFFFFF);
      }
    }
  }
}

}  // namespace
