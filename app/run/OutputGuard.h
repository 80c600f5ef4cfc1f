#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The one rule by which every front end refuses an output: a T3D document is
// never written over a file that this program would read as a 3DMF model.
namespace Kelvane {

// The extensions a 3DMF model's name ends in, in any letter case: the
// names a batch takes from a folder, and that no output may have.
inline constexpr std::string_view kModelExtensions[] = {".3dmf", ".3dm", ".q3d", ".qd3d"};

// The extension of kModelExtensions that `name` ends in, as it is written
// there; empty when none.
std::string_view ModelExtensionOf(std::string_view name);

// How much of an existing file the check reads at most: a model whose first
// object keyword stands further in is not one anybody keeps.
constexpr std::size_t kModelCheckBytes = std::size_t{4} << 20;

// Why `path` is a model, as the end of a sentence ("its name ends in
// .3dmf"); nothing when it is not one. It is one when:
// - its name ends in .3dmf, .3dm, .q3d or .qd3d, in any letter case (also
//   before the file exists);
// - it begins with the text header "3DMetafile", after a byte order mark,
//   blank lines and lines that begin with "#";
// - it begins with the binary header ("3DMF", or "FMD3" in the other byte
//   order);
// - it does not begin with "Begin" and a blank, as every T3D document does
//   (blanks and a UTF-8 byte order mark before it allowed), and the keyword
//   reader would find a geometry object in its first kModelCheckBytes.
// Only regular files are read, so a pipe or a device never blocks the
// check; a file that cannot be read is not one the program would read.
std::optional<std::string> ModelReason(const std::string& path);

}  // namespace Kelvane
