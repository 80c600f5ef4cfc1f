#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace Kelvane::Gui {

// One showing of the file dialog, as the window asks for it.
struct FileDialogRequest {
  bool save = false;
  QStringList nameFilters;  // "Description (*.a *.b)"
  int filterIndex = 1;      // 1 for the first filter
  QString defaultSuffix;    // without the dot
  bool fileMustExist = false;
  QString fileName;  // the starting file name
};

struct FileDialogAnswer {
  QString fileName;
  int filterIndex = 1;
};

// Everything the window shows modally. The window program uses Qt's
// dialogs; tests put a scripted stand-in here so nothing ever blocks.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // The chosen file, or nothing when the user cancelled.
  virtual std::optional<FileDialogAnswer> ShowFileDialog(QWidget* parent,
                                                         const FileDialogRequest& request) = 0;
  enum class MessageKind { Error, Warning, Information };
  virtual void ShowMessage(QWidget* parent, MessageKind kind, const QString& title,
                           const QString& text) = 0;
  // A message that asks a question: true for Yes, false for No (or when it
  // is closed).
  virtual bool AskYesNo(QWidget* parent, MessageKind kind, const QString& title,
                        const QString& text) = 0;
};

class QtDialogs : public Dialogs {
 public:
  std::optional<FileDialogAnswer> ShowFileDialog(QWidget* parent,
                                                 const FileDialogRequest& request) override;
  void ShowMessage(QWidget* parent, MessageKind kind, const QString& title,
                   const QString& text) override;
  bool AskYesNo(QWidget* parent, MessageKind kind, const QString& title,
                const QString& text) override;
};

}  // namespace Kelvane::Gui
