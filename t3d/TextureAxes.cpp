#include "t3d/TextureAxes.h"

#include <cmath>

namespace Kelvane::Unreal {

bool MapTexture(const Vector3 (&corner)[3], const double (&s)[3], const double (&t)[3],
                TextureAxes& axes) {
  // Edges from the first corner, and how far s and t change along them.
  const double e1[3] = {corner[1].X - corner[0].X, corner[1].Y - corner[0].Y,
                        corner[1].Z - corner[0].Z};
  const double e2[3] = {corner[2].X - corner[0].X, corner[2].Y - corner[0].Y,
                        corner[2].Z - corner[0].Z};
  const double ds1 = s[1] - s[0], ds2 = s[2] - s[0];
  const double dt1 = t[1] - t[0], dt2 = t[2] - t[0];
  const double a = e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2];
  const double b = e1[0] * e2[0] + e1[1] * e2[1] + e1[2] * e2[2];
  const double c = e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2];
  // The triangle's area (squared, times 4) and its area in texels (times 2).
  const double gram = a * c - b * b;
  const double texels = ds1 * dt2 - ds2 * dt1;
  constexpr double kFlat = 1e-12;
  if (!(gram > kFlat * a * c) ||
      !(std::fabs(texels) > kFlat * (std::fabs(ds1 * dt2) + std::fabs(ds2 * dt1)))) {
    return false;
  }
  // An axis in the plane, x e1 + y e2, whose dot products with e1 and e2
  // are the changes d1 and d2: the Gram system.
  const auto axis = [&](double d1, double d2) {
    const double x = (c * d1 - b * d2) / gram;
    const double y = (a * d2 - b * d1) / gram;
    return Vector3{x * e1[0] + y * e2[0], x * e1[1] + y * e2[1], x * e1[2] + y * e2[2]};
  };
  axes.u = axis(ds1, ds2);
  axes.v = axis(dt1, dt2);
  // The origin corner[0] + x e1 + y e2 where s and t are both 0.
  const double x = (-s[0] * dt2 + t[0] * ds2) / texels;
  const double y = (-t[0] * ds1 + s[0] * dt1) / texels;
  axes.origin = {corner[0].X + x * e1[0] + y * e2[0], corner[0].Y + x * e1[1] + y * e2[1],
                 corner[0].Z + x * e1[2] + y * e2[2]};
  for (const Vector3* w : {&axes.origin, &axes.u, &axes.v}) {
    if (!std::isfinite(w->X) || !std::isfinite(w->Y) || !std::isfinite(w->Z)) return false;
  }
  return true;
}

}  // namespace Kelvane::Unreal
