#include "bench/ModelText.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace Kelvane::BenchModel {

namespace {

// splitmix64: a fixed, portable sequence (the standard distributions are not
// the same across libraries, so they cannot make a reproducible input).
class Sequence {
 public:
  explicit Sequence(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number from lo to hi, both included.
  std::int64_t Between(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }

 private:
  std::uint64_t state_;
};

void AppendInt(std::string& out, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, end.ptr);
}

// A coordinate held in millionths, written as a modeller writes it: plain
// decimals with the trailing zeros dropped ("12", "-3.5", "0.000125"), and
// now and then in exponent form ("-123456789e-6").
void AppendCoordinate(std::string& out, std::int64_t micros, bool exponentForm) {
  if (exponentForm) {
    AppendInt(out, micros);
    out += "e-6";
    return;
  }
  if (micros < 0) {
    out += '-';
    micros = -micros;
  }
  AppendInt(out, micros / 1000000);
  std::int64_t fraction = micros % 1000000;
  if (fraction == 0) return;
  char digits[6];
  for (int k = 5; k >= 0; --k) {
    digits[k] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  int used = 6;
  while (digits[used - 1] == '0') --used;
  out += '.';
  out.append(digits, static_cast<std::size_t>(used));
}

struct Point {
  std::int64_t x, y, z;  // millionths
  bool exponentForm;
};

struct Corner3 {
  std::int64_t a, b, c;
};

// A patch of a rolling surface: a grid of cells, two triangles per cell,
// the first `triangles` of them in row order.
struct Patch {
  std::int64_t columns = 0;  // cells across
  std::vector<Point> points;
  std::vector<Corner3> faces;
};

Patch MakePatch(std::int64_t triangles, int ordinal, Sequence& random) {
  Patch patch;
  const auto columns =
      static_cast<std::int64_t>(std::ceil(std::sqrt(static_cast<double>(triangles) / 2.0)));
  const std::int64_t rows = (triangles + 2 * columns - 1) / (2 * columns);
  patch.columns = columns;
  const std::int64_t originX = (ordinal % 8) * 250000000ll - 1000000000ll;
  const std::int64_t originZ = (ordinal / 8 % 8) * 250000000ll - 1000000000ll;
  const std::int64_t step = 1500000;  // 1.5 units
  patch.points.reserve(static_cast<std::size_t>((columns + 1) * (rows + 1)));
  for (std::int64_t j = 0; j <= rows; ++j) {
    for (std::int64_t i = 0; i <= columns; ++i) {
      Point p{};
      p.x = originX + i * step + random.Between(-250000, 250000);
      p.y = (i * j % 97) * 100000 + random.Between(-20000000, 20000000);
      p.z = originZ + j * step + random.Between(-250000, 250000);
      p.exponentForm = random.Next() % 64 == 0;
      patch.points.push_back(p);
    }
  }
  patch.faces.reserve(static_cast<std::size_t>(triangles));
  for (std::int64_t cell = 0; static_cast<std::int64_t>(patch.faces.size()) < triangles; ++cell) {
    const std::int64_t i = cell % columns;
    const std::int64_t j = cell / columns;
    const std::int64_t v00 = j * (columns + 1) + i;
    const std::int64_t v10 = v00 + 1;
    const std::int64_t v01 = v00 + columns + 1;
    const std::int64_t v11 = v01 + 1;
    patch.faces.push_back({v00, v10, v11});
    if (static_cast<std::int64_t>(patch.faces.size()) < triangles)
      patch.faces.push_back({v00, v11, v01});
  }
  return patch;
}

void AppendPoint(std::string& out, const Point& p) {
  AppendCoordinate(out, p.x, p.exponentForm);
  out += ' ';
  AppendCoordinate(out, p.y, false);
  out += ' ';
  AppendCoordinate(out, p.z, false);
}

void AppendFace(std::string& out, const Corner3& f) {
  AppendInt(out, f.a);
  out += ' ';
  AppendInt(out, f.b);
  out += ' ';
  AppendInt(out, f.c);
}

// Triangle lines, optional edge lines, then the points as a stream: one per
// line, or two per line for odd ordinals (the reader takes them across
// lines either way).
void WriteTriMesh(std::string& out, const Patch& patch, int ordinal) {
  const std::int64_t edges = ordinal % 2 == 0 ? 0 : 3;
  out += "TriMesh (\r\n  ";
  AppendInt(out, static_cast<std::int64_t>(patch.faces.size()));
  out += " 0 ";
  AppendInt(out, edges);
  out += " 0 ";
  AppendInt(out, static_cast<std::int64_t>(patch.points.size()));
  out += " 0\r\n";
  for (const Corner3& f : patch.faces) {
    out += "  ";
    AppendFace(out, f);
    out += "\r\n";
  }
  for (std::int64_t e = 0; e < edges; ++e) {
    out += "  ";
    AppendInt(out, e);
    out += ' ';
    AppendInt(out, e + 1);
    out += "\r\n";
  }
  const std::size_t perLine = ordinal % 2 == 0 ? 1 : 2;
  for (std::size_t k = 0; k < patch.points.size(); ++k) {
    out += k % perLine == 0 ? "  " : " ";
    AppendPoint(out, patch.points[k]);
    if ((k + 1) % perLine == 0 || k + 1 == patch.points.size()) out += "\r\n";
  }
  out += "  -1000 -40 -1000 1000 40 1000 0 # bounds\r\n)\r\n";
}

void WriteMesh(std::string& out, const Patch& patch) {
  out += "Mesh (\r\n  ";
  AppendInt(out, static_cast<std::int64_t>(patch.points.size()));
  out += "\r\n";
  for (const Point& p : patch.points) {
    out += "  ";
    AppendPoint(out, p);
    out += "\r\n";
  }
  out += "  ";
  AppendInt(out, static_cast<std::int64_t>(patch.faces.size()));
  out += "\r\n  0\r\n";
  for (const Corner3& f : patch.faces) {
    out += "  3 ";
    AppendFace(out, f);
    out += "\r\n";
  }
  out += ")\r\n";
}

// All vertex numbers on one line, two lines the reader passes over, then
// one line per face.
void WritePolyhedron(std::string& out, const Patch& patch) {
  out += "Polyhedron (\r\n  ";
  AppendInt(out, static_cast<std::int64_t>(patch.points.size()));
  out += " 2 ";
  AppendInt(out, static_cast<std::int64_t>(patch.faces.size()));
  out += "\r\n ";
  for (const Point& p : patch.points) {
    out += ' ';
    AppendPoint(out, p);
  }
  out += "\r\n  0 0 0 0 # edge data\r\n  0 0 0 0 # edge data\r\n";
  for (const Corner3& f : patch.faces) {
    out += "  ";
    AppendFace(out, f);
    out += "\r\n";
  }
  out += ")\r\n";
}

void AppendBig32(std::string& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

// An index of a binary TriMesh, in the width its point count calls for.
void AppendIndex(std::string& out, std::int64_t index, std::uint32_t width) {
  const auto value = static_cast<std::uint32_t>(index);
  if (width == 4) {
    AppendBig32(out, value);
  } else if (width == 2) {
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
  } else {
    out += static_cast<char>(value);
  }
}

float ToFloat32(std::int64_t micros) {
  return static_cast<float>(static_cast<double>(micros) / 1e6);
}

void AppendFloat32(std::string& out, float value) {
  AppendBig32(out, std::bit_cast<std::uint32_t>(value));
}

// The data of a 'tmsh' object, after its type and size.
void WriteBinaryTriMesh(std::string& out, const Patch& patch) {
  const auto points = static_cast<std::uint32_t>(patch.points.size());
  const std::uint32_t width = points < 0x100 ? 1 : points < 0x10000 ? 2 : 4;
  const std::uint64_t size =
      6 * 4 + 3 * width * patch.faces.size() + 12 * std::uint64_t{points} + 7 * 4;
  AppendBig32(out, 0x746D7368);  // 'tmsh'
  AppendBig32(out, static_cast<std::uint32_t>(size));
  for (const std::uint32_t count :
       {static_cast<std::uint32_t>(patch.faces.size()), 0u, 0u, 0u, points, 0u}) {
    AppendBig32(out, count);
  }
  for (const Corner3& f : patch.faces) {
    AppendIndex(out, f.a, width);
    AppendIndex(out, f.b, width);
    AppendIndex(out, f.c, width);
  }
  float low[3] = {0, 0, 0};
  float high[3] = {0, 0, 0};
  for (std::size_t k = 0; k < patch.points.size(); ++k) {
    const Point& p = patch.points[k];
    const float xyz[3] = {ToFloat32(p.x), ToFloat32(p.y), ToFloat32(p.z)};
    for (int axis = 0; axis < 3; ++axis) {
      AppendFloat32(out, xyz[axis]);
      low[axis] = k == 0 ? xyz[axis] : std::min(low[axis], xyz[axis]);
      high[axis] = k == 0 ? xyz[axis] : std::max(high[axis], xyz[axis]);
    }
  }
  for (const float bound : low) AppendFloat32(out, bound);
  for (const float bound : high) AppendFloat32(out, bound);
  AppendBig32(out, 0);  // not empty
}

}  // namespace

ModelSummary GenerateModel(std::int64_t triangles, std::uint64_t seed,
                           const std::function<void(std::string_view)>& emit,
                           std::int64_t perObject) {
  if (triangles < 1) throw std::invalid_argument("a model needs at least one triangle");
  if (perObject < 1 || perObject > kMaxObjectTriangles) {
    throw std::invalid_argument("triangles per object must be 1 to 30000");
  }
  const std::int64_t objects = std::max<std::int64_t>(std::min<std::int64_t>(3, triangles),
                                                      (triangles + perObject - 1) / perObject);
  ModelSummary summary;
  Sequence random(seed);
  std::string out;
  out += "3DMetafile ( 1 6 Normal tableofcontents0> )\r\n# benchmark model: ";
  AppendInt(out, triangles);
  out += " triangles in ";
  AppendInt(out, objects);
  out += " objects, seed ";
  AppendInt(out, static_cast<std::int64_t>(seed));
  out += "\r\n\r\n";
  for (std::int64_t k = 0; k < objects; ++k) {
    const std::int64_t count = triangles / objects + (k < triangles % objects ? 1 : 0);
    const int ordinal = static_cast<int>(k);
    const Patch patch = MakePatch(count, ordinal, random);
    out += "# patch ";
    AppendInt(out, k + 1);
    out += " of ";
    AppendInt(out, objects);
    out += ": ";
    AppendInt(out, count);
    out += " triangles\r\n";
    switch (k % 3) {
      case 0:
        WriteTriMesh(out, patch, ordinal / 3);
        ++summary.triMeshes;
        break;
      case 1:
        WriteMesh(out, patch);
        ++summary.meshes;
        break;
      default:
        WritePolyhedron(out, patch);
        ++summary.polyhedra;
        break;
    }
    out += "\r\n";
    summary.triangles += count;
    summary.bytes += static_cast<std::int64_t>(out.size());
    emit(out);
    out.clear();
  }
  return summary;
}

std::string ModelText(std::int64_t triangles, std::uint64_t seed, ModelSummary* summary,
                      std::int64_t perObject) {
  std::string text;
  const ModelSummary made = GenerateModel(
      triangles, seed, [&](std::string_view piece) { text += piece; }, perObject);
  if (summary != nullptr) *summary = made;
  return text;
}

ModelSummary GenerateTriMeshModel(std::int64_t triangles, std::uint64_t seed, ModelForm form,
                                  const std::function<void(std::string_view)>& emit,
                                  std::int64_t perObject) {
  if (triangles < 1) throw std::invalid_argument("a model needs at least one triangle");
  if (perObject < 1 || perObject > kMaxTriMeshObjectTriangles) {
    throw std::invalid_argument("triangles per object must be 1 to 200000");
  }
  const std::int64_t objects = (triangles + perObject - 1) / perObject;
  ModelSummary summary;
  Sequence random(seed);
  std::string out;
  if (form == ModelForm::Binary) {
    // "3DMF", header size 16, version 1.6, flags Normal, no table of contents.
    out.append("3DMF", 4);
    AppendBig32(out, 16);
    AppendBig32(out, 0x00010006);
    AppendBig32(out, 0);
    AppendBig32(out, 0);
    AppendBig32(out, 0);
  } else {
    // The comments name no object kind: the keyword reader would take them.
    out += "3DMetafile ( 1 6 Normal tableofcontents0> )\r\n# benchmark model of one kind: ";
    AppendInt(out, triangles);
    out += " triangles in ";
    AppendInt(out, objects);
    out += " objects, seed ";
    AppendInt(out, static_cast<std::int64_t>(seed));
    out += "\r\n\r\n";
  }
  for (std::int64_t k = 0; k < objects; ++k) {
    const std::int64_t count = triangles / objects + (k < triangles % objects ? 1 : 0);
    const Patch patch = MakePatch(count, static_cast<int>(k), random);
    if (form == ModelForm::Binary) {
      WriteBinaryTriMesh(out, patch);
    } else {
      out += "# patch ";
      AppendInt(out, k + 1);
      out += " of ";
      AppendInt(out, objects);
      out += "\r\n";
      // Ordinal 0: no edge lines (the keyword reader's hold two numbers, the
      // format's four) and one point a line.
      WriteTriMesh(out, patch, 0);
      out += "\r\n";
    }
    ++summary.triMeshes;
    summary.triangles += count;
    summary.bytes += static_cast<std::int64_t>(out.size());
    emit(out);
    out.clear();
  }
  return summary;
}

std::string TriMeshModel(std::int64_t triangles, std::uint64_t seed, ModelForm form,
                         ModelSummary* summary, std::int64_t perObject) {
  std::string model;
  const ModelSummary made = GenerateTriMeshModel(
      triangles, seed, form, [&](std::string_view piece) { model += piece; }, perObject);
  if (summary != nullptr) *summary = made;
  return model;
}

namespace {

// A coordinate in millionths with all six decimals written.
void AppendSixDecimals(std::string& out, std::int64_t micros) {
  if (micros < 0) {
    out += '-';
    micros = -micros;
  }
  AppendInt(out, micros / 1000000);
  std::int64_t fraction = micros % 1000000;
  char digits[7] = {'.'};
  for (int k = 6; k >= 1; --k) {
    digits[k] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  out.append(digits, 7);
}

}  // namespace

ModelSummary GenerateRandomModel(std::int64_t triangles, std::uint64_t seed,
                                 double pointsPerTriangle,
                                 const std::function<void(std::string_view)>& emit) {
  if (triangles < 1) throw std::invalid_argument("a model needs at least one triangle");
  if (!(pointsPerTriangle > 0 && pointsPerTriangle <= 3)) {
    throw std::invalid_argument("points per triangle must be above 0 and at most 3");
  }
  const std::int64_t objects =
      (triangles + kMaxRandomObjectTriangles - 1) / kMaxRandomObjectTriangles;
  ModelSummary summary;
  Sequence random(seed);
  std::string out = "3DMetafile ( 1 6 Normal tableofcontents0> )\r\n# benchmark model of random rows: ";
  AppendInt(out, triangles);
  out += " triangles in ";
  AppendInt(out, objects);
  out += " objects, seed ";
  AppendInt(out, static_cast<std::int64_t>(seed));
  out += "\r\n\r\n";
  for (std::int64_t k = 0; k < objects; ++k) {
    const std::int64_t count = triangles / objects + (k < triangles % objects ? 1 : 0);
    const std::int64_t points = std::max<std::int64_t>(
        3, static_cast<std::int64_t>(std::ceil(pointsPerTriangle * static_cast<double>(count))));
    out += "TriMesh (\r\n  ";
    AppendInt(out, count);
    out += " 0 0 0 ";
    AppendInt(out, points);
    out += " 0\r\n";
    for (std::int64_t t = 0; t < count; ++t) {
      // Three different points, so that every row has corners to judge.
      const std::int64_t a = random.Between(0, points - 1);
      std::int64_t b = random.Between(0, points - 2);
      b += b >= a;
      std::int64_t c = random.Between(0, points - 3);
      for (const std::int64_t taken : {std::min(a, b), std::max(a, b)}) c += c >= taken;
      out += "  ";
      AppendFace(out, {a, b, c});
      out += "\r\n";
    }
    for (std::int64_t p = 0; p < points; ++p) {
      out += "  ";
      for (int axis = 0; axis < 3; ++axis) {
        if (axis > 0) out += ' ';
        AppendSixDecimals(out, random.Between(-500000000, 500000000));
      }
      out += "\r\n";
    }
    out += "  -500 -500 -500 500 500 500 0 # bounds\r\n)\r\n\r\n";
    ++summary.triMeshes;
    summary.triangles += count;
    summary.bytes += static_cast<std::int64_t>(out.size());
    emit(out);
    out.clear();
  }
  return summary;
}

std::string RandomModel(std::int64_t triangles, std::uint64_t seed, double pointsPerTriangle,
                        ModelSummary* summary) {
  std::string model;
  const ModelSummary made = GenerateRandomModel(
      triangles, seed, pointsPerTriangle, [&](std::string_view piece) { model += piece; });
  if (summary != nullptr) *summary = made;
  return model;
}

}  // namespace Kelvane::BenchModel
