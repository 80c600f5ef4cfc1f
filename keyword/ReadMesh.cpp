#include "keyword/ReaderSupport.h"
#include "keyword/Readers.h"

namespace Kelvane {

void ReadMesh(ReaderArgs& args) {
  ShowCurpos(args);
  SkipLine(args);  // the rest of the keyword's line
  LineTokens countLine = TakeLine(args);
  const std::int16_t vertexCount = countLine.Count();

  std::vector<Vector3> points = TableRoom<Vector3>(vertexCount, "vertex");
  for (std::int16_t i = 0; i < vertexCount; ++i) {
    points.push_back(ReadPointLine(args));
    args.sink.DoEvents();
  }

  LineTokens faceCountLine = TakeLine(args);
  const std::int16_t faceCount = faceCountLine.Count();
  LineTokens contourLine = TakeLine(args);
  contourLine.Token();  // the contour count: taken, never converted
  ShowCurpos(args);

  // Each face line starts with its own vertex count, which is never converted.
  const std::vector<IndexRow> faces = ReadIndexRows(args, faceCount, "face", 1, true);
  ShowCurpos(args);

  // Every face becomes one triangle of its first three corners.
  WriteReaderPolygons(
      args, points, faces, [&](std::size_t row) { args.sink.ShowRow(row); },
      [&](std::size_t) { args.sink.DoEvents(); });
}

}  // namespace Kelvane
