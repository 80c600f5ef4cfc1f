#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/run/RunMessages.h"

namespace {

using Kelvane::MessagesOf;
using Kelvane::OptionWords;
using Kelvane::RunReport;

const OptionWords kCommandLine = {
    .wholeFormat = "--reader 3dmf", .keywords = "--reader keywords", .powerOfTwo = "--pow2"};

TEST(RunMessagesTest, ACompletedRunSaysWhatItWroteAndLeftOut) {
  RunReport report;
  report.completed = true;
  report.wholeFormat = true;
  report.settings.outputPath = "out.t3d";
  report.settings.textureMapping = true;
  report.polygons = 1;
  report.bitmaps = {"out_1.bmp", "out_2.bmp"};
  report.warnings = {"texture 3 not saved: disk full"};
  report.notPowerOfTwo = {{"out_1", 3, 5}};
  report.leftOut.noSurface = {{"Line", 2}, {"Marker", 1}};
  report.leftOut.unknown = {{"Fog", 1}};
  report.leftOut.untrimmedPatches = 1;
  report.leftOut.strayEndGroups = 3;
  report.leftOut.zeroAreaTriangles = 20;
  report.leftOut.noArea = {{"Box", 1}, {"Disk", 2}};
  report.mapping = {.mapped = 1, .withoutUV = 2, .flat = 1, .bitmapMissing = 4};
  report.degenerateLeftOut = 3;
  report.editorMends = {.zeroArea = 3, .onALine = 2, .collapsed = 1, .mergedCorners = 4};
  const auto messages = MessagesOf(report, kCommandLine);
  EXPECT_EQ(messages.wrote,
            "Wrote out.t3d (whole-format reader): 1 polygon, 2 bitmaps: out_1.bmp, out_2.bmp");
  const std::vector<std::string> warnings = {
      "texture 3 not saved: disk full",
      "the texture out_1 is 3 x 5 pixels; the editor imports textures whose sides are powers of "
      "two (--pow2 resamples it)"};
  EXPECT_EQ(messages.warnings, warnings);
  EXPECT_EQ(messages.error, "");
  EXPECT_EQ(messages.hint, "");
  const std::vector<std::string> notes = {
      "skipped shapes without surface (curves, lines, points): 2 Line, 1 Marker",
      "trim curves not applied to 1 NURB patch: the whole patch is converted",
      "skipped objects of kinds this reader does not know: 1 Fog",
      "left out 20 triangles of zero area from degenerate shapes",
      "left out shapes with no area: 1 Box, 2 Disk",
      "ignored 3 EndGroup that closed no group",
      "left out 3 triangles of zero area (2 of them with corners on one line at the six decimals "
      "written)",
      "left out 1 triangle whose corners lie within 0.002 units, which the editor takes for one "
      "point",
      "merged 4 corners into a neighbour within 0.002 units, which the editor takes for the same "
      "point",
      "1 polygon carry the model's texture mapping",
      "2 polygons of textured objects have corners without UVs: texture axes from their edges",
      "1 polygon have UVs without area: texture axes from their edges",
      "4 polygons name no texture: their texture's bitmap was not saved",
  };
  EXPECT_EQ(messages.notes, notes);
  // The keyword reader's runs have nothing left out to tell.
  report.wholeFormat = false;
  report.settings.textureMapping = false;
  report.degenerateLeftOut = 0;
  report.editorMends = {};
  EXPECT_TRUE(MessagesOf(report, kCommandLine).notes.empty());
}

// The summary line: which reader read the input, the size in plain decimal
// (never 1e+05), and at most three bitmap names with a count of the rest.
TEST(RunMessagesTest, TheSummaryLineNamesTheReaderAndAFewBitmaps) {
  struct Case {
    bool wholeFormat;
    double side;
    int bitmaps;
    const char* wrote;
  };
  const Case cases[] = {
      {false, 512, 0, "Wrote m.t3d (keyword reader): 2 polygons (512 x 0 x 512 units), 0 bitmaps"},
      {true, 100000, 1,
       "Wrote m.t3d (whole-format reader): 2 polygons (100000 x 0 x 100000 units), 1 bitmap: "
       "m_1.bmp"},
      {false, 0.25, 3,
       "Wrote m.t3d (keyword reader): 2 polygons (0.25 x 0 x 0.25 units), 3 bitmaps: m_1.bmp, "
       "m_2.bmp, m_3.bmp"},
      {true, 1e-3, 35,
       "Wrote m.t3d (whole-format reader): 2 polygons (0 x 0 x 0 units), 35 bitmaps: m_1.bmp, "
       "m_2.bmp, m_3.bmp and 32 more"},
      {false, 1e20, 4,
       "Wrote m.t3d (keyword reader): 2 polygons (100000000000000000000 x 0 x "
       "100000000000000000000 units), 4 bitmaps: m_1.bmp, m_2.bmp, m_3.bmp and 1 more"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wrote);
    RunReport report;
    report.completed = true;
    report.wholeFormat = c.wholeFormat;
    report.settings.outputPath = "m.t3d";
    report.polygons = 2;
    report.extent.Include(Kelvane::Vector3{0, 0, 0});
    report.extent.Include(Kelvane::Vector3{c.side, 0, c.side});
    for (int i = 1; i <= c.bitmaps; ++i) report.bitmaps.push_back("m_" + std::to_string(i) + ".bmp");
    EXPECT_EQ(MessagesOf(report, kCommandLine).wrote, c.wrote);
  }
  EXPECT_EQ(Kelvane::ShortNumber(1e5), "100000");
  EXPECT_EQ(Kelvane::ShortNumber(-0.125), "-0.125");
}

// The error line and what it says of the output: as it was beside a side
// file (unfinished itself, when it lacks a document's end), or the pieces
// the output now holds; then the other reader, where it reads the file.
TEST(RunMessagesTest, AFailedRunSaysWhatWhereWhatIsLeftAndWhatElseReadsTheFile) {
  const std::string error =
      "Out of range: Point index 7 is outside the table 0 to 2 (input line 5, column 7)";
  struct Case {
    const char* name;
    std::string sideFile;
    bool earlier;
    bool earlierWhole;
    std::optional<std::int64_t> leftInOutput;
    std::optional<std::size_t> wholeFormatWouldRead;
    std::optional<std::int32_t> keywordsWouldWrite;
    OptionWords words;
    std::string errorEnd;
    std::string hint;
  };
  const Case cases[] = {
      {"nothing written, no other reader", "", false, true, std::nullopt, std::nullopt, std::nullopt,
       kCommandLine, "", ""},
      {"pieces in a new output", "", false, true, 3, 2, std::nullopt, kCommandLine,
       "; \"good.t3d\" holds the pieces this run wrote before the failure (3 polygons), "
       "without the document's end",
       "the whole-format reader reads this file (2 geometry objects); try --reader 3dmf"},
      {"only the head in a new output", "", false, true, 0, std::nullopt, 12, kCommandLine,
       "; \"good.t3d\" holds the pieces this run wrote before the failure (0 polygons), "
       "without the document's end",
       "the keyword reader reads this file (12 polygons); try --reader keywords"},
      {"beside a whole earlier output", "good.t3d.partial", true, true, std::nullopt, 1, std::nullopt,
       OptionWords{},
       "; \"good.t3d\" is as it was, and what this run wrote is in \"good.t3d.partial\"",
       "the whole-format reader reads this file (1 geometry object)"},
      {"an editor document that never appeared", "good.t3d.partial", false, true, std::nullopt,
       std::nullopt, std::nullopt, kCommandLine,
       "; \"good.t3d\" was not written, and what this run wrote is in \"good.t3d.partial\"", ""},
      {"beside an unfinished earlier output", "good.t3d.2.partial", true, false, std::nullopt,
       std::nullopt, std::nullopt, kCommandLine,
       "; \"good.t3d\" is as it was (itself without a document's end, as a failed run leaves "
       "it), and what this run wrote is in \"good.t3d.2.partial\"",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunReport report;
    report.settings.outputPath = "good.t3d";
    report.failure = Kelvane::RunFailure{.kind = Kelvane::ErrorKind::OutOfRange,
                                         .text = "Point index 7 is outside the table 0 to 2",
                                         .place = "input line 5, column 7"};
    report.sideFile = c.sideFile;
    report.earlierOutput = c.earlier;
    report.earlierOutputWhole = c.earlierWhole;
    report.polygonsLeftInOutput = c.leftInOutput;
    report.wholeFormatWouldRead = c.wholeFormatWouldRead;
    report.keywordsWouldWrite = c.keywordsWouldWrite;
    const auto messages = MessagesOf(report, c.words);
    EXPECT_EQ(messages.error, error + c.errorEnd);
    EXPECT_EQ(messages.hint, c.hint);
    EXPECT_EQ(messages.wrote, "");
    EXPECT_EQ(messages.empty, "");
  }
  RunReport memory;
  memory.failure = Kelvane::RunFailure{.outOfMemory = true, .text = "Out of memory"};
  EXPECT_EQ(MessagesOf(memory, kCommandLine).error, "Out of memory");
}

// A run that wrote no polygon and saved no texture says so, in one wording
// for both readers, unless the hint already says where the objects are.
TEST(RunMessagesTest, ARunThatWroteNothingSaysSo) {
  RunReport report;
  report.completed = true;
  report.settings.inputPath = "pic.3dmf";
  const std::string nothing = "nothing was converted: no polygon written, no texture saved";
  EXPECT_EQ(MessagesOf(report, kCommandLine).empty, nothing);
  report.wholeFormat = true;
  EXPECT_EQ(MessagesOf(report, kCommandLine).empty, nothing);
  const auto something = [&](RunReport changed) { return MessagesOf(changed, kCommandLine).empty; };
  RunReport withPolygon = report;
  withPolygon.polygons = 1;
  RunReport withBitmap = report;
  withBitmap.bitmaps = {"pic_1.bmp"};
  RunReport failed = report;
  failed.completed = false;
  failed.failure = Kelvane::RunFailure{.kind = Kelvane::ErrorKind::FileError, .text = "x"};
  RunReport hinted = report;
  hinted.wholeFormatWouldRead = 1;
  RunReport hintedKeywords = report;
  hintedKeywords.keywordsWouldWrite = 4;
  for (const RunReport& r : {withPolygon, withBitmap, failed, hinted, hintedKeywords})
    EXPECT_EQ(something(r), "");
}

}  // namespace
