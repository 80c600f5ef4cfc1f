#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "text/RunError.h"
#include "text/Numbers.h"
#include "text/Scanning.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using TextRoutines::CountValue;
using TextRoutines::NumericValue;
using TextRoutines::StartsWithNumber;
using TextRoutines::ToCount;

namespace {

TEST(NumericValueTest, WorkedExamples) {
  const std::pair<std::string, double> cases[] = {
      {"1 2", 12},    {"1\t2\n3", 123}, {"  -4.25 ", -4.25}, {"+7", 7},
      {"3.5\r", 3.5}, {"1.2.3", 1.2},   {"- 5", -5},         {".5", 0.5},
      {"5.", 5},      {"1e3", 1000},    {"2E-2", 0.02},      {"1e", 1},
      {"1e+", 1},     {"1 e 2", 100},   {"1ex", 1},          {"12abc", 12},
      {"&HFF", 255},  {"&Hff", 255},    {"&H F", 15},        {"&H1G", 1},
      {"&H", 0},      {"&hFF", 0},      {"0x10", 0},         {"inf", 0},
      {"nan", 0},     {"", 0},          {"abc", 0},          {"-", 0},
      {".", 0},       {"--5", 0},       {"1e-400", 0},       {"1,5", 1},
      {"0.1", 0.1},   {"\r5", 0},       {"#5", 0},           {"4e-320", 4e-320},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(NumericValue(text), value) << text;
}

TEST(NumericValueTest, DecimalTextConvertsToTheNearestDouble) {
  EXPECT_EQ(NumericValue("0.30000000000000004"), 0.30000000000000004);
  EXPECT_EQ(NumericValue("123456.789"), 123456.789);
  EXPECT_EQ(NumericValue("1.7976931348623157e308"), 1.7976931348623157e308);
}

// Tokens as NextToken hands them out are read in place; the same text with
// a blank inside the number must be read by the general walk to the same
// double, and both must match the C library's correctly rounded reading.
TEST(NumericValueTest, TokensReadInPlaceMatchTheGeneralWalk) {
  std::mt19937_64 random(1618);
  auto digits = [&](int most) {
    std::string text(random() % static_cast<unsigned>(most + 1), '0');
    for (char& c : text) c = static_cast<char>('0' + random() % 10);
    return text;
  };
  int mismatches = 0;
  for (int i = 0; i < 200000; ++i) {
    std::string number;
    number += "  -+"[random() % 4];
    if (number == " ") number.clear();
    number += digits(12);
    if (random() % 3 != 0) number += "." + digits(12);
    if (random() % 4 == 0) {
      number += "eE"[random() % 2];
      if (random() % 2 == 0) number += "+-"[random() % 2];
      number += digits(2);  // at most e99: never beyond a double
    }
    const std::string token = number + std::string(1, " \t\r\nx"[random() % 5]);
    // Where the C library reads no number (a sign alone), the value is 0;
    // some libraries give that 0 the sign, which the rule does not.
    char* end = nullptr;
    double expected = std::strtod(number.c_str(), &end);
    if (end == number.c_str()) expected = 0;
    const double inPlace = NumericValue(token);
    // A blank after the first digit splits the number for the general walk.
    std::string split = token;
    const std::size_t digit = split.find_first_of("0123456789");
    if (digit != std::string::npos) split.insert(digit + 1, " ");
    const double walked = NumericValue(split);
    const bool same = std::memcmp(&inPlace, &expected, sizeof(double)) == 0 &&
                      std::memcmp(&walked, &expected, sizeof(double)) == 0;
    if (!same && ++mismatches < 10) {
      ADD_FAILURE() << "\"" << token << "\": " << inPlace << " and " << walked << ", not "
                    << expected;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// The message quotes the number as it was written, without the delimiter
// that closed its token.
TEST(NumericValueTest, TooLargeForADoubleOverflows) {
  const std::pair<const char*, const char*> cases[] = {
      {"1e309", "1e309"},   {"-2e400", "-2e400"},   {"1e99999999999999999999", "1e99999999999999999999"},
      {"99999e304", "99999e304"}, {"-1e999 ", "-1e999"}, {"1e999\r", "1e999"}, {"1e999\t", "1e999"},
  };
  for (const auto& [text, quoted] : cases) {
    try {
      NumericValue(text);
      FAIL() << text;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow) << text;
      EXPECT_EQ(std::string(e.what()),
                "The number \"" + std::string(quoted) + "\" is too large for a double");
    }
  }
  EXPECT_THROW(NumericValue("&H" + std::string(300, 'F')), Kelvane::RunError);
}

TEST(NumericValueTest, LocaleDoesNotChangeThePoint) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no German or French locale on this machine";
  }
  EXPECT_EQ(NumericValue("2.5"), 2.5);
  EXPECT_EQ(NumericValue("2,5"), 2);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(StartsWithNumberTest, ADigitMustBeRead) {
  for (const char* text : {"20.0", " 2", "-.5", "+1", "0", "2.5cm", "&H1", "1 2"})
    EXPECT_TRUE(StartsWithNumber(text)) << text;
  for (const char* text : {"", "  ", "abc", "-", "+", ".", "-.", "&H", "e5", "&HX"})
    EXPECT_FALSE(StartsWithNumber(text)) << text;
}

TEST(CountTest, RoundsHalvesToEvenThenChecksTheRange) {
  const std::pair<double, int> cases[] = {
      {2.5, 2},           {3.5, 4},         {-2.5, -2}, {-3.5, -4},     {2.4, 2},
      {2.6, 3},           {0.5, 0},         {1.5, 2},   {32767, 32767}, {-32768, -32768},
      {-32768.5, -32768}, {32766.5, 32766}, {-0.4, 0},
  };
  for (const auto& [value, count] : cases) EXPECT_EQ(ToCount(value), count) << value;
  // The value in plain decimal: 100000, never 1e+05.
  const std::pair<double, const char*> outside[] = {
      {32767.5, "32767.5"}, {32768.0, "32768"}, {-32769.0, "-32769"},
      {-32768.6, "-32768.6"}, {1e5, "100000"}, {-2.5e6, "-2500000"}};
  for (const auto& [value, shown] : outside) {
    try {
      ToCount(value);
      FAIL() << value;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow) << value;
      EXPECT_EQ(std::string(e.what()),
                "The count " + std::string(shown) + " is outside -32768 to 32767");
    }
  }
  EXPECT_THROW(ToCount(1e300), Kelvane::RunError);
  EXPECT_EQ(CountValue("3 "), 3);
  EXPECT_EQ(CountValue("x"), 0);
}

}  // namespace
