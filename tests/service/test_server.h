#pragma once
// A real HTTP server on 127.0.0.1 for tests of the service client: it answers
// the server-time query and the signed POSTs with scripted answers and keeps
// every request it received, so tests can check what crossed the wire.
#include <httplib.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace norvane::test {

struct RecordedRequest {
  std::string method;
  std::string path;
  std::string body;
  httplib::Headers headers;

  // Every value of a header (case-insensitive name).
  std::vector<std::string> header(const std::string& name) const {
    std::vector<std::string> values;
    auto range = headers.equal_range(name);
    for (auto it = range.first; it != range.second; ++it) values.push_back(it->second);
    return values;
  }
};

class TestServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  TestServer() {
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
      handle(req, res);
    });
    server_.Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
      handle(req, res);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    for (int i = 0; i < 500 && !server_.is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }

  ~TestServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }

  int port() const { return port_; }
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

  // The answer to GET /system/timenow.
  void setTime(const std::string& body) { answer("/system/timenow", body, 200, "text/plain"); }

  // A fixed answer for a path.
  void answer(const std::string& path, const std::string& body, int status = 200,
              const std::string& contentType = "application/json") {
    on(path, [body, status, contentType](const httplib::Request&, httplib::Response& res) {
      res.status = status;
      res.set_content(body, contentType.c_str());
    });
  }

  // A handler of its own for a path (broken transfers, huge answers).
  void on(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[path] = std::move(handler);
  }

  std::vector<RecordedRequest> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  std::size_t requestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
  }

  // The requests that reached a path.
  std::vector<RecordedRequest> requestsTo(const std::string& path) const {
    std::vector<RecordedRequest> out;
    for (const RecordedRequest& r : requests())
      if (r.path == path) out.push_back(r);
    return out;
  }

 private:
  void handle(const httplib::Request& req, httplib::Response& res) {
    Handler handler;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back({req.method, req.path, req.body, req.headers});
      auto it = handlers_.find(req.path);
      if (it != handlers_.end()) handler = it->second;
    }
    if (handler) {
      handler(req, res);
    } else {
      res.status = 404;
      res.set_content("", "text/plain");
    }
  }

  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, Handler> handlers_;
  std::vector<RecordedRequest> requests_;
};

}  // namespace norvane::test
