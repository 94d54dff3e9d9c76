#pragma once
// The built-in service: a host value of "local" in oem.ini names the reference
// service that ships beside the program (norvane-refservice). The program
// starts it for its own run, learns its origin from the first line it prints
// ("listening on http://127.0.0.1:PORT"), and ends it when the program ends.
//
// The service can never outlive the program: it is told to stop when its
// standard input closes (the program holds the only writing end, which the
// kernel closes however the program ends, SIGKILL included), and when it was
// started from the main thread it also gets SIGKILL when the program dies.
// Its standard error is the program's, so a person sees its lines.
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace norvane {

// The host value that names the built-in service.
inline constexpr char kLocalHost[] = "local";
bool isLocalHost(const std::string& host);

// Stands for the built-in service when it gave no origin: every request to it
// fails at once like an unreachable host (connection refused).
inline constexpr char kUnreachableOrigin[] = "http://127.0.0.1:0";

class BuiltInService {
 public:
  // How long after its start the service may take to print its origin; a
  // service silent for longer counts as no answer and is ended.
  static constexpr std::chrono::milliseconds kAnswerTime{5000};

  BuiltInService() = default;
  ~BuiltInService();
  BuiltInService(const BuiltInService&) = delete;
  BuiltInService& operator=(const BuiltInService&) = delete;

  // The one instance of the program, ended at exit.
  static BuiltInService& instance();

  // What to run: the program's path and its arguments. Starts nothing.
  void configure(std::string program, std::vector<std::string> arguments, std::chrono::milliseconds answerTime = kAnswerTime);

  // The reference service beside the program, in `programFolder`.
  void configureBesideProgram(const std::string& programFolder);

  // Starts the configured program unless it was started already. False when
  // nothing is configured or the process could not be made.
  bool start();

  // The origin the service printed ("http://127.0.0.1:PORT"); starts the
  // service first when it was configured but not started. Waits until the
  // first line arrives, the service ends, or the answer time has passed since
  // the start. Empty when the service gave no origin.
  std::string origin();

  // Ends the service (closes its standard input, then SIGTERM, then SIGKILL)
  // and waits for it. Safe to call more than once.
  void stop();

  // The service's process id while it runs, else -1.
  pid_t pid() const;

 private:
  void readOutput(int fd);
  void giveUpLocked(const char* reason);

  mutable std::mutex mutex_;
  std::condition_variable answered_;
  std::string program_;
  std::vector<std::string> arguments_;
  std::chrono::milliseconds answerTime_ = kAnswerTime;
  bool started_ = false;
  bool settled_ = false;  // the origin is known, or will never come
  std::string origin_;
  pid_t pid_ = -1;
  int inputFd_ = -1;  // our end of the service's standard input
  std::chrono::steady_clock::time_point deadline_;
  std::thread reader_;
};

// A host value with "local" replaced by the built-in service's origin
// (kUnreachableOrigin while it has none); any other value unchanged.
std::string resolveHost(const std::string& host);

}  // namespace norvane
