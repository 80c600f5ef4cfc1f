#include "app/gui/FormMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QUrl>
#include <cctype>
#include <filesystem>
#include <optional>

#include "app/gui/PictureBox.h"
#include "app/gui/PreviewView.h"
#include "app/run/ConversionRun.h"
#include "app/run/RunMessages.h"
#include "app/run/RunSink.h"
#include "platform/Platform.h"
#include "text/Files.h"
#include "text/RunError.h"

namespace Kelvane::Gui {

namespace {

const QString kCaption = QStringLiteral("Kelvane - Dunmoor");

double ScreenDotsPerInch() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : 0;
  return dpi > 0 ? dpi : 96.0;
}

// The first local file of a drag, if it is one a run can read.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).isFile()) return path;
  }
  return {};
}

// Whether two paths name one file, also before it exists.
bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  if (Platform::SameFile(a, b)) return true;
  std::error_code error;
  const auto first = std::filesystem::weakly_canonical(
      std::filesystem::absolute(Platform::PathOf(a), error), error);
  if (error) return false;
  const auto second = std::filesystem::weakly_canonical(
      std::filesystem::absolute(Platform::PathOf(b), error), error);
  return !error && first == second;
}

}  // namespace

// The window's side of a run: captions kept for the next yield, the
// map/brush box asked as it stands, and the save dialog for each texture.
class FormMain::RunSide : public Kelvane::CaptionSink {
 public:
  explicit RunSide(FormMain& form) : form_(form) {}

  bool OneBrushNow(bool) override { return form_.CheckMapOrBrush->isChecked(); }
  void ShowRunning(bool running) override { SetGoEnabled(!running); }
  void SetGoEnabled(bool enabled) {
    // Disabling the focused Go moves the focus on; a run that ends with the
    // focus still there gives it back, so Enter or Space starts another.
    if (!enabled && form_.CommandGo->hasFocus()) {
      form_.CommandGo->setEnabled(false);
      form_.focusAfterGo_ = QApplication::focusWidget();
      return;
    }
    form_.CommandGo->setEnabled(enabled);
    if (enabled && form_.focusAfterGo_ && QApplication::focusWidget() == form_.focusAfterGo_)
      form_.CommandGo->setFocus();
    if (enabled) form_.focusAfterGo_ = nullptr;
  }
  // Readers set a caption per line or polygon; a label takes only the last
  // one, at the next yield.
  void SetProgressCaption(std::string_view caption) override {
    form_.labelProgressText_.assign(caption);
    form_.labelProgressChanged_ = true;
  }
  void SetPositionCaption(std::string_view caption) override {
    form_.labelPosText_.assign(caption);
    form_.labelPosChanged_ = true;
  }
  void DoEvents() override { form_.Yield(); }
  void ShowTexture(const Kelvane::Image& picture) override { form_.PictureTexture->Show(picture); }
  std::string ChooseBitmapPath(int, const std::string& proposed) override {
    return form_.SaveTexturePicture(proposed);
  }

 private:
  FormMain& form_;
};

FormMain::FormMain(Dialogs* dialogs, QWidget* parent)
    : QWidget(parent),
      ownDialogs_(dialogs == nullptr ? std::make_unique<QtDialogs>() : nullptr),
      dialogs_(dialogs == nullptr ? *ownDialogs_ : *dialogs),
      dotsPerInch_(ScreenDotsPerInch()),
      CommonDialog1(dialogs_, this),
      runSide_(std::make_unique<RunSide>(*this)) {
  setWindowTitle(kCaption);
  setObjectName(QStringLiteral("FormMain"));
  setAcceptDrops(true);
  // The original layout (5325 twips wide) and the preview to its right.
  resize(Twips(13400), Twips(6660));
  setMinimumSize(size());

  MakeFormControls();
  MakeOptionControls();
  ChainControls();
}

QLabel* FormMain::NewLabel(const char* name, const char* caption, QRect geometry) {
  auto* control = new QLabel(QString::fromLatin1(caption), this);
  control->setWordWrap(true);
  control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Place(control, name, geometry);
  return control;
}

QPushButton* FormMain::NewButton(const char* name, const char* caption, QRect geometry) {
  auto* control = new QPushButton(QString::fromLatin1(caption), this);
  Place(control, name, geometry);
  return control;
}

QLineEdit* FormMain::NewTextBox(const char* name, const char* text, QRect geometry) {
  auto* control = new QLineEdit(QString::fromLatin1(text), this);
  Place(control, name, geometry);
  return control;
}

QComboBox* FormMain::NewComboBox(const char* name, QRect geometry) {
  auto* control = new QComboBox(this);
  Place(control, name, geometry);
  return control;
}

QCheckBox* FormMain::NewCheckBox(const char* name, const char* caption, bool on, QRect geometry) {
  auto* control = new QCheckBox(QString::fromLatin1(caption), this);
  control->setChecked(on);
  Place(control, name, geometry);
  return control;
}

void FormMain::Place(QWidget* control, const char* name, QRect geometry) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(geometry);
}

// The controls of the original layout, under their own names.
void FormMain::MakeFormControls() {
  CommandGo = NewButton("CommandGo", "Go", TwipsRect(3675, 1440, 975, 375));
  LabelProgress = NewLabel("LabelProgress", "Label1", TwipsRect(1470, 1365, 1095, 435));
  LabelPos = NewLabel("LabelPos", "LabelPos", TwipsRect(120, 1440, 1215, 435));
  Label1 = NewLabel("Label1", "Input 3DMF Ascii File", TwipsRect(120, 105, 1695, 255));
  TextInFileName = NewTextBox("TextInFileName", "", TwipsRect(120, 360, 3855, 285));
  CommandBrowseInput = NewButton("CommandBrowseInput", "...", TwipsRect(4080, 360, 495, 255));
  Label2 = NewLabel("Label2", "Output Unreal Ascii Brush File", TwipsRect(120, 840, 2175, 270));
  TextOutFileName = NewTextBox("TextOutFileName", "", TwipsRect(120, 1080, 3855, 285));
  CommandBrowseOutput = NewButton("CommandBrowseOutput", "...", TwipsRect(4080, 1080, 495, 255));
  CheckMapOrBrush = NewCheckBox("CheckMapOrBrush", "All objects to one brush?", false,
                                TwipsRect(120, 1890, 2175, 255));

  // The picture box sits in a frameless scroll area of its own size, so a
  // texture larger than the window can still be seen whole.
  pictureArea_ = new QScrollArea(this);
  pictureArea_->setFrameShape(QFrame::NoFrame);
  pictureArea_->setFocusPolicy(Qt::NoFocus);
  pictureArea_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pictureArea_->setGeometry(TwipsRect(105, 2205, 5055, 4425));
  pictureAreaBottomMargin_ = height() - (pictureArea_->geometry().bottom() + 1);
  // The box's drawing area starts as large as the box drawn on this screen.
  PictureTexture = new PictureBox(Twips(5055), Twips(4425), nullptr);
  PictureTexture->setObjectName(QStringLiteral("PictureTexture"));
  PictureTexture->setFocusPolicy(Qt::TabFocus);  // arrows then scroll a large texture
  pictureArea_->setWidget(PictureTexture);

  CheckDoPics = NewCheckBox("CheckDoPics", "Do pictures?", true, TwipsRect(2415, 1890, 1230, 255));
  Label3 = NewLabel("Label3", "Scale:", TwipsRect(3150, 735, 495, 255));
  TextScale = NewTextBox("TextScale", "20.0", TwipsRect(3675, 735, 915, 285));
}

// Beyond the original layout: the reader and texture options, the preview
// and the summary of the last run.
void FormMain::MakeOptionControls() {
  CheckWholeFormat =
      NewCheckBox("CheckWholeFormat", "Whole 3DMF", false, TwipsRect(3675, 1890, 1485, 255));
  CheckWholeFormat->setToolTip(QStringLiteral(
      "Read the whole 3DMF format: groups, transforms, references and every surface kind, "
      "instead of searching the object keywords. Binary 3DMF files are always read so."));
  // The texture options, in a row above the preview.
  CheckTextureMapping =
      NewCheckBox("CheckTextureMapping", "UV mapping", false, TwipsRect(5280, 105, 1500, 255));
  CheckTextureMapping->setToolTip(QStringLiteral(
      "Polygons of textured objects name their texture (the bitmap's name) and carry the "
      "model's own texture mapping. Reads with the whole-format reader and saves the textures."));
  CheckPowerOfTwo =
      NewCheckBox("CheckPowerOfTwo", "Power of two", false, TwipsRect(6900, 105, 1560, 255));
  CheckPowerOfTwo->setToolTip(QStringLiteral(
      "Resample textures whose sides are not powers of two to the next ones up, as the editor "
      "imports them. Reads with the whole-format reader."));
  CheckBitmap8 =
      NewCheckBox("CheckBitmap8", "8-bit bitmaps", false, TwipsRect(8580, 105, 1700, 255));
  CheckBitmap8->setToolTip(
      QStringLiteral("Save textures as 256-colour bitmaps with a palette, as older editors need."));
  // The editor the document is for, and how solid its brushes are: a row
  // of their own under the texture options.
  LabelEngine = NewLabel("LabelEngine", "Engine:", TwipsRect(5280, 495, 700, 255));
  ComboEngine = NewComboBox("ComboEngine", TwipsRect(5980, 465, 2520, 300));
  for (const char* item : {"none (plain document)", "ue1: Unreal, UT99, Deus Ex",
                           "ue2: UT2004, Unreal 2", "ue3: UDK", "ue4: UE4, UE5"}) {
    ComboEngine->addItem(QString::fromLatin1(item));
  }
  ComboEngine->setToolTip(QStringLiteral(
      "Write the document the chosen editor takes as its own. Every engine writes the polygons "
      "as the editor does: the model not mirrored, faces turned outward with unit normals, each "
      "flat convex face one polygon, none the editor would drop."));
  LabelSolidity = NewLabel("LabelSolidity", "Solidity:", TwipsRect(8700, 495, 800, 255));
  ComboSolidity = NewComboBox("ComboSolidity", TwipsRect(9500, 465, 1500, 300));
  for (const char* item : {"solid", "semisolid", "nonsolid"}) {
    ComboSolidity->addItem(QString::fromLatin1(item));
  }
  ComboSolidity->setToolTip(QStringLiteral(
      "How the brushes take part in the world's BSP: detail geometry is best semisolid or "
      "nonsolid, so that it does not cut the world."));
  LabelFit = NewLabel("LabelFit", "Fit:", TwipsRect(12000, 120, 330, 255));
  TextFit = NewTextBox("TextFit", "", TwipsRect(12330, 105, 900, 285));
  TextFit->setToolTip(QStringLiteral(
      "Scale the model so that its largest side is this many units; empty: use the scale."));
  PicturePreview = new PreviewView(this);
  Place(PicturePreview, "PicturePreview", TwipsRect(5280, 840, 7955, 5070));
  LabelSummary = NewLabel("LabelSummary", "", TwipsRect(5280, 5970, 7955, 660));
  LabelSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  previewMargin_ = size() - QSize(PicturePreview->geometry().right() + 1,
                                  PicturePreview->geometry().bottom() + 1);
}

void FormMain::ChainControls() {
  // Labels take no focus, so the chain holds the other controls in order.
  QWidget* const tabOrder[] = {
      CommandGo,           TextInFileName,   CommandBrowseInput,  TextOutFileName,
      CommandBrowseOutput, CheckMapOrBrush,  PictureTexture,      CheckDoPics,
      TextScale,           CheckWholeFormat, CheckTextureMapping, CheckPowerOfTwo,
      CheckBitmap8,        TextFit,          ComboEngine,         ComboSolidity,
      PicturePreview};
  for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i)
    setTabOrder(tabOrder[i], tabOrder[i + 1]);
  FitFontToLayout();
  CommandGo->setFocus();
  // A file dropped anywhere, the boxes included, is taken as the input.
  for (QLineEdit* box : {TextInFileName, TextOutFileName, TextScale, TextFit})
    box->setAcceptDrops(false);

  connect(CommandGo, &QPushButton::clicked, this, [this] { CommandGo_Click(); });
  connect(CommandBrowseInput, &QPushButton::clicked, this, [this] { CommandBrowseInput_Click(); });
  connect(CommandBrowseOutput, &QPushButton::clicked, this,
          [this] { CommandBrowseOutput_Click(); });
}

FormMain::~FormMain() = default;

void FormMain::FitFontToLayout() {
  // The layout was drawn for a small, narrow system font; the desktop's may
  // be wider. Take the largest size, down to a readable floor, at which the
  // fixed captions keep to one line inside their controls.
  const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, CheckDoPics) +
                        style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, CheckDoPics);
  const struct {
    QString text;
    int room;
  } captions[] = {
      {Label1->text(), Label1->width()},
      {Label2->text(), Label2->width()},
      {Label3->text(), Label3->width()},
      {CheckMapOrBrush->text(), CheckMapOrBrush->width() - indicator},
      {CheckDoPics->text(), CheckDoPics->width() - indicator},
      {CheckWholeFormat->text(), CheckWholeFormat->width() - indicator},
      {CheckTextureMapping->text(), CheckTextureMapping->width() - indicator},
      {CheckPowerOfTwo->text(), CheckPowerOfTwo->width() - indicator},
      {CheckBitmap8->text(), CheckBitmap8->width() - indicator},
      {LabelEngine->text(), LabelEngine->width()},
      {LabelSolidity->text(), LabelSolidity->width()},
      {LabelFit->text(), LabelFit->width()},
  };
  QFont fitted = font();
  const double largest = fitted.pointSizeF() > 0 ? fitted.pointSizeF() : 9.0;
  for (double size = largest; size >= 6.5; size -= 0.5) {
    fitted.setPointSizeF(size);
    const QFontMetrics metrics(fitted);
    bool fits = true;
    for (const auto& caption : captions)
      fits = fits && metrics.horizontalAdvance(caption.text) <= caption.room;
    if (fits) break;
  }
  setFont(fitted);
}

int FormMain::Twips(int twips) const { return qRound(twips * dotsPerInch_ / 1440.0); }

QRect FormMain::TwipsRect(int left, int top, int width, int height) const {
  return {Twips(left), Twips(top), Twips(width), Twips(height)};
}

Kelvane::RunSettings FormMain::Settings() const {
  return {
      .inputPath = TextInFileName->text().toStdString(),
      .outputPath = TextOutFileName->text().toStdString(),
      .scale = TextScale->text().toStdString(),
      .oneBrush = CheckMapOrBrush->isChecked(),
      .pictures = CheckDoPics->isChecked(),
      .wholeFormat = CheckWholeFormat->isChecked(),
      .textureMapping = CheckTextureMapping->isChecked(),
      .powerOfTwo = CheckPowerOfTwo->isChecked(),
      .engine = static_cast<Kelvane::Unreal::Engine>(ComboEngine->currentIndex()),
      .solidity = static_cast<Kelvane::Unreal::Solidity>(ComboSolidity->currentIndex()),
      .fit = Kelvane::FitRequest::Typed(TextFit->text().trimmed().toStdString()),
      .bitmapDepth = CheckBitmap8->isChecked() ? 8 : 24,
  };
}

void FormMain::CommandGo_Click() {
  if (running_) return;
  running_ = true;
  lastYield_ = {};
  const Kelvane::RunSettings settings = Settings();
  runInput_ = settings.inputPath;
  runOutput_ = settings.outputPath;
  Kelvane::ConversionRun run(settings, *runSide_);
  // The run takes the output path from the box before it writes anything.
  const FileState outputBefore = StateOf(runOutput_);
  std::optional<Kelvane::RunReport> report;
  QString failure;
  try {
    report = run.CommandGo_Click();
  } catch (const RunStopped&) {
  } catch (const std::exception& e) {
    failure = QString::fromUtf8(e.what());
  }
  running_ = false;
  PictureTexture->Keep();
  ShowRunState();
  runSide_->ShowRunning(false);
  if (closeRequested_) {
    close();
    return;
  }
  ShowPreview(report && report->completed, outputBefore, report ? report->sideFile : "");
  if (report) {
    ShowReport(*report);
  } else if (!failure.isEmpty()) {
    ReportFailure(failure);
  }
}

void FormMain::ShowReport(const Kelvane::RunReport& report) {
  const Kelvane::RunMessages messages = Kelvane::MessagesOf(
      report, QStringLiteral("ticking \"%1\"").arg(CheckWholeFormat->text()).toStdString());
  // Each message a paragraph of its own, beginning with a capital.
  QStringList paragraphs;
  const auto add = [&](const std::string& text) {
    if (text.empty()) return;
    QString paragraph = QString::fromStdString(text);
    paragraph[0] = paragraph[0].toUpper();
    paragraphs << paragraph;
  };
  add(messages.error);
  for (const std::string& warning : messages.warnings) add(warning + ".");
  if (!messages.hint.empty()) add(messages.hint + ".");
  if (!messages.empty.empty()) add(messages.empty + (messages.empty.back() == '?' ? "" : "."));
  // What the run wrote and left out stays in view under the preview; what
  // the user must act on comes in a message box.
  QStringList summary;
  summary << QString::fromStdString(report.failure ? "The conversion stopped: " + messages.error
                                                   : messages.wrote);
  for (const std::string& note : messages.notes) summary << QString::fromStdString(note);
  LabelSummary->setText(summary.join(QLatin1Char('\n')));
  if (report.failure) {
    ReportFailure(paragraphs.join(QStringLiteral("\n\n")));
  } else if (!paragraphs.isEmpty()) {
    dialogs_.ShowMessage(this, Dialogs::MessageKind::Warning, kCaption,
                         paragraphs.join(QStringLiteral("\n\n")));
  }
}

FormMain::FileState FormMain::StateOf(const std::string& path) {
  FileState state;
  std::error_code error;
  const std::filesystem::path file = Platform::PathOf(path);
  if (path.empty() || !std::filesystem::is_regular_file(file, error)) return state;
  state.size = std::filesystem::file_size(file, error);
  state.time = std::filesystem::last_write_time(file, error);
  state.exists = !error;
  return state;
}

void FormMain::ShowPreview(bool completed, const FileState& before, const std::string& sideFile) {
  const FileState after = StateOf(runOutput_);
  if (!sideFile.empty() && StateOf(sideFile).exists) {
    // A failed run over an earlier document: what it wrote is beside it.
    PicturePreview->ShowDocument(sideFile);
  } else if (after.exists && (completed || after != before)) {
    // A run that fails before its first write leaves an existing output as
    // it was: that document is not this run's.
    PicturePreview->ShowDocument(runOutput_);
  } else {
    PicturePreview->ShowNothing(QStringLiteral("The conversion wrote nothing to show."));
  }
}

void FormMain::ReportFailure(const QString& text) {
  dialogs_.ShowMessage(this, Dialogs::MessageKind::Error, kCaption,
                       QStringLiteral("The conversion stopped.\n\n") + text);
}

void FormMain::SetInputAndProposeOutput(const QString& input) {
  TextInFileName->setText(input);
  try {
    TextOutFileName->setText(
        QString::fromStdString(TextRoutines::StripExtension(input.toStdString()) + ".t3d"));
  } catch (const Kelvane::RunError&) {
    // A name too long to strip keeps the output box as it was.
  }
}

void FormMain::OpenArguments(const QStringList& arguments) {
  if (arguments.size() == 1 && !arguments.front().isEmpty())
    SetInputAndProposeOutput(arguments.front());
}

void FormMain::CommandBrowseInput_Click() {
  CommonDialog1.Filter = "3DMF (*.3dmf;*.3dm;*.3mf)|*.3dmf;*.3dm;*.3mf|";
  CommonDialog1.DefaultExt = ".3dmf";
  CommonDialog1.FilterIndex = 1;
  CommonDialog1.Flags = CommonDialog::kFileMustExist;
  if (const auto path = CommonDialog1.ShowOpen())
    SetInputAndProposeOutput(QString::fromStdString(*path));
}

void FormMain::CommandBrowseOutput_Click() {
  CommonDialog1.Filter = "Unreal Brush (*.t3d)|*.t3d|";
  CommonDialog1.DefaultExt = ".t3d";
  CommonDialog1.FilterIndex = 1;
  // The input browse leaves this flag set; a save dialog must take new names.
  CommonDialog1.Flags &= ~CommonDialog::kFileMustExist;
  if (const auto path = CommonDialog1.ShowSave())
    TextOutFileName->setText(QString::fromStdString(*path));
}

bool FormMain::NamesRunFile(const std::string& path) const {
  return SameFile(path, runOutput_) || SameFile(path, runInput_);
}

std::string FormMain::SaveTexturePicture(const std::string& proposed) {
  ShowRunState();
  // A PNG where the engine saves its textures so (ue3, ue4).
  const bool png = proposed.size() >= 4 && proposed.compare(proposed.size() - 4, 4, ".png") == 0;
  CommonDialog1.Filter = png ? "PNG picture (*.png)|*.png|" : "Windows Bitmap (*.bmp)|*.bmp|";
  CommonDialog1.DefaultExt = png ? ".png" : ".bmp";
  CommonDialog1.FilterIndex = 1;
  CommonDialog1.Flags &= ~CommonDialog::kFileMustExist;
  // Never the run's own files: Enter on a carried-over name would write
  // the bitmap over the output that the run is still writing.
  for (;;) {
    CommonDialog1.FileName = proposed;
    const auto path = CommonDialog1.ShowSave();
    if (!path) return {};  // Cancel: the texture is not saved
    if (!NamesRunFile(*path)) return *path;
    dialogs_.ShowMessage(this, Dialogs::MessageKind::Warning, kCaption,
                         QStringLiteral("\"%1\" is the conversion's input or output file.\n"
                                        "Choose another name for the bitmap.")
                             .arg(QString::fromStdString(*path)));
  }
}

void FormMain::Yield() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastYield_ < yieldInterval_) return;
  ShowRunState();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  lastYield_ = std::chrono::steady_clock::now();
  if (closeRequested_) throw RunStopped();
}

void FormMain::ShowRunState() {
  if (labelPosChanged_) LabelPos->setText(QString::fromStdString(labelPosText_));
  if (labelProgressChanged_) LabelProgress->setText(QString::fromStdString(labelProgressText_));
  labelPosChanged_ = false;
  labelProgressChanged_ = false;
  PictureTexture->Sync();
}

void FormMain::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run stops at its next yield; Go's handler then closes the window.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  closeRequested_ = false;
  event->accept();
}

void FormMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void FormMain::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  SetInputAndProposeOutput(path);
  event->acceptProposedAction();
}

void FormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The preview takes what the window gains; the picture box, only height.
  const QRect area = pictureArea_->geometry();
  pictureArea_->resize(area.width(), height() - pictureAreaBottomMargin_ - area.top());
  const QRect preview = PicturePreview->geometry();
  PicturePreview->resize(width() - previewMargin_.width() - preview.left(),
                         height() - previewMargin_.height() - preview.top());
  LabelSummary->setGeometry(preview.left(), PicturePreview->geometry().bottom() + 1 + Twips(60),
                            PicturePreview->width(), LabelSummary->height());
}

}  // namespace Kelvane::Gui
