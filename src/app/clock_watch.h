// Linux's notice that the system clock was set: a timer on the real-time
// clock that is cancelled when the clock jumps (TFD_TIMER_CANCEL_ON_SET).
// The main window applies pending changes then, as it always has on a time change.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace keyloft::app {

class ClockChangeWatcher : public QObject {
  Q_OBJECT

 public:
  explicit ClockChangeWatcher(QObject* parent = nullptr);
  ~ClockChangeWatcher() override;
  // False when the system offers no such timer; the watcher then stays quiet.
  bool watching() const { return fd_ >= 0; }

 signals:
  void clockChanged();

 private:
  bool arm();
  void readable();

  int fd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace keyloft::app
