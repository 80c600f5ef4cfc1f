#include "app/run/ConversionRun.h"

#include <cmath>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "app/run/BitmapSaver.h"
#include "app/run/DocumentFrame.h"
#include "app/run/KeywordPass.h"
#include "app/run/OutputGuard.h"
#include "app/run/ReportBuilder.h"
#include "app/run/RunMessages.h"
#include "app/run/WholeFormatPass.h"
#include "metafile/format/Document.h"
#include "platform/Platform.h"
#include "text/Files.h"
#include "t3d/T3dWriter.h"
#include "text/Numbers.h"
#include "text/RunError.h"

namespace Kelvane {

namespace {

// The sink of a pass that only measures: it shows and saves nothing, but
// lets the window's messages run.
class MeasuringSink : public RunSink {
 public:
  explicit MeasuringSink(RunSink& window) : window_(window) {}
  void ShowPhase(RunPhase) override {}
  void ShowPosition(std::int32_t) override {}
  void ShowRow(std::size_t) override {}
  void ShowProcessed(std::int32_t) override {}
  void DoEvents() override { window_.DoEvents(); }
  std::string ChooseBitmapPath(int, const std::string&) override { return {}; }

 private:
  RunSink& window_;
};

// The settings' choice of reader: the whole-format reader for a binary
// file, when asked, for what only it does (texture mapping, power of two)
// and, when the input chooses, for a file with a 3DMF header; the keyword
// reader otherwise.
bool ReadsWholeFormat(const RunSettings& settings, std::string_view text) {
  return Metafile::IsBinaryMetafile(text) || settings.wholeFormat || settings.textureMapping ||
         settings.powerOfTwo ||
         (settings.readerByHeader && Metafile::BeginsWithMetafileHeader(text));
}

// A failure in what the input holds, which another reader may not meet;
// not one of the files around it (writing, the template), the settings or
// memory, where it would fail alike.
bool FailedOnContent(const RunReport& report) {
  if (!report.failure || report.failure->outOfMemory) return false;
  switch (report.failure->kind) {
    case ErrorKind::Overflow:
    case ErrorKind::OutOfRange:
    case ErrorKind::InvalidArgument:
    case ErrorKind::ArithmeticError:
      return true;
    case ErrorKind::FileError:
    case ErrorKind::InvalidScale:
    case ErrorKind::SameFile:
    case ErrorKind::OutputIsModel:
      return false;
  }
  return false;
}

}  // namespace

// One press of Go: the input, the document and what the run has to tell.
class ConversionRun::Conversion {
 public:
  Conversion(const RunSettings& settings, RunSink& sink, Image& picture)
      : settings_(settings),
        sink_(sink),
        picture_(picture),
        frame_(settings, sink, Unreal::T3dWriter::Output::kFile),
        saver_(settings, sink, frame_.Writer(), report_) {}

  RunReport Run();

  std::int32_t ScanPosition() const { return pass_ ? pass_->ScanPosition() : 1; }
  std::size_t InputLength() const { return text_.size(); }
  std::int32_t PolygonsWritten() const { return frame_.Writer().PolygonLinkCounter(); }

 private:
  void Convert();
  // The pass that reads `text_` into `frame` at `scale`, with the
  // whole-format reader or the keyword reader.
  std::unique_ptr<Pass> MakePass(bool wholeFormat, double scale, DocumentFrame& frame,
                                 RunSink& sink, BitmapSaver& saver, ReportBuilder& report);
  double FitScale(double size);
  // What the other reader would make of the input after this run failed on
  // its content or wrote no polygon (RunReport::wholeFormatWouldRead and
  // keywordsWouldWrite).
  void TryTheOtherReader(RunReport& report);

  const RunSettings& settings_;
  RunSink& sink_;
  Image& picture_;
  std::string text_;
  ReportBuilder report_;
  DocumentFrame frame_;
  BitmapSaver saver_;
  std::unique_ptr<Pass> pass_;
  double scale_ = 1;
};

std::unique_ptr<Pass> ConversionRun::Conversion::MakePass(bool wholeFormat, double scale,
                                                          DocumentFrame& frame, RunSink& sink,
                                                          BitmapSaver& saver,
                                                          ReportBuilder& report) {
  if (wholeFormat) {
    // Mapped polygons name their bitmaps: the textures are saved too.
    const bool pictures = settings_.pictures || settings_.textureMapping;
    return std::make_unique<WholeFormatPass>(text_, scale, settings_, pictures, frame, sink, saver,
                                             report, picture_);
  }
  return std::make_unique<KeywordPass>(text_, scale, settings_.EditorFrame(), settings_.pictures,
                                       frame, sink, saver, picture_);
}

// The scale that makes the model's largest side the size asked for: the
// text is converted once at scale 1 without writing anything, and the
// corners it would write are measured.
double ConversionRun::Conversion::FitScale(double size) {
  MeasuringSink quiet(sink_);
  DocumentFrame frame(settings_, quiet, Unreal::T3dWriter::Output::kNone);
  ReportBuilder notes;  // what measuring meets is told by the real pass
  BitmapSaver saver(settings_, quiet, frame.Writer(), notes);
  const std::unique_ptr<Pass> measure =
      MakePass(ReadsWholeFormat(settings_, text_), 1.0, frame, quiet, saver, notes);
  try {
    measure->Run();
  } catch (const RunError& e) {
    throw RunError(e.Kind(), e.what(), measure->PlaceOf(e));
  }
  const double side = frame.Writer().CornersWritten().LargestSide();
  if (!(side > 0) || !std::isfinite(size / side)) {
    report_.Warn("the model has no size to fit to " + ShortNumber(size) +
                 " units; it is written at scale 1");
    return 1.0;
  }
  return size / side;
}

void ConversionRun::Conversion::Convert() {
  sink_.ShowRunning(true);
  const bool fit = settings_.fit.Asked();
  if (!fit && !TextRoutines::StartsWithNumber(settings_.scale)) {
    throw RunError(ErrorKind::InvalidScale,
                   "The scale " + Quote(settings_.scale) + " does not start with a number");
  }
  const double fitSize = fit ? settings_.fit.Resolve() : 0.0;
  scale_ = fit ? 1.0 : TextRoutines::NumericValue(settings_.scale);
  sink_.ShowPhase(RunPhase::Reading);
  sink_.DoEvents();
  if (Platform::SameFile(settings_.inputPath, settings_.outputPath)) {
    throw RunError(ErrorKind::SameFile, "The output \"" + settings_.outputPath +
                                            "\" is the input file; choose another output");
  }
  if (const auto reason = ModelReason(settings_.outputPath)) {
    throw RunError(ErrorKind::OutputIsModel,
                   "The output \"" + settings_.outputPath + "\" is a 3DMF model: " + *reason +
                       "; a T3D document is never written over a model, choose another output");
  }
  text_ = TextRoutines::ReadTextFile(settings_.inputPath, [this] { sink_.DoEvents(); });
  sink_.ShowPhase(RunPhase::Parsing);
  sink_.DoEvents();
  if (fit) scale_ = FitScale(fitSize);
  if (settings_.solidity != Unreal::Solidity::kSolid && settings_.oneBrush &&
      !Unreal::TakesOnlyMaps(settings_.engine)) {
    report_.Warn(
        "a one-brush document has no brush actor to carry the solidity; set it on the brush "
        "in the editor once it is imported");
  }
  pass_ = MakePass(ReadsWholeFormat(settings_, text_), scale_, frame_, sink_, saver_, report_);
  pass_->Run();
  sink_.ShowPhase(RunPhase::Done);
  sink_.ShowRunning(false);
}

RunReport ConversionRun::Conversion::Run() {
  RunReport& report = report_.Report();
  report.settings = settings_;
  try {
    Convert();
    report.completed = true;
  } catch (const RunError& e) {
    report.failure = RunFailure{
        .kind = e.Kind(), .text = e.what(), .place = pass_ ? pass_->PlaceOf(e) : e.Place()};
  } catch (const std::bad_alloc&) {
    report.failure = RunFailure{
        .outOfMemory = true,
        .text = "Out of memory while converting \"" + settings_.inputPath + "\"",
    };
  } catch (...) {
    // The window was closed: what was written stays in the side file, and
    // nothing half made takes the output's place.
    frame_.Writer().Abandon();
    throw;
  }
  if (pass_) report_.Warn(pass_->Warnings());
  Unreal::T3dWriter& writer = frame_.Writer();
  if (report.failure) {
    writer.Abandon();
    report.sideFile = writer.SideFile();
    report.earlierOutput = writer.ReplacesEarlierOutput();
    if (!report.sideFile.empty()) {
      if (report.earlierOutput) {
        report.earlierOutputWhole = Unreal::EndsAsWholeDocument(settings_.outputPath);
      }
    } else if (writer.HeadWritten()) {
      report.polygonsLeftInOutput = writer.RecordsWritten();
    }
  }
  report.polygons = writer.PolygonLinkCounter();
  report.scale = scale_;
  report.extent = writer.CornersWritten();
  report.degenerateLeftOut = writer.ZeroAreaLeftOut();
  report.editorMends = writer.Mends();
  TryTheOtherReader(report);
  return std::move(report);
}

void ConversionRun::Conversion::TryTheOtherReader(RunReport& report) {
  if (text_.empty() || !(FailedOnContent(report) || (report.completed && report.polygons == 0))) {
    return;
  }
  // Only where the user may pick the other reader: after a keyword run,
  // the whole-format reader; after a whole-format run, the keyword reader
  // only when the input's header chose the reader (never for a binary
  // file, when asked by name, or for what only the whole-format reader does).
  const bool wholeFormat = !ReadsWholeFormat(settings_, text_);
  if (!wholeFormat && (!settings_.readerByHeader || settings_.wholeFormat ||
                       settings_.textureMapping || settings_.powerOfTwo ||
                       Metafile::IsBinaryMetafile(text_))) {
    return;
  }
  // A pass of the other reader as this run was set, writing nothing: it
  // must end without error and write polygons.
  MeasuringSink quiet(sink_);
  DocumentFrame frame(settings_, quiet, Unreal::T3dWriter::Output::kNone);
  ReportBuilder notes;
  BitmapSaver saver(settings_, quiet, frame.Writer(), notes);
  try {
    MakePass(wholeFormat, scale_, frame, quiet, saver, notes)->Run();
  } catch (const RunError&) {
    return;
  }
  const std::int32_t polygons = frame.Writer().PolygonLinkCounter();
  if (polygons == 0) return;
  if (wholeFormat) {
    report.wholeFormatWouldRead = notes.LeftOut().geometryObjects;
  } else {
    report.keywordsWouldWrite = polygons;
  }
}

ConversionRun::ConversionRun(RunSettings settings, RunSink& sink)
    : settings_(WithEngineTextures(std::move(settings))), sink_(sink) {}

ConversionRun::~ConversionRun() = default;

RunReport ConversionRun::CommandGo_Click() {
  current_.reset();
  current_ = std::make_unique<Conversion>(settings_, sink_, picture_);
  return current_->Run();
}

std::int32_t ConversionRun::ScanPosition() const { return current_ ? current_->ScanPosition() : 1; }

std::size_t ConversionRun::InputLength() const { return current_ ? current_->InputLength() : 0; }

std::int32_t ConversionRun::PolygonsWritten() const {
  return current_ ? current_->PolygonsWritten() : 0;
}

}  // namespace Kelvane
