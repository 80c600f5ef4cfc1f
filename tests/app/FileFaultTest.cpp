#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FaultSupport.h"
#include "TestSupport.h"
#include "app/run/ConversionRun.h"
#include "app/FakeWindow.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using Kelvane::ErrorKind;
using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

constexpr char kModel[] = "Polyhedron (\r\n3 0 1\r\n0 0 0 1 0 0 0 1 0\r\n0 1 2\r\n)\r\n";
constexpr char kOlderOutput[] = "an output from an earlier run\r\n";
constexpr char kTemplate[] = "Begin Map\r\n";

struct Failure {
  ErrorKind kind;
  std::string text;
};

std::optional<Failure> Convert(FakeWindow& window) {
  Kelvane::ConversionRun run(window.Settings(), window);
  const Kelvane::RunReport report = run.CommandGo_Click();
  if (!report.failure) return std::nullopt;
  return Failure{report.failure->kind, report.failure->text};
}

// What a file is, without reading a large one: its size, its change time
// and, when small, its bytes.
struct Fingerprint {
  std::uintmax_t size = 0;
  std::int64_t changed = 0;
  std::string bytes;
  bool operator==(const Fingerprint&) const = default;
};

Fingerprint FingerprintOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  Fingerprint f;
  f.size = static_cast<std::uintmax_t>(info.st_size);
  f.changed = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  if (f.size < (1u << 20)) f.bytes = ReadFile(path);
  return f;
}

// A folder with a model, an older output beside it and a map template that
// the run is pointed to.
struct Scene {
  TempDir dir;
  std::string input = dir.File("model.3dmf");
  std::string output = dir.File("model.t3d");
  std::string mapTemplate = dir.File("StartMapFile.txt");
  FakeWindow window;

  explicit Scene(bool olderOutput = true) {
    WriteFile(input, kModel);
    if (olderOutput) WriteFile(output, kOlderOutput);
    WriteFile(mapTemplate, kTemplate);
    window.templatePath = mapTemplate;
    window.inFileName = input;
    window.outFileName = output;
  }
};

void ExpectNames(const Failure& failure, const std::vector<std::string>& texts) {
  for (const std::string& t : texts)
    EXPECT_NE(failure.text.find(t), std::string::npos) << "\"" << failure.text << "\" lacks " << t;
}

// Every fault found before the first write ends the run with an error that
// names the path and the reason, and leaves the output as it was: an
// older output keeps its bytes, a missing one is not created.
TEST(FileFaultTest, FaultsBeforeTheFirstWriteLeaveTheOutputAsItWas) {
  struct Case {
    const char* name;
    ErrorKind kind;
    // Sets the fault up; gives the texts the message must hold.
    std::function<std::vector<std::string>(Scene&)> arrange;
  };
  const Case cases[] = {
      {"scale without a number", ErrorKind::InvalidScale,
       [](Scene& s) {
         s.window.scale = "twenty";
         return std::vector<std::string>{"\"twenty\""};
       }},
      {"output names the input", ErrorKind::SameFile,
       [](Scene& s) {
         s.window.outFileName = s.input;
         return std::vector<std::string>{s.input};
       }},
      {"output is a symbolic link to the input", ErrorKind::SameFile,
       [](Scene& s) {
         s.window.outFileName = s.dir.File("link.t3d");
         std::filesystem::create_symlink(s.input, s.window.outFileName);
         return std::vector<std::string>{s.window.outFileName};
       }},
      {"output is a hard link to the input", ErrorKind::SameFile,
       [](Scene& s) {
         s.window.outFileName = s.dir.File("hard.t3d");
         std::filesystem::create_hard_link(s.input, s.window.outFileName);
         return std::vector<std::string>{s.window.outFileName};
       }},
      {"input missing", ErrorKind::FileError,
       [](Scene& s) {
         s.window.inFileName = s.dir.File("missing.3dmf");
         return std::vector<std::string>{s.window.inFileName, "No such file or directory"};
       }},
      {"input is a folder", ErrorKind::FileError,
       [](Scene& s) {
         s.window.inFileName = Platform::TextOf(s.dir.Path());
         return std::vector<std::string>{s.window.inFileName, "Is a directory"};
       }},
      {"template missing in map mode", ErrorKind::FileError,
       [](Scene& s) {
         s.window.templatePath = s.dir.File("none/StartMapFile.txt");
         return std::vector<std::string>{s.dir.File("none/StartMapFile.txt"),
                                         "No such file or directory"};
       }},
      {"template is a folder", ErrorKind::FileError,
       [](Scene& s) {
         std::filesystem::create_directory(s.dir.File("template"));
         s.window.templatePath = s.dir.File("template");
         return std::vector<std::string>{s.dir.File("template"), "Is a directory"};
       }},
  };
  for (const Case& c : cases) {
    for (const bool olderOutput : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (olderOutput ? ", older output" : ", no output"));
      Scene s(olderOutput);
      const std::vector<std::string> names = c.arrange(s);
      const std::string output = s.window.outFileName;
      const Fingerprint inputBefore = FingerprintOf(s.input);
      const Fingerprint outputBefore = FingerprintOf(output);

      const std::optional<Failure> failure = Convert(s.window);
      ASSERT_TRUE(failure.has_value());
      EXPECT_EQ(failure->kind, c.kind) << failure->text;
      ExpectNames(*failure, names);
      EXPECT_TRUE(FingerprintOf(s.input) == inputBefore);
      EXPECT_TRUE(FingerprintOf(output) == outputBefore);
      EXPECT_EQ(std::filesystem::exists(s.output), olderOutput);
    }
  }
}

// With several faults at once, the one reported is the first in the order
// the run checks them: the scale, the same file, the input, the template.
TEST(FileFaultTest, TheFirstFaultInOrderIsTheOneReported) {
  Scene s;
  s.window.scale = "";
  s.window.outFileName = s.input;
  s.window.templatePath = s.dir.File("missing-template.txt");
  const Fingerprint inputBefore = FingerprintOf(s.input);

  std::optional<Failure> failure = Convert(s.window);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, ErrorKind::InvalidScale);

  s.window.scale = "20.0";
  failure = Convert(s.window);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, ErrorKind::SameFile);

  s.window.outFileName = s.output;
  s.window.inFileName = Platform::TextOf(s.dir.Path());
  failure = Convert(s.window);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, ErrorKind::FileError);
  ExpectNames(*failure, {Platform::TextOf(s.dir.Path()) + "\""});

  s.window.inFileName = s.input;
  failure = Convert(s.window);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->kind, ErrorKind::FileError);
  ExpectNames(*failure, {"missing-template.txt"});

  EXPECT_EQ(ReadFile(s.output), kOlderOutput);
  EXPECT_TRUE(FingerprintOf(s.input) == inputBefore);
  // In one-brush mode the template is never read, so the same run succeeds.
  s.window.mapOrBrush = 1;
  EXPECT_FALSE(Convert(s.window).has_value());
}

// An input of 2 GiB or more cannot be addressed by the 32-bit positions of
// the text: it is refused from its length, before a byte of it is read (so
// the window never gets the time a chunked read would give it), and the
// sparse file itself is left as it was.
TEST(FileFaultTest, InputsOfTwoGiBOrMoreAreRefusedFromTheirLength) {
  for (const std::uintmax_t size : {std::uintmax_t{2147483647}, std::uintmax_t{5} << 30}) {
    SCOPED_TRACE(size);
    Scene s;
    std::filesystem::resize_file(s.input, size);  // sparse: no disk used
    const Fingerprint inputBefore = FingerprintOf(s.input);

    const std::optional<Failure> failure = Convert(s.window);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->kind, ErrorKind::Overflow);
    ExpectNames(*failure, {s.input, std::to_string(size) + " bytes", "2 GiB"});
    EXPECT_EQ(s.window.doEvents, 1);  // the run's own, after "Reading file.."
    EXPECT_TRUE(FingerprintOf(s.input) == inputBefore);
    EXPECT_EQ(ReadFile(s.output), kOlderOutput);
  }
}

// From the first write on, an output that cannot be written is a file
// error naming the path and the system's reason; the input stays as it was.
TEST(FileFaultTest, AnOutputThatCannotBeWrittenIsAFileError) {
  struct Case {
    const char* name;
    const char* needs;                           // a place the machine must have, or none
    std::function<std::string(Scene&)> arrange;  // gives the output path
    std::vector<std::string> reasons;            // one of them must be named
  };
  const Case cases[] = {
      {"folder missing",
       nullptr,
       [](Scene& s) { return s.dir.File("no-such-folder/out.t3d"); },
       {"No such file or directory"}},
      {"output is a folder",
       nullptr,
       [](Scene& s) {
         std::filesystem::create_directory(s.dir.File("out.t3d"));
         return s.dir.File("out.t3d");
       },
       {"Is a directory"}},
      // A place nobody may create files in, root included (chmod does not
      // stop root, so a read-only folder of our own would prove nothing).
      {"folder that takes no new files",
       "/sys",
       [](Scene&) { return std::string("/sys/kelvane.t3d"); },
       {"Permission denied", "Read-only file system"}},
      {"disk full",
       "/dev/full",
       [](Scene&) { return std::string("/dev/full"); },
       {"No space left on device"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.needs != nullptr && !std::filesystem::exists(c.needs)) continue;
    Scene s(false);
    s.window.outFileName = c.arrange(s);
    const Fingerprint inputBefore = FingerprintOf(s.input);
    for (const int mode : {0, 1}) {
      s.window.mapOrBrush = mode;
      const std::optional<Failure> failure = Convert(s.window);
      ASSERT_TRUE(failure.has_value());
      EXPECT_EQ(failure->kind, ErrorKind::FileError);
      ExpectNames(*failure, {"\"" + s.window.outFileName + "\""});
      EXPECT_TRUE(std::any_of(c.reasons.begin(), c.reasons.end(), [&](const std::string& r) {
        return failure->text.find(r) != std::string::npos;
      })) << failure->text;
    }
    EXPECT_TRUE(FingerprintOf(s.input) == inputBefore);
  }
  EXPECT_FALSE(std::filesystem::exists("/sys/kelvane.t3d"));
}

// Permissions that stop an ordinary user: a folder without write
// permission for the output, a template without read permission. Returns
// 0 when both are refused as they should be, else a code for what was not.
int CheckPermissionFaults() {
  {
    Scene s(false);
    const std::string folder = s.dir.File("read-only");
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    s.window.outFileName = folder + "/out.t3d";
    const std::optional<Failure> failure = Convert(s.window);
    if (!failure || failure->kind != ErrorKind::FileError ||
        failure->text.find("\"" + s.window.outFileName + "\": Permission denied") ==
            std::string::npos)
      return 1;
  }
  {
    Scene s;
    std::filesystem::permissions(s.mapTemplate, std::filesystem::perms::none);
    const std::optional<Failure> failure = Convert(s.window);
    if (!failure || failure->kind != ErrorKind::FileError ||
        failure->text.find("\"" + s.mapTemplate + "\": Permission denied") == std::string::npos)
      return 2;
    if (ReadFile(s.output) != kOlderOutput) return 3;
  }
  return 0;
}

// Root passes every permission check, so as root the checks run in a child
// that has given up root for an ordinary user (nobody, 65534).
TEST(FileFaultTest, PermissionsRefuseTheOutputFolderAndTheTemplate) {
  if (::geteuid() != 0) {
    EXPECT_EQ(CheckPermissionFaults(), 0);
    return;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(77);
    ::_exit(CheckPermissionFaults());
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "root cannot give up its rights here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: output folder, 2: template, 3: older output changed";
}

// An empty input is an empty model, not a fault: a complete document with
// no object in it.
TEST(FileFaultTest, AnEmptyInputGivesAnEmptyDocument) {
  Scene s;
  WriteFile(s.input, "");
  EXPECT_FALSE(Convert(s.window).has_value());
  EXPECT_EQ(ReadFile(s.output), std::string(kTemplate) + "\r\nEnd Map\r\n");
  s.window.mapOrBrush = 1;
  EXPECT_FALSE(Convert(s.window).has_value());
  EXPECT_EQ(ReadFile(s.output), "Begin PolyList\r\n\r\nEnd PolyList\r\n");
  EXPECT_EQ(ReadFile(s.input), "");
}

// kelvane-convert, run as a user would, under a file-size limit that the
// output reaches part-way through: the run ends with exit status 1 and a
// line naming the file and the reason. A new output holds exactly the whole
// pieces written before the failing one (none: it is removed again); over
// an earlier output the side file holds them (none: it is removed too),
// and the earlier output is as it was.
TEST(FileFaultTest, ADiskThatFillsUpLeavesTheWholePiecesWrittenBefore) {
  TempDir dir;
  const std::string input = dir.File("four.3dmf");
  const std::string mapTemplate = dir.File("StartMapFile.txt");
  WriteFile(input,
            "Polyhedron (\n4 0 4\n0 0 0 1 0 0 0 1 0 0 0 1\n0 1 2\n0 1 3\n0 2 3\n1 2 3\n)\n"
            "TriMesh (\n1 0 0 0 3 0\n0 1 2\n5 5 5 6 5 5 5 6 5\n)\n");
  WriteFile(mapTemplate, kTemplate);
  const std::string inputBefore = ReadFile(input);

  for (const bool oneBrush : {true, false}) {
    SCOPED_TRACE(oneBrush ? "one brush" : "map");
    std::vector<std::string> args = {KELVANE_CONVERT, "--quiet",   "--no-pictures",
                                     "--template",    mapTemplate, input};
    if (oneBrush) args.insert(args.begin() + 1, "--one-brush");
    const std::string full = dir.File("full.t3d");
    std::vector<std::string> fullArgs = args;
    fullArgs.push_back(full);
    std::string err;
    ASSERT_EQ(testing_support::RunProgram(fullArgs, err), 0) << err;
    const std::string expected = ReadFile(full);

    // Where pieces end: the head, and before each piece that follows it.
    const std::size_t headEnd =
        oneBrush ? std::string("Begin PolyList\r\n\r\n").size() : std::string(kTemplate).size() + 2;
    std::vector<std::size_t> ends = {0, headEnd, expected.size()};
    for (const char* start : {"Begin Polygon", "End PolyList", "Begin Actor", "Begin PolyList",
                              "End Brush", "End Map"}) {
      for (std::size_t at = expected.find(start, headEnd); at != std::string::npos;
           at = expected.find(start, at + 1))
        ends.push_back(at);
    }
    std::sort(ends.begin(), ends.end());
    const std::size_t thirdPolygon = expected.find("Link= 2");
    ASSERT_NE(thirdPolygon, std::string::npos);

    // No earlier output, a whole one, and one a failed run left unfinished.
    const std::string wholeOutput = "Begin Map\r\nEnd Map\r\n";
    for (const std::string& earlier : {std::string(), wholeOutput, std::string(kOlderOutput)}) {
      const bool older = !earlier.empty();
      for (const rlim_t limit : {rlim_t{5}, rlim_t{headEnd}, rlim_t{thirdPolygon + 40}}) {
        SCOPED_TRACE(std::to_string(limit) + (older ? " over " + earlier : ""));
        const std::string output = dir.File("out.t3d");
        const std::string side = output + ".partial";
        std::filesystem::remove(output);
        std::filesystem::remove(side);
        if (older) WriteFile(output, earlier);
        std::vector<std::string> limitedArgs = args;
        limitedArgs.push_back(output);
        EXPECT_EQ(testing_support::RunProgram(limitedArgs, err, limit), 1);
        const std::string written = older ? side : output;
        EXPECT_NE(err.find("kelvane-convert: File error: Cannot write \"" + written +
                           "\": File too large"),
                  std::string::npos)
            << err;
        const std::size_t kept = *std::prev(std::upper_bound(ends.begin(), ends.end(), limit));
        if (kept == 0) {
          EXPECT_FALSE(std::filesystem::exists(written));
        } else {
          EXPECT_EQ(ReadFile(written), expected.substr(0, kept));
        }
        if (older) {
          EXPECT_EQ(ReadFile(output), earlier);
          if (kept > 0) {
            const std::string asItWas =
                earlier == wholeOutput
                    ? " is as it was, and"
                    : " is as it was (itself without a document's end, as a failed run leaves "
                      "it), and";
            EXPECT_NE(err.find("\"" + output + "\"" + asItWas + " what this run wrote is in \"" +
                               side + "\""),
                      std::string::npos)
                << err;
          }
        } else {
          // The error counts the polygons that made it to the disk, and
          // says nothing of pieces when not even the head did.
          std::size_t polygons = 0;
          const std::string pieces = expected.substr(0, kept);
          for (std::size_t at = pieces.find("Begin Polygon"); at != std::string::npos;
               at = pieces.find("Begin Polygon", at + 1))
            ++polygons;
          const std::string left = "; \"" + output +
                                   "\" holds the pieces this run wrote before the failure (" +
                                   std::to_string(polygons) + (polygons == 1 ? " polygon" : " polygons") +
                                   "), without the document's end\n";
          if (kept == 0) {
            EXPECT_EQ(err.find("holds the pieces"), std::string::npos) << err;
          } else {
            EXPECT_NE(err.find(left), std::string::npos) << err;
          }
        }
      }
    }
  }
  EXPECT_EQ(ReadFile(input), inputBefore);
}

// An editor document goes through one stream into a side file that takes
// the output's place only whole. A run that fails part-way leaves the
// output as it was, or absent, and the side file holding whole pieces: all
// of them before a data error; after a full disk, the blocks written before
// the one it refused (none: the side file goes again). The error names it.
TEST(FileFaultTest, AFailedEditorDocumentLeavesTheOutputAndWholePiecesBeside) {
  TempDir dir;
  // A strip of triangles over points (j, j % 2, 0); with `badRow`, that row
  // names a point past the table.
  const auto strip = [](int triangles, int badRow, bool wholeFormat) {
    std::string text = wholeFormat ? "3DMetafile ( 1 6 Normal )\nTriMesh (\n" : "TriMesh (\n";
    text += std::to_string(triangles) + " 0 0 0 " + std::to_string(triangles + 2) + " 0\n";
    for (int r = 0; r < triangles; ++r) {
      const int last = r == badRow ? triangles + 2 : r + 2;
      text += std::to_string(r) + " " + std::to_string(r + 1) + " " + std::to_string(last) + "\n";
    }
    for (int j = 0; j < triangles + 2; ++j) text += std::to_string(j) + " " + std::to_string(j % 2) + " 0\n";
    if (wholeFormat) text += "0 0 0 1 1 0 False\n";
    return text + ")\n";
  };
  const std::string input = dir.File("strip.3dmf");
  const std::string output = dir.File("strip.t3d");
  const std::string side = output + ".partial";
  const auto convert = [&](const std::string& model, const std::string& to, bool wholeFormat,
                           rlim_t limit, std::string& err) {
    WriteFile(input, model);
    std::vector<std::string> args = {KELVANE_CONVERT, "--quiet", "--no-pictures", "--one-brush",
                                     "--editor-frame", "--scale", "1", input, to};
    if (wholeFormat) args.insert(args.begin() + 1, {"--reader", "3dmf"});
    return testing_support::RunProgram(args, err, limit);
  };
  // The document as a run writes it whole, and the part of it before its
  // tail (the pieces of polygons kept).
  const auto whole = [&](const std::string& model, bool wholeFormat) {
    std::string err;
    const std::string complete = dir.File("complete.t3d");
    EXPECT_EQ(convert(model, complete, wholeFormat, RLIM_INFINITY, err), 0) << err;
    return ReadFile(complete);
  };
  const auto beforeTail = [](const std::string& document) {
    return document.substr(0, document.rfind("End PolyList"));
  };
  // Enough triangles that the document takes more than one block.
  constexpr int kMany = 14000;
  const std::string many = whole(strip(kMany, -1, false), false);
  ASSERT_GT(many.size(), Unreal::T3dWriter::kStreamBlock + 100000);
  // The side file it was made in became the output: a file as any other
  // the user makes, with the permissions the umask leaves.
  EXPECT_EQ(std::filesystem::status(dir.File("complete.t3d")).permissions(),
            std::filesystem::status(input).permissions());
  // The first block ends with the piece that takes it to a block or more.
  const std::size_t firstBlock =
      many.find("End Polygon\r\n\r\n", Unreal::T3dWriter::kStreamBlock - 15) + 15;

  struct Case {
    const char* name;
    std::string model;
    bool wholeFormat;
    rlim_t limit;
    std::string error;
    // What the side file holds; nothing when it is gone.
    std::optional<std::string> side;
  };
  const Case cases[] = {
      {"a bad index in the fourth row", strip(6, 3, false), false, RLIM_INFINITY,
       "Out of range: Point index 8 is outside the table 0 to 7",
       beforeTail(whole(strip(3, -1, false), false))},
      {"a bad index, whole-format reader", strip(6, 3, true), true, RLIM_INFINITY,
       // It reads the whole object before it writes any of it.
       "Out of range: Point index 8 is outside the table 0 to 7", "Begin PolyList\r\n\r\n"},
      {"a full disk in the first block", strip(6, -1, false), false, 500,
       "File error: Cannot write \"" + side + "\": File too large", std::nullopt},
      {"a full disk past the first block", strip(kMany, -1, false), false,
       static_cast<rlim_t>(many.size() - 1000),
       "File error: Cannot write \"" + side + "\": File too large", many.substr(0, firstBlock)},
  };
  for (const Case& c : cases) {
    for (const bool earlier : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (earlier ? ", over an earlier output" : ""));
      std::filesystem::remove(output);
      std::filesystem::remove(side);
      // An earlier whole document, as a finished run leaves it.
      const std::string older = "Begin Map\r\nEnd Map\r\n";
      if (earlier) WriteFile(output, older);
      std::string err;
      EXPECT_EQ(convert(c.model, output, c.wholeFormat, c.limit, err), 1);
      EXPECT_NE(err.find("kelvane-convert: " + c.error), std::string::npos) << err;
      if (earlier) {
        EXPECT_EQ(ReadFile(output), older);
      } else {
        EXPECT_FALSE(std::filesystem::exists(output));
      }
      if (!c.side) {
        EXPECT_FALSE(std::filesystem::exists(side));
        continue;
      }
      EXPECT_EQ(ReadFile(side), *c.side);
      EXPECT_NE(err.find("; \"" + output + (earlier ? "\" is as it was" : "\" was not written") +
                         ", and what this run wrote is in \"" + side + "\""),
                std::string::npos)
          << err;
    }
  }
}

// The stream writes its block once it holds a block or more (a small one
// here), whole pieces each time: a document just under a block goes out
// when it is finished, one of a block or just over at its last piece, one
// of a block and a piece in two writes. Under a file-size limit of one
// block, a write past it fails: the side file keeps the blocks before, or
// goes when none went in, and the output does not appear.
TEST(FileFaultTest, TheStreamWritesWholePiecesInBlocks) {
  constexpr std::size_t kBlock = 1000;
  constexpr std::size_t kHead = 16;  // "Begin PolyList" and CR LF
  constexpr std::size_t kTail = 14;  // "End PolyList" and CR LF
  struct Case {
    const char* name;
    std::size_t document;
    rlim_t limit;
    // The side file's length after the last piece, before the document is
    // finished.
    std::size_t beforeFinishing;
    // What is left after a failure (0: no side file).
    std::optional<std::size_t> afterFailure;
  };
  const Case cases[] = {
      {"just under a block", kBlock - 1, RLIM_INFINITY, 0, std::nullopt},
      {"one block", kBlock, RLIM_INFINITY, kBlock, std::nullopt},
      {"just over a block", kBlock + 1, RLIM_INFINITY, kBlock + 1, std::nullopt},
      {"a block and a piece", kBlock + kTail, RLIM_INFINITY, kBlock, std::nullopt},
      {"one block, the disk full at a block", kBlock, kBlock, kBlock, std::nullopt},
      {"just over a block, the disk full at a block", kBlock + 1, kBlock, 0, 0},
      {"a block and a piece, the disk full at a block", kBlock + kTail, kBlock, kBlock, kBlock},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string output = dir.File("out.t3d");
    const std::string side = output + ".partial";
    // The head, records of up to 100 bytes and the tail, `document` bytes
    // in all.
    std::vector<std::string> records;
    for (std::size_t left = c.document - kHead - kTail; left > 0;) {
      const std::size_t size = std::min<std::size_t>(left, 100);
      records.push_back(std::string(size - 2, 'x') + "\r\n");
      left -= size;
    }
    std::string document = "Begin PolyList\r\n";
    for (const std::string& record : records) document += record;
    document += "End PolyList\r\n";
    ASSERT_EQ(document.size(), c.document);

    // 0: finished; 1: failed, the error naming the side file; 2: the side
    // file's length before finishing was another; 3: another error.
    const int status = testing_support::RunWithFileSizeLimit(c.limit, [&] {
      Unreal::T3dWriter writer(output, {}, Unreal::T3dWriter::Output::kFile,
                               Unreal::T3dWriter::Writes::kStream, kBlock);
      try {
        writer.StartDocument();
        writer.WritePiece("Begin PolyList", false);
        for (const std::string& record : records) writer.AppendRecord(record);
        writer.WritePiece("End PolyList", true);
        std::error_code error;
        const std::uintmax_t length = std::filesystem::file_size(side, error);
        if ((error ? 0 : length) != c.beforeFinishing) return 2;
        writer.FinishDocument();
        return 0;
      } catch (const RunError& e) {
        writer.Abandon();
        return e.what() == "Cannot write \"" + side + "\": File too large" ? 1 : 3;
      }
    });
    EXPECT_EQ(status, c.afterFailure ? 1 : 0);
    if (!c.afterFailure) {
      EXPECT_EQ(ReadFile(output), document);
      EXPECT_FALSE(std::filesystem::exists(side));
    } else {
      EXPECT_FALSE(std::filesystem::exists(output));
      if (*c.afterFailure == 0) {
        EXPECT_FALSE(std::filesystem::exists(side));
      } else {
        EXPECT_EQ(ReadFile(side), document.substr(0, *c.afterFailure));
      }
    }
  }
}

// The new document takes the earlier one's place as the user had it: its
// permissions, and a link to it stays a link that now leads to the new one.
TEST(FileFaultTest, ReplacingAnEarlierOutputKeepsItsModeAndLinks) {
  namespace fs = std::filesystem;
  Scene s;
  fs::permissions(s.output, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(Convert(s.window).has_value());
  EXPECT_NE(ReadFile(s.output).find("Begin Polygon"), std::string::npos);
  EXPECT_EQ(fs::status(s.output).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  const std::string link = s.dir.File("link.t3d");
  WriteFile(s.output, kOlderOutput);
  fs::create_symlink(s.output, link);
  s.window.outFileName = link;
  s.window.mapOrBrush = 1;
  EXPECT_FALSE(Convert(s.window).has_value());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(s.output).rfind("Begin PolyList", 0), 0u);
  EXPECT_FALSE(fs::exists(s.output + ".partial"));
  EXPECT_FALSE(fs::exists(link + ".partial"));
}

// Every file a run makes gets 0666 less the umask, the side file beside an
// earlier output included (it once got whatever the stack held).
TEST(FileFaultTest, NewFilesTakeTheirModeFromTheUmask) {
  constexpr char kTexturedModel[] =
      "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 1 0\n0 1 2\n)\n"
      "PixmapTexture (\n1 1 3 24\n0x0000FF\n)\n";
  constexpr char kFailingModel[] = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 1 0\n0 1 7\n)\n";
  const auto modeOf = [](const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  };
  for (const mode_t mask : {mode_t{022}, mode_t{027}, mode_t{077}, mode_t{0}}) {
    SCOPED_TRACE(mask);
    const mode_t before = ::umask(mask);
    const mode_t expected = 0666 & ~mask;
    Scene fresh(false);
    WriteFile(fresh.input, kTexturedModel);
    fresh.window.bitmapFolder = fresh.dir.File("");
    EXPECT_FALSE(Convert(fresh.window).has_value());
    EXPECT_EQ(modeOf(fresh.output), expected);
    EXPECT_EQ(modeOf(fresh.dir.File("texture_1.bmp")), expected);

    Scene over;  // an earlier output: the failed run writes a side file
    WriteFile(over.input, kFailingModel);
    ASSERT_TRUE(Convert(over.window).has_value());
    EXPECT_EQ(ReadFile(over.output), kOlderOutput);
    EXPECT_EQ(modeOf(over.output + ".partial"), expected);
    ::umask(before);
  }
}

// What the user of kelvane-convert sees for the faults found before the
// first write: exit status 1, one line with the kind, the path and the
// reason, and an older output left as it was.
TEST(FileFaultTest, KelvaneConvertNamesTheKindPathAndReason) {
  TempDir dir;
  const std::string input = dir.File("model.3dmf");
  const std::string output = dir.File("model.t3d");
  const std::string mapTemplate = dir.File("StartMapFile.txt");
  WriteFile(input, kModel);
  WriteFile(mapTemplate, kTemplate);
  struct Case {
    std::vector<std::string> args;
    std::string line;
  };
  const std::string missing = dir.File("missing.3dmf");
  // (A folder as the input converts the models in it: tests/app/BatchTest.cpp.)
  const Case cases[] = {
      {{"--scale", "x", input, output}, "kelvane-convert: Invalid scale: The scale \"x\""},
      {{input, input}, "kelvane-convert: Same file: The output \"" + input + "\""},
      {{missing, output},
       "kelvane-convert: File error: Cannot open \"" + missing + "\": No such file or directory"},
      {{"--template", missing, input, output},
       "kelvane-convert: File error: Cannot open \"" + missing + "\": No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    WriteFile(output, kOlderOutput);
    std::vector<std::string> args = {KELVANE_CONVERT, "--quiet", "--template", mapTemplate};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string err;
    EXPECT_EQ(testing_support::RunProgram(args, err), 1);
    EXPECT_EQ(err.rfind(c.line, 0), 0u) << err;
    EXPECT_EQ(ReadFile(output), kOlderOutput);
    EXPECT_EQ(ReadFile(input), kModel);
  }
}

// Texture bitmaps are named after the output; an input whose name is
// that of a bitmap is read, and not written over.
TEST(FileFaultTest, KelvaneConvertNeverSavesABitmapOverTheInput) {
  TempDir dir;
  const std::string input = dir.File("model_1.bmp");
  const std::string model =
      "PixmapTexture (\n1 1 3 24\n0x0000FF\n)\n"
      "TriMesh (\n1 0 0 0 3 0\n0 1 2\n0 0 0 1 0 0 0 1 0\n)\n";
  WriteFile(input, model);
  std::string err;
  EXPECT_EQ(testing_support::RunProgram(
                {KELVANE_CONVERT, "--quiet", "--one-brush", input, dir.File("model.t3d")}, err),
            0)
      << err;
  EXPECT_EQ(ReadFile(input), model);
  EXPECT_NE(err.find("texture 1 not saved: \"" + input + "\" is the input"), std::string::npos)
      << err;
  EXPECT_NE(ReadFile(dir.File("model.t3d")).find("Begin Polygon"), std::string::npos);
}

}  // namespace
