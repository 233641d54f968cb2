// The window driven as a user drives it: typing, clicking, loading and saving files.
#include "ui/main_window.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <memory>

#include "ui/help_text.h"
#include "ui/text_files.h"

namespace velkin {
namespace {

// A classic run on this system ends with " no proof ": it does not terminate (b L b leads
// to b L a b, to b L a a b, and so on), so nothing proves it, but it has no loop either,
// for every turn of the head at the right adds an a (the strong strategy shows that by
// pattern rules).
const char* const kNoProofInput = "aL -> La\nRa -> aR\nbL -> bR\nRb -> Lab";

// A system that no road of the strong strategy answers (nor any tool of the 2025
// competition): a strong run on it goes on until its time limit or a cancel.
const char* const kStrongNoProofInput = "0001 -> 1101\n1001 -> 0100";

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

// Types text as keystrokes; '\n' is the return key.
void Type(QWidget* w, const QString& text) {
  const QStringList parts = text.split(QLatin1Char('\n'));
  for (int i = 0; i < parts.size(); ++i) {
    if (i > 0) QTest::keyClick(w, Qt::Key_Return);
    QTest::keyClicks(w, parts[i]);
  }
}

// Replaces the text of a one-line edit as a user would: select all, type.
void Retype(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  if (text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Delete);
  } else {
    QTest::keyClicks(edit, text);
  }
}

QStringList Lines(const QPlainTextEdit* memo) {
  QStringList lines;
  for (QTextBlock b = memo->document()->firstBlock(); b.isValid(); b = b.next()) lines << b.text();
  return lines;
}

// Counts pixels of `image` inside `rect` that are clearly red.
int RedPixels(const QImage& image, const QRect& rect) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 180 && c.green() < 90 && c.blue() < 90) ++n;
    }
  }
  return n;
}

struct ControlSpec {
  const char* name;
  const char* className;
  QRect place;
  const char* text;  // caption or initial text; nullptr where there is none
  int points;
};

// Font sizes in points; a negative size marks bold.
const ControlSpec kControls[] = {
    {"Label5", "QLabel", {16, 16, 48, 20}, "Input:", -12},
    {"Memo1", "QPlainTextEdit", {16, 40, 193, 481}, "", 10},
    {"Memo2", "QPlainTextEdit", {216, 8, 409, 537}, "", 8},
    {"Image1", "QLabel", {216, 104, 401, 450}, nullptr, 8},
    {"Button4", "QPushButton", {632, 8, 73, 33}, "START", -12},
    {"Label4", "QLabel", {632, 56, 5, 16}, "", -10},
    {"Button8", "QPushButton", {632, 88, 73, 33}, "HELP", 8},
    {"Label2", "QLabel", {632, 152, 39, 13}, "nr of att:", 8},
    {"Edit3", "QLineEdit", {672, 152, 33, 21}, "100", 8},
    {"CheckBox1", "QCheckBox", {632, 184, 65, 17}, "rem.labels", 8},
    {"CheckBox2", "QCheckBox", {632, 200, 73, 17}, "big font", 8},
    {"CheckBox3", "QCheckBox", {632, 216, 73, 17}, "match bnd", 8},
    {"CheckBox4", "QCheckBox", {632, 232, 73, 17}, "tpdb format", 8},
    {"Button7", "QPushButton", {632, 152, 73, 120}, "Customize", 8},
    {"Label6", "QLabel", {632, 272, 48, 13}, "load SRS:", 8},
    {"FileListBox1", "QListWidget", {632, 288, 73, 145}, nullptr, 8},
    {"Button3", "QPushButton", {632, 448, 73, 25}, "save SRS", 8},
    {"Button1", "QPushButton", {632, 480, 73, 25}, "save result", 8},
    {"Label3", "QLabel", {632, 512, 45, 13}, "file name:", 8},
    {"Edit1", "QLineEdit", {632, 528, 73, 21}, "file", 8},
    {"Memo4", "QPlainTextEdit", {72, 0, 441, 553}, nullptr, 8},
    {"CheckBox5", "QCheckBox", {632, 252, 47, 17}, "strong", 8},
    {"Edit4", "QLineEdit", {680, 250, 25, 21}, "60", 8},
    {"Button9", "QPushButton", {632, 124, 73, 25}, "Cancel", 8},
};

QString TextOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* m = qobject_cast<QPlainTextEdit*>(w)) return m->toPlainText();
  return QString();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  QString oldDir_;
  std::unique_ptr<TForm1> form_;
  QStringList messages_;

  TForm1& F() { return *form_; }

  void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

  void ClickFile(const QString& name) {
    const auto items = F().FileListBox1->findItems(name, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    const QRect rect = F().FileListBox1->visualItemRect(items[0]);
    QTest::mouseClick(F().FileListBox1->viewport(), Qt::LeftButton, {}, rect.center());
  }

  QStringList FileList() {
    QStringList names;
    for (int i = 0; i < F().FileListBox1->count(); ++i) names << F().FileListBox1->item(i)->text();
    return names;
  }

  // The topmost control at a point of the window (a text area's inner viewport counts
  // as the text area).
  QWidget* TopAt(QPoint p) {
    QWidget* w = F().childAt(p);
    while (w != nullptr && w->parentWidget() != form_.get()) w = w->parentWidget();
    return w;
  }

  void Run(const QString& input) {
    F().Memo1->clear();
    Type(F().Memo1, input);
    Click(F().Button4);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    oldDir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
    form_ = std::make_unique<TForm1>();
    messages_.clear();
    F().SetMessageBox([this](const QString& text) { messages_ << text; });
    F().show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  }

  void cleanup() {
    form_.reset();
    QDir::setCurrent(oldDir_);
    dir_.reset();
  }

  void controlsStandInPlace() {
    QCOMPARE(F().size(), QSize(kFormWidth, kFormHeight));
    QVERIFY(F().windowTitle().contains(QStringLiteral("VELKIN")));
    QVERIFY(F().windowTitle().contains(QStringLiteral("version 1.3")));
    for (const ControlSpec& c : kControls) {
      auto* w = F().findChild<QWidget*>(QString::fromLatin1(c.name));
      QVERIFY2(w != nullptr, c.name);
      QVERIFY2(w->parentWidget() == form_.get(), c.name);
      QVERIFY2(w->inherits(c.className), c.name);
      // Captions keep their place; a caption that the stand-in font makes wider than
      // its box may widen it, but never cut it.
      QCOMPARE(w->pos(), c.place.topLeft());
      QCOMPARE(w->height(), c.place.height());
      if (w->inherits("QLabel") || w->inherits("QCheckBox")) {
        QVERIFY2(w->width() >= c.place.width(), c.name);
        if (!TextOf(w).isEmpty()) QVERIFY2(w->sizeHint().width() <= w->width(), c.name);
        QVERIFY2(w->geometry().right() < kFormWidth, c.name);
      } else {
        QCOMPARE(w->width(), c.place.width());
      }
      if (c.text != nullptr) QCOMPARE(TextOf(w), QString::fromLatin1(c.text));
      // The requested family is missing here: the platform's sans serif stands in.
      QCOMPARE(w->font().pointSize(), std::abs(c.points));
      QCOMPARE(w->font().bold(), c.points < 0);
      QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
      QVERIFY(QFontMetrics(w->font()).inFont(QLatin1Char('a')));
    }
    QVERIFY(F().Label2->geometry().right() < F().Edit3->x());
    QCOMPARE(F().FileListBox1, F().findChild<QListWidget*>(QStringLiteral("FileListBox1")));
    QCOMPARE(F().Memo4, F().findChild<QPlainTextEdit*>(QStringLiteral("Memo4")));
    QVERIFY(F().Memo2->isReadOnly());
    QVERIFY(F().Memo4->isReadOnly());
    QVERIFY(!F().Memo1->isReadOnly());
  }

  void coloursAndPicture() {
    QCOMPARE(F().palette().color(QPalette::Window), QColor(kFormColour));
    QCOMPARE(F().Memo4->palette().color(QPalette::Base), QColor(kHelpColour));
    QCOMPARE(F().Label4->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(F().Label4->palette().color(QPalette::Window), F().palette().color(QPalette::Light));
    // What the window shows at a bare spot is its colour.
    const QImage shot = F().grab().toImage();
    QCOMPARE(shot.pixelColor(100, 10), QColor(kFormColour));
    // The picture: the fractal on the window's colour.
    const QImage picture = F().Image1->pixmap().toImage();
    QCOMPARE(picture.size(), QSize(401, 450));
    QCOMPARE(picture.pixelColor(0, 0), QColor(kFormColour));
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 3)
      for (int x = 0; x < picture.width(); x += 3) colours.insert(picture.pixel(x, y));
    QVERIFY2(colours.size() > 50, "the picture is no coloured figure");
  }

  void startsWithOptionsCoveredAndAreasHidden() {
    QVERIFY(!F().Memo2->isVisible());
    QVERIFY(!F().Memo4->isVisible());
    QVERIFY(F().Button7->isVisible());
    QVERIFY(F().Image1->isVisible());
    QCOMPARE(F().Label4->text(), QString());
    QCOMPARE(F().OutputLines(), std::vector<std::string>{""});
    // Becoming active ticked "rem.labels" and "match bnd"; the others stay unticked.
    QVERIFY(F().CheckBox1->isChecked());
    QVERIFY(!F().CheckBox2->isChecked());
    QVERIFY(F().CheckBox3->isChecked());
    QVERIFY(!F().CheckBox4->isChecked());
    QVERIFY(!F().CheckBox5->isChecked());  // the classic strategy unless asked
    QVERIFY(!F().Button9->isVisible());
    TForm1 unshown;
    QVERIFY(!unshown.CheckBox1->isChecked());
    QVERIFY(!unshown.CheckBox3->isChecked());
    // The options lie under "Customize"; the picture shows where the output would be.
    for (QWidget* w : {static_cast<QWidget*>(F().Label2), static_cast<QWidget*>(F().Edit3),
                       static_cast<QWidget*>(F().CheckBox1), static_cast<QWidget*>(F().CheckBox2),
                       static_cast<QWidget*>(F().CheckBox3), static_cast<QWidget*>(F().CheckBox4),
                       static_cast<QWidget*>(F().CheckBox5), static_cast<QWidget*>(F().Edit4)}) {
      QCOMPARE(TopAt(w->geometry().center()), static_cast<QWidget*>(F().Button7));
      QVERIFY2(F().Button7->geometry().contains(w->geometry()), qPrintable(w->objectName()));
    }
    QCOMPARE(TopAt(QPoint(400, 300)), static_cast<QWidget*>(F().Image1));
  }

  void tabOrderFollowsTheDesign() {
    const QStringList expected = {"Memo1",     "FileListBox1", "Button3",   "Edit1",     "Button4",
                                  "Memo2",     "Button1",      "Edit3",     "Button8",   "Memo4",
                                  "CheckBox1", "CheckBox2",    "CheckBox3", "CheckBox4", "Button7",
                                  "CheckBox5", "Edit4",        "Button9"};
    QStringList order;
    QWidget* w = F().Memo1;
    do {
      if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == form_.get())
        order << w->objectName();
      w = w->nextInFocusChain();
    } while (w != F().Memo1);
    QCOMPARE(order, expected);
    // Tab leaves the input area instead of typing a tab into it.
    QVERIFY(F().Memo1->tabChangesFocus());
  }

  void customizeUncoversTheOptions() {
    Click(F().Button7);
    QVERIFY(!F().Button7->isVisible());
    QCOMPARE(TopAt(F().CheckBox3->geometry().center()), static_cast<QWidget*>(F().CheckBox3));
    QCOMPARE(TopAt(F().Edit3->geometry().center()), static_cast<QWidget*>(F().Edit3));
    // Now the options answer the keyboard.
    QTest::keyClick(F().CheckBox3, Qt::Key_Space);
    QVERIFY(!F().CheckBox3->isChecked());
  }

  void helpShowsOverTheAreasAndHidesOnClick() {
    Click(F().Button8);
    QVERIFY(F().Memo4->isVisible());
    QCOMPARE(TopAt(F().Memo1->geometry().center()), static_cast<QWidget*>(F().Memo4));
    QCOMPARE(TopAt(QPoint(400, 300)), static_cast<QWidget*>(F().Memo4));
    const QStringList help = Lines(F().Memo4);
    const char* const quoted[] = {
        "Below the text 'Input' you can type a string rewrite system. The symbols should",
        "be single symbols different from ' ', '-', '>', '=', 'e'. The symbol 'e' (empty) "
        "represents the ",
        "empty string. Every rule should be on a separate line. ",
        "For proving termination of R every rule of R should be of the shape lhs -> rhs.",
        "For proving relative termination of R/S every rule of R should be of the shape lhs -> "
        "rhs",
        "and every rule of S should be of the shape lhs ->= rhs. After these rules lines "
        "starting with ",
        "a blank symbol are ignored and can be used as comment lines.",
        "Finally by clicking on 'customize' some parameters can be reset. For normal use on",
        "systems of no more than 10 rules and 5 symbols this will not be necessary. Moreover, "
        "the",
        "standard format can be reset to tpdb format.",
        "The program is non-determistic: at some points a random search is done."};
    // The quoted lines stand in order, each a whole line of its own.
    int at = 0;
    for (const char* line : quoted) {
      const int found = help.indexOf(QString::fromLatin1(line), at);
      QVERIFY2(found >= at, line);
      at = found + 1;
    }
    QVERIFY(help.constLast().endsWith(
        QStringLiteral("********  Click here to reenter the program  ********")));
    QCOMPARE(help.size(), static_cast<int>(HelpLines().size()));
    // Every line fits the area's width: none is wrapped.
    for (QTextBlock b = F().Memo4->document()->firstBlock(); b.isValid(); b = b.next())
      QVERIFY2(b.layout()->lineCount() == 1, qPrintable(b.text()));
    QTest::mouseClick(F().Memo4->viewport(), Qt::LeftButton, {}, QPoint(200, 300));
    QVERIFY(!F().Memo4->isVisible());
    QCOMPARE(TopAt(F().Memo1->geometry().center()), static_cast<QWidget*>(F().Memo1));
  }

  void bigFontSwitchesBothAreas() {
    Click(F().Button7);
    QTest::keyClick(F().CheckBox2, Qt::Key_Space);
    QVERIFY(F().CheckBox2->isChecked());
    QCOMPARE(F().Memo1->font().pointSize(), 14);
    QCOMPARE(F().Memo2->font().pointSize(), 12);
    QTest::keyClick(F().CheckBox2, Qt::Key_Space);
    QVERIFY(!F().CheckBox2->isChecked());
    QCOMPARE(F().Memo1->font().pointSize(), 10);
    QCOMPARE(F().Memo2->font().pointSize(), 8);
  }

  void saveSrsListsTheFileAndLoadsItBack() {
    QCOMPARE(FileList(), QStringList());
    Type(F().Memo1, QStringLiteral("ab -> ba\nb ->= e\n  a comment"));
    Retype(F().Edit1, QStringLiteral("test"));
    Click(F().Button3);
    QCOMPARE(messages_, QStringList());
    QCOMPARE(ReadAll(QStringLiteral("test.srs")), QByteArray("ab -> ba\r\nb ->= e\r\n  a comment"));
    QCOMPARE(FileList(), QStringList{QStringLiteral("test.srs")});
    // Loading the same text back is no input change.
    QSignalSpy changes(F().Memo1, &QPlainTextEdit::textChanged);
    ClickFile(QStringLiteral("test.srs"));
    QCOMPARE(changes.count(), 0);
    // Another file, with every kind of line break, replaces the input.
    WriteAll(QStringLiteral("other.srs"), "a -> b\rb -> c\nc -> a\r\n\r\n");
    Retype(F().Edit1, QStringLiteral("third"));
    Click(F().Button3);  // re-reads the list: other.srs shows too
    QCOMPARE(FileList(), (QStringList{"other.srs", "test.srs", "third.srs"}));
    ClickFile(QStringLiteral("other.srs"));
    QCOMPARE(changes.count(), 1);
    QCOMPARE(Lines(F().Memo1), (QStringList{"a -> b", "b -> c", "c -> a", "", ""}));
    // An empty file name saves ".srs", and that file is listed as well.
    Retype(F().Edit1, QString());
    Click(F().Button3);
    QCOMPARE(ReadAll(QStringLiteral(".srs")), QByteArray("a -> b\r\nb -> c\r\nc -> a\r\n\r\n"));
    QVERIFY(FileList().contains(QStringLiteral(".srs")));
  }

  void fileErrorsShowAMessageAndChangeNothing() {
    Type(F().Memo1, QStringLiteral("ab -> ba"));
    Retype(F().Edit1, QStringLiteral("no such folder/x"));
    Click(F().Button3);
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(
        messages_[0].startsWith(QStringLiteral("Cannot create file \"no such folder/x.srs\".")),
        qPrintable(messages_[0]));
    Click(F().Button1);
    QCOMPARE(messages_.size(), 2);
    QVERIFY(
        messages_[1].startsWith(QStringLiteral("Cannot create file \"no such folder/x.res\".")));
    QCOMPARE(FileList(), QStringList());

    // A listed file that has gone, and one too large for the input area.
    WriteAll(QStringLiteral("gone.srs"), "a -> b");
    QFile big(QStringLiteral("huge.srs"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(kInputAreaCapacity + 1));
    big.close();
    Retype(F().Edit1, QStringLiteral("kept"));
    Click(F().Button3);
    QVERIFY(QFile::remove(QStringLiteral("gone.srs")));
    QSignalSpy changes(F().Memo1, &QPlainTextEdit::textChanged);
    ClickFile(QStringLiteral("gone.srs"));
    QCOMPARE(messages_.size(), 3);
    QVERIFY2(messages_[2].startsWith(QStringLiteral("Cannot open file \"") +
                                     QDir::current().absoluteFilePath(QStringLiteral("gone.srs"))),
             qPrintable(messages_[2]));
    ClickFile(QStringLiteral("huge.srs"));
    QCOMPARE(messages_.size(), 4);
    QCOMPARE(messages_[3], QStringLiteral("Text exceeds memo capacity"));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(F().Memo1->toPlainText(), QStringLiteral("ab -> ba"));
  }

  // A refused input: the reader's message, the input as it was. The window was repainted
  // before the run began: the backing store (not touched since) shows " busy " and no
  // help text.
  void refusedInputShowsTheReadersMessage() {
    Click(F().Button8);
    QCoreApplication::processEvents();
    Type(F().Memo1, QStringLiteral("ab -> ba\nab"));
    QImage duringRun;
    F().SetMessageBox([&](const QString& text) {
      messages_ << text;
      duringRun = F().screen()->grabWindow(F().winId()).toImage();
    });
    Click(F().Button4);
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].startsWith(QStringLiteral("line 2: ")), qPrintable(messages_[0]));
    QCOMPARE(F().Memo1->toPlainText(), QStringLiteral("ab -> ba\nab"));
    QVERIFY(!F().Memo2->isVisible());
    QCOMPARE(F().Label4->text(), QString());
    QVERIFY(!duringRun.isNull());
    const qreal ratio = duringRun.devicePixelRatio();
    QCOMPARE(duringRun.pixelColor(QPoint(150, 20) * ratio), QColor(kFormColour));
    const QRect status(QPoint(632, 56) * ratio, QSize(60, 16) * ratio);
    QVERIFY2(RedPixels(duringRun, status) > 10, "\" busy \" was not painted before the run");

    // Too many symbols in one side.
    F().Memo1->clear();
    Type(F().Memo1, QStringLiteral("abababababababababab -> a"));
    Click(F().Button4);
    QCOMPARE(messages_.size(), 2);
    QVERIFY2(messages_[1].startsWith(QStringLiteral("line 1: ")), qPrintable(messages_[1]));
  }

  void provedRunShowsTheProofAndScreenshot() {
    Type(F().Memo1, QStringLiteral("ab -> ba"));
    Retype(F().Edit1, QStringLiteral("ab"));
    Click(F().Button3);  // kept as ab.srs, which the file list shows
    Click(F().Button4);
    QCOMPARE(messages_, QStringList());
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
    QVERIFY(F().Memo2->isVisible());
    QCOMPARE(TopAt(QPoint(400, 300)), static_cast<QWidget*>(F().Memo2));
    const QStringList proof = {"VELKIN 1.3 is applied to the string rewriting system",
                               "a b  -> b a ",
                               "",
                               "Choose polynomial interpretation:",
                               "a: lambda x.10x,  rest lambda x.x+1",
                               "remove: a b  -> b a ",
                               "Terminating since no rules remain."};
    QCOMPARE(Lines(F().Memo2), proof);
    // The status label fits its text.
    QVERIFY(F().Label4->width() >= F().Label4->sizeHint().width());

    const QImage shot = F().grab().toImage();
    const QString path = QStringLiteral(VELKIN_BUILD_DIR "/velkin-gui-screenshot.png");
    QVERIFY(shot.save(path));
    const qreal ratio = shot.devicePixelRatio();
    QVERIFY(RedPixels(shot, QRect(QPoint(632, 56) * ratio, QSize(73, 16) * ratio)) > 20);
    // The proof is drawn: its lines show, and different lines show different glyphs.
    const QImage output = F().Memo2->viewport()->grab().toImage();
    const int spacing = qRound(F().Memo2->fontMetrics().lineSpacing() * ratio);
    const int margin = qRound(F().Memo2->document()->documentMargin() * ratio);
    auto strip = [&](int line) {
      return output.copy(0, margin + line * spacing, output.width(), spacing);
    };
    QVERIFY(strip(0) != strip(3));
    QVERIFY(strip(3) != strip(6));
    QCOMPARE(strip(2), strip(8));  // the empty third line, and a line past the proof
    QVERIFY(strip(0) != strip(8));

    // "save result" writes every line followed by CR LF.
    Retype(F().Edit1, QStringLiteral("proof"));
    Click(F().Button1);
    QCOMPARE(ReadAll(QStringLiteral("proof.res")),
             proof.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");

    // Typing hides the output and clears the status.
    QTest::keyClick(F().Memo1, Qt::Key_End);
    QTest::keyClicks(F().Memo1, QStringLiteral(" "));
    QVERIFY(!F().Memo2->isVisible());
    QCOMPARE(F().Label4->text(), QString());
  }

  void loadingTheSameTextKeepsTheOutput() {
    Type(F().Memo1, QStringLiteral("ab -> ba"));
    Retype(F().Edit1, QStringLiteral("test"));
    Click(F().Button3);
    Click(F().Button4);
    QVERIFY(F().Memo2->isVisible());
    ClickFile(QStringLiteral("test.srs"));
    QVERIFY(F().Memo2->isVisible());
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
    // A different file is an input change.
    WriteAll(QStringLiteral("loop.srs"), "ab -> bba\n");
    Click(F().Button3);
    ClickFile(QStringLiteral("loop.srs"));
    QVERIFY(!F().Memo2->isVisible());
    QCOMPARE(F().Label4->text(), QString());
  }

  void startCoversOptionsAndHidesHelp() {
    Click(F().Button7);
    Click(F().Button8);
    QVERIFY(!F().Button7->isVisible());
    QVERIFY(F().Memo4->isVisible());
    Click(F().Button4);  // an empty input: no rules, terminating
    QVERIFY(F().Button7->isVisible());
    QVERIFY(!F().Memo4->isVisible());
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
    QCOMPARE(TopAt(F().CheckBox3->geometry().center()), static_cast<QWidget*>(F().Button7));
  }

  void saveResultWritesWhatTheOutputHolds() {
    // Before any run the output area holds one empty line.
    Retype(F().Edit1, QStringLiteral("r"));
    Click(F().Button1);
    QCOMPARE(ReadAll(QStringLiteral("r.res")), QByteArray("\r\n"));
    // After a run without a result it is empty, hidden or not.
    Run(QString::fromLatin1(kNoProofInput));
    QCOMPARE(F().Label4->text(), QStringLiteral(" no proof "));
    QVERIFY(!F().Memo2->isVisible());
    Click(F().Button1);
    QCOMPARE(ReadAll(QStringLiteral("r.res")), QByteArray());
  }

  void attemptsTextIsConvertedAtTheFinalPass() {
    Click(F().Button7);
    Retype(F().Edit3, QStringLiteral("12x"));
    // A run that ends before the final pass does not look at the field.
    Run(QStringLiteral("ab -> ba"));
    QCOMPARE(messages_, QStringList());
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
    Run(QString::fromLatin1(kNoProofInput));
    QCOMPARE(messages_, QStringList{QStringLiteral("'12x' is not a valid integer value")});
    QCOMPARE(F().Label4->text(), QStringLiteral(" busy "));
    QVERIFY(!F().Memo2->isVisible());
  }

  // The strong strategy runs on a thread of its own: the window answers meanwhile (its
  // status counts the seconds), and the tree of the strong engine is shown at the end.
  void strongRunShowsItsTreeWithoutHoldingTheWindow() {
    Click(F().Button7);
    Click(F().CheckBox5);
    QVERIFY(F().CheckBox5->isChecked());
    Retype(F().Edit4, QStringLiteral("30"));
    Type(F().Memo1, QStringLiteral("ab -> ba\nc ->= cc"));
    Click(F().Button4);
    QVERIFY(F().StrongRunning());
    QVERIFY(F().Label4->text().startsWith(QStringLiteral(" busy ")));
    QVERIFY(F().Button9->isVisible());
    QVERIFY(!F().Button4->isEnabled());
    QVERIFY(F().Memo1->isReadOnly());
    QTRY_VERIFY_WITH_TIMEOUT(!F().StrongRunning(), 60000);
    QCOMPARE(messages_, QStringList());
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
    QVERIFY(F().Memo2->isVisible());
    QVERIFY(!F().Button9->isVisible());
    QVERIFY(F().Button4->isEnabled());
    QVERIFY(!F().Memo1->isReadOnly());
    const QStringList proof = Lines(F().Memo2);
    QCOMPARE(proof.value(0), QStringLiteral("Problem 1: termination of R relative to S, with"));
    QCOMPARE(F().OutputLines().size(), static_cast<std::size_t>(proof.size()));
    // The picture, with the options uncovered to show the strategy chosen.
    Click(F().Button7);
    const QImage shot = F().grab().toImage();
    QVERIFY(shot.save(QStringLiteral(VELKIN_BUILD_DIR "/velkin-gui-strong-screenshot.png")));
    const qreal ratio = shot.devicePixelRatio();
    QVERIFY(RedPixels(shot, QRect(QPoint(632, 56) * ratio, QSize(73, 16) * ratio)) > 20);
    // "save result" writes the strong proof as it writes a classic one.
    Retype(F().Edit1, QStringLiteral("strong"));
    Click(F().Button1);
    QCOMPARE(ReadAll(QStringLiteral("strong.res")),
             proof.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    // Unticked, START is the classic run again, byte for byte.
    Click(F().CheckBox5);
    Run(QStringLiteral("ab -> ba"));
    QVERIFY(!F().StrongRunning());
    QCOMPARE(Lines(F().Memo2).value(0),
             QStringLiteral("VELKIN 1.3 is applied to the string rewriting system"));
  }

  void cancelEndsAStrongRunPromptly() {
    Click(F().Button7);
    Click(F().CheckBox5);
    Type(F().Memo1, QString::fromLatin1(kStrongNoProofInput));
    Click(F().Button4);
    QVERIFY(F().StrongRunning());
    // The window keeps answering: the status counts the seconds.
    QTRY_VERIFY_WITH_TIMEOUT(F().Label4->text() == QStringLiteral(" busy 1 s ") ||
                                 F().Label4->text() == QStringLiteral(" busy 2 s "),
                             5000);
    QElapsedTimer clock;
    clock.start();
    Click(F().Button9);
    QTRY_VERIFY_WITH_TIMEOUT(!F().StrongRunning(), 10000);
    QVERIFY2(clock.elapsed() < 5000, "Cancel took more than 5 s");
    QCOMPARE(F().Label4->text(), QStringLiteral(" cancelled "));
    QVERIFY(!F().Memo2->isVisible());
    QCOMPARE(messages_, QStringList());

    // Closing the window ends a run as well.
    Click(F().Button4);
    QVERIFY(F().StrongRunning());
    clock.restart();
    form_.reset();
    QVERIFY2(clock.elapsed() < 5000, "closing the window took more than 5 s");
  }

  void strongRunRefusals() {
    Click(F().Button7);
    Click(F().CheckBox5);
    Retype(F().Edit4, QStringLiteral("0"));
    Type(F().Memo1, QStringLiteral("ab -> ba"));
    Click(F().Button4);
    QVERIFY(!F().StrongRunning());
    QCOMPARE(
        messages_,
        QStringList{QStringLiteral("'0' is not a number of seconds above 0 and at most 1e+08")});
    QCOMPARE(F().Label4->text(), QString());
    // The reader refuses as in a classic run; without the classic capacities, a long
    // side is no reason.
    Retype(F().Edit4, QStringLiteral("20"));
    F().Memo1->clear();
    Type(F().Memo1, QStringLiteral("ab -> ba\nab"));
    Click(F().Button4);
    QTRY_VERIFY_WITH_TIMEOUT(!F().StrongRunning(), 30000);
    QCOMPARE(messages_.size(), 2);
    QVERIFY2(messages_[1].startsWith(QStringLiteral("line 2: ")), qPrintable(messages_[1]));
    QCOMPARE(F().Label4->text(), QString());
    F().Memo1->clear();
    Type(F().Memo1, QStringLiteral("abababababababababab -> a"));
    Click(F().Button4);
    QTRY_VERIFY_WITH_TIMEOUT(!F().StrongRunning(), 30000);
    QCOMPARE(messages_.size(), 2);
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
  }

  void runsShareOneState() {
    State* const before = &F().state();
    F().state().randomState = 12345;
    Run(QStringLiteral("ab -> ba"));
    Run(QStringLiteral("ab -> ba"));
    QCOMPARE(&F().state(), before);
    QCOMPARE(F().state().randomState, 12345u);  // no run reseeds the generator
  }

  // A loaded file reaches the reader byte for byte: an invalid rule line is refused, a
  // comment in another encoding is no obstacle, and saving writes the bytes back.
  void loadedBytesReachTheReader() {
    WriteAll(QStringLiteral("bad.srs"), "a\xff -> b\n");
    WriteAll(QStringLiteral("latin.srs"), "ab -> ba\r\n caf\xe9\r\n");
    Click(F().Button3);  // file.srs, and the list re-read
    ClickFile(QStringLiteral("bad.srs"));
    Click(F().Button4);
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].contains(QStringLiteral("UTF-8")), qPrintable(messages_[0]));
    ClickFile(QStringLiteral("latin.srs"));
    Click(F().Button4);
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(F().Label4->text(), QStringLiteral("terminating"));
    Retype(F().Edit1, QStringLiteral("copy"));
    Click(F().Button3);
    QCOMPARE(ReadAll(QStringLiteral("copy.srs")), QByteArray("ab -> ba\r\n caf\xe9\r\n"));
    // Once edited, the text area's own text counts.
    QTest::keyClick(F().Memo1, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(F().Memo1, QStringLiteral("x"));
    Click(F().Button3);
    QCOMPARE(ReadAll(QStringLiteral("copy.srs")), QByteArray("ab -> ba\r\n caf\xef\xbf\xbd\r\nx"));
  }
};

}  // namespace velkin

QTEST_MAIN(velkin::MainWindowTest)
#include "main_window_test.moc"
