#include "update_fixture.h"

#include "telemetry/usage_reporter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>

namespace norvane::test {
namespace {

using Events = std::vector<std::string>;

TEST_F(UpdateTest, DailyCheckRunsOncePerDayOfTheMonth) {
  struct Case {
    const char* what;
    std::optional<std::uint32_t> stored;
    int month, day;
    bool runs;
  };
  const Case cases[] = {
      {"never checked", std::nullopt, 12, 5, true},
      {"checked today", 5, 12, 5, false},
      {"same day number a month later", 5, 1, 5, false},
      {"only the low 16 bits count", 0x00030005, 12, 5, false},
      {"checked yesterday", 4, 12, 5, true},
      {"checked on a later day number", 28, 12, 5, true},
  };
  for (const Case& c : cases) {
    KeyValueStore user = userStore();
    user.remove("UpdateDay");
    if (c.stored) user.writeNumber("UpdateDay", *c.stored);
    setDay(c.month, c.day);
    const int hitsBefore = host.versionHits;
    EXPECT_EQ(update.startDailyCheck(), c.runs) << c.what;
    waitIdle();
    EXPECT_EQ(host.versionHits - hitsBefore, c.runs ? 1 : 0) << c.what;
    EXPECT_EQ(user.readNumber("UpdateDay").value_or(0), c.runs ? 5u : *c.stored) << c.what;
  }
}

TEST_F(UpdateTest, InstallationReportGoesOutOnceBeforeTheDailyOne) {
  host.setVersion("version=0.1\n");  // nothing to download
  setInstalledVersion("1.0.9");
  userStore().writeText("SendInstallMessage", "");
  setDay(12, 5);
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(reports(), (std::vector<int>{1, 3}));
  EXPECT_FALSE(userStore().exists("SendInstallMessage"));

  setDay(12, 6);
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(reports(), (std::vector<int>{1, 3, 3}));
}

TEST_F(UpdateTest, ReportsGoOutEvenWhenTheUpdateHostIsUnreachable) {
  oem.hosts.update = "http://127.0.0.1:1";
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(reports(), (std::vector<int>{3}));
  EXPECT_EQ(hasNewInstaller(), "<none>");
}

TEST_F(UpdateTest, NewerInstallerIsDownloadedExactlyOnce) {
  setInstalledVersion("1.0.9");
  host.setVersion("version=1.1\r\n");
  // A stale installer from an earlier download is replaced.
  writeFile(update.installerPath(), "old installer");
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(readFile(update.installerPath()), host.installerBytes());
  EXPECT_FALSE(fileExists(update.installerPath() + ".upd"));
  EXPECT_EQ(hasNewInstaller(), "1");
  EXPECT_EQ(reports(), (std::vector<int>{3, 4}));
  EXPECT_TRUE(update.isInstallerPending());

  // The next days find the installer pending and download nothing.
  for (int day : {6, 7}) {
    setDay(12, day);
    ASSERT_TRUE(update.startDailyCheck());
    waitIdle();
  }
  EXPECT_EQ(host.installerHits, 1);
  EXPECT_EQ(host.versionHits, 3);
  EXPECT_EQ(reports(), (std::vector<int>{3, 4, 3, 3}));
}

TEST_F(UpdateTest, VersionTextOrderDecidesTheDownload) {
  struct Case {
    const char* versionFile;
    std::optional<std::string> installed;
    bool downloads;
  };
  const Case cases[] = {
      {"version=1.0.10", "1.0.9", false},    // text order, not numeric
      {"version=1.1", "1.0.9", true},
      {"version=1.0.9\r\n", "1.0.9", true},  // the carriage return stays and sorts after the end
      {"version=1.0.9\n", "1.0.9", false},   // line feeds are removed
      {"version=1.\t0.9\n", "1.0.9", false}, // so are tabs
      {"version=1.0", "1.0.9", false},       // a prefix of the installed version is older
      {"version=0.0.1", std::nullopt, true}, // nothing installed: anything is newer
      {"Version=9.9", "1.0.9", false},       // the prefix is case-sensitive
      {"", "1.0.9", false},
  };
  int day = 1;
  for (const Case& c : cases) {
    std::remove(update.installerPath().c_str());
    std::remove(app.path.c_str());
    if (c.installed) {
      setInstalledVersion(*c.installed);
    } else {
      machineStore().remove("Version");
    }
    host.setVersion(c.versionFile);
    setDay(12, day++);
    const int before = host.installerHits;
    ASSERT_TRUE(update.startDailyCheck());
    waitIdle();
    EXPECT_EQ(host.installerHits - before, c.downloads ? 1 : 0) << c.versionFile;
    EXPECT_EQ(fileExists(update.installerPath()), c.downloads) << c.versionFile;
  }
}

TEST(VersionOrderTest, ComparesTextByteByByte) {
  struct Case {
    const char* remote;
    const char* installed;
    bool newer;
  };
  const Case cases[] = {
      {"1.0.10", "1.0.9", false}, {"1.1", "1.0.9", true},     {"1.0.9", "1.0.9", false},
      {"1.0.9\r", "1.0.9", true}, {"1.0", "1.0.9", false},    {"1.0.9", "", true},
      {"", "", false},            {"2.0", "10.0", true},      {"\xC3\xA9", "z", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isNewer(c.remote, c.installed), c.newer) << c.remote << " vs " << c.installed;
  }
}

TEST_F(UpdateTest, DailyCheckHonoursCanUpdate) {
  setInstalledVersion("1.0.9");
  app.CanUpdate = 0;
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(host.versionHits, 1);
  EXPECT_EQ(host.installerHits, 0);
  EXPECT_EQ(reports(), (std::vector<int>{3}));
}

TEST_F(UpdateTest, IncompleteDownloadChangesNothing) {
  struct Case {
    const char* what;
    InstallerMode mode;
    bool leavesPartialFile;
  };
  const Case cases[] = {
      {"connection lost half-way", InstallerMode::CutShort, true},
      {"not found", InstallerMode::NotFound, false},
      {"no Content-Length", InstallerMode::NoLength, false},
  };
  setInstalledVersion("1.0.9");
  int day = 1;
  for (const Case& c : cases) {
    std::remove((update.installerPath() + ".upd").c_str());
    host.setInstallerMode(c.mode);
    setDay(12, day++);
    ASSERT_TRUE(update.startDailyCheck());
    waitIdle();
    EXPECT_FALSE(fileExists(update.installerPath())) << c.what;
    EXPECT_EQ(hasNewInstaller(), "<none>") << c.what;
    const std::string partial = update.installerPath() + ".upd";
    EXPECT_EQ(fileExists(partial), c.leavesPartialFile) << c.what;
    if (c.leavesPartialFile) {
      EXPECT_LT(readFile(partial).size(), host.installerBytes().size()) << c.what;
    }
  }
  EXPECT_EQ(host.installerHits, 3);
  for (int type : reports()) EXPECT_NE(type, 4);
}

TEST_F(UpdateTest, StoppingTheCheckerAbandonsARunningDownload) {
  setInstalledVersion("1.0.9");
  host.setInstallerMode(InstallerMode::Slow);
  ASSERT_TRUE(update.startDailyCheck());
  for (int i = 0; i < 500 && !fileExists(update.installerPath() + ".upd"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(update.isCheckRunning());
  const auto start = std::chrono::steady_clock::now();
  update.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(update.isCheckRunning());
  EXPECT_FALSE(fileExists(update.installerPath()));
  EXPECT_TRUE(fileExists(update.installerPath() + ".upd"));
  EXPECT_EQ(hasNewInstaller(), "<none>");
  EXPECT_EQ(reports(), (std::vector<int>{3}));
}

// A statistics host that takes the connection and never answers.
class SilentHost {
 public:
  SilentHost() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~SilentHost() { ::close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST_F(UpdateTest, StoppingTheCheckerGivesUpAReportInFlight) {
  SilentHost statistics;
  ASSERT_NE(statistics.port(), 0);
  usageReporter().setHost("http://127.0.0.1:" + std::to_string(statistics.port()));
  CUpdate checker;  // reports through the process-wide reporter
  checker.setSettings(app, oem);
  checker.setClock(clock);
  ASSERT_TRUE(checker.startDailyCheck());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the daily report waits for its answer
  ASSERT_TRUE(checker.isCheckRunning());
  const auto start = std::chrono::steady_clock::now();
  checker.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(checker.isCheckRunning());
  EXPECT_FALSE(fileExists(checker.installerPath()));
}

TEST_F(UpdateTest, StopThatCannotEndTheWorkerSaysSoAndKeepsItCounted) {
  // A report that ignores the stop request and stays blocked.
  std::mutex gate;
  std::condition_variable opened;
  bool open = false;
  update.setReportSender([&](int) {
    std::unique_lock<std::mutex> lock(gate);
    opened.wait(lock, [&] { return open; });
  });
  ASSERT_TRUE(update.startDailyCheck());
  EXPECT_FALSE(update.stop(std::chrono::milliseconds(200)));
  // Still running: no second check can start beside it.
  EXPECT_TRUE(update.isCheckRunning());
  setDay(12, 6);
  EXPECT_FALSE(update.startDailyCheck());

  {
    std::lock_guard<std::mutex> lock(gate);
    open = true;
  }
  opened.notify_all();
  EXPECT_TRUE(update.stop(std::chrono::seconds(10)));
  EXPECT_FALSE(update.isCheckRunning());
}

TEST_F(UpdateTest, ManualCheckTellsTheUserWhatHappened) {
  struct Case {
    const char* what;
    bool versionMissing;
    const char* versionFile;
    InstallerMode mode;
    int answer;
    bool ownerAlive;
    Events expected;
    bool downloaded;
  };
  const std::string balloon = "balloon:T:DownloadingUpdate|T:ProductName";
  const Case cases[] = {
      {"no version file", true, "", InstallerMode::Complete, 7, true, {"message:NoVersion:64:owned"}, false},
      {"not a version file", false, "<html>", InstallerMode::Complete, 7, true, {"message:NoVersion:64:owned"}, false},
      {"not newer", false, "version=1.0.9", InstallerMode::Complete, 7, true, {"message:NotUpdate:64:owned"}, false},
      {"download fails", false, "version=2.0", InstallerMode::NotFound, 7, true,
       {balloon, "removeTray", "message:UpdateFail:64:owned"}, false},
      {"downloaded, declined", false, "version=2.0", InstallerMode::Complete, 7, true,
       {balloon, "message:HasUpdate:4:free", "removeTray"}, true},
      {"downloaded, accepted", false, "version=2.0", InstallerMode::Complete, kAnswerYes, true,
       {balloon, "message:HasUpdate:4:free", "open:" + update.installerPath(), "removeTray"}, true},
      {"main window gone: no balloon", false, "version=2.0", InstallerMode::Complete, 7, false,
       {"message:HasUpdate:4:free", "removeTray"}, true},
  };
  setInstalledVersion("1.0.9");
  for (const Case& c : cases) {
    std::remove(update.installerPath().c_str());
    std::remove(app.path.c_str());
    if (c.versionMissing) {
      host.setVersionMissing();
    } else {
      host.setVersion(c.versionFile);
    }
    host.setInstallerMode(c.mode);
    RecordingUi caseUi;
    caseUi.answer = c.answer;
    caseUi.alive = c.ownerAlive;
    update.startManualCheck(caseUi);
    waitIdle();
    EXPECT_EQ(caseUi.events(), c.expected) << c.what;
    EXPECT_EQ(fileExists(update.installerPath()), c.downloaded) << c.what;
    EXPECT_EQ(hasNewInstaller(), c.downloaded ? "1" : "<none>") << c.what;
  }
  // Only the completed downloads were reported, and the manual check sends nothing else.
  EXPECT_EQ(reports(), (std::vector<int>{4, 4, 4}));
}

TEST_F(UpdateTest, SecondCheckWhileOneRunsSaysUpdating) {
  host.setVersion("version=0.1");
  setInstalledVersion("1.0.9");
  host.hold();
  update.startManualCheck(ui);
  for (int i = 0; i < 500 && host.versionHits == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(update.isCheckRunning());

  RecordingUi second;
  update.startManualCheck(second);
  EXPECT_EQ(second.events(), Events{"message:Updating:64:owned"});
  EXPECT_FALSE(update.startDailyCheck());
  EXPECT_FALSE(userStore().exists("UpdateDay"));

  host.release();
  waitIdle();
  EXPECT_EQ(ui.events(), Events{"message:NotUpdate:64:owned"});
  EXPECT_EQ(host.versionHits, 1);
}

TEST_F(UpdateTest, PendingInstallerIsOfferedWithoutAskingTheHost) {
  writeFile(update.installerPath(), "downloaded earlier");
  writeProfileString(app.path, "Main", "HasNewInstaller", "1");
  ui.answer = 7;
  update.startManualCheck(ui);
  EXPECT_FALSE(update.isCheckRunning());
  EXPECT_EQ(ui.events(), Events{"message:HasUpdate:4:free"});
  EXPECT_EQ(host.versionHits, 0);
  EXPECT_EQ(readFile(update.installerPath()), "downloaded earlier");
  EXPECT_EQ(hasNewInstaller(), "1");

  // Marker without the file: nothing is pending, the check runs.
  std::remove(update.installerPath().c_str());
  setInstalledVersion("1.0.9");
  host.setVersion("version=0.1");
  RecordingUi again;
  update.startManualCheck(again);
  waitIdle();
  EXPECT_EQ(host.versionHits, 1);
  EXPECT_EQ(again.events(), Events{"message:NotUpdate:64:owned"});
}

TEST_F(UpdateTest, ExceptionInsideTheDailyWorkerLeavesOneTraceLine) {
  setInstalledVersion("1.0.9");
  host.setVersion("version=0.1");
  update.setReportSender([](int) { throw std::runtime_error("report failed"); });
  TraceCapture trace(dir.file("trace.txt"));
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(trace.text(), "Type=5 File=update Line=272\n");
  EXPECT_EQ(host.versionHits, 0);  // the check ended at the exception

  // The program goes on: the next day's check works.
  update.setReportSender([this](int type) {
    std::lock_guard<std::mutex> lock(reportMutex);
    reportsSent.push_back(type);
  });
  setDay(12, 6);
  ASSERT_TRUE(update.startDailyCheck());
  waitIdle();
  EXPECT_EQ(reports(), (std::vector<int>{3}));
}

TEST_F(UpdateTest, ExceptionInsideTheManualWorkerLeavesOneTraceLine) {
  host.setVersion("version=0.1");
  setInstalledVersion("1.0.9");
  ui.throwOnMessage = true;
  TraceCapture trace(dir.file("trace.txt"));
  update.startManualCheck(ui);
  waitIdle();
  EXPECT_EQ(trace.text(), "Type=5 File=update Line=436\n");
  EXPECT_EQ(ui.events(), Events{"message:NotUpdate:64:owned"});
}

TEST_F(UpdateTest, FaultGuardReportsAHardwareFaultOfTheWorker) {
  bool faulting = true;
  update.setFaultGuard([&faulting](const std::function<void()>& work, WorkerFault& fault) {
    if (!faulting) {
      work();
      return true;
    }
    fault.code = 11;
    fault.address = 0xdead0;
    return false;
  });
  {
    TraceCapture trace(dir.file("trace1.txt"));
    ASSERT_TRUE(update.startDailyCheck());
    waitIdle();
    EXPECT_EQ(trace.text(), "Type=1 File=update Line=271 ExceptCode=b Address=dead0\n");
  }
  {
    TraceCapture trace(dir.file("trace2.txt"));
    update.startManualCheck(ui);
    waitIdle();
    EXPECT_EQ(trace.text(), "Type=5 File=update Line=436\n");
  }
  // A guard that lets the work finish adds no line and the check does its work.
  faulting = false;
  setInstalledVersion("1.0.9");
  host.setVersion("version=0.1");
  setDay(12, 6);
  {
    TraceCapture trace(dir.file("trace3.txt"));
    ASSERT_TRUE(update.startDailyCheck());
    waitIdle();
    EXPECT_EQ(trace.text(), "");
  }
  EXPECT_EQ(reports(), (std::vector<int>{3}));
}

}  // namespace
}  // namespace norvane::test
