#pragma once
// Last-resort diagnostics of the process (no Qt, so workers and tools can link it).
//
// Fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) reach one handler
// that runs on an alternate stack, so a stack overflow is reported too. It
// writes "Error.tmp" into the data folder (signal, code, fault address and a
// backtrace), prints "程序发生异常崩溃( code:%x address:%x )" to standard error,
// optionally shows the same text in a message box (title "except") through a
// child process, and then lets the signal end the process.
//
// A worker thread can instead survive a synchronous fault in its own work by
// running that work under runGuarded(): a SIGSEGV, SIGBUS, SIGFPE or SIGILL
// raised on that thread while the guard is active becomes a thrown
// CSEHException.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace norvane {

// A hardware fault turned into a C++ exception on a guarded thread.
class CSEHException : public std::exception {
 public:
  CSEHException(std::uint32_t code, int signalCode, std::uintptr_t address)
      : code_(code), signalCode_(signalCode), address_(address) {}
  // The signal number (SIGSEGV, SIGFPE, ...).
  std::uint32_t code() const { return code_; }
  // The signal's si_code (for SIGSEGV: SEGV_MAPERR, SEGV_ACCERR, ...).
  int signalCode() const { return signalCode_; }
  // The faulting address the kernel reported (si_addr).
  std::uintptr_t address() const { return address_; }
  const char* what() const noexcept override { return "hardware fault"; }

 private:
  std::uint32_t code_;
  int signalCode_;
  std::uintptr_t address_;
};

// Installs the fatal-signal handler with its alternate stack for the calling
// thread. dataFolder is where "Error.tmp" goes; it may be empty now and set
// later with setCrashDumpFolder (until then the handler uses locateDataFolder()).
void installCrashHandler(const std::string& dataFolder = std::string());

// Changes the folder that receives "Error.tmp" (copied; at most 4095 bytes).
void setCrashDumpFolder(const std::string& dataFolder);

// When set, the handler runs `program` (normally /proc/self/exe) with the
// environment variable NORVANE_CRASH_MESSAGE holding the crash text and waits
// for it, so the user sees a message box before the process ends. The program
// must show the box and exit when it finds that variable (see
// crashMessageFromEnvironment). Off by default (tests, command-line runs).
void setCrashMessageProgram(const std::string& program);

// The crash text a crashing parent handed to this process, or empty.
std::string crashMessageFromEnvironment();

// "程序发生异常崩溃( code:%x address:%x )" for the given values.
std::string formatCrashMessage(std::uint32_t code, std::uintptr_t address);

// Gives the calling thread an alternate signal stack (each thread that wants
// a stack overflow on itself reported needs one; runGuarded installs it).
void ensureAlternateSignalStack();

// Runs work on the calling thread. A synchronous SIGSEGV, SIGBUS, SIGFPE or
// SIGILL raised by this thread inside work jumps back here and is thrown as
// CSEHException; other exceptions pass through unchanged. Guards nest.
// Limits: the frames between the fault and this call are abandoned without
// running their destructors (memory they own leaks, locks they hold stay
// held), so the guarded work must not hold locks or shared state it would
// leave broken; faults on other threads and SIGABRT are not caught.
void runGuarded(const std::function<void()>& work);

// The same without exceptions: true when work ran to its end; false with the
// fault's code (signal number) and address when a fault ended it.
bool runWithFaultGuard(const std::function<void()>& work, std::uint32_t& code, std::uintptr_t& address);

// Catch-site trace lines written with DebugTrace:
//   "Type=1 File=<file> Line=<line> ExceptCode=<hex> Address=<hex>" for a CSEHException,
//   "Type=5 File=<file> Line=<line>" for any other exception.
// file is the bare source file name without folders.
void traceSehException(const char* file, int line, const CSEHException& e);
void traceOtherException(const char* file, int line);
std::string sehTraceLine(const char* file, int line, const CSEHException& e);
std::string otherTraceLine(const char* file, int line);

}  // namespace norvane
