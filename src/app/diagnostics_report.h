// A report for a bug report, one click away: the program's version and
// desktop, and what `keyloftctl doctor` finds, shown in a small window and
// copied to the clipboard. The doctor runs as its own process (through this
// copy's socket, as every keyloftctl command), so the window never waits on it.
#pragma once

#include <QDialog>
#include <QProcess>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

namespace keyloft {
class Localisation;
}

namespace keyloft::app {

class DiagnosticsReport : public QDialog {
  Q_OBJECT

 public:
  // doctorArguments: what keyloftctl needs besides "doctor" to reach the same keyboard.
  DiagnosticsReport(const Localisation& lang, QStringList doctorArguments, QWidget* parent = nullptr);

  // Runs the doctor; the text fills in when it ends.
  void start();
  QString text() const;
  bool done() const { return done_; }

 signals:
  void reportReady();

 private:
  void finish(const QString& doctorOutput);

  const Localisation& lang_;
  QStringList arguments_;
  QProcess doctor_;
  QPlainTextEdit* text_ = nullptr;
  QPushButton* copy_ = nullptr;
  bool done_ = false;
};

// keyloftctl beside this program, or on the PATH; empty when there is none.
QString FindKeyloftctl();

}  // namespace keyloft::app
