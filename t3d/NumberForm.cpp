#include "t3d/NumberForm.h"

#include <bit>
#include <cstdint>
#include <string_view>

namespace Kelvane::Unreal {

namespace NumberForm {

namespace {

__extension__ typedef unsigned __int128 UInt128;

// Writes a number below 100000 as exactly five digits. v * ceil(2^32 /
// 10^4) holds v / 10^4 in its high 32 bits and the rest as a binary
// fraction precise enough that two steps of times 100 bring out the next
// four digits exactly, for every v below 100000.
char* PutFiveDigits(char* out, std::uint32_t value) {
  constexpr std::uint64_t kLow = 0xFFFFFFFF;
  std::uint64_t t = std::uint64_t{value} * 429497;
  out[0] = static_cast<char>('0' + (t >> 32));
  t = (t & kLow) * 100;
  std::memcpy(out + 1, kDigitPairs + 2 * (t >> 32), 2);
  t = (t & kLow) * 100;
  std::memcpy(out + 3, kDigitPairs + 2 * (t >> 32), 2);
  return out + 5;
}

// Writes an unsigned number padded with zeros to at least five digits.
char* PutPadded(char* out, UInt128 value) {
  if (value < 100000) return PutFiveDigits(out, static_cast<std::uint32_t>(value));
  char digits[40];
  int n = 0;
  while (value != 0) {
    digits[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  }
  while (n > 0) *out++ = digits[--n];
  return out;
}

}  // namespace

// The number form of any value, the slow way: rounded to five decimals
// from the double's exact binary value, half to even (as the C library's
// "%.5f" rounds), at least five integer digits, "-" only when the rounded
// form is not zero. Writes at most kNumberRoom characters.
[[gnu::noinline]] char* PutNumberAnyRange(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0x7FF) {  // not finite: the vector checks keep these out
    const std::string_view word = std::isnan(value) ? "nan" : (negative ? "-inf" : "inf");
    std::memcpy(out, word.data(), word.size());
    return out + word.size();
  }
  // |value| = mantissa * 2^exponent exactly.
  const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int exponent = (biased == 0 ? 1 : biased) - 1075;
  UInt128 scaled;  // |value| * 10^5, rounded half to even
  if (exponent >= 0) {
    if (exponent > 10) {
      // 2^63 and more: a whole number written in full, digit for digit.
      return std::to_chars(out, out + kNumberRoom, value, std::chars_format::fixed, 5).ptr;
    }
    scaled = static_cast<UInt128>(mantissa << exponent) * kScale;
  } else {
    const int shift = -exponent;
    const UInt128 product = static_cast<UInt128>(mantissa) * kScale;
    if (shift >= 127) {
      scaled = 0;  // below 2^-56: far under half of the last decimal
    } else {
      const UInt128 one = 1;
      scaled = product >> shift;
      const UInt128 rest = product & ((one << shift) - 1);
      const UInt128 half = one << (shift - 1);
      if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
    }
  }
  if (negative && scaled != 0) *out++ = '-';
  out = PutPadded(out, scaled / kScale);
  *out++ = '.';
  return PutFiveDigits(out, static_cast<std::uint32_t>(scaled % kScale));
}

// Two digits at a time from the right.
[[gnu::noinline]] char* PutWholeAnyRange(char* out, std::uint64_t value) {
  char digits[20];
  char* first = digits + sizeof digits;
  while (value >= 100) {
    first -= 2;
    std::memcpy(first, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kDigitPairs + 2 * value, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  const auto length = static_cast<std::size_t>(digits + sizeof digits - first);
  std::memcpy(out, first, length);
  return out + length;
}

}  // namespace NumberForm

using NumberForm::kNumberRoom;
using NumberForm::kVectorRoom;

void AppendNumber(std::string& text, double value) {
  char form[kNumberRoom];
  text.append(form, static_cast<std::size_t>(NumberForm::PutNumber(form, value) - form));
}

void FormatVector(std::string& text, const Vector3& v) {
  char form[kVectorRoom];
  text.append(form, NumberForm::PutVector(form, v));
}

namespace NumberForm {

// The editor form of any value, the slow way: the shortest fixed form with
// six decimals, rounded from the exact value; the largest double has 309
// integer digits.
[[gnu::noinline]] char* PutEditorNumberAnyRange(char* out, double value) {
  char digits[kEditorNumberRoom];
  const auto [end, error] =
      std::to_chars(digits, digits + sizeof digits, std::fabs(value), std::chars_format::fixed, 6);
  std::string_view form(digits, error == std::errc() ? static_cast<std::size_t>(end - digits) : 0);
  if (form.empty() || !std::isfinite(value)) form = "0.000000";
  const bool zero = form.find_first_not_of("0.") == std::string_view::npos;
  *out++ = value < 0 && !zero ? '-' : '+';
  const std::size_t integerDigits = form.find('.');
  for (std::size_t k = integerDigits; k < 5; ++k) *out++ = '0';
  std::memcpy(out, form.data(), form.size());
  return out + form.size();
}

}  // namespace NumberForm

void AppendEditorNumber(std::string& text, double value) {
  char form[NumberForm::kEditorNumberRoom];
  text.append(form, static_cast<std::size_t>(NumberForm::PutEditorNumber(form, value) - form));
}

bool WrittenMillionths(double value, std::int64_t& millionths) {
  if (NumberForm::QuickMillionths(value, millionths)) return true;
  if (!std::isfinite(value)) return false;
  char form[NumberForm::kEditorNumberRoom];
  const char* const end = NumberForm::PutEditorNumberAnyRange(form, value);
  // "+ddddd.dddddd": the digits without the point, if they fit.
  constexpr auto kLargest = static_cast<std::uint64_t>(INT64_MAX);
  std::uint64_t all = 0;
  for (const char c : std::string_view(form + 1, static_cast<std::size_t>(end - form - 1))) {
    if (c == '.') continue;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (all > (kLargest - digit) / 10) return false;
    all = all * 10 + digit;
  }
  millionths = form[0] == '-' ? -static_cast<std::int64_t>(all) : static_cast<std::int64_t>(all);
  return true;
}

}  // namespace Kelvane::Unreal
