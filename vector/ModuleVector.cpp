#include "vector/ModuleVector.h"

#include <string>

#include "text/RunError.h"

namespace Kelvane::ModuleVector::Checked {

void ThrowNotFinite(const char* step) {
  throw Kelvane::RunError(Kelvane::ErrorKind::Overflow,
                          std::string("A vector ") + step + " overflowed a double");
}

}  // namespace Kelvane::ModuleVector::Checked
