#pragma once

#include "vector/Vector3.h"

namespace Kelvane::Unreal {

// Where a texture lies on a polygon, in the editor's convention: a point P
// of the polygon's plane is at texel (s, t) = ((P - origin) . u,
// (P - origin) . v), s to the right and t down from the texture's top left
// corner; u and v lie in the plane.
struct TextureAxes {
  Vector3 origin;
  Vector3 u;
  Vector3 v;
};

// The axes that put each corner k of a triangle at texel (s[k], t[k]).
// False, leaving `axes` unspecified, when the triangle or its texels have
// no area, or a result is not finite.
bool MapTexture(const Vector3 (&corner)[3], const double (&s)[3], const double (&t)[3],
                TextureAxes& axes);

}  // namespace Kelvane::Unreal
