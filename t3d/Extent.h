#pragma once

#include <algorithm>

#include "vector/Vector3.h"

namespace Kelvane::Unreal {

// The box around the corners written, in the document's units.
struct Extent {
  bool any = false;
  Vector3 low{0, 0, 0};
  Vector3 high{0, 0, 0};
  // Inline: every corner a reader makes passes here.
  void Include(const Vector3& corner) {
    if (!any) {
      low = high = corner;
      any = true;
      return;
    }
    low = {std::min(low.X, corner.X), std::min(low.Y, corner.Y), std::min(low.Z, corner.Z)};
    high = {std::max(high.X, corner.X), std::max(high.Y, corner.Y), std::max(high.Z, corner.Z)};
  }
  void Include(const Extent& other) {
    if (!other.any) return;
    Include(other.low);
    Include(other.high);
  }
  // The largest of the box's three sides; 0 when empty.
  double LargestSide() const {
    if (!any) return 0;
    return std::max({high.X - low.X, high.Y - low.Y, high.Z - low.Z});
  }
};

}  // namespace Kelvane::Unreal
