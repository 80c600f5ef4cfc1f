#pragma once

#include <cstdint>
#include <string_view>

#include "image/Image.h"
#include "metafile/format/Fields.h"

// Texture images of 3DMF objects, decoded to plain colours: the texture
// folder's contract. Read through Fields like every object's data.
namespace Kelvane::Metafile {

// The largest texture decoded, in pixels: what the picture box can hold, so
// a texture it could not show is refused before its data is read.
constexpr std::uint64_t kMaxTexturePixels = std::uint64_t{1} << 26;

// Whether the kind is a texture that DecodeTexture reads (PixmapTexture,
// MipmapTexture).
bool IsTexture(std::string_view kind);

// Reads a PixmapTexture, or the first image of a MipmapTexture, in any of
// the pixel types RGB32, ARGB32, RGB24, RGB16, ARGB16, RGB16_565, either
// byte order and bit order, honouring rowBytes. Bad sizes, types and data
// are raised through fields.Fail. The alpha of ARGB32 (its high byte) and
// ARGB16 (its high bit) fills out.alpha when some pixel is less than
// opaque; otherwise out.alpha is left empty.
void DecodeTexture(std::string_view kind, Fields& fields, Image& out);

}  // namespace Kelvane::Metafile
