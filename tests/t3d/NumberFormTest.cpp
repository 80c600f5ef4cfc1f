#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "t3d/NumberForm.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

namespace {

std::string Form(double value) {
  std::string text;
  Unreal::AppendNumber(text, value);
  return text;
}

TEST(NumberFormTest, WorkedExamples) {
  const std::pair<double, const char*> cases[] = {
      {123456.789, "123456.78900"},
      {99999.999996, "100000.00000"},
      {-12.345678, "-00012.34568"},
      {-0.5, "-00000.50000"},
      {2.5, "00002.50000"},
      {0.0, "00000.00000"},
      {-0.0, "00000.00000"},
      {-0.000004, "00000.00000"},   // rounds to zero: no sign
      {-0.000005, "-00000.00001"},  // the double lies just above the tie
      {0.015625, "00000.01562"},    // exact tie goes to the even digit
      {0.046875, "00000.04688"},
      {3.0, "00003.00000"},
      {1e20, "100000000000000000000.00000"},
      {-1e20, "-100000000000000000000.00000"},
      {4e-320, "00000.00000"},
      {1.7976931348623157e308,
       "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955"
       "86327668781715404589535143824642343213268894641827684675467035375169860499105765512820762"
       "45490090389328944075868508455133942304583236903222948165808559332123348274797826204144723"
       "168738177180919299881250404026184124858368.00000"},
  };
  for (const auto& [value, form] : cases) EXPECT_EQ(Form(value), form) << value;
}

// Compares with the C library's "%.5f" (the C locale is in force in tests),
// with the sign dropped where the rounded form is zero.
std::string Reference(double value) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.5f", value);
  std::string text = buffer;
  const bool zero = text.find_first_not_of("-0.") == std::string::npos;
  if (zero && text[0] == '-') text.erase(0, 1);
  const std::size_t point = text.find('.');
  const std::size_t sign = text[0] == '-' ? 1 : 0;
  if (point - sign < 5) text.insert(sign, 5 - (point - sign), '0');
  return text;
}

TEST(NumberFormTest, EqualsPrintfOnValuesOfEveryMagnitude) {
  std::mt19937_64 random(20261208);
  int mismatches = 0;
  auto check = [&](double value) {
    if (!std::isfinite(value)) return;
    const std::string ours = Form(value);
    const std::string theirs = Reference(value);
    if (ours != theirs && ++mismatches < 10)
      ADD_FAILURE() << value << ": " << ours << " vs " << theirs;
  };
  for (int i = 0; i < 300000; ++i) {
    check(std::bit_cast<double>(random()));  // every exponent
    // Decimals near ties of the fifth place, as coordinates are typed.
    const double decimal =
        static_cast<double>(static_cast<std::int64_t>(random() % 2000000001) - 1000000000) /
        std::pow(10.0, static_cast<int>(random() % 9));
    check(decimal);
    check(std::ldexp(static_cast<double>(random() % 4096) + 0.5, -static_cast<int>(random() % 12)));
  }
  for (int k = -40; k <= 70; ++k) {  // exact binary ties and their neighbours
    const double tie = std::ldexp(1.0, k);
    check(tie);
    check(std::nextafter(tie, 0));
    check(-std::nextafter(tie, 1e300));
  }
  EXPECT_EQ(mismatches, 0);
}

// Values below 100000 take a quick way in double precision, unless they lie
// too near a halfway point between two fifth decimals; those and everything
// else take the exact general way. Both must agree with "%.5f" on both
// sides of every edge between them, and on exact ties.
TEST(NumberFormTest, EqualsPrintfAroundTheQuickWaysEdges) {
  std::mt19937_64 random(8675309);
  int mismatches = 0;
  long checked = 0;
  auto check = [&](double value) {
    for (const double v : {value, -value}) {
      ++checked;
      const std::string ours = Form(v);
      const std::string theirs = Reference(v);
      if (ours != theirs && ++mismatches < 10)
        ADD_FAILURE() << v << ": " << ours << " vs " << theirs;
    }
  };
  // Every binade from 2^-80 to 2^70, random mantissas: the rounding shift
  // runs through all its widths, and the integer part through 5 digits and
  // beyond.
  for (int exponent = -80; exponent <= 70; ++exponent) {
    for (int i = 0; i < 4000; ++i) {
      const double mantissa = 1.0 + static_cast<double>(random() >> 12) / 4503599627370496.0;
      check(std::ldexp(mantissa, exponent));
    }
  }
  // Exact binary fractions: many lie exactly halfway between two fifth
  // decimals (k / 64 and finer), the rest end within the five decimals.
  for (int i = 0; i < 200000; ++i) {
    const auto whole = static_cast<double>(random() % 200000);
    const int bits = 6 + static_cast<int>(random() % 12);
    check(whole + std::ldexp(static_cast<double>(random() % (1u << bits)), -bits));
  }
  // Near halfway points: the quick way must hand over when it cannot tell.
  for (int i = 0; i < 100000; ++i) {
    const auto n = static_cast<double>(random() % 10000000000ull);
    for (const double offset : {0.0, 0x1p-20, 0x1p-19, 0x1p-18, 0x1p-17, 0x1p-16}) {
      check((n + 0.5 + offset) / 100000.0);
      check((n + 0.5 - offset) / 100000.0);
    }
  }
  // Neighbours of the edges: the last five-digit integer part, 2^64 after
  // scaling, whole numbers of 2^52 and more, the smallest values that do
  // not round to zero, and the ends of the normal range.
  const double edges[] = {99999.999995,
                          100000.0,
                          184467440737.09552,
                          4503599627370496.0,
                          9007199254740992.0,
                          9223372036854775808.0,
                          0.000005,
                          0.0000049999999999,
                          0.000015,
                          1.0,
                          0.5,
                          2.2250738585072014e-308,
                          4.9406564584124654e-324};
  for (const double edge : edges) {
    double up = edge;
    double down = edge;
    for (int k = 0; k < 300; ++k) {
      check(up);
      check(down);
      up = std::nextafter(up, INFINITY);
      down = std::nextafter(down, 0.0);
    }
  }
  check(0.0);
  EXPECT_EQ(mismatches, 0) << "of " << checked;
}

// Every group of five digits, before and after the point.
// The editor's form against "%.6f": a sign always ("+" where the rounded
// form is zero), at least five integer digits; and the millionths the
// checks of the editor frame judge corners by are those digits.
TEST(EditorNumberFormTest, EqualsPrintfAroundItsQuickWaysEdgesAndGivesItsDigits) {
  std::mt19937_64 random(20261209);
  int mismatches = 0;
  auto check = [&](double value) {
    for (const double v : {value, -value}) {
      char buffer[512];
      std::snprintf(buffer, sizeof buffer, "%.6f", std::fabs(v));
      std::string digits = buffer;
      const bool zero = digits.find_first_not_of("0.") == std::string::npos;
      const std::size_t point = digits.find('.');
      if (point < 5) digits.insert(0, 5 - point, '0');
      const std::string theirs = (v < 0 && !zero ? "-" : "+") + digits;
      std::string ours;
      Kelvane::Unreal::AppendEditorNumber(ours, v);
      std::int64_t millionths = 0;
      std::string fromMillionths;
      if (Kelvane::Unreal::WrittenMillionths(v, millionths)) {
        const std::uint64_t all =
            static_cast<std::uint64_t>(millionths < 0 ? -millionths : millionths);
        char room[64];
        std::snprintf(room, sizeof room, "%s%05llu.%06llu", millionths < 0 ? "-" : "+",
                      static_cast<unsigned long long>(all / 1000000),
                      static_cast<unsigned long long>(all % 1000000));
        fromMillionths = room;
      } else {
        fromMillionths = theirs;  // beyond 63 bits of millionths: not judged so
        if (std::fabs(v) < 9e12) fromMillionths = "refused";
      }
      if ((ours != theirs || fromMillionths != theirs) && ++mismatches < 10)
        ADD_FAILURE() << v << ": " << ours << " / " << fromMillionths << " vs " << theirs;
    }
  };
  for (int exponent = -60; exponent <= 60; ++exponent) {
    for (int i = 0; i < 1000; ++i) {
      const double mantissa = 1.0 + static_cast<double>(random() >> 12) / 4503599627370496.0;
      check(std::ldexp(mantissa, exponent));
    }
  }
  for (int i = 0; i < 100000; ++i) {  // exact binary ties of the sixth decimal and near them
    const auto n = static_cast<double>(random() % 10000000000ull);
    check(static_cast<double>(random() % 100000) +
          std::ldexp(static_cast<double>(random() % 4096), -12));
    for (const double offset : {0.0, 0x1p-20, 0x1p-16}) {
      check((n + 0.5 + offset) / 1000000.0);
      check((n + 0.5 - offset) / 1000000.0);
    }
  }
  for (double edge : {4503599627.370496, 99999.9999995, 100000.0, 0.0000005, 0.0078125, 0.0}) {
    for (int k = 0; k < 200; ++k, edge = std::nextafter(edge, INFINITY)) check(edge);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(NumberFormTest, EveryFiveDigitGroup) {
  char expected[16];
  for (int k = 0; k < 100000; ++k) {
    std::snprintf(expected, sizeof expected, "%05d.00000", k);
    ASSERT_EQ(Form(k), expected);
    // 7 + k / 10^5 lies within 10^-14 of its decimal: no rounding question.
    std::snprintf(expected, sizeof expected, "00007.%05d", k);
    ASSERT_EQ(Form(7.0 + k / 100000.0), expected);
  }
}

TEST(FormatVectorTest, CommaSeparatedWithCrLf) {
  std::string text = "Origin ";
  Unreal::FormatVector(text, {1, -0.0, -2.5});
  EXPECT_EQ(text, "Origin 00001.00000,00000.00000,-00002.50000\r\n");
}

}  // namespace
