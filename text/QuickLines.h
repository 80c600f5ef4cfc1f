#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

#include "text/QuickNumbers.h"

// The quick ways of the keyword readers: a line of counts or of numbers,
// or the three numbers of a point, read in one pass when they have the
// form models are written in. Each gives exactly what the general routines
// of TextRoutines give for it (the same values, the same 1-based places of
// the tokens' first characters, the same position after); for any other
// text it returns false, moves nothing, and the general routines read it.
// Inline, so that a reader's loop holds them whole.
//
// They read only a text whose last byte is a line break: there every step
// that stops at a break (passing blanks in a line, the digits and signs of
// a number, a token) stops before the text's end, so none has to check for
// it. A text that ends otherwise goes the general way.
namespace Kelvane::TextRoutines {

// Positions are 1-based 32-bit numbers and must reach length + 1.
constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();

namespace Scan {

inline bool IsBreak(char c) { return c == '\r' || c == '\n'; }
inline bool IsDelimiter(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }

// The position after a line whose break stands at `i`, as NextLine leaves
// it: past that break and every break after it.
inline std::int32_t PositionAfterBreaks(const char* const data, std::size_t i, std::size_t length) {
  while (i < length && IsBreak(data[i])) ++i;
  return static_cast<std::int32_t>(i + 1);
}

// The character at `position`, or nullptr when the general routines must
// read from there: a position below 1 or beyond the text, a text too long
// for 32-bit positions.
inline const char* InTextAt(std::string_view text, std::int32_t position) {
  if (position < 1 || text.size() >= static_cast<std::size_t>(kMaxPosition) ||
      static_cast<std::size_t>(position) > text.size()) {
    return nullptr;
  }
  return text.data() + (position - 1);
}

// Where a quick way of a line starts to read from `position` (InTextAt), or
// nullptr, also when the text's last byte is no line break.
inline const char* StartOf(std::string_view text, std::int32_t position) {
  const char* const p = InTextAt(text, position);
  return p != nullptr && IsBreak(text.back()) ? p : nullptr;
}

inline const char* PastBlanksInLine(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace Scan

// The index of the first CR or LF from `from` on, or `length` when none
// follows.
std::size_t FindBreak(const char* data, std::size_t from, std::size_t length);

namespace Scan {

// The position after the line that `p` stands in, as NextLine leaves it.
inline std::int32_t PositionAfterLine(const char* const data, const char* const p,
                                      std::size_t length) {
  const auto i = static_cast<std::size_t>(p - data);
  return PositionAfterBreaks(data, IsBreak(*p) ? i : FindBreak(data, i, length), length);
}

// Three plain numbers from `p` on, in one line, each closed by a
// delimiter. Returns where the last one ends, or nullptr.
inline const char* ThreeNumbersInLine(const char* p, const char* const data,
                                      const char* const textEnd, double (&values)[3],
                                      std::int32_t (&places)[3]) {
  for (int k = 0; k < 3; ++k) {
    p = PastBlanksInLine(p);
    const char* const first = p;
    p = QuickNumbers::StoppedNumberAt(p, textEnd, values[k]);
    if (p == nullptr || !IsDelimiter(*p)) return nullptr;
    places[k] = static_cast<std::int32_t>(first - data) + 1;
  }
  return p;
}

}  // namespace Scan

// A line of `passedOver` tokens and then three plain counts (one to five
// digits, at most 32767, each closed by a delimiter or the line's end),
// from `position` on: NextLine, then NextToken for each token passed over
// and NextTokenCount for each count. Whatever follows the counts on the
// line is passed over.
inline bool NextCountLine(std::string_view text, std::int32_t& position, int passedOver,
                          std::int16_t (&counts)[3], std::int32_t (&places)[3]) {
  using namespace Scan;
  const char* p = StartOf(text, position);
  if (p == nullptr) return false;
  const char* const data = text.data();
  for (int k = 0; k < passedOver; ++k) {
    p = PastBlanksInLine(p);
    if (IsBreak(*p)) return false;
    while (!IsDelimiter(*p)) ++p;
  }
  for (int k = 0; k < 3; ++k) {
    p = PastBlanksInLine(p);
    std::uint64_t value = 0;
    // The byte after the digits is read only after a digit, which is never
    // the text's last byte.
    const int taken = QuickNumbers::LeadingDigits<5>(p, value);
    if (taken == 0 || value > 32767 || !IsDelimiter(p[taken])) return false;
    counts[k] = static_cast<std::int16_t>(value);
    places[k] = static_cast<std::int32_t>(p - data) + 1;
    p += taken;
  }
  position = PositionAfterLine(data, p, text.size());
  return true;
}

// A line that starts with three plain numbers (as NextPlainValue reads
// them): NextLine, then NextTokenValue three times.
inline bool NextNumberLine(std::string_view text, std::int32_t& position, double (&values)[3],
                           std::int32_t (&places)[3]) {
  using namespace Scan;
  const char* const p = StartOf(text, position);
  if (p == nullptr) return false;
  const char* const data = text.data();
  const char* const last = ThreeNumbersInLine(p, data, data + text.size(), values, places);
  if (last == nullptr) return false;
  position = PositionAfterLine(data, last, text.size());
  return true;
}

// Three tokens of NextTokenValue that are plain numbers standing on one
// line, as the points of a TriMesh do.
inline bool NextPlainPoint(std::string_view text, std::int32_t& position, double (&values)[3],
                           std::int32_t (&places)[3]) {
  using namespace Scan;
  const char* p = StartOf(text, position);
  if (p == nullptr) return false;
  const char* const data = text.data();
  const char* const end = data + text.size();
  while (p < end && IsDelimiter(*p)) ++p;
  if (p == end) return false;
  const char* const last = ThreeNumbersInLine(p, data, end, values, places);
  if (last == nullptr) return false;
  // As NextTokenValue leaves it: on the closing delimiter.
  position = static_cast<std::int32_t>(last - data) + 1;
  return true;
}

// NextTokenValue within a line, for a plain number closed by a delimiter,
// when the line's break stands right after the view (the line came from a
// text that ends in a break, as NextLine gives it).
inline bool NextPlainInLine(std::string_view line, std::int32_t& position, double& value,
                            std::int32_t& place) {
  using namespace Scan;
  if (position < 1 || static_cast<std::size_t>(position) > line.size()) return false;
  const char* const data = line.data();
  const char* const lineEnd = data + line.size();
  const char* const first = PastBlanksInLine(data + (position - 1));
  // The decimals may be looked at eight bytes at a time up to the break.
  const char* const last = QuickNumbers::StoppedNumberAt(first, lineEnd + 1, value);
  if (last == nullptr || !IsDelimiter(*last)) return false;
  place = static_cast<std::int32_t>(first - data) + 1;
  // On the closing delimiter, or on the line's last character.
  position = static_cast<std::int32_t>(last - data) + (last < lineEnd ? 1 : 0);
  return true;
}

}  // namespace Kelvane::TextRoutines
