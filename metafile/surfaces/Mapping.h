#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// How a texture lies on a surface: the UV coordinates of its points and the
// texture shaders that cover its triangles. The scene walk fills it
// (scene/Attributes.h reads the objects) only when asked for, so that a run
// without texture mapping never meets these objects' faults.
namespace Kelvane::Metafile {

struct Object;

struct UV {
  double u = 0;
  double v = 0;
};

// A ShaderUVTransform: a 3 x 3 matrix acting on the row (u v 1).
struct UVTransform {
  double m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  bool identity = true;
  UV Apply(UV uv) const;
};

// The texture a texture shader applies, and the UV transform it applies
// first. Two uses are the same when both agree.
struct TextureUse {
  const Object* texture = nullptr;  // a PixmapTexture or MipmapTexture
  UVTransform transform;
};

// A triangle whose shader applies no texture.
constexpr std::uint32_t kNoTexture = 0xFFFFFFFFu;

struct SurfaceMapping {
  // The UV of each point of the set, or empty when the object has none; a
  // point without one (a vertex without attribute set, a point made where a
  // fill cuts edges) has NaN.
  std::vector<UV> uvs;
  // The textures that cover the object.
  std::vector<TextureUse> textures;
  // Per triangle, an index into `textures` or kNoTexture; empty: every
  // triangle has textures[0], when there is one.
  std::vector<std::uint32_t> textureOf;

  // The texture of triangle t, or kNoTexture.
  std::uint32_t TextureOf(std::size_t t) const {
    if (textureOf.empty()) return textures.empty() ? kNoTexture : 0;
    return t < textureOf.size() ? textureOf[t] : kNoTexture;
  }
  // Adds a use, or finds the same one; returns its index.
  std::uint32_t Add(const TextureUse& use);
};

}  // namespace Kelvane::Metafile
