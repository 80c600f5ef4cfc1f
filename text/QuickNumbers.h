#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Reading plain decimal numbers in one pass, for the quick ways of both
// readers: a number whose value one multiplication or division by a power
// of ten gives exactly (at most 19 digits making at most 2^53, a power up
// to 10^22 either way), which is every coordinate and index a program
// writes. Anything else is left to the general routines, which read it the
// long way; both give the same value for the same characters.
namespace Kelvane::QuickNumbers {

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The decimal digits at `p`, at most `most` of them, joined to `mantissa`.
inline const char* DigitsAt(const char* p, const char* const end, std::size_t most,
                            std::uint64_t& mantissa) {
  const char* const last = static_cast<std::size_t>(end - p) > most ? p + most : end;
  while (p < last) {
    const auto digit = static_cast<unsigned>(*p - '0');
    if (digit > 9) break;
    mantissa = mantissa * 10 + digit;
    ++p;
  }
  return p;
}

// Up to N decimal digits at `p`, unrolled: how many, and their value joined
// to `value`. Each byte is read only after a digit before it, so every read
// stays inside the text where N bytes remain, or where a byte that is no
// digit stands before the text's end (a line break, a parenthesis).
template <int N>
inline int LeadingDigits(const char* const p, std::uint64_t& value) {
  int taken = 0;
  std::uint64_t v = value;
  for (; taken < N; ++taken) {  // unrolled: each digit is a load and a test
    const std::uint64_t digit = static_cast<unsigned char>(p[taken]) - std::uint64_t{'0'};
    if (digit > 9) break;
    v = v * 10 + digit;
  }
  value = v;
  return taken;
}

// The exponent at `p`, which stands on its "e" or "E": its value, at most
// 100000 in size, added to `scale`. Returns where it ends, or nullptr when
// no digit follows its sign. Bounded, every read checks for `end`;
// otherwise the text stops every step by itself (a byte no number holds).
template <bool kBounded>
[[gnu::always_inline]] inline const char* ExponentAt(const char* p, const char* const end,
                                                     int& scale) {
  const auto inside = [end](const char* q) { return !kBounded || q < end; };
  const char* q = p + 1;
  const bool negative = inside(q) && *q == '-';
  q += inside(q) && (*q == '-' || *q == '+');
  const char* const exponentDigits = q;
  int exponent = 0;
  while (inside(q) && (*q >= '0' && *q <= '9')) {
    if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
    ++q;
  }
  if (q == exponentDigits) return nullptr;
  scale += negative ? -exponent : exponent;
  return q;
}

// A number's value is exact by one multiplication or division (and so
// correctly rounded) when its digits, at most 19, make at most 2^53 and
// the power of ten is at most 10^22 either way.
[[gnu::always_inline]] inline bool ExactMantissa(std::uint64_t mantissa, std::size_t digits) {
  return digits != 0 && digits <= 19 && mantissa <= (std::uint64_t{1} << 53);
}

// The value of an exact mantissa (ExactMantissa) times 10^scale; false when
// the power is not exact.
[[gnu::always_inline]] inline bool ScaledValue(std::uint64_t mantissa, int scale, bool negative,
                                               double& value) {
  if (scale < -22 || scale > 22) return false;
  // Below 2^53 the signed conversion is exact too, and shorter.
  const auto exact = static_cast<double>(static_cast<std::int64_t>(mantissa));
  value = scale >= 0 ? exact * kExactPowersOfTen[scale] : exact / kExactPowersOfTen[-scale];
  if (negative) value = -value;
  return true;
}

// The end of a number whose digits are read: its exponent, if any, and its
// value when that is exact; nullptr else.
template <bool kBounded>
[[gnu::always_inline]] inline const char* ExactValueAt(const char* p, const char* const end,
                                                       std::uint64_t mantissa, std::size_t digits,
                                                       std::size_t decimals, bool negative,
                                                       double& value) {
  if (!ExactMantissa(mantissa, digits)) return nullptr;
  int scale = -static_cast<int>(decimals);
  if ((!kBounded || p < end) && (*p == 'e' || *p == 'E')) {
    p = ExponentAt<kBounded>(p, end, scale);
    if (p == nullptr) return nullptr;
  }
  return ScaledValue(mantissa, scale, negative, value) ? p : nullptr;
}

// A plain decimal number at `p` whose value one multiplication or division
// gives exactly, read as PlainNumberAt reads it: the same value, from the
// same characters. nullptr for any other text (PlainNumberAt may still read
// it, the longer way). More than 19 digits are never exact: at most 20 are
// taken.
inline const char* ExactNumberAt(const char* p, const char* const end, double& value) {
  const bool negative = p < end && *p == '-';
  p += p < end && (*p == '-' || *p == '+');
  std::uint64_t mantissa = 0;
  const char* const integerPart = p;
  // Most whole parts have few digits: up to six are taken unrolled.
  if (end - p > 6) {
    const int taken = LeadingDigits<6>(p, mantissa);
    p += taken;
    if (taken == 6) p = DigitsAt(p, end, 14, mantissa);
  } else {
    p = DigitsAt(p, end, 20, mantissa);
  }
  std::size_t digits = static_cast<std::size_t>(p - integerPart);
  std::size_t decimals = 0;
  if (p < end && *p == '.' && digits <= 19) {
    const char* const fraction = ++p;
    p = DigitsAt(p, end, 20, mantissa);
    decimals = static_cast<std::size_t>(p - fraction);
    digits += decimals;
  }
  return ExactValueAt<true>(p, end, mantissa, digits, decimals, negative, value);
}

// The same, within a stretch of text that ends in a byte no number may
// hold (a line break, a parenthesis), which stops every step: so none
// checks for the end, but for the eight-byte look at the decimals, which
// must not pass `textEnd`.
inline const char* DigitRunAt(const char* p, std::uint64_t& value) {
  std::uint64_t v = value;
  for (std::uint64_t digit; (digit = static_cast<unsigned char>(*p) - std::uint64_t{'0'}) <= 9;) {
    v = v * 10 + digit;
    ++p;
  }
  value = v;
  return p;
}

// The decimals after a point, where eight bytes remain before `textEnd`:
// six at once when the first six are digits, as most programs write them
// ("%f"), then any more one by one. A byte is a digit when subtracting '0'
// leaves it below 10: below 0x80 both by itself and with 0x76 added. A
// borrow or carry out of a byte that is no digit can only spoil the bytes
// after it, and that byte fails the test by itself already.
inline const char* DecimalsAt(const char* p, const char* const textEnd, std::uint64_t& mantissa) {
  if constexpr (std::endian::native == std::endian::little) {
    if (textEnd - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t digits = word - 0x3030303030303030ull;
      if (((digits | (digits + 0x7676767676767676ull)) & 0x0000808080808080ull) == 0) {
        // The six digits to the top, two zeros before them; then tens,
        // hundreds and ten thousands are joined, the first digit highest.
        std::uint64_t v = (digits & 0x0000FFFFFFFFFFFFull) << 16;
        v = (v * 2561) >> 8;
        v = ((v & 0x00FF00FF00FF00FFull) * 6553601) >> 16;
        v = ((v & 0x0000FFFF0000FFFFull) * 42949672960001ull) >> 32;
        mantissa = mantissa * 1000000 + v;
        p += 6;
      }
    }
  }
  return DigitRunAt(p, mantissa);
}

inline const char* StoppedNumberAt(const char* p, const char* const textEnd, double& value) {
  const bool negative = *p == '-';
  p += *p == '-' || *p == '+';
  std::uint64_t mantissa = 0;
  const char* const integerPart = p;
  // Whole parts are short: the first eight digits are taken unrolled.
  const int leading = LeadingDigits<8>(p, mantissa);
  p += leading;
  if (leading == 8) p = DigitRunAt(p, mantissa);
  std::size_t digits = static_cast<std::size_t>(p - integerPart);
  std::size_t decimals = 0;
  if (*p == '.') {
    const char* const fraction = ++p;
    p = DecimalsAt(p, textEnd, mantissa);
    decimals = static_cast<std::size_t>(p - fraction);
    digits += decimals;
  }
  return ExactValueAt<false>(p, textEnd, mantissa, digits, decimals, negative, value);
}

}  // namespace Kelvane::QuickNumbers
