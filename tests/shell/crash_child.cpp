// A program that installs the crash handler and then fails the way its
// argument says, for the crash handler tests:
//   crash_child DATA_FOLDER segv|fpe|ill|abort|guarded-then-segv
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/crash_handler.h"

namespace {
volatile int g_zero = 0;

[[gnu::noinline]] void writeToAddress(std::uintptr_t address) { *reinterpret_cast<volatile int*>(address) = 1; }
[[gnu::noinline]] int divide(int a, int b) { return a / b; }
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
