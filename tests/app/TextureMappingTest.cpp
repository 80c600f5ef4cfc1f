// Texture mapping: polygons of textured objects name their texture and put
// each corner at its UV times the texture's size, read back from the
// written records.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "RunTestSupport.h"
#include "T3dRecords.h"
#include "t3d/T3dWriter.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using testing_support::ReadFile;
using testing_support::Dot;
using testing_support::Minus;
using testing_support::Record;
using testing_support::Records;
using testing_support::RunFixture;
using testing_support::Vec;

double Sum(const Vec& a) { return std::fabs(a.x) + std::fabs(a.y) + std::fabs(a.z); }

// Checks that corner k of `record` lies at texel (s, t), to what the five
// decimals of every written number allow.
void ExpectTexel(const Record& record, std::size_t k, double s, double t) {
  const Vec offset = Minus(record.vertices[k], record.origin);
  const double slackS = 1e-5 * Sum(record.u) + 0.5e-5 * Sum(offset) + 1e-9;
  const double slackT = 1e-5 * Sum(record.v) + 0.5e-5 * Sum(offset) + 1e-9;
  EXPECT_NEAR(Dot(offset, record.u), s, slackS) << "corner " << k << " of\n" << record.text;
  EXPECT_NEAR(Dot(offset, record.v), t, slackT) << "corner " << k << " of\n" << record.text;
}

struct UV {
  double u, v;
};

// A row (u v 1) times a 3 x 3 matrix.
UV Transformed(UV uv, const double (&m)[3][3]) {
  return {uv.u * m[0][0] + uv.v * m[1][0] + m[2][0], uv.u * m[0][1] + uv.v * m[1][1] + m[2][1]};
}

constexpr double kIdentity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

class TextureMappingTest : public ::testing::Test {
 protected:
  TextureMappingTest() {
    run.window.mapOrBrush = 1;  // one brush: the records alone
    run.window.textureMapping = 1;
  }
  std::optional<Kelvane::ErrorKind> Convert(const std::string& sample) {
    return run.Run(ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/" + sample));
  }
  // Every corner of every record at the file's UVs: `triangles` are the
  // file's corner indices, `uvs` its UV table, `textures` each triangle's
  // expected texture (1-based save number), sizes by save number.
  void ExpectMapping(const std::vector<std::array<int, 3>>& triangles, const std::vector<UV>& uvs,
                     const std::vector<int>& textures, const std::vector<std::array<int, 2>>& sizes,
                     const double (&transform)[3][3] = kIdentity) {
    const std::vector<Record> records = Records(run.Output());
    ASSERT_EQ(records.size(), triangles.size());
    for (std::size_t r = 0; r < records.size(); ++r) {
      const int texture = textures[r];
      ASSERT_EQ(records[r].texture, "texture_" + std::to_string(texture)) << records[r].text;
      const auto [width, height] = sizes[static_cast<std::size_t>(texture - 1)];
      ASSERT_EQ(records[r].vertices.size(), 3u);
      for (std::size_t k = 0; k < 3; ++k) {
        const UV uv = Transformed(uvs[static_cast<std::size_t>(triangles[r][k])], transform);
        ExpectTexel(records[r], k, uv.u * width, (1 - uv.v) * height);
      }
    }
  }

  RunFixture run;
};

// ---------------------------------------------------------------- samples

TEST_F(TextureMappingTest, TheTxFamilyPutsEveryCornerAtItsUV) {
  // Each model: one TriMesh (3 triangles, 5 points) with a 4 x 4 texture.
  const std::vector<UV> uvs = {{0, 0}, {1, 0}, {1, 0.8}, {0, 0.8}, {0.5, 1}};
  for (const char* sample :
       {"tx-16bit-little.3dmf", "tx-24bit-little.3dmf", "tx-32bit-little.3dmf"}) {
    SCOPED_TRACE(sample);
    RunFixture fresh;
    fresh.window.mapOrBrush = 1;
    fresh.window.textureMapping = 1;
    ASSERT_EQ(
        fresh.Run(ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/" + sample)),
        std::nullopt)
        << fresh.message;
    const std::vector<Record> records = Records(fresh.Output());
    const std::array<int, 3> triangles[] = {{0, 1, 2}, {0, 2, 3}, {2, 4, 3}};
    ASSERT_EQ(records.size(), 3u);
    for (std::size_t r = 0; r < 3; ++r) {
      EXPECT_EQ(records[r].texture, "texture_1");
      for (std::size_t k = 0; k < 3; ++k) {
        const UV uv = uvs[static_cast<std::size_t>(triangles[r][k])];
        ExpectTexel(records[r], k, uv.u * 4, (1 - uv.v) * 4);
      }
    }
    EXPECT_EQ(fresh.report.mapping.mapped, 3);
    EXPECT_EQ(fresh.window.savedTextures.size(), 1u);
  }
}

TEST_F(TextureMappingTest, WrappedUVsBeyondOneStillLandOnTheirTexels) {
  // Three TriMeshes, each with its own 4 x 4 texture and UVs from 0 to 4.
  ASSERT_EQ(Convert("texture-wrapping.3dmf"), std::nullopt) << run.message;
  const std::vector<UV> uvs = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  const std::vector<Record> records = Records(run.Output());
  ASSERT_EQ(records.size(), 6u);
  const std::array<int, 3> triangles[] = {{0, 1, 2}, {0, 2, 3}};
  for (std::size_t r = 0; r < records.size(); ++r) {
    EXPECT_EQ(records[r].texture, "texture_" + std::to_string(r / 2 + 1));
    for (std::size_t k = 0; k < 3; ++k) {
      const UV uv = uvs[static_cast<std::size_t>(triangles[r % 2][k])];
      ExpectTexel(records[r], k, uv.u * 4, (1 - uv.v) * 4);
    }
  }
}

TEST_F(TextureMappingTest, AShaderUVTransformActsBeforeTheMapping) {
  ASSERT_EQ(Convert("uv-transform.3dmf"), std::nullopt) << run.message;
  const std::vector<UV> uvs = {{0, 0}, {1, 0}, {1, 0.8}, {0, 0.8}, {0.5, 1}};
  const std::vector<std::array<int, 3>> triangles = {{0, 1, 2}, {0, 2, 3}, {2, 4, 3}};
  const double rotation[3][3] = {{0.866, -0.5, 0}, {0.5, 0.866, 0}, {0, 0, 1}};
  const double scaleAndShift[3][3] = {{2, 0, 0}, {0, 3, 0}, {-0.2, -0.4, 1}};
  const std::vector<Record> all = Records(run.Output());
  ASSERT_EQ(all.size(), 6u);
  for (int object = 0; object < 2; ++object) {
    SCOPED_TRACE(object);
    const auto& m = object == 0 ? rotation : scaleAndShift;
    for (std::size_t r = 0; r < 3; ++r) {
      const Record& record = all[static_cast<std::size_t>(object) * 3 + r];
      EXPECT_EQ(record.texture, "texture_" + std::to_string(object + 1));
      for (std::size_t k = 0; k < 3; ++k) {
        const UV uv = Transformed(uvs[static_cast<std::size_t>(triangles[r][k])], m);
        ExpectTexel(record, k, uv.u * 4, (1 - uv.v) * 4);
      }
    }
  }
}

TEST_F(TextureMappingTest, PerTriangleShadersNameEachTrianglesOwnTexture) {
  // Four triangles whose shaders are two textures, the last two through
  // references; shading UVs on the points; both textures 8 x 8.
  ASSERT_EQ(Convert("TriMesh-fancy.3dmf"), std::nullopt) << run.message;
  const std::vector<UV> uvs = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {0, 0}, {0, 1}};
  ExpectMapping({{0, 3, 1}, {0, 2, 3}, {2, 4, 3}, {4, 5, 3}}, uvs, {1, 2, 1, 2}, {{8, 8}, {8, 8}});
  EXPECT_EQ(run.window.savedTextures.size(), 2u);
}

// ---------------------------------------------------------------- fallbacks

// A TriMesh of two triangles over the unit square, with the given UV array
// and attribute set; `after` stands after its container.
std::string Square(const std::string& uvArray, const std::string& attributes) {
  return "Container (\n"
         " TriMesh ( 2 0 0 0 4 1\n 0 1 2\n 0 2 3\n 0 0 0\n 1 0 0\n 1 1 0\n 0 1 0\n"
         " 0 0 0 1 1 0 False )\n" +
         uvArray + attributes + ")\n";
}

const std::string kUVs = " AttributeArray ( 1 0 2 0 0  0 0  1 0  1 1  0 1 )\n";
const std::string kFlatUVs = " AttributeArray ( 1 0 2 0 0  0 0  1 1  2 2  3 3 )\n";

std::string Shader(int width = 2, int height = 2) {
  std::string pixels;
  for (int i = 0; i < width * height; ++i) pixels += " 0x00FF8040";
  return " Container ( TextureShader ( )\n  PixmapTexture ( " + std::to_string(width) + " " +
         std::to_string(height) + " " + std::to_string(4 * width) +
         " 32 RGB32 BigEndian BigEndian " + pixels + " ) )\n";
}

std::string AttributeSet(const std::string& shader) {
  return " Container ( AttributeSet ( )\n" + shader + " )\n";
}

const std::string kHead = "3DMetafile ( 1 6 Normal toc> )\n";

// What a record says apart from its head line and texture axes.
std::string Body(const Record& record) {
  std::string body;
  std::istringstream in(record.text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Begin Polygon", 0) == 0 || line.rfind("Origin", 0) == 0 ||
        line.rfind("Texture", 0) == 0) {
      continue;
    }
    body += line + "\n";
  }
  return body;
}

TEST_F(TextureMappingTest, UntexturedObjectsAndTheRunWithoutTheOptionWriteAsBefore) {
  const std::string model = kHead + Square(kUVs, AttributeSet(Shader())) + Square(kUVs, "");
  RunFixture plain;
  plain.window.mapOrBrush = 1;
  plain.window.wholeFormat = 1;
  ASSERT_EQ(plain.Run(model), std::nullopt) << plain.message;
  ASSERT_EQ(run.Run(model), std::nullopt) << run.message;
  const std::vector<Record> before = Records(plain.Output());
  const std::vector<Record> after = Records(run.Output());
  ASSERT_EQ(before.size(), 4u);
  ASSERT_EQ(after.size(), 4u);
  for (std::size_t r = 0; r < 2; ++r) {
    EXPECT_EQ(before[r].texture, "");
    EXPECT_EQ(after[r].texture, "texture_1");
    EXPECT_EQ(Body(after[r]), Body(before[r]));  // same corners, same normal
  }
  // The untextured object: the very same records, link numbers included.
  EXPECT_EQ(after[2].text, before[2].text);
  EXPECT_EQ(after[3].text, before[3].text);
  EXPECT_EQ(run.report.mapping.mapped, 2);
}

TEST_F(TextureMappingTest, CornersWithoutUVsOrWithoutAreaKeepTheEdgeAxesAndAreCounted) {
  for (const bool flat : {false, true}) {
    SCOPED_TRACE(flat ? "UVs on a line" : "no UVs");
    const std::string model = kHead + Square(flat ? kFlatUVs : "", AttributeSet(Shader()));
    RunFixture plain;
    plain.window.mapOrBrush = 1;
    plain.window.wholeFormat = 1;
    ASSERT_EQ(plain.Run(model), std::nullopt);
    RunFixture mapped;
    mapped.window.mapOrBrush = 1;
    mapped.window.textureMapping = 1;
    ASSERT_EQ(mapped.Run(model), std::nullopt) << mapped.message;
    const std::vector<Record> before = Records(plain.Output());
    const std::vector<Record> after = Records(mapped.Output());
    ASSERT_EQ(after.size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
      EXPECT_EQ(after[r].texture, "texture_1");
      // Everything but the head line as without mapping.
      EXPECT_EQ(after[r].text.substr(after[r].text.find('\n')),
                before[r].text.substr(before[r].text.find('\n')));
    }
    EXPECT_EQ(mapped.report.mapping.withoutUV, flat ? 0 : 2);
    EXPECT_EQ(mapped.report.mapping.flat, flat ? 2 : 0);
    EXPECT_EQ(mapped.report.mapping.mapped, 0);
  }
}

TEST_F(TextureMappingTest, AGroupsShaderCoversWhatFollowsItUntilTheGroupEnds) {
  const std::string model = kHead + "BeginGroup ( DisplayGroup ( ) )\n" + Shader() +
                            Square(kUVs, "") + "EndGroup ( )\n" + Square(kUVs, "");
  ASSERT_EQ(run.Run(model), std::nullopt) << run.message;
  const std::vector<Record> records = Records(run.Output());
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].texture, "texture_1");
  EXPECT_EQ(records[1].texture, "texture_1");
  EXPECT_EQ(records[2].texture, "");
  EXPECT_EQ(records[3].texture, "");
  ExpectTexel(records[0], 1, 2, 2);  // (1, 0) on a 2 x 2 texture
  ExpectTexel(records[0], 2, 2, 0);  // (1, 1)
}

// A five-cornered Polygon whose vertices carry UVs through their attribute
// sets; `list` heads the list, `sets` the sets in order.
std::string UVPolygon(const std::string& list, const std::vector<UV>& sets) {
  std::string text = kHead +
                     "Container (\n Polygon ( 5  0 0 0  1 0 0  2 1 0  1 2 0  0 1 0 )\n"
                     " Container ( " +
                     list + "\n";
  for (const UV& uv : sets) {
    text += "  Container ( AttributeSet ( ) SurfaceUV ( " + std::to_string(uv.u) + " " +
            std::to_string(uv.v) + " ) DiffuseColor ( 1 1 1 ) )\n";
  }
  return text + " )\n" + AttributeSet(Shader(4, 4)) + ")\n";
}

TEST_F(TextureMappingTest, VertexAttributeSetsGiveTheOtherKindsTheirUVs) {
  const Vec file[] = {{0, 0, 0}, {1, 0, 0}, {2, 1, 0}, {1, 2, 0}, {0, 1, 0}};
  const std::vector<UV> uvs = {{0, 0}, {0.5, 0}, {1, 0.5}, {0.5, 1}, {0, 0.5}};
  ASSERT_EQ(run.Run(UVPolygon("VertexAttributeSetList ( 5 Exclude 0 )", uvs)), std::nullopt)
      << run.message;
  const std::vector<Record> records = Records(run.Output());
  ASSERT_EQ(records.size(), 3u);
  for (const Record& record : records) {
    EXPECT_EQ(record.texture, "texture_1");
    for (std::size_t k = 0; k < 3; ++k) {
      // Which vertex of the file this corner is: X = a, Y = -c, Z = b, times 20.
      const Vec& at = record.vertices[k];
      int vertex = -1;
      for (int i = 0; i < 5; ++i) {
        if (std::fabs(file[i].x * 20 - at.x) < 1e-6 && std::fabs(file[i].y * 20 - at.z) < 1e-6)
          vertex = i;
      }
      ASSERT_GE(vertex, 0) << record.text;
      const UV uv = uvs[static_cast<std::size_t>(vertex)];
      ExpectTexel(record, k, uv.u * 4, (1 - uv.v) * 4);
    }
  }
  EXPECT_EQ(run.report.mapping.mapped, 3);

  // Sets for the listed vertices only: a triangle with any other corner
  // keeps the edge axes.
  RunFixture some;
  some.window.mapOrBrush = 1;
  some.window.textureMapping = 1;
  ASSERT_EQ(
      some.Run(UVPolygon("VertexAttributeSetList ( 5 Include 3 0 1 2 )", {uvs[0], uvs[1], uvs[2]})),
      std::nullopt)
      << some.message;
  EXPECT_EQ(some.report.mapping.mapped + some.report.mapping.withoutUV, 3);
  EXPECT_GE(some.report.mapping.withoutUV, 2);

  // A list whose sets do not match its vertices is a fault, under mapping.
  RunFixture wrong;
  wrong.window.textureMapping = 1;
  EXPECT_EQ(wrong.Run(UVPolygon("VertexAttributeSetList ( 5 Exclude 1 4 )", uvs)),
            Kelvane::ErrorKind::OutOfRange);
  EXPECT_NE(wrong.message.find("names 4 vertices but holds 5 sets"), std::string::npos)
      << wrong.message;
}

TEST_F(TextureMappingTest, ATextureWhoseBitmapWasNotSavedIsNamedNowhere) {
  run.window.refuseSaving = true;
  ASSERT_EQ(run.Run(kHead + Square(kUVs, AttributeSet(Shader()))), std::nullopt);
  for (const Record& record : Records(run.Output())) EXPECT_EQ(record.texture, "");
  EXPECT_EQ(run.report.mapping.bitmapMissing, 2);
}

TEST_F(TextureMappingTest, OtherSizesWarnAndThePowerOfTwoOptionResamplesWithTheMappingFollowing) {
  const std::string model = kHead + Square(kUVs, AttributeSet(Shader(3, 5)));
  ASSERT_EQ(run.Run(model), std::nullopt);
  ASSERT_EQ(run.report.notPowerOfTwo.size(), 1u);
  EXPECT_EQ(run.report.notPowerOfTwo[0].name, "texture_1");
  EXPECT_EQ(run.report.notPowerOfTwo[0].width, 3);
  EXPECT_EQ(run.report.notPowerOfTwo[0].height, 5);
  ExpectTexel(Records(run.Output())[0], 2, 3, 0);

  RunFixture resampled;
  resampled.window.mapOrBrush = 1;
  resampled.window.textureMapping = 1;
  resampled.window.powerOfTwo = 1;
  ASSERT_EQ(resampled.Run(model), std::nullopt);
  EXPECT_TRUE(resampled.report.warnings.empty());
  EXPECT_TRUE(resampled.report.notPowerOfTwo.empty());
  ASSERT_EQ(resampled.window.savedTextures.size(), 1u);
  EXPECT_EQ(resampled.window.savedTextures[0].width, 4);
  EXPECT_EQ(resampled.window.savedTextures[0].height, 8);
  const Record record = Records(resampled.Output())[0];
  ExpectTexel(record, 0, 0, 8);  // (0, 0): bottom left
  ExpectTexel(record, 1, 4, 8);  // (1, 0)
  ExpectTexel(record, 2, 4, 0);  // (1, 1): top right
}

TEST_F(TextureMappingTest, FaultsOfTheMappingObjectsAreErrorsOnlyWhenMappingIsAsked) {
  const struct {
    const char* name;
    std::string model;
    const char* says;
  } cases[] = {
      {"UV array too short", kHead + Square(" AttributeArray ( 1 0 2 0 0  0 0  1 0 )\n", ""), "UV"},
      {"no such place", kHead + Square(" AttributeArray ( 1 0 7 0 0 )\n", ""), "place 7"},
      {"shaders for too few triangles",
       kHead + Square(kUVs, " Container ( AttributeArray ( 11 0 0 0 0 )\n" + Shader() + " )\n"),
       "2 triangles, but its shader array holds 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunFixture plain;
    plain.window.wholeFormat = 1;
    EXPECT_EQ(plain.Run(c.model), std::nullopt) << plain.message;
    RunFixture mapped;
    mapped.window.textureMapping = 1;
    EXPECT_NE(mapped.Run(c.model), std::nullopt);
    EXPECT_NE(mapped.message.find(c.says), std::string::npos) << mapped.message;
    // Placed at the object that holds the fault.
    EXPECT_FALSE(mapped.Place().empty());
  }
}

// ---------------------------------------------------------------- axes

TEST(MapTextureTest, AxesPutEachCornerAtItsTexelAndLieInThePlane) {
  const struct {
    Vector3 corner[3];
    double s[3], t[3];
  } cases[] = {
      {{{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {0, 64, 0}, {64, 64, 0}},
      {{{3, -2, 7}, {-5, 4, 1}, {2, 9, -6}}, {12.5, -3, 40}, {7, 22, -1.25}},
      {{{1000, 1000, 1000}, {1000.5, 1000, 1000.25}, {1000, 1001, 1000}},
       {0.1, 0.9, 0.3},
       {5, 5.5, 7}},
  };
  for (const auto& c : cases) {
    Unreal::TextureAxes axes;
    ASSERT_TRUE(Unreal::MapTexture(c.corner, c.s, c.t, axes));
    const auto dot = [](const Vector3& a, const Vector3& b) {
      return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
    };
    const auto minus = [](const Vector3& a, const Vector3& b) {
      return Vector3{a.X - b.X, a.Y - b.Y, a.Z - b.Z};
    };
    const Vector3 e1 = minus(c.corner[1], c.corner[0]);
    const Vector3 e2 = minus(c.corner[2], c.corner[0]);
    const Vector3 normal{e1.Y * e2.Z - e1.Z * e2.Y, e1.Z * e2.X - e1.X * e2.Z,
                                 e1.X * e2.Y - e1.Y * e2.X};
    for (int k = 0; k < 3; ++k) {
      const Vector3 offset = minus(c.corner[k], axes.origin);
      EXPECT_NEAR(dot(offset, axes.u), c.s[k], 1e-7);
      EXPECT_NEAR(dot(offset, axes.v), c.t[k], 1e-7);
    }
    EXPECT_NEAR(dot(axes.u, normal), 0, 1e-7);
    EXPECT_NEAR(dot(axes.v, normal), 0, 1e-7);
    EXPECT_NEAR(dot(minus(axes.origin, c.corner[0]), normal), 0, 1e-6);
  }
}

TEST(MapTextureTest, NoAxesForATriangleOrTexelsWithoutArea) {
  Unreal::TextureAxes axes;
  const Vector3 line[3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
  const Vector3 good[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  EXPECT_FALSE(Unreal::MapTexture(line, {0, 1, 0}, {0, 0, 1}, axes));
  EXPECT_FALSE(Unreal::MapTexture(good, {0, 1, 2}, {0, 1, 2}, axes));  // texels on a line
  EXPECT_FALSE(Unreal::MapTexture(good, {5, 5, 5}, {0, 1, 0}, axes));  // one texel column
  EXPECT_TRUE(Unreal::MapTexture(good, {0, 1, 0}, {0, 0, 1}, axes));
}

}  // namespace
