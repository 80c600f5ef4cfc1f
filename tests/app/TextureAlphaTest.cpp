// Textures with alpha through a whole run, and models whose file goes on
// after its last object: the masked cards of tests/data/masked-cards, made
// in the shape of two shipped games' binary models.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "RunTestSupport.h"
#include "T3dRecords.h"
#include "app/run/BitmapSaver.h"
#include "app/run/ReportBuilder.h"
#include "image/Bitmap.h"
#include "image/Png.h"
#include "image/PngReading.h"
#include "t3d/T3dWriter.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::RunFixture;
using testing_support::TempDir;
using testing_support::WriteFile;

std::string Cards(const std::string& name) {
  return ReadFile(std::string(KELVANE_SOURCE_DIR) + "/tests/data/masked-cards/" + name);
}

std::set<std::size_t> TransparentIn(const Image& image) {
  std::set<std::size_t> set;
  for (std::size_t i = 0; i < image.rgb.size(); ++i)
    if (image.Transparent(i)) set.insert(i);
  return set;
}

std::set<std::size_t> EntryZeroOf(const std::string& bitmap, int side) {
  std::vector<std::uint8_t> indices;
  EXPECT_GT(ReadBitmap(bitmap, side, &indices).width, 0);
  std::set<std::size_t> set;
  for (std::size_t i = 0; i < indices.size(); ++i)
    if (indices[i] == 0) set.insert(i);
  return set;
}

int DepthOf(const std::string& bitmap) {
  return static_cast<unsigned char>(bitmap[28]) | static_cast<unsigned char>(bitmap[29]) << 8;
}

// The game file's shape: its meshes and textures, then zeros and a
// texture's pixels again. Everything before the rest converts as the file
// cut there does, with one warning that names where the rest begins.
TEST(DataAfterTheLastObjectTest, EveryMeshAndTextureBeforeItConvertsWithAWarning) {
  const struct {
    const char* file;
    std::size_t rest;
    const char* place;
  } cases[] = {
      {"masked-cards-big.3dmf", 608, "(byte 1894 of the input)"},
      {"masked-cards-little.3dmf", 608, "(byte 1894 of the input)"},
      {"masked-cards-text.3dmf", 1136, "(input line 88, column 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string model = Cards(c.file);
    RunFixture whole;
    whole.window.wholeFormat = 1;
    whole.window.textureMapping = 1;
    ASSERT_EQ(whole.Run(model), std::nullopt) << whole.message;
    EXPECT_EQ(whole.report.polygons, 6);
    EXPECT_EQ(whole.report.bitmaps.size(), 3u);
    ASSERT_FALSE(whole.report.warnings.empty());
    const std::string& warning = whole.report.warnings[0];
    EXPECT_EQ(warning.rfind("the last " + std::to_string(c.rest) +
                                " bytes of the input were not read: the rest begins with ",
                            0),
              0u)
        << warning;
    EXPECT_NE(warning.find(c.place), std::string::npos) << warning;

    RunFixture cut;
    cut.window.wholeFormat = 1;
    cut.window.textureMapping = 1;
    ASSERT_EQ(cut.Run(model.substr(0, model.size() - c.rest)), std::nullopt) << cut.message;
    EXPECT_EQ(whole.Output(), cut.Output());
    for (int n = 1; n <= 3; ++n) {
      const std::string bitmap = "texture_" + std::to_string(n) + ".bmp";
      EXPECT_EQ(ReadFile(whole.dir.File(bitmap)), ReadFile(cut.dir.File(bitmap))) << n;
    }
    // The cut file has nothing to warn of but the fence's size.
    EXPECT_EQ(cut.report.warnings.size() + 1, whole.report.warnings.size());
  }
  // The command line reads it too, a binary model whatever the reader.
  TempDir dir;
  WriteFile(dir.File("cards.3dmf"), Cards("masked-cards-big.3dmf"));
  const auto run =
      testing_support::RunConvert("cards.3dmf cards.t3d", Platform::TextOf(dir.Path()));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("kelvane-convert: warning: the last 608 bytes of the input were not read"),
            std::string::npos)
      << run.err;
}

// Without alpha asked for, a texture's alpha changes no byte: the cards
// save the same bitmaps as the same file whose pixel types carry none
// (RGB16 and RGB32 read the same colours and leave the alpha bits unread),
// at both depths and resampled.
TEST(TextureAlphaRunTest, WithoutAlphaTheBitmapsAreThoseOfTheOpaqueTexture) {
  const std::string masked = Cards("masked-cards-text.3dmf");
  const std::string opaque = std::regex_replace(masked, std::regex("ARGB(16|32)"), "RGB$1");
  ASSERT_NE(opaque, masked);
  for (const int depth : {24, 8}) {
    for (const int pow2 : {0, 1}) {
      SCOPED_TRACE(std::to_string(depth) + (pow2 ? " resampled" : ""));
      std::vector<std::string> bitmaps[2];
      for (int k = 0; k < 2; ++k) {
        RunFixture fixture;
        fixture.window.wholeFormat = 1;
        fixture.window.bitmapDepth = depth;
        fixture.window.powerOfTwo = pow2;
        ASSERT_EQ(fixture.Run(k == 0 ? masked : opaque), std::nullopt) << fixture.message;
        for (int n = 1; n <= 3; ++n) {
          bitmaps[k].push_back(ReadFile(fixture.dir.File("texture_" + std::to_string(n) + ".bmp")));
          EXPECT_EQ(DepthOf(bitmaps[k].back()), depth);
        }
        for (const Image& shown : fixture.window.savedTextures) EXPECT_TRUE(shown.alpha.empty());
      }
      EXPECT_EQ(bitmaps[0], bitmaps[1]);
    }
  }
}

// With alpha kept, the cards are masked 8-bit bitmaps whose entry 0 is
// their transparent pixels, whatever the depth, and the opaque ground keeps
// the run's depth; resampled, the mask stays hard; as PNGs, the cards keep
// their alpha and the ground is RGB.
TEST(TextureAlphaRunTest, WithAlphaTheCardsAreMaskedAndTheGroundIsNot) {
  for (const int pow2 : {0, 1}) {
    SCOPED_TRACE(pow2 ? "resampled" : "as read");
    RunFixture fixture;
    fixture.window.wholeFormat = 1;
    fixture.window.textureAlpha = 1;
    fixture.window.powerOfTwo = pow2;
    ASSERT_EQ(fixture.Run(Cards("masked-cards-big.3dmf")), std::nullopt) << fixture.message;
    const std::vector<Image>& shown = fixture.window.savedTextures;
    ASSERT_EQ(shown.size(), 3u);
    // The fence is 12 x 10 and resampled to 16 x 16.
    EXPECT_EQ(shown[1].width, pow2 ? 16 : 12);
    for (int n = 0; n < 2; ++n) {
      const std::string bitmap =
          ReadFile(fixture.dir.File("texture_" + std::to_string(n + 1) + ".bmp"));
      EXPECT_EQ(DepthOf(bitmap), 8) << n;
      const std::set<std::size_t> clear = TransparentIn(shown[static_cast<std::size_t>(n)]);
      EXPECT_FALSE(clear.empty()) << n;
      EXPECT_EQ(EntryZeroOf(bitmap, 16), clear) << n;
      for (const std::uint8_t a : shown[static_cast<std::size_t>(n)].alpha) {
        // The grass's one alpha bit gives 0 and 255; the fence's 90 stays
        // below half when resampled.
        EXPECT_TRUE(a == 0 || a == 255 || (n == 1 && a < 128)) << int{a};
      }
    }
    EXPECT_EQ(DepthOf(ReadFile(fixture.dir.File("texture_3.bmp"))), 24);
    EXPECT_TRUE(shown[2].alpha.empty());
  }
  RunFixture png;
  png.window.wholeFormat = 1;
  png.window.textureAlpha = 1;
  png.window.texturePng = 1;
  ASSERT_EQ(png.Run(Cards("masked-cards-little.3dmf")), std::nullopt) << png.message;
  ASSERT_EQ(png.report.bitmaps.size(), 3u);
  for (int n = 0; n < 3; ++n) {
    const std::string file = png.dir.File("texture_" + std::to_string(n + 1) + ".png");
    EXPECT_EQ(Platform::TextOf(
                  Platform::PathOf(png.report.bitmaps[static_cast<std::size_t>(n)]).filename()),
              "texture_" + std::to_string(n + 1) + ".png");
    const Image read = testing_support::DecodePng(ReadFile(file));
    const Image& texture = png.window.savedTextures[static_cast<std::size_t>(n)];
    EXPECT_EQ(read.rgb, texture.rgb);
    EXPECT_EQ(read.alpha, texture.alpha) << n;
    EXPECT_EQ(read.alpha.empty(), n == 2);
  }
}

// The saver says which textures it saved with their mask, the one thing the
// whole-format pass needs to mark their polygons masked.
TEST(TextureAlphaRunTest, TheSaverSavesEachPictureAsItsSettingsSay) {
  Image masked{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, {0, 255, 255, 255}};
  const Image opaque{2, 2, masked.rgb};
  const struct {
    const char* name;
    int depth;
    bool alpha, png;
    const Image* picture;
    int savedDepth;  // 0: a PNG
    bool savedMasked;
  } cases[] = {
      {"as ever, 24 bits", 24, false, false, &masked, 24, false},
      {"as ever, 8 bits", 8, false, false, &masked, 8, false},
      {"alpha, masked, 24 bits asked", 24, true, false, &masked, 8, true},
      {"alpha, masked, 8 bits", 8, true, false, &masked, 8, true},
      {"alpha, opaque", 24, true, false, &opaque, 24, false},
      {"alpha, PNG", 24, true, true, &masked, 0, false},
      {"PNG without alpha", 24, false, true, &opaque, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    FakeWindow window;
    window.bitmapFolder = Platform::TextOf(dir.Path());
    RunSettings settings;
    settings.outputPath = dir.File("out.t3d");
    settings.bitmapDepth = c.depth;
    settings.textureAlpha = c.alpha;
    settings.texturePng = c.png;
    Unreal::T3dWriter writer(settings.outputPath);
    ReportBuilder report;
    BitmapSaver saver(settings, window, writer, report);
    window.picture = c.picture;
    const SavedPicture saved = saver.Save(*c.picture);
    EXPECT_EQ(Platform::TextOf(Platform::PathOf(saved.path).filename()),
              c.png ? "texture_1.png" : "texture_1.bmp");
    EXPECT_EQ(saved.masked, c.savedMasked);
    const std::string file = ReadFile(saved.path);
    if (c.savedDepth == 0) {
      EXPECT_EQ(file, PngBytes(*c.picture));
      continue;
    }
    EXPECT_EQ(DepthOf(file), c.savedDepth);
    if (c.savedMasked) {
      EXPECT_EQ(EntryZeroOf(file, 2), (std::set<std::size_t>{0}));
    }
  }
}

// Each engine saves the cards in the form its editor shows masked, and
// flags their polygons where its editor reads the flag: UE1 and UE2 8-bit
// bitmaps whose entry 0 is the mask and PF_Masked (Flags=2) on exactly the
// cards' polygons, mapped or not; UE3 and UE4 RGBA PNGs and no flag. The
// opaque ground keeps the engine's depth (UE1 8 bits, UE2 as asked) and no
// flag; --texture-format chooses for any engine.
TEST(TextureAlphaRunTest, EachEngineSavesAndFlagsMaskedTexturesAsItsEditorShowsThem) {
  using Kelvane::Unreal::Engine;
  using TextureFormat = RunSettings::TextureFormat;
  const struct {
    Engine engine;
    TextureFormat format;
    const char* extension;
    int groundDepth;  // 0: a PNG
    bool flagged;
  } cases[] = {
      {Engine::kUe1, TextureFormat::kEngine, ".bmp", 8, true},
      {Engine::kUe2, TextureFormat::kEngine, ".bmp", 24, true},
      {Engine::kUe3, TextureFormat::kEngine, ".png", 0, false},
      {Engine::kUe4, TextureFormat::kEngine, ".png", 0, false},
      {Engine::kUe3, TextureFormat::kBmp, ".bmp", 24, false},
      {Engine::kUe2, TextureFormat::kPng, ".png", 0, false},
  };
  for (const auto& c : cases) {
    for (const int uv : {0, 1}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(c.engine)) + c.extension +
                   (uv ? " mapped" : " not mapped"));
      RunFixture fixture;
      fixture.window.wholeFormat = 1;
      fixture.window.engine = c.engine;
      fixture.window.textureFormat = c.format;
      fixture.window.textureMapping = uv;
      ASSERT_EQ(fixture.Run(Cards("masked-cards-big.3dmf")), std::nullopt) << fixture.message;
      ASSERT_EQ(fixture.report.bitmaps.size(), 3u);
      const std::vector<Image>& shown = fixture.window.savedTextures;
      for (int n = 0; n < 3; ++n) {
        const std::string& path = fixture.report.bitmaps[static_cast<std::size_t>(n)];
        EXPECT_EQ(Platform::TextOf(Platform::PathOf(path).extension()), c.extension);
        const std::string file = ReadFile(path);
        if (std::string(c.extension) == ".png") {
          EXPECT_EQ(testing_support::DecodePng(file).alpha.empty(), n == 2) << n;
          continue;
        }
        EXPECT_EQ(DepthOf(file), n < 2 ? 8 : c.groundDepth) << n;
        if (n < 2) {
          EXPECT_EQ(EntryZeroOf(file, 16), TransparentIn(shown[static_cast<std::size_t>(n)]));
        }
      }
      // Two triangles a card, two for the ground.
      const auto records = testing_support::Records(fixture.Output());
      ASSERT_EQ(records.size(), 6u);
      int flagged = 0;
      for (const auto& record : records) {
        const bool flag = record.head.find(" Flags=2 Link=") != std::string::npos;
        flagged += flag;
        // Mapped, the flag goes with the cards' textures, in the editor's order.
        if (uv && flag) {
          EXPECT_EQ(record.texture.back() == '3', false) << record.head;
        }
      }
      EXPECT_EQ(flagged, c.flagged ? 4 : 0);
    }
  }
}

}  // namespace
