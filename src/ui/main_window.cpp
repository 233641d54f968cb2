#include "ui/main_window.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "model/readers.h"
#include "model/time_limit.h"
#include "prover/run.h"
#include "prover/strong_run.h"
#include "ui/fractal.h"
#include "ui/help_text.h"
#include "ui/text_files.h"
#include "version/version.h"

namespace velkin {

namespace {

// The status label's width when it holds no text.
inline constexpr int kEmptyStatusWidth = 5;

// The right-hand column: its buttons' width; captions there may grow up to the window's
// edge.
inline constexpr int kColumnLeft = 632;
inline constexpr int kColumnWidth = 73;
inline constexpr int kColumnRoom = kFormWidth - kColumnLeft - 2;

// How far a caption may be condensed, in percent of the font's normal width.
inline constexpr int kNarrowestStretch = 60;

// A font of the window's family at `points`; the platform substitutes its sans serif
// when the family is missing.
QFont FormFont(int points, bool bold = false) {
  QFont font(QString::fromLatin1(kFormFontFamily), points, bold ? QFont::Bold : QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

// Gives `control` its name (also as Qt object name), place and parent.
template <typename Control>
Control* Place(QWidget* form, const char* name, int left, int top, int width, int height) {
  auto* control = new Control(form);
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(left, top, width, height);
  return control;
}

QPushButton* PlaceButton(QWidget* form, const char* name, int left, int top, int width, int height,
                         const char* caption) {
  auto* button = Place<QPushButton>(form, name, left, top, width, height);
  button->setText(QString::fromLatin1(caption));
  button->setAutoDefault(false);
  return button;
}

// Makes a caption readable in the font at hand (the platform's stand-in for the requested
// family may run wider): the control keeps its place and grows to the right, up to
// `room` pixels wide; a caption that still does not fit is drawn condensed.
void FitCaption(QWidget* control, const QString& caption, int room) {
  const int needed = control->sizeHint().width();
  if (needed <= control->width()) return;
  control->resize(std::min(needed, room), control->height());
  if (needed <= room) return;
  const int textWidth = control->fontMetrics().horizontalAdvance(caption);
  const int available = room - (needed - textWidth);
  QFont font = control->font();
  // Start from the proportional stretch; glyph widths round, so narrow on until it fits.
  for (int stretch = std::max(kNarrowestStretch, 100 * available / std::max(1, textWidth));
       stretch >= kNarrowestStretch; --stretch) {
    font.setStretch(stretch);
    control->setFont(font);
    if (control->sizeHint().width() <= room) break;
  }
}

// Condenses the font of a text area until its longest line fits beside the vertical scroll
// bar (lines that still do not fit wrap).
void FitLines(QPlainTextEdit* memo, const QStringList& lines) {
  const int room = memo->width() - 2 * memo->frameWidth() -
                   memo->verticalScrollBar()->sizeHint().width() -
                   2 * static_cast<int>(memo->document()->documentMargin()) - 4;
  QFont font = memo->font();
  for (int stretch = 100; stretch >= kNarrowestStretch; --stretch) {
    font.setStretch(stretch);
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= room) break;
  }
  memo->setFont(font);
}

QLabel* PlaceLabel(QWidget* form, const char* name, int left, int top, int width, int height,
                   const char* caption) {
  auto* label = Place<QLabel>(form, name, left, top, width, height);
  label->setText(QString::fromLatin1(caption));
  return label;
}

QCheckBox* PlaceCheckBox(QWidget* form, const char* name, int left, int top, int width, int height,
                         const char* caption) {
  auto* box = Place<QCheckBox>(form, name, left, top, width, height);
  box->setText(QString::fromLatin1(caption));
  return box;
}

// The lines (blocks) of a text area as they stand, without any conversion of blanks.
QStringList BlockTexts(const QPlainTextEdit* memo) {
  QStringList lines;
  for (QTextBlock b = memo->document()->firstBlock(); b.isValid(); b = b.next()) {
    lines << b.text();
  }
  return lines;
}

// The status of a strong run that Cancel ended.
inline constexpr const char* kStatusCancelled = " cancelled ";

QString JoinForDisplay(const std::vector<std::string>& lines) {
  QStringList texts;
  for (const std::string& line : lines) texts << QString::fromUtf8(line.data(), line.size());
  return texts.join(QLatin1Char('\n'));
}

}  // namespace

// A strong run: the inputs are copied before it starts, the thread writes `result` and
// then asks the window's thread to show it; the window joins the thread there, or in
// its destructor after setting `stop`.
struct TForm1::StrongRun {
  std::atomic<int> stop{0};
  StrongRunResult result;
  QElapsedTimer clock;
  std::thread thread;
};

TForm1::TForm1(QWidget* parent) : QWidget(parent), state_(MakeState()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("%1: termination of string rewriting, version %2")
                     .arg(QLatin1String(kProgramName), QLatin1String(kVersion)));
  setFixedSize(kFormWidth, kFormHeight);
  setFont(FormFont(8));
  QPalette formPalette = palette();
  formPalette.setColor(QPalette::Window, QColor(kFormColour));
  setPalette(formPalette);
  setAutoFillBackground(true);
  messageBox_ = [this](const QString& text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("VELKIN"), text, QMessageBox::Ok, this);
    box.exec();
  };
  CreateControls();
  SetTabOrder();
  UpdateFileList();
  busyTimer_.setInterval(1000);
  connect(&busyTimer_, &QTimer::timeout, this, &TForm1::ShowStrongBusy);
}

TForm1::~TForm1() {
  // A run still working gives up; its result is never shown.
  if (strongRun_) {
    strongRun_->stop.store(1);
    strongRun_->thread.join();
  }
}

void TForm1::CreateControls() {
  Label5 = PlaceLabel(this, "Label5", 16, 16, 48, 20, "Input:");
  Label5->setFont(FormFont(12, true));
  FitCaption(Label5, Label5->text(), 193);  // free room above the input area

  Memo1 = Place<QPlainTextEdit>(this, "Memo1", 16, 40, 193, 481);
  Memo1->setFont(FormFont(kInputPoints));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setTabChangesFocus(true);
  connect(Memo1, &QPlainTextEdit::textChanged, this, &TForm1::Memo1Change);

  Memo2 = Place<QPlainTextEdit>(this, "Memo2", 216, 8, 409, 537);
  Memo2->setFont(FormFont(kOutputPoints));
  Memo2->setReadOnly(true);
  Memo2->setFocusPolicy(Qt::StrongFocus);
  Memo2->setTabChangesFocus(true);
  Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo2->hide();

  // The picture lies under the output area and shows while that is hidden.
  Image1 = Place<QLabel>(this, "Image1", 216, 104, kPictureWidth, kPictureHeight);
  Image1->setPixmap(QPixmap::fromImage(DrawFractalPicture(QColor(kFormColour))));
  Image1->lower();

  Button4 = PlaceButton(this, "Button4", 632, 8, 73, 33, "START");
  Button4->setFont(FormFont(12, true));
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);

  Label4 = PlaceLabel(this, "Label4", 632, 56, kEmptyStatusWidth, 16, "");
  Label4->setFont(FormFont(10, true));
  QPalette statusPalette = Label4->palette();
  statusPalette.setColor(QPalette::WindowText, Qt::red);
  statusPalette.setColor(QPalette::Window, palette().color(QPalette::Light));
  Label4->setPalette(statusPalette);
  Label4->setAutoFillBackground(true);

  Button8 = PlaceButton(this, "Button8", 632, 88, 73, 33, "HELP");
  connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);

  // Shows only while a strong run works.
  Button9 = PlaceButton(this, "Button9", 632, 124, 73, 25, "Cancel");
  connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
  Button9->hide();

  // The options, covered by "Customize" (created after them, so it lies on top).
  Label2 = PlaceLabel(this, "Label2", 632, 152, 39, 13, "nr of att:");
  Edit3 = Place<QLineEdit>(this, "Edit3", 672, 152, 33, 21);
  Edit3->setText(QStringLiteral("100"));
  CheckBox1 = PlaceCheckBox(this, "CheckBox1", 632, 184, 65, 17, "rem.labels");
  CheckBox2 = PlaceCheckBox(this, "CheckBox2", 632, 200, 73, 17, "big font");
  connect(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
  CheckBox3 = PlaceCheckBox(this, "CheckBox3", 632, 216, 73, 17, "match bnd");
  CheckBox4 = PlaceCheckBox(this, "CheckBox4", 632, 232, 73, 17, "tpdb format");
  // The strong strategy and its time limit in seconds, in one row like "nr of att:".
  CheckBox5 = PlaceCheckBox(this, "CheckBox5", 632, 252, 47, 17, "strong");
  CheckBox5->setToolTip(
      QStringLiteral("The strong strategy, with the time limit beside (seconds)"));
  Edit4 = Place<QLineEdit>(this, "Edit4", 680, 250, 25, 21);
  Edit4->setText(QString::number(kStrongDefaultTimeout));
  Edit4->setToolTip(QStringLiteral("The strong strategy's time limit in seconds"));
  FitCaption(Label2, Label2->text(), Edit3->x() - Label2->x());  // the edit follows it
  FitCaption(CheckBox5, CheckBox5->text(), Edit4->x() - CheckBox5->x());
  // The options stay within the cover button's width, so that it hides them whole.
  for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
    FitCaption(box, box->text(), kColumnWidth);
  Button7 = PlaceButton(this, "Button7", 632, 152, 73, 120, "Customize");
  Button7->raise();
  connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);

  Label6 = PlaceLabel(this, "Label6", 632, 272, 48, 13, "load SRS:");
  FitCaption(Label6, Label6->text(), kColumnRoom);
  FileListBox1 = Place<QListWidget>(this, "FileListBox1", 632, 288, 73, 145);
  FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  connect(FileListBox1, &QListWidget::itemClicked, this, &TForm1::FileListBox1Click);
  connect(FileListBox1, &QListWidget::itemActivated, this, &TForm1::FileListBox1Click);

  Button3 = PlaceButton(this, "Button3", 632, 448, 73, 25, "save SRS");
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  Button1 = PlaceButton(this, "Button1", 632, 480, 73, 25, "save result");
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  Label3 = PlaceLabel(this, "Label3", 632, 512, 45, 13, "file name:");
  FitCaption(Label3, Label3->text(), kColumnRoom);
  Edit1 = Place<QLineEdit>(this, "Edit1", 632, 528, 73, 21);
  Edit1->setText(QStringLiteral("file"));

  // The help text lies over the input and output areas when shown.
  Memo4 = Place<QPlainTextEdit>(this, "Memo4", 72, 0, 441, 553);
  QStringList help;
  for (const char* line : HelpLines()) help << QString::fromUtf8(line);
  Memo4->setPlainText(help.join(QLatin1Char('\n')));
  FitLines(Memo4, help);
  Memo4->setReadOnly(true);
  Memo4->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // long lines wrap
  Memo4->setFocusPolicy(Qt::StrongFocus);
  Memo4->setTabChangesFocus(true);
  QPalette helpPalette = Memo4->palette();
  helpPalette.setColor(QPalette::Base, QColor(kHelpColour));
  Memo4->setPalette(helpPalette);
  Memo4->viewport()->setCursor(Qt::PointingHandCursor);
  Memo4->viewport()->installEventFilter(this);
  Memo4->hide();
  Memo4->raise();
}

void TForm1::SetTabOrder() {
  QWidget* const order[] = {Memo1,     FileListBox1, Button3, Edit1,     Button4,   Memo2,
                            Button1,   Edit3,        Button8, Memo4,     CheckBox1, CheckBox2,
                            CheckBox3, CheckBox4,    Button7, CheckBox5, Edit4,     Button9};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TForm1::SetMessageBox(MessageBoxFn show) {
  messageBox_ = std::move(show);
}

void TForm1::ShowMessage(const QString& text) {
  if (messageBox_) messageBox_(text);
}

std::vector<std::string> TForm1::InputLines() const {
  if (inputIsLoadedFile_) return loadedLines_;
  std::vector<std::string> lines;
  for (const QString& line : BlockTexts(Memo1)) lines.push_back(line.toUtf8().toStdString());
  return lines;
}

void TForm1::SetStatus(const QString& text) {
  Label4->setText(text);
  const int width = text.isEmpty() ? kEmptyStatusWidth : Label4->sizeHint().width();
  Label4->resize(width, Label4->height());
}

void TForm1::ShowOutput(const std::vector<std::string>& lines) {
  outputLines_ = lines;
  Memo2->setPlainText(JoinForDisplay(outputLines_));
  Memo2->show();
}

QString TForm1::FileName(const char* extension) const {
  return Edit1->text() + QString::fromLatin1(extension);
}

void TForm1::UpdateFileList() {
  FileListBox1->clear();
  FileListBox1->addItems(QDir::current().entryList(QStringList(QStringLiteral("*.srs")),
                                                   QDir::Files | QDir::Hidden, QDir::Name));
}

void TForm1::Button4Click() {
  // The window shows that a run has begun before the work starts: the run holds the
  // user-interface thread until it ends.
  Button7->show();
  Memo4->hide();
  SetStatus(QString::fromLatin1(kStatusBusy));
  outputLines_.clear();
  Memo2->clear();
  Memo2->hide();
  if (CheckBox5->isChecked()) {
    StartStrongRun();
    return;
  }
  repaint();

  RunInputs in;
  in.lines = InputLines();
  in.format = CheckBox4->isChecked() ? InputFormat::Tpdb : InputFormat::Plain;
  in.matchBound = CheckBox3->isChecked();
  in.remLabels = CheckBox1->isChecked();
  in.attemptsText = Edit3->text().toStdString();
  const RunResult result = ExecuteRun(*state_, in);

  switch (result.outcome) {
    case RunOutcome::InputRefused:
      // Nothing ran: no status word, and the input stays as it is.
      SetStatus(QString());
      ShowMessage(QString::fromStdString(result.error.Describe()));
      return;
    case RunOutcome::AttemptsInvalid:
      // The run ends at the conversion: " busy " stays, the output stays hidden.
      ShowMessage(QString::fromStdString(result.error.message));
      return;
    case RunOutcome::Terminating:
    case RunOutcome::LoopFound:
    case RunOutcome::NoProof:
      break;
  }
  if (!result.output.empty()) ShowOutput(result.output);
  SetStatus(QString::fromStdString(result.status));
}

void TForm1::StartStrongRun() {
  const std::string limitText = Edit4->text().toStdString();
  const std::optional<double> limit = ParseTimeLimit(limitText);
  if (!limit) {
    SetStatus(QString());
    ShowMessage(QString::fromStdString(TimeLimitMessage(limitText)));
    return;
  }
  std::string text;
  for (const std::string& line : InputLines()) text += line + "\n";
  const InputFormat format = CheckBox4->isChecked() ? InputFormat::Tpdb : InputFormat::Plain;
  StrongRunOptions options;
  options.timeoutSeconds = *limit;
  auto run = std::make_unique<StrongRun>();
  options.stop = &run->stop;
  StrongRun* const r = run.get();
  r->clock.start();
  strongRun_ = std::move(run);
  SetRunControls(true);
  r->thread = std::thread([this, r, text = std::move(text), format, options] {
    r->result = RunStrongText(text, format, options);
    QMetaObject::invokeMethod(this, &TForm1::StrongRunFinished, Qt::QueuedConnection);
  });
}

void TForm1::ShowStrongBusy() {
  if (!strongRun_) return;
  // Rounded: the timer may fire a little early.
  const qint64 seconds = (strongRun_->clock.elapsed() + 500) / 1000;
  SetStatus(QStringLiteral(" busy %1 s ").arg(seconds));
}

void TForm1::SetRunControls(bool running) {
  Button4->setEnabled(!running);
  Memo1->setReadOnly(running);
  FileListBox1->setEnabled(!running);
  Button9->setVisible(running);
  Button9->setEnabled(running);
  if (running) {
    busyTimer_.start();
  } else {
    busyTimer_.stop();
  }
}

void TForm1::StrongRunFinished() {
  if (!strongRun_) return;
  strongRun_->thread.join();
  const std::unique_ptr<StrongRun> run = std::move(strongRun_);
  SetRunControls(false);
  const StrongRunResult& result = run->result;
  if (!result.failure.empty() || result.outcome == RunOutcome::InputRefused) {
    // Nothing ran: no status word, and the input stays as it is.
    SetStatus(QString());
    ShowMessage(
        QString::fromStdString(result.failure.empty() ? result.error.Describe() : result.failure));
    return;
  }
  if (!result.lines.empty()) ShowOutput(result.lines);
  switch (result.outcome) {
    case RunOutcome::Terminating:
      SetStatus(QString::fromLatin1(kStatusTerminating));
      break;
    case RunOutcome::LoopFound:
      SetStatus(QString::fromLatin1(kStatusLoopFound));
      break;
    default:
      SetStatus(QString::fromLatin1(result.stopped ? kStatusCancelled : kStatusNoProof));
  }
}

void TForm1::Button9Click() {
  if (strongRun_) strongRun_->stop.store(1);
  Button9->setEnabled(false);
}

void TForm1::Button8Click() {
  Memo4->show();
}

void TForm1::Memo4Click() {
  Memo4->hide();
}

void TForm1::Button7Click() {
  Button7->hide();
}

void TForm1::Memo1Change() {
  inputIsLoadedFile_ = false;
  Memo2->hide();
  SetStatus(QString());
}

void TForm1::CheckBox2Click() {
  const bool big = CheckBox2->isChecked();
  Memo1->setFont(FormFont(big ? kBigInputPoints : kInputPoints));
  Memo2->setFont(FormFont(big ? kBigOutputPoints : kOutputPoints));
}

void TForm1::Button3Click() {
  const FileResult saved = SaveLines(FileName(".srs"), InputLines(), LineEnds::Between);
  if (!saved.ok) {
    ShowMessage(saved.message);
    return;
  }
  UpdateFileList();
}

void TForm1::Button1Click() {
  const FileResult saved = SaveLines(FileName(".res"), outputLines_, LineEnds::AfterEach);
  if (!saved.ok) ShowMessage(saved.message);
}

void TForm1::FileListBox1Click() {
  const QListWidgetItem* item = FileListBox1->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  std::vector<std::string> lines;
  const FileResult loaded = LoadLines(QDir::current().absoluteFilePath(item->text()), lines);
  if (!loaded.ok) {
    ShowMessage(loaded.message);
    return;
  }
  if (lines == InputLines()) return;  // the same text: no input change
  QStringList texts;
  for (const std::string& line : lines) texts << QString::fromUtf8(line.data(), line.size());
  if (texts != BlockTexts(Memo1)) {
    Memo1->setPlainText(texts.join(QLatin1Char('\n')));  // Memo1Change follows
  } else {
    Memo1Change();  // the bytes differ where the shown text cannot tell
  }
  loadedLines_ = std::move(lines);
  inputIsLoadedFile_ = true;
}

void TForm1::FormActivate() {
  CheckBox1->setChecked(true);
  CheckBox3->setChecked(true);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Memo4->viewport() && event->type() == QEvent::MouseButtonRelease) {
    Memo4Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window becomes active when it is first shown.
  if (!activated_) {
    activated_ = true;
    FormActivate();
  }
}

}  // namespace velkin
