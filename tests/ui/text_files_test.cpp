// The file commands' reading and writing: line breaks, atomic replacement, refusals.
#include "ui/text_files.h"

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace velkin {
namespace {

using Lines = std::vector<std::string>;

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace

class TextFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void splitTakesEveryKindOfBreak() {
    QCOMPARE(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    // LF CR is two breaks; CR LF is one.
    QCOMPARE(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
    QCOMPARE(SplitLines("\r\r\n\n"), (Lines{"", "", "", ""}));
    // A final break ends the last line and leaves an empty one after it.
    QCOMPARE(SplitLines("ab -> ba\r\n"), (Lines{"ab -> ba", ""}));
    QCOMPARE(SplitLines(""), (Lines{""}));
    // Bytes that are not UTF-8 pass unchanged.
    QCOMPARE(SplitLines("\xff\xfe -> a"), (Lines{"\xff\xfe -> a"}));
  }

  void joinPutsBreaksBetweenOrAfter() {
    const Lines lines{"ab -> ba", "", "b -> a"};
    QCOMPARE(JoinLines(lines, LineEnds::Between), std::string("ab -> ba\r\n\r\nb -> a"));
    QCOMPARE(JoinLines(lines, LineEnds::AfterEach), std::string("ab -> ba\r\n\r\nb -> a\r\n"));
    QCOMPARE(JoinLines({}, LineEnds::AfterEach), std::string());
    QCOMPARE(JoinLines({""}, LineEnds::AfterEach), std::string("\r\n"));
    // Writing the input and reading it back gives the same lines, whatever the breaks.
    for (const char* text : {"a\nb", "a\r\nb\r\n", "", "\n", "x\ry\n\nz"}) {
      const Lines split = SplitLines(text);
      QCOMPARE(SplitLines(JoinLines(split, LineEnds::Between)), split);
    }
  }

  void saveWritesAndReplaces() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("test.srs"));
    WriteAll(path, "old text that is longer than the new one");
    const FileResult saved = SaveLines(path, {"ab -> ba", "b -> e"}, LineEnds::Between);
    QVERIFY2(saved.ok, qPrintable(saved.message));
    QCOMPARE(ReadAll(path), QByteArray("ab -> ba\r\nb -> e"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("test.srs")});
  }

  void saveIntoMissingFolderFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no such folder/x.res"));
    const FileResult saved = SaveLines(path, {"line"}, LineEnds::AfterEach);
    QVERIFY(!saved.ok);
    QVERIFY2(saved.message.startsWith(QStringLiteral("Cannot create file \"") + path + "\"."),
             qPrintable(saved.message));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
  }

  // A write that fails halfway (here: the file size limit) leaves the old file whole
  // and no temporary file behind.
  void failedWriteKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.srs"));
    WriteAll(path, "a -> b");
    const Lines big(200, std::string("abcdefghij -> jihgfedcba"));
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const FileResult saved = SaveLines(path, big, LineEnds::Between);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!saved.ok);
    QVERIFY2(saved.message.startsWith(QStringLiteral("Cannot create file \"") + path + "\".") &&
                 saved.message.contains(QStringLiteral("too large")),
             qPrintable(saved.message));
    QCOMPARE(ReadAll(path), QByteArray("a -> b"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.srs")});
  }

  void loadSplitsAndRefuses() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.srs"));
    WriteAll(path, "ab -> ba\rb -> a\r\n\n comment \xe9");
    Lines lines;
    FileResult loaded = LoadLines(path, lines);
    QVERIFY(loaded.ok);
    QCOMPARE(lines, (Lines{"ab -> ba", "b -> a", "", " comment \xe9"}));

    loaded = LoadLines(dir.filePath(QStringLiteral("missing.srs")), lines);
    QVERIFY(!loaded.ok);
    QVERIFY(lines.empty());
    QVERIFY2(loaded.message.startsWith(QStringLiteral("Cannot open file \"") +
                                       dir.filePath(QStringLiteral("missing.srs"))),
             qPrintable(loaded.message));

    // Up to the capacity the file loads; one byte more is refused.
    QFile file(dir.filePath(QStringLiteral("big.srs")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(kInputAreaCapacity));
    QVERIFY(LoadLines(file.fileName(), lines).ok);
    QCOMPARE(lines.size(), std::size_t{1});
    QCOMPARE(static_cast<std::int64_t>(lines[0].size()), kInputAreaCapacity);
    QVERIFY(file.resize(kInputAreaCapacity + 1));
    loaded = LoadLines(file.fileName(), lines);
    QVERIFY(!loaded.ok);
    QCOMPARE(loaded.message, QStringLiteral("Text exceeds memo capacity"));
    QVERIFY(lines.empty());
  }
};

}  // namespace velkin

QTEST_GUILESS_MAIN(velkin::TextFilesTest)
#include "text_files_test.moc"
