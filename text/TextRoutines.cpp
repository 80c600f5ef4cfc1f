#include "text/TextRoutines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

#include "text/RunError.h"

namespace TextRoutines {

using Kelvane::ErrorKind;
using Kelvane::RunError;
using Kelvane::ThrowFileError;

namespace {

constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();

// Closes the descriptor when the call leaves, however it leaves.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(FileHandle&& other) noexcept : fd_(other.Release()) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Opens a file for reading and returns it with its length. Refuses folders
// and files whose length does not fit the 32-bit positions of the text.
FileHandle OpenForReading(const std::string& path, std::int32_t& length) {
  FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Get() < 0) ThrowFileError("Cannot open", path, errno);
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) ThrowFileError("Cannot read", path, errno);
  if (S_ISDIR(info.st_mode)) ThrowFileError("Cannot read", path, EISDIR);
  // Positions are 1-based 32-bit numbers and must reach length + 1.
  if (info.st_size >= kMaxPosition) {
    throw RunError(ErrorKind::Overflow, "The file \"" + path + "\" is " +
                                            std::to_string(info.st_size) +
                                            " bytes long; files of 2 GiB or more cannot be read");
  }
  length = static_cast<std::int32_t>(info.st_size);
  return file;
}

// Reads up to count bytes at the end of text; returns how many were read
// (0 at the end of the file).
std::size_t ReadChunk(int fd, const std::string& path, std::string& text, std::size_t count) {
  const std::size_t start = text.size();
  text.resize(start + count);
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::read(fd, text.data() + start + got, count - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      text.resize(start);
      ThrowFileError("Cannot read", path, errno);
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.resize(start + got);
  return got;
}

// Reads whatever the file holds beyond the length it had when it was opened,
// through a small buffer, so the text is not regrown when nothing follows.
void ReadRest(int fd, const std::string& path, std::string& text) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowFileError("Cannot read", path, errno);
    }
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

bool IsBreak(char c) { return c == '\r' || c == '\n'; }
bool IsDelimiter(char c) { return c == '\n' || c == '\r' || c == ' ' || c == '\t'; }
// Characters the numeric value passes over wherever they stand.
bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void CheckPosition(std::int32_t position) {
  if (position < 1) {
    throw RunError(ErrorKind::InvalidArgument,
                   "Text position " + std::to_string(position) + " is below 1");
  }
}

std::int32_t ToPosition(std::int64_t position) {
  if (position > kMaxPosition) {
    throw RunError(ErrorKind::Overflow, "Text position beyond 2147483647");
  }
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

std::string ReadWholeFile(const std::string& path) {
  std::int32_t length = 0;
  FileHandle file = OpenForReading(path, length);
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  // Read to the end of the file, whatever its length was a moment ago.
  ReadChunk(file.Get(), path, text, static_cast<std::size_t>(length));
  ReadRest(file.Get(), path, text);
  return text;
}

std::string ReadTextFile(const std::string& path, const DoEvents& doEvents) {
  std::int32_t length = 0;
  FileHandle file = OpenForReading(path, length);
  if (length < kChunkSize) {
    std::string text;
    text.reserve(static_cast<std::size_t>(length));
    ReadChunk(file.Get(), path, text, static_cast<std::size_t>(length));
    ReadRest(file.Get(), path, text);
    return text;
  }
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
    const std::size_t got = ReadChunk(file.Get(), path, text, want);
    Yield(doEvents);
    if (got == 0) break;  // the file shrank while it was read
    ++chunks;
  }
  ReadRest(file.Get(), path, text);
  Yield(doEvents);
  for (std::size_t i = 0; i < chunks; ++i) Yield(doEvents);
  return text;
}

void WriteTextFile(const std::string& path, std::string_view text, bool append) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  FileHandle file(::open(path.c_str(), flags, 0666));
  if (file.Get() < 0) ThrowFileError("Cannot write", path, errno);
  // Where this piece starts: a write that fails part-way (a full disk, a
  // file-size limit) takes its bytes back, so the file ends with the last
  // whole piece. -1 where the output cannot seek; nothing is cut then.
  const off_t start = append ? ::lseek(file.Get(), 0, SEEK_END) : 0;
  static const char kLineEnd[] = "\r\n";
  iovec parts[2] = {{const_cast<char*>(text.data()), text.size()},
                    {const_cast<char*>(kLineEnd), 2}};
  int first = 0;
  while (first < 2) {
    const ssize_t n = ::writev(file.Get(), parts + first, 2 - first);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      if (start >= 0) {
        // The error that stopped the write is the one to report, not this.
        [[maybe_unused]] const int cut = ::ftruncate(file.Get(), start);
      }
      ThrowFileError("Cannot write", path, err);
    }
    auto done = static_cast<std::size_t>(n);
    while (first < 2 && done >= parts[first].iov_len) {
      done -= parts[first].iov_len;
      ++first;
    }
    if (first < 2) {
      parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + done;
      parts[first].iov_len -= done;
    }
  }
  if (::close(file.Release()) != 0) ThrowFileError("Cannot write", path, errno);
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

std::string_view NextLine(std::string_view text, std::int32_t& position) {
  CheckPosition(position);
  const std::int64_t length = static_cast<std::int64_t>(text.size());
  const std::int64_t start = position;
  std::int64_t i = start;
  while (i <= length && !IsBreak(text[static_cast<std::size_t>(i - 1)])) ++i;
  if (i > length) {
    // No break follows: the rest of the text is the line, and the position
    // ends past the end of the text.
    if (start > length + 1) return {};
    position = ToPosition(length + 1);
    return text.substr(static_cast<std::size_t>(start - 1));
  }
  const std::string_view line =
      text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(i - start));
  while (i <= length && IsBreak(text[static_cast<std::size_t>(i - 1)])) ++i;
  position = ToPosition(i);
  return line;
}

std::string_view NextToken(std::string_view text, std::int32_t& position) {
  CheckPosition(position);
  const std::int64_t end = static_cast<std::int64_t>(text.size());
  std::int64_t start = position;
  while (start <= end && IsDelimiter(text[static_cast<std::size_t>(start - 1)])) ++start;
  std::int64_t i = start;
  while (i < end && !IsDelimiter(text[static_cast<std::size_t>(i - 1)])) ++i;
  position = ToPosition(i);
  if (start > end) return {};
  const std::int64_t count = std::min(i - start + 1, end - start + 1);
  return text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
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

double NumericValue(std::string_view text) {
  const ParsedNumber number = ParseNumber(text);
  if (number.hex) {
    if (!std::isfinite(number.hexValue)) {
      throw RunError(ErrorKind::Overflow,
                     "The number " + Kelvane::Quote(text) + " is too large");
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
  double rounded = std::round(value);  // halves away from zero
  if (std::fabs(value - std::trunc(value)) == 0.5) rounded = 2.0 * std::round(value / 2.0);
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
    char shown[64];
    const auto end = std::to_chars(shown, shown + sizeof shown, value);
    throw RunError(ErrorKind::Overflow, "The count " + std::string(shown, end.ptr) +
                                            " is outside -32768 to 32767");
  }
  return static_cast<std::int16_t>(rounded);
}

}  // namespace TextRoutines
