// kelvane-generate-model: writes a deterministic 3DMF model of a given
// number of triangles, for the benchmarks: the mixed text model (TriMesh,
// Mesh and Polyhedron objects), a model of TriMesh objects only, in text
// or in binary form, or TriMesh objects of random rows and six-decimal
// points.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/ModelText.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

constexpr const char* kUsage =
    "Usage: kelvane-generate-model [--trimesh-only | --binary | --random R] [--per-object N]\n"
    "                              TRIANGLES OUTPUT [SEED]\n"
    "  (no option)     TriMesh, Mesh and Polyhedron objects in turn, 3DMF text\n"
    "  --trimesh-only  TriMesh objects only, 3DMF text that both readers take\n"
    "  --binary        the same TriMesh objects in binary 3DMF\n"
    "  --random R      TriMesh objects whose rows name random points, R points a\n"
    "                  triangle (up to 3), each a random coordinate with six\n"
    "                  decimals within 500 (--per-object does not apply)\n"
    "  --per-object N  objects of about N triangles (default: as few objects as\n"
    "                  30000 triangles each allows)\n";

enum class Kind { Mixed, TriMeshText, TriMeshBinary, Random };

}  // namespace

int main(int argc, char** argv) {
  Kind kind = Kind::Mixed;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "--trimesh-only") == 0) {
    kind = Kind::TriMeshText;
    first = 2;
  } else if (argc > 1 && std::strcmp(argv[1], "--binary") == 0) {
    kind = Kind::TriMeshBinary;
    first = 2;
  }
  double pointsPerTriangle = 0;
  if (argc > 2 && std::strcmp(argv[1], "--random") == 0) {
    kind = Kind::Random;
    pointsPerTriangle = std::atof(argv[2]);
    if (!(pointsPerTriangle > 0 && pointsPerTriangle <= 3)) {
      std::fprintf(stderr, "kelvane-generate-model: --random takes above 0 to 3\n");
      return 2;
    }
    first = 3;
  }
  long long perObject = BenchModel::kMaxObjectTriangles;
  if (argc > first + 1 && std::strcmp(argv[first], "--per-object") == 0) {
    perObject = std::atoll(argv[first + 1]);
    if (perObject < 1 || perObject > BenchModel::kMaxObjectTriangles) {
      std::fprintf(stderr, "kelvane-generate-model: --per-object takes 1 to %lld\n",
                   static_cast<long long>(BenchModel::kMaxObjectTriangles));
      return 2;
    }
    first += 2;
  }
  const int left = argc - first;
  if (left < 2 || left > 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const long long triangles = std::atoll(argv[first]);
  const char* path = argv[first + 1];
  const unsigned long long seed = left == 3 ? std::strtoull(argv[first + 2], nullptr, 10) : 1;
  if (triangles < 1) {
    std::fprintf(stderr, "kelvane-generate-model: TRIANGLES must be at least 1\n");
    return 2;
  }
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) {
    std::perror(path);
    return 1;
  }
  bool failed = false;
  const auto write = [&](std::string_view piece) {
    if (std::fwrite(piece.data(), 1, piece.size(), out) != piece.size()) failed = true;
  };
  BenchModel::ModelSummary summary;
  if (kind == Kind::Mixed) {
    summary = BenchModel::GenerateModel(triangles, seed, write, perObject);
  } else if (kind == Kind::Random) {
    summary = BenchModel::GenerateRandomModel(triangles, seed, pointsPerTriangle, write);
  } else {
    const auto form =
        kind == Kind::TriMeshBinary ? BenchModel::ModelForm::Binary : BenchModel::ModelForm::Text;
    summary = BenchModel::GenerateTriMeshModel(triangles, seed, form, write, perObject);
  }
  if (std::fclose(out) != 0 || failed) {
    std::perror(path);
    return 1;
  }
  std::printf("%s: %lld triangles, %d TriMesh, %d Mesh, %d Polyhedron objects, %lld bytes%s\n",
              path, static_cast<long long>(summary.triangles), summary.triMeshes, summary.meshes,
              summary.polyhedra, static_cast<long long>(summary.bytes),
              kind == Kind::TriMeshBinary ? ", binary" : "");
  return 0;
}
