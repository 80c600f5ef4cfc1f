#pragma once

#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "vector/Vector3.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

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

// Writes a whole number of any size, digit for digit.
[[gnu::noinline]] char* PutWholeAnyRange(char* out, std::uint64_t value);

// Writes a whole number from 100000 up, as few digits as it has: below
// 10^11 (every whole part of the quick ways: 2^52 / 10^5 is about 4.5 *
// 10^10) the digits above the last five from two triples with the zeros in
// front left out, then the last five. One byte past them is written too.
inline char* PutLongWhole(char* out, std::uint64_t value) {
  const std::uint64_t high = value / kScale;
  if (high >= 1000000) [[unlikely]] return PutWholeAnyRange(out, value);
  const auto top = static_cast<std::uint32_t>(high);
  const std::uint32_t thousands = top / 1000;
  char six[16] = {};
  std::memcpy(six, kDigitTriples.digits[thousands], 4);
  std::memcpy(six + 3, kDigitTriples.digits[top - thousands * 1000], 4);
  // Its digits from its bit width (1233 / 4096 is just above log10 2),
  // then one comparison with the power of ten that width may reach.
  constexpr std::uint32_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const int guess = (std::bit_width(top) * 1233) >> 12;
  const int digits = guess + 1 - (top < kPowers[guess]);
  // Seven bytes: at most six digits, and what follows is written over.
  std::memcpy(out, six + 6 - digits, 7);
  return PutFiveDigitsQuick(out + digits, static_cast<std::uint32_t>(value - high * kScale));
}

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

// The form of `kept` hundred-thousandths below 10^5 (a value below 1 in
// size), "-" in front when `negative`. One byte past it is written too.
inline char* PutFraction(char* out, std::uint32_t negative, std::uint32_t kept) {
  *out = '-';
  out += negative;
  std::memcpy(out, "00000.", 6);
  return PutFiveDigitsQuick(out + 6, kept);
}

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

#if defined(__SSE2__) || defined(_M_X64)
// A unit vector's components times `scale` (10^5 or 10^6), their
// magnitudes rounded to whole numbers by the addition's own rounding (the
// same IEEE operations as PutNumber's, X and Y in one pair of lanes), and
// their signs (bit 0 X, bit 1 Y, bit 2 Z).
struct UnitDigits {
  std::uint32_t x, y, z, signs;
};

// False on a tie, or when a component is not below `scale` once rounded
// (NaN too: "not less than" holds for it): those go the general way.
[[gnu::always_inline]] inline bool ScaleUnitVector(const Vector3& v, double scale,
                                                   UnitDigits& digits) {
  const __m128d kScale = _mm_set1_pd(scale);
  const __m128d kShift = _mm_set1_pd(0x1p52);
  const __m128d kHalf = _mm_set1_pd(0.5);
  const __m128d kMagnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFll));
  const __m128d xy = _mm_set_pd(v.Y, v.X);
  const __m128d zz = _mm_set_sd(v.Z);
  const __m128d sxy = _mm_mul_pd(_mm_and_pd(xy, kMagnitude), kScale);
  const __m128d sz = _mm_mul_sd(_mm_and_pd(zz, kMagnitude), kScale);
  const __m128d rxy = _mm_sub_pd(_mm_add_pd(sxy, kShift), kShift);
  const __m128d rz = _mm_sub_sd(_mm_add_sd(sz, kShift), kShift);
  const __m128d badXY = _mm_or_pd(_mm_cmpeq_pd(_mm_and_pd(_mm_sub_pd(rxy, sxy), kMagnitude), kHalf),
                                  _mm_cmpnlt_pd(rxy, kScale));
  const __m128d badZ = _mm_or_pd(_mm_cmpeq_sd(_mm_and_pd(_mm_sub_sd(rz, sz), kMagnitude), kHalf),
                                 _mm_cmpnlt_sd(rz, kScale));
  if ((_mm_movemask_pd(badXY) | (_mm_movemask_pd(badZ) & 1)) != 0) return false;
  const __m128i whole = _mm_cvttpd_epi32(rxy);
  digits.x = static_cast<std::uint32_t>(_mm_cvtsi128_si32(whole));
  digits.y = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(whole, 4)));
  digits.z = static_cast<std::uint32_t>(_mm_cvttsd_si32(rz));
  digits.signs = static_cast<std::uint32_t>(_mm_movemask_pd(xy) | (_mm_movemask_pd(zz) << 2));
  return true;
}
#endif

// PutVector for a unit vector, as the texture axes are: the same form,
// made more quickly while every component is below 1 in size once
// rounded. Any other vector (a component of 1, a tie, NaN) goes the
// general way whole. With SSE2, X and Y take each step together: the same
// IEEE operations as PutNumber's, lane by lane.
[[gnu::always_inline]] inline std::size_t PutUnitVector(char* form, const Vector3& v) {
#if defined(__SSE2__) || defined(_M_X64)
  UnitDigits d;
  if (!ScaleUnitVector(v, 100000.0, d)) [[unlikely]] return PutVector(form, v);
  const std::uint32_t ax = d.x, ay = d.y, az = d.z, signs = d.signs;
  char* out = PutFraction(form, (signs & 1) & (ax != 0), ax);
  *out++ = ',';
  out = PutFraction(out, ((signs >> 1) & 1) & (ay != 0), ay);
  *out++ = ',';
  out = PutFraction(out, ((signs >> 2) & 1) & (az != 0), az);
  out[0] = '\r';
  out[1] = '\n';
  return static_cast<std::size_t>(out + 2 - form);
#else
  return PutVector(form, v);
#endif
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

// The editor form of `all` millionths, "-" in front when `negative`, else
// "+": at least five integer digits, six decimals. One byte past the form
// may be written too.
inline char* PutEditorDigits(char* out, bool negative, std::uint64_t all) {
  *out++ = static_cast<char>('+' + 2 * static_cast<int>(negative));  // "-" follows "+" by two
  std::uint32_t decimals;
  if (all < 1000000) {
    // Below 1, as the components of a normal and the texture axes are.
    std::memcpy(out, "00000.", 6);
    out += 6;
    decimals = static_cast<std::uint32_t>(all);
  } else {
    const std::uint64_t whole = all / 1000000;
    decimals = static_cast<std::uint32_t>(all - whole * 1000000);
    out = whole < kScale ? PutFiveDigitsQuick(out, static_cast<std::uint32_t>(whole))
                         : PutLongWhole(out, whole);
    *out++ = '.';
  }
  const std::uint32_t high = decimals / 1000;
  std::memcpy(out, kDigitTriples.digits[high], 4);
  std::memcpy(out + 3, kDigitTriples.digits[decimals - high * 1000], 4);
  return out + 6;
}

// The editor form of a value's millionths: a sign ("+" for zero), at
// least five integer digits, six decimals. One byte past the form may be
// written too.
inline char* PutEditorMillionths(char* out, std::int64_t millionths) {
  return PutEditorDigits(out, millionths < 0,
                         static_cast<std::uint64_t>(millionths < 0 ? -millionths : millionths));
}

// Room for one number in the editor's form: the largest double's 309
// integer digits, its sign, the point and six decimals.
constexpr std::size_t kEditorNumberRoom = 330;

// The editor's form of any value, the slow way (the standard library's
// fixed form with six decimals); writes at most kEditorNumberRoom
// characters.
[[gnu::noinline]] char* PutEditorNumberAnyRange(char* out, double value);

// The editor's form of a value: quickly where QuickMillionths gives its
// millionths (the same steps, the sign kept only when they are not zero),
// else the slow way. One byte past the form may be written too.
inline char* PutEditorNumber(char* out, double value) {
  const double scaled = std::fabs(value) * 1000000.0;
  if (!(scaled < 0x1p52)) [[unlikely]] return PutEditorNumberAnyRange(out, value);
  const double rounded = (scaled + 0x1p52) - 0x1p52;
  if (std::fabs(rounded - scaled) == 0.5) [[unlikely]] return PutEditorNumberAnyRange(out, value);
  const auto all = static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded));
  return PutEditorDigits(out, std::signbit(value) && all != 0, all);
}

// Three numbers in the editor's form, comma-separated, CR LF.
inline char* PutEditorVector(char* out, const Vector3& v) {
  out = PutEditorNumber(out, v.X);
  *out++ = ',';
  out = PutEditorNumber(out, v.Y);
  *out++ = ',';
  out = PutEditorNumber(out, v.Z);
  *out++ = '\r';
  *out++ = '\n';
  return out;
}

// The editor form of `all` millionths below 10^6 (a value below 1 in
// size), "-" in front when `negative`, else "+": the sign, the five zeros
// and the point go in one store. Writes one byte past the form.
inline char* PutEditorFraction(char* out, std::uint64_t negative, std::uint32_t all) {
  if constexpr (std::endian::native == std::endian::little) {
    // "+00000." as bytes in the order written, the first lowest; "-"
    // follows "+" by two.
    const std::uint64_t head = 0x002E30303030302Bull + 2 * negative;
    std::memcpy(out, &head, 8);
  } else {
    std::memcpy(out, "+00000.", 7);
    out[0] = static_cast<char>('+' + 2 * negative);
  }
  const std::uint32_t high = all / 1000;
  std::memcpy(out + 7, kDigitTriples.digits[high], 4);
  std::memcpy(out + 10, kDigitTriples.digits[all - high * 1000], 4);
  return out + 13;
}

// One component of PutEditorUnitVector; false (nothing written) when it is
// not below 1 in size once rounded, or lies on a tie.
inline bool PutEditorUnitPart(char*& out, double value) {
  const double scaled = std::fabs(value) * 1000000.0;
  const double rounded = (scaled + 0x1p52) - 0x1p52;
  const double off = rounded - scaled;
  // NaN fails the first test.
  if (!(rounded < 1000000.0) || off == 0.5 || off == -0.5) [[unlikely]] return false;
  const auto all = static_cast<std::uint32_t>(rounded);
  const std::uint64_t negative = (std::bit_cast<std::uint64_t>(value) >> 63) & (all != 0);
  out = PutEditorFraction(out, negative, all);
  return true;
}

// PutEditorVector for a unit vector, as a normal and the edge axes are:
// the same forms, made more quickly while every component is below 1 in
// size once rounded. Any other vector (a component of 1, or on a tie) goes
// the general way whole. With SSE2, X and Y take each step together: the
// same IEEE operations, lane by lane.
inline char* PutEditorUnitVector(char* out, const Vector3& v) {
#if defined(__SSE2__) || defined(_M_X64)
  UnitDigits d;
  if (!ScaleUnitVector(v, 1000000.0, d)) [[unlikely]] return PutEditorVector(out, v);
  const std::uint32_t ax = d.x, ay = d.y, az = d.z, signs = d.signs;
  out = PutEditorFraction(out, static_cast<std::uint64_t>(signs & 1) & (ax != 0), ax);
  *out++ = ',';
  out = PutEditorFraction(out, static_cast<std::uint64_t>((signs >> 1) & 1) & (ay != 0), ay);
  *out++ = ',';
  out = PutEditorFraction(out, static_cast<std::uint64_t>((signs >> 2) & 1) & (az != 0), az);
  out[0] = '\r';
  out[1] = '\n';
  return out + 2;
#else
  char* end = out;
  if (PutEditorUnitPart(end, v.X)) [[likely]] {
    *end++ = ',';
    if (PutEditorUnitPart(end, v.Y)) [[likely]] {
      *end++ = ',';
      if (PutEditorUnitPart(end, v.Z)) [[likely]] {
        end[0] = '\r';
        end[1] = '\n';
        return end + 2;
      }
    }
  }
  return PutEditorVector(out, v);
#endif
}

inline void AppendInteger(std::string& text, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, end.ptr);
}

}  // namespace NumberForm

// A link number of records made one after another, with its decimal
// digits once they are made, so that each next number only counts them up.
struct LinkDigits {
  std::int32_t value = 0;
  std::uint8_t length = 0;  // 0: the digits are not made yet
  char digits[12] = {};
};

// Puts the link number's digits (a "-" first below zero) at `out`, whose
// room holds 12 characters, and moves on to the next number: its digits
// are the last ones counted up (nines become zeros and carry), made anew
// only when they would grow by a digit or are no count. The number must
// be below the largest (MadeWhole).
[[gnu::always_inline]] inline char* PutLink(char* out, LinkDigits& link) {
  if (link.length == 0) {
    link.length = static_cast<std::uint8_t>(
        std::to_chars(link.digits, link.digits + sizeof link.digits, link.value).ptr - link.digits);
  }
  std::memcpy(out, link.digits, sizeof link.digits);
  char* const end = out + link.length;
  ++link.value;
  char* last = link.digits + link.length - 1;
  if (link.value > 0) [[likely]] {
    while (*last == '9' && last > link.digits) *last-- = '0';
    if (*last != '9') {
      ++*last;
      return end;
    }
  }
  link.length = 0;
  return end;
}

}  // namespace Kelvane::Unreal
