#include "metafile/surfaces/Geometry.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>

#include "metafile/polygon/Triangulate.h"
#include "metafile/surfaces/GridCells.h"
#include "metafile/surfaces/Span.h"

namespace Kelvane::Metafile {

namespace {

constexpr std::array<std::string_view, 8> kSurfaceKinds = {
    "TriMesh", "Polyhedron", "Mesh", "Triangle", "Polygon", "GeneralPolygon", "TriGrid", "Box"};

void ReadPoints(Fields& fields, std::uint64_t count, std::vector<Vector3>& points) {
  fields.CheckCount(count, 3, 12, "point");
  points.reserve(points.size() + count);
  for (std::uint64_t i = 0; i < count; ++i) points.push_back(ReadPoint(fields));
}

// Notes the face whose triangles were just appended from `firstTriangle` on.
void AddFace(TriangleSet& out, std::size_t firstTriangle,
             const std::vector<std::uint32_t>& corners) {
  out.faces.push_back({static_cast<std::uint32_t>(firstTriangle),
                       static_cast<std::uint32_t>(out.triangles.size() - firstTriangle),
                       static_cast<std::uint32_t>(out.faceCorners.size()),
                       static_cast<std::uint32_t>(corners.size())});
  out.faceCorners.insert(out.faceCorners.end(), corners.begin(), corners.end());
}

// Cuts a face without holes, noting it as a face unless the cut needed new
// points (contours that cross themselves).
void CutFace(TriangleSet& out, const std::vector<std::uint32_t>& outer) {
  const std::size_t firstTriangle = out.triangles.size();
  const std::size_t points = out.points.size();
  Polygon::TriangulateFace(out.points, outer, {}, out.triangles);
  if (out.points.size() == points && out.triangles.size() - firstTriangle == outer.size() - 2) {
    AddFace(out, firstTriangle, outer);
  }
}

std::string OutsideTable(const char* what, std::uint64_t index, std::uint64_t size) {
  const std::string head = std::string(what) + " index " + std::to_string(index);
  if (size == 0) return head + " refers to an empty table";
  return head + " is outside the table 0 to " + std::to_string(size - 1);
}

std::uint32_t Checked(Fields& fields, std::uint32_t index, std::uint64_t size, const char* what) {
  if (index >= size) fields.Fail(ErrorKind::OutOfRange, OutsideTable(what, index, size));
  return index;
}

// An edge's triangle: one of the table, or none (all bits set in the width
// the index is stored in) for an edge on the border.
void CheckEdgeTriangle(Fields& fields, std::uint32_t index, std::uint64_t triangles,
                       std::uint32_t bytes) {
  const std::uint32_t none =
      bytes >= 4 ? 0xFFFFFFFFu : static_cast<std::uint32_t>((1u << (8 * bytes)) - 1);
  if (index != none && index != 0xFFFFFFFFu) Checked(fields, index, triangles, "Triangle");
}

void DecodeTriMesh(Fields& fields, TriangleSet& out) {
  const std::uint32_t numTriangles = fields.Uns32();
  fields.Uns32();  // numTriangleAttributeTypes: the arrays are objects of their own
  const std::uint32_t numEdges = fields.Uns32();
  fields.Uns32();  // numEdgeAttributeTypes
  const std::uint32_t numPoints = fields.Uns32();
  fields.Uns32();  // numVertexAttributeTypes

  const std::uint32_t pointBytes = fields.IndexBytes(numPoints);
  fields.CheckCount(numTriangles, 3, 3 * pointBytes, "triangle");
  out.triangles.reserve(numTriangles);
  for (std::uint32_t t = 0; t < numTriangles; ++t) {
    Polygon::TriangleIndices tri;
    for (std::uint32_t& corner : tri) {
      corner = Checked(fields, fields.Index(numPoints), numPoints, "Point");
    }
    out.triangles.push_back(tri);
  }

  // Edges say which corners are joined; the triangles already say it all.
  const std::uint32_t triangleBytes = fields.IndexBytes(numTriangles);
  fields.CheckCount(numEdges, 4, 2 * pointBytes + 2 * triangleBytes, "edge");
  for (std::uint32_t e = 0; e < numEdges; ++e) {
    Checked(fields, fields.Index(numPoints), numPoints, "Point");
    Checked(fields, fields.Index(numPoints), numPoints, "Point");
    CheckEdgeTriangle(fields, fields.Index(numTriangles), numTriangles, triangleBytes);
    CheckEdgeTriangle(fields, fields.Index(numTriangles), numTriangles, triangleBytes);
  }

  ReadPoints(fields, numPoints, out.points);

  // The bounding box: some writers leave it out.
  if (!fields.AtEnd()) {
    for (int i = 0; i < 6; ++i) fields.Float32();
    fields.Boolean();
  }
}

void DecodePolyhedron(Fields& fields, TriangleSet& out) {
  const std::uint32_t numVertices = fields.Uns32();
  const std::uint32_t numEdges = fields.Uns32();
  const std::uint32_t numTriangles = fields.Uns32();
  ReadPoints(fields, numVertices, out.points);

  fields.CheckCount(numEdges, 4, 16, "edge");
  for (std::uint32_t e = 0; e < numEdges; ++e) {
    Checked(fields, fields.Uns32(), numVertices, "Vertex");
    Checked(fields, fields.Uns32(), numVertices, "Vertex");
    CheckEdgeTriangle(fields, fields.Uns32(), numTriangles, 4);
    CheckEdgeTriangle(fields, fields.Uns32(), numTriangles, 4);
  }

  fields.CheckCount(numTriangles, 4, 16, "triangle");
  out.triangles.reserve(numTriangles);
  for (std::uint32_t t = 0; t < numTriangles; ++t) {
    Polygon::TriangleIndices tri;
    for (std::uint32_t& corner : tri) {
      corner = Checked(fields, fields.Uns32(), numVertices, "Vertex");
    }
    // Which of its edges are drawn: nothing to a surface.
    fields.Flags({{"Edge01", 1}, {"Edge12", 2}, {"Edge20", 4}, {"All", 7}});
    out.triangles.push_back(tri);
  }
}

void DecodeMesh(Fields& fields, TriangleSet& out) {
  const std::uint32_t numVertices = fields.Uns32();
  ReadPoints(fields, numVertices, out.points);
  const std::uint32_t numFaces = fields.Uns32();
  const std::uint32_t numContours = fields.Uns32();

  // Rows: a positive count starts a face, a negative one is a hole in the
  // face before it. A face is cut once its holes are all read.
  const std::uint64_t rows = std::uint64_t{numFaces} + numContours;
  fields.CheckCount(rows, 4, 16, "face");
  std::vector<std::uint32_t> outer;
  std::vector<std::vector<std::uint32_t>> holes;
  std::uint64_t faces = 0;
  std::uint64_t contours = 0;
  auto finishFace = [&] {
    if (!outer.empty() && holes.empty()) {
      CutFace(out, outer);
    } else if (!outer.empty()) {
      Polygon::TriangulateFace(out.points, outer, holes, out.triangles);
    }
    outer.clear();
    holes.clear();
  };
  for (std::uint64_t row = 0; row < rows; ++row) {
    const std::int64_t count = fields.Int32();
    const bool hole = count < 0;
    const std::uint64_t size = static_cast<std::uint64_t>(hole ? -count : count);
    if (hole) {
      if (faces == 0) {
        fields.Fail(ErrorKind::InvalidArgument,
                    "A hole contour (a negative count) comes before any face of the Mesh");
      }
      if (++contours > numContours) {
        fields.Fail(ErrorKind::InvalidArgument,
                    "The Mesh has more hole contours than its numContours (" +
                        std::to_string(numContours) + ")");
      }
    } else {
      if (++faces > numFaces) {
        fields.Fail(ErrorKind::InvalidArgument,
                    "The Mesh has more faces than its numFaces (" + std::to_string(numFaces) + ")");
      }
      finishFace();
    }
    if (size < 3) {
      fields.Fail(ErrorKind::OutOfRange,
                  std::string(hole ? "A hole contour" : "A face") +
                      " of the Mesh needs at least 3 vertices; this one has " +
                      std::to_string(size));
    }
    fields.CheckCount(size, 1, 4, "vertex index");
    std::vector<std::uint32_t>& contour = hole ? holes.emplace_back() : outer;
    contour.reserve(size);
    for (std::uint64_t i = 0; i < size; ++i) {
      contour.push_back(Checked(fields, fields.Uns32(), numVertices, "Vertex"));
    }
  }
  // Rows beyond the two counts: one of them is short.
  if (!fields.AtEnd()) {
    fields.Fail(ErrorKind::InvalidArgument, "The Mesh has more face rows than its numFaces (" +
                                                std::to_string(numFaces) + ") and numContours (" +
                                                std::to_string(numContours) + ") declare");
  }
  finishFace();
}

void DecodeTriangle(Fields& fields, TriangleSet& out) {
  ReadPoints(fields, 3, out.points);
  out.triangles.push_back({0, 1, 2});
}

void DecodePolygon(Fields& fields, TriangleSet& out) {
  const std::uint32_t numVertices = fields.Uns32();
  if (numVertices < 3) {
    fields.Fail(ErrorKind::OutOfRange,
                "A Polygon needs at least 3 vertices; this one has " + std::to_string(numVertices));
  }
  ReadPoints(fields, numVertices, out.points);
  std::vector<std::uint32_t> outer(numVertices);
  for (std::uint32_t i = 0; i < numVertices; ++i) outer[i] = i;
  CutFace(out, outer);
}

void DecodeGeneralPolygon(Fields& fields, TriangleSet& out) {
  const std::uint32_t numContours = fields.Uns32();
  if (numContours == 0) {
    fields.Fail(ErrorKind::OutOfRange, "A GeneralPolygon needs at least one contour");
  }
  // A contour takes its count and at least 3 points.
  fields.CheckCount(numContours, 10, 40, "contour");
  std::vector<std::vector<std::uint32_t>> contours(numContours);
  for (auto& contour : contours) {
    const std::uint32_t numVertices = fields.Uns32();
    if (numVertices < 3) {
      fields.Fail(ErrorKind::OutOfRange,
                  "A contour of the GeneralPolygon needs at least 3 vertices; this one has " +
                      std::to_string(numVertices));
    }
    const std::uint64_t first = out.points.size();
    if (first + numVertices > std::numeric_limits<std::uint32_t>::max()) {
      fields.Fail(ErrorKind::Overflow, "The GeneralPolygon has more than 4294967295 vertices");
    }
    ReadPoints(fields, numVertices, out.points);
    contour.resize(numVertices);
    for (std::uint32_t i = 0; i < numVertices; ++i) {
      contour[i] = static_cast<std::uint32_t>(first + i);
    }
  }
  Polygon::TriangulateEvenOdd(out.points, contours, out.triangles);
}

void DecodeTriGrid(Fields& fields, TriangleSet& out) {
  const std::uint32_t rows = fields.Uns32();
  const std::uint32_t columns = fields.Uns32();
  if (rows < 2 || columns < 2) {
    fields.Fail(ErrorKind::OutOfRange,
                "A TriGrid needs at least 2 rows and 2 columns; this one has " +
                    std::to_string(rows) + " by " + std::to_string(columns));
  }
  const std::uint64_t count = std::uint64_t{rows} * columns;
  if (count > std::numeric_limits<std::uint32_t>::max()) {
    fields.Fail(ErrorKind::Overflow, "The TriGrid has more than 4294967295 points");
  }
  ReadPoints(fields, count, out.points);
  // Cells row by row; the diagonal alternates from column to column, so
  // that a grid over a curved surface does not lean one way.
  out.triangles.reserve(2 * std::uint64_t{rows - 1} * (columns - 1));
  ForEachCell(rows, columns, [&](auto c, auto a, auto b, auto d, auto e) {
    const std::size_t firstTriangle = out.triangles.size();
    if (c % 2 == 0) {
      out.triangles.push_back({a, b, d});
      out.triangles.push_back({d, b, e});
    } else {
      out.triangles.push_back({a, e, d});
      out.triangles.push_back({a, b, e});
    }
    AddFace(out, firstTriangle, {a, b, e, d});
  });
}

void DecodeBox(Fields& fields, TriangleSet& out) {
  // Fields missing at the end take the unit box's values.
  Vector3 orientation{0, 1, 0};
  Vector3 major{0, 0, 1};
  Vector3 minor{1, 0, 0};
  Vector3 origin{0, 0, 0};
  for (Vector3* field : {&orientation, &major, &minor, &origin}) {
    if (fields.AtEnd()) break;
    *field = ReadPoint(fields);
  }
  // Corner k lies at origin + s*orientation + t*major + u*minor for the bits
  // s, t, u of k = s + 2t + 4u.
  for (int k = 0; k < 8; ++k) {
    const double s = k & 1;
    const double t = (k >> 1) & 1;
    const double u = (k >> 2) & 1;
    out.points.push_back(origin + s * orientation + t * major + u * minor);
  }
  // The faces counterclockwise seen from outside when the three axes are
  // right-handed (as the unit box's are); a left-handed box is turned
  // round, so that its faces still face out.
  static constexpr std::uint32_t kFaces[6][4] = {{0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4},
                                                 {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}};
  const double handedness = Dot(orientation, Cross(major, minor));
  for (const auto& f : kFaces) {
    const std::size_t firstTriangle = out.triangles.size();
    if (handedness < 0) {
      out.triangles.push_back({f[0], f[2], f[1]});
      out.triangles.push_back({f[0], f[3], f[2]});
      AddFace(out, firstTriangle, {f[0], f[3], f[2], f[1]});
    } else {
      out.triangles.push_back({f[0], f[1], f[2]});
      out.triangles.push_back({f[0], f[2], f[3]});
      AddFace(out, firstTriangle, {f[0], f[1], f[2], f[3]});
    }
  }
  if (SpanNoVolume(orientation, major, minor)) DropZeroAreaTriangles(out);
}

}  // namespace

bool HasNoArea(const Vector3& a, const Vector3& b, const Vector3& c) {
  const Vector3 ab = b - a;
  const Vector3 ac = c - a;
  if (Norm(ab) == 0 || Norm(ac) == 0) return true;
  return Norm(Cross(Unit(ab), Unit(ac))) <= 1e-9;
}

void DropZeroAreaTriangles(TriangleSet& set) {
  // Where each triangle goes, and how many are kept before it.
  std::vector<std::uint32_t> keptBefore(set.triangles.size() + 1, 0);
  std::size_t kept = 0;
  for (std::size_t r = 0; r < set.triangles.size(); ++r) {
    const auto& t = set.triangles[r];
    keptBefore[r] = static_cast<std::uint32_t>(kept);
    if (!HasNoArea(set.points[t[0]], set.points[t[1]], set.points[t[2]])) {
      set.triangles[kept++] = t;
    }
  }
  keptBefore[set.triangles.size()] = static_cast<std::uint32_t>(kept);
  set.zeroAreaLeftOut += set.triangles.size() - kept;
  set.triangles.resize(kept);
  std::size_t faces = 0;
  for (const SourceFace& face : set.faces) {
    const std::uint32_t first = keptBefore[face.firstTriangle];
    if (keptBefore[face.firstTriangle + face.triangles] - first != face.triangles) continue;
    SourceFace moved = face;
    moved.firstTriangle = first;
    set.faces[faces++] = moved;
  }
  set.faces.resize(faces);
}

Vector3 ReadPoint(Fields& fields) {
  Vector3 p;
  p.X = fields.Float32();
  p.Y = fields.Float32();
  p.Z = fields.Float32();
  return p;
}

bool IsSurfaceGeometry(std::string_view kind) {
  for (std::string_view k : kSurfaceKinds) {
    if (SameWord(kind, k)) return true;
  }
  return false;
}

void DecodeGeometry(std::string_view kind, Fields& fields, TriangleSet& out) {
  out.points.clear();
  out.triangles.clear();
  out.faces.clear();
  out.faceCorners.clear();
  out.zeroAreaLeftOut = 0;
  if (SameWord(kind, "TriMesh")) return DecodeTriMesh(fields, out);
  if (SameWord(kind, "Polyhedron")) return DecodePolyhedron(fields, out);
  if (SameWord(kind, "Mesh")) return DecodeMesh(fields, out);
  if (SameWord(kind, "Triangle")) return DecodeTriangle(fields, out);
  if (SameWord(kind, "Polygon")) return DecodePolygon(fields, out);
  if (SameWord(kind, "GeneralPolygon")) return DecodeGeneralPolygon(fields, out);
  if (SameWord(kind, "TriGrid")) return DecodeTriGrid(fields, out);
  if (SameWord(kind, "Box")) return DecodeBox(fields, out);
  fields.Fail(ErrorKind::InvalidArgument,
              "Objects of the kind " + Quote(kind) + " are no surface geometry");
}

}  // namespace Kelvane::Metafile
