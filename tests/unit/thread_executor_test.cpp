#include "sync/thread_executor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace keyloft {
namespace {

using namespace std::chrono_literals;

TEST(ThreadExecutor, RunsTasksInOrderOnItsOwnThread) {
  ThreadExecutor executor;
  std::vector<int> order;
  std::thread::id ran;
  executor.PostAfter(30, [&] { order.push_back(3); });
  executor.Post([&] { order.push_back(1); });
  executor.RunAndWait([&] {
    order.push_back(2);
    ran = std::this_thread::get_id();
    executor.RunAndWait([&] { order.push_back(20); });  // from its own thread: at once
  });
  EXPECT_NE(ran, std::this_thread::get_id());
  std::this_thread::sleep_for(60ms);
  executor.Drain();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 20, 3}));
}

TEST(ThreadExecutor, AfterShutdownNoOneWaits) {
  ThreadExecutor executor;
  std::promise<void> blockerStarted;
  std::atomic<bool> release{false};
  executor.Post([&] {
    blockerStarted.set_value();
    while (!release) std::this_thread::sleep_for(1ms);
  });
  blockerStarted.get_future().wait();
  // A waiter whose task is queued behind the blocker, and one that comes too late.
  auto queued = std::async(std::launch::async, [&] { executor.RunAndWait([] {}); });
  std::this_thread::sleep_for(20ms);
  auto releaser = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(50ms);
    release = true;
  });
  executor.Shutdown();  // waits for the blocker, drops the queued task
  EXPECT_EQ(queued.wait_for(2s), std::future_status::ready);
  auto late = std::async(std::launch::async, [&] { executor.RunAndWait([] { FAIL() << "ran after shutdown"; }); });
  EXPECT_EQ(late.wait_for(2s), std::future_status::ready);
  releaser.get();
}

TEST(ThreadExecutor, ShutdownWaitsForTheRunningTask) {
  ThreadExecutor executor;
  std::promise<void> started;
  std::atomic<bool> finished{false};
  executor.Post([&] {
    started.set_value();
    std::this_thread::sleep_for(50ms);
    finished = true;
  });
  started.get_future().wait();
  executor.Shutdown();
  EXPECT_TRUE(finished);  // nothing the task uses is gone while it runs
}

}  // namespace
}  // namespace keyloft
