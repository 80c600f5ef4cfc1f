#include "app/cli/ConvertOne.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <new>

#include "app/run/ConversionRun.h"
#include "app/run/OutputGuard.h"
#include "app/run/RunMessages.h"
#include "platform/Platform.h"
#include "preview/Preview.h"
#include "text/Files.h"
#include "text/RunError.h"

namespace Kelvane::Cli {

namespace {

namespace fs = std::filesystem;
using Platform::PathOf;

// The run as the command line shows it: on a terminal, a progress line on
// stderr that names the phase, the share of the input scanned and the
// polygons written, at most four times a second.
class ConsoleSink : public RunSink {
 public:
  explicit ConsoleSink(const Options& options)
      : showProgress_(!options.quiet && Platform::StandardErrorIsTerminal()) {}

  void Attach(const ConversionRun* run) { run_ = run; }

  void ShowPhase(RunPhase phase) override {
    if (phase == RunPhase::Reading) phase_ = "Reading";
    if (phase == RunPhase::Parsing) phase_ = "Converting";
  }
  void ShowPosition(std::int32_t) override {}
  void ShowRow(std::size_t) override {}
  void ShowProcessed(std::int32_t) override {}
  void DoEvents() override {
    if (!showProgress_ || (++calls_ & 1023) != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastShown_ < std::chrono::milliseconds(250)) return;
    lastShown_ = now;
    ShowProgress();
  }

  void ClearProgress() {
    if (progressShown_) std::fputs("\r\033[K", stderr);
    progressShown_ = false;
  }

 private:
  void ShowProgress() {
    std::string line = "\r" + phase_;
    if (run_ != nullptr && run_->InputLength() > 0 && phase_ == "Converting") {
      const double share =
          100.0 * (run_->ScanPosition() - 1) / static_cast<double>(run_->InputLength());
      line += ": " + std::to_string(static_cast<int>(std::clamp(share, 0.0, 100.0))) +
              "% of the input, " + std::to_string(run_->PolygonsWritten()) + " polygons";
    }
    line += "\033[K";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    progressShown_ = true;
  }

  const ConversionRun* run_ = nullptr;
  bool showProgress_;
  bool progressShown_ = false;
  std::string phase_ = "Starting";
  std::uint32_t calls_ = 0;
  std::chrono::steady_clock::time_point lastShown_{};
};

// How the messages name the options they point to.
const OptionWords kOptionWords = {
    .wholeFormat = "--reader 3dmf", .keywords = "--reader keywords", .powerOfTwo = "--pow2"};

// A text on one line, for the result line a batch reads.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

void PrintResultLine(const Options& options, const RunReport& report, const std::string& error) {
  if (!options.resultLine) return;
  std::string line = std::string(kResultTag) + (error.empty() ? " converted " : " failed ") +
                     std::to_string(report.polygons) + " " + std::to_string(report.bitmaps.size()) +
                     (report.wholeFormat ? " 3dmf" : " keywords");
  if (!error.empty()) line += " " + OneLine(error);
  std::printf("%s\n", line.c_str());
}

// After a conversion: the picture is an extra, so a failure only warns.
void WritePreview(const Options& options, const std::string& output) {
  if (options.preview.empty()) return;
  std::string failure;
  try {
    Preview::WritePreviewPng(output, options.preview, options.previewWidth, options.previewHeight);
  } catch (const RunError& e) {
    failure = e.what();
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  }
  if (!failure.empty()) {
    std::fprintf(stderr, "kelvane-convert: warning: preview not written: %s\n", failure.c_str());
  } else if (!options.quiet) {
    std::printf("Wrote preview %s: %d x %d pixels\n", options.preview.c_str(), options.previewWidth,
                options.previewHeight);
  }
}

}  // namespace

std::string DefaultOutput(const std::string& input) {
  try {
    return TextRoutines::StripExtension(input) + ".t3d";
  } catch (const RunError& e) {
    throw UsageError("INPUT: " + std::string(e.what()));
  }
}

void CheckOutputs(const std::string& input, const std::string& output, const Options& options,
                  OutputNamed named) {
  std::error_code ignored;
  if (fs::is_directory(PathOf(output), ignored)) {
    throw UsageError("the output \"" + output + "\" is a folder; give --out-dir to write into it");
  }
  // Running over the input itself is the run's own error ("Same file").
  if (!Platform::SameFile(input, output)) {
    if (const auto reason = ModelReason(output)) {
      // A model's name as OUTPUT may have been meant as a second input.
      const bool byName = !ModelExtensionOf(output).empty();
      const std::string advice =
          named == OutputNamed::kGiven
              ? byName ? "choose another OUTPUT, or give --out-dir DIR to convert both"
                       : "choose another OUTPUT"
          : named == OutputNamed::kByDefault ? "give an OUTPUT of another name"
          : options.outDirGiven              ? "move it away or give another --out-dir"
                                             : "give --out-dir DIR to write the documents elsewhere";
      throw UsageError("will not write a T3D document over \"" + output +
                       "\": it is a 3DMF model (" + *reason + "); " + advice);
    }
  }
  if (options.preview.empty()) return;
  if (options.preview == output || Platform::SameFile(options.preview, output) ||
      Platform::SameFile(options.preview, input) || ModelReason(options.preview)) {
    throw UsageError("--preview \"" + options.preview +
                     "\" names the input, the output or a 3DMF model");
  }
}

void MakeTexturesFolder(const Options& options) {
  const std::string& folder = options.settings.texturesFolder;
  if (folder.empty() || !options.settings.pictures) return;
  std::error_code error;
  if (fs::exists(PathOf(folder), error) && !fs::is_directory(PathOf(folder), error)) {
    throw UsageError("--textures \"" + folder + "\" is not a folder");
  }
  fs::create_directories(PathOf(folder), error);
  if (error) throw UsageError("cannot make --textures \"" + folder + "\": " + error.message());
}

int ConvertOne(const Options& options) {
  RunSettings settings = options.settings;
  settings.inputPath = options.paths[0];
  settings.outputPath =
      options.paths.size() == 2 ? options.paths[1] : DefaultOutput(options.paths[0]);
  if (settings.inputPath.empty()) throw UsageError("INPUT is empty");
  if (settings.outputPath.empty()) throw UsageError("OUTPUT is empty");
  CheckOutputs(settings.inputPath, settings.outputPath, options,
               options.paths.size() == 2 ? OutputNamed::kGiven : OutputNamed::kByDefault);
  // A batch's child finds the folder its parent made.
  if (!options.resultLine) MakeTexturesFolder(options);

  ConsoleSink sink(options);
  ConversionRun run(settings, sink);
  sink.Attach(&run);
  const RunReport report = run.CommandGo_Click();
  sink.ClearProgress();

  const RunMessages messages = MessagesOf(report, kOptionWords);
  for (const std::string& warning : messages.warnings)
    std::fprintf(stderr, "kelvane-convert: warning: %s\n", warning.c_str());
  if (!messages.error.empty()) {
    std::fprintf(stderr, "kelvane-convert: %s\n", messages.error.c_str());
  } else if (!options.quiet) {
    std::printf("%s\n", messages.wrote.c_str());
    for (const std::string& note : messages.notes) std::printf("  %s\n", note.c_str());
  }
  if (!messages.hint.empty())
    std::fprintf(stderr, "kelvane-convert: note: %s\n", messages.hint.c_str());
  if (!messages.empty.empty())
    std::fprintf(stderr, "kelvane-convert: %s\n", messages.empty.c_str());
  if (report.completed) WritePreview(options, settings.outputPath);
  PrintResultLine(options, report, messages.error);
  return report.completed ? 0 : 1;
}

}  // namespace Kelvane::Cli
