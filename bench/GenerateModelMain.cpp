// kelvane-generate-model: writes a deterministic 3DMF text model of a given
// number of triangles, for the benchmarks.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ModelText.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "Usage: kelvane-generate-model TRIANGLES OUTPUT [SEED]\n");
    return 2;
  }
  const long long triangles = std::atoll(argv[1]);
  const unsigned long long seed = argc == 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
  if (triangles < 1) {
    std::fprintf(stderr, "kelvane-generate-model: TRIANGLES must be at least 1\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr) {
    std::perror(argv[2]);
    return 1;
  }
  bool failed = false;
  const BenchModel::ModelSummary summary =
      BenchModel::GenerateModel(triangles, seed, [&](std::string_view piece) {
        if (std::fwrite(piece.data(), 1, piece.size(), out) != piece.size()) failed = true;
      });
  if (std::fclose(out) != 0 || failed) {
    std::perror(argv[2]);
    return 1;
  }
  std::printf("%s: %lld triangles, %d TriMesh, %d Mesh, %d Polyhedron objects, %lld bytes\n",
              argv[2], static_cast<long long>(summary.triangles), summary.triMeshes,
              summary.meshes, summary.polyhedra, static_cast<long long>(summary.bytes));
  return 0;
}
