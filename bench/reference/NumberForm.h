#pragma once

// The number form "00000.00000" as the writer made it before its quick way
// reached past 100000, kept unchanged: the fuzz target and the
// micro-benchmark compare the writer's number form with it byte for byte.

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Kelvane::Reference {

constexpr std::uint64_t kScale = 100000;  // five decimals
__extension__ typedef unsigned __int128 UInt128;

// Room for one number: the largest double, 309 integer digits, with its
// sign and five decimals.
constexpr std::size_t kNumberRoom = 320;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes a number below 100000 as exactly five digits. v * ceil(2^32 /
// 10^4) holds v / 10^4 in its high 32 bits and the rest as a binary
// fraction precise enough that two steps of times 100 bring out the next
// four digits exactly, for every v below 100000.
inline char* PutFiveDigits(char* out, std::uint32_t value) {
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
inline char* PutPadded(char* out, UInt128 value) {
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

// The number form of any value, the slow way: rounded to five decimals
// from the double's exact binary value, half to even (as the C library's
// "%.5f" rounds), at least five integer digits, "-" only when the rounded
// form is not zero. Writes at most kNumberRoom characters.
inline char* PutNumberAnyRange(char* out, double value) {
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

// The eight digits of a number below 10^8, the first in the lowest byte,
// worked out side by side: the two halves of four digits in 32-bit lanes,
// their hundreds and the rest in 16-bit lanes, tens and units in bytes.
inline std::uint64_t EightDigits(std::uint32_t value) {
  const std::uint64_t halves = (value / 10000) | (std::uint64_t{value % 10000} << 32);
  const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007F0000007Full;
  const std::uint64_t pairs = hundreds | ((halves - 100 * hundreds) << 16);
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;
  const std::uint64_t digits = tens | ((pairs - 10 * tens) << 8);
  return digits + 0x3030303030303030ull;
}

// The number form, quickly for the values a model holds: below 100000 in
// magnitude. Their product with 10^5, rounded to a double, lies below 2^34,
// where every whole number and every half is a double; rounding is
// monotonic, so the rounded product lies on the same side of each halfway
// point as the exact one, or on it. Only when it lies exactly on one can
// the exact product be on either side (or on it too, a tie for even): such
// values, and all others, take the general way.
//
// The form then is ten digits with a point after the fifth. One byte past
// the form's end is written too: the caller's room allows for it, and the
// next character overwrites it.
inline char* PutNumber(char* out, double value) {
  const double magnitude = std::fabs(value);
  if (!(magnitude < 100000.0)) return PutNumberAnyRange(out, value);
  const double scaled = magnitude * 100000.0;
  const auto truncated = static_cast<std::int64_t>(scaled);
  const double fraction = scaled - static_cast<double>(truncated);
  if (fraction == 0.5) return PutNumberAnyRange(out, value);
  const auto kept = static_cast<std::uint64_t>(truncated + (fraction > 0.5));
  if (kept >= 10000000000ull) return PutNumberAnyRange(out, value);
  // The sign is as likely as not: stored always, kept only when it counts.
  *out = '-';
  out += std::signbit(value) & (kept != 0);
  if (kept < kScale) {
    // Below 1, as the components of a normal or a texture axis are: the
    // whole part is five zeros.
    std::memcpy(out, "00000.", 6);
    PutFiveDigits(out + 6, static_cast<std::uint32_t>(kept));
    return out + 11;
  }
  // Digits 1 to 8, then 9 and 10 from the table of pairs.
  const std::uint64_t first = EightDigits(static_cast<std::uint32_t>(kept / 100));
  const std::uint64_t head =
      (first & 0xFFFFFFFFFFull) | (std::uint64_t{'.'} << 40) | ((first >> 40 & 0xFFFF) << 48);
  const char* const pair = kDigitPairs + 2 * (kept % 100);
  const std::uint32_t tail = static_cast<std::uint32_t>(first >> 56) |
                             static_cast<std::uint32_t>(static_cast<unsigned char>(pair[0])) << 8 |
                             static_cast<std::uint32_t>(static_cast<unsigned char>(pair[1])) << 16;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &head, 8);
    std::memcpy(out + 8, &tail, 4);
  } else {
    for (int k = 0; k < 8; ++k) out[k] = static_cast<char>(head >> (8 * k));
    for (int k = 0; k < 3; ++k) out[8 + k] = static_cast<char>(tail >> (8 * k));
  }
  return out + 11;
}

}  // namespace Kelvane::Reference
