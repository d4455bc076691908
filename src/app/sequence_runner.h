// The windows' way to the keyboard: an operation of the core runs on the
// sequence thread, and what it returns comes back on the Qt thread, so a
// slow, silent or pulled keyboard never stops the window painting. While any
// runs, the runner is busy, and the windows disable what would start another.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <type_traits>
#include <utility>

#include "sync/ports.h"

namespace keyloft::app {

class SequenceRunner : public QObject {
  Q_OBJECT

 public:
  // The runner must outlive the executor's tasks: the program stops the core
  // (and so the executor) before it lets the runner go.
  explicit SequenceRunner(Executor& executor, QObject* parent = nullptr) : QObject(parent), executor_(executor) {}

  bool busy() const { return running_ > 0; }

  // work() on the sequence thread; done(result) (or done() for void work) on
  // the Qt thread afterwards.
  template <class Work, class Done>
  void run(Work work, Done done) {
    started();
    executor_.Post([this, work = std::move(work), done = std::move(done)]() mutable {
      if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
        work();
        QMetaObject::invokeMethod(this, [this, done = std::move(done)]() mutable {
          done();
          finished();
        }, Qt::QueuedConnection);
      } else {
        auto result = work();
        QMetaObject::invokeMethod(this, [this, done = std::move(done), result = std::move(result)]() mutable {
          done(result);
          finished();
        }, Qt::QueuedConnection);
      }
    });
  }

  // work() on the sequence thread, nothing to hear back.
  template <class Work>
  void run(Work work) {
    run(std::move(work), [](auto&&...) {});
  }

 signals:
  void busyChanged(bool busy);

 private:
  void started() {
    if (running_++ == 0) emit busyChanged(true);
  }
  void finished() {
    if (--running_ == 0) emit busyChanged(false);
  }

  Executor& executor_;
  int running_ = 0;
};

}  // namespace keyloft::app
