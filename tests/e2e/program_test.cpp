// The installed program as a user meets it: the `norvane` executable copied
// into a program folder of its own, its oem.ini pointing every host at a
// reference server running inside the test.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>
#include <unistd.h>

#include "refservice/ref_server.h"
#include "shell/child_process.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::ChildProcess;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char kShown[] = "main window shown";

std::string dataFolder() { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/Norvane"; }
std::string machineStorePath() { return std::getenv("NORVANE_MACHINE_STORE"); }

// A reference server for the statistics and update hosts, and a program
// folder holding a copy of the program with an oem.ini naming that server.
class InstalledProgram {
 public:
  explicit InstalledProgram(refservice::ServerOptions options = {}) {
    options.withoutNaming = true;
    server_ = std::make_unique<refservice::ReferenceServer>(std::move(options));
    started_ = server_->start(0, error_);
    if (!started_) return;
    program_ = dir_.file("norvane");
    fs::copy_file(std::string(NORVANE_BIN_DIR) + "/norvane", program_);
    const std::string origin = "http://127.0.0.1:" + std::to_string(server_->port());
    test::writeFile(dir_.file("oem.ini"), "[Partner]\nId=7\n[Hosts]\nService=" + origin + "\nStatistics=" + origin +
                                              "\nUpdate=" + origin + "\nSite=" + origin + "\n");
  }

  bool started() const { return started_; }
  const std::string& error() const { return error_; }
  const std::string& program() const { return program_; }
  std::string folder() const { return dir_.path(); }

  // Every report the statistics host stored, oldest first.
  Json::Value reports() const {
    httplib::Client client("127.0.0.1", server_->port());
    auto answer = client.Get("/stats/reports");
    Json::Value list;
    if (!answer || answer->status != 200) return list;
    Json::Reader().parse(answer->body, list);
    return list;
  }

  static int countOfType(const Json::Value& reports, int type) {
    int n = 0;
    for (const Json::Value& r : reports) n += r["TypeId"].asInt() == type ? 1 : 0;
    return n;
  }

 private:
  test::TempDir dir_;
  std::unique_ptr<refservice::ReferenceServer> server_;
  bool started_ = false;
  std::string error_;
  std::string program_;
};

ChildProcess::Options commandLineRun() {
  return {{{"NORVANE_TRACE", "1"}}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}};
}

ChildProcess::Options windowRun() {
  std::map<std::string, std::string> set{{"NORVANE_TRACE", "1"}, {"QT_QPA_PLATFORM", "offscreen"}};
  if (::geteuid() == 0) set["QTWEBENGINE_DISABLE_SANDBOX"] = "1";
  return {set, {"DISPLAY", "WAYLAND_DISPLAY"}};
}

TEST(Program, UninstallRunDeliversOneReportAndEndsWithZero) {
  InstalledProgram installed;
  ASSERT_TRUE(installed.started()) << installed.error();
  // A stored machine code travels in the report.
  {
    ChildProcess make({installed.program(), "/makemachine"}, commandLineRun());
    ASSERT_TRUE(make.start());
    ASSERT_TRUE(make.wait(60s));
    ASSERT_EQ(make.exitCode(), 0) << make.err();
  }

  ChildProcess run({installed.program(), "/uninstall"}, commandLineRun());
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(run.wait(60s));
  EXPECT_TRUE(run.exited());
  EXPECT_EQ(run.exitCode(), 0) << run.err();

  const Json::Value reports = installed.reports();
  ASSERT_EQ(reports.size(), 1u) << reports.toStyledString();
  const Json::Value& r = reports[0];
  EXPECT_EQ(r["TypeId"].asInt(), 2);
  EXPECT_EQ(r["AppId"].asInt(), 1);
  EXPECT_EQ(r["ChannelCode"].asString(), "7");  // the partner id of oem.ini
  EXPECT_EQ(r["OsBit"].asInt(), 64);
  EXPECT_TRUE(std::regex_match(r["MachineCode"].asString(), std::regex("[0-9A-F]{16}"))) << r["MachineCode"];
  // The host decrypted the body into the record, members in name order.
  EXPECT_TRUE(std::regex_search(r["plain"].asString(),
                                std::regex("\"AppId\"[^]*\"ChannelCode\"[^]*\"MachineCode\"[^]*\"Os\"[^]*"
                                           "\"OsBit\"[^]*\"TypeId\" : 2[^]*\"Version\"")))
      << r["plain"].asString();

  // Neither command-line run made the data folder's settings or a window.
  EXPECT_FALSE(fs::exists(dataFolder() + "/config.ini"));
  EXPECT_EQ(run.err().find(kShown), std::string::npos);
}

TEST(Program, UninstallRunWithoutAReachableHostStillEndsWithZero) {
  InstalledProgram installed;
  ASSERT_TRUE(installed.started()) << installed.error();
  // Nothing listens on port 9 of the loopback.
  test::writeFile(installed.folder() + "/oem.ini", "[Hosts]\nStatistics=http://127.0.0.1:9\n");
  ChildProcess run({installed.program(), "/uninstall"}, commandLineRun());
  ASSERT_TRUE(run.start());
  ASSERT_TRUE(run.wait(60s));
  EXPECT_TRUE(run.exited());
  EXPECT_EQ(run.exitCode(), 0) << run.err();
  EXPECT_EQ(installed.reports().size(), 0u);
}

TEST(Program, MakeMachineStoresAStableUid) {
  InstalledProgram installed;
  ASSERT_TRUE(installed.started()) << installed.error();
  auto storedUid = [] {
    std::smatch m;
    const std::string store = test::readFile(machineStorePath());
    return std::regex_search(store, m, std::regex("uid=sz:([^\r\n]*)")) ? m[1].str() : std::string();
  };
  std::string uids[2];
  for (std::string& uid : uids) {
    ChildProcess run({installed.program(), "/makemachine"}, commandLineRun());
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.wait(60s));
    EXPECT_TRUE(run.exited());
    EXPECT_EQ(run.exitCode(), 0) << run.err();
    EXPECT_EQ(run.err().find(kShown), std::string::npos);
    uid = storedUid();
    EXPECT_TRUE(std::regex_match(uid, std::regex("[0-9A-F]{16}"))) << test::readFile(machineStorePath());
  }
  EXPECT_EQ(uids[0], uids[1]);
  EXPECT_FALSE(fs::exists(dataFolder() + "/config.ini"));
  EXPECT_EQ(installed.reports().size(), 0u);  // the machine-code run reports nothing
}

TEST(Program, DailyCheckDownloadsANewerInstallerOnceADay) {
  test::TempDir files;
  const std::string installer(300 * 1024, 'N');
  test::writeFile(files.file("setup.bin"), installer);
  refservice::ServerOptions options;
  options.versionText = "9.9.9";
  options.installerFile = files.file("setup.bin");
  InstalledProgram installed(options);
  ASSERT_TRUE(installed.started()) << installed.error();
  const std::string downloaded = dataFolder() + "/NvrSetupNew.exe";

  {
    ChildProcess first({installed.program()}, windowRun());
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(first.waitForStderr(kShown, 60s)) << first.err();
    for (int i = 0; i < 300 && InstalledProgram::countOfType(installed.reports(), 4) == 0; ++i) {
      std::this_thread::sleep_for(100ms);
    }
    first.signal(SIGTERM);
    ASSERT_TRUE(first.wait(60s));
    EXPECT_EQ(first.exitCode(), 0) << first.err();
  }
  EXPECT_EQ(test::readFile(downloaded), installer);
  EXPECT_FALSE(fs::exists(downloaded + ".upd"));
  EXPECT_NE(test::readFile(dataFolder() + "/config.ini").find("HasNewInstaller=1"), std::string::npos);

  // The same day again: no second check (no daily report, no download).
  {
    ChildProcess second({installed.program()}, windowRun());
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.waitForStderr(kShown, 60s)) << second.err();
    std::this_thread::sleep_for(1500ms);
    second.signal(SIGTERM);
    ASSERT_TRUE(second.wait(60s));
    EXPECT_EQ(second.exitCode(), 0) << second.err();
  }
  const Json::Value reports = installed.reports();
  EXPECT_EQ(InstalledProgram::countOfType(reports, 3), 1) << reports.toStyledString();
  EXPECT_EQ(InstalledProgram::countOfType(reports, 4), 1) << reports.toStyledString();
  EXPECT_EQ(reports.size(), 2u) << reports.toStyledString();
  EXPECT_EQ(test::readFile(downloaded), installer);
}

}  // namespace
}  // namespace norvane
