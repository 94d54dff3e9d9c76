#pragma once
// Scripted misbehaviour for tests: the next N answers of the server (or of one
// path) come back broken in a chosen way instead of as the real answer.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace norvane::refservice {

enum class FaultMode {
  None,
  Empty,     // status 200, empty body
  Html500,   // status 500 with an HTML error page
  Cut,       // the real answer, announced whole but cut off half way
  NotJson,   // status 200, a body that is not JSON
  NoCode,    // the real JSON answer without its "code" member
  Code,      // {"code": N, "msg": ...} with the given code
  Slow,      // the real answer after a delay
};

// "empty", "html500", "cut", "notjson", "nocode", "code", "slow", "none".
std::optional<FaultMode> faultModeFromName(const std::string& name);
std::string faultModeName(FaultMode mode);

struct Fault {
  FaultMode mode = FaultMode::None;
  int code = 0;                        // for Code
  std::chrono::milliseconds delay{0};  // for Slow
};

// Longest delay a slow answer may be given.
constexpr std::chrono::milliseconds kMaxFaultDelay{30000};

class FaultPlan {
 public:
  // Arms `count` faults; path empty means any faultable path. Replaces
  // whatever was armed before; mode None (or count 0) disarms.
  void arm(const Fault& fault, int count, const std::string& path);
  void disarm();

  // Takes one fault for an answer on `path`, when one is armed for it.
  // The server time query is only faulted when armed for its path explicitly.
  std::optional<Fault> take(const std::string& path);

  // Remaining armed answers.
  int remaining();

  // Sleeps for the delay, returning early when wakeAll() is called (shutdown).
  void sleep(std::chrono::milliseconds delay);
  void wakeAll();

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  Fault fault_;
  int count_ = 0;
  std::string path_;
};

}  // namespace norvane::refservice
