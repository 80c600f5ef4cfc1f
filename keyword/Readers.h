#pragma once

#include <optional>
#include <string_view>

#include "keyword/ReaderArgs.h"

// One reader per object kind. Each is called with the scan position on the
// first character of its keyword and leaves it behind what it read.
namespace Kelvane {

// The keywords the run finds each kind by, as they stand in the text: case
// counts, and "Mesh" is found inside "TriMesh" too.
inline constexpr std::string_view kPolyhedronKeyword = "Polyhedron";
inline constexpr std::string_view kMeshKeyword = "Mesh";
inline constexpr std::string_view kTriMeshKeyword = "TriMesh";
inline constexpr std::string_view kTextureKeyword = "PixmapTexture (";

// The geometry keyword that stands first in the text, whose object the run
// would read first; nothing when the text holds none.
std::optional<std::string_view> FirstGeometryKeyword(std::string_view text);

// Vertices on one line, skipped lines, one face line each.
void ReadPolyhedron(ReaderArgs& args);
// Triangle lines, skipped edge lines, then the points as a stream of tokens.
void ReadTriMesh(ReaderArgs& args);
// One line per vertex, face count, contour line, one line per face.
void ReadMesh(ReaderArgs& args);
// Paints the texture's pixels into the run's picture, then offers it for saving.
void ReadPixmapTexture(ReaderArgs& args);

}  // namespace Kelvane
