#pragma once
// The one way the program reads the time, so that code depending on the date
// (the daily update rule, the verification-code seed, the birthday default)
// can be tested with a set clock.
#include <ctime>

namespace norvane {

struct LocalDateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::time_t now() const = 0;  // seconds since the epoch
  virtual LocalDateTime localNow() const = 0;
};

// The real clock (local time zone).
const Clock& systemClock();

// A clock that stands still at a given moment; for tests and tools.
class FixedClock : public Clock {
 public:
  FixedClock(std::time_t seconds, LocalDateTime local) : seconds_(seconds), local_(local) {}
  std::time_t now() const override { return seconds_; }
  LocalDateTime localNow() const override { return local_; }
  void set(std::time_t seconds, LocalDateTime local) { seconds_ = seconds; local_ = local; }

 private:
  std::time_t seconds_;
  LocalDateTime local_;
};

}  // namespace norvane
