// kelvane-convert with many inputs, run as a process as a user runs it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ModelOutputCases.h"
#include "TestSupport.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using Result = testing_support::ProgramRun;

// Runs kelvane-convert in `cwd` with the arguments ('...' holds blanks
// together).
Result Convert(const fs::path& cwd, const std::string& arguments) {
  return testing_support::RunConvert(arguments, Platform::TextOf(cwd));
}

// Every file and folder under `root` by its relative name, with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = Platform::TextOf(fs::relative(entry.path(), root));
    files[name] = entry.is_directory() ? "<folder>" : ReadFile(Platform::TextOf(entry.path()));
  }
  return files;
}

// Names the files that differ rather than printing them: a T3D document
// runs to megabytes.
std::string Differences(const std::map<std::string, std::string>& actual,
                        const std::map<std::string, std::string>& expected) {
  std::string differ;
  for (const auto& [name, bytes] : expected) {
    const auto it = actual.find(name);
    if (it == actual.end())
      differ += " missing " + name + ";";
    else if (it->second != bytes)
      differ += " changed " + name + ";";
  }
  for (const auto& [name, bytes] : actual) {
    if (!expected.contains(name)) differ += " extra " + name + ";";
  }
  return differ;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A relative path as the program writes it when it joins a folder and a
// name: with the system's separator.
std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', Platform::kPathSeparator);
  return path;
}

std::string Sample(const std::string& name) {
  return ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/" + name);
}

const std::string kTriangle = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 2\n)\n";
const std::string kBadIndex = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 7\n";
const std::string kBadIndexError =
    "Out of range: Point index 7 is outside the table 0 to 2 (input line 4, column 5)";
const std::string kBadIndexLeft =
    "; \"bad.t3d\" holds the pieces this run wrote before the failure (0 polygons), without the "
    "document's end";

// Textures, a binary model of thousands of polygons, a model the keyword
// reader fails on: one run per file is the reference for every batch form.
TEST(BatchTest, BatchOutputsEqualOneRunPerFile) {
  const std::vector<std::string> models = {"texture-wrapping.3dmf", "uv-transform.3dmf",
                                           "binary-Quesa-Logo.3dmf", "Mesh.3dmf"};
  for (const std::string options : {"", "--reader 3dmf", "--one-brush --scale 3 --no-pictures",
                                    "--editor-frame --fit 300 --uv"}) {
    SCOPED_TRACE(options);
    TempDir single, jobs1, jobs4, outDir;
    for (const TempDir* dir : {&single, &jobs1, &jobs4}) {
      for (const std::string& model : models) WriteFile(dir->File(model), Sample(model));
    }
    bool anyFailed = false;
    for (const std::string& model : models)
      anyFailed |= Convert(single.Path(), model + " " + options).status != 0;
    const auto reference = Snapshot(single.Path());
    ASSERT_GT(reference.size(), models.size());

    const std::string expected = anyFailed ? "1" : "0";
    std::string paths;
    for (const std::string& model : models) paths += model + " ";
    Result result = Convert(jobs1.Path(), paths + "--jobs 1 " + options);
    EXPECT_EQ(std::to_string(result.status), expected) << result.err;
    EXPECT_EQ(Differences(Snapshot(jobs1.Path()), reference), "");

    result = Convert(jobs4.Path(), ". --jobs 4 " + options);
    EXPECT_EQ(std::to_string(result.status), expected) << result.err;
    EXPECT_EQ(Differences(Snapshot(jobs4.Path()), reference), "");

    result =
        Convert(single.Path(), ". --out-dir '" + Platform::TextOf(outDir.Path()) + "' " + options);
    EXPECT_EQ(std::to_string(result.status), expected) << result.err;
    auto outputs = reference;
    for (const std::string& model : models) outputs.erase(model);
    EXPECT_EQ(Differences(Snapshot(outDir.Path()), outputs), "");
  }
}

TEST(BatchTest, AFailingFileIsReportedWhileTheOthersConvert) {
  TempDir dir;
  WriteFile(dir.File("a.3dmf"), kTriangle);
  WriteFile(dir.File("bad.3dmf"), kBadIndex);
  WriteFile(dir.File("c.3dmf"), kTriangle + kTriangle);
  const Result result = Convert(dir.Path(), "a.3dmf bad.3dmf missing.3dmf c.3dmf --jobs 2");
  EXPECT_EQ(result.status, 1);

  // One line per file in the order given, then the total.
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 5u) << result.out;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"a.3dmf -> a.t3d: converted (keyword reader), 1 polygon, 0 bitmaps, ", " s"},
      {"bad.3dmf -> bad.t3d: failed, 0 polygons, ", " s: " + kBadIndexError + kBadIndexLeft},
      {"missing.3dmf -> missing.t3d: failed, 0 polygons, ",
       " s: File error: Cannot open \"missing.3dmf\": " + testing_support::kNoSuchFile},
      {"c.3dmf -> c.t3d: converted (keyword reader), 2 polygons, 0 bitmaps, ", " s"},
      {"Total: 4 files, 2 converted, 2 failed, 3 polygons, 0 bitmaps, ", " s"}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& [head, tail] = expected[i];
    EXPECT_EQ(lines[i].rfind(head, 0), 0u) << lines[i];
    EXPECT_GE(lines[i].size(), head.size() + tail.size()) << lines[i];
    EXPECT_EQ(lines[i].substr(lines[i].size() - tail.size()), tail) << lines[i];
  }
  // The error reaches stderr as it happens, naming its file.
  EXPECT_NE(result.err.find("kelvane-convert: bad.3dmf: " + kBadIndexError + kBadIndexLeft + "\n"),
            std::string::npos)
      << result.err;
  EXPECT_EQ(ReadFile(dir.File("bad.t3d")).rfind("Begin Map\r\n", 0), 0u);  // what was written stays
  EXPECT_NE(ReadFile(dir.File("c.t3d")).find("Name=Brush3"), std::string::npos);

  const Result quiet = Convert(dir.Path(), "a.3dmf bad.3dmf c.3dmf --quiet");
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(quiet.out, "");
  EXPECT_NE(quiet.err.find("bad.3dmf: " + kBadIndexError), std::string::npos);
}

TEST(BatchTest, RefusedRunsWriteNothing) {
  TempDir dir;
  for (const char* name : {"a/x.3dmf", "b/x.3dmf", "b/y.3dmf", "c/z.3dmf"}) {
    fs::create_directories(Platform::PathOf(dir.File(name)).parent_path());
    WriteFile(dir.File(name), kTriangle);
  }
  fs::create_directory(Platform::PathOf(dir.File("c/z.t3d")));
  WriteFile(dir.File("model.3dmf"), "3DMetafile ( 1 6 Normal toc> )\n" + kTriangle);

  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a/x.3dmf b/x.3dmf --out-dir out",
       "would both be written to \"" + Native("out/x.t3d") + "\"; convert them in separate runs"},
      {"a/x.3dmf b/y.3dmf a/x.3dmf", "would both be written to \"a/x.t3d\""},
      {"a/x.3dmf b/x.3dmf b/y.3dmf --textures .", "would both save their textures as \"x_N.bmp\""},
      {"c/z.3dmf --out-dir c", "the output \"" + Native("c/z.t3d") + "\" is a folder"},
      {"a/x.3dmf b/y.3dmf --out-dir out --preview p.png", "--preview draws one conversion"},
      {"b --preview p.png", "--preview draws one conversion; the folder holds 2 models"},
      {"a/x.3dmf --preview model.3dmf", "names the input, the output or a 3DMF model"},
      {"a/x.3dmf --preview p.png --preview-size 800", "--preview-size takes WIDTHxHEIGHT"},
      {"a/x.3dmf --preview p.png --preview-size 0x600", "--preview-size takes WIDTHxHEIGHT"},
      {"a b --jobs 0", "--jobs takes a whole number from 1 to 256"},
      {"a b --jobs many", "--jobs takes a whole number"},
      {"a/x.3dmf --out-dir model.3dmf", "--out-dir \"model.3dmf\" is not a folder"},
      {"c/z.t3d", "no 3DMF model (.3dmf, .3dm, .q3d or .qd3d) in the folder \"c/z.t3d\""},
      {"-r c/z.t3d empty", "in the folder \"c/z.t3d\" or its subfolders; no 3DMF model"},
      {"a/x.3dmf c", "the OUTPUT \"c\" is a folder; to write into it, give --out-dir \"c\""},
  };
  fs::create_directory(Platform::PathOf(dir.File("empty")));
  const auto before = Snapshot(dir.Path());
  for (const auto& [arguments, message] : cases) {
    const Result result = Convert(dir.Path(), arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_NE(result.err.find(message), std::string::npos) << arguments << "\n" << result.err;
    // One line, and no usage text after it.
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find("; see --help\n"), std::string::npos) << arguments;
    EXPECT_EQ(Differences(Snapshot(dir.Path()), before), "") << arguments;
  }
}

TEST(BatchTest, FolderInputsTakeTheirModelsInSortedOrder) {
  TempDir dir;
  fs::create_directories(Platform::PathOf(dir.File("m/sub/deeper")));
  fs::create_directory(Platform::PathOf(dir.File("empty")));
  for (const char* name :
       {"m/b.3dmf", "m/C.3DMF", "m/a.3Dmf", "m/sub/d.3dmf", "m/sub/deeper/e.3dmf"})
    WriteFile(dir.File(name), kTriangle);
  WriteFile(dir.File("m/notes.txt"), kTriangle);
  const auto inputs = [](const std::string& out) {
    std::vector<std::string> taken;
    for (const std::string& line : Lines(out)) {
      std::string input = line.substr(0, line.find(' '));
      std::replace(input.begin(), input.end(), Platform::kPathSeparator, '/');
      taken.push_back(input);
    }
    return taken;
  };

  Result result = Convert(dir.Path(), "m --quiet");  // one folder alone is a batch too
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::exists(Platform::PathOf(dir.File("m/C.t3d"))));
  EXPECT_FALSE(fs::exists(Platform::PathOf(dir.File("m/sub/d.t3d"))));
  EXPECT_FALSE(fs::exists(Platform::PathOf(dir.File("m/notes.t3d"))));

  result = Convert(dir.Path(), "m empty --out-dir out");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(inputs(result.out),
            (std::vector<std::string>{"m/C.3DMF", "m/a.3Dmf", "m/b.3dmf", "Total:"}));
  EXPECT_NE(result.err.find("warning: no 3DMF model (.3dmf, .3dm, .q3d or .qd3d) in the folder \"empty\""), std::string::npos);

  // Below --out-dir the subfolders are kept, so models of one name in two
  // of them do not clash.
  WriteFile(dir.File("m/sub/deeper/b.3dmf"), kTriangle + kTriangle);
  result = Convert(dir.Path(), "--recursive m --out-dir rec");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(inputs(result.out),
            (std::vector<std::string>{"m/C.3DMF", "m/a.3Dmf", "m/b.3dmf", "m/sub/d.3dmf",
                                      "m/sub/deeper/b.3dmf", "m/sub/deeper/e.3dmf", "Total:"}));
  for (const char* output : {"rec/C.t3d", "rec/b.t3d", "rec/sub/d.t3d", "rec/sub/deeper/b.t3d",
                             "rec/sub/deeper/e.t3d"}) {
    EXPECT_TRUE(fs::exists(Platform::PathOf(dir.File(output)))) << output;
  }
  EXPECT_NE(ReadFile(dir.File("rec/sub/deeper/b.t3d")).find("Name=Brush3"), std::string::npos);
  EXPECT_EQ(ReadFile(dir.File("rec/b.t3d")).find("Name=Brush3"), std::string::npos);
  EXPECT_FALSE(fs::exists(Platform::PathOf(dir.File("rec/e.t3d"))));
}

// A T3D document never goes over a 3DMF model: not as the OUTPUT of one
// input, not as an output of a batch. The refusal is one line; the model
// is as it was and nothing else is written.
TEST(BatchTest, NoOutputIsEverWrittenOverAModel) {
  for (const testing_support::ModelOutputCase& c : testing_support::ModelOutputCases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    WriteFile(dir.File("a.3dmf"), kTriangle);
    if (!c.bytes.empty()) WriteFile(dir.File(c.name), c.bytes);
    Result result = Convert(dir.Path(), "a.3dmf " + c.name);
    if (c.because.empty()) {
      EXPECT_EQ(result.status, 0) << result.err;
      EXPECT_EQ(ReadFile(dir.File(c.name)).rfind("Begin Map", 0), 0u);
      continue;
    }
    EXPECT_EQ(result.status, 2);
    const std::string line = "kelvane-convert: will not write a T3D document over \"" + c.name +
                             "\": it is a 3DMF model (";
    EXPECT_EQ(result.err.rfind(line, 0), 0u) << result.err;
    EXPECT_NE(result.err.find(c.because), std::string::npos) << result.err;
    EXPECT_EQ(result.err.substr(result.err.find('\n')), "\n") << result.err;
    // A model's name as OUTPUT may have been meant as a second input.
    EXPECT_NE(result.err.find(c.because.rfind("its name", 0) == 0
                                  ? "; choose another OUTPUT, or give --out-dir DIR to convert "
                                    "both; see --help"
                                  : "; choose another OUTPUT; see --help"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(ReadFile(dir.File(c.name)), c.bytes);
    EXPECT_EQ(fs::exists(Platform::PathOf(dir.File(c.name))), !c.bytes.empty());
    EXPECT_FALSE(fs::exists(Platform::PathOf(dir.File("a.t3d"))));

    // In a batch the outputs are INPUT.t3d: only what a file holds counts.
    if (c.bytes.empty() || !c.name.ends_with(".t3d")) continue;
    fs::create_directory(Platform::PathOf(dir.File("out")));
    WriteFile(dir.File("out/a.t3d"), c.bytes);
    WriteFile(dir.File("z.3dmf"), kTriangle);
    result = Convert(dir.Path(), "a.3dmf z.3dmf --out-dir out");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("\": it is a 3DMF model ("), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("; move it away or give another --out-dir; see --help"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(ReadFile(dir.File("out/a.t3d")), c.bytes);
    EXPECT_FALSE(fs::exists(Platform::PathOf(dir.File("out/z.t3d"))));
  }
}

TEST(BatchTest, PreviewAfterOneConversionAndOnlyAWarningWhenItFails) {
  TempDir dir;
  WriteFile(dir.File("a.3dmf"), kTriangle);
  const std::string kPngSignature = "\x89PNG\r\n\x1a\n";
  Result result = Convert(dir.Path(), "a.3dmf --preview p.png --preview-size 64x48");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out,
            "Wrote a.t3d (keyword reader): 1 polygon (20 x 20 x 0 units), 0 bitmaps\nWrote preview "
            "p.png: 64 x 48 "
            "pixels\n");
  EXPECT_EQ(ReadFile(dir.File("p.png")).substr(0, 8), kPngSignature);

  result = Convert(dir.Path(), "a.3dmf --out-dir o --preview q.png");  // a batch of one
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadFile(dir.File("q.png")).substr(0, 8), kPngSignature);

  result = Convert(dir.Path(), "a.3dmf out.t3d --preview none/p.png");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.err.find("warning: preview not written: "), std::string::npos) << result.err;
  EXPECT_NE(ReadFile(dir.File("out.t3d")).find("Begin Polygon"), std::string::npos);
}

}  // namespace
