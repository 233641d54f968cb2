#include "ui/text_files.h"

#include <unistd.h>

#include <QFile>
#include <QSaveFile>
#include <cerrno>

namespace velkin {

std::vector<std::string> SplitAtLineBreaks(std::string_view bytes) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines, LineEnds ends) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (ends == LineEnds::Between && i > 0) out += "\r\n";
    out += lines[i];
    if (ends == LineEnds::AfterEach) out += "\r\n";
  }
  return out;
}

namespace {

QString CannotCreate(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QString CannotOpen(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

}  // namespace

FileResult SaveLines(const QString& path, const std::vector<std::string>& lines, LineEnds ends) {
  // QSaveFile writes a temporary file beside the target and puts it in the target's place
  // on commit; without the direct-write fallback the target is never opened for writing.
  // Unbuffered, so that a short write shows in write()'s count: the engine reports a
  // write that stops halfway (a full disk, a size limit) only through that count.
  QSaveFile file(path);
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return {false, CannotCreate(path, file.errorString())};
  const std::string bytes = JoinLines(lines, ends);
  const auto size = static_cast<qint64>(bytes.size());
  errno = 0;
  const bool written =
      file.write(bytes.data(), size) == size && file.size() == size && ::fsync(file.handle()) == 0;
  if (!written) {
    const int code = errno;
    const QString reason = file.error() != QFileDevice::NoError || code == 0
                               ? file.errorString()
                               : qt_error_string(code);
    file.cancelWriting();
    file.commit();  // discards the temporary file
    return {false, CannotCreate(path, reason)};
  }
  if (!file.commit()) return {false, CannotCreate(path, file.errorString())};
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
  lines = SplitAtLineBreaks(std::string_view(bytes.constData(), bytes.size()));
  return {};
}

}  // namespace velkin
