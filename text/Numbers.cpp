#include "text/Numbers.h"

#include <charconv>
#include <cmath>
#include <string>

#include "text/RunError.h"

namespace Kelvane::TextRoutines {

namespace {

using Numbers::IsDigit;
using Numbers::IsIgnored;
using Numbers::PlainNumberAt;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The parts of a decimal number found at the start of a text.
struct ParsedNumber {
  bool hex = false;
  double hexValue = 0;
  bool negative = false;
  std::string digits;      // mantissa with its "." as written, no sign
  int mantissaDigits = 0;  // how many of them are digits
  std::string exponent;    // "e", sign and digits, or empty
};

// Walks the number at the start of the text by the numeric-value rule.
ParsedNumber ParseNumber(std::string_view text) {
  ParsedNumber number;
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip = [&](std::size_t& at) {
    while (at < n && IsIgnored(text[at])) ++at;
  };
  skip(i);
  if (i + 1 < n && text[i] == '&' && text[i + 1] == 'H') {
    number.hex = true;
    i += 2;
    for (;;) {
      skip(i);
      if (i >= n) break;
      const int d = HexDigit(text[i]);
      if (d < 0) break;
      number.hexValue = number.hexValue * 16 + d;
      ++number.mantissaDigits;
      ++i;
    }
    return number;
  }
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }
  bool point = false;
  for (;;) {
    skip(i);
    if (i >= n) break;
    const char c = text[i];
    if (IsDigit(c)) {
      number.digits += c;
      ++number.mantissaDigits;
    } else if (c == '.' && !point) {
      number.digits += c;
      point = true;
    } else {
      break;
    }
    ++i;
  }
  if (number.mantissaDigits == 0) return number;
  skip(i);
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    skip(j);
    if (j < n && (text[j] == '+' || text[j] == '-')) {
      exponent += text[j];
      ++j;
    }
    bool anyDigit = false;
    for (;;) {
      skip(j);
      if (j >= n || !IsDigit(text[j])) break;
      exponent += text[j];
      anyDigit = true;
      ++j;
    }
    // An exponent without digits is not part of the number.
    if (anyDigit) number.exponent = std::move(exponent);
  }
  return number;
}

// Whether a decimal number that from_chars could not hold is too large
// (true) or too small (false): the decimal exponent of its leading digit.
bool IsTooLarge(const ParsedNumber& number) {
  std::int64_t integerDigits = 0;
  std::int64_t leading = -1;  // index among digits of the first non-zero digit
  std::int64_t index = 0;
  bool point = false;
  for (const char c : number.digits) {
    if (c == '.') {
      point = true;
      continue;
    }
    if (!point) ++integerDigits;
    if (leading < 0 && c != '0') leading = index;
    ++index;
  }
  if (leading < 0) return false;
  std::int64_t exponent = 0;
  bool negative = false;
  for (std::size_t k = 1; k < number.exponent.size(); ++k) {
    const char c = number.exponent[k];
    if (c == '-') negative = true;
    if (IsDigit(c) && exponent < 1000000000) exponent = exponent * 10 + (c - '0');
  }
  if (negative) exponent = -exponent;
  return integerDigits - 1 - leading + exponent > 0;
}

// The text as a message quotes it: without the blanks and breaks after it
// (a token's closing delimiter).
std::string Quoted(std::string_view text) {
  while (!text.empty() && (IsIgnored(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return Kelvane::Quote(text);
}

}  // namespace

namespace {

// The numeric value of a text whose number stands together, with nothing
// after it that the rule could join to it, as tokens are ("-12.5 ",
// "1e3\r", "7"). False when the text needs the general walk.
bool PlainNumericValue(std::string_view text, double& value) {
  const char* const end = text.data() + text.size();
  const char* p = text.data();
  while (p < end && IsIgnored(*p)) ++p;
  const char* stop = p;
  if (!PlainNumberAt(p, end, value, stop)) return false;
  // Only the last character may be one that the rule passes over.
  return !(stop < end && IsIgnored(*stop) && stop + 1 < end);
}

}  // namespace

double NumericValue(std::string_view text) {
  double plain = 0;
  if (PlainNumericValue(text, plain)) return plain;
  const ParsedNumber number = ParseNumber(text);
  if (number.hex) {
    if (!std::isfinite(number.hexValue)) {
      throw RunError(ErrorKind::Overflow, "The number " + Quoted(text) + " is too large");
    }
    return number.hexValue;
  }
  if (number.mantissaDigits == 0) return 0;
  std::string compact;
  compact.reserve(number.digits.size() + number.exponent.size() + 1);
  if (number.negative) compact += '-';
  compact += number.digits;
  compact += number.exponent;
  double value = 0;
  const auto result = std::from_chars(compact.data(), compact.data() + compact.size(), value,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    if (IsTooLarge(number)) {
      throw RunError(ErrorKind::Overflow,
                     "The number " + Quoted(text) + " is too large for a double");
    }
    return 0.0;
  }
  return value;
}

bool StartsWithNumber(std::string_view text) { return ParseNumber(text).mantissaDigits > 0; }

std::string PlainDecimal(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
  // The fewest digits that read back as the same double, never with an
  // exponent: 1e+05 is not how anyone writes 100000.
  char text[400];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return {text, end.ptr};
}

std::int16_t ToCount(double value) {
  // Counts and indices are written as whole numbers: nothing to round.
  if (value >= -32768.0 && value <= 32767.0) {
    const auto whole = static_cast<std::int16_t>(value);
    if (whole == value) return whole;
  }
  double rounded = std::round(value);  // halves away from zero
  if (std::fabs(value - std::trunc(value)) == 0.5) rounded = 2.0 * std::round(value / 2.0);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
    throw RunError(ErrorKind::Overflow,
                   "The count " + PlainDecimal(value) + " is outside -32768 to 32767");
  }
  return static_cast<std::int16_t>(rounded);
}

}  // namespace Kelvane::TextRoutines
