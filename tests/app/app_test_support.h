// Shared by the GUI tests: the Qt application under the offscreen platform, a fresh program
// directory per test, and answering modal windows the way a user would.
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <string>

class QWidget;

namespace apptest {

// A program directory in a fresh temporary folder.
class ProgramDir {
 public:
  ProgramDir();
  std::string Path() const;  // ends in '/'
  QString File(const QString& name) const;
  void Write(const QString& name, const QByteArray& contents) const;
  QByteArray Read(const QString& name) const;
  bool Exists(const QString& name) const;

 private:
  QTemporaryDir dir_;
};

// A CHIPDEF.INI section; areas as "start,end" pairs of hexadecimal numbers.
QByteArray ChipSection(const QString& name, const QString& starts, const QString& ends,
                       const QString& clocks = QStringLiteral("10,20"),
                       const QString& bauds = QStringLiteral("9600,19200"));

// Runs action on the next modal window that opens (other than the one given), from a
// timer that re-arms itself until the window exists. The window is passed in.
void WhenModal(std::function<void(QWidget*)> action, QWidget* besides = nullptr);

// A message box answerer: records each box's caption and text and presses its button
// (OK, or the given one).
struct BoxLog {
  QStringList captions;
  QStringList texts;
};
void AnswerNextBox(BoxLog& log, int button = 0x00000400 /* QMessageBox::Ok */,
                   QWidget* besides = nullptr);

// Processes events until condition holds or timeoutMs passes; returns condition().
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

}  // namespace apptest

// Readable QString values in failure messages.
#include <ostream>
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
