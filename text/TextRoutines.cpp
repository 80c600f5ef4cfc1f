#include "text/TextRoutines.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "platform/Platform.h"
#include "text/QuickLines.h"
#include "text/QuickNumbers.h"
#include "text/RunError.h"

namespace Kelvane::TextRoutines {

using Kelvane::ErrorKind;
using Kelvane::RunError;
using Kelvane::ThrowFileError;

namespace {

using Platform::File;

// Opens a file for reading and returns it with its length. Refuses folders
// and files whose length does not fit the 32-bit positions of the text.
File OpenForReading(const std::string& path, std::int32_t& length) {
  File file;
  int error = 0;
  if (!file.Open(path, File::Mode::kRead, error)) ThrowFileError("Cannot open", path, error);
  std::int64_t size = 0;
  bool folder = false;
  if (!file.Length(size, folder, error)) ThrowFileError("Cannot read", path, error);
  if (folder) ThrowFileError("Cannot read", path, Platform::kErrorIsFolder);
  // Positions are 1-based 32-bit numbers and must reach length + 1.
  if (size >= kMaxPosition) {
    throw RunError(ErrorKind::Overflow, "The file \"" + path + "\" is " + std::to_string(size) +
                                            " bytes long; files of 2 GiB or more cannot be read");
  }
  length = static_cast<std::int32_t>(size);
  return file;
}

// Reads up to count bytes at the end of text; returns how many were read
// (0 at the end of the file).
std::size_t ReadChunk(File& file, const std::string& path, std::string& text, std::size_t count) {
  const std::size_t start = text.size();
  text.resize(start + count);
  std::size_t got = 0;
  while (got < count) {
    int error = 0;
    const std::int64_t n = file.Read(text.data() + start + got, count - got, error);
    if (n < 0) {
      text.resize(start);
      ThrowFileError("Cannot read", path, error);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(start + got);
  return got;
}

// Reads whatever the file holds beyond the length it had when it was opened,
// through a small buffer, so the text is not regrown when nothing follows.
void ReadRest(File& file, const std::string& path, std::string& text) {
  char buffer[65536];
  for (;;) {
    int error = 0;
    const std::int64_t n = file.Read(buffer, sizeof buffer, error);
    if (n < 0) ThrowFileError("Cannot read", path, error);
    if (n == 0) return;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() >= static_cast<std::size_t>(kMaxPosition)) {
      throw RunError(ErrorKind::Overflow,
                     "The file \"" + path + "\" grew to 2 GiB or more while it was read");
    }
  }
}

void Yield(const DoEvents& doEvents) {
  if (doEvents) doEvents();
}

using Scan::IsBreak;
using Scan::IsDelimiter;
// Characters the numeric value passes over wherever they stand.
bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

[[noreturn, gnu::cold, gnu::noinline]] void ThrowPositionBelowOne(std::int32_t position) {
  throw RunError(ErrorKind::InvalidArgument,
                 "Text position " + std::to_string(position) + " is below 1");
}

[[noreturn, gnu::cold, gnu::noinline]] void ThrowPositionOverflow() {
  throw RunError(ErrorKind::Overflow, "Text position beyond 2147483647");
}

// The scanners run once per token of the input: their checks stay inline
// and their errors out of the way.
inline void CheckPosition(std::int32_t position) {
  if (position < 1) [[unlikely]]
    ThrowPositionBelowOne(position);
}

inline std::int32_t ToPosition(std::int64_t position) {
  if (position > kMaxPosition) [[unlikely]]
    ThrowPositionOverflow();
  return static_cast<std::int32_t>(position);
}

// The parts of a decimal number found at the start of a text.
struct ParsedNumber {
  bool hex = false;
  double hexValue = 0;
  bool negative = false;
  std::string digits;      // mantissa with its "." as written, no sign
  int mantissaDigits = 0;  // how many of them are digits
  std::string exponent;    // "e", sign and digits, or empty
};

// Walks the number at the start of the text by the numeric-value rule.
ParsedNumber ParseNumber(std::string_view text) {
  ParsedNumber number;
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip = [&](std::size_t& at) {
    while (at < n && IsIgnored(text[at])) ++at;
  };
  skip(i);
  if (i + 1 < n && text[i] == '&' && text[i + 1] == 'H') {
    number.hex = true;
    i += 2;
    for (;;) {
      skip(i);
      if (i >= n) break;
      const int d = HexDigit(text[i]);
      if (d < 0) break;
      number.hexValue = number.hexValue * 16 + d;
      ++number.mantissaDigits;
      ++i;
    }
    return number;
  }
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }
  bool point = false;
  for (;;) {
    skip(i);
    if (i >= n) break;
    const char c = text[i];
    if (IsDigit(c)) {
      number.digits += c;
      ++number.mantissaDigits;
    } else if (c == '.' && !point) {
      number.digits += c;
      point = true;
    } else {
      break;
    }
    ++i;
  }
  if (number.mantissaDigits == 0) return number;
  skip(i);
  if (i < n && (text[i] == 'E' || text[i] == 'e')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    skip(j);
    if (j < n && (text[j] == '+' || text[j] == '-')) {
      exponent += text[j];
      ++j;
    }
    bool anyDigit = false;
    for (;;) {
      skip(j);
      if (j >= n || !IsDigit(text[j])) break;
      exponent += text[j];
      anyDigit = true;
      ++j;
    }
    // An exponent without digits is not part of the number.
    if (anyDigit) number.exponent = std::move(exponent);
  }
  return number;
}

// Whether a decimal number that from_chars could not hold is too large
// (true) or too small (false): the decimal exponent of its leading digit.
bool IsTooLarge(const ParsedNumber& number) {
  std::int64_t integerDigits = 0;
  std::int64_t leading = -1;  // index among digits of the first non-zero digit
  std::int64_t index = 0;
  bool point = false;
  for (const char c : number.digits) {
    if (c == '.') {
      point = true;
      continue;
    }
    if (!point) ++integerDigits;
    if (leading < 0 && c != '0') leading = index;
    ++index;
  }
  if (leading < 0) return false;
  std::int64_t exponent = 0;
  bool negative = false;
  for (std::size_t k = 1; k < number.exponent.size(); ++k) {
    const char c = number.exponent[k];
    if (c == '-') negative = true;
    if (IsDigit(c) && exponent < 1000000000) exponent = exponent * 10 + (c - '0');
  }
  if (negative) exponent = -exponent;
  return integerDigits - 1 - leading + exponent > 0;
}

}  // namespace

namespace {

// Reads an opened file in one piece, to its end, whatever its length was a
// moment ago.
std::string ReadAll(File& file, const std::string& path, std::int32_t length) {
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  ReadChunk(file, path, text, static_cast<std::size_t>(length));
  ReadRest(file, path, text);
  return text;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  std::int32_t length = 0;
  File file = OpenForReading(path, length);
  return ReadAll(file, path, length);
}

std::string ReadTextFile(const std::string& path, const DoEvents& doEvents) {
  std::int32_t length = 0;
  File file = OpenForReading(path, length);
  if (length < kChunkSize) return ReadAll(file, path, length);
  // The chunks land in place in the one result, sized once from the file's
  // length, so a large input is never held twice; the window still gets its
  // time at every step of the chunked way.
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  std::size_t chunks = 0;
  while (text.size() < static_cast<std::size_t>(length)) {
    Yield(doEvents);
    const std::size_t want =
        std::min<std::size_t>(kChunkSize, static_cast<std::size_t>(length) - text.size());
    const std::size_t got = ReadChunk(file, path, text, want);
    Yield(doEvents);
    if (got == 0) break;  // the file shrank while it was read
    ++chunks;
  }
  ReadRest(file, path, text);
  Yield(doEvents);
  for (std::size_t i = 0; i < chunks; ++i) Yield(doEvents);
  return text;
}

namespace {

// Takes back what a failed write put out, then reports the failure: the
// file, while still open, is cut by the `written` bytes (where it can seek),
// and it is removed when this write made it. What the cut or the removal
// meets is not reported: the error that stopped the write is the one the
// user can act on.
[[noreturn]] void FailWrite(File& file, const std::string& path, std::int64_t written, int error) {
  if (file.IsOpen()) {
    file.TakeBack(written);
    int ignored = 0;
    file.Close(ignored);
  }
  if (file.Created()) Platform::RemoveFile(path);
  ThrowFileError("Cannot write", path, error);
}

// Opens the file, writes the parts in order and closes it again.
void WriteParts(const std::string& path, Platform::Piece* parts, int count, bool append) {
  File file;
  int error = 0;
  if (!file.Open(path, append ? File::Mode::kAppend : File::Mode::kWrite, error))
    ThrowFileError("Cannot write", path, error);
  int first = 0;
  std::int64_t written = 0;
  while (first < count) {
    const std::int64_t n = file.Write(parts + first, count - first, error);
    if (n < 0) FailWrite(file, path, written, error);
    written += n;
    auto done = static_cast<std::size_t>(n);
    while (first < count && done >= parts[first].size) {
      done -= parts[first].size;
      ++first;
    }
    if (first < count) {
      parts[first].data += done;
      parts[first].size -= done;
    }
  }
  if (!file.Close(error)) FailWrite(file, path, written, error);
}

}  // namespace

void WriteTextFile(const std::string& path, std::string_view text, bool append) {
  static const char kLineEnd[] = "\r\n";
  Platform::Piece parts[2] = {{text.data(), text.size()}, {kLineEnd, 2}};
  WriteParts(path, parts, 2, append);
}

void WriteTextLine(const std::string& path, std::string_view line, bool append) {
  if (append) {
    // Every record of a run comes this way: the quick way first.
    int error = 0;
    const Platform::QuickAppend quick = Platform::AppendQuickly(path, line, error);
    if (quick == Platform::QuickAppend::kDone) return;
    if (quick == Platform::QuickAppend::kCloseFailed) ThrowFileError("Cannot write", path, error);
  }
  Platform::Piece part = {line.data(), line.size()};
  WriteParts(path, &part, 1, append);
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
  Platform::Piece part = {bytes.data(), bytes.size()};
  WriteParts(path, &part, 1, false);
}

void AppendToStringArray(std::vector<std::string>& array, std::string item) {
  if (array.empty()) {
    array.push_back(std::move(item));
  } else if (array.size() == 1 && array[0].empty()) {
    array[0] = std::move(item);
  } else {
    array.push_back(std::move(item));
  }
}

// Eight bytes at a time while eight remain: a byte equal to CR or LF
// becomes zero after the exclusive or, and the usual test for a zero byte
// marks it (and never a byte before the first zero).
std::size_t FindBreak(const char* data, std::size_t i, std::size_t length) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
#if defined(__SSE2__) || defined(_M_X64)
  // Sixteen at a time where the processor compares them side by side.
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  while (length - i >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const int found =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    if (found != 0)
      return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(found)));
    i += 16;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    while (length - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, data + i, 8);
      const std::uint64_t cr = word ^ (kOnes * '\r');
      const std::uint64_t lf = word ^ (kOnes * '\n');
      const std::uint64_t found = ((cr - kOnes) & ~cr & kHighs) | ((lf - kOnes) & ~lf & kHighs);
      if (found != 0) return i + static_cast<std::size_t>(std::countr_zero(found) / 8);
      i += 8;
    }
  }
  while (i < length && !IsBreak(data[i])) ++i;
  return i;
}

std::string_view NextLine(std::string_view text, std::int32_t& position) {
  CheckPosition(position);
  const std::size_t length = text.size();
  const char* const data = text.data();
  const auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  std::size_t i = start < length ? FindBreak(data, start, length) : start;
  if (i >= length) {
    // No break follows: the rest of the text is the line, and the position
    // ends past the end of the text.
    if (start > length) return {};
    position = ToPosition(static_cast<std::int64_t>(length) + 1);
    return text.substr(start);
  }
  const std::string_view line(data + start, i - start);
  while (i < length && IsBreak(data[i])) ++i;
  position = ToPosition(static_cast<std::int64_t>(i) + 1);
  return line;
}

std::string_view NextToken(std::string_view text, std::int32_t& position) {
  CheckPosition(position);
  const std::size_t end = text.size();
  const char* const data = text.data();
  auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  while (start < end && IsDelimiter(data[start])) ++start;
  // The token runs to its closing delimiter, or to the last character.
  std::size_t i = start;
  while (i + 1 < end && !IsDelimiter(data[i])) ++i;
  position = ToPosition(static_cast<std::int64_t>(i) + 1);
  if (start >= end) return {};
  return text.substr(start, std::min(i - start + 1, end - start));
}

std::string StripExtension(std::string_view fileName) {
  if (fileName.size() > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    throw RunError(ErrorKind::Overflow, "A file name of " + std::to_string(fileName.size()) +
                                            " characters is longer than 32767");
  }
  for (std::size_t n = fileName.size(); n >= 1; --n) {
    const char c = fileName[n - 1];
    if (c == '\\' || c == '/') break;
    if (c == '.') return std::string(fileName.substr(0, n - 1));
  }
  return std::string(fileName);
}

namespace {

// Reads a number that starts at `p` and whose characters stand together:
// a sign, digits with at most one ".", an exponent. Sets `stop` to the
// first character after it. False when the general walk must decide: no
// digit, an exponent without digits (what stops it may be an ignored
// character that the walk passes), a value from_chars cannot hold.
bool PlainNumberAt(const char* p, const char* const end, double& value, const char*& stop) {
  const char* const first = p;  // from_chars takes a "-" but no "+"
  const bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+')) ++p;
  // The digits as one integer, while it is exact.
  std::uint64_t mantissa = 0;
  const char* const integerPart = p;
  while (p < end && IsDigit(*p)) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
  std::size_t digits = static_cast<std::size_t>(p - integerPart);
  std::size_t decimals = 0;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && IsDigit(*p)) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    decimals = static_cast<std::size_t>(p - fraction);
    digits += decimals;
  }
  if (digits == 0) return false;
  int scale = -static_cast<int>(decimals);
  if (p < end && (*p == 'e' || *p == 'E')) {
    p = QuickNumbers::ExponentAt<true>(p, end, scale);
    if (p == nullptr) return false;
  }
  stop = p;
  // One multiplication or division, which rounds correctly, wherever it is
  // exact: the coordinates and indices of any model written by a program.
  if (QuickNumbers::ExactMantissa(mantissa, digits) &&
      QuickNumbers::ScaledValue(mantissa, scale, negative, value)) {
    return true;
  }
  const char* const from = *first == '+' ? first + 1 : first;
  const auto result = std::from_chars(from, p, value, std::chars_format::general);
  return result.ec == std::errc{} && result.ptr == p;
}

// The numeric value of a text whose number stands together, with nothing
// after it that the rule could join to it, as tokens are ("-12.5 ",
// "1e3\r", "7"). False when the text needs the general walk.
bool PlainNumericValue(std::string_view text, double& value) {
  const char* const end = text.data() + text.size();
  const char* p = text.data();
  while (p < end && IsIgnored(*p)) ++p;
  const char* stop = p;
  if (!PlainNumberAt(p, end, value, stop)) return false;
  // Only the last character may be one that the rule passes over.
  return !(stop < end && IsIgnored(*stop) && stop + 1 < end);
}

}  // namespace

bool NextTokenValue(std::string_view text, std::int32_t& position, std::string_view& token,
                    double& value) {
  CheckPosition(position);
  const std::size_t end = text.size();
  const char* const data = text.data();
  auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  while (start < end && IsDelimiter(data[start])) ++start;
  if (start >= end) {
    position = ToPosition(static_cast<std::int64_t>(start) + 1);
    token = {};
    value = 0;
    return true;
  }
  // A number's characters are no delimiters, so the token runs at least to
  // where the number stops, and on from there as NextToken runs it.
  const char* stop = data + start;
  const bool plain = PlainNumberAt(data + start, data + end, value, stop);
  std::size_t i = std::min(std::max(static_cast<std::size_t>(stop - data), start), end - 1);
  while (i + 1 < end && !IsDelimiter(data[i])) ++i;
  position = ToPosition(static_cast<std::int64_t>(i) + 1);
  token = text.substr(start, std::min(i - start + 1, end - start));
  // A token holds at most one delimiter, its last character: nothing after
  // the number can join it, so the plain reading is the token's value.
  return plain;
}

bool NextTokenCount(std::string_view text, std::int32_t& position, std::string_view& token,
                    std::int16_t& count) {
  if (position < 1) return false;
  const std::size_t end = text.size();
  const char* const data = text.data();
  auto start = static_cast<std::size_t>(position) - 1;  // from here on 0-based
  while (start < end && IsDelimiter(data[start])) ++start;
  std::size_t i = start;
  std::uint32_t value = 0;
  while (i < end && i - start < 5 && IsDigit(data[i])) {
    value = value * 10 + static_cast<std::uint32_t>(data[i] - '0');
    ++i;
  }
  if (i == start || value > 32767) return false;
  // The token runs to its closing delimiter, or to the last character.
  if (i < end && !IsDelimiter(data[i])) return false;
  const std::size_t last = std::min(i, end - 1);
  position = ToPosition(static_cast<std::int64_t>(last) + 1);
  token = text.substr(start, last - start + 1);
  count = static_cast<std::int16_t>(value);
  return true;
}

bool NextPlainValue(std::string_view text, std::int32_t& position, double& value,
                    std::int32_t& place) {
  const char* p = Scan::InTextAt(text, position);
  if (p == nullptr) return false;
  const char* const data = text.data();
  const char* const end = data + text.size();
  while (p < end && IsDelimiter(*p)) ++p;
  if (p == end) return false;
  const char* const first = p;
  p = QuickNumbers::ExactNumberAt(p, end, value);
  if (p == nullptr) return false;
  // NextTokenValue leaves the position on the closing delimiter, or on the
  // last character.
  if (p < end) {
    if (!IsDelimiter(*p)) return false;
    ++p;
  }
  place = static_cast<std::int32_t>(first - data) + 1;
  position = static_cast<std::int32_t>(p - data);
  return true;
}

double NumericValue(std::string_view text) {
  double plain = 0;
  if (PlainNumericValue(text, plain)) return plain;
  const ParsedNumber number = ParseNumber(text);
  if (number.hex) {
    if (!std::isfinite(number.hexValue)) {
      throw RunError(ErrorKind::Overflow, "The number " + Kelvane::Quote(text) + " is too large");
    }
    return number.hexValue;
  }
  if (number.mantissaDigits == 0) return 0;
  std::string compact;
  compact.reserve(number.digits.size() + number.exponent.size() + 1);
  if (number.negative) compact += '-';
  compact += number.digits;
  compact += number.exponent;
  double value = 0;
  const auto result = std::from_chars(compact.data(), compact.data() + compact.size(), value,
                                      std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    if (IsTooLarge(number)) {
      throw RunError(ErrorKind::Overflow,
                     "The number " + Kelvane::Quote(text) + " is too large for a double");
    }
    return 0.0;
  }
  return value;
}

bool StartsWithNumber(std::string_view text) { return ParseNumber(text).mantissaDigits > 0; }

std::int16_t ToCount(double value) {
  // Counts and indices are written as whole numbers: nothing to round.
  if (value >= -32768.0 && value <= 32767.0) {
    const auto whole = static_cast<std::int16_t>(value);
    if (whole == value) return whole;
  }
  double rounded = std::round(value);  // halves away from zero
  if (std::fabs(value - std::trunc(value)) == 0.5) rounded = 2.0 * std::round(value / 2.0);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
    char shown[64];
    const auto end = std::to_chars(shown, shown + sizeof shown, value);
    throw RunError(ErrorKind::Overflow,
                   "The count " + std::string(shown, end.ptr) + " is outside -32768 to 32767");
  }
  return static_cast<std::int16_t>(rounded);
}

}  // namespace Kelvane::TextRoutines
