#pragma once
// A worker thread that its owner either waits for or lets go.
//
// A window whose close must not wait for a service request (it would freeze
// the program until the service answers) lets its worker go: the work then
// ends on its own, so it must own everything it touches (copies and shared
// objects, never the window). The process keeps count of unfinished work, so
// that its end can give a worker that was let go a short while to finish
// (waitForUnfinishedWork).
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace norvane {

class WorkerThread {
 public:
  WorkerThread() = default;
  // Lets a running worker go; never blocks.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `work` on a new thread. Throws std::system_error when no thread can
  // be started. Must not be called while a worker is held.
  void start(std::function<void()> work);

  // True from start until join or release (whether or not the work has ended).
  bool held() const { return thread_.joinable(); }
  // True while the held worker's work has not ended.
  bool running() const;

  // Waits for the held worker to end.
  void join();
  // Lets the held worker finish on its own; nobody waits for it any more.
  void release();

 private:
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> finished_;
};

// Waits at most `bound` until no work of any WorkerThread runs; true when none
// does (any more).
bool waitForUnfinishedWork(std::chrono::milliseconds bound);

}  // namespace norvane
