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

// What the readers took that the input did not hold, counted with the
// 1-based position of the first of each: reads from past the end of the
// input (a file cut off inside an object), each taken as 0, and tokens
// without a number at their start ("nan", "inf", words), read as 0. The
// documents do not change for it; the run tells the user at its end.
struct ReadingNotes {
  std::int64_t pastEnd = 0;
  std::int32_t firstPastEnd = 0;
  std::int64_t notNumbers = 0;
  std::int32_t firstNotNumber = 0;
  std::string_view firstNotNumberToken{};
  // Where a token of the stream that ended the input, with no delimiter
  // after it, left the scan: on its last character, which the next read
  // takes again (so that read, too, is past the end). 0: none.
  std::int32_t streamEndedInput = 0;

  void PastEnd(std::int32_t position) {
    if (pastEnd++ == 0) firstPastEnd = position;
  }
  void NotANumber(std::string_view token, std::int32_t position) {
    if (notNumbers++ == 0) {
      firstNotNumber = position;
      firstNotNumberToken = token;
    }
  }
};

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
  ReadingNotes notes{};
};

}  // namespace Kelvane
