#pragma once

#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/gui/Dialogs.h"

class QWidget;

namespace Kelvane::Gui {

// "Description|pattern;pattern|..." as Qt's name filters,
// "Description (pattern pattern)". A description that already names its
// patterns in parentheses is not given them twice.
QStringList QtNameFilters(std::string_view filter);

// The window's one file dialog. Its properties keep their values from one
// use to the next: each user sets what it needs, the rest carries over.
class CommonDialog {
 public:
  // The open-file flag that lets only an existing file be chosen.
  static constexpr std::int32_t kFileMustExist = 4096;

  CommonDialog(Dialogs& dialogs, QWidget* owner) : dialogs_(dialogs), owner_(owner) {}

  std::string Filter;
  std::string DefaultExt;
  std::int16_t FilterIndex = 0;
  std::int32_t Flags = 0;
  std::string FileName;

  // Modal; on OK the chosen path, which FileName then holds too. On Cancel
  // nothing, and FileName stays as it was.
  std::optional<std::string> ShowOpen() { return Show(false); }
  std::optional<std::string> ShowSave() { return Show(true); }

 private:
  std::optional<std::string> Show(bool save);

  Dialogs& dialogs_;
  QWidget* owner_;
};

}  // namespace Kelvane::Gui
