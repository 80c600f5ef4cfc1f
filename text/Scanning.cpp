#include "text/Scanning.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "text/Numbers.h"
#include "text/QuickLines.h"
#include "text/QuickNumbers.h"
#include "text/RunError.h"

namespace Kelvane::TextRoutines {

namespace {

using Numbers::IsDigit;
using Numbers::PlainNumberAt;
using Scan::IsBreak;
using Scan::IsDelimiter;

[[noreturn, gnu::cold, gnu::noinline]] void ThrowPositionBelowOne(std::int32_t position) {
  throw RunError(ErrorKind::InvalidArgument,
                 "Text position " + std::to_string(position) + " is below 1");
}

[[noreturn, gnu::cold, gnu::noinline]] void ThrowPositionOverflow() {
  throw RunError(ErrorKind::Overflow, "Text position beyond 2147483647");
}

// The scanners run once per token of the input: their checks stay inline
// and their errors out of the way.
inline void CheckPosition(std::int32_t position) {
  if (position < 1) [[unlikely]]
    ThrowPositionBelowOne(position);
}

inline std::int32_t ToPosition(std::int64_t position) {
  if (position > kMaxPosition) [[unlikely]]
    ThrowPositionOverflow();
  return static_cast<std::int32_t>(position);
}

}  // namespace

// Eight bytes at a time while eight remain: a byte equal to CR or LF
// becomes zero after the exclusive or, and the usual test for a zero byte
// marks it (and never a byte before the first zero).
std::size_t FindBreak(const char* data, std::size_t i, std::size_t length) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
#if defined(__SSE2__) || defined(_M_X64)
  // Sixteen at a time where the processor compares them side by side.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (length - i >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const int found =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    if (found != 0)
      return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(found)));
    i += 16;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    while (length - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, data + i, 8);
      const std::uint64_t cr = word ^ (kOnes * '\r');
      const std::uint64_t lf = word ^ (kOnes * '\n');
      const std::uint64_t found = ((cr - kOnes) & ~cr & kHighs) | ((lf - kOnes) & ~lf & kHighs);
      if (found != 0) return i + static_cast<std::size_t>(std::countr_zero(found) / 8);
      i += 8;
    }
  }
  while (i < length && !IsBreak(data[i])) ++i;
  return i;
}

std::string_view NextLine(std::string_view text, std::int32_t& position) {
  CheckPosition(position);
  const std::size_t length = text.size();
  const char* const data = text.data();
  const auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  std::size_t i = start < length ? FindBreak(data, start, length) : start;
  if (i >= length) {
    // No break follows: the rest of the text is the line, and the position
    // ends past the end of the text.
    if (start > length) return {};
    position = ToPosition(static_cast<std::int64_t>(length) + 1);
    return text.substr(start);
  }
  const std::string_view line(data + start, i - start);
  while (i < length && IsBreak(data[i])) ++i;
  position = ToPosition(static_cast<std::int64_t>(i) + 1);
  return line;
}

std::string_view NextToken(std::string_view text, std::int32_t& position) {
  CheckPosition(position);
  const std::size_t end = text.size();
  const char* const data = text.data();
  auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  while (start < end && IsDelimiter(data[start])) ++start;
  // The token runs to its closing delimiter, or to the last character.
  std::size_t i = start;
  while (i + 1 < end && !IsDelimiter(data[i])) ++i;
  position = ToPosition(static_cast<std::int64_t>(i) + 1);
  if (start >= end) return {};
  return text.substr(start, std::min(i - start + 1, end - start));
}

bool NextTokenValue(std::string_view text, std::int32_t& position, std::string_view& token,
                    double& value) {
  CheckPosition(position);
  const std::size_t end = text.size();
  const char* const data = text.data();
  auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  while (start < end && IsDelimiter(data[start])) ++start;
  if (start >= end) {
    position = ToPosition(static_cast<std::int64_t>(start) + 1);
    token = {};
    value = 0;
    return true;
  }
  // A number's characters are no delimiters, so the token runs at least to
  // where the number stops, and on from there as NextToken runs it.
  const char* stop = data + start;
  const bool plain = PlainNumberAt(data + start, data + end, value, stop);
  std::size_t i = std::min(std::max(static_cast<std::size_t>(stop - data), start), end - 1);
  while (i + 1 < end && !IsDelimiter(data[i])) ++i;
  position = ToPosition(static_cast<std::int64_t>(i) + 1);
  token = text.substr(start, std::min(i - start + 1, end - start));
  // A token holds at most one delimiter, its last character: nothing after
  // the number can join it, so the plain reading is the token's value.
  return plain;
}

bool NextTokenCount(std::string_view text, std::int32_t& position, std::string_view& token,
                    std::int16_t& count) {
  if (position < 1) return false;
  const std::size_t end = text.size();
  const char* const data = text.data();
  auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  while (start < end && IsDelimiter(data[start])) ++start;
  std::size_t i = start;
  std::uint32_t value = 0;
  while (i < end && i - start < 5 && IsDigit(data[i])) {
    value = value * 10 + static_cast<std::uint32_t>(data[i] - '0');
    ++i;
  }
  if (i == start || value > 32767) return false;
  // The token runs to its closing delimiter, or to the last character.
  if (i < end && !IsDelimiter(data[i])) return false;
  const std::size_t last = std::min(i, end - 1);
  position = ToPosition(static_cast<std::int64_t>(last) + 1);
  token = text.substr(start, last - start + 1);
  count = static_cast<std::int16_t>(value);
  return true;
}

bool NextPlainValue(std::string_view text, std::int32_t& position, double& value,
                    std::int32_t& place) {
  const char* p = Scan::InTextAt(text, position);
  if (p == nullptr) return false;
  const char* const data = text.data();
  const char* const end = data + text.size();
  while (p < end && IsDelimiter(*p)) ++p;
  if (p == end) return false;
  const char* const first = p;
  p = QuickNumbers::ExactNumberAt(p, end, value);
  if (p == nullptr) return false;
  // NextTokenValue leaves the position on the closing delimiter, or on the
  // last character.
  if (p < end) {
    if (!IsDelimiter(*p)) return false;
    ++p;
  }
  place = static_cast<std::int32_t>(first - data) + 1;
  position = static_cast<std::int32_t>(p - data);
  return true;
}

}  // namespace Kelvane::TextRoutines
