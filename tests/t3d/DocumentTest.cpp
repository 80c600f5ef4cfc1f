#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "t3d/NumberForm.h"
#include "t3d/PolygonRecords.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

TEST(PolygonRecordTest, TheNineLineRecord) {
  Unreal::T3dWriter writer("out.t3d");
  std::string text = "kept";
  writer.WriteTriangle(text, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
  EXPECT_EQ(text,
            "kept"
            "Begin Polygon Item=OUTSIDE Link= 0\r\n"
            "Origin 00000.00000,00000.00000,00000.00000\r\n"
            "Normal 00000.00000,00000.00000,-00001.00000\r\n"
            "TextureU -00001.00000,00000.00000,00000.00000\r\n"
            "TextureV -00000.70711,00000.70711,00000.00000\r\n"
            "Vertex 00000.00000,00000.00000,00000.00000\r\n"
            "Vertex 00001.00000,00000.00000,00000.00000\r\n"
            "Vertex 00000.00000,00001.00000,00000.00000\r\n"
            "End Polygon\r\n");
  EXPECT_EQ(writer.PolygonLinkCounter(), 1);
}

TEST(PolygonRecordTest, DegenerateTriangleAndRunningNumbers) {
  Unreal::T3dWriter writer("out.t3d");
  std::string text;
  writer.WriteTriangle(text, {2, 2, 2}, {2, 2, 2}, {0, 1, 0});
  EXPECT_NE(text.find("\r\nNormal 00000.00000,00000.00000,00000.00000\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nTextureU 00000.00000,00000.00000,00000.00000\r\n"), std::string::npos);
  for (int expected : {1, 2}) {
    text.clear();
    writer.WriteTriangle(text, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(text.substr(0, text.find('\r')),
              "Begin Polygon Item=OUTSIDE Link= " + std::to_string(expected));
  }
}

TEST(PolygonRecordTest, CounterOverflowLeavesTheHeadLineOnly) {
  Unreal::T3dWriter writer("out.t3d");
  writer.SetPolygonLinkCounter(INT32_MAX);
  std::string text;
  try {
    writer.WriteTriangle(text, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow);
  }
  EXPECT_EQ(text, "Begin Polygon Item=OUTSIDE Link= 2147483647\r\n");
}

// The record is the polygon head, the three vertex lines and the end, in
// that order, whatever shortcut it takes to make them.
TEST(PolygonRecordTest, WholeRecordEqualsItsParts) {
  Unreal::T3dWriter writer("out.t3d");
  std::mt19937_64 random(4242);
  auto coordinate = [&] {
    const double magnitude = std::ldexp(1.0, static_cast<int>(random() % 60) - 20);
    return (static_cast<double>(random() % 2000001) / 1000000.0 - 1.0) * magnitude;
  };
  std::vector<Vector3> shared;
  Vector3 previous{};
  for (int i = 0; i < 5000; ++i) {
    // Now and then far from the origin, where a step could overflow and
    // the record is made line by line.
    const double far = i % 11 == 0 ? 1e200 : 0.0;
    // Corners are shared with earlier triangles as in a mesh, and come back
    // after many others, so forms made before are used again.
    const bool near = far == 0.0 && !shared.empty();
    const Vector3 a = near && i % 3 == 0
                                  ? shared[(i * 7) % shared.size()]
                                  : Vector3{far + coordinate(), coordinate(), coordinate()};
    const Vector3 b = near && i % 2 == 0
                                  ? previous
                                  : Vector3{far + coordinate(), coordinate(), coordinate()};
    const Vector3 c =
        i % 7 == 0 ? a : Vector3{far + coordinate(), coordinate(), i % 5 == 0 ? 0.0 : -0.0};
    if (far == 0.0) {
      previous = c;
      shared.push_back(b);
    }
    writer.SetPolygonLinkCounter(i * 1000);
    std::string whole = "before\r\n";
    writer.WriteTriangle(whole, a, b, c);
    // Corners that come with their forms made beforehand, as the readers
    // pass them, give the same record; corners too far out have none.
    Unreal::CornerForm forms[3];
    Unreal::MakeCornerForm(forms[0], a);
    Unreal::MakeCornerForm(forms[1], b);
    Unreal::MakeCornerForm(forms[2], c);
    writer.SetPolygonLinkCounter(i * 1000);
    std::string withForms = "before\r\n";
    writer.WriteTriangle(withForms, a, b, c, forms[0], forms[1], forms[2]);
    ASSERT_EQ(withForms, whole) << i;
    writer.SetPolygonLinkCounter(i * 1000);
    std::string parts = "before\r\n";
    writer.BeginPolygon(parts, a, b, c);
    Unreal::WriteVertex(parts, a);
    Unreal::WriteVertex(parts, b);
    Unreal::WriteVertex(parts, c);
    Unreal::EndPolygon(parts);
    ASSERT_EQ(whole, parts) << i;
  }
}

// A corner's form made beforehand is its vector form to the byte, also
// where a coordinate just below 100000 rounds up to six integer digits;
// from 100000 on there is none.
TEST(CornerFormTest, TheVectorFormOrNone) {
  const double below[] = {
      99999.999994, 99999.999995, 99999.999996, -99999.999996, std::nextafter(100000.0, 0.0),
      0.5e-5,       -0.0,         1e-300,       12.345675};
  for (const double x : below) {
    const Vector3 corner{x, -x, x / 3};
    Unreal::CornerForm form;
    Unreal::MakeCornerForm(form, corner);
    std::string expected;
    Unreal::FormatVector(expected, corner);
    ASSERT_GT(form.length, 0) << x;
    EXPECT_EQ(std::string(form.text, form.length), expected) << x;
  }
  for (const double x : {100000.0, -100000.0, 1e300, std::numeric_limits<double>::infinity()}) {
    Unreal::CornerForm form;
    form.length = 9;
    Unreal::MakeCornerForm(form, {1, x, 2});
    EXPECT_EQ(form.length, 0) << x;
  }
}

TEST(PolygonRecordTest, ArithmeticErrorLeavesTheLinesBeforeIt) {
  Unreal::T3dWriter writer("out.t3d");
  std::string text;
  // The normal's products overflow; the head and origin lines are made.
  EXPECT_THROW(writer.WriteTriangle(text, {1e300, 0, 0}, {-1e300, 0, 0}, {0, 1e300, 0}),
               Kelvane::RunError);
  std::string origin;
  Unreal::FormatVector(origin, {1e300, 0, 0});
  EXPECT_EQ(text, "Begin Polygon Item=OUTSIDE Link= 0\r\nOrigin " + origin);
}

TEST(DocumentFramingTest, ActorHeadAndTail) {
  std::string text = "discarded";
  Unreal::BeginBrushActor(text, 13, {0, 0, 0});
  EXPECT_EQ(text,
            "Begin Actor Class=Brush Name=Brush13\r\n"
            "CsgOper=CSG_Add\r\n"
            "MainScale= (SheerAxis=SHEER_ZX)\r\n"
            "postScale= (SheerAxis=SHEER_ZX)\r\n"
            "LODBias=1\r\n"
            "Level=LevelInfo 'MyLevel.LevelInfo0'\r\n"
            "Tag=Brush\r\n"
            "Region=(Zone=LevelInfo'MyLevel.LevelInfo0',iLeaf=-1)\r\n"
            "Location=(X=0,Y=0,Z=0)\r\n"
            "Begin Brush Name=Model13\r\n");
  Unreal::EndBrushActor(text, 2);
  EXPECT_EQ(text, "End Brush\r\nBrush=Model 'MyLevel.Model2'\r\nName=Brush2\r\nEnd Actor\r\n");
  Unreal::BeginPolyList(text);
  EXPECT_EQ(text, "Begin PolyList\r\n");
  Unreal::EndPolyList(text);
  EXPECT_EQ(text, "End PolyList");
}

TEST(DocumentFramingTest, HeadAndTailInBothModes) {
  TempDir dir;
  const std::string templatePath = dir.File("StartMapFile.txt");
  WriteFile(templatePath, "Begin Map\r\nX");
  const Unreal::T3dWriter writer("out.t3d", templatePath);
  std::string text = "old";
  for (Unreal::OutputMode mode : {0, 1, 3, -1}) {
    writer.BeginDocument(text, static_cast<Unreal::OutputMode>(mode));
    EXPECT_EQ(text, "Begin Map\r\nX");
    Unreal::EndDocument(text, static_cast<Unreal::OutputMode>(mode));
    EXPECT_EQ(text, "End Map");
  }
  writer.BeginDocument(text, 2);
  EXPECT_EQ(text, "Begin PolyList\r\n");
  Unreal::EndDocument(text, 2);
  EXPECT_EQ(text, "End PolyList");

  // A missing template fails in map mode only.
  const Unreal::T3dWriter missing("out.t3d", dir.File("missing.txt"));
  EXPECT_NO_THROW(missing.BeginDocument(text, 2));
  try {
    missing.BeginDocument(text, 1);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::FileError);
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
  }
}

}  // namespace
