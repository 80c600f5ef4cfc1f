#include <gtest/gtest.h>

#include <string>

#include "app/run/RunMessages.h"

namespace {

using Kelvane::MessagesOf;
using Kelvane::RunReport;

TEST(RunMessagesTest, ACompletedRunSaysWhatItWroteAndLeftOut) {
  RunReport report;
  report.completed = true;
  report.wholeFormat = true;
  report.settings.outputPath = "out.t3d";
  report.settings.textureMapping = true;
  report.polygons = 1;
  report.bitmaps = {"out_1.bmp", "out_2.bmp"};
  report.warnings = {"texture 3 not saved: disk full"};
  report.leftOut.noSurface = {{"Line", 2}, {"Marker", 1}};
  report.leftOut.unknown = {{"Fog", 1}};
  report.leftOut.untrimmedPatches = 1;
  report.leftOut.strayEndGroups = 3;
  report.leftOut.zeroAreaTriangles = 20;
  report.leftOut.noArea = {{"Box", 1}, {"Disk", 2}};
  report.mapping = {.mapped = 1, .withoutUV = 2, .flat = 1, .bitmapMissing = 4};
  report.degenerateLeftOut = 3;
  report.editorMends = {.zeroArea = 3, .onALine = 2, .collapsed = 1, .mergedCorners = 4};
  const auto messages = MessagesOf(report, "--reader 3dmf");
  EXPECT_EQ(messages.wrote, "Wrote out.t3d: 1 polygon, 2 bitmaps: out_1.bmp, out_2.bmp");
  EXPECT_EQ(messages.warnings, report.warnings);
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
  EXPECT_TRUE(MessagesOf(report, "").notes.empty());
}

TEST(RunMessagesTest, AFailedRunSaysWhatWhereAndWhatElseReadsTheFile) {
  RunReport report;
  report.failure = Kelvane::RunFailure{.kind = Kelvane::ErrorKind::OutOfRange,
                                       .text = "Point index 7 is outside the table 0 to 2",
                                       .place = "input line 5, column 7"};
  report.wholeFormatWouldRead = 2;
  const auto messages = MessagesOf(report, "--reader 3dmf");
  EXPECT_EQ(messages.error,
            "Out of range: Point index 7 is outside the table 0 to 2 (input line 5, column 7)");
  EXPECT_EQ(messages.wrote, "");
  EXPECT_EQ(messages.hint,
            "the 3DMF reader reads this file (2 geometry objects); try --reader 3dmf");

  report.failure = Kelvane::RunFailure{.outOfMemory = true, .text = "Out of memory"};
  report.wholeFormatWouldRead.reset();
  EXPECT_EQ(MessagesOf(report, "").error, "Out of memory");
  EXPECT_EQ(MessagesOf(report, "").hint, "");

  // Over an earlier output, or where an editor document did not appear:
  // the error names where this run's pieces are.
  report.settings.outputPath = "good.t3d";
  report.sideFile = "good.t3d.partial";
  report.earlierOutput = true;
  EXPECT_EQ(MessagesOf(report, "").error,
            "Out of memory; \"good.t3d\" is as it was, and what this run wrote is in "
            "\"good.t3d.partial\"");
  report.earlierOutput = false;
  EXPECT_EQ(MessagesOf(report, "").error,
            "Out of memory; \"good.t3d\" was not written, and what this run wrote is in "
            "\"good.t3d.partial\"");
}

// A run that wrote no polygon and saved no texture says so, unless the
// hint already says where the objects are.
TEST(RunMessagesTest, ARunThatWroteNothingSaysSo) {
  RunReport report;
  report.completed = true;
  report.settings.inputPath = "pic.3dmf";
  EXPECT_EQ(MessagesOf(report, "").empty, "no 3DMF object found in pic.3dmf; is it a 3DMF file?");
  report.wholeFormat = true;
  EXPECT_EQ(MessagesOf(report, "").empty,
            "nothing was converted from pic.3dmf: no polygon written, no texture saved");
  const auto something = [&](RunReport changed) { return MessagesOf(changed, "").empty; };
  RunReport withPolygon = report;
  withPolygon.polygons = 1;
  RunReport withBitmap = report;
  withBitmap.bitmaps = {"pic_1.bmp"};
  RunReport failed = report;
  failed.completed = false;
  failed.failure = Kelvane::RunFailure{.kind = Kelvane::ErrorKind::FileError, .text = "x"};
  RunReport hinted = report;
  hinted.wholeFormatWouldRead = 1;
  for (const RunReport& r : {withPolygon, withBitmap, failed, hinted}) EXPECT_EQ(something(r), "");
}

}  // namespace
