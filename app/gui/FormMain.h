#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "app/gui/CommonDialog.h"
#include "app/gui/Dialogs.h"
#include "app/run/RunReport.h"
#include "app/run/RunSettings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace Kelvane::Gui {

class PictureBox;
class PreviewView;

// Raised from the run's yield when the window was asked to close during a
// run: it unwinds the run (nothing in the core catches it) back to Go's
// handler, which then lets the window close.
class RunStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "The window was closed during a run"; }
};

// The program's one window: paths, scale, three options, Go, the progress
// labels, the texture picture and, beside them, the preview of the
// converted model. A run goes on the window's own thread and lets pending
// messages run at its yields, so the window stays usable.
class FormMain : public QWidget {
 public:
  // Dialogs: nullptr for Qt's own; tests pass a scripted set.
  explicit FormMain(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~FormMain() override;

  // The least time between two passes of pending messages during a run.
  // Yields come per polygon and per pixel, so most of them return at once.
  static constexpr std::chrono::milliseconds kYieldInterval{25};
  void SetYieldInterval(std::chrono::milliseconds interval) { yieldInterval_ = interval; }

  bool Running() const { return running_; }

  void CommandGo_Click();
  // The program's arguments after its name: a single path is taken as the
  // input browse takes a chosen file (Explorer's "Open with", a file dropped
  // on the program's icon). Nothing converts until Go.
  void OpenArguments(const QStringList& arguments);
  void CommandBrowseInput_Click();
  void CommandBrowseOutput_Click();
  // Asks where to save the painted texture, proposing `proposed`; called by
  // the run. Empty on Cancel.
  std::string SaveTexturePicture(const std::string& proposed);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class RunSide;
  // What a file was before a run, to tell whether the run wrote it.
  struct FileState {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    bool operator==(const FileState&) const = default;
  };
  static FileState StateOf(const std::string& path);

  void MakeFormControls();
  void MakeOptionControls();
  // The tab order, the focus, where drops go and the buttons' handlers.
  void ChainControls();
  QLabel* NewLabel(const char* name, const char* caption, QRect geometry);
  QPushButton* NewButton(const char* name, const char* caption, QRect geometry);
  QLineEdit* NewTextBox(const char* name, const char* text, QRect geometry);
  QCheckBox* NewCheckBox(const char* name, const char* caption, bool on, QRect geometry);
  QComboBox* NewComboBox(const char* name, QRect geometry);
  void Place(QWidget* control, const char* name, QRect geometry);
  void FitFontToLayout();
  int Twips(int twips) const;
  QRect TwipsRect(int left, int top, int width, int height) const;
  void SetInputAndProposeOutput(const QString& input);
  void Yield();
  void ShowRunState();
  void ReportFailure(const QString& text);
  // The settings a run takes from the controls as it starts.
  Kelvane::RunSettings Settings() const;
  // What a run did: its summary and notes under the preview; its error and
  // warnings in a message box, which asks whether to convert again with the
  // whole-format reader when that reader reads what this run could not.
  // True when the user says yes.
  bool ShowReport(const Kelvane::RunReport& report);
  bool NamesRunFile(const std::string& path) const;
  // Shows what the run left in its output (or in the side file of a failed
  // run): the document, or why there is none to show.
  void ShowPreview(bool completed, const FileState& before, const std::string& sideFile);

  std::unique_ptr<Dialogs> ownDialogs_;
  Dialogs& dialogs_;
  const double dotsPerInch_;

  QPushButton* CommandGo;
  QLabel* LabelProgress;
  QLabel* LabelPos;
  QLabel* Label1;
  QLineEdit* TextInFileName;
  QPushButton* CommandBrowseInput;
  QLabel* Label2;
  QLineEdit* TextOutFileName;
  QPushButton* CommandBrowseOutput;
  QCheckBox* CheckMapOrBrush;
  PictureBox* PictureTexture;
  QCheckBox* CheckDoPics;
  QLabel* Label3;
  QLineEdit* TextScale;
  // Beyond the original layout: read the whole 3DMF format.
  QCheckBox* CheckWholeFormat;
  QCheckBox* CheckTextureMapping;
  QCheckBox* CheckPowerOfTwo;
  QCheckBox* CheckBitmap8;
  QLabel* LabelEngine;
  QComboBox* ComboEngine;
  QLabel* LabelSolidity;
  QComboBox* ComboSolidity;
  QLabel* LabelFit;
  QLineEdit* TextFit;
  // Beyond the original layout: the converted model, beside the rest.
  PreviewView* PicturePreview;
  // Beyond the original layout: what the last run wrote and left out.
  QLabel* LabelSummary;
  CommonDialog CommonDialog1;

  QScrollArea* pictureArea_;
  int pictureAreaBottomMargin_;  // kept when the window is resized
  QSize previewMargin_;          // right and bottom, the same

  std::unique_ptr<RunSide> runSide_;
  QPointer<QWidget> focusAfterGo_;
  bool running_ = false;
  bool closeRequested_ = false;
  // The paths the run took, for naming and guarding the bitmaps.
  std::string runInput_;
  std::string runOutput_;

  // Captions are kept here during a run and reach the labels at a yield.
  std::string labelPosText_;
  std::string labelProgressText_;
  bool labelPosChanged_ = false;
  bool labelProgressChanged_ = false;

  std::chrono::steady_clock::duration yieldInterval_ = kYieldInterval;
  std::chrono::steady_clock::time_point lastYield_{};
};

}  // namespace Kelvane::Gui
