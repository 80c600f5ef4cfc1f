#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "text/QuickNumbers.h"

// The number rules every reader shares: the numeric value of a text, counts
// and indices. No locale is consulted: the decimal point is always ".".
namespace Kelvane::TextRoutines {

// The number at the start of a text: blanks, tabs and line feeds ignored
// wherever they stand, an optional sign, digits with at most one ".", an
// optional exponent; "&H" reads hexadecimal. 0 when there is no number.
// A value too large for a double is an overflow error.
double NumericValue(std::string_view text);

// Whether the text starts with a number by the rule above (a digit is read).
bool StartsWithNumber(std::string_view text);

// A value as messages show it: plain decimal, the fewest digits that read
// back as the same double ("100000", "0.25", "-3").
std::string PlainDecimal(double value);

// A count or index: the value rounded to the nearest integer, halves to even,
// then checked against the 16-bit range (overflow error outside it).
std::int16_t ToCount(double value);

// ToCount of the numeric value of a token.
inline std::int16_t CountValue(std::string_view token) { return ToCount(NumericValue(token)); }

// The reading shared by NumericValue and the token scanners.
namespace Numbers {

// Characters the numeric value passes over wherever they stand.
inline bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a number that starts at `p` and whose characters stand together:
// a sign, digits with at most one ".", an exponent. Sets `stop` to the
// first character after it. False when the general walk must decide: no
// digit, an exponent without digits (what stops it may be an ignored
// character that the walk passes), a value from_chars cannot hold.
inline bool PlainNumberAt(const char* p, const char* const end, double& value, const char*& stop) {
  const char* const first = p;  // from_chars takes a "-" but no "+"
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  // The digits as one integer, while it is exact.
  std::uint64_t mantissa = 0;
  const char* const integerPart = p;
  while (p < end && IsDigit(*p)) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
  std::size_t digits = static_cast<std::size_t>(p - integerPart);
  std::size_t decimals = 0;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && IsDigit(*p)) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    decimals = static_cast<std::size_t>(p - fraction);
    digits += decimals;
  }
  if (digits == 0) return false;
  int scale = -static_cast<int>(decimals);
  if (p < end && (*p == 'e' || *p == 'E')) {
    p = QuickNumbers::ExponentAt<true>(p, end, scale);
    if (p == nullptr) return false;
  }
  stop = p;
  // One multiplication or division, which rounds correctly, wherever it is
  // exact: the coordinates and indices of any model written by a program.
  if (QuickNumbers::ExactMantissa(mantissa, digits) &&
      QuickNumbers::ScaledValue(mantissa, scale, negative, value)) {
    return true;
  }
  const char* const from = *first == '+' ? first + 1 : first;
  const auto result = std::from_chars(from, p, value, std::chars_format::general);
  return result.ec == std::errc{} && result.ptr == p;
}

}  // namespace Numbers

}  // namespace Kelvane::TextRoutines
