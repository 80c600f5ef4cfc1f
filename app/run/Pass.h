#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/RunError.h"

namespace Kelvane {

// One pass of a reader over the input text: it reads the objects and writes
// them into the document frame it was given, from head to tail.
class Pass {
 public:
  virtual ~Pass() = default;
  virtual void Run() = 0;
  // Where the pass stands in the input, 1-based, for a progress display.
  virtual std::int32_t ScanPosition() const = 0;
  // Where the pass stood when `error` stopped it: the error's own place
  // when it carries one, else where the reader stood; empty when unknown.
  virtual std::string PlaceOf(const RunError& error) const = 0;
  // What the pass tells the user once it has ended, however it ended.
  virtual std::vector<std::string> Warnings() const { return {}; }
};

}  // namespace Kelvane
