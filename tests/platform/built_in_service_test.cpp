// The built-in service as a child process: reading its origin, giving up on
// one that does not answer, and ending it. Stand-in services are small shell
// programs; the last test runs the real norvane-refservice.
#include "platform/built_in_service.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>

#include "support/temp_dir.h"

namespace norvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A stand-in service: runs `script` under /bin/sh.
void configureScript(BuiltInService& service, const std::string& script,
                     std::chrono::milliseconds answerTime = 10s) {
  service.configure("/bin/sh", {"-c", script}, answerTime);
}

bool processGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

struct FirstLineCase {
  const char* name;
  const char* script;
  const char* origin;  // expected; "" for no answer
};

void PrintTo(const FirstLineCase& c, std::ostream* os) { *os << c.name; }

class FirstLineTest : public ::testing::TestWithParam<FirstLineCase> {};

// A wrong first line or an early end settles at once, without waiting for
// the answer time (10 s here).
TEST_P(FirstLineTest, GivesTheOriginOrSettlesAtOnce) {
  const FirstLineCase& c = GetParam();
  BuiltInService service;
  configureScript(service, c.script);
  auto begin = Clock::now();
  EXPECT_EQ(service.origin(), c.origin);
  EXPECT_LT(Clock::now() - begin, 3s);
  service.stop();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FirstLineTest,
    ::testing::Values(
        FirstLineCase{"Origin", "echo 'listening on http://127.0.0.1:4321'; exec cat >/dev/null",
                      "http://127.0.0.1:4321"},
        FirstLineCase{"CarriageReturn", "printf 'listening on http://127.0.0.1:4321\\r\\n'; exec cat >/dev/null",
                      "http://127.0.0.1:4321"},
        FirstLineCase{"LineInPieces",
                      "printf 'listening on http://127.'; sleep 0.2; printf '0.0.1:99\\nmore\\n'; exec cat >/dev/null",
                      "http://127.0.0.1:99"},
        FirstLineCase{"OtherText", "echo 'starting up'; exec cat >/dev/null", ""},
        FirstLineCase{"OtherScheme", "echo 'listening on ftp://127.0.0.1:21'; exec cat >/dev/null", ""},
        FirstLineCase{"NoHost", "echo 'listening on http://'; exec cat >/dev/null", ""},
        FirstLineCase{"EndsWithoutALine", "exit 3", ""},
        FirstLineCase{"EndsMidLine", "printf 'listening on http://127.0.0.1:1'", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuiltInService, ASilentServiceIsNoAnswerAfterTheAnswerTimeAndIsEnded) {
  BuiltInService service;
  configureScript(service, "exec sleep 30", 300ms);
  ASSERT_TRUE(service.start());
  const pid_t pid = service.pid();
  auto begin = Clock::now();
  EXPECT_EQ(service.origin(), "");
  auto waited = Clock::now() - begin;
  EXPECT_GE(waited, 250ms);
  EXPECT_LT(waited, 3s);
  EXPECT_EQ(service.origin(), "");  // stays given up, without a second wait
  begin = Clock::now();
  service.stop();
  EXPECT_LT(Clock::now() - begin, 1s);  // already killed: nothing left to wait for
  EXPECT_TRUE(processGone(pid));
}

TEST(BuiltInService, StopEndsTheServiceByItsInputOrBySignals) {
  struct Case {
    const char* name;
    const char* script;
    std::chrono::milliseconds limit;
  } cases[] = {
      // A service that ends when its standard input closes stops at once.
      {"input", "echo 'listening on http://127.0.0.1:1'; exec cat >/dev/null", 1s},
      // One that ignores its input and SIGTERM is killed after the grace times.
      {"stubborn", "trap '' TERM; echo 'listening on http://127.0.0.1:1'; exec sleep 30", 6s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BuiltInService service;
    configureScript(service, c.script);
    ASSERT_EQ(service.origin(), "http://127.0.0.1:1");
    const pid_t pid = service.pid();
    ASSERT_GT(pid, 0);
    auto begin = Clock::now();
    service.stop();
    EXPECT_LT(Clock::now() - begin, c.limit);
    EXPECT_TRUE(processGone(pid));
    EXPECT_EQ(service.pid(), -1);
    service.stop();  // a second stop is harmless
  }
}

// What the service writes on its standard error (an SMS code, a reason it
// cannot name) is for the person at the program's standard error.
TEST(BuiltInService, TheServicesStandardErrorIsTheProgramsOwn) {
  test::TempDir dir;
  const std::string captured = dir.file("stderr.txt");
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(saved, 0);
  ASSERT_GE(file, 0);
  ::dup2(file, STDERR_FILENO);
  ::close(file);
  {
    BuiltInService service;
    configureScript(service, "echo 'code 123456 for 13800000000' >&2; echo 'listening on http://127.0.0.1:1'; exec cat >/dev/null");
    service.origin();
    service.stop();
  }
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  EXPECT_NE(test::readFile(captured).find("code 123456 for 13800000000"), std::string::npos);
}

TEST(BuiltInService, StartsWhenFirstNeededAndNotWhenNothingIsConfigured) {
  BuiltInService unconfigured;
  EXPECT_FALSE(unconfigured.start());
  EXPECT_EQ(unconfigured.origin(), "");

  BuiltInService service;
  configureScript(service, "echo 'listening on http://127.0.0.1:7'; exec cat >/dev/null");
  EXPECT_EQ(service.pid(), -1);  // configuring starts nothing
  EXPECT_EQ(service.origin(), "http://127.0.0.1:7");
  EXPECT_GT(service.pid(), 0);
}

TEST(BuiltInService, AMissingProgramIsNoAnswerAtOnce) {
  BuiltInService service;
  service.configure("/nonexistent/norvane-refservice", {"--port", "0"});
  auto begin = Clock::now();
  EXPECT_EQ(service.origin(), "");
  EXPECT_LT(Clock::now() - begin, 3s);
}

TEST(BuiltInService, LocalHostsAreResolvedAndOthersKept) {
  for (const char* host : {"local", "LOCAL", "Local"}) EXPECT_TRUE(isLocalHost(host)) << host;
  for (const char* host : {"", "localhost", "local.example.com", "http://local", " local"})
    EXPECT_FALSE(isLocalHost(host)) << host;
  EXPECT_EQ(resolveHost("api.example.com"), "api.example.com");
  EXPECT_EQ(resolveHost("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
  // Nothing configured for this process: the built-in service cannot answer.
  EXPECT_EQ(resolveHost("local"), kUnreachableOrigin);
}

// The real service beside the programs, started the way the program starts it.
TEST(BuiltInService, TheReferenceServiceAnswersAndEndsWhenItsInputCloses) {
  BuiltInService service;
  service.configureBesideProgram(NORVANE_BIN_DIR);
  const std::string origin = service.origin();
  ASSERT_EQ(origin.rfind("http://127.0.0.1:", 0), 0u) << origin;
  const pid_t pid = service.pid();

  httplib::Client client(origin);
  client.set_basic_auth("root", "kelp");
  auto answer = client.Get("/system/timenow");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_FALSE(answer->body.empty());

  auto begin = Clock::now();
  service.stop();
  EXPECT_LT(Clock::now() - begin, 2s);  // ended by its input, not by the signals after it
  EXPECT_TRUE(processGone(pid));
}

}  // namespace
}  // namespace norvane
