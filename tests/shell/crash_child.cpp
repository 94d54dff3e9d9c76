// A program that installs the crash handler and then fails the way its
// argument says, for the crash handler tests:
//   crash_child DATA_FOLDER segv|fpe|ill|abort|guarded-then-segv
//   crash_child DATA_FOLDER segv-holding-library-lock MESSAGE_PROGRAM
#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/crash_handler.h"

namespace {
volatile int g_zero = 0;

[[gnu::noinline]] void writeToAddress(std::uintptr_t address) { *reinterpret_cast<volatile int*>(address) = 1; }
[[gnu::noinline]] int divide(int a, int b) { return a / b; }

// A library that keeps its lock consistent across fork() the usual way: its
// prepare handler takes the lock that its own code holds while it works.
pthread_mutex_t g_libraryLock = PTHREAD_MUTEX_INITIALIZER;
void libraryPrepare() { pthread_mutex_lock(&g_libraryLock); }
void libraryAfter() { pthread_mutex_unlock(&g_libraryLock); }
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  norvane::installCrashHandler(argv[1]);
  std::string how = argv[2];
  std::fprintf(stdout, "ready\n");
  std::fflush(stdout);
  if (how == "segv") writeToAddress(0x10);
  if (how == "fpe") std::printf("%d\n", divide(7, g_zero));
  if (how == "ill") __builtin_trap();
  if (how == "abort") std::abort();
  if (how == "segv-holding-library-lock" && argc > 3) {
    // The fault comes while the library's lock is held, with a message box to show.
    norvane::setCrashMessageProgram(argv[3]);
    pthread_atfork(libraryPrepare, libraryAfter, libraryAfter);
    pthread_mutex_lock(&g_libraryLock);
    writeToAddress(0x50);
  }
  if (how == "guarded-then-segv") {
    // A fault inside the guard is caught; once the guard is left, a fault is fatal again.
    try {
      norvane::runGuarded([] { writeToAddress(0x20); });
    } catch (const norvane::CSEHException& e) {
      std::printf("caught %u\n", e.code());
      std::fflush(stdout);
    }
    writeToAddress(0x30);
  }
  return 0;
}
