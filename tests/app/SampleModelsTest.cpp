#include <gtest/gtest.h>

#include <string>

#include "RunTestSupport.h"

namespace {

using testing_support::ReadFile;
using testing_support::RunFixture;

std::string Sample(const std::string& name) {
  return ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/samples/" + name);
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(SampleModelsTest, EachTriMeshKeepsItsTextureInFileOrder) {
  RunFixture fixture;
  ASSERT_EQ(fixture.Run(Sample("texture-wrapping.3dmf")), std::nullopt) << fixture.message;
  const std::string document = fixture.Output();
  EXPECT_EQ(Count(document, "Begin Polygon"), 6u);
  EXPECT_EQ(Count(document, "Begin Actor Class=Brush"), 6u);  // three meshes, three textures
  ASSERT_EQ(fixture.window.savedTextures.size(), 3u);
  for (const Kelvane::Image& picture : fixture.window.savedTextures) {
    ASSERT_EQ(picture.width, 4);
    ASSERT_EQ(picture.height, 4);
    // 32-bit pixels: blue, green, red and a byte that is not used.
    EXPECT_EQ(picture.Pixel(0, 0), 0xE00000u);
    EXPECT_EQ(picture.Pixel(0, 1), 0x00E000u);
    EXPECT_EQ(picture.Pixel(1, 1), 0x0000E0u);
    EXPECT_EQ(picture.Pixel(3, 1), 0xE00000u);
  }
}

TEST(SampleModelsTest, OldMacLineEndsAreLineBreaks) {
  RunFixture fixture;
  fixture.window.mapOrBrush = 1;
  ASSERT_EQ(fixture.Run(Sample("tx-24bit-little.3dmf")), std::nullopt) << fixture.message;
  const std::string document = fixture.Output();
  EXPECT_EQ(Count(document, "Begin Polygon"), 3u);
  // The first point -1 -1 0 at scale 20.
  EXPECT_NE(document.find("\r\nVertex -00020.00000,00000.00000,-00020.00000\r\n"),
            std::string::npos);
  ASSERT_EQ(fixture.window.savedTextures.size(), 1u);
  EXPECT_EQ(fixture.window.savedTextures[0].Pixel(0, 0), 0xE00000u);
  EXPECT_EQ(fixture.window.savedTextures[0].Pixel(0, 1), 0x00E000u);
  EXPECT_EQ(fixture.window.savedTextures[0].Pixel(1, 1), 0x0000E0u);
}

TEST(SampleModelsTest, AKeywordInAHeaderCommentIsTakenAsAnObject) {
  // "#  Mesh.3dmf" in the header starts a Mesh whose count line is "#".
  RunFixture fixture;
  EXPECT_EQ(fixture.Run(Sample("Mesh.3dmf")), Kelvane::ErrorKind::OutOfRange);
  EXPECT_EQ(fixture.Output(), "Begin Map\r\n\r\n" + testing_support::ActorHead(2));
  EXPECT_EQ(fixture.Place().rfind("input line 5, ", 0), 0u) << fixture.Place();
}

}  // namespace
