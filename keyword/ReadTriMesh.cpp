#include "keyword/Readers.h"

namespace Kelvane {

void ReadTriMesh(ReaderArgs& args) {
  ShowCurpos(args);
  SkipLine(args);  // the rest of the keyword's line
  LineTokens counts = TakeLine(args);
  const std::int16_t triangleCount = counts.Count();
  counts.Count();  // triangle attribute types: converted, not used
  const std::int16_t edgeCount = counts.Count();
  counts.Count();  // edge attribute types: converted, not used
  const std::int16_t pointCount = counts.Count();
  ShowCurpos(args);

  const std::vector<IndexRow> triangles = ReadIndexRows(args, triangleCount, "triangle", 0, false);

  // A 32-bit counter: a 16-bit one wraps before it passes a count of 32767.
  for (std::int32_t i = 1; i <= edgeCount; ++i) SkipLine(args);
  ShowCurpos(args);

  // Points run across lines: three tokens each, straight from the input.
  std::vector<Vector3> points = MakeTable<Vector3>(pointCount, "point");
  for (Vector3& point : points) {
    const double a = StreamNumber(args);
    const double b = StreamNumber(args);
    const double c = StreamNumber(args);
    point = MapPoint(args, a, b, c);
  }

  WriteReaderPolygons(
      args, points, triangles, [](std::size_t) {}, [&](std::size_t) { args.sink.DoEvents(); });
}

}  // namespace Kelvane
