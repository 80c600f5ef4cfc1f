#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "text/RunError.h"

// Reading the data of one 3DMF object, field by field, the same way for the
// text and the binary form of the format. The front ends (TextDocument,
// BinaryDocument) hand out a Fields for each object; the decoders of the
// object kinds read through it and never see which form they read.
namespace Kelvane::Metafile {

// A word of an enumeration as the text form writes it, and its value in the
// binary form ("RGB32" = 0, "BigEndian" = 0, ...).
struct EnumName {
  std::string_view name;
  std::uint32_t value;
};

// Whether two words are the same, letter case aside (the text form's
// enumerations and kind names are matched so).
inline bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

class Fields {
 public:
  virtual ~Fields() = default;

  // Numbers. Text: one token, which must be a number of that kind (an
  // integer for the integer fields); binary: the field's bytes in the
  // file's byte order. A value outside the field's range is an error.
  virtual std::uint32_t Uns32() = 0;
  virtual std::int32_t Int32() = 0;
  virtual std::uint16_t Uns16() = 0;
  virtual std::uint8_t Uns8() = 0;
  // A Float32 field. Text numbers keep their full double value, so that a
  // model reads the same as through the keyword reader; binary numbers are
  // IEEE single precision. Not finite: an error.
  virtual double Float32() = 0;

  // An enumeration: text, one of `names` (case does not matter); binary, an
  // Uns32 that must be one of their values.
  virtual std::uint32_t Enum(std::initializer_list<EnumName> names) = 0;
  // A set of flags: text, names joined by "|" (or a number, or "None");
  // binary, an Uns32 taken as it stands.
  virtual std::uint32_t Flags(std::initializer_list<EnumName> names) = 0;
  // A boolean: text "True" / "False"; binary an Uns32, 0 or 1.
  virtual bool Boolean() = 0;
  // A string: text in double quotes; binary NUL-ended, padded to 4 bytes.
  virtual std::string String() = 0;
  // `count` bytes of raw data: text, hexadecimal tokens "0x..."; binary, the
  // bytes, then padding to a multiple of 4. The result is appended to `out`.
  virtual void RawData(std::size_t count, std::vector<std::uint8_t>& out) = 0;

  // Whether the object's data has been read to its end.
  virtual bool AtEnd() = 0;

  // Refuses a count that claims more items than the rest of the object can
  // hold, before anything is allocated for them: each item takes
  // `valuesPerItem` numbers in text, or `bytesPerItem` bytes in binary.
  // `what` names the items in the message ("triangle", "point").
  virtual void CheckCount(std::uint64_t count, std::uint32_t valuesPerItem,
                          std::uint32_t bytesPerItem, std::string_view what) = 0;

  // One index into a table of `tableSize` entries, as a binary TriMesh
  // stores it: in 1 byte below 256 entries, 2 below 65536, else 4. Text: an
  // integer token. Not checked against the table: the caller does that.
  virtual std::uint32_t Index(std::uint64_t tableSize) = 0;
  // How many bytes Index() takes per index for a table of that size (1, 2
  // or 4 in binary; the text form counts values, so 1 there).
  virtual std::uint32_t IndexBytes(std::uint64_t tableSize) const = 0;

  // Where the next field stands, for messages: "input line 4, column 7" or
  // "byte 96 of the input, in a TriMesh ('tmsh')".
  virtual std::string Place() = 0;
  // Raises a RunError of `kind` with `text`, placed at the field read last
  // (or the next one when nothing was read yet).
  [[noreturn]] virtual void Fail(ErrorKind kind, const std::string& text) = 0;
};

}  // namespace Kelvane::Metafile
