#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace Kelvane::Metafile {

// What a scene walk met and what it left out, for the run's report.
struct SceneSummary {
  std::size_t geometryObjects = 0;
  std::size_t triangles = 0;
  std::size_t textures = 0;
  // Objects left out, by kind: kinds the reader does not know, and curves
  // and other shapes that have no surface.
  std::map<std::string, std::size_t> unknown;
  std::map<std::string, std::size_t> noSurface;
  // EndGroup objects that closed no group.
  std::size_t strayEndGroups = 0;
  // NURB patches whose trim loops were not applied.
  std::size_t untrimmedPatches = 0;
  // Triangles of zero area that degenerate shapes (Box, Ellipsoid,
  // Cylinder, Cone, Disk, Torus) left out, and by kind the shapes that had
  // no area at all.
  std::size_t zeroAreaTriangles = 0;
  std::map<std::string, std::size_t> noArea;
};

}  // namespace Kelvane::Metafile
