#include "platform/worker_thread.h"

#include <condition_variable>
#include <mutex>

namespace norvane {
namespace {

// The count of work that has started and not ended, over every WorkerThread.
// Never destroyed: a worker that was let go may end while the process's
// exit-time destructors run.
class UnfinishedWork {
 public:
  static UnfinishedWork& instance() {
    static auto* work = new UnfinishedWork();
    return *work;
  }
  void begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
  }
  void end() {
    std::lock_guard<std::mutex> lock(mutex_);
    --count_;
    ended_.notify_all();
  }
  bool waitForNone(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, bound, [this] { return count_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  int count_ = 0;
};

}  // namespace

WorkerThread::~WorkerThread() { release(); }

void WorkerThread::start(std::function<void()> work) {
  if (thread_.joinable()) return;  // callers serialise; never two threads on one job
  auto finished = std::make_shared<std::atomic<bool>>(false);
  UnfinishedWork::instance().begin();
  try {
    thread_ = std::thread([finished, work = std::move(work)]() mutable {
      work();
      // What the work owned (a request and its answer) goes before the work
      // counts as ended.
      work = nullptr;
      finished->store(true);
      UnfinishedWork::instance().end();
    });
  } catch (...) {
    UnfinishedWork::instance().end();
    throw;
  }
  finished_ = std::move(finished);
}

bool WorkerThread::running() const { return thread_.joinable() && finished_ && !finished_->load(); }

void WorkerThread::join() {
  if (thread_.joinable()) thread_.join();
  finished_.reset();
}

void WorkerThread::release() {
  if (!thread_.joinable()) return;
  if (finished_ && finished_->load()) {
    thread_.join();  // ended already: nothing to wait for
  } else {
    thread_.detach();
  }
  finished_.reset();
}

bool waitForUnfinishedWork(std::chrono::milliseconds bound) { return UnfinishedWork::instance().waitForNone(bound); }

}  // namespace norvane
