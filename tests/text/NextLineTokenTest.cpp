#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "text/RunError.h"
#include "text/Files.h"
#include "text/Numbers.h"
#include "text/Scanning.h"

using namespace Kelvane;  // NOLINT(google-build-using-namespace): test code

using TextRoutines::NextLine;
using TextRoutines::NextToken;
using TextRoutines::StripExtension;

namespace {

struct ScanCase {
  std::string text;
  std::int32_t from;
  std::string expected;
  std::int32_t positionAfter;
};

TEST(NextLineTest, LinesAroundBreaksAndAtTheEnd) {
  const ScanCase cases[] = {
      {"a\r\nb", 1, "a", 4},
      {"a\r\n\r\n\r\nb", 1, "a", 8},  // empty lines are passed over
      {"a\rb", 1, "a", 3},
      {"a\nb", 1, "a", 3},
      {"a\r\nb", 2, "", 4},  // on the CR itself
      {"x\r\n", 1, "x", 4},  // only breaks follow: length + 1
      {"  \t\nb", 1, "  \t", 5},
      {"ab\r\ncd", 5, "cd", 7},  // last line without a break
      {"ab", 3, "", 3},          // at length + 1
      {"ab", 9, "", 9},          // beyond: position unchanged
      {"", 1, "", 1},
  };
  for (const ScanCase& c : cases) {
    std::int32_t position = c.from;
    EXPECT_EQ(NextLine(c.text, position), c.expected) << c.text << " from " << c.from;
    EXPECT_EQ(position, c.positionAfter) << c.text << " from " << c.from;
  }
}

// Lines are searched for their break several bytes at a time: a break at
// any offset of a long line, after bytes that differ from CR or LF in one
// bit only, must be found where a byte-by-byte search finds it.
TEST(NextLineTest, BreaksAtEveryOffsetOfLongLines) {
  const std::string fillers = std::string("ab\x8d\x8a\x0b\x0c\x0e\x00\xff\x09 ", 11);
  for (const std::string breaks : {"\r", "\n", "\r\n", "\n\n\r"}) {
    for (std::size_t length = 0; length <= 40; ++length) {
      for (std::int32_t from = 1; from <= 3; ++from) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text += fillers[(i * 7 + length) % fillers.size()];
        text += breaks + "next";
        const std::size_t start = static_cast<std::size_t>(from) - 1;
        std::int32_t position = from;
        const std::string_view line = NextLine(text, position);
        const std::string expected = start <= length ? text.substr(start, length - start) : "";
        if (start > length) continue;  // started inside the breaks: covered above
        ASSERT_EQ(line, expected) << length << " from " << from;
        ASSERT_EQ(position, static_cast<std::int32_t>(length + breaks.size()) + 1)
            << length << " from " << from;
      }
    }
    // No break at all: the rest of the text, and the position past its end.
    const std::string plain(37, 'x');
    std::int32_t position = 2;
    EXPECT_EQ(NextLine(plain, position), plain.substr(1));
    EXPECT_EQ(position, 38);
  }
}

// Each row: the text, the start, then the tokens and positions of successive calls.
TEST(NextTokenTest, TokensKeepTheirClosingDelimiterAndRepeatTheLastCharacter) {
  std::int32_t position = 1;
  const std::string text = " \t 7.5\t-2";
  EXPECT_EQ(NextToken(text, position), "7.5\t");
  EXPECT_EQ(position, 7);
  EXPECT_EQ(NextToken(text, position), "-2");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(NextToken(text, position), "2");
  EXPECT_EQ(position, 9);

  const std::string trailing = "12 34 ";
  position = 4;
  EXPECT_EQ(NextToken(trailing, position), "34 ");
  EXPECT_EQ(position, 6);
  EXPECT_EQ(NextToken(trailing, position), "");
  EXPECT_EQ(position, 7);
  EXPECT_EQ(NextToken(trailing, position), "");
  EXPECT_EQ(position, 7);

  const std::string five = "12 34";
  position = 1;
  EXPECT_EQ(NextToken(five, position), "12 ");
  EXPECT_EQ(position, 3);
  position = 5;
  EXPECT_EQ(NextToken(five, position), "4");
  EXPECT_EQ(position, 5);

  position = 1;
  EXPECT_EQ(NextToken("", position), "");
  EXPECT_EQ(position, 1);

  // Across line breaks, as the point reader uses it.
  const std::string lines = "1 2\r\n3";
  position = 3;
  EXPECT_EQ(NextToken(lines, position), "2\r");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(NextToken(lines, position), "3");
  EXPECT_EQ(position, 6);
}

// Readers take a token and its value in one pass; it must be the token,
// the position and the value that NextToken and NumericValue give, from
// every position of texts that mix numbers, words and all delimiters.
TEST(NextTokenValueTest, SameTokenPositionAndValueAsTakingThemApart) {
  const char* const pieces[] = {"12",
                                "-3.25",
                                "+7",
                                ".5",
                                "5.",
                                "1e3",
                                "2E-2",
                                "1e",
                                "1e+",
                                "&HFF",
                                "abc",
                                "-",
                                "1.2.3",
                                "#4",
                                "0x10",
                                "1,5",
                                "123456789012345678901234",
                                "1e400",
                                "-0",
                                "9.0000049999"};
  const char* const gaps[] = {" ", "\t", "\r\n", "\n", "\r", "  \t "};
  std::mt19937 random(77);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int count = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < count; ++k) {
      if (k > 0 || random() % 3 == 0) text += gaps[random() % 6];
      text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    }
    if (random() % 2 == 0) text += gaps[random() % 6];
    for (std::int32_t from = 1; from <= static_cast<std::int32_t>(text.size()) + 2; ++from) {
      std::int32_t apart = from;
      const std::string_view expected = NextToken(text, apart);
      std::int32_t together = from;
      std::string_view token;
      double value = 0;
      const bool plain = TextRoutines::NextTokenValue(text, together, token, value);
      ASSERT_EQ(token, expected) << "\"" << text << "\" from " << from;
      ASSERT_EQ(together, apart) << "\"" << text << "\" from " << from;
      if (plain) {
        const double reference = TextRoutines::NumericValue(token);
        ASSERT_EQ(std::memcmp(&value, &reference, sizeof value), 0) << "\"" << token << "\"";
      }
    }
  }
  // Plain numbers, as models write them, are read in the one pass.
  std::int32_t position = 1;
  std::string_view token;
  double value = 0;
  EXPECT_TRUE(TextRoutines::NextTokenValue("  -3.25\t12", position, token, value));
  EXPECT_EQ(value, -3.25);
  EXPECT_TRUE(TextRoutines::NextTokenValue("  -3.25\t12", position, token, value));
  EXPECT_EQ(value, 12);
}

// Counts and indices are read straight from their digits when they are
// plain; the token, position and count must be what NextToken and
// CountValue give, and every other token must be left to them.
TEST(NextTokenCountTest, SameTokenPositionAndCountAsTakingThemApart) {
  const char* const pieces[] = {"0",     "7",      "42",     "32767", "32768", "99999",
                                "00012", "000007", "123456", "12a",   "+3",    "-3",
                                "4.0",   "1e2",    "&H10",   "x",     "65535"};
  const char* const gaps[] = {" ", "\t", "\r\n", "\n", "\r", "  \t "};
  std::mt19937 random(91);
  int read = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text;
    const int count = 1 + static_cast<int>(random() % 5);
    for (int k = 0; k < count; ++k) {
      if (k > 0 || random() % 3 == 0) text += gaps[random() % 6];
      text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    }
    if (random() % 2 == 0) text += gaps[random() % 6];
    for (std::int32_t from = 1; from <= static_cast<std::int32_t>(text.size()) + 2; ++from) {
      std::int32_t quick = from;
      std::string_view token = "unset";
      std::int16_t value = -1;
      if (!TextRoutines::NextTokenCount(text, quick, token, value)) {
        ASSERT_EQ(quick, from) << "\"" << text << "\" from " << from;
        continue;
      }
      ++read;
      std::int32_t apart = from;
      ASSERT_EQ(token, NextToken(text, apart)) << "\"" << text << "\" from " << from;
      ASSERT_EQ(quick, apart) << "\"" << text << "\" from " << from;
      ASSERT_EQ(value, TextRoutines::CountValue(token)) << "\"" << token << "\"";
    }
  }
  EXPECT_GT(read, 1000);

  struct Case {
    const char* text;
    bool quick;
    std::int16_t count;
  };
  const Case cases[] = {{"  17 ", true, 17},  {"32767", true, 32767}, {"00012\r", true, 12},
                        {"32768 ", false, 0}, {"123456", false, 0},   {"-3", false, 0},
                        {"4.0", false, 0},    {"12a", false, 0},      {"", false, 0},
                        {" \t\r\n", false, 0}};
  for (const Case& c : cases) {
    std::int32_t position = 1;
    std::string_view token;
    std::int16_t count = -1;
    EXPECT_EQ(TextRoutines::NextTokenCount(c.text, position, token, count), c.quick) << c.text;
    if (c.quick) {
      EXPECT_EQ(count, c.count) << c.text;
    }
  }
  std::int32_t below = 0;
  std::string_view token;
  std::int16_t count = 0;
  EXPECT_FALSE(TextRoutines::NextTokenCount("5", below, token, count));
}

TEST(ScannerTest, PositionBelowOneIsAnInvalidArgument) {
  for (std::int32_t bad : {0, -5}) {
    std::int32_t position = bad;
    try {
      NextLine("abc", position);
      FAIL() << "no error for position " << bad;
    } catch (const Kelvane::RunError& e) {
      EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::InvalidArgument);
    }
    position = bad;
    EXPECT_THROW(NextToken("abc", position), Kelvane::RunError);
    position = bad;
    std::string_view token;
    double value = 0;
    EXPECT_THROW(TextRoutines::NextTokenValue("abc", position, token, value), Kelvane::RunError);
  }
}

TEST(StripExtensionTest, OnlyADotInTheFileNameItselfCounts) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\models\\ship.3dmf", "C:\\models\\ship"},
      {"C:\\old.models\\ship", "C:\\old.models\\ship"},
      {"C:\\v.2\\model", "C:\\v.2\\model"},
      {"/home/a.b/model", "/home/a.b/model"},
      {"/home/a.b/model.x.3dmf", "/home/a.b/model.x"},
      {"name.", "name"},
      {".3dmf", ""},
      {"", ""},
      {"noext", "noext"},
  };
  for (const auto& [name, stripped] : cases) EXPECT_EQ(StripExtension(name), stripped) << name;
}

TEST(StripExtensionTest, NamesLongerThan16BitsOverflow) {
  EXPECT_NO_THROW(StripExtension(std::string(32767, 'a')));
  try {
    StripExtension(std::string(32768, 'a'));
    FAIL();
  } catch (const Kelvane::RunError& e) {
    EXPECT_EQ(e.Kind(), Kelvane::ErrorKind::Overflow);
  }
}

}  // namespace
