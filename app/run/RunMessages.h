#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/run/RunReport.h"

namespace Kelvane {

// What both front ends tell the user after a run, made from its report in
// one wording. Each text is a line without its end.
struct RunMessages {
  // Things the user should know, in the order they arose ("texture 2 not
  // saved: ...").
  std::vector<std::string> warnings;
  // Why the run stopped: "Kind: text (place)"; empty when it completed.
  // It ends by saying what became of the output: when the run wrote to a
  // side file, that the earlier output is as it was and where the side file
  // is; when it wrote pieces to the output itself, how many polygons they
  // hold.
  std::string error;
  // After a completed run: "Wrote OUTPUT (keyword reader): N polygons, M
  // bitmaps: a.bmp, ..." (the first few names, then how many more).
  std::string wrote;
  // After a completed run that wrote no polygon and saved no texture:
  // "nothing was converted: ...". Empty otherwise, and when the hint below
  // says more.
  std::string empty;
  // After a completed run: what the reader left out and what became of the
  // textured polygons, one line each.
  std::vector<std::string> notes;
  // When the other reader converts what this one failed on or wrote no
  // polygon from: "the whole-format reader reads this file (N geometry
  // objects); try " and the front end's words for it.
  std::string hint;
};

// How a front end asks for what the messages point to ("--reader 3dmf",
// "ticking \"Whole 3DMF\""); an empty one is left out of the hint.
struct OptionWords {
  std::string wholeFormat;
  std::string keywords;
  std::string powerOfTwo;
};

// A number as messages show it: in plain decimal, the fewest digits that
// read back as the same double ("512", "0.25", "100000").
std::string ShortNumber(double value);

RunMessages MessagesOf(const RunReport& report, const OptionWords& words);

}  // namespace Kelvane
