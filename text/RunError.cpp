#include "text/RunError.h"

#include "platform/Platform.h"

namespace Kelvane {

std::string_view KindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Overflow:
      return "Overflow";
    case ErrorKind::OutOfRange:
      return "Out of range";
    case ErrorKind::InvalidArgument:
      return "Invalid argument";
    case ErrorKind::FileError:
      return "File error";
    case ErrorKind::InvalidScale:
      return "Invalid scale";
    case ErrorKind::SameFile:
      return "Same file";
    case ErrorKind::OutputIsModel:
      return "Output is a model";
    case ErrorKind::ArithmeticError:
      return "Arithmetic error";
  }
  return "Error";
}

void ThrowFileError(const std::string& what, const std::string& path, int err) {
  throw RunError(ErrorKind::FileError, what + " \"" + path + "\": " + Platform::ErrorText(err));
}

std::string Quote(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n' || c == '\t') continue;  // the token's closing delimiter
    if (c < 32 || c == 127) {
      static const char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > kMax) out += "...";
  out += '"';
  return out;
}

}  // namespace Kelvane
