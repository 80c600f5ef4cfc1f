#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Deterministic 3DMF text models of any size for the benchmarks: surface
// patches written in turn as TriMesh, Mesh and Polyhedron objects, each
// within the 16-bit counts the readers accept. The same arguments always
// give the same bytes, on any machine.
namespace BenchModel {

// Largest number of triangles one object holds; with the patch shape chosen
// below its vertex count stays under 32767 too.
constexpr std::int64_t kMaxObjectTriangles = 30000;

struct ModelSummary {
  std::int64_t triangles = 0;
  int triMeshes = 0;
  int meshes = 0;
  int polyhedra = 0;
  std::int64_t bytes = 0;
};

// Writes a model of exactly `triangles` triangles (at least 1) through
// `emit`, in pieces of at most one object each. The objects are at least
// three (one of each kind) and as few as `perObject` triangles each allows
// (at most kMaxObjectTriangles).
ModelSummary GenerateModel(std::int64_t triangles, std::uint64_t seed,
                           const std::function<void(std::string_view)>& emit,
                           std::int64_t perObject = kMaxObjectTriangles);

// The same model as one string.
std::string ModelText(std::int64_t triangles, std::uint64_t seed, ModelSummary* summary = nullptr,
                      std::int64_t perObject = kMaxObjectTriangles);

}  // namespace BenchModel
