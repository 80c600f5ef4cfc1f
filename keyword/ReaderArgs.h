#pragma once

#include <cstdint>
#include <string_view>

namespace Kelvane {

struct Image;
class ReaderSink;
class TextureSaver;
namespace Unreal {
class T3dWriter;
}

// The arguments of every reader, kept by the run. The scan position is
// where the next search starts; the spot is the input position the reader
// last read from, for error messages.
struct ReaderArgs {
  std::string_view inputText{};
  std::int32_t scanPosition = 1;
  std::int32_t spot = 0;
  double scale = 1;
  Unreal::T3dWriter& writer;
  ReaderSink& sink;
  TextureSaver& saver;
  // The texture picture the texture reader sizes and paints (the run owns
  // it, so that it outlives the reader for the window to show).
  Image& picture;
  // Points in the editor's frame (MapAxesToEditor) instead of the usual
  // mapping (MapAxes); polygons written as the editor writes them.
  bool editorFrame = false;
};

}  // namespace Kelvane
