#include "toolkit/message_presenter.h"

#include <atomic>

namespace norvane::toolkit {
namespace {
std::atomic<MessagePresenter*> g_presenter{nullptr};
}

MessagePresenter* messagePresenter() { return g_presenter.load(); }

MessagePresenter* setMessagePresenter(MessagePresenter* presenter) { return g_presenter.exchange(presenter); }

int RecordingMessagePresenter::present(QWidget* owner, const QString& text, const QString& caption, int flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  Call call;
  call.owner = owner;
  call.hadOwner = owner != nullptr;
  call.text = text;
  call.caption = caption;
  call.flags = flags;
  calls_.push_back(call);
  if (answers_.empty()) return fallback_;
  int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void RecordingMessagePresenter::queueAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(answer);
}

std::vector<RecordingMessagePresenter::Call> RecordingMessagePresenter::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

}  // namespace norvane::toolkit
