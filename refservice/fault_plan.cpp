#include "refservice/fault_plan.h"

#include <algorithm>

namespace norvane::refservice {

namespace {
struct ModeName {
  FaultMode mode;
  const char* name;
};
const ModeName kModeNames[] = {
    {FaultMode::None, "none"},       {FaultMode::Empty, "empty"},   {FaultMode::Html500, "html500"},
    {FaultMode::Cut, "cut"},         {FaultMode::NotJson, "notjson"}, {FaultMode::NoCode, "nocode"},
    {FaultMode::Code, "code"},       {FaultMode::Slow, "slow"},
};
const char* kTimePath = "/system/timenow";
}  // namespace

std::optional<FaultMode> faultModeFromName(const std::string& name) {
  for (const ModeName& m : kModeNames) {
    if (name == m.name) return m.mode;
  }
  return std::nullopt;
}

std::string faultModeName(FaultMode mode) {
  for (const ModeName& m : kModeNames) {
    if (mode == m.mode) return m.name;
  }
  return "none";
}

void FaultPlan::arm(const Fault& fault, int count, const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  fault_ = fault;
  fault_.delay = std::clamp(fault_.delay, std::chrono::milliseconds(0), kMaxFaultDelay);
  count_ = fault.mode == FaultMode::None ? 0 : std::max(count, 0);
  path_ = path;
}

void FaultPlan::disarm() { arm(Fault{}, 0, {}); }

std::optional<Fault> FaultPlan::take(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ <= 0) return std::nullopt;
  if (path_.empty() ? path == kTimePath : path != path_) return std::nullopt;
  --count_;
  return fault_;
}

int FaultPlan::remaining() {
  std::lock_guard<std::mutex> lock(mutex_);
  return count_;
}

void FaultPlan::sleep(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::min(delay, kMaxFaultDelay), [this] { return stopping_; });
}

void FaultPlan::wakeAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
}

}  // namespace norvane::refservice
