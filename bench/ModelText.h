#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Deterministic 3DMF text models of any size for the benchmarks: surface
// patches written in turn as TriMesh, Mesh and Polyhedron objects, each
// within the 16-bit counts the readers accept. The same arguments always
// give the same bytes, on any machine.
namespace Kelvane::BenchModel {

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

// Models of TriMesh objects only, to time the two readers and the two forms
// of the format on one model.
enum class ModelForm {
  // 3DMF text that the keyword reader and the whole-format reader both
  // read (no edge lines), while objects stay within kMaxObjectTriangles.
  Text,
  // Binary 3DMF, big endian: the header, then one 'tmsh' object a patch:
  // six Uns32 counts, point indices in 1, 2 or 4 bytes by the point count,
  // no edges, Float32 points, the bounding box and its empty flag.
  Binary,
};

// Largest number of triangles one TriMesh of these models holds: above
// 131072 a patch has 65536 points or more, which binary indices need 4
// bytes for.
constexpr std::int64_t kMaxTriMeshObjectTriangles = 200000;

// Writes a model of exactly `triangles` triangles through `emit`, one piece
// per object: as few TriMesh objects as `perObject` allows, holding the
// patches GenerateModel makes. The same arguments give the same patches in
// both forms; binary points are the text's values rounded to Float32.
ModelSummary GenerateTriMeshModel(std::int64_t triangles, std::uint64_t seed, ModelForm form,
                                  const std::function<void(std::string_view)>& emit,
                                  std::int64_t perObject = kMaxObjectTriangles);

// The same model as one string.
std::string TriMeshModel(std::int64_t triangles, std::uint64_t seed, ModelForm form,
                         ModelSummary* summary = nullptr,
                         std::int64_t perObject = kMaxObjectTriangles);

// A model of TriMesh objects in text whose rows name points at random and
// whose points are random coordinates with six decimals within 500 of the
// origin ("-123.456789", "7.000100"), as a modeller writes them: neighbouring
// rows share no corner, so little of one row's work serves the next. Each
// object holds at most kMaxRandomObjectTriangles triangles and
// `pointsPerTriangle` times as many points (at most 3, within the 16-bit
// counts the keyword readers take). Both readers read it.
constexpr std::int64_t kMaxRandomObjectTriangles = 10000;
ModelSummary GenerateRandomModel(std::int64_t triangles, std::uint64_t seed,
                                 double pointsPerTriangle,
                                 const std::function<void(std::string_view)>& emit);

// The same model as one string.
std::string RandomModel(std::int64_t triangles, std::uint64_t seed, double pointsPerTriangle,
                        ModelSummary* summary = nullptr);

}  // namespace Kelvane::BenchModel
