#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/cli/Batch.h"
#include "platform/Platform.h"

namespace {

using Kelvane::Cli::BatchFile;
using Kelvane::Cli::ChildArguments;
using Kelvane::Cli::Options;
using Kelvane::Cli::ParseArguments;
using Kelvane::Cli::UsageError;
using testing_support::TempDir;
using testing_support::WriteFile;

// A folder of models: a.3dmf, B.3DMF, notes.txt, sub/c.3dmf, sub/d.Q3D, empty/.
struct Models {
  TempDir dir;
  Models() {
    for (const char* name : {"a.3dmf", "B.3DMF", "notes.txt", "sub/c.3dmf", "sub/d.Q3D"}) {
      std::filesystem::create_directories(Kelvane::Platform::PathOf(dir.File(name)).parent_path());
      WriteFile(dir.File(name), "Polyhedron (\n)\n");
    }
    std::filesystem::create_directory(Kelvane::Platform::PathOf(dir.File("empty")));
  }
  // The plan's files as "input -> output", relative to the folder.
  std::vector<std::string> Plan(Options options, std::vector<std::string>* warnings = nullptr) {
    std::vector<std::string> told;
    const std::vector<BatchFile> files = PlanBatch(options, told);
    if (warnings != nullptr) *warnings = told;
    std::vector<std::string> lines;
    const std::string root = dir.File("");
    for (const BatchFile& file : files) {
      std::string line = file.input.substr(root.size()) + " -> " + file.output.substr(root.size());
      std::replace(line.begin(), line.end(), '\\', '/');  // Windows paths use either separator
      lines.push_back(line);
    }
    return lines;
  }
};

TEST(BatchPlanTest, FoldersGiveTheirModelsSortedAndOutputsGoBesideOrIntoOutDir) {
  Models m;
  Options beside;
  beside.paths = {m.dir.File("")};
  EXPECT_EQ(m.Plan(beside), (std::vector<std::string>{"B.3DMF -> B.t3d", "a.3dmf -> a.t3d"}));

  Options deep = beside;
  deep.recursive = true;
  deep.outDirGiven = true;
  deep.outDir = m.dir.File("out");
  // Below --out-dir the models keep the subfolders they came from.
  EXPECT_EQ(m.Plan(deep), (std::vector<std::string>{"B.3DMF -> out/B.t3d", "a.3dmf -> out/a.t3d",
                                                    "sub/c.3dmf -> out/sub/c.t3d",
                                                    "sub/d.Q3D -> out/sub/d.t3d"}));
  EXPECT_TRUE(std::filesystem::is_directory(Kelvane::Platform::PathOf(deep.outDir)));
  EXPECT_TRUE(std::filesystem::is_directory(Kelvane::Platform::PathOf(m.dir.File("out/sub"))));

  Options empty;
  empty.paths = {m.dir.File("empty"), m.dir.File("a.3dmf")};
  std::vector<std::string> warnings;
  EXPECT_EQ(m.Plan(empty, &warnings), (std::vector<std::string>{"a.3dmf -> a.t3d"}));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("no 3DMF model (.3dmf, .3dm, .q3d or .qd3d) in the folder"), std::string::npos);
}

TEST(BatchPlanTest, ClashesAreRefusedBeforeAnythingIsWritten) {
  Models m;
  const auto refused = [&](Options options, const std::string& part) {
    std::vector<std::string> warnings;
    try {
      PlanBatch(options, warnings);
      ADD_FAILURE() << "planned: " << part;
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  };
  Options sameOutput;  // a.3dmf and sub/a.3dmf would both go to out/a.t3d
  sameOutput.paths = {m.dir.File("a.3dmf"), m.dir.File("sub/a.3dmf")};
  WriteFile(m.dir.File("sub/a.3dmf"), "");
  sameOutput.outDirGiven = true;
  sameOutput.outDir = m.dir.File("out");
  refused(sameOutput, "would both be written to");
  EXPECT_FALSE(std::filesystem::exists(Kelvane::Platform::PathOf(m.dir.File("out"))));

  Options sameBitmaps;  // different outputs, one textures folder
  sameBitmaps.paths = {m.dir.File("a.3dmf"), m.dir.File("sub/a.3dmf"), m.dir.File("B.3DMF")};
  sameBitmaps.settings.texturesFolder = m.dir.File("tex");
  refused(sameBitmaps, "would both save their textures as");

  Options overModel;  // an output that is a model
  WriteFile(m.dir.File("d.3dmf"), "3DMetafile ( 1 6 Normal toc> )\n");
  WriteFile(m.dir.File("d.t3d"), "3DMetafile ( 1 6 Normal toc> )\n");
  overModel.paths = {m.dir.File("d.3dmf"), m.dir.File("a.3dmf"), m.dir.File("B.3DMF")};
  refused(overModel, "it is a 3DMF model");

  Options preview;
  preview.paths = {m.dir.File("")};
  preview.preview = m.dir.File("p.png");
  refused(preview, "--preview draws one conversion");

  Options outDirIsAFile;
  outDirIsAFile.paths = {m.dir.File("a.3dmf")};
  outDirIsAFile.outDirGiven = true;
  outDirIsAFile.outDir = m.dir.File("notes.txt");
  refused(outDirIsAFile, "is not a folder");
}

// What a file's conversion takes from its options, as one text.
std::string PerFile(const Options& o) {
  const Kelvane::RunSettings& s = o.settings;
  return s.scale + "|" + std::to_string(s.oneBrush) + std::to_string(s.pictures) +
         std::to_string(s.wholeFormat) + std::to_string(s.textureMapping) +
         std::to_string(s.powerOfTwo) + std::to_string(static_cast<int>(s.engine)) + "|" +
         (s.fit.Asked() ? std::to_string(s.fit.Resolve()) : "-") + "|" +
         std::to_string(s.bitmapDepth) + "|" + s.texturesFolder + "|" + s.templatePath + "|" +
         o.preview + "|" + std::to_string(o.previewWidth) + "x" + std::to_string(o.previewHeight);
}

TEST(BatchPlanTest, EachChildConvertsWithTheOptionsItsParentWasGiven) {
  const std::vector<std::vector<std::string>> commands = {
      {"a", "b", "c"},
      {"a", "--out-dir", "o", "--scale=-2.5", "--one-brush", "--no-pictures", "-q", "-r"},
      {"a", "b", "c", "--reader", "3dmf", "--reader=keywords", "--editor-frame", "--fit", "0.5"},
      {"a", "--out-dir", "o", "--uv", "--pow2", "--textures", "t x", "--template=m.txt",
       "--jobs", "3"},
      {"a", "--out-dir=o", "--preview", "p.png", "--preview-size", "64X48", "--scale", ""},
  };
  for (const auto& command : commands) {
    const Options parent = ParseArguments(command).options;
    const BatchFile file{.input = "in.3dmf", .output = "out.t3d"};
    std::vector<std::string> child = ChildArguments(parent, file, "kelvane-convert");
    child.erase(child.begin());
    const Options options = ParseArguments(child).options;
    EXPECT_EQ(PerFile(options), PerFile(parent)) << command[1];
    EXPECT_EQ(options.paths, (std::vector<std::string>{"in.3dmf", "out.t3d"}));
    EXPECT_TRUE(options.quiet && options.resultLine);
    EXPECT_FALSE(Kelvane::Cli::IsBatch(options));
  }
}

}  // namespace
