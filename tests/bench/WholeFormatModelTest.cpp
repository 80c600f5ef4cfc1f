#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/run/ConversionRun.h"
#include "app/FakeWindow.h"
#include "bench/ModelText.h"
#include "metafile/format/Document.h"
#include "metafile/scene/Scene.h"
#include "t3d/T3dWriter.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using BenchModel::ModelForm;
using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Converted {
  std::string document;
  std::int32_t polygons = 0;
  std::size_t objects = 0;
  bool wholeFormat = false;
};

Converted Convert(const TempDir& dir, const std::string& model, int wholeFormat) {
  WriteFile(dir.File("model.3dmf"), model);
  FakeWindow window;
  window.inFileName = dir.File("model.3dmf");
  window.outFileName = dir.File("model.t3d");
  window.doPics = 0;
  window.mapOrBrush = 1;
  window.wholeFormat = wholeFormat;
  Kelvane::ConversionRun run(window.Settings(), window);
  const Kelvane::RunReport report = run.CommandGo_Click();
  // One "Processed " caption after each object.
  return {ReadFile(window.outFileName), report.polygons, window.labelProgress.size(),
          report.wholeFormat};
}

// The benchmark compares the two readers on one file: both must read all of
// it, each triangle once, and write the same document.
TEST(WholeFormatModelTest, TriMeshTextConvertsTheSameThroughBothReaders) {
  TempDir dir;
  struct Case {
    std::int64_t triangles;
    std::int64_t perObject;
  };
  for (const Case c : {Case{1, 30000}, Case{7, 30000}, Case{2500, 400}}) {
    BenchModel::ModelSummary summary;
    const std::string model =
        BenchModel::TriMeshModel(c.triangles, 4, ModelForm::Text, &summary, c.perObject);
    EXPECT_EQ(summary.triangles, c.triangles);
    EXPECT_EQ(summary.triMeshes, (c.triangles + c.perObject - 1) / c.perObject);
    EXPECT_EQ(summary.meshes + summary.polyhedra, 0);
    EXPECT_EQ(summary.bytes, static_cast<std::int64_t>(model.size()));

    const Converted keywords = Convert(dir, model, 0);
    const Converted whole = Convert(dir, model, 1);
    EXPECT_FALSE(keywords.wholeFormat);
    EXPECT_TRUE(whole.wholeFormat);
    for (const Converted* run : {&keywords, &whole}) {
      EXPECT_EQ(run->polygons, c.triangles) << c.triangles;
      EXPECT_EQ(run->objects, summary.triMeshes) << c.triangles;
    }
    EXPECT_EQ(keywords.document, whole.document) << c.triangles;
  }
}

class Collect : public Kelvane::Metafile::SceneSink {
 public:
  void Reached(const Kelvane::Metafile::Object&) override {}
  void Geometry(const Kelvane::Metafile::Object&, Kelvane::Metafile::TriangleSet& set) override {
    sets.push_back(set);
  }
  void Texture(const Kelvane::Metafile::Object&, const Kelvane::Image&) override {}
  std::vector<Kelvane::Metafile::TriangleSet> sets;
};

std::vector<Kelvane::Metafile::TriangleSet> Walk(const std::string& model) {
  const auto document = Kelvane::Metafile::ReadDocument(model);
  Collect collect;
  Kelvane::Metafile::SceneSummary summary;
  Kelvane::Metafile::WalkScene(*document, collect, false, summary);
  return collect.sets;
}

std::uint32_t Big32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// The binary file must hold the text file's model: the same triangles, the
// points rounded to Float32, indices as wide as the point count calls for
// (the object's size tells the width).
TEST(WholeFormatModelTest, BinaryHoldsTheTextModelInFloat32) {
  struct Case {
    std::int64_t triangles;
    std::int64_t perObject;
    std::uint32_t firstIndexBytes;
  };
  for (const Case c :
       {Case{100, 30000, 1}, Case{1000, 30000, 2}, Case{2500, 400, 1}, Case{140000, 140000, 4}}) {
    BenchModel::ModelSummary summary;
    const std::string text =
        BenchModel::TriMeshModel(c.triangles, 9, ModelForm::Text, nullptr, c.perObject);
    const std::string binary =
        BenchModel::TriMeshModel(c.triangles, 9, ModelForm::Binary, &summary, c.perObject);
    EXPECT_EQ(summary.bytes, static_cast<std::int64_t>(binary.size()));
    EXPECT_EQ(summary.triangles, c.triangles);
    ASSERT_TRUE(Kelvane::Metafile::IsBinaryMetafile(binary));

    const auto fromText = Walk(text);
    const auto fromBinary = Walk(binary);
    ASSERT_EQ(fromBinary.size(), static_cast<std::size_t>(summary.triMeshes));
    ASSERT_EQ(fromText.size(), fromBinary.size());
    for (std::size_t k = 0; k < fromText.size(); ++k) {
      const auto& t = fromText[k];
      const auto& b = fromBinary[k];
      ASSERT_EQ(t.triangles, b.triangles) << c.triangles << " object " << k;
      ASSERT_EQ(t.points.size(), b.points.size());
      for (std::size_t i = 0; i < t.points.size(); ++i) {
        ASSERT_EQ(b.points[i].X, static_cast<float>(t.points[i].X)) << i;
        ASSERT_EQ(b.points[i].Y, static_cast<float>(t.points[i].Y)) << i;
        ASSERT_EQ(b.points[i].Z, static_cast<float>(t.points[i].Z)) << i;
      }
    }
    // The first object stands right after the 24-byte header.
    const auto& first = fromBinary.front();
    EXPECT_EQ(Big32(binary, 28),
              24 + 3 * c.firstIndexBytes * first.triangles.size() + 12 * first.points.size() + 28)
        << c.triangles;
  }
}

TEST(WholeFormatModelTest, SameSeedSameBytesInBothForms) {
  for (const ModelForm form : {ModelForm::Text, ModelForm::Binary}) {
    EXPECT_EQ(BenchModel::TriMeshModel(3000, 5, form), BenchModel::TriMeshModel(3000, 5, form));
    EXPECT_NE(BenchModel::TriMeshModel(3000, 5, form), BenchModel::TriMeshModel(3000, 6, form));
  }
}

}  // namespace
