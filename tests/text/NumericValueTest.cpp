#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "text/RunError.h"
#include "text/TextRoutines.h"

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

TEST(NumericValueTest, TooLargeForADoubleOverflows) {
  for (const char* text : {"1e309", "-2e400", "1e99999999999999999999", "99999e304"}) {
    try {
      NumericValue(text);
      FAIL() << text;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow) << text;
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
  for (double value : {32767.5, 32768.0, -32769.0, -32768.6, 1e300}) {
    try {
      ToCount(value);
      FAIL() << value;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow) << value;
    }
  }
  EXPECT_EQ(CountValue("3 "), 3);
  EXPECT_EQ(CountValue("x"), 0);
}

}  // namespace
