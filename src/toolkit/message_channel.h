#pragma once
// A worker's way back to a window that may go before the worker ends: post()
// reaches the window while it lives and does nothing once it has gone. A
// window hands out its channel (Window::messageChannel) and closes it as it
// is destroyed.
#include <QtGlobal>

#include <mutex>

namespace norvane::toolkit {

class Window;

class MessageChannel {
 public:
  explicit MessageChannel(Window* window) : window_(window) {}
  MessageChannel(const MessageChannel&) = delete;
  MessageChannel& operator=(const MessageChannel&) = delete;

  // Posts message `number` with `wParam` to the window, from any thread;
  // false (and nothing posted) once the window has gone.
  bool post(unsigned number, quintptr wParam = 0);

  // The window's end: later posts do nothing. Returns once no post is under way.
  void close();

 private:
  std::mutex mutex_;
  Window* window_;
};

}  // namespace norvane::toolkit
