#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "TestSupport.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFile;

TEST(PolygonRecordTest, TheNineLineRecord) {
  Unreal::PolygonLinkCounter = 0;
  std::string text = "kept";
  Unreal::WriteTriangle(text, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
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
  EXPECT_EQ(Unreal::PolygonLinkCounter, 1);
}

TEST(PolygonRecordTest, DegenerateTriangleAndRunningNumbers) {
  Unreal::PolygonLinkCounter = 0;
  std::string text;
  Unreal::WriteTriangle(text, {2, 2, 2}, {2, 2, 2}, {0, 1, 0});
  EXPECT_NE(text.find("\r\nNormal 00000.00000,00000.00000,00000.00000\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nTextureU 00000.00000,00000.00000,00000.00000\r\n"), std::string::npos);
  for (int expected : {1, 2}) {
    text.clear();
    Unreal::WriteTriangle(text, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(text.substr(0, text.find('\r')),
              "Begin Polygon Item=OUTSIDE Link= " + std::to_string(expected));
  }
}

TEST(PolygonRecordTest, CounterOverflowLeavesTheHeadLineOnly) {
  Unreal::PolygonLinkCounter = INT32_MAX;
  std::string text;
  try {
    Unreal::WriteTriangle(text, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow);
  }
  EXPECT_EQ(text, "Begin Polygon Item=OUTSIDE Link= 2147483647\r\n");
  Unreal::PolygonLinkCounter = 0;
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
  Unreal::SetTemplatePath(templatePath);
  std::string text = "old";
  for (Unreal::OutputMode mode : {0, 1, 3, -1}) {
    Unreal::BeginDocument(text, static_cast<Unreal::OutputMode>(mode));
    EXPECT_EQ(text, "Begin Map\r\nX");
    Unreal::EndDocument(text, static_cast<Unreal::OutputMode>(mode));
    EXPECT_EQ(text, "End Map");
  }
  Unreal::BeginDocument(text, 2);
  EXPECT_EQ(text, "Begin PolyList\r\n");
  Unreal::EndDocument(text, 2);
  EXPECT_EQ(text, "End PolyList");

  // A missing template fails in map mode only.
  Unreal::SetTemplatePath(dir.File("missing.txt"));
  EXPECT_NO_THROW(Unreal::BeginDocument(text, 2));
  try {
    Unreal::BeginDocument(text, 1);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::FileError);
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos);
  }
  Unreal::SetTemplatePath("");
}

}  // namespace
