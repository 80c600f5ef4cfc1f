#include "app/gui/CommonDialog.h"

#include <QRegularExpression>
#include <QString>

namespace Kelvane::Gui {

QStringList QtNameFilters(std::string_view filter) {
  QStringList parts = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()))
                          .split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (patterns.isEmpty()) continue;
    // Qt reads the patterns from the last parentheses of the text; where
    // the description ends in the same patterns, they are shown once.
    const qsizetype open = description.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && description.endsWith(QLatin1Char(')'))) {
      const QStringList named =
          description.mid(open + 1, description.size() - open - 2)
              .split(QRegularExpression(QStringLiteral("[; ]+")), Qt::SkipEmptyParts);
      if (named == patterns) description = description.left(open).trimmed();
    }
    if (description.isEmpty()) description = patterns.join(QLatin1Char(' '));
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
  }
  return filters;
}

std::optional<std::string> CommonDialog::Show(bool save) {
  FileDialogRequest request;
  request.save = save;
  request.nameFilters = QtNameFilters(Filter);
  request.filterIndex = FilterIndex;
  QString suffix = QString::fromStdString(DefaultExt);
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  request.defaultSuffix = suffix;
  request.fileMustExist = (Flags & kFileMustExist) != 0;
  request.fileName = QString::fromStdString(FileName);

  const std::optional<FileDialogAnswer> answer = dialogs_.ShowFileDialog(owner_, request);
  if (!answer) return std::nullopt;
  FileName = answer->fileName.toStdString();
  FilterIndex = static_cast<std::int16_t>(answer->filterIndex);
  return FileName;
}

}  // namespace Kelvane::Gui
