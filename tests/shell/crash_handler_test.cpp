#include "shell/crash_handler.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <csignal>
#include <stdexcept>
#include <thread>

#include "shell/child_process.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::ChildProcess;
using test::TempDir;
using namespace std::chrono_literals;

const std::string kCrashChild = std::string(NORVANE_TEST_BIN_DIR) + "/crash_child";

struct CrashCase {
  const char* how;
  int signal;
  const char* address;  // expected "address:" text, or nullptr when it varies
};

void PrintTo(const CrashCase& c, std::ostream* os) { *os << c.how; }

class CrashHandlerTest : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashHandlerTest, WritesErrorTmpPrintsMessageAndEndsBySignal) {
  const CrashCase& c = GetParam();
  TempDir data;
  ChildProcess child({kCrashChild, data.path(), c.how});
  ASSERT_TRUE(child.start());
  ASSERT_TRUE(child.wait(20s));

  EXPECT_TRUE(child.signaled()) << "exit code " << child.exitCode();
  EXPECT_EQ(child.termSignal(), c.signal);

  char code[32];
  std::snprintf(code, sizeof code, "code:%x address:", c.signal);
  std::string expected = std::string("程序发生异常崩溃( ") + code;
  EXPECT_NE(child.err().find(expected), std::string::npos) << child.err();
  if (c.address) {
    EXPECT_NE(child.err().find(std::string("address:") + c.address + " )"), std::string::npos) << child.err();
  }

  std::string dump = test::readFile(data.file("Error.tmp"));
  EXPECT_NE(dump.find("signal=" + std::to_string(c.signal)), std::string::npos) << dump;
  EXPECT_NE(dump.find("backtrace:\n"), std::string::npos);
  // backtrace_symbols_fd wrote at least the handler's and the faulting frames.
  EXPECT_NE(dump.find("crash_child"), std::string::npos) << dump;
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashHandlerTest,
                         ::testing::Values(CrashCase{"segv", SIGSEGV, "10"}, CrashCase{"fpe", SIGFPE, nullptr},
                                           CrashCase{"ill", SIGILL, nullptr}, CrashCase{"abort", SIGABRT, "0"}),
                         [](const auto& info) { return std::string(info.param.how); });

TEST(CrashHandler, UnwritableDataFolderStillPrintsTheMessage) {
  TempDir data;
  std::string missing = data.file("no/such/folder");
  ChildProcess child({kCrashChild, missing, "segv"});
  ASSERT_TRUE(child.start());
  ASSERT_TRUE(child.wait(20s));
  EXPECT_EQ(child.termSignal(), SIGSEGV);
  EXPECT_NE(child.err().find("程序发生异常崩溃( code:b address:10 )"), std::string::npos) << child.err();
}

TEST(CrashHandler, MessageProgramRunsEvenWhenTheFaultHoldsALibraryLock) {
  // The message program records the text it was handed; the fault happens
  // while a lock that a fork handler wants is held, which must not hang the
  // crash report.
  TempDir data;
  const std::string program = data.file("show-message");
  test::writeFile(program, "#!/bin/sh\nprintf '%s' \"$NORVANE_CRASH_MESSAGE\" > \"$0.shown\"\n");
  ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
  ChildProcess child({kCrashChild, data.path(), "segv-holding-library-lock", program});
  ASSERT_TRUE(child.start());
  ASSERT_TRUE(child.wait(20s)) << "the crash report hung";
  EXPECT_EQ(child.termSignal(), SIGSEGV);
  EXPECT_EQ(test::readFile(program + ".shown"), "程序发生异常崩溃( code:b address:50 )");
  EXPECT_NE(test::readFile(data.file("Error.tmp")).find("address=50"), std::string::npos);
}

TEST(CrashHandler, GuardCatchesFaultAndLeavingItMakesFaultsFatalAgain) {
  TempDir data;
  ChildProcess child({kCrashChild, data.path(), "guarded-then-segv"});
  ASSERT_TRUE(child.start());
  ASSERT_TRUE(child.wait(20s));
  EXPECT_NE(child.out().find("caught 11"), std::string::npos) << child.out();
  EXPECT_EQ(child.termSignal(), SIGSEGV);
  EXPECT_NE(child.err().find("address:30 )"), std::string::npos) << child.err();
  EXPECT_TRUE(test::readFile(data.file("Error.tmp")).find("address=30") != std::string::npos);
}

// --- the fault guard, in this process ---------------------------------------

volatile int g_zero = 0;
volatile int g_sink = 0;
[[gnu::noinline]] int readAddress(std::uintptr_t address) { return *reinterpret_cast<volatile int*>(address); }
[[gnu::noinline]] int divide(int a, int b) { return a / b; }

class FaultGuardTest : public ::testing::Test {
 protected:
  void SetUp() override { installCrashHandler(dir_.path()); }
  TempDir dir_;
};

TEST_F(FaultGuardTest, FaultsBecomeExceptionsWithCodeAndAddress) {
  struct Case {
    std::function<void()> work;
    unsigned code;
    std::uintptr_t address;  // 0: not checked
  };
  const Case cases[] = {
      {[] { readAddress(0x40); }, SIGSEGV, 0x40},
      {[] { g_sink = divide(g_sink + 7, g_zero); }, SIGFPE, 0},
  };
  for (const Case& c : cases) {
    try {
      runGuarded(c.work);
      ADD_FAILURE() << "no exception for code " << c.code;
    } catch (const CSEHException& e) {
      EXPECT_EQ(e.code(), c.code);
      if (c.address) {
        EXPECT_EQ(e.address(), c.address);
      }
    }
  }
}

TEST_F(FaultGuardTest, OtherExceptionsAndNormalReturnPassThrough) {
  int ran = 0;
  EXPECT_NO_THROW(runGuarded([&] { ++ran; }));
  EXPECT_EQ(ran, 1);
  EXPECT_THROW(runGuarded([] { throw std::runtime_error("plain"); }), std::runtime_error);
  // After an ordinary exception the guard still works.
  EXPECT_THROW(runGuarded([] { readAddress(0x50); }), CSEHException);
}

TEST_F(FaultGuardTest, NonThrowingFormReportsCodeAndAddress) {
  std::uint32_t code = 0;
  std::uintptr_t address = 0;
  int ran = 0;
  EXPECT_TRUE(runWithFaultGuard([&] { ++ran; }, code, address));
  EXPECT_EQ(ran, 1);
  EXPECT_FALSE(runWithFaultGuard([] { readAddress(0x90); }, code, address));
  EXPECT_EQ(code, static_cast<std::uint32_t>(SIGSEGV));
  EXPECT_EQ(address, 0x90u);
}

TEST_F(FaultGuardTest, NestedGuardsCatchAtTheInnermostAndOuterStaysActive) {
  int innerCaught = 0;
  try {
    runGuarded([&] {
      try {
        runGuarded([] { readAddress(0x60); });
      } catch (const CSEHException& e) {
        innerCaught = static_cast<int>(e.address());
      }
      readAddress(0x70);  // the outer guard catches this one
    });
    ADD_FAILURE() << "the outer guard did not throw";
  } catch (const CSEHException& e) {
    EXPECT_EQ(e.address(), 0x70u);
  }
  EXPECT_EQ(innerCaught, 0x60);
}

TEST_F(FaultGuardTest, WorkerThreadSurvivesFaultWhileOtherThreadRunsOn) {
  std::atomic<bool> caught{false};
  std::atomic<int> laterWork{0};
  std::thread worker([&] {
    try {
      runGuarded([] { readAddress(0x80); });
    } catch (const CSEHException&) {
      caught = true;
    }
    laterWork = 42;  // the thread goes on with its life
  });
  worker.join();
  EXPECT_TRUE(caught);
  EXPECT_EQ(laterWork, 42);
}

TEST_F(FaultGuardTest, GuardedWorkerThreadsGiveTheirSignalStackBackWhenTheyEnd) {
  // Each update check runs on a new thread; a long session runs many.
  auto inUse = [] { return ::mallinfo2().uordblks; };
  const std::size_t before = inUse();
  for (int i = 0; i < 200; ++i) {
    std::thread worker([] {
      std::uint32_t code = 0;
      std::uintptr_t address = 0;
      runWithFaultGuard([] { readAddress(0x80); }, code, address);
    });
    worker.join();
  }
  // 200 kept stacks would be 12.5 MiB.
  EXPECT_LT(inUse() - std::min(before, inUse()), 1024u * 1024u);
}

TEST(CrashTraceLines, Formats) {
  CSEHException fault(SIGSEGV, 1, 0xdeadbeef);
  EXPECT_EQ(sehTraceLine("update", 212, fault), "Type=1 File=update Line=212 ExceptCode=b Address=deadbeef");
  EXPECT_EQ(otherTraceLine("update", 230), "Type=5 File=update Line=230");
  EXPECT_EQ(formatCrashMessage(0xb, 0x7f00aa), "程序发生异常崩溃( code:b address:7f00aa )");
}

TEST(CrashTraceLines, TraceGoesToTheDebugChannel) {
  ::setenv("NORVANE_TRACE", "1", 1);
  ::testing::internal::CaptureStderr();
  traceSehException("update", 7, CSEHException(SIGFPE, 1, 0x1234));
  traceOtherException("update", 9);
  std::string err = ::testing::internal::GetCapturedStderr();
  ::unsetenv("NORVANE_TRACE");
  EXPECT_EQ(err, "Type=1 File=update Line=7 ExceptCode=8 Address=1234\nType=5 File=update Line=9\n");
}

}  // namespace
}  // namespace norvane
