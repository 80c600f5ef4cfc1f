#pragma once

#include <string>
#include <vector>

// Outputs that are 3DMF models, which every front end refuses before it
// writes anything, and outputs that are not. Shared by the command line's,
// the batch's and the window's tests.
namespace testing_support {

struct ModelOutputCase {
  std::string name;      // the output's file name
  std::string bytes;     // its content; empty: no such file yet
  std::string because;   // part of the reason given; empty: not a model
};

inline const std::string kModelTriangle = "Polyhedron (\n3 0 1\n0 0 0 1 0 0 0 0 1\n0 1 2\n)\n";

inline std::vector<ModelOutputCase> ModelOutputCases() {
  return {
      {"b.3dmf", "", "its name ends in .3dmf"},
      {"b.3DM", "Begin Map\r\nEnd Map\r\n", "its name ends in .3DM"},
      {"b.Q3d", "", "its name ends in .Q3d"},
      {"b.qd3d", "", "its name ends in .qd3d"},
      {"b.t3d", "3DMetafile ( 1 6 Normal toc> )\n" + kModelTriangle, "the 3DMF text header"},
      {"c.t3d", "# made by hand\n\n  # Mesh\n3DMetafile ( 1 6 Normal )\n", "the 3DMF text header"},
      {"d.t3d", "\r\n3DMetafile ( 1 6 Normal )\r\n", "the 3DMF text header"},
      {"n.t3d", "\xEF\xBB\xBF" "3DMetafile ( 1 6 Normal )\n", "the 3DMF text header"},
      {"e.t3d", std::string("3DMF\0\0\0\x10\0\x01\0\x06", 12), "the binary 3DMF header"},
      {"f.t3d", std::string("FMD3\x10\0\0\0\x01\0\x06\0", 12), "the binary 3DMF header"},
      {"g.t3d", kModelTriangle, "finds a Polyhedron object"},
      {"h.t3d", "BeginGroup ( DisplayGroup ( ) )\nTriMesh (\n", "finds a TriMesh object"},
      {"l.t3d", std::string(5000, ' ') + "x\n" + kModelTriangle, "finds a Polyhedron object"},
      // Not models: a T3D document that names a mesh, a note, a new file.
      {"i.t3d", "\xEF\xBB\xBF\r\nBegin Map\r\nBegin Actor Class=StaticMeshActor\r\n", ""},
      {"j.t3d", "notes, not a model", ""},
      {"m.t3d", std::string(5000, '\n') + "Begin Map\r\nBegin Actor Class=StaticMeshActor\r\n", ""},
      {"k.t3d", "", ""},
  };
}

}  // namespace testing_support
