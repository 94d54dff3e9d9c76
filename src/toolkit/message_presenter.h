#pragma once
// How a message box is shown. ShowMessage hands every message to the current
// presenter; the program's own presenter runs the message dialog, tests
// install a RecordingMessagePresenter that answers with scripted results.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>
#include <mutex>
#include <vector>

namespace norvane::toolkit {

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  // Shows `text` with `caption` and the message-box flags (0x40 information,
  // 0x10 error, 0x20 warning, 0x04 two buttons); returns 6 (yes) or 7 (no/closed).
  virtual int present(QWidget* owner, const QString& text, const QString& caption, int flags) = 0;
};

// The installed presenter, or nullptr when the program's default is in use.
MessagePresenter* messagePresenter();
// Installs a presenter (nullptr restores the default); returns the previous one.
MessagePresenter* setMessagePresenter(MessagePresenter* presenter);

// Records every message and answers from a script (then with the fallback answer).
// Safe to use from worker threads.
class RecordingMessagePresenter : public MessagePresenter {
 public:
  struct Call {
    QPointer<QWidget> owner;
    bool hadOwner = false;
    QString text;
    QString caption;
    int flags = 0;
  };

  explicit RecordingMessagePresenter(int fallbackAnswer = 7) : fallback_(fallbackAnswer) {}
  int present(QWidget* owner, const QString& text, const QString& caption, int flags) override;

  void queueAnswer(int answer);
  std::vector<Call> calls() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  std::deque<int> answers_;
  int fallback_;
};

// Installs a presenter for the lifetime of the object (tests).
class ScopedMessagePresenter {
 public:
  explicit ScopedMessagePresenter(MessagePresenter* presenter) : previous_(setMessagePresenter(presenter)) {}
  ~ScopedMessagePresenter() { setMessagePresenter(previous_); }
  ScopedMessagePresenter(const ScopedMessagePresenter&) = delete;
  ScopedMessagePresenter& operator=(const ScopedMessagePresenter&) = delete;

 private:
  MessagePresenter* previous_;
};

}  // namespace norvane::toolkit
