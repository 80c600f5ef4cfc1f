#pragma once

#include "keyword/ReaderSupport.h"

// One reader per object kind. Each is called with the scan position on the
// first character of its keyword and leaves it behind what it read.
namespace Kelvane {

// Vertices on one line, skipped lines, one face line each.
void ReadPolyhedron(ReaderArgs& args);
// Triangle lines, skipped edge lines, then the points as a stream of tokens.
void ReadTriMesh(ReaderArgs& args);
// One line per vertex, face count, contour line, one line per face.
void ReadMesh(ReaderArgs& args);
// Paints the texture's pixels into the picture box, then offers it for saving.
void ReadPixmapTexture(ReaderArgs& args);

}  // namespace Kelvane
