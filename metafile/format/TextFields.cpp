#include "metafile/format/TextFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "text/QuickNumbers.h"

namespace Kelvane::Metafile {

namespace {

constexpr bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Characters that end a token whatever stands before them.
constexpr bool IsDelimiter(char c) {
  return IsBlank(c) || c == '#' || c == '(' || c == ')' || c == '"' || c == '|';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Names(std::initializer_list<EnumName> names) {
  std::string list;
  for (const EnumName& n : names) {
    if (!list.empty()) list += ", ";
    list += n.name;
  }
  return list;
}

}  // namespace

namespace {

// What each byte is to the scanner: a blank (a line break too, or not), a
// byte that ends a token, or part of one. One lookup instead of six tests.
enum : std::uint8_t { kBlankByte = 1, kBreakByte = 2, kEndsToken = 4 };
struct ByteClasses {
  std::uint8_t of[256];
};
constexpr ByteClasses MakeByteClasses() {
  ByteClasses classes{};
  for (int c = 0; c < 256; ++c) {
    const char byte = static_cast<char>(c);
    std::uint8_t kind = 0;
    if (IsBlank(byte)) kind |= kBlankByte;
    if (byte == '\n' || byte == '\r') kind |= kBreakByte;
    if (IsDelimiter(byte)) kind |= kEndsToken;
    classes.of[c] = kind;
  }
  return classes;
}
constexpr ByteClasses kBytes = MakeByteClasses();

inline std::uint8_t ClassOf(char c) { return kBytes.of[static_cast<unsigned char>(c)]; }

}  // namespace

TextToken ScanTextToken(std::string_view text, std::size_t pos, std::size_t end) {
  TextToken token;
  while (pos < end) {
    const char c = text[pos];
    const std::uint8_t kind = ClassOf(c);
    if (kind & kBlankByte) {
      token.afterLineBreak |= (kind & kBreakByte) != 0;
      ++pos;
    } else if (c == '#') {
      while (pos < end && text[pos] != '\n' && text[pos] != '\r') ++pos;
    } else {
      break;
    }
  }
  token.begin = pos;
  if (pos < end) {
    const char c = text[pos];
    if (c == '(' || c == ')' || c == '|') {
      ++pos;
    } else if (c == '"') {
      ++pos;
      while (pos < end && text[pos] != '"') pos += text[pos] == '\\' ? 2 : 1;
      if (pos >= end) {
        token.unclosedString = true;
        pos = end;
      } else {
        ++pos;
      }
    } else {
      while (pos < end && !(ClassOf(text[pos]) & kEndsToken)) ++pos;
    }
  }
  token.end = pos;
  return token;
}

std::string TextPlace(std::string_view input, std::size_t offset) {
  std::size_t line = 1;
  std::size_t lineStart = 0;
  const std::size_t end = std::min(offset, input.size());
  for (std::size_t i = 0; i < end; ++i) {
    const char c = input[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= input.size() || input[i + 1] != '\n'))) {
      ++line;
      lineStart = i + 1;
    }
  }
  return "input line " + std::to_string(line) + ", column " +
         std::to_string(offset - lineStart + 1);
}

std::string_view TextFields::Token() {
  const TextToken token = ScanTextToken(input_, pos_, end_);
  last_ = token.begin;
  if (token.unclosedString) Fail(ErrorKind::InvalidArgument, "A string is not closed by '\"'");
  pos_ = token.end;
  return input_.substr(token.begin, token.end - token.begin);
}

std::string_view TextFields::PeekToken() {
  const std::size_t pos = pos_;
  const std::size_t last = last_;
  const std::string_view token = Token();
  pos_ = pos;
  last_ = last;
  return token;
}

std::string_view TextFields::Required(const char* what) {
  const std::string_view token = Token();
  if (token.empty()) {
    Fail(ErrorKind::OutOfRange,
         std::string("The object's data ends where ") + what + " was expected");
  }
  return token;
}

// The quick ways: a token of plain digits, or a plain number read exactly
// (QuickNumbers, which gives what from_chars gives), closed by a delimiter.
// They rely on the byte at the end of the data, which stops every step
// (stopsAtEnd_); everything else (signs, fractions and hexadecimal in whole
// numbers, comments, faults, other values) goes the general way, which
// places errors and reads the rest as it always has.
inline bool TextFields::QuickWhole(std::int64_t low, std::int64_t high, std::int64_t& value) {
  if (!stopsAtEnd_) return false;
  const char* const data = input_.data();
  const char* p = data + pos_;
  while (IsBlank(*p)) ++p;
  const char* const first = p;
  std::uint64_t digits = 0;
  // Ten digits at most, which any 32-bit field takes: an eleventh is no
  // delimiter, and the general way reads such a token.
  p += QuickNumbers::LeadingDigits<10>(p, digits);
  if (p == first || !IsDelimiter(*p)) return false;
  const auto whole = static_cast<std::int64_t>(digits);
  if (whole < low || whole > high) return false;
  last_ = static_cast<std::size_t>(first - data);
  pos_ = static_cast<std::size_t>(p - data);
  value = whole;
  return true;
}

inline bool TextFields::QuickReal(double& value) {
  if (!stopsAtEnd_) return false;
  const char* const data = input_.data();
  const char* p = data + pos_;
  while (IsBlank(*p)) ++p;
  const char* const first = p;
  p = QuickNumbers::StoppedNumberAt(p, data + input_.size(), value);
  if (p == nullptr || !IsDelimiter(*p)) return false;
  last_ = static_cast<std::size_t>(first - data);
  pos_ = static_cast<std::size_t>(p - data);
  return true;
}

std::int64_t TextFields::Integer(std::int64_t low, std::int64_t high, const char* what) {
  std::string_view token = Required("a whole number");
  std::int64_t value = 0;
  const char* first = token.data();
  const char* last = token.data() + token.size();
  if (first != last && *first == '+') ++first;
  std::from_chars_result result{};
  if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
    std::uint64_t hex = 0;
    result = std::from_chars(first + 2, last, hex, 16);
    value = hex > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                ? std::numeric_limits<std::int64_t>::max()
                : static_cast<std::int64_t>(hex);
  } else {
    result = std::from_chars(first, last, value);
  }
  if (result.ec == std::errc::result_out_of_range) {
    Fail(ErrorKind::Overflow, std::string("The ") + what + " " + Quote(token) + " is outside " +
                                  std::to_string(low) + " to " + std::to_string(high));
  }
  if (result.ec != std::errc() || result.ptr != last) {
    // A whole number written with a fraction ("4.0") is still that number.
    double real = 0;
    const auto asReal = std::from_chars(first, last, real);
    if (asReal.ec != std::errc() || asReal.ptr != last || !std::isfinite(real) ||
        real != std::floor(real) || std::fabs(real) > 9.0e18) {
      Fail(ErrorKind::InvalidArgument, "Expected a whole number, found " + Quote(token));
    }
    value = static_cast<std::int64_t>(real);
  }
  if (value < low || value > high) {
    Fail(ErrorKind::Overflow, std::string("The ") + what + " " + Quote(token) + " is outside " +
                                  std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

std::int64_t TextFields::Whole(std::int64_t low, std::int64_t high, const char* what) {
  std::int64_t value = 0;
  return QuickWhole(low, high, value) ? value : Integer(low, high, what);
}

std::uint32_t TextFields::Uns32() {
  return static_cast<std::uint32_t>(Whole(0, 0xFFFFFFFFll, "number"));
}
std::int32_t TextFields::Int32() {
  return static_cast<std::int32_t>(Whole(std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::int32_t>::max(), "number"));
}
std::uint16_t TextFields::Uns16() {
  return static_cast<std::uint16_t>(Whole(0, 0xFFFF, "16-bit number"));
}
std::uint8_t TextFields::Uns8() {
  return static_cast<std::uint8_t>(Whole(0, 0xFF, "8-bit number"));
}
std::uint32_t TextFields::Index(std::uint64_t) {
  return static_cast<std::uint32_t>(Whole(0, 0xFFFFFFFFll, "index"));
}

double TextFields::Float32() {
  double value = 0;
  return QuickReal(value) ? value : Real();
}

double TextFields::Real() {
  const std::string_view token = Required("a number");
  const char* first = token.data();
  const char* last = token.data() + token.size();
  if (*first == '+') ++first;
  double value = 0;
  const auto result = std::from_chars(first, last, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too small for a double reads as zero; too large cannot be held.
    const auto mantissaEnd = std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
    if (mantissaEnd != last && mantissaEnd + 1 != last && mantissaEnd[1] == '-') return 0.0;
    Fail(ErrorKind::Overflow, "The number " + Quote(token) + " is too large");
  }
  if (result.ec != std::errc() || result.ptr != last || first == last) {
    Fail(ErrorKind::InvalidArgument, "Expected a number, found " + Quote(token));
  }
  if (!std::isfinite(value)) {
    Fail(ErrorKind::Overflow, "The number " + Quote(token) + " is not finite");
  }
  return value;
}

std::uint32_t TextFields::Enum(std::initializer_list<EnumName> names) {
  const std::string_view token = Required("a value");
  for (const EnumName& n : names) {
    if (SameWord(token, n.name)) return n.value;
  }
  std::uint32_t number = 0;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), number);
  if (result.ec == std::errc() && result.ptr == token.data() + token.size()) {
    for (const EnumName& n : names) {
      if (n.value == number) return number;
    }
  }
  Fail(ErrorKind::InvalidArgument,
       "Unknown value " + Quote(token) + "; expected one of " + Names(names));
}

std::uint32_t TextFields::Flags(std::initializer_list<EnumName> names) {
  std::uint32_t flags = 0;
  for (;;) {
    const std::string_view token = Required("a flag");
    bool found = SameWord(token, "None");
    for (const EnumName& n : names) {
      if (SameWord(token, n.name)) {
        flags |= n.value;
        found = true;
      }
    }
    if (!found) {
      std::uint32_t number = 0;
      const auto result = std::from_chars(token.data(), token.data() + token.size(), number);
      if (result.ec != std::errc() || result.ptr != token.data() + token.size()) {
        Fail(ErrorKind::InvalidArgument,
             "Unknown flag " + Quote(token) + "; expected None or " + Names(names));
      }
      flags |= number;
    }
    if (PeekToken() != "|") return flags;
    Token();
  }
}

bool TextFields::Boolean() {
  const std::string_view token = Required("True or False");
  if (SameWord(token, "True") || token == "1") return true;
  if (SameWord(token, "False") || token == "0") return false;
  Fail(ErrorKind::InvalidArgument, "Expected True or False, found " + Quote(token));
}

std::string TextFields::String() {
  const std::string_view token = Required("a string");
  if (token.size() < 2 || token.front() != '"') {
    Fail(ErrorKind::InvalidArgument, "Expected a string in double quotes, found " + Quote(token));
  }
  std::string text;
  for (std::size_t i = 1; i + 1 < token.size(); ++i) {
    char c = token[i];
    if (c == '\\' && i + 2 < token.size()) {
      c = token[++i];
      if (c == 'n') c = '\n';
      if (c == 't') c = '\t';
      if (c == 'r') c = '\r';
    }
    text += c;
  }
  return text;
}

void TextFields::RawData(std::size_t count, std::vector<std::uint8_t>& out) {
  // Hex tokens "0x..." follow one another until the count is reached; digits
  // beyond it in the last token are the padding of the binary form.
  std::size_t got = 0;
  while (got < count) {
    const std::string_view token = Required("image data (\"0x...\")");
    if (token.size() < 2 || token[0] != '0' || (token[1] != 'x' && token[1] != 'X')) {
      Fail(ErrorKind::InvalidArgument,
           "Expected data in hexadecimal (\"0x...\"), found " + Quote(token));
    }
    const std::string_view digits = token.substr(2);
    if (digits.size() % 2 != 0) {
      Fail(ErrorKind::InvalidArgument,
           "The hexadecimal data " + Quote(token) + " has an odd number of digits");
    }
    for (std::size_t i = 0; i < digits.size(); i += 2) {
      const int high = HexDigit(digits[i]);
      const int low = HexDigit(digits[i + 1]);
      if (high < 0 || low < 0) {
        Fail(ErrorKind::InvalidArgument, "The data " + Quote(token) + " is not hexadecimal");
      }
      if (got < count) {
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
        ++got;
      }
    }
  }
}

bool TextFields::AtEnd() {
  SkipBlanks();
  return pos_ >= end_;
}

void TextFields::CheckCount(std::uint64_t count, std::uint32_t valuesPerItem, std::uint32_t,
                            std::string_view what) {
  SkipBlanks();
  // Every value takes at least one character and a blank after it.
  const std::uint64_t left = end_ - pos_;
  const std::uint64_t values = count * valuesPerItem;
  if (count != 0 && (values / count != valuesPerItem || values > (left + 1) / 2)) {
    last_ = pos_;
    Fail(ErrorKind::OutOfRange, "The count of " + std::to_string(count) + " " + std::string(what) +
                                    "s claims more than the rest of the object holds");
  }
}

std::string TextFields::Place() { return TextPlace(input_, last_); }

void TextFields::Fail(ErrorKind kind, const std::string& text) {
  throw RunError(kind, text, Place());
}

}  // namespace Kelvane::Metafile
