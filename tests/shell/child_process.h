#pragma once
// Runs a program as a child process for tests: chosen environment changes,
// captured standard output and error, the way it ended, a time limit.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace norvane::test {

class ChildProcess {
 public:
  struct Options {
    std::map<std::string, std::string> set;  // variables to set
    std::vector<std::string> unset;          // variables to remove
  };

  ChildProcess(std::vector<std::string> argv, Options options = {}) : argv_(std::move(argv)), options_(std::move(options)) {}
  ~ChildProcess() {
    if (pid_ > 0 && !ended_) {
      ::kill(pid_, SIGKILL);
      int status;
      ::waitpid(pid_, &status, 0);
    }
    closeFds();
  }

  bool start() {
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return false;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(err[1], STDERR_FILENO);
      ::close(out[0]);
      ::close(err[0]);
      for (const auto& name : options_.unset) ::unsetenv(name.c_str());
      for (const auto& [name, value] : options_.set) ::setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> args;
      for (auto& a : argv_) args.push_back(a.data());
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    ::fcntl(outFd_, F_SETFL, O_NONBLOCK);
    ::fcntl(errFd_, F_SETFL, O_NONBLOCK);
    return pid_ > 0;
  }

  // Waits until the process ends or the time is up; true when it ended.
  bool wait(std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!ended_) {
      drain(50);
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) {
        ended_ = true;
        status_ = status;
        break;
      }
      if (std::chrono::steady_clock::now() > until) return false;
    }
    drain(0);
    return true;
  }

  // Reads output until `text` appears in standard error or the time is up.
  bool waitForStderr(const std::string& text, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (stderr_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > until || ended_) return stderr_.find(text) != std::string::npos;
      drain(50);
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        status_ = status;
        drain(0);
      }
    }
    return true;
  }

  void signal(int sig) {
    if (pid_ > 0 && !ended_) ::kill(pid_, sig);
  }

  bool exited() const { return ended_ && WIFEXITED(status_); }
  int exitCode() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1; }
  bool signaled() const { return ended_ && WIFSIGNALED(status_); }
  int termSignal() const { return WIFSIGNALED(status_) ? WTERMSIG(status_) : 0; }
  const std::string& out() const { return stdout_; }
  const std::string& err() const { return stderr_; }

 private:
  void drain(int timeoutMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    ::poll(fds, 2, timeoutMs);
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
      int fd = i == 0 ? outFd_ : errFd_;
      if (fd < 0) continue;
      ssize_t n;
      while ((n = ::read(fd, buffer, sizeof buffer)) > 0) (i == 0 ? stdout_ : stderr_).append(buffer, static_cast<std::size_t>(n));
    }
  }
  void closeFds() {
    if (outFd_ >= 0) ::close(outFd_);
    if (errFd_ >= 0) ::close(errFd_);
    outFd_ = errFd_ = -1;
  }

  std::vector<std::string> argv_;
  Options options_;
  pid_t pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
  bool ended_ = false;
  int status_ = 0;
  std::string stdout_, stderr_;
};

}  // namespace norvane::test
