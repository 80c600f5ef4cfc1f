#include "app/gui/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace Kelvane::Gui {

std::optional<FileDialogAnswer> QtDialogs::ShowFileDialog(QWidget* parent,
                                                          const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setNameFilters(request.nameFilters);
  if (request.filterIndex >= 1 && request.filterIndex <= request.nameFilters.size())
    dialog.selectNameFilter(request.nameFilters[request.filterIndex - 1]);
  dialog.setDefaultSuffix(request.defaultSuffix);
  if (!request.fileName.isEmpty()) {
    // A relative name is taken from the working folder, as a run takes it.
    const QFileInfo start(request.fileName);
    dialog.setDirectory(start.absolutePath());
    dialog.selectFile(start.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  FileDialogAnswer answer;
  answer.fileName = dialog.selectedFiles().constFirst();
  answer.filterIndex =
      static_cast<int>(request.nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
  if (answer.filterIndex < 1) answer.filterIndex = request.filterIndex;
  return answer;
}

void QtDialogs::ShowMessage(QWidget* parent, MessageKind kind, const QString& title,
                            const QString& text) {
  switch (kind) {
    case MessageKind::Error:
      QMessageBox::critical(parent, title, text);
      break;
    case MessageKind::Warning:
      QMessageBox::warning(parent, title, text);
      break;
    case MessageKind::Information:
      QMessageBox::information(parent, title, text);
      break;
  }
}

bool QtDialogs::AskYesNo(QWidget* parent, MessageKind kind, const QString& title,
                         const QString& text) {
  const QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                 : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Question;
  QMessageBox box(icon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace Kelvane::Gui
