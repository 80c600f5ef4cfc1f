#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/FakeWindow.h"
#include "keyword/Readers.h"
#include "t3d/T3dWriter.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using Kelvane::ErrorKind;
using testing_support::FakeWindow;
using testing_support::ReadFile;
using testing_support::TempDir;

// Offers each painted picture to the window, as the run does.
class WindowSaver : public Kelvane::TextureSaver {
 public:
  explicit WindowSaver(FakeWindow& window) : window_(window) {}
  std::string SaveTexture(const Kelvane::Image&) override { return window_.ChooseBitmapPath(0, ""); }

 private:
  FakeWindow& window_;
};

// Calls one reader on a text whose object keyword stands at position 1.
class ReaderFixture {
 public:
  explicit ReaderFixture(std::string text, double scale = 1.0)
      : text_(std::move(text)), scale_(scale), output_(dir_.File("out.t3d")) {}

  template <typename Reader>
  void Read(Reader reader) {
    Unreal::T3dWriter writer(output_);
    WindowSaver saver(window);
    window.refuseSaving = true;  // the picture is kept, no bitmap written
    Kelvane::ReaderArgs args{.inputText = text_,
                             .scanPosition = position,
                             .spot = spot,
                             .scale = scale_,
                             .writer = writer,
                             .sink = window,
                             .saver = saver,
                             .picture = picture};
    reader(args);
    position = args.scanPosition;
    spot = args.spot;
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
  Kelvane::Image picture;  // the picture the texture reader paints

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

// A window that notes, at each yield, the link counter, the place and how
// many polygons the output holds; it can stop the run at a given yield, as
// closing the window does.
class WatchingWindow : public FakeWindow {
 public:
  explicit WatchingWindow(std::string output) : output_(std::move(output)) {}
  struct Seen {
    std::int32_t counter;
    std::int32_t spot;
    std::size_t polygons;
  };
  std::vector<Seen> seen;
  long stopAt = -1;

  void DoEvents() override {
    FakeWindow::DoEvents();
    const std::string written = ReadFile(output_);
    std::size_t polygons = 0;
    for (std::size_t at = written.find("Begin Polygon"); at != std::string::npos;
         at = written.find("Begin Polygon", at + 1)) {
      ++polygons;
    }
    seen.push_back({args->writer.PolygonLinkCounter(), args->spot, polygons});
    if (doEvents == stopAt) throw std::runtime_error("window closed");
  }

  const Kelvane::ReaderArgs* args = nullptr;

 private:
  std::string output_;
};

// Many polygons, one of them (the 100th) naming a point that is not there:
// each polygon before it is on disk at its yield, with the counter and the
// place as they would be had every polygon been made just before its
// write; then the failure comes with the place of the bad index. A run
// stopped at a yield before it ends there, with the same counter.
TEST(TriMeshReaderTest, FailuresAndYieldsComeInPolygonOrder) {
  constexpr int kTriangles = 150;
  constexpr int kBad = 99;
  std::string text = "TriMesh (\n" + std::to_string(kTriangles) + " 0 0 0 4 0\n";
  std::size_t badAt = 0;
  for (int t = 0; t < kTriangles; ++t) {
    if (t == kBad) {
      text += "0 1 ";
      badAt = text.size();
      text += "7\n";
    } else {
      text += std::to_string(t % 4) + " " + std::to_string((t + 1) % 4) + " " +
              std::to_string((t + 2) % 4) + "\n";
    }
  }
  text += "0 0 0 1 0 0 0 1 0 0 0 1\n)\n";

  for (const long stopAt : {-1L, 1L, 64L, 70L}) {
    SCOPED_TRACE(stopAt);
    TempDir dir;
    const std::string output = dir.File("out.t3d");
    WatchingWindow window(output);
    window.stopAt = stopAt;
    Unreal::T3dWriter writer(output);
    WindowSaver saver(window);
    Kelvane::Image picture;
    Kelvane::ReaderArgs args{
        .inputText = text, .writer = writer, .sink = window, .saver = saver, .picture = picture};
    window.args = &args;
    const std::int32_t& spot = args.spot;
    std::int32_t spotWhileWriting = -1;
    try {
      Kelvane::ReadTriMesh(args);
      FAIL();
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(stopAt, -1);
      EXPECT_EQ(e.Kind(), ErrorKind::OutOfRange);
      EXPECT_EQ(spot, static_cast<std::int32_t>(badAt) + 1);
      EXPECT_EQ(writer.PolygonLinkCounter(), kBad);
    } catch (const std::runtime_error&) {
      EXPECT_EQ(writer.PolygonLinkCounter(), stopAt);
      ASSERT_FALSE(window.seen.empty());
      EXPECT_EQ(spot, window.seen.front().spot);
    }
    const std::size_t yields = stopAt == -1 ? kBad : static_cast<std::size_t>(stopAt);
    ASSERT_EQ(window.seen.size(), yields);
    for (std::size_t i = 0; i < yields; ++i) {
      EXPECT_EQ(window.seen[i].counter, static_cast<std::int32_t>(i) + 1) << i;
      EXPECT_EQ(window.seen[i].polygons, i + 1) << i;
      if (spotWhileWriting == -1) spotWhileWriting = window.seen[i].spot;
      EXPECT_EQ(window.seen[i].spot, spotWhileWriting) << i;
    }
  }
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
    const Kelvane::Image& picture = fixture.window.savedTextures[0];
    ASSERT_EQ(picture.width, c.width) << c.name;
    ASSERT_EQ(picture.height, c.height) << c.name;
    EXPECT_EQ(picture.rgb, c.pixels) << c.name;
  }
}

TEST(TextureReaderTest, EachTextureStartsFromBlackAndEmptySizesReadNoLines) {
  ReaderFixture fixture("PixmapTexture (\n1 1 3 24\n0xFFFFFF\n");
  fixture.Read(Kelvane::ReadPixmapTexture);
  ReaderFixture second("PixmapTexture (\n2 1 3 24\n0xFFFFFF\n");
  second.picture = fixture.picture;  // the run's picture keeps the last texture
  second.Read(Kelvane::ReadPixmapTexture);
  EXPECT_EQ(second.window.savedTextures[0].rgb,
            (std::vector<std::uint32_t>{0xFFFFFF, 0x000000}));

  ReaderFixture empty("PixmapTexture (\n0 5 0 24\n0xFFFFFF\n");
  empty.Read(Kelvane::ReadPixmapTexture);
  ASSERT_EQ(empty.window.savedTextures.size(), 1u);
  EXPECT_EQ(empty.window.savedTextures[0].width, 0);
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
