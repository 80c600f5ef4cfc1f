#pragma once

#include <cstdint>
#include <string_view>

#include "text/QuickLines.h"

// Scanning a text held whole by lines and tokens, with 1-based positions
// that the caller keeps; the quick ways of whole lines are in QuickLines.h.
namespace Kelvane::TextRoutines {

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

}  // namespace Kelvane::TextRoutines
