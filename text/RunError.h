#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace Kelvane {

// What went wrong, as the user sees it named on the command line and in the
// window's message.
enum class ErrorKind {
  Overflow,         // a number beyond its field (double, 16 or 32 bits)
  OutOfRange,       // an index outside its table, a count below 1 for a table
  InvalidArgument,  // a position below 1, a negative texture size
  FileError,        // a file that cannot be read or written
  InvalidScale,     // the scale text holds no number
  SameFile,         // output and input are one file
  OutputIsModel,    // the output is a 3DMF model, which is never written over
  ArithmeticError,  // a step of arithmetic that has no result
};

// The user-facing name of a kind: "Overflow", "Out of range", ...
std::string_view KindName(ErrorKind kind);

// The one exception of a run. Nothing in the core catches it; the front ends
// report it with its kind, its text and, where known, the input place.
class RunError : public std::runtime_error {
 public:
  RunError(ErrorKind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
  // An error that knows where in the input it stood ("input line 4,
  // column 7", "byte 96 of the input, in a TriMesh ('tmsh')").
  RunError(ErrorKind kind, const std::string& text, std::string place)
      : std::runtime_error(text), kind_(kind), place_(std::move(place)) {}
  ErrorKind Kind() const { return kind_; }
  // Empty when the run tells the place (ConversionRun::ErrorPlace).
  const std::string& Place() const { return place_; }

 private:
  ErrorKind kind_;
  std::string place_;
};

// A file error naming the path and the system's reason (its error code).
[[noreturn]] void ThrowFileError(const std::string& what, const std::string& path, int err);

// A short, printable quote of a piece of input for messages.
std::string Quote(std::string_view text);

}  // namespace Kelvane
