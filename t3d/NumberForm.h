#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "vector/Vector3.h"

// The number forms of the document: the fixed form "00000.00000" of the
// polygon records and the editor's "+00128.000000". The quick way of the
// fixed form is inline here, so that a record is made in one pass; the
// general way and the rare long numbers are in NumberForm.cpp.
namespace Kelvane::Unreal {

// The fixed number form "00000.00000": rounded to five decimals from the
// double's exact value (ties to even), the integer part padded to five
// digits, "-" only in front of a value whose rounded form is not zero.
void AppendNumber(std::string& text, double value);

// The vector form: three numbers in the fixed form, comma-separated, CR LF.
void FormatVector(std::string& text, const Vector3& v);

// The editor's number form: always a sign, at least five integer digits,
// six decimals ("+00128.000000", "-00001.500000"), rounded from the
// double's exact value; a value that rounds to zero is "+00000.000000".
void AppendEditorNumber(std::string& text, double value);

// The value as the editor reads it back from its number form: the
// millionths the form writes, exactly. False for a value that is not
// finite or whose millionths do not fit 63 bits.
bool WrittenMillionths(double value, std::int64_t& millionths);

namespace NumberForm {

constexpr std::uint64_t kScale = 100000;  // five decimals

// Room for one number in the number form: the longest is the largest
// double, 309 integer digits, with its sign and five decimals.
constexpr std::size_t kNumberRoom = 320;

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The general way of the fixed form, for any value (NaN and the infinities
// as words); writes at most kNumberRoom characters.
[[gnu::noinline]] char* PutNumberAnyRange(char* out, double value);

// Three decimal digits of every number below 1000, four bytes each: the
// fourth lets a copy be one fixed-size store.
struct DigitTriples {
  char digits[1000][4];
};
constexpr DigitTriples MakeDigitTriples() {
  DigitTriples table{};
  for (int i = 0; i < 1000; ++i) {
    table.digits[i][0] = static_cast<char>('0' + i / 100);
    table.digits[i][1] = static_cast<char>('0' + i / 10 % 10);
    table.digits[i][2] = static_cast<char>('0' + i % 10);
  }
  return table;
}
inline constexpr DigitTriples kDigitTriples = MakeDigitTriples();

// Writes a number below 100000 as exactly five digits: two from the table
// of pairs, three from the table of triples. One byte past them is written
// too; the caller's room allows for it and the next character overwrites it.
inline char* PutFiveDigitsQuick(char* out, std::uint32_t value) {
  const std::uint32_t high = value / 1000;
  const std::uint32_t low = value - high * 1000;
  std::memcpy(out, kDigitPairs + 2 * high, 2);
  std::memcpy(out + 2, kDigitTriples.digits[low], 4);
  return out + 5;
}

// Writes a whole number from 100000 up (below 2^52 / 10^5, so at most 11
// digits).
[[gnu::noinline]] char* PutLongWhole(char* out, std::uint64_t value);

// The number form, quickly for every value whose product with 10^5,
// rounded to a double, lies below 2^52: there every whole number and every
// half is a double, and rounding is monotonic, so the rounded product lies
// on the same side of each halfway point as the exact one, or on it. Only
// when it lies exactly on one can the exact product be on either side (or
// on it too, a tie for even): such values, and all others (2^52 / 10^5 is
// about 4.5 * 10^10), take the general way. The whole part and the
// fraction of the product are then exact.
//
// One byte past the form's end may be written too: the caller's room
// allows for it, and the next character overwrites it.
inline char* PutNumber(char* out, double value) {
  const double scaled = std::fabs(value) * 100000.0;
  if (!(scaled < 0x1p52)) return PutNumberAnyRange(out, value);  // NaN too
  // The nearest whole number, by the addition's own rounding: past 2^52 a
  // double holds whole numbers only. Taking 2^52 away again is exact, and
  // so is the difference to the product, which is a half only on a tie.
  const double rounded = (scaled + 0x1p52) - 0x1p52;
  if (std::fabs(rounded - scaled) == 0.5) return PutNumberAnyRange(out, value);
  const auto kept = static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded));
  // The sign is as likely as not: stored always, kept only when it counts.
  *out = '-';
  out += std::signbit(value) & (kept != 0);
  if (kept < kScale) {
    // Below 1, as the components of a texture axis are: the whole part is
    // five zeros.
    std::memcpy(out, "00000.", 6);
    return PutFiveDigitsQuick(out + 6, static_cast<std::uint32_t>(kept));
  }
  // The quotient of a whole number below 2^52 by 10^5, rounded, never
  // reaches the next whole number: its fraction is at most 0.99999, farther
  // from 1 than half of a double's step there.
  const auto whole = static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded / 100000.0));
  const auto decimals = static_cast<std::uint32_t>(kept - whole * kScale);
  out = whole < kScale ? PutFiveDigitsQuick(out, static_cast<std::uint32_t>(whole))
                       : PutLongWhole(out, whole);
  *out = '.';
  return PutFiveDigitsQuick(out + 1, decimals);
}

// Room for a vector form: three numbers, two commas, CR LF.
constexpr std::size_t kVectorRoom = 3 * kNumberRoom + 4;

// The vector form of v, CR LF included; returns its length. Made in place
// so that the caller's text grows by one append per vector.
[[gnu::always_inline]] inline std::size_t PutVector(char* form, const Vector3& v) {
  char* end = PutNumber(form, v.X);
  *end++ = ',';
  end = PutNumber(end, v.Y);
  *end++ = ',';
  end = PutNumber(end, v.Z);
  *end++ = '\r';
  *end++ = '\n';
  return static_cast<std::size_t>(end - form);
}

// The editor form's digits of a value as one whole number: its millionths,
// rounded from the exact value (ties to even), the quick way: by the
// addition's own rounding, as PutNumber rounds. False when |value| * 10^6
// is not below 2^52 or lies on a tie, which only the exact way decides.
inline bool QuickMillionths(double value, std::int64_t& millionths) {
  const double scaled = std::fabs(value) * 1000000.0;
  if (!(scaled < 0x1p52)) return false;  // NaN too
  const double rounded = (scaled + 0x1p52) - 0x1p52;
  if (std::fabs(rounded - scaled) == 0.5) return false;
  const auto kept = static_cast<std::int64_t>(rounded);
  millionths = std::signbit(value) ? -kept : kept;
  return true;
}

// The editor form of a value's millionths: a sign ("+" for zero), at
// least five integer digits, six decimals. One byte past the form may be
// written too.
inline char* PutEditorMillionths(char* out, std::int64_t millionths) {
  *out = '-';
  out += millionths < 0;
  *out = '+';
  out += millionths >= 0;
  const auto all = static_cast<std::uint64_t>(millionths < 0 ? -millionths : millionths);
  const std::uint64_t whole = all / 1000000;
  const auto decimals = static_cast<std::uint32_t>(all - whole * 1000000);
  out = whole < kScale ? PutFiveDigitsQuick(out, static_cast<std::uint32_t>(whole))
                       : PutLongWhole(out, whole);
  *out++ = '.';
  const std::uint32_t high = decimals / 1000;
  std::memcpy(out, kDigitTriples.digits[high], 4);
  std::memcpy(out + 3, kDigitTriples.digits[decimals - high * 1000], 4);
  return out + 6;
}

inline void AppendInteger(std::string& text, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

}  // namespace NumberForm

}  // namespace Kelvane::Unreal
