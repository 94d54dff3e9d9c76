#include "platform/built_in_service.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/debug_trace.h"

namespace norvane {
namespace {

const char kServiceProgram[] = "norvane-refservice";
const char kFirstLinePrefix[] = "listening on ";

bool onMainThread() { return ::syscall(SYS_gettid) == ::getpid(); }

// "listening on http://127.0.0.1:18080" -> "http://127.0.0.1:18080"; empty
// for any other line.
std::string originFromLine(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  if (line.rfind(kFirstLinePrefix, 0) != 0) return "";
  std::string origin = line.substr(std::strlen(kFirstLinePrefix));
  if (origin.rfind("http://", 0) != 0 || origin.size() == std::strlen("http://")) return "";
  for (char c : origin)
    if (std::isspace(static_cast<unsigned char>(c))) return "";
  return origin;
}

// Waits for the child to end for at most `limitMs`; true when it was reaped.
bool reapWithin(pid_t pid, int limitMs) {
  for (int waited = 0;; waited += 10) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (waited >= limitMs) return false;
    ::usleep(10 * 1000);
  }
}

}  // namespace

bool isLocalHost(const std::string& host) {
  if (host.size() != std::strlen(kLocalHost)) return false;
  for (std::size_t i = 0; i < host.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(host[i])) != kLocalHost[i]) return false;
  return true;
}

BuiltInService::~BuiltInService() { stop(); }

BuiltInService& BuiltInService::instance() {
  static BuiltInService service;
  return service;
}

void BuiltInService::configure(std::string program, std::vector<std::string> arguments,
                               std::chrono::milliseconds answerTime) {
  std::lock_guard<std::mutex> lock(mutex_);
  program_ = std::move(program);
  arguments_ = std::move(arguments);
  answerTime_ = answerTime;
}

void BuiltInService::configureBesideProgram(const std::string& programFolder) {
  configure(programFolder + "/" + kServiceProgram, {"--port", "0", "--until-stdin-closes"});
}

bool BuiltInService::start() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) return pid_ > 0;
  if (program_.empty()) return false;
  started_ = true;
  deadline_ = std::chrono::steady_clock::now() + answerTime_;

  // Everything the child needs is made before the fork: after it, only
  // async-signal-safe calls may run there.
  std::vector<std::string> words;
  words.push_back(program_);
  words.insert(words.end(), arguments_.begin(), arguments_.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  static const char kExecFailed[] = "norvane: cannot run the built-in service\n";

  int input[2], output[2];
  if (::pipe2(input, O_CLOEXEC) != 0) {
    settled_ = true;
    return false;
  }
  if (::pipe2(output, O_CLOEXEC) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    settled_ = true;
    return false;
  }
  const pid_t parent = ::getpid();
  // The kernel sends the death signal when the thread that forked ends, so
  // it is only asked for from the main thread; the input pipe covers the rest.
  const bool deathSignal = onMainThread();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (deathSignal) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(1);  // the program ended before the request took effect
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Lifted above the standard descriptors first, so that neither end can
    // land on the other's place when the program runs with 0 or 1 closed.
    int in = ::fcntl(input[0], F_DUPFD_CLOEXEC, 3);
    int out = ::fcntl(output[1], F_DUPFD_CLOEXEC, 3);
    if (in < 0 || out < 0) ::_exit(127);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ssize_t ignored = ::write(STDERR_FILENO, kExecFailed, sizeof kExecFailed - 1);
    (void)ignored;
    ::_exit(127);
  }
  ::close(input[0]);
  ::close(output[1]);
  if (pid < 0) {
    ::close(input[1]);
    ::close(output[0]);
    settled_ = true;
    std::fprintf(stderr, "norvane: cannot start the built-in service: %s\n", std::strerror(errno));
    return false;
  }
  pid_ = pid;
  inputFd_ = input[1];
  DebugTrace("built-in service: started %s, pid %d\n", program_.c_str(), static_cast<int>(pid));
  reader_ = std::thread([this, fd = output[0]] { readOutput(fd); });
  return true;
}

void BuiltInService::readOutput(int fd) {
  std::string line;
  bool firstLine = true;
  char buffer[512];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (!firstLine) continue;  // later output is not ours to show: it is dropped
    line.append(buffer, static_cast<std::size_t>(n));
    std::size_t end = line.find('\n');
    if (end == std::string::npos) {
      if (line.size() > 4096) line.clear();  // not a first line of ours; keep waiting for one
      continue;
    }
    firstLine = false;
    std::string origin = originFromLine(line.substr(0, end));
    std::lock_guard<std::mutex> lock(mutex_);
    if (settled_) continue;  // given up already
    if (origin.empty()) {
      giveUpLocked("answered with an unexpected first line");
    } else {
      origin_ = origin;
      settled_ = true;
      DebugTrace("built-in service: pid %d at %s\n", static_cast<int>(pid_), origin_.c_str());
      answered_.notify_all();
    }
  }
  ::close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!settled_) giveUpLocked("ended before it answered");
}

void BuiltInService::giveUpLocked(const char* reason) {
  settled_ = true;
  origin_.clear();
  std::fprintf(stderr, "norvane: the built-in service %s; naming requests fail until the program is started again\n",
               reason);
  if (pid_ > 0) ::kill(pid_, SIGKILL);  // reaped by stop()
  answered_.notify_all();
}

std::string BuiltInService::origin() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_ && program_.empty()) return "";
  }
  start();
  std::unique_lock<std::mutex> lock(mutex_);
  if (!answered_.wait_until(lock, deadline_, [this] { return settled_; })) {
    char reason[96];
    std::snprintf(reason, sizeof reason, "did not answer within %lld ms",
                  static_cast<long long>(answerTime_.count()));
    giveUpLocked(reason);
  }
  return origin_;
}

void BuiltInService::stop() {
  pid_t pid;
  int inputFd;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pid = pid_;
    inputFd = inputFd_;
    pid_ = -1;
    inputFd_ = -1;
    if (!settled_) {
      settled_ = true;  // nobody waits for an origin that will not come
      answered_.notify_all();
    }
  }
  if (inputFd >= 0) ::close(inputFd);  // the service's sign to stop
  if (pid > 0 && !reapWithin(pid, 2000)) {
    ::kill(pid, SIGTERM);
    if (!reapWithin(pid, 1000)) {
      ::kill(pid, SIGKILL);
      reapWithin(pid, 1000);
    }
  }
  if (reader_.joinable()) reader_.join();
}

pid_t BuiltInService::pid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pid_;
}

std::string resolveHost(const std::string& host) {
  if (!isLocalHost(host)) return host;
  std::string origin = BuiltInService::instance().origin();
  return origin.empty() ? kUnreachableOrigin : origin;
}

}  // namespace norvane
