#include "flash/app/file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {

std::optional<QString> QtOpenFile(QWidget* parent, const FileDialogRequest& request) {
  QString start = request.directory;
  if (!request.initialName.isEmpty() && !request.initialName.contains(QLatin1Char('*'))) {
    start = QFileInfo(start, request.initialName).filePath();
  }
  const QString chosen = QFileDialog::getOpenFileName(parent, QString(), start, request.filter);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

std::optional<QString> QtSaveFile(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent, QString(), request.directory, request.filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

}  // namespace

QString DirectoryToStartIn(const QString& path) {
  if (path.isEmpty()) return path;
  const QFileInfo info(path);
  return info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

FileDialogs& AppFileDialogs() {
  static FileDialogs dialogs{QtOpenFile, QtSaveFile};
  return dialogs;
}

QString QtFilterFromBarList(const QString& barList) {
  const QStringList parts = barList.split(QLatin1Char('|'), Qt::SkipEmptyParts);
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    // A description that already lists its patterns in brackets is used as it stands.
    if (description.contains(QLatin1Char('('))) {
      filters << description.left(description.indexOf(QLatin1Char('('))).trimmed() +
                     QStringLiteral(" (") + patterns + QLatin1Char(')');
    } else {
      filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
  }
  return filters.join(QStringLiteral(";;"));
}
