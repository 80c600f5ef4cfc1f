#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "metafile/scene/Scene.h"
#include "t3d/Unreal.h"
#include "text/RunError.h"

namespace Kelvane {

// Everything a run takes once, as it starts: the window's boxes, or the
// command line's options.
struct RunSettings {
  std::string inputPath{};
  std::string outputPath{};
  // The scale as typed: its leading number is the factor.
  std::string scale = "20.0";
  // All objects into one brush instead of a map of brush actors. A window
  // is asked again during the run (RunSink::OneBrushNow).
  bool oneBrush = false;
  // Read and save the textures.
  bool pictures = true;
  // Read the whole 3DMF format instead of searching object keywords; a
  // binary file is read so whatever this says.
  bool wholeFormat = false;
  // Polygons of textured objects name their texture and carry the model's
  // own mapping (whole-format reader, textures saved).
  bool textureMapping = false;
  // Textures whose sides are not powers of two are resampled to the next
  // ones up (whole-format reader).
  bool powerOfTwo = false;
  // Write the polygons as the editor writes them (t3d/EditorFrame.h):
  // not mirrored, faces outward, unit normals, whole faces.
  bool editorFrame = false;
  // When not empty: the model is scaled so that its largest side is this
  // many units (the leading number, above 0), and `scale` is not used.
  std::string fit{};
  // Bits a pixel of the saved bitmaps: 24, or 8 with a palette.
  int bitmapDepth = 24;
  // The folder the bitmaps are proposed in; empty: the output's.
  std::string texturesFolder{};
  // The map template; empty: StartMapFile.txt where the program finds it.
  std::string templatePath{};
};

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
  // Triangles of zero area left out (editor frame).
  std::int64_t degenerateLeftOut = 0;
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
  // the earlier output it left as it was; empty when the run wrote to the
  // output itself, or wrote nothing.
  std::string sideFile;
  // After a keyword run that failed or wrote no polygon: the geometry
  // objects the whole-format reader reads in the same input, when it reads
  // it without error and finds any.
  std::optional<std::size_t> wholeFormatWouldRead;
};

}  // namespace Kelvane
