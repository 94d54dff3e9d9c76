#pragma once
// A cpp-httplib server on 127.0.0.1 with a free port, run on its own thread
// for the lifetime of the object. Tests register their handlers on server()
// before calling start().
#include <httplib.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace norvane::test {

class LocalServer {
 public:
  LocalServer() = default;
  ~LocalServer() { stop(); }
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  httplib::Server& server() { return server_; }

  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("cannot bind a local port");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 500 && !server_.is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  void stop() {
    if (thread_.joinable()) {
      server_.stop();
      thread_.join();
    }
  }

  int port() const { return port_; }
  // The origin as oem.ini would name a local host: "http://127.0.0.1:<port>".
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace norvane::test
