#pragma once

#include <QStringList>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "app/gui/Dialogs.h"

class QWidget;

namespace Kelvane::Gui {

// Raised by ShowOpen and ShowSave on Cancel when CancelError is set.
class DialogCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "Cancel was selected"; }
};

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

  bool CancelError = false;
  std::string Filter;
  std::string DefaultExt;
  std::int16_t FilterIndex = 0;
  std::int32_t Flags = 0;
  std::string FileName;

  // Modal; on OK FileName holds the chosen path. On Cancel FileName stays
  // as it was, and DialogCancelled is raised when CancelError is set.
  void ShowOpen() { Show(false); }
  void ShowSave() { Show(true); }

 private:
  void Show(bool save);

  Dialogs& dialogs_;
  QWidget* owner_;
};

}  // namespace Kelvane::Gui
