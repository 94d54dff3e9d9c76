#include "shell/crash_handler.h"

#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/debug_trace.h"
#include "platform/file_io.h"
#include "platform/folders.h"

extern char** environ;

namespace norvane {
namespace {

const int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
const char kDumpName[] = "Error.tmp";
const char kMessageVariable[] = "NORVANE_CRASH_MESSAGE=";

// Everything the handler reads is prepared beforehand in fixed buffers: the
// handler itself only formats into stack buffers and calls async-signal-safe
// functions (open, write, close, _Fork, execve, waitpid, sigaction, raise),
// plus backtrace(), whose unwinder is loaded at installation so that it does
// not allocate in the handler.
char g_dumpPath[4096];
char g_messageProgram[4096];
volatile sig_atomic_t g_inCrash = 0;

struct GuardFrame {
  sigjmp_buf env;
  GuardFrame* previous = nullptr;
  int signal = 0;
  int signalCode = 0;
  std::uintptr_t address = 0;
};
__attribute__((tls_model("initial-exec"))) thread_local GuardFrame* t_guard = nullptr;
// The calling thread's alternate signal stack, given back when the thread ends
// (update checks each run on a new thread).
struct AlternateStack {
  void* memory = nullptr;
  ~AlternateStack() {
    if (memory == nullptr) return;
    stack_t off;
    std::memset(&off, 0, sizeof off);
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
    std::free(memory);
  }
};
thread_local AlternateStack t_altStack;

// --- async-signal-safe formatting -------------------------------------------
struct Buffer {
  char data[1024];
  std::size_t length = 0;
  void add(const char* text) {
    while (*text && length + 1 < sizeof data) data[length++] = *text++;
    data[length] = '\0';
  }
  void addHex(std::uintptr_t value) {
    char digits[2 * sizeof value + 1];
    int n = 0;
    do {
      digits[n++] = "0123456789abcdef"[value & 0xF];
      value >>= 4;
    } while (value != 0);
    while (n > 0 && length + 1 < sizeof data) data[length++] = digits[--n];
    data[length] = '\0';
  }
  void addDec(long value) {
    if (value < 0) {
      add("-");
      value = -value;
    }
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0 && length + 1 < sizeof data) data[length++] = digits[--n];
    data[length] = '\0';
  }
};

const char* signalName(int sig) {
  switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
  }
}

void buildMessage(Buffer& out, std::uint32_t code, std::uintptr_t address) {
  out.add("程序发生异常崩溃( code:");
  out.addHex(code);
  out.add(" address:");
  out.addHex(address);
  out.add(" )");
}

// The faulting address; signals sent by a process (abort, kill) have none.
std::uintptr_t faultAddress(const siginfo_t* info) {
  if (info == nullptr || info->si_code <= 0) return 0;
  return reinterpret_cast<std::uintptr_t>(info->si_addr);
}

void writeDump(int sig, const siginfo_t* info) {
  if (g_dumpPath[0] == '\0') return;
  int fd = ::open(g_dumpPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;  // no dump; the message is still shown
  Buffer head;
  head.add("Norvane crash report\nsignal=");
  head.addDec(sig);
  head.add(" (");
  head.add(signalName(sig));
  head.add(")\ncode=");
  head.addDec(info ? info->si_code : 0);
  head.add("\naddress=");
  head.addHex(faultAddress(info));
  head.add("\npid=");
  head.addDec(static_cast<long>(::getpid()));
  head.add("\nbacktrace:\n");
  writeFully(fd, head.data, head.length);
  void* frames[64];
  int count = ::backtrace(frames, 64);
  ::backtrace_symbols_fd(frames, count, fd);  // writes directly, no malloc
  ::close(fd);
}

void showMessageBox(const Buffer& message) {
  if (g_messageProgram[0] == '\0') return;
  // The environment of the box process: ours plus the message.
  static char variable[sizeof kMessageVariable + sizeof message.data];
  std::size_t n = 0;
  for (const char* p = kMessageVariable; *p; ++p) variable[n++] = *p;
  for (std::size_t i = 0; i < message.length && n + 1 < sizeof variable; ++i) variable[n++] = message.data[i];
  variable[n] = '\0';
  static char* env[512];
  std::size_t e = 0;
  for (char** p = environ; p && *p && e + 2 < 512; ++p) {
    if (std::strncmp(*p, kMessageVariable, sizeof kMessageVariable - 1) == 0) continue;
    env[e++] = *p;
  }
  env[e++] = variable;
  env[e] = nullptr;
  char* argv[] = {g_messageProgram, nullptr};
  // fork() would run the fork handlers of every library (and take the C
  // library's allocator and stream locks) first: when the fault came while
  // one of those locks was held, the report would hang forever. The bare
  // process copy runs no handlers and is safe inside a signal handler.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  pid_t pid = ::_Fork();
#else
  pid_t pid = ::fork();  // older C libraries: no bare copy to use
#endif
  if (pid == 0) {
    ::execve(g_messageProgram, argv, env);
    ::_exit(127);
  }
  if (pid < 0) return;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void endBySignal(int sig) {
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(sig, &dfl, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(sig);
  ::_exit(128 + sig);  // not reached: the default action ends the process
}

void onFatalSignal(int sig, siginfo_t* info, void*) {
  GuardFrame* guard = t_guard;
  // A fault raised by the hardware (si_code > 0) on a guarded thread goes back
  // to its guard; signals sent by kill/raise and aborts are not faults of the work.
  if (guard != nullptr && sig != SIGABRT && info != nullptr && info->si_code > 0) {
    guard->signal = sig;
    guard->signalCode = info->si_code;
    guard->address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    siglongjmp(guard->env, 1);
  }
  if (g_inCrash) endBySignal(sig);  // a fault inside the report itself
  g_inCrash = 1;

  writeDump(sig, info);
  Buffer message;
  buildMessage(message, static_cast<std::uint32_t>(sig), faultAddress(info));
  Buffer line;
  line.add(message.data);
  line.add("\n");
  writeFully(STDERR_FILENO, line.data, line.length);
  showMessageBox(message);
  endBySignal(sig);
}

void copyInto(char* target, std::size_t size, const std::string& text) {
  std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(target, text.data(), n);
  target[n] = '\0';
}

}  // namespace

void ensureAlternateSignalStack() {
  if (t_altStack.memory != nullptr) return;
  stack_t current;
  if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  std::size_t size = 64 * 1024;
  void* memory = std::malloc(size);
  if (memory == nullptr) return;
  stack_t stack;
  stack.ss_sp = memory;
  stack.ss_size = size;
  stack.ss_flags = 0;
  if (::sigaltstack(&stack, nullptr) == 0) {
    t_altStack.memory = memory;  // kept until the thread ends
  } else {
    std::free(memory);
  }
}

void setCrashDumpFolder(const std::string& dataFolder) {
  if (dataFolder.empty()) {
    g_dumpPath[0] = '\0';
    return;
  }
  copyInto(g_dumpPath, sizeof g_dumpPath, JoinPath(dataFolder, kDumpName));
}

void installCrashHandler(const std::string& dataFolder) {
  setCrashDumpFolder(dataFolder.empty() ? locateDataFolder() : dataFolder);
  // backtrace() loads the unwinder on first use, which allocates: do it now.
  void* warmUp[4];
  ::backtrace(warmUp, 4);
  ensureAlternateSignalStack();
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = onFatalSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int sig : kFatalSignals) ::sigaction(sig, &action, nullptr);
}

void setCrashMessageProgram(const std::string& program) {
  copyInto(g_messageProgram, sizeof g_messageProgram, program);
}

std::string crashMessageFromEnvironment() {
  const char* text = std::getenv("NORVANE_CRASH_MESSAGE");
  return text ? std::string(text) : std::string();
}

std::string formatCrashMessage(std::uint32_t code, std::uintptr_t address) {
  Buffer message;
  buildMessage(message, code, address);
  return std::string(message.data, message.length);
}

void runGuarded(const std::function<void()>& work) {
  ensureAlternateSignalStack();
  GuardFrame frame;
  frame.previous = t_guard;
  if (sigsetjmp(frame.env, 1) != 0) {
    // Back from a fault: the guard is this frame's again; hand over to the outer one.
    t_guard = frame.previous;
    throw CSEHException(static_cast<std::uint32_t>(frame.signal), frame.signalCode, frame.address);
  }
  t_guard = &frame;
  try {
    work();
  } catch (...) {
    t_guard = frame.previous;
    throw;
  }
  t_guard = frame.previous;
}

bool runWithFaultGuard(const std::function<void()>& work, std::uint32_t& code, std::uintptr_t& address) {
  try {
    runGuarded(work);
  } catch (const CSEHException& e) {
    code = e.code();
    address = e.address();
    return false;
  }
  return true;
}

std::string sehTraceLine(const char* file, int line, const CSEHException& e) {
  char text[512];
  std::snprintf(text, sizeof text, "Type=%d File=%s Line=%d ExceptCode=%x Address=%lx", 1, file, line,
                static_cast<unsigned>(e.code()), static_cast<unsigned long>(e.address()));
  return text;
}

std::string otherTraceLine(const char* file, int line) {
  char text[512];
  std::snprintf(text, sizeof text, "Type=%d File=%s Line=%d", 5, file, line);
  return text;
}

void traceSehException(const char* file, int line, const CSEHException& e) {
  DebugTrace("%s\n", sehTraceLine(file, line, e).c_str());
}

void traceOtherException(const char* file, int line) {
  DebugTrace("%s\n", otherTraceLine(file, line).c_str());
}

}  // namespace norvane
