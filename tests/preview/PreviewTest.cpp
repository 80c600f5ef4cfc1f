#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include "FaultSupport.h"  // a full disk is made the Linux way
#endif
#include "TestSupport.h"
#include "image/Bitmap.h"
#include "image/Png.h"
#include "image/PngReading.h"
#include "preview/Preview.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using Kelvane::Image;
using Kelvane::Preview::Model;
using Kelvane::Preview::ReadT3d;
using Kelvane::Preview::Render;
using Kelvane::Preview::Texture;
using Kelvane::Preview::View;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using Colours = std::vector<std::uint32_t>;

constexpr std::uint32_t kBackground = Kelvane::Preview::kBackground;
constexpr std::uint32_t kFacing = Kelvane::Preview::kFacing;

// A view along +X: Y to the right, Z up, every face in the YZ plane facing.
const View kFront{0, 0, 1};

std::string Polygon(const std::vector<std::string>& corners) {
  std::string text = "Begin Polygon Item=OUTSIDE Link= 0\r\nOrigin 0,0,0\r\n";
  for (const std::string& c : corners) text += "   Vertex   " + c + "\r\n";
  return text + "End Polygon\r\n";
}

// A rectangle in the plane x = depth.
std::string Square(double depth, double y0, double z0, double y1, double z1) {
  auto corner = [&](double y, double z) {
    return std::to_string(depth) + "," + std::to_string(y) + "," + std::to_string(z);
  };
  return Polygon({corner(y0, z0), corner(y1, z0), corner(y1, z1), corner(y0, z1)});
}

// A cube of side 2 around the origin.
std::string CubeText() {
  return Square(-1, -1, -1, 1, 1) + Square(1, -1, -1, 1, 1) +
         Polygon({"-1,-1,-1", "1,-1,-1", "1,-1,1", "-1,-1,1"}) +
         Polygon({"-1,1,-1", "1,1,-1", "1,1,1", "-1,1,1"}) +
         Polygon({"-1,-1,-1", "1,-1,-1", "1,1,-1", "-1,1,-1"}) +
         Polygon({"-1,-1,1", "1,-1,1", "1,1,1", "-1,1,1"});
}

std::uint32_t At(const Image& p, int x, int y) {
  return p.rgb[static_cast<std::size_t>(y * p.width + x)];
}

// Left, top, right and bottom of the pixels that are not background.
std::vector<int> Silhouette(const Image& p) {
  std::vector<int> box = {-1, -1, -1, -1};
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if (At(p, x, y) != kBackground) {
        if (box[0] < 0) box = {x, y, x, y};
        box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
      }
  return box;
}

// ---------------------------------------------------------------- ReadT3d

TEST(PreviewReadTest, AMapFromTheTemplateGivesOnlyTheConvertedBrushes) {
  // The template's builder brush and subtracted room are passed over.
  std::string text = ReadFile(std::string(KELVANE_SOURCE_DIR) + "/StartMapFile.txt");
  ASSERT_NE(text.find("CSG_Subtract"), std::string::npos);
  std::string piece;
  Unreal::BeginBrushActor(piece, 2, {0, 0, 0});
  text += piece;
  Unreal::BeginPolyList(piece);
  text += piece;
  Unreal::T3dWriter writer("out.t3d");
  writer.WriteTriangle(text, {-1.25, 0, 3}, {40000, 0.5, 0}, {0, -7, 0.00001});
  writer.WriteTriangle(text, {1, 1, 1}, {2, 2, 2}, {3, 3, 5});
  Unreal::EndPolyList(piece);
  text += piece + "\r\n";
  Unreal::EndBrushActor(piece, 2);
  text += piece + "End Map\r\n";
  const Model model = ReadT3d(text);
  EXPECT_EQ(model.cornerCount, (std::vector<std::uint32_t>{3, 3}));
  EXPECT_EQ(model.corners, (std::vector<float>{-1.25f, 0, 3, 40000, 0.5f, 0, 0, -7, 0.00001f, 1, 1,
                                               1, 2, 2, 2, 3, 3, 5}));
}

TEST(PreviewReadTest, WholeRecordsAreReadAndBrokenOnesLeftOut) {
  const std::string good = Polygon({"0,0,0", "1,0,0", "0,1,0"});
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::uint32_t> counts;
  };
  const Case cases[] = {
      {"any case, LF",
       "begin polygon\nVERTEX +1.5,-.5 , 1e2\n\tvertex 0,0,0\nVertex 0,1,0\nend",
       {3}},
      {"lines ending in CR",
       "Begin Polygon\rVertex 0,0,0\rVertex 1,0,0\rVertex 0,1,0\r" + good,
       {3, 3}},
      {"cut by the next record",
       "Begin Polygon\nVertex 0,0,0\nVertex 1,0,0\nVertex 0,1,0\n" + good,
       {3, 3}},
      {"an added brush",
       "Begin Actor Class=Brush\ncsgoper = csg_add\n" + good + "End Actor\n",
       {3}},
      {"a builder brush", "Begin Actor Class=Brush\n" + good + "End Actor\n" + good, {3}},
      {"two corners", Polygon({"0,0,0", "1,0,0"}) + good, {3}},
      // Three good corners and one that is not.
      {"two numbers", Polygon({"0,0,0", "1,0", "0,1,0", "1,1,0"}) + good, {3}},
      {"text after", Polygon({"0,0,0", "1,0,0 x", "0,1,0", "1,1,0"}) + good, {3}},
      {"not numbers", Polygon({"0,0,0", "inf,0,0", "0,1,0", "1,1,0"}) + good, {3}},
      {"too large", Polygon({"0,0,0", "1e31,0,0", "0,1,0", "1,1,0"}) + good, {3}},
      {"sign twice", Polygon({"0,0,0", "--1,0,0", "0,1,0", "1,1,0"}) + good, {3}},
      {"vertex outside", "Vertex 1,2,3\r\n" + good, {3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Model model = ReadT3d(c.text);
    EXPECT_EQ(model.cornerCount, c.counts);
    EXPECT_EQ(model.corners.size(), 9 * c.counts.size());
  }
  EXPECT_EQ(ReadT3d(cases[0].text).corners,
            (std::vector<float>{1.5f, -0.5f, 100, 0, 0, 0, 0, 1, 0}));
}

TEST(PreviewReadTest, ATruncatedDocumentGivesTheCornersItHolds) {
  const std::string text = "Begin PolyList\r\n" + Polygon({"1,2,3", "4,5,6", "7,8,9", "10,11,12"}) +
                           Polygon({"-1,-2,-3", "-4,-5,-6", "-7,-8,-9.5"}) + "End PolyList\r\n";
  const Model whole = ReadT3d(text);
  ASSERT_EQ(whole.cornerCount, (std::vector<std::uint32_t>{4, 3}));
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    SCOPED_TRACE(cut);
    const Model part = ReadT3d(std::string_view(text).substr(0, cut));
    // Never a corner that is not in the whole, never a number cut short.
    ASSERT_LE(part.corners.size(), whole.corners.size());
    EXPECT_TRUE(std::equal(part.corners.begin(), part.corners.end(), whole.corners.begin()));
    ASSERT_LE(part.cornerCount.size(), 2u);
    for (std::size_t i = 0; i < part.cornerCount.size(); ++i) {
      EXPECT_LE(part.cornerCount[i], whole.cornerCount[i]);
      EXPECT_GE(part.cornerCount[i], 3u);
    }
  }
}

TEST(PreviewReadTest, GarbageNeverGivesAnUnreadableCorner) {
  std::mt19937 random(7);
  const std::string pieces[] = {"Begin Polygon",
                                "End Polygon",
                                "Vertex ",
                                "Begin Actor Class=Brush",
                                "CsgOper=CSG_Add",
                                "End Actor",
                                ",",
                                "-",
                                "1e30",
                                "9e99",
                                ".",
                                "\r\n",
                                "\n",
                                "\r",
                                "\t",
                                "nan",
                                "0x1F",
                                "+",
                                "3"};
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int i = static_cast<int>(random() % 60); i > 0; --i)
      text += random() % 4 == 0 ? std::string(1, static_cast<char>(random() % 256))
                                : pieces[random() % std::size(pieces)];
    const Model model = ReadT3d(text);
    std::size_t corners = 0;
    for (const std::uint32_t n : model.cornerCount) corners += n;
    ASSERT_EQ(model.corners.size(), 3 * corners) << text;
    for (const float v : model.corners) ASSERT_TRUE(std::fabs(v) <= 1e30f) << text;
  }
}

// ---------------------------------------------------------------- Render

TEST(PreviewRenderTest, AFacingTriangleFillsThePictureButForTheMargin) {
  // Y and Z from -1 to 1 in 200 pixels less 5% each side; the apex is a
  // point at row 10, so the first pixel centre it covers is in row 11.
  const Model triangle = ReadT3d(Polygon({"0,-1,-1", "0,1,-1", "0,0,1"}));
  const Image picture = Render(triangle, 200, 200, kFront);
  ASSERT_EQ(picture.rgb.size(), 200u * 200u);
  EXPECT_EQ(Silhouette(picture), (std::vector<int>{10, 11, 189, 189}));
  EXPECT_EQ((Colours{At(picture, 100, 185), At(picture, 100, 20), At(picture, 30, 30)}),
            (Colours{kFacing, kFacing, kBackground}));
  // In a tall picture the width sets the scale; the model sits in the middle.
  EXPECT_EQ(Silhouette(Render(triangle, 200, 300, kFront)), (std::vector<int>{10, 61, 189, 239}));
  // Both faces are drawn: the back looks the same.
  const Model reversed = ReadT3d(Polygon({"0,0,1", "0,1,-1", "0,-1,-1"}));
  EXPECT_EQ(Render(reversed, 200, 200, kFront).rgb, picture.rgb);
  EXPECT_EQ(Silhouette(Render(triangle, 200, 200, {0, 0, 2})), (std::vector<int>{0, 0, 199, 199}));
}

TEST(PreviewRenderTest, TheNearerFaceHidesTheFartherAndIsOutlined) {
  // A facing square (pixels 42 to 77) in front of a larger one turned a
  // little about Z (pixels 6 to 113).
  const std::string nearSquare = Square(-5, -1, -1, 1, 1);
  const std::string farSquare = Polygon({"4,-3,-3", "6,3,-3", "6,3,3", "4,-3,3"});
  for (const std::string& text : {nearSquare + farSquare, farSquare + nearSquare}) {
    const Image p = Render(ReadT3d(text), 120, 120, kFront);
    const std::uint32_t turned = At(p, 10, 60);
    EXPECT_TRUE((turned & 0xFF) > (Kelvane::Preview::kEdgeOn & 0xFF) && (turned & 0xFF) < 0xEE);
    const auto outline = Kelvane::Preview::kOutline;
    EXPECT_EQ((Colours{At(p, 5, 60), At(p, 41, 60), At(p, 42, 60), At(p, 43, 60), At(p, 60, 60),
                       At(p, 60, 42), At(p, 60, 77)}),
              (Colours{kBackground, turned, outline, kFacing, kFacing, outline, outline}));
  }
}

TEST(PreviewRenderTest, TrianglesSharingEdgesLeaveNoGap) {
  // Facing grids of quads fanned into two triangles each. In the first a
  // model unit is a pixel and the diagonals run through pixel centres.
  struct Case {
    int columns, rows;
    double width, height;
    int pictureWidth, pictureHeight;
    double zoom;
  };
  for (const Case& c :
       {Case{9, 9, 20, 20, 200, 200, 1}, Case{23, 17, 0.37, 0.53, 333, 251, 0.97}}) {
    std::string text;
    for (int i = 0; i < c.columns; ++i)
      for (int j = 0; j < c.rows; ++j)
        text += Square(0, i * c.width, j * c.height, (i + 1) * c.width, (j + 1) * c.height);
    const Image p = Render(ReadT3d(text), c.pictureWidth, c.pictureHeight, {0, 0, c.zoom});
    const std::vector<int> box = Silhouette(p);
    ASSERT_GT(box[2] - box[0], c.pictureWidth / 2);
    for (int y = box[1]; y <= box[3]; ++y)
      for (int x = box[0]; x <= box[2]; ++x) ASSERT_EQ(At(p, x, y), kFacing) << x << "," << y;
  }
}

TEST(PreviewRenderTest, ACubeFromTheFixedAngleShowsATopAndTwoSidesLitAlike) {
  const Image p = Render(ReadT3d(CubeText()), 160, 120);
  EXPECT_EQ(std::set<std::uint32_t>(p.rgb.begin(), p.rgb.end()).size(), 3u);
  const std::uint32_t top = At(p, 80, 35), side = At(p, 60, 80);
  EXPECT_EQ((Colours{At(p, 0, 0), At(p, 159, 119), At(p, 100, 80)}),
            (Colours{kBackground, kBackground, side}));
  EXPECT_TRUE(top != side && side != kBackground && top != kBackground);
}

TEST(PreviewRenderTest, OddInputsGiveAPictureOrNone) {
  const Model triangle = ReadT3d(Polygon({"0,-1,-1", "0,1,-1", "0,0,1"}));
  for (const auto& [w, h] : {std::pair{0, 10}, {10, -1}, {Kelvane::Preview::kMaxSide + 1, 10}})
    EXPECT_EQ(Render(triangle, w, h).width, 0);
  Model odd = triangle;
  odd.cornerCount = {2, 1, 99};  // counts that do not match the corners
  Model notFinite = triangle, huge = triangle;
  notFinite.corners[4] = NAN;
  huge.corners[5] = 3e38f;  // beyond what ReadT3d takes
  const Model point = ReadT3d(Polygon({"1,1,1", "1,1,1", "1,1,1"}));
  for (const Model& model : {Model{}, odd, notFinite, huge, point}) {
    const Image p = Render(model, 30, 20, {NAN, INFINITY, -3});
    EXPECT_EQ(std::set<std::uint32_t>(p.rgb.begin(), p.rgb.end()), std::set{kBackground});
  }
}

// ---------------------------------------------------------------- PNG

TEST(PreviewPngTest, ThePngFileHoldsTheRenderedPicture) {
  TempDir dir;
  WriteFile(dir.File("model.t3d"), CubeText());
  Kelvane::Preview::WritePreviewPng(dir.File("model.t3d"), dir.File("model.png"), 190, 150);
  const Image decoded = testing_support::DecodePng(ReadFile(dir.File("model.png")));
  EXPECT_EQ(decoded.width, 190);
  EXPECT_EQ(decoded.height, 150);
  EXPECT_TRUE(decoded.rgb == Render(ReadT3d(CubeText()), 190, 150).rgb);
}

TEST(PreviewPngTest, FileFaultsAndSizesRaiseRunErrors) {
  TempDir dir;
  WriteFile(dir.File("model.t3d"), CubeText());
  std::filesystem::create_directory(Platform::PathOf(dir.File("folder")));
  struct Case {
    std::string t3d, png;
    int width;
    Kelvane::ErrorKind kind;
    std::string named;
  };
  const auto fileError = Kelvane::ErrorKind::FileError;
  const Case cases[] = {
      {dir.File("missing.t3d"), dir.File("a.png"), 64, fileError, dir.File("missing.t3d")},
      {dir.File("folder"), dir.File("a.png"), 64, fileError, dir.File("folder")},
      {dir.File("model.t3d"), dir.File("none/a.png"), 64, fileError, dir.File("none/a.png")},
      {dir.File("model.t3d"), dir.File("a.png"), 0, Kelvane::ErrorKind::InvalidArgument, "0 x 64"},
  };
  for (const Case& c : cases) {
    try {
      Kelvane::Preview::WritePreviewPng(c.t3d, c.png, c.width, 64);
      ADD_FAILURE() << "no error for " << c.named;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), c.kind) << c.named;
      EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(Platform::PathOf(dir.File("a.png"))));
  }
#ifndef _WIN32
  // A full disk: a file error, and no half picture left behind (the
  // picture is some hundreds of bytes).
  const int status = testing_support::RunWithFileSizeLimit(100, [&] {
    try {
      Kelvane::Preview::WritePreviewPng(dir.File("model.t3d"), dir.File("full.png"), 64, 64);
    } catch (const Kelvane::RunError& e) {
      return e.Kind() == fileError ? 0 : 2;
    }
    return 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir.File("full.png")));
#endif
}

}  // namespace

namespace {

// A textured record: the square y, z in [-1, 1] at x = 0, its texture
// `name` laid by the given axes.
std::string TexturedSquare(const std::string& name, const std::string& origin, const std::string& u,
                           const std::string& v) {
  return "Begin Polygon Item=OUTSIDE Texture=" + name + " Link= 0\r\nOrigin " + origin +
         "\r\nNormal 1,0,0\r\nTextureU " + u + "\r\nTextureV " + v +
         "\r\nVertex 0,-1,-1\r\nVertex 0,1,-1\r\nVertex 0,1,1\r\nVertex 0,-1,1\r\nEnd Polygon\r\n";
}

TEST(PreviewTextureTest, RecordsKeepTheirTextureNamesAndAxesFromTheFirstOneOn) {
  const std::string plain = Polygon({"0,0,0", "1,0,0", "0,1,0"});
  const Model model = ReadT3d(plain + TexturedSquare("wood", "0,-1,1", "0,2,0", "0,0,-2") +
                              TexturedSquare("wood", "1,2,3", "4,5,6", "7,8,9") +
                              TexturedSquare("stone", "0,0,0", "x", "0,0,1") + plain);
  ASSERT_EQ(model.cornerCount.size(), 5u);
  EXPECT_EQ(model.textureNames, (std::vector<std::string>{"wood", "stone"}));
  ASSERT_EQ(model.mappings.size(), 5u);
  EXPECT_EQ(model.mappings[0].texture, -1);
  EXPECT_EQ(model.mappings[1].texture, 0);
  EXPECT_EQ(model.mappings[1].origin[1], -1.0f);
  EXPECT_EQ(model.mappings[1].v[2], -2.0f);
  EXPECT_EQ(model.mappings[2].texture, 0);
  EXPECT_EQ(model.mappings[2].u[1], 5.0f);
  EXPECT_EQ(model.mappings[3].texture, -1);  // unreadable axes: drawn plain
  EXPECT_EQ(model.mappings[4].texture, -1);
  // A first polygon that names a texture keeps it too.
  EXPECT_EQ(ReadT3d(TexturedSquare("a", "0,0,0", "1,0,0", "0,1,0")).mappings.at(0).texture, 0);
  EXPECT_TRUE(ReadT3d(plain + plain).mappings.empty());
}

TEST(PreviewTextureTest, ATexturedFaceShowsItsTexelsWhereItsAxesLayThem) {
  // A 2 x 2 texture over the whole square: texel (s, t) = ((y + 1), (1 - z))
  // from the top left corner, so the top row of the texture is at z = 1.
  const Model model = ReadT3d(TexturedSquare("checks", "0,-1,1", "0,1,0", "0,0,-1"));
  const std::vector<Texture> textures = {{{2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}}}};
  const Image picture = Render(model, 200, 200, kFront, &textures);
  // Facing the viewer: the texels themselves. Y runs to the right, Z up.
  EXPECT_EQ((Colours{At(picture, 50, 50), At(picture, 150, 50), At(picture, 50, 150),
                     At(picture, 150, 150)}),
            (Colours{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}));
  // Without its texture the face is drawn plain.
  const std::vector<Texture> missing(1);
  EXPECT_EQ(At(Render(model, 200, 200, kFront, &missing), 50, 50), kFacing);
  EXPECT_EQ(At(Render(model, 200, 200, kFront), 50, 50), kFacing);
  // Axes twice as long repeat the texture twice across the face.
  const Model twice = ReadT3d(TexturedSquare("checks", "0,-1,1", "0,2,0", "0,0,-2"));
  const Image repeated = Render(twice, 200, 200, kFront, &textures);
  EXPECT_EQ(At(repeated, 30, 30), 0xFF0000u);
  EXPECT_EQ(At(repeated, 70, 30), 0x00FF00u);
  EXPECT_EQ(At(repeated, 120, 30), 0xFF0000u);
}

TEST(PreviewTextureTest, ThePngOfADocumentShowsTheBitmapsBesideIt) {
  TempDir dir;
  WriteFile(dir.File("doc.t3d"), "Begin PolyList\r\n" +
                                     TexturedSquare("skin", "0,-1,1", "0,1,0", "0,0,-1") +
                                     "End PolyList\r\n");
  Kelvane::Image picture = Kelvane::BlankPicture(2, 2);
  for (int i = 0; i < 4; ++i) picture.SetPixel(i % 2, i / 2, 0x00FF00);
  Kelvane::SaveBitmap(picture, dir.File("skin.bmp"));
  Kelvane::Preview::WritePreviewPng(dir.File("doc.t3d"), dir.File("doc.png"), 64, 64);
  const std::string png = ReadFile(dir.File("doc.png"));
  const Model model = Kelvane::Preview::ReadT3dFile(dir.File("doc.t3d"));
  const auto textures = Kelvane::Preview::LoadTextures(model, dir.File(""));
  ASSERT_EQ(textures.size(), 1u);
  EXPECT_EQ(textures[0].picture.rgb, picture.rgb);
  EXPECT_EQ(png, Kelvane::PngBytes(Render(model, 64, 64, View{}, &textures)));
  EXPECT_NE(png, Kelvane::PngBytes(Render(model, 64, 64, View{})));
}

}  // namespace

namespace {

// A 2 x 2 texture (red, green / blue, yellow) whose red texel is
// transparent, as a run saves it: a masked 8-bit bitmap or an RGBA PNG.
Image RedClear() { return {2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00}, {0, 255, 255, 255}}; }

// The textured square at x = 0 with its head line's flags, and a plain
// square behind it at x = 1.
Model CardBeforeAWall(const std::string& flags, const std::string& folder) {
  const std::string card = "Begin Polygon Item=OUTSIDE Texture=skin" + flags +
                           " Link=0\r\nOrigin 0,-1,1\r\nNormal 1,0,0\r\nTextureU 0,1,0\r\n"
                           "TextureV 0,0,-1\r\nVertex 0,-1,-1\r\nVertex 0,1,-1\r\nVertex 0,1,1\r\n"
                           "Vertex 0,-1,1\r\nEnd Polygon\r\n";
  WriteFile(folder + "/doc.t3d",
            "Begin PolyList\r\n" + card + Square(1, -1, -1, 1, 1) + "End PolyList\r\n");
  return Kelvane::Preview::ReadT3dFile(folder + "/doc.t3d");
}

// Where a masked card's texels are see-through, the wall behind it shows:
// palette entry 0 of an 8-bit bitmap on a polygon marked masked, the alpha
// below half of a PNG on any polygon; NAME.bmp comes before NAME.png.
TEST(PreviewTextureTest, MaskedTexelsShowWhatLiesBehindThem) {
  const Image opaque{2, 2, RedClear().rgb};
  struct Case {
    const char* name;
    const char* flags;
    bool maskedBitmap, plainBitmap, png;
    bool seeThrough;
  };
  const Case cases[] = {
      {"masked bitmap, polygon masked", " Flags=2", true, false, false, true},
      {"masked bitmap, masked among other flags", " Flags=298", true, false, false, true},
      {"masked bitmap, polygon not masked", " Flags=256", true, false, false, false},
      {"masked bitmap, no flags", "", true, false, false, false},
      {"24-bit bitmap, polygon masked", " Flags=2", false, true, false, false},
      {"PNG with alpha, no flags", "", false, false, true, true},
      {"PNG with alpha, polygon masked", " Flags=2", false, false, true, true},
      {"a bitmap beside the PNG comes first", "", false, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string folder = dir.File("");
    if (c.maskedBitmap) Kelvane::SaveMaskedBitmap(RedClear(), dir.File("skin.bmp"));
    if (c.plainBitmap) Kelvane::SaveBitmap(opaque, dir.File("skin.bmp"));
    if (c.png) Kelvane::SavePng(RedClear(), dir.File("skin.png"));
    const Model model = CardBeforeAWall(c.flags, folder);
    ASSERT_EQ(model.cornerCount.size(), 2u);
    const auto textures = Kelvane::Preview::LoadTextures(model, folder);
    const Image picture = Render(model, 200, 200, kFront, &textures);
    EXPECT_EQ(At(picture, 50, 50), c.seeThrough ? kFacing : 0xFF0000u);
    EXPECT_EQ((Colours{At(picture, 150, 50), At(picture, 50, 150), At(picture, 150, 150)}),
              (Colours{0x00FF00, 0x0000FF, 0xFFFF00}));
  }
  // The command line's preview draws the same.
  TempDir dir;
  Kelvane::SaveMaskedBitmap(RedClear(), dir.File("skin.bmp"));
  const Model model = CardBeforeAWall(" Flags=2", dir.File(""));
  Kelvane::Preview::WritePreviewPng(dir.File("doc.t3d"), dir.File("doc.png"), 64, 64);
  const auto textures = Kelvane::Preview::LoadTextures(model, dir.File(""));
  EXPECT_EQ(ReadFile(dir.File("doc.png")),
            Kelvane::PngBytes(Render(model, 64, 64, View{}, &textures)));
}

}  // namespace
