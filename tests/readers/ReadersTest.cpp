#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/FakeWindow.h"
#include "readers/Readers.h"
#include "t3d/Unreal.h"

namespace {

using Kelvane::ErrorKind;
using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::TempDir;

// Calls one reader on a text whose object keyword stands at position 1.
class ReaderFixture {
 public:
  explicit ReaderFixture(std::string text, double scale = 1.0)
      : text_(std::move(text)), scale_(scale), output_(dir_.File("out.t3d")) {
    Unreal::PolygonLinkCounter = 0;
  }

  template <typename Reader>
  void Read(Reader reader) {
    Kelvane::ReaderArgs args{text_, position, scale_, output_, window, spot};
    reader(args);
  }

  // The vertex lines written, without "Vertex " and the line end.
  std::vector<std::string> Vertices() const {
    std::vector<std::string> vertices;
    std::istringstream in(ReadFile(output_));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("Vertex ", 0) == 0) vertices.push_back(line.substr(7, line.size() - 8));
    }
    return vertices;
  }

  std::int32_t position = 1;
  std::int32_t spot = 0;
  FakeWindow window;

 private:
  TempDir dir_;
  std::string text_;
  double scale_;
  std::string output_;
};

using Strings = std::vector<std::string>;

TEST(PolyhedronReaderTest, LayoutOfCountsVerticesSkippedLinesAndFaces) {
  // Extra tokens on the counts and face lines are not read; two skipped lines
  // with content, empty lines not counting; the fraction 1.5 rounds to 2.
  ReaderFixture fixture(
      "Polyhedron ( x\n\n3 2 1.5 99\n1 2 3 4 5 6 7 8 9 10\n\nskip one\nskip two\n\n2 1 0 7\n0 0 "
      "0\nafter\n",
      20.0);
  fixture.Read(Kelvane::ReadPolyhedron);
  EXPECT_EQ(
      fixture.Vertices(),
      (Strings{"00140.00000,-00180.00000,00160.00000", "00080.00000,-00120.00000,00100.00000",
               "00020.00000,-00060.00000,00040.00000", "00020.00000,-00060.00000,00040.00000",
               "00020.00000,-00060.00000,00040.00000", "00020.00000,-00060.00000,00040.00000"}));
  // Behind the last face line, on the next line with content ("after").
  EXPECT_EQ(fixture.position, 83);
  EXPECT_EQ(fixture.window.doEvents, 1);
}

TEST(PolyhedronReaderTest, MissingTokensRepeatTheLastCharacterOrGiveZero) {
  // "1 2 3" read for two vertices: the second gets 3, 3, 3.
  ReaderFixture repeat("Polyhedron\n2 0 1\n1 2 3\n0 1 1\n");
  repeat.Read(Kelvane::ReadPolyhedron);
  EXPECT_EQ(repeat.Vertices(),
            (Strings{"00001.00000,-00003.00000,00002.00000", "00003.00000,-00003.00000,00003.00000",
                     "00003.00000,-00003.00000,00003.00000"}));
  // A trailing blank gives empty tokens, value 0.
  ReaderFixture blank("Polyhedron\n2 0 1\n1 2 3 \n0 1 1\n");
  blank.Read(Kelvane::ReadPolyhedron);
  EXPECT_EQ(blank.Vertices()[1], "00000.00000,00000.00000,00000.00000");
}

TEST(TriMeshReaderTest, PointsAreAStreamOfTokensAcrossLines) {
  const std::string counts = "TriMesh (\n1 0 3 0 3 0\n2 0 1 9\ne1\ne2\ne3\n";
  ReaderFixture oneLine(counts + "1 2 3 4 5 6 7 8 9)");
  oneLine.Read(Kelvane::ReadTriMesh);
  ReaderFixture threeToALine(counts + "1 2 3\n4 5 6\r\n7\t8 9\n)");
  threeToALine.Read(Kelvane::ReadTriMesh);
  const Strings expected{"00007.00000,-00009.00000,00008.00000",
                         "00001.00000,-00003.00000,00002.00000",
                         "00004.00000,-00006.00000,00005.00000"};
  EXPECT_EQ(oneLine.Vertices(), expected);
  EXPECT_EQ(threeToALine.Vertices(), expected);
  // Just behind the last number: on the character that closed it.
  EXPECT_EQ(threeToALine.position, 58);
}

TEST(TriMeshReaderTest, ShortTriangleLineAndScaleAppliedAtWriting) {
  // "0 2" gives the indices 0, 2 and 2 again; the scale 2 doubles each corner.
  ReaderFixture fixture("TriMesh\n1 0 0 0 3 0\n0 2\n1 2 3 4 5 6 7 8 9\n", 2.0);
  fixture.Read(Kelvane::ReadTriMesh);
  EXPECT_EQ(fixture.Vertices(),
            (Strings{"00002.00000,-00006.00000,00004.00000", "00014.00000,-00018.00000,00016.00000",
                     "00014.00000,-00018.00000,00016.00000"}));
  EXPECT_EQ(fixture.window.doEvents, 1);  // one pass per polygon
}

TEST(TriMeshReaderTest, CountsAreCheckedEvenWhenUnused) {
  ReaderFixture fixture("TriMesh\n1 40000 0 0 3 0\n");
  try {
    fixture.Read(Kelvane::ReadTriMesh);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Overflow);
  }
  ReaderFixture noPoints("TriMesh\n1 0 0 0 0 0\n0 1 2\n");
  try {
    noPoints.Read(Kelvane::ReadTriMesh);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::OutOfRange);
  }
}

TEST(MeshReaderTest, FacesUseTheirFirstThreeCornersInOrder) {
  // Face 3 2 1 0 takes the points 2, 1, 0; a vertex line's fourth number is
  // not read; the contour count is passed over whatever it says.
  ReaderFixture fixture("Mesh (\n3\n1 2 3 99\n4 5 6\n7 8 9\n2\n5\n3 2 1 0\n-7 0 1 2 9\n)\n");
  fixture.Read(Kelvane::ReadMesh);
  EXPECT_EQ(
      fixture.Vertices(),
      (Strings{"00007.00000,-00009.00000,00008.00000", "00004.00000,-00006.00000,00005.00000",
               "00001.00000,-00003.00000,00002.00000", "00001.00000,-00003.00000,00002.00000",
               "00004.00000,-00006.00000,00005.00000", "00007.00000,-00009.00000,00008.00000"}));
  // While polygons are written the caption counts the faces from 0.
  const Strings& captions = fixture.window.labelPos;
  ASSERT_GE(captions.size(), 2u);
  EXPECT_EQ(captions[captions.size() - 2], "0");
  EXPECT_EQ(captions.back(), "1");
  EXPECT_EQ(fixture.position, 54);  // on the line after the last face line
}

TEST(MeshReaderTest, IndexOutsideTheTableFailsWhenItsFaceIsWritten) {
  ReaderFixture fixture("Mesh\n3\n0 0 0\n1 0 0\n0 0 1\n2\n0\n3 0 1 2\n3 0 1 -1\n");
  try {
    fixture.Read(Kelvane::ReadMesh);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::OutOfRange);
  }
  EXPECT_EQ(fixture.Vertices().size(), 3u);  // the first face is out
}

// Texture cases: the header line, pixel lines, the picture as offered for saving.
struct TextureCase {
  const char* name;
  std::string input;
  int width;
  int height;
  std::vector<std::uint32_t> pixels;  // row by row
};

TEST(TextureReaderTest, PixelsFillRowsAcrossLines) {
  constexpr std::uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kBlack = 0;
  const TextureCase cases[] = {
      {"24 bits", "PixmapTexture (\n2 1 6 24\n0x0000FF00FF00\n)\n", 2, 1, {kRed, kGreen}},
      {"32 bits skip the fourth byte",
       "PixmapTexture (\n2 1 8 32\n0x0000FF000000FF00\n)\n",
       2,
       1,
       {kRed, kRed}},
      {"rows continue in the line",
       "PixmapTexture (\n3 2 9 24\n0x0000FF00FF00FF0000000000\n0x0000FFFF0000FF000000FF00\n)\n",
       3,
       2,
       {kRed, kGreen, kBlue, kBlack, kRed, kBlue}},
      {"capital X is no marker", "PixmapTexture (\n1 1 3 24\n0X00FF\n)\n", 1, 1, {0xFF0000}},
      {"short byte at the end of a line",
       "PixmapTexture (\n2 1 6 24\n0x0000F\n0x00FF00\n)\n",
       2,
       1,
       {0x0F0000, kGreen}},
      {"pixel lines run out at the end of the input",
       "PixmapTexture (\n2 3 6 24\n0x0000FF",
       2,
       3,
       {kRed, kBlack, kBlack, kBlack, kBlack, kBlack}},
  };
  for (const TextureCase& c : cases) {
    ReaderFixture fixture(c.input);
    fixture.Read(Kelvane::ReadPixmapTexture);
    ASSERT_EQ(fixture.window.savedTextures.size(), 1u) << c.name;
    const Kelvane::TexturePicture& picture = fixture.window.savedTextures[0];
    ASSERT_EQ(picture.InnerWidth(), c.width) << c.name;
    ASSERT_EQ(picture.InnerHeight(), c.height) << c.name;
    EXPECT_EQ(picture.Pixels(), c.pixels) << c.name;
  }
}

TEST(TextureReaderTest, EachTextureStartsFromBlackAndEmptySizesReadNoLines) {
  ReaderFixture fixture("PixmapTexture (\n1 1 3 24\n0xFFFFFF\n");
  fixture.Read(Kelvane::ReadPixmapTexture);
  ReaderFixture second("PixmapTexture (\n2 1 3 24\n0xFFFFFF\n");
  second.window.picture = fixture.window.picture;  // the box keeps the last texture
  second.Read(Kelvane::ReadPixmapTexture);
  EXPECT_EQ(second.window.savedTextures[0].Pixels(),
            (std::vector<std::uint32_t>{0xFFFFFF, 0x000000}));

  ReaderFixture empty("PixmapTexture (\n0 5 0 24\n0xFFFFFF\n");
  empty.Read(Kelvane::ReadPixmapTexture);
  ASSERT_EQ(empty.window.savedTextures.size(), 1u);
  EXPECT_EQ(empty.window.savedTextures[0].InnerWidth(), 0);
  EXPECT_EQ(empty.position, 26);  // behind the header line only
}

TEST(TextureReaderTest, OverlongPixelLineAndRowsBeyond16BitsOverflow) {
  ReaderFixture longLine("PixmapTexture (\n1 1 3 24\n0x" + std::string(32766, '0') + "\n");
  try {
    longLine.Read(Kelvane::ReadPixmapTexture);
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Overflow);
  }
}

}  // namespace
