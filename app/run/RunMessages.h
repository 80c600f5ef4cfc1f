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
  // When the run wrote to a side file, it ends by naming it and saying that
  // the earlier output is as it was.
  std::string error;
  // After a completed run: "Wrote OUTPUT: N polygons, M bitmaps: a.bmp, ...".
  std::string wrote;
  // After a completed run that wrote no polygon and saved no texture:
  // "no 3DMF object found in INPUT; is it a 3DMF file?" (the whole-format
  // reader: "nothing was converted from INPUT: ..."). Empty otherwise, and
  // when the hint below says more.
  std::string empty;
  // After a completed run: what the reader left out and what became of the
  // textured polygons, one line each.
  std::vector<std::string> notes;
  // When the keyword reader failed or wrote no polygon on a file the
  // whole-format reader reads: "the 3DMF reader reads this file (N geometry
  // objects); try " and `askWholeFormat`.
  std::string hint;
};

// A number in its shortest form that reads back as the same double ("512",
// "0.25").
std::string ShortNumber(double value);

// `askWholeFormat` says how the user asks for the whole-format reader in
// this front end ("--reader 3dmf").
RunMessages MessagesOf(const RunReport& report, std::string_view askWholeFormat);

}  // namespace Kelvane
