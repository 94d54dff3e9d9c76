#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace norvane {
namespace {

using namespace std::chrono_literals;

// Work that runs until the test lets it finish.
class Gate {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    opened_.notify_all();
  }
  void pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

TEST(WorkerThread, JoinWaitsForTheWork) {
  WorkerThread worker;
  EXPECT_FALSE(worker.held());
  auto gate = std::make_shared<Gate>();
  bool done = false;
  worker.start([gate, &done] {
    gate->pass();
    done = true;
  });
  EXPECT_TRUE(worker.held());
  EXPECT_TRUE(worker.running());
  gate->open();
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_FALSE(worker.held());
  EXPECT_FALSE(worker.running());
  EXPECT_TRUE(waitForUnfinishedWork(0ms));
}

TEST(WorkerThread, AReleasedWorkerEndsOnItsOwnAndKeepsWhatItOwns) {
  auto gate = std::make_shared<Gate>();
  auto owned = std::make_shared<int>(42);
  std::weak_ptr<int> seen = owned;
  {
    WorkerThread worker;
    worker.start([gate, owned = std::move(owned)] { gate->pass(); });
  }  // the owner goes without waiting
  EXPECT_FALSE(seen.expired()) << "the work still holds what it owns";
  // The work is counted until it ends, and a bounded wait says so.
  EXPECT_FALSE(waitForUnfinishedWork(50ms));
  gate->open();
  EXPECT_TRUE(waitForUnfinishedWork(10s));
  EXPECT_TRUE(seen.expired()) << "what the work owned goes before it counts as ended";
}

}  // namespace
}  // namespace norvane
