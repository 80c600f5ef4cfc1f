#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/QuickLines.h"

// Whole-file reading and piecewise writing, scanning a text by lines and
// tokens, and the number rules every reader shares. Texts are bytes: nothing
// is translated on the way in or out, and no locale is consulted anywhere.
namespace Kelvane::TextRoutines {

// Lets pending window messages run; the window supplies it, others pass none.
using DoEvents = std::function<void()>;

// Files from this size on are read in chunks of this size, with the window
// given time between them.
constexpr std::int32_t kChunkSize = 500000;

// The whole content of a file, read in one piece. A missing file, a folder or
// a file too long for 32-bit positions is a file error (overflow for length).
std::string ReadWholeFile(const std::string& path);

// The whole content of a file; from kChunkSize bytes on it is read in chunks,
// letting pending messages run before and after each chunk and before each is
// joined. The result is always the file's bytes in order.
std::string ReadTextFile(const std::string& path, const DoEvents& doEvents = {});

// Writes the text and then CR LF: into a new or emptied file (append false) or
// at the end of the file (append true). Opens and closes the file within the
// call, so the file is complete on disk when it returns.
//
// A write cut short (a full disk, a file-size limit) leaves no part of
// itself: its bytes are taken back, so the file has the length it had
// before this write (empty, for a file that append false emptied), and a
// file that this write created is removed. Where the file cannot seek (a
// device), nothing is cut. The file error raised names the failure that
// stopped the write.
void WriteTextFile(const std::string& path, std::string_view text, bool append);

// WriteTextFile for a text whose CR LF is already its last two characters:
// written as it stands, the same bytes and the same open, write and close.
void WriteTextLine(const std::string& path, std::string_view line, bool append);

// The bytes as the whole of a new or emptied file, as WriteTextFile writes
// (and fails): pictures are written this way.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// Adds the item at the end of the array, reusing a lone empty first element.
void AppendToStringArray(std::vector<std::string>& array, std::string item);

// The rest of the line from a 1-based position, without its break; moves the
// position past the whole run of CR and LF that follows, onto the next line
// with content (or to length + 1).
std::string_view NextLine(std::string_view text, std::int32_t& position);

// The next blank-delimited token from a 1-based position, with the delimiter
// that closed it; leaves the position on the token's last character.
std::string_view NextToken(std::string_view text, std::int32_t& position);

// NextToken, reading the token's numeric value in the same pass when the
// token is a plain number (as NumericValue would give it). False when the
// value must be taken with NumericValue(token), which may fail.
bool NextTokenValue(std::string_view text, std::int32_t& position, std::string_view& token,
                    double& value);

// NextToken for a token that is a plain whole number from 0 to 32767 (one to
// five digits and the delimiter that closes it, as counts and indices are
// written), with its count as CountValue would give it. False, with nothing
// moved, for any other token: NextTokenValue then reads it.
bool NextTokenCount(std::string_view text, std::int32_t& position, std::string_view& token,
                    std::int16_t& count);

// NextCountLine, NextNumberLine and NextPlainPoint (text/QuickLines.h) read
// whole lines quickly.

// NextTokenValue for a token that is a plain decimal number whose value is
// exact in one step (at most 19 digits making at most 2^53, a power of ten
// up to 10^22 either way) and that ends at a delimiter or the text's end.
bool NextPlainValue(std::string_view text, std::int32_t& position, double& value,
                    std::int32_t& place);

// The file name without its extension: the last "." of the name itself and
// what follows. A "." in a folder name does not count.
std::string StripExtension(std::string_view fileName);

// The number at the start of a text: blanks, tabs and line feeds ignored
// wherever they stand, an optional sign, digits with at most one ".", an
// optional exponent; "&H" reads hexadecimal. 0 when there is no number.
// A value too large for a double is an overflow error.
double NumericValue(std::string_view text);

// Whether the text starts with a number by the rule above (a digit is read).
bool StartsWithNumber(std::string_view text);

// A count or index: the value rounded to the nearest integer, halves to even,
// then checked against the 16-bit range (overflow error outside it).
std::int16_t ToCount(double value);

// ToCount of the numeric value of a token.
inline std::int16_t CountValue(std::string_view token) { return ToCount(NumericValue(token)); }

}  // namespace Kelvane::TextRoutines
