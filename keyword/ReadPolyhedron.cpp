#include "keyword/ReaderSupport.h"
#include "keyword/Readers.h"

namespace Kelvane {

void ReadPolyhedron(ReaderArgs& args) {
  ShowCurpos(args);
  args.sink.DoEvents();
  SkipLine(args);  // the rest of the keyword's line
  LineTokens counts = TakeLine(args);
  const std::int16_t vertexCount = counts.Count();
  const std::int16_t skipCount = counts.Count();
  const std::int16_t faceCount = counts.Count();
  ShowCurpos(args);

  // All vertices stand on one line.
  LineTokens vertexLine = TakeLine(args);
  std::vector<Vector3> vertices = TableRoom<Vector3>(vertexCount, "vertex");
  for (std::int16_t i = 0; i < vertexCount; ++i) vertices.push_back(ReadPoint(args, vertexLine));

  // A 32-bit counter: a 16-bit one wraps before it passes a count of 32767.
  for (std::int32_t i = 1; i <= skipCount; ++i) SkipLine(args);
  ShowCurpos(args);

  const std::vector<IndexRow> faces = ReadIndexRows(args, faceCount, "face", 0, false);

  WriteReaderPolygons(
      args, vertices, faces, [](std::size_t) {}, [](std::size_t) {});
}

}  // namespace Kelvane
