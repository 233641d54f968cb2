#include "ui/text_files.h"

#include <QFile>

namespace velkin {

namespace {

QString CannotCreate(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QString CannotOpen(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

}  // namespace

FileResult SaveLines(const QString& path, const std::vector<std::string>& lines, LineEnds ends) {
  std::string error;
  if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), JoinLines(lines, ends), error))
    return {false, CannotCreate(path, QString::fromStdString(error))};
  return {};
}

FileResult LoadLines(const QString& path, std::vector<std::string>& lines) {
  lines.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {false, CannotOpen(path, file.errorString())};
  if (file.size() > kInputAreaCapacity) return {false, QString::fromLatin1(kTextExceedsCapacity)};
  // Read one byte past the capacity, so that a file that grows (or a special file
  // without a size) is still caught.
  const QByteArray bytes = file.read(kInputAreaCapacity + 1);
  if (file.error() != QFileDevice::NoError) return {false, CannotOpen(path, file.errorString())};
  if (bytes.size() > kInputAreaCapacity) return {false, QString::fromLatin1(kTextExceedsCapacity)};
  lines = SplitLines(std::string_view(bytes.constData(), bytes.size()));
  return {};
}

}  // namespace velkin
