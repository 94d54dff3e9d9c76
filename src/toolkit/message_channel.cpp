#include "toolkit/message_channel.h"

#include "toolkit/window.h"

namespace norvane::toolkit {

bool MessageChannel::post(unsigned number, quintptr wParam) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (window_ == nullptr) return false;
  window_->post(number, wParam);
  return true;
}

void MessageChannel::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  window_ = nullptr;
}

}  // namespace norvane::toolkit
