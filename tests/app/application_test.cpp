// The `norvane` program as a process: run modes, the missing skin, the main
// window's life, a single instance per user, a crash, the built-in service.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <unistd.h>

#include "shell/child_process.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::ChildProcess;
using namespace std::chrono_literals;

const std::string kProgram = std::string(NORVANE_BIN_DIR) + "/norvane";
const char kSkinMissing[] = "严重错误: 软件皮肤资源丢失，无法运行，请重新安装！";
const char kShown[] = "main window shown";

std::string dataFolder() { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Norvane"; }

// No display at all: a window run would have to say so.
ChildProcess::Options headless(std::map<std::string, std::string> set = {}) {
  set["NORVANE_TRACE"] = "1";
  return {set, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}};
}

// An invisible display: the window program runs fully.
ChildProcess::Options offscreen(std::map<std::string, std::string> set = {}) {
  set["NORVANE_TRACE"] = "1";
  set["QT_QPA_PLATFORM"] = "offscreen";
  if (::geteuid() == 0) set["QTWEBENGINE_DISABLE_SANDBOX"] = "1";  // the sandbox cannot run as root
  return {set, {"DISPLAY", "WAYLAND_DISPLAY"}};
}

TEST(Application, CommandLineRunsEndWithoutAWindow) {
  struct Case {
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {{"/uninstall"}}, {{"/makemachine"}}, {{"/makemachine", "/uninstall"}}, {{"--x=/uninstallnow"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{kProgram};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildProcess run(argv, headless());
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.wait(30s));
    EXPECT_TRUE(run.exited());
    EXPECT_EQ(run.exitCode(), 0) << run.err();
    // A window run without a display would have complained.
    EXPECT_EQ(run.err().find("no display"), std::string::npos) << run.err();
    EXPECT_EQ(run.err().find(kShown), std::string::npos);
  }
}

TEST(Application, UpperCaseSwitchIsTheWindowProgram) {
  ChildProcess run({kProgram, "/UNINSTALL"}, headless());
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(run.wait(30s));
  EXPECT_NE(run.err().find("no display"), std::string::npos) << run.err();
  EXPECT_EQ(run.exitCode(), 1);
}

TEST(Application, MissingOrEmptySkinShowsTheFatalMessageAndEndsWithZero) {
  test::TempDir dir;
  test::writeFile(dir.file("empty.zip"), "");
  test::writeFile(dir.file("junk.zip"), "PK not really a zip");
  for (const std::string& archive : {dir.file("absent.zip"), dir.file("empty.zip"), dir.file("junk.zip")}) {
    for (bool invisible : {false, true}) {
      std::map<std::string, std::string> set{{"NORVANE_SKIN_ARCHIVE", archive}};
      ChildProcess run({kProgram}, invisible ? offscreen(set) : headless(set));
      ASSERT_TRUE(run.start());
      ASSERT_TRUE(run.wait(30s)) << archive;
      EXPECT_EQ(run.exitCode(), 0) << archive;
      EXPECT_NE(run.err().find(kSkinMissing), std::string::npos) << archive << ": " << run.err();
      EXPECT_EQ(run.err().find(kShown), std::string::npos);
    }
  }
}

TEST(Application, MainWindowRunsUntilClosedAndTheProcessEndsWithZero) {
  ChildProcess first({kProgram}, offscreen());
  ASSERT_TRUE(first.start());
  ASSERT_TRUE(first.waitForStderr(kShown, 60s)) << first.err();
  // Ending the session closes the main window the ordinary way.
  first.signal(SIGTERM);
  ASSERT_TRUE(first.wait(30s));
  EXPECT_TRUE(first.exited());
  EXPECT_EQ(first.exitCode(), 0);
}

TEST(Application, SecondStartRaisesTheFirstAndEndsWithZero) {
  ChildProcess first({kProgram}, offscreen());
  ASSERT_TRUE(first.start());
  ASSERT_TRUE(first.waitForStderr(kShown, 60s)) << first.err();

  ChildProcess second({kProgram}, offscreen());
  ASSERT_TRUE(second.start());
  ASSERT_TRUE(second.wait(30s));
  EXPECT_TRUE(second.exited());
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(second.err().find(kShown), std::string::npos) << second.err();
  EXPECT_TRUE(first.waitForStderr("raising the main window", 10s)) << first.err();

  first.signal(SIGTERM);
  ASSERT_TRUE(first.wait(30s));
  EXPECT_EQ(first.exitCode(), 0);

  // With the first gone, the next start is a first start again.
  ChildProcess third({kProgram}, offscreen());
  ASSERT_TRUE(third.start());
  EXPECT_TRUE(third.waitForStderr(kShown, 60s)) << third.err();
  third.signal(SIGTERM);
  ASSERT_TRUE(third.wait(30s));
}

TEST(Application, ACrashLeavesErrorTmpInTheDataFolder) {
  ChildProcess run({kProgram}, offscreen());
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(run.waitForStderr(kShown, 60s)) << run.err();
  run.signal(SIGSEGV);
  ASSERT_TRUE(run.wait(30s));
  EXPECT_TRUE(run.signaled());
  EXPECT_EQ(run.termSignal(), SIGSEGV);
  EXPECT_NE(run.err().find("程序发生异常崩溃( code:b address:0 )"), std::string::npos) << run.err();
  std::string dump = test::readFile(dataFolder() + "/Error.tmp");
  EXPECT_NE(dump.find("signal=11 (SIGSEGV)"), std::string::npos) << dump;
}

// The build's oem.ini is the shipped one: every host is the built-in service,
// which must end with the program however the program ends.
TEST(Application, TheBuiltInServiceEndsWithTheProgram) {
  // Orphans of the killed program are handed to this process, so the test can
  // see the service end (reaped) instead of lingering as a zombie elsewhere.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  struct Case {
    const char* name;
    int signal;
  } cases[] = {{"closed", SIGTERM}, {"killed", SIGKILL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChildProcess run({kProgram}, offscreen());
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.waitForStderr(kShown, 60s)) << run.err();
    ASSERT_TRUE(run.waitForStderr(" at http://127.0.0.1:", 10s)) << run.err();
    std::smatch match;
    const std::string err = run.err();
    ASSERT_TRUE(std::regex_search(err, match, std::regex("built-in service: pid ([0-9]+) at http://127\\.0\\.0\\.1:[0-9]+")))
        << err;
    const pid_t service = static_cast<pid_t>(std::stol(match[1]));
    ASSERT_EQ(::kill(service, 0), 0);  // it runs

    run.signal(c.signal);
    ASSERT_TRUE(run.wait(30s));
    // The program reaped its service itself, or it ends within a second and
    // comes to this process.
    bool ended = false;
    for (int waited = 0; waited <= 1000 && !ended; waited += 20) {
      int status = 0;
      pid_t r = ::waitpid(service, &status, WNOHANG);
      ended = r == service || (r < 0 && errno == ECHILD && ::kill(service, 0) != 0);
      if (!ended) ::usleep(20 * 1000);
    }
    EXPECT_TRUE(ended) << "the built-in service outlived the program";
    if (c.signal == SIGTERM) {
      EXPECT_EQ(run.exitCode(), 0);
    }
  }
}

}  // namespace
}  // namespace norvane
