#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/run/RunSettings.h"
#include "metafile/scene/SceneSummary.h"
#include "t3d/Extent.h"
#include "t3d/T3dWriter.h"
#include "text/RunError.h"

namespace Kelvane {

// A run that stopped on a failure: what and where.
struct RunFailure {
  bool outOfMemory = false;
  ErrorKind kind = ErrorKind::FileError;
  std::string text{};
  // "input line 4, column 7", "byte 96 of the input, in a TriMesh ('tmsh')";
  // empty when unknown.
  std::string place{};
};

// With texture mapping: what became of the polygons of textured objects.
struct MappingSummary {
  std::int64_t mapped = 0;     // carry the model's own mapping
  std::int64_t withoutUV = 0;  // a corner without UV: axes from the edges
  std::int64_t flat = 0;       // UVs without area: axes from the edges
  // Their texture's bitmap was not saved: written without a texture.
  std::int64_t bitmapMissing = 0;
};

// What a run did, for the front ends to tell the user.
struct RunReport {
  RunSettings settings;  // as the run took them
  // Reached "Done": the document is complete.
  bool completed = false;
  // Read with the whole-format reader.
  bool wholeFormat = false;
  // Polygons written (the last value of the link counter).
  std::int32_t polygons = 0;
  // The factor every point was scaled by (made from fitSize when it is set).
  double scale = 0;
  // The box around the corners written, in the document's units.
  Unreal::Extent extent;
  // Triangles of zero area left out (editor frame), and what else the
  // editor frame left out or mended so that the editor keeps every polygon.
  std::int64_t degenerateLeftOut = 0;
  Unreal::EditorMends editorMends;
  // Bitmaps saved, in order.
  std::vector<std::string> bitmaps;
  // Warnings for the user, in the order they arose.
  std::vector<std::string> warnings;
  // What the whole-format reader met and left out.
  Metafile::SceneSummary leftOut;
  MappingSummary mapping;
  // Why the run stopped early; nothing when it completed.
  std::optional<RunFailure> failure;
  // After a failure: the side file that holds what the run wrote, beside
  // the output it left as it was (an earlier one, or none for an editor
  // document, which only appears whole); empty when the run wrote to the
  // output itself, or wrote nothing.
  std::string sideFile;
  // Whether the output existed when the document began.
  bool earlierOutput = false;
  // With a side file: whether the earlier output ends as a whole document
  // does (one that does not is most likely what a failed run left).
  bool earlierOutputWhole = true;
  // After a failure that left pieces in the output itself (it did not exist
  // before): the polygon records among them. Nothing when no piece went in.
  std::optional<std::int64_t> polygonsLeftInOutput;
  // After a keyword run that failed on the input's content or wrote no
  // polygon: the geometry objects the whole-format reader reads in the same
  // input, when it converts it (as this run was set, writing nothing)
  // without error and writes polygons.
  std::optional<std::size_t> wholeFormatWouldRead;
  // The same the other way round, after a whole-format run that the input's
  // header chose: the polygons the keyword reader writes from it.
  std::optional<std::int32_t> keywordsWouldWrite;
  // With texture mapping and without the power-of-two option: the saved
  // textures whose sides are not powers of two, which the editor refuses.
  struct OddTexture {
    std::string name;
    int width = 0;
    int height = 0;
  };
  std::vector<OddTexture> notPowerOfTwo;
};

}  // namespace Kelvane
