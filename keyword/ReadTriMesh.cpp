#include "keyword/ReaderSupport.h"
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
  std::vector<Vector3> points = TableRoom<Vector3>(pointCount, "point");
  for (std::int16_t i = 0; i < pointCount; ++i) {
    double value[3];
    std::int32_t place[3];
    if (TextRoutines::NextPlainPoint(args.inputText, args.scanPosition, value, place)) {
      args.spot = place[2];
      points.push_back(MapPoint(args, value[0], value[1], value[2]));
      continue;
    }
    const double a = StreamNumber(args);
    const double b = StreamNumber(args);
    const double c = StreamNumber(args);
    points.push_back(MapPoint(args, a, b, c));
  }

  WriteReaderPolygons(
      args, points, triangles, [](std::size_t) {}, [&](std::size_t) { args.sink.DoEvents(); });
}

}  // namespace Kelvane
