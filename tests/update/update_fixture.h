#pragma once
// Shared pieces of the update checker tests: a local update host, a recording
// window layer and a capture of the trace channel.
#include "update/update.h"

#include "platform/folders.h"
#include "platform/key_value_store.h"
#include "platform/profile_file.h"
#include "support/temp_dir.h"
#include "telemetry/local_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace norvane::test {

enum class InstallerMode { Complete, CutShort, NotFound, NoLength, Slow };

// The update host: "/windows/newversion.htm" and "/windows/NvrSetup.exe".
class UpdateHost {
 public:
  UpdateHost() {
    server_.server().Get("/windows/newversion.htm", [this](const httplib::Request&, httplib::Response& res) {
      ++versionHits;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        released_.wait_for(lock, std::chrono::seconds(10), [this] { return !holding_; });
      }
      std::lock_guard<std::mutex> lock(mutex_);
      if (versionMissing) {
        res.status = 404;
        res.set_content("not here", "text/plain");
      } else {
        res.set_content(versionText, "text/html");
      }
    });
    server_.server().Get("/windows/NvrSetup.exe", [this](const httplib::Request&, httplib::Response& res) {
      ++installerHits;
      std::lock_guard<std::mutex> lock(mutex_);
      const std::string bytes = installer;
      switch (installerMode) {
        case InstallerMode::Complete:
          res.set_content(bytes, "application/octet-stream");
          break;
        case InstallerMode::CutShort:
          // Announces every byte, sends half of them, then drops the connection.
          res.set_content_provider(bytes.size(), "application/octet-stream",
                                   [bytes](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset == 0) sink.write(bytes.data(), bytes.size() / 2);
                                     return false;
                                   });
          break;
        case InstallerMode::NotFound:
          res.status = 404;
          res.set_content("no installer", "text/plain");
          break;
        case InstallerMode::Slow:
          // 1000 bytes every 50 ms, for far longer than any test waits.
          res.set_content_provider(1000 * 1000, "application/octet-stream",
                                   [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                     const std::string block(1000, 'S');
                                     return sink.write(block.data(), block.size());
                                   });
          break;
        case InstallerMode::NoLength:
          res.set_chunked_content_provider("application/octet-stream",
                                           [bytes](std::size_t, httplib::DataSink& sink) {
                                             sink.write(bytes.data(), bytes.size());
                                             sink.done();
                                             return true;
                                           });
          break;
      }
    });
    server_.start();
  }

  void setVersion(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    versionText = text;
    versionMissing = false;
  }
  void setVersionMissing() {
    std::lock_guard<std::mutex> lock(mutex_);
    versionMissing = true;
  }
  void setInstallerMode(InstallerMode mode) {
    std::lock_guard<std::mutex> lock(mutex_);
    installerMode = mode;
  }
  // While held, version requests wait (a check stays running).
  void hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    holding_ = true;
  }
  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      holding_ = false;
    }
    released_.notify_all();
  }

  std::string origin() const { return server_.origin(); }
  std::string installerBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return installer;
  }

  std::atomic<int> versionHits{0};
  std::atomic<int> installerHits{0};

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool holding_ = false;
  std::string versionText = "version=1.1\n";
  bool versionMissing = false;
  std::string installer = std::string(20000, 'I') + "end of installer";
  InstallerMode installerMode = InstallerMode::Complete;
  LocalServer server_;  // last: stops before the members its handlers use go away
};

// The window layer as the checker sees it, recording every call.
class RecordingUi : public UpdateUi {
 public:
  int answer = 7;  // the two-button box answers "no" unless told otherwise
  bool alive = true;
  bool throwOnMessage = false;

  int showMessage(const std::string& key, int flags, bool owned) override {
    record("message:" + key + ":" + std::to_string(flags) + (owned ? ":owned" : ":free"));
    if (throwOnMessage) throw std::runtime_error("message box failed");
    return key == "HasUpdate" ? answer : 1;
  }
  std::string text(const std::string& key) override { return "T:" + key; }
  void showDownloadBalloon(const std::string& title, const std::string& text) override {
    record("balloon:" + title + "|" + text);
  }
  void removeTrayIcon() override { record("removeTray"); }
  void openFile(const std::string& path) override { record("open:" + path); }
  bool ownerAlive() override { return alive; }

  std::vector<std::string> events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }

 private:
  void record(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }
  std::mutex mutex_;
  std::vector<std::string> events_;
};

// Everything written to standard error (the trace channel) between start and text().
class TraceCapture {
 public:
  explicit TraceCapture(const std::string& file) : file_(file) {
    setenv("NORVANE_TRACE", "1", 1);
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    FILE* sink = std::fopen(file.c_str(), "w");
    ::dup2(::fileno(sink), STDERR_FILENO);
    std::fclose(sink);
  }
  ~TraceCapture() { restore(); }
  std::string text() {
    restore();
    return readFile(file_);
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
    unsetenv("NORVANE_TRACE");
  }
  std::string file_;
  int saved_ = -1;
};

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      unsetenv(name);
    }
    DataFolder = JoinPath(dir.path(), "Norvane");
    ensureFolder(DataFolder);
    app.path = JoinPath(DataFolder, "config.ini");
    app.CanUpdate = 1;
    oem.partnerId = 1;
    oem.hosts.update = host.origin();
    update.setSettings(app, oem);
    update.setClock(clock);
    update.setReportSender([this](int type) {
      std::lock_guard<std::mutex> lock(reportMutex);
      reportsSent.push_back(type);
    });
    update.setRunLogWriter([this](const std::string& line) { runLog.push_back(line); });
  }

  void setDay(int month, int day) { clock.set(0, LocalDateTime{2026, month, day, 9, 0, 0}); }

  void setInstalledVersion(const std::string& version) { machineStore().writeText("Version", version); }

  // Waits for the running check to end (a hung check fails the test).
  void waitIdle() {
    for (int i = 0; i < 3000 && update.isCheckRunning(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(update.isCheckRunning()) << "the check did not end";
  }

  std::vector<int> reports() {
    std::lock_guard<std::mutex> lock(reportMutex);
    return reportsSent;
  }

  std::string hasNewInstaller() { return readProfileString(app.path, "Main", "HasNewInstaller", "<none>"); }

  TempDir dir;
  UpdateHost host;
  FixedClock clock{0, LocalDateTime{2026, 12, 5, 9, 0, 0}};
  AppSettings app;
  OemSettings oem;
  std::mutex reportMutex;
  std::vector<int> reportsSent;
  std::vector<std::string> runLog;
  RecordingUi ui;
  CUpdate update;  // last: its worker ends before everything it uses goes away
};

}  // namespace norvane::test
