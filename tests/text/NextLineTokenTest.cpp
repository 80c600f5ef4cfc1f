#include <gtest/gtest.h>

#include <string>

#include "text/RunError.h"
#include "text/TextRoutines.h"

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
