#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/run/RunReport.h"

namespace Kelvane {

// What a run has to tell, gathered while it goes: the passes and the
// bitmap saver add to it, the run fills in the rest when it ends.
class ReportBuilder {
 public:
  void Warn(std::string text) { report_.warnings.push_back(std::move(text)); }
  void Warn(const std::vector<std::string>& texts) {
    report_.warnings.insert(report_.warnings.end(), texts.begin(), texts.end());
  }
  void SavedBitmap(std::string path) { report_.bitmaps.push_back(std::move(path)); }
  MappingSummary& Mapping() { return report_.mapping; }
  Metafile::SceneSummary& LeftOut() { return report_.leftOut; }
  void ReadWholeFormat() { report_.wholeFormat = true; }
  void NotPowerOfTwo(std::string name, int width, int height) {
    report_.notPowerOfTwo.push_back({std::move(name), width, height});
  }

  RunReport& Report() { return report_; }

 private:
  RunReport report_;
};

}  // namespace Kelvane
