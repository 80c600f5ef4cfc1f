#include "metafile/surfaces/Mapping.h"

namespace Kelvane::Metafile {

UV UVTransform::Apply(UV uv) const {
  if (identity) return uv;
  return {uv.u * m[0][0] + uv.v * m[1][0] + m[2][0], uv.u * m[0][1] + uv.v * m[1][1] + m[2][1]};
}

std::uint32_t SurfaceMapping::Add(const TextureUse& use) {
  for (std::size_t i = 0; i < textures.size(); ++i) {
    const TextureUse& known = textures[i];
    if (known.texture != use.texture) continue;
    bool same = true;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) same &= known.transform.m[r][c] == use.transform.m[r][c];
    if (same) return static_cast<std::uint32_t>(i);
  }
  textures.push_back(use);
  return static_cast<std::uint32_t>(textures.size() - 1);
}

}  // namespace Kelvane::Metafile
