#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/run/ConversionRun.h"
#include "app/FakeWindow.h"
#include "bench/ModelText.h"
#include "bench/Pieces.h"
#include "t3d/T3dWriter.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Converted {
  std::string document;
  std::size_t objectsTaken = 0;
  std::int32_t polygons = 0;
};

Converted Convert(const TempDir& dir, const std::string& model, bool oneBrush) {
  WriteFile(dir.File("model.3dmf"), model);
  FakeWindow window;
  window.inFileName = dir.File("model.3dmf");
  window.outFileName = dir.File("model.t3d");
  window.doPics = 0;
  window.mapOrBrush = oneBrush ? 1 : 0;
  window.templatePath = dir.File("template.txt");
  Kelvane::ConversionRun run(window.Settings(), window);
  const Kelvane::RunReport report = run.CommandGo_Click();
  return {ReadFile(window.outFileName), window.labelProgress.size(), report.polygons};
}

// The benchmark inputs must be what they claim: every triangle becomes one
// polygon, every object is taken as one object (no stray keyword in the
// text), and the piece sizes the floor program replays add up to the
// document, one piece per write.
TEST(BenchModelTest, EveryTriangleAndObjectIsConvertedOnce) {
  TempDir dir;
  // A template with lines that would end a piece if it were not skipped whole.
  const std::string templateText = "Begin Map\r\n\r\nEnd PolyList\r\nEnd Map\r\n";
  WriteFile(dir.File("template.txt"), templateText);
  struct Case {
    std::int64_t triangles;
    std::int64_t perObject;
  };
  // Small objects give every layout variant: TriMesh with and without edge
  // lines, one or two points a line; Mesh; Polyhedron.
  for (const Case c : {Case{1, 30000}, Case{5, 30000}, Case{1000, 30000}, Case{600, 50}}) {
    BenchModel::ModelSummary summary;
    const std::string model = BenchModel::ModelText(c.triangles, 3, &summary, c.perObject);
    const std::size_t objects =
        static_cast<std::size_t>(summary.triMeshes + summary.meshes + summary.polyhedra);
    EXPECT_EQ(summary.triangles, c.triangles);
    EXPECT_EQ(summary.bytes, static_cast<std::int64_t>(model.size()));
    if (c.triangles >= 3) {
      EXPECT_GE(summary.triMeshes, 1);
      EXPECT_GE(summary.meshes, 1);
      EXPECT_GE(summary.polyhedra, 1);
    }

    const Converted brush = Convert(dir, model, true);
    EXPECT_EQ(brush.polygons, c.triangles);
    EXPECT_EQ(brush.objectsTaken, objects) << c.triangles;
    const std::vector<std::uint32_t> pieces = BenchPieces::SplitPieces(brush.document, 0);
    ASSERT_EQ(pieces.size(), static_cast<std::size_t>(c.triangles) + 2);
    EXPECT_EQ(std::accumulate(pieces.begin(), pieces.end(), std::size_t{0}), brush.document.size());
    EXPECT_EQ(pieces.front(), std::string("Begin PolyList\r\n\r\n").size());
    std::size_t at = pieces.front();
    for (std::size_t i = 1; i + 1 < pieces.size(); ++i) {
      const std::string piece = brush.document.substr(at, pieces[i]);
      ASSERT_EQ(piece.rfind("Begin Polygon", 0), 0u) << i;
      ASSERT_EQ(piece.substr(piece.size() - 15), "End Polygon\r\n\r\n") << i;
      at += pieces[i];
    }

    const Converted map = Convert(dir, model, false);
    EXPECT_EQ(map.polygons, c.triangles);
    // Template; per object: actor head, list head, list end, actor tail.
    EXPECT_EQ(BenchPieces::SplitPieces(map.document, templateText.size()).size(),
              1 + 4 * objects + static_cast<std::size_t>(c.triangles) + 1);
  }
}

TEST(BenchModelTest, SameSeedSameBytes) {
  EXPECT_EQ(BenchModel::ModelText(2000, 5), BenchModel::ModelText(2000, 5));
  EXPECT_NE(BenchModel::ModelText(2000, 5), BenchModel::ModelText(2000, 6));
}

}  // namespace
