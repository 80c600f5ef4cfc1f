#include "app/cli/Batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "app/cli/ConvertOne.h"
#include "app/run/OutputGuard.h"
#include "app/run/RunMessages.h"

namespace Kelvane::Cli {

namespace {

namespace fs = std::filesystem;
using Platform::PathOf;
using Platform::TextOf;

// The models of a folder (and its subfolders when asked), sorted, each
// with its path below the folder.
std::vector<BatchFile> ModelsInFolder(const std::string& folder, bool recursive) {
  std::vector<BatchFile> found;
  std::error_code error;
  const auto take = [&](const fs::directory_entry& entry) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored) &&
        !ModelExtensionOf(TextOf(entry.path().filename())).empty()) {
      found.push_back({.input = TextOf(entry.path()),
                       .belowFolder = TextOf(entry.path().lexically_relative(PathOf(folder)))});
    }
  };
  if (recursive) {
    fs::recursive_directory_iterator it(PathOf(folder),
                                        fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) take(*it);
  } else {
    fs::directory_iterator it(PathOf(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) take(*it);
  }
  if (error) throw UsageError("cannot read the folder \"" + folder + "\": " + error.message());
  std::sort(found.begin(), found.end(),
            [](const BatchFile& a, const BatchFile& b) { return a.input < b.input; });
  return found;
}

// "no 3DMF model (...) in the folder "F"", and its subfolders when asked.
std::string NoModelIn(const std::string& folder, bool recursive) {
  return "no 3DMF model (.3dmf, .3dm, .q3d or .qd3d) in the folder \"" + folder + "\"" +
         (recursive ? " or its subfolders" : "");
}

// One spelling for every way of naming a file, so that two names of one
// output are seen as the same.
std::string PathKey(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(PathOf(path), error);
  if (error) return path;
  const fs::path canonical = fs::weakly_canonical(absolute, error);
  return TextOf(error ? absolute.lexically_normal() : canonical);
}

// Passes a finished child's messages on, each line naming its input.
void RelayChildText(const BatchFile& file) {
  const std::string prefix = "kelvane-convert: ";
  if (file.childText.empty() && !file.converted) {  // not started, or killed
    std::fprintf(stderr, "%s%s: %s\n", prefix.c_str(), file.input.c_str(), file.error.c_str());
  }
  std::istringstream lines(file.childText);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(prefix, 0) == 0) line.erase(0, prefix.size());
    std::fprintf(stderr, "%s%s: %s\n", prefix.c_str(), file.input.c_str(), line.c_str());
  }
}

// Runs the files' conversions, at most `jobs` at once, until all are done.
// Each worker thread waits on one child at a time; what a file gave is
// passed on as soon as its child ends.
void RunChildren(const Options& options, std::vector<BatchFile>& files, std::size_t jobs) {
  constexpr std::size_t kMaxChildText = 1 << 20;  // more is not a message
  const bool showProgress = !options.quiet && Platform::StandardErrorIsTerminal();
  const std::string program = Platform::ThisProgram();
  std::mutex lock;  // guards `next`, `done` and stderr
  std::size_t next = 0;
  std::size_t done = 0;
  const auto work = [&] {
    for (;;) {
      std::size_t index;
      {
        const std::lock_guard<std::mutex> hold(lock);
        if (next == files.size()) return;
        index = next++;
      }
      BatchFile& file = files[index];
      const auto start = std::chrono::steady_clock::now();
      const Platform::ProgramResult child = Platform::RunProgram(
          program, ChildArguments(options, file, "kelvane-convert"), {}, kMaxChildText);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const std::lock_guard<std::mutex> hold(lock);
      FinishChild(child, seconds, file);
      ++done;
      if (showProgress) std::fputs("\r\033[K", stderr);
      RelayChildText(file);
      if (showProgress) {
        std::fprintf(stderr, "\r%zu of %zu files done\033[K", done, files.size());
        std::fflush(stderr);
      }
    }
  };
  std::vector<std::thread> workers;
  for (std::size_t i = 1; i < jobs; ++i) workers.emplace_back(work);
  work();
  for (std::thread& worker : workers) worker.join();
  if (showProgress) std::fputs("\r\033[K", stderr);
}

std::string Counted(long long n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  return text;
}

}  // namespace

std::vector<BatchFile> PlanBatch(const Options& options, std::vector<std::string>& warnings) {
  std::vector<BatchFile> files;
  if (!options.preview.empty() && options.paths.size() > 1) {
    throw UsageError("--preview draws one conversion; give it with one INPUT only");
  }
  std::vector<std::string> emptyFolders;
  for (const std::string& path : options.paths) {
    if (path.empty()) throw UsageError("an INPUT is empty");
    std::error_code ignored;
    if (!fs::is_directory(PathOf(path), ignored)) {
      files.push_back({.input = path});
      continue;
    }
    const std::vector<BatchFile> models = ModelsInFolder(path, options.recursive);
    if (models.empty()) emptyFolders.push_back(path);
    files.insert(files.end(), models.begin(), models.end());
  }
  if (files.empty()) {
    std::string told;
    for (const std::string& folder : emptyFolders) told += (told.empty() ? "" : "; ") + NoModelIn(folder, options.recursive);
    throw UsageError(told.empty() ? "no 3DMF model to convert" : told);
  }
  for (const std::string& folder : emptyFolders)
    warnings.push_back(NoModelIn(folder, options.recursive));
  if (!options.preview.empty() && files.size() > 1) {
    throw UsageError("--preview draws one conversion; the folder holds " +
                     std::to_string(files.size()) + " models");
  }

  std::error_code ignored;
  if (options.outDirGiven && fs::exists(PathOf(options.outDir), ignored) &&
      !fs::is_directory(PathOf(options.outDir), ignored)) {
    throw UsageError("--out-dir \"" + options.outDir + "\" is not a folder");
  }
  // Bitmaps are named after their output; with --textures they all share
  // one folder, so two outputs of one name would write the same bitmaps.
  const bool sharedTextures = options.settings.pictures && !options.settings.texturesFolder.empty();
  std::map<std::string, std::size_t> outputs;
  std::map<std::string, std::size_t> bitmapStems;
  for (std::size_t i = 0; i < files.size(); ++i) {
    BatchFile& file = files[i];
    if (options.outDirGiven) {
      const std::string below =
          file.belowFolder.empty() ? TextOf(PathOf(file.input).filename()) : file.belowFolder;
      file.output = TextOf(PathOf(options.outDir) / PathOf(DefaultOutput(below)));
    } else {
      file.output = DefaultOutput(file.input);
    }
    const auto [at, added] = outputs.emplace(PathKey(file.output), i);
    if (!added) {
      throw UsageError("\"" + files[at->second].input + "\" and \"" + file.input +
                       "\" would both be written to \"" + file.output +
                       "\"; convert them in separate runs");
    }
    if (sharedTextures) {
      // As the conversion names them: the output without ".t3d", its last part.
      const std::string stem =
          TextOf(PathOf(file.output.substr(0, file.output.size() - 4)).filename());
      const auto [first, fresh] = bitmapStems.emplace(
          PathKey(TextOf(PathOf(options.settings.texturesFolder) / PathOf(stem))), i);
      if (!fresh) {
        throw UsageError("\"" + files[first->second].input + "\" and \"" + file.input +
                         "\" would both save their textures as \"" + stem + "_N.bmp\" in \"" +
                         options.settings.texturesFolder + "\"");
      }
    }
    CheckOutputs(file.input, file.output, options, OutputNamed::kByBatch);
  }
  if (options.outDirGiven) {
    std::error_code error;
    fs::create_directories(PathOf(options.outDir), error);
    if (error)
      throw UsageError("cannot make --out-dir \"" + options.outDir + "\": " + error.message());
    // The subfolders the models came from.
    for (const BatchFile& file : files) {
      if (file.belowFolder.empty()) continue;
      fs::create_directories(PathOf(file.output).parent_path(), error);
      if (error) {
        throw UsageError("cannot make the folder of \"" + file.output + "\": " + error.message());
      }
    }
  }
  MakeTexturesFolder(options);
  return files;
}

std::vector<std::string> ChildArguments(const Options& options, const BatchFile& file,
                                        const char* program) {
  std::vector<std::string> args = {program, "--quiet", "--result-line"};
  args.insert(args.end(), options.perFile.begin(), options.perFile.end());
  args.insert(args.end(), {"--", file.input, file.output});
  return args;
}

void FinishChild(const Platform::ProgramResult& child, double seconds, BatchFile& file) {
  file.seconds = seconds;
  if (!child.started) {
    file.error = "cannot start its conversion: " + child.ending;
    return;
  }
  file.childText = child.err;
  std::istringstream lines(child.out);
  std::string line;
  std::string result;
  while (std::getline(lines, line)) {
    if (line.rfind(kResultTag, 0) == 0) result = line.substr(kResultTag.size());
  }
  std::istringstream fields(result);
  std::string word;
  long long polygons = -1;
  long long bitmaps = 0;
  std::string reader;
  if (fields >> word >> polygons >> bitmaps >> reader) {
    file.polygons = polygons;
    file.bitmaps = bitmaps;
    file.wholeFormat = reader == "3dmf";
    std::getline(fields >> std::ws, file.error);
  }
  const bool exitedZero = child.exited && child.exitCode == 0;
  file.converted = exitedZero && word == "converted";
  if (file.converted || !file.error.empty()) return;
  if (!child.exited) {
    file.error = "its conversion ended by " + child.ending;
  } else {
    // No result line: the child's first line on stderr says why.
    std::string first = child.err.substr(0, child.err.find('\n'));
    const std::string prefix = "kelvane-convert: ";
    if (first.rfind(prefix, 0) == 0) first.erase(0, prefix.size());
    file.error = first.empty() ? "its conversion gave no result (exit status " +
                                     std::to_string(child.exitCode) + ")"
                               : first;
  }
}

int ConvertMany(const Options& options) {
  std::vector<std::string> warnings;
  const auto tell = [&] {
    for (const std::string& warning : warnings)
      std::fprintf(stderr, "kelvane-convert: warning: %s\n", warning.c_str());
  };
  std::vector<BatchFile> files;
  try {
    files = PlanBatch(options, warnings);
  } catch (const UsageError&) {
    tell();
    throw;
  }
  tell();
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t jobs =
      std::min(files.size(), static_cast<std::size_t>(options.jobs > 0 ? options.jobs : cores));

  const auto start = std::chrono::steady_clock::now();
  RunChildren(options, files, jobs);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::size_t failed = 0;
  std::size_t empty = 0;
  long long polygons = 0;
  long long bitmaps = 0;
  for (const BatchFile& file : files) {
    if (!file.converted) ++failed;
    if (file.converted && file.polygons > 0) polygons += file.polygons;
    if (file.converted) bitmaps += file.bitmaps;
    // A document without polygon or bitmap is what the format allows, but
    // rarely what was meant: such a file is marked, not failed.
    const bool nothing = file.converted && file.polygons == 0 && file.bitmaps == 0;
    if (nothing) ++empty;
    if (options.quiet) continue;
    // Columns: file, result, reader, polygons, bitmaps, seconds; then why
    // it failed.
    std::string line = file.input + " -> " + file.output + ": ";
    line += nothing ? "empty" : file.converted ? "converted" : "failed";
    if (file.converted) line += file.wholeFormat ? " (whole-format reader)" : " (keyword reader)";
    line +=
        ", " + (file.polygons < 0 ? std::string("? polygons") : Counted(file.polygons, "polygon"));
    if (file.converted) line += ", " + Counted(file.bitmaps, "bitmap");
    line += ", " + Seconds(file.seconds);
    if (!file.converted) line += ": " + file.error;
    std::printf("%s\n", line.c_str());
  }
  if (!options.quiet) {
    const std::string empties = empty > 0 ? " (" + std::to_string(empty) + " empty)" : "";
    std::printf("Total: %s, %zu converted%s, %zu failed, %s, %s, %s\n",
                Counted(static_cast<long long>(files.size()), "file").c_str(),
                files.size() - failed, empties.c_str(), failed,
                Counted(polygons, "polygon").c_str(), Counted(bitmaps, "bitmap").c_str(),
                Seconds(seconds).c_str());
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace Kelvane::Cli
