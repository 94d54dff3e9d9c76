#include "platform/clock.h"

namespace norvane {
namespace {

class SystemClock : public Clock {
 public:
  std::time_t now() const override { return std::time(nullptr); }
  LocalDateTime localNow() const override {
    std::time_t t = now();
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  }
};

}  // namespace

const Clock& systemClock() {
  static const SystemClock clock;
  return clock;
}

}  // namespace norvane
