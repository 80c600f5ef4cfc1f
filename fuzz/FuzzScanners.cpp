// Fuzz target: the line and token scanners (plain counts read straight from
// their digits included), the numeric value of a text and the 16-bit count
// conversion, on arbitrary bytes. Besides crashes and
// sanitizer reports it checks what the readers rely on: every call moves
// forward and ends, lines hold no break, values are finite, counts fit.
// The only exception allowed out of these routines is RunError, and only of
// the kinds they document; anything else escapes and is reported.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "text/RunError.h"
#include "text/Files.h"
#include "text/Numbers.h"
#include "text/Scanning.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

using Kelvane::ErrorKind;
using Kelvane::RunError;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "scanner check failed: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

bool HasBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A returned piece must lie inside the text it was cut from.
bool Inside(std::string_view piece, std::string_view text) {
  if (piece.empty()) return true;
  return piece.data() >= text.data() && piece.data() + piece.size() <= text.data() + text.size();
}

// The number rules on one token: a finite value or an overflow error; a
// count in the 16-bit range or an overflow error.
void CheckNumber(std::string_view token) {
  double value = 0;
  try {
    value = TextRoutines::NumericValue(token);
  } catch (const RunError& e) {
    Check(e.Kind() == ErrorKind::Overflow, "NumericValue failed with a kind other than overflow");
    return;
  }
  Check(std::isfinite(value), "NumericValue returned a value that is not finite");
  if (!TextRoutines::StartsWithNumber(token)) Check(value == 0, "a text without a number is not 0");
  try {
    const std::int16_t count = TextRoutines::ToCount(value);
    Check(std::fabs(count - value) <= 0.5, "ToCount moved a value by more than a half");
  } catch (const RunError& e) {
    Check(e.Kind() == ErrorKind::Overflow, "ToCount failed with a kind other than overflow");
    Check(!(value >= -32768.5 && value < 32767.5),
          "ToCount refused a value that rounds into range");
  }
}

// Takes tokens from a text the way the readers do, until the scanner has
// nothing new to give. Returns how many tokens it took.
std::size_t WalkTokens(std::string_view text, std::int32_t position) {
  std::size_t tokens = 0;
  for (;;) {
    const std::int32_t before = position;
    // A plain count read straight from its digits must be the token, the
    // position and the count of the general way.
    std::int32_t quick = position;
    std::string_view quickToken;
    std::int16_t quickCount = 0;
    const bool plainCount = TextRoutines::NextTokenCount(text, quick, quickToken, quickCount);
    const std::string_view token = TextRoutines::NextToken(text, position);
    if (plainCount) {
      Check(quickToken.data() == token.data() && quickToken.size() == token.size() &&
                quick == position,
            "NextTokenCount took another token than NextToken");
      Check(quickCount == TextRoutines::CountValue(token),
            "NextTokenCount read another count than CountValue");
    } else {
      Check(quick == before, "NextTokenCount moved the position without reading a count");
    }
    Check(position >= before, "NextToken moved the position backwards");
    Check(Inside(token, text), "NextToken returned bytes outside the text");
    Check(static_cast<std::int64_t>(position) <= static_cast<std::int64_t>(text.size()) + 1 ||
              position == before,
          "NextToken left the position beyond the end of the text");
    CheckNumber(token);
    ++tokens;
    Check(tokens <= text.size() + 2, "NextToken does not come to an end");
    // The last character of a text comes back again and again from the
    // same position; an empty token means nothing is left.
    if (token.empty() || position == before) break;
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  // By lines, as the readers walk an object, and each line by tokens.
  std::int32_t position = 1;
  std::size_t lines = 0;
  while (static_cast<std::size_t>(position) <= text.size()) {
    const std::int32_t start = position;
    const std::string_view line = TextRoutines::NextLine(text, position);
    Check(position > start, "NextLine did not move forward");
    Check(static_cast<std::size_t>(position) <= text.size() + 1, "NextLine passed length + 1");
    Check(!HasBreak(line), "NextLine returned a line break");
    Check(line.data() == text.data() + (start - 1) || line.empty(),
          "NextLine's line does not start at the position");
    Check(static_cast<std::size_t>(position) > text.size() ||
              (text[static_cast<std::size_t>(position) - 1] != '\r' &&
               text[static_cast<std::size_t>(position) - 1] != '\n'),
          "NextLine left the position on a line break");
    WalkTokens(line, 1);
    ++lines;
  }
  Check(lines <= text.size(), "more lines than bytes");

  // At and past the end nothing is left, and nothing fails.
  for (const std::int64_t beyond : {std::int64_t{0}, std::int64_t{1}, std::int64_t{7}}) {
    std::int32_t at = static_cast<std::int32_t>(static_cast<std::int64_t>(size) + 1 + beyond);
    Check(TextRoutines::NextLine(text, at).empty(), "NextLine past the end gave a line");
    Check(TextRoutines::NextToken(text, at).empty(), "NextToken past the end gave a token");
  }

  // Across line breaks, as the points of a TriMesh are read.
  WalkTokens(text, 1);

  // The whole text as one number, and as hexadecimal digits.
  CheckNumber(text);
  std::string hex = "&H";
  hex.append(text.substr(0, 64));
  CheckNumber(hex);

  // Every double bit pattern, NaN and infinities included, through ToCount.
  if (size >= sizeof(double)) {
    double value;
    std::memcpy(&value, data, sizeof value);
    try {
      const std::int16_t count = TextRoutines::ToCount(value);
      Check(std::fabs(count - value) <= 0.5, "ToCount of raw bits moved more than a half");
    } catch (const RunError& e) {
      Check(e.Kind() == ErrorKind::Overflow, "ToCount of raw bits failed with another kind");
    }
  }

  try {
    const std::string stripped = TextRoutines::StripExtension(text);
    Check(stripped.size() <= text.size(), "StripExtension made a name longer");
  } catch (const RunError& e) {
    Check(e.Kind() == ErrorKind::Overflow && size > 32767, "StripExtension failed on a short name");
  }
  return 0;
}
