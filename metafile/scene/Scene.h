#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "metafile/format/Document.h"
#include "metafile/scene/SceneSummary.h"
#include "metafile/surfaces/Geometry.h"
#include "metafile/texture/Texture.h"

// The scene walk, the scene folder's contract and the whole-format
// reader's top: goes through a Document in file order as a renderer would
// draw it (groups, transforms, containers, references) and hands each
// geometry object placed, as triangles in world space, and each texture to
// a sink.
namespace Kelvane::Metafile {

class SceneSink {
 public:
  virtual ~SceneSink() = default;
  // The walk is about to decode the object (for progress).
  virtual void Reached(const Object& object) = 0;
  // A geometry object placed: its triangles, points already in world space.
  // A degenerate shape with no area left comes without a triangle, its
  // zeroAreaLeftOut above 0.
  virtual void Geometry(const Object& object, TriangleSet& triangles) = 0;
  // A texture, each texture object once, however often it is referred to.
  virtual void Texture(const Object& object, const Image& image) = 0;
};

// Whether the kind is a shape without surface (curves, lines, points,
// markers), which the walk counts and leaves out.
bool IsShapeWithoutSurface(std::string_view kind);

// The most objects one walk places through references (each time a
// reference draws an object, or an object inside it).
constexpr std::uint64_t kMaxPlacements = std::uint64_t{1} << 20;

// The largest subdivision count a Constant SubdivisionStyle may ask for.
constexpr int kMaxSubdivision = 10000;

// What the walk says of the textures that cover each geometry object
// (TriangleSet's mapping): nothing; which textures cover which triangles;
// or that and the UVs of its points.
enum class Mapping { kNone, kTextures, kTexturesAndUVs };

// Walks the whole document. `textures` false: texture objects are not
// decoded (pictures off). With a `mapping`, each geometry object's set also
// says which textures cover it (and, kTexturesAndUVs, the UVs of its
// points, read from its attribute arrays and vertex attribute sets), and
// the textures it names are handed over before it. Errors in an object's
// data raise RunError with the place; a reference to a missing entry, a
// cycle of references or references nested deeper than kMaxNesting too.
void WalkScene(const Document& document, SceneSink& sink, bool textures, SceneSummary& summary,
               Mapping mapping = Mapping::kNone);

}  // namespace Kelvane::Metafile
