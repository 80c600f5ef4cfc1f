#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The binary type codes of the standard 3DMF object kinds and the names the
// text form writes for them. Codes are four characters read as one
// big-endian Uns32 ('tmsh' = 0x746D7368), whatever the file's byte order.
namespace Kelvane::Metafile {

struct TypeCode {
  std::uint32_t code;
  std::string_view kind;
};

constexpr std::uint32_t FourCC(const char (&text)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(text[3]));
}

// The codes the binary reader itself acts on.
inline constexpr std::uint32_t kCodeMetafile = FourCC("3DMF");
inline constexpr std::uint32_t kCodeContainer = FourCC("cntr");
inline constexpr std::uint32_t kCodeBeginGroup = FourCC("bgng");
inline constexpr std::uint32_t kCodeEndGroup = FourCC("endg");
inline constexpr std::uint32_t kCodeTableOfContents = FourCC("toc ");
inline constexpr std::uint32_t kCodeReference = FourCC("rfrn");
inline constexpr std::uint32_t kCodeType = FourCC("type");

// Every known kind, once each.
std::span<const TypeCode> TypeCodeTable();

// The text name of a code ("TriMesh"), or empty when the code is not known.
std::string_view KindOfCode(std::uint32_t code);
// The code of a text name (exact spelling), or 0 when the name is not known.
std::uint32_t CodeOfKind(std::string_view kind);
bool IsKnownKind(std::string_view kind);

// A code as its four characters in single quotes ("'tmsh'"); a byte that is
// not printable ASCII shows as \xHH ("'\xF0ena'").
std::string CodeText(std::uint32_t code);

}  // namespace Kelvane::Metafile
