#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "metafile/format/Fields.h"

namespace Kelvane::Metafile {

// A token of the text form, found from a position on: blanks (any byte up
// to ' ') and comments ("#" to the end of the line) stand between tokens;
// "(", ")" and "|" are tokens of their own; a string runs to its closing
// quote (a backslash escapes the byte after it); any other token runs to a
// blank or to one of # ( ) " |. `begin` == `end` of the range when no token
// is left.
struct TextToken {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool afterLineBreak = false;  // a line ended before the token
  bool unclosedString = false;  // a string that the range ends inside
};
TextToken ScanTextToken(std::string_view text, std::size_t pos, std::size_t end);

// The line and column of a byte offset of a text ("input line 4, column 7");
// CR LF, a lone CR and a lone LF each end a line.
std::string TextPlace(std::string_view input, std::size_t offset);

// Fields over the data of an object of a text file: the characters from
// `begin` to `end` of `input` (what stands between the object's
// parentheses). Comments ("#" to the end of the line) are passed over.
class TextFields final : public Fields {
 public:
  TextFields(std::string_view input, std::size_t begin, std::size_t end)
      : input_(input), pos_(begin), end_(end), last_(begin), stopsAtEnd_(StopsAtEnd(input, end)) {}

  std::uint32_t Uns32() override;
  std::int32_t Int32() override;
  std::uint16_t Uns16() override;
  std::uint8_t Uns8() override;
  double Float32() override;
  std::uint32_t Enum(std::initializer_list<EnumName> names) override;
  std::uint32_t Flags(std::initializer_list<EnumName> names) override;
  bool Boolean() override;
  std::string String() override;
  void RawData(std::size_t count, std::vector<std::uint8_t>& out) override;
  bool AtEnd() override;
  void CheckCount(std::uint64_t count, std::uint32_t valuesPerItem, std::uint32_t bytesPerItem,
                  std::string_view what) override;
  std::uint32_t Index(std::uint64_t tableSize) override;
  std::uint32_t IndexBytes(std::uint64_t) const override { return 1; }
  std::string Place() override;
  [[noreturn]] void Fail(ErrorKind kind, const std::string& text) override;

  // The next token as it stands (a word, a number, "|", a label reference
  // "name>"); empty at the end of the data.
  std::string_view Token();
  // The next token without taking it.
  std::string_view PeekToken();

 private:
  // Whether the byte at the end of the data ends every token and is no
  // blank ("(", ")", a quote, "|", "#"), as the ")" that closes an object
  // is: then no step of the quick ways needs to check for the end.
  static bool StopsAtEnd(std::string_view input, std::size_t end) {
    if (end >= input.size()) return false;
    const char c = input[end];
    return c == '(' || c == ')' || c == '"' || c == '|' || c == '#';
  }

  std::string_view Required(const char* what);
  std::int64_t Whole(std::int64_t low, std::int64_t high, const char* what);
  bool QuickWhole(std::int64_t low, std::int64_t high, std::int64_t& value);
  bool QuickReal(double& value);
  [[gnu::noinline]] std::int64_t Integer(std::int64_t low, std::int64_t high, const char* what);
  [[gnu::noinline]] double Real();
  void SkipBlanks() { pos_ = ScanTextToken(input_, pos_, end_).begin; }

  std::string_view input_;
  std::size_t pos_;
  std::size_t end_;
  std::size_t last_;  // where the token read last began
  bool stopsAtEnd_;
};

inline std::unique_ptr<Fields> MakeTextFields(std::string_view input, std::size_t begin,
                                              std::size_t end) {
  return std::make_unique<TextFields>(input, begin, end);
}

// Fields over a whole text, for tests and small uses: "2 0 0 0 4 1 ...".
inline std::unique_ptr<Fields> TextFieldsOf(std::string_view text) {
  return MakeTextFields(text, 0, text.size());
}

}  // namespace Kelvane::Metafile
