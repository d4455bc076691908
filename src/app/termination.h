// SIGTERM (the session ends, or `kill`) and SIGINT (Ctrl+C where keyloft was
// started) end the program as Exit does: the keyboard left between commands,
// the device threads joined, the instance lock let go. The handler only
// writes the signal's number to a pipe; the Qt thread reads it from there.
// Programs keyloft starts (a browser, the companion) get the default handling
// back when they are executed, as caught signals always do.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace keyloft::app {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // One per process: it owns the handlers until it goes.
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

 signals:
  void received(int signal);

 private:
  int readEnd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace keyloft::app
