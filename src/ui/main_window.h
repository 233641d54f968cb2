// The program's one window: input on the left, proof text in the middle, commands on the
// right. Every control keeps its name as member and as Qt object name.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/state.h"

namespace velkin {

// Client size of the window, in pixels at 96 dots per inch.
inline constexpr int kFormWidth = 726;
inline constexpr int kFormHeight = 579;

// The window's colours.
inline constexpr QRgb kFormColour = qRgb(252, 230, 160);
inline constexpr QRgb kHelpColour = qRgb(241, 255, 255);

// The font family that the window asks for; the platform substitutes its sans serif.
inline constexpr const char* kFormFontFamily = "MS Sans Serif";

// Font sizes of input and output, normal and with "big font".
inline constexpr int kInputPoints = 10;
inline constexpr int kOutputPoints = 8;
inline constexpr int kBigInputPoints = 14;
inline constexpr int kBigOutputPoints = 12;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Shows one message to the user and returns when it has been read.
  using MessageBoxFn = std::function<void(const QString& text)>;

  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The controls, named as in the window's design.
  QLabel* Label5;
  QPlainTextEdit* Memo1;
  QPlainTextEdit* Memo2;
  QLabel* Image1;
  QPushButton* Button4;
  QLabel* Label4;
  QPushButton* Button8;
  QLabel* Label2;
  QLineEdit* Edit3;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox4;
  QPushButton* Button7;
  QLabel* Label6;
  QListWidget* FileListBox1;
  QPushButton* Button3;
  QPushButton* Button1;
  QLabel* Label3;
  QLineEdit* Edit1;
  QPlainTextEdit* Memo4;
  // The strong strategy, under "Customize" beside the classic options: the option, its
  // time limit in seconds, and the button that cancels its run.
  QCheckBox* CheckBox5;
  QLineEdit* Edit4;
  QPushButton* Button9;

  // Replaces the modal message box (tests answer messages without blocking).
  void SetMessageBox(MessageBoxFn show);

  // The state that every run of this window shares (random sequence, banks).
  State& state() { return *state_; }

  // The input lines as the run and "save SRS" see them: the bytes of the loaded file
  // while the text is unchanged since loading, else the text area's lines in UTF-8.
  std::vector<std::string> InputLines() const;

  // The lines of the output area; one empty line before the first run.
  const std::vector<std::string>& OutputLines() const { return outputLines_; }

  // True while a strong run works on its thread.
  bool StrongRunning() const { return strongRun_ != nullptr; }

 public slots:
  void Button4Click();       // "START": the run
  void Button8Click();       // "HELP": shows the help text
  void Memo4Click();         // a click in the help text hides it
  void Button7Click();       // "Customize": uncovers the options
  void Memo1Change();        // the input changed: output hidden, status empty
  void CheckBox2Click();     // "big font"
  void Button3Click();       // "save SRS"
  void Button1Click();       // "save result"
  void FileListBox1Click();  // loads the selected file into the input
  void FormActivate();       // ticks "rem.labels" and "match bnd"
  void Button9Click();       // "Cancel": the strong run gives up

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void SetTabOrder();
  void SetStatus(const QString& text);
  void ShowOutput(const std::vector<std::string>& lines);
  void UpdateFileList();
  void ShowMessage(const QString& text);
  QString FileName(const char* extension) const;
  void StartStrongRun();
  void StrongRunFinished();
  void ShowStrongBusy();
  void SetRunControls(bool running);

  struct StrongRun;  // a strong run on its thread: its stop flag and its result

  std::unique_ptr<State> state_;
  MessageBoxFn messageBox_;
  std::vector<std::string> outputLines_{std::string()};
  // The lines of the file loaded last, kept byte for byte while the input is unchanged
  // since (a file need not be valid UTF-8; the reader judges its rule lines).
  std::vector<std::string> loadedLines_;
  bool inputIsLoadedFile_ = false;
  bool activated_ = false;
  std::unique_ptr<StrongRun> strongRun_;  // null while none runs
  QTimer busyTimer_;                      // counts the seconds of a strong run in the status
};

}  // namespace velkin
