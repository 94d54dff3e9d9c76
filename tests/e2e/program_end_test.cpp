// The `norvane` program asked to end (SIGTERM: what a desktop session sends
// at logout) whatever window it shows, and closed while work of its own still
// waits for a slow service: it ends at once and cleanly, and keeps what the
// user entered and kept. The program runs offscreen against a reference
// service inside the test; a small driver loaded into it (window_driver.cpp)
// clicks its controls.
#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "account/account_store.h"
#include "data/favorites_store.h"
#include "platform/folders.h"
#include "platform/key_value_store.h"
#include "platform/profile_file.h"
#include "refservice/ref_server.h"
#include "shell/child_process.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::ChildProcess;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char kShown[] = "main window shown";

std::string dataFolder() { return locateDataFolder(); }
std::string configPath() { return JoinPath(dataFolder(), "config.ini"); }
std::string favoritesPath() { return JoinPath(dataFolder(), "Favorit.db"); }

// What the user entered earlier: the saved input of every form a case submits.
struct SavedValue {
  const char* section;
  const char* key;
  const char* value;
};
const SavedValue kSavedInput[] = {
    {"Quming", "Xing", "李"},           {"Quming", "Gender", "1"},
    {"Quming", "Birthday", "2020-2-8 09:05:00"},
    {"Quming", "LengOfName", "2"},       {"Quming", "Sheng", "0"},
    {"Quming", "Shi", "0"},              {"Quming", "Xian", "0"},
    {"XingmingFenxi", "Xing", "欧阳"},   {"XingmingFenxi", "Ming", "明"},
    {"XingmingFenxi", "Gender", "1"},    {"XingmingFenxi", "Birthday", "2020-2-8 09:05:00"},
    {"XingmingFenxi", "Sheng", "2"},     {"XingmingFenxi", "Shi", "0"},
    {"XingmingFenxi", "Xian", "0"},      {"Yunsi", "Xing", "李"},
    {"Yunsi", "Ming", "白"},             {"XiaomingFenxi", "Xing", "王"},
    {"XiaomingFenxi", "Ming", "宝宝"},   {"XiaomingFenxi", "Gender", "2"},
    {"XiaomingFenxi", "Birthday", "2021-5-3 07:05:00"},
    {"XiaomingFenxi", "Sheng", "0"},     {"XiaomingFenxi", "Shi", "0"},
    {"XiaomingFenxi", "Xian", "0"},
};

std::vector<std::string> favouriteNames() {
  FavoritesStore store;
  store.load(favoritesPath());
  std::vector<std::string> names;
  for (const NameRecord& record : store.records()) names.push_back(record.Xing + record.Ming);
  return names;
}

// A program folder of its own: the program, its data and an oem.ini naming a
// reference service that runs inside the test.
class ProgramUnderTest {
 public:
  ProgramUnderTest() {
    refservice::ServerOptions options;
    options.dataFolder = NORVANE_BIN_DIR;
    server_ = std::make_unique<refservice::ReferenceServer>(options);
    started_ = server_->start(0, error_);
    if (!started_) return;
    const fs::path bin(NORVANE_BIN_DIR);
    program_ = dir_.file("norvane");
    fs::copy_file(bin / "norvane", program_);
    for (const char* part : {"local.dat", "language", "content", "libnorvane-reports.so"})
      fs::copy(bin / part, fs::path(dir_.path()) / part, fs::copy_options::recursive);
    const std::string origin = "http://127.0.0.1:" + std::to_string(server_->port());
    test::writeFile(dir_.file("oem.ini"), "[Hosts]\nService=" + origin + "\nStatistics=" + origin + "\nUpdate=" + origin +
                                              "\nSite=" + origin + "\n");
  }

  bool started() const { return started_; }
  const std::string& error() const { return error_; }
  refservice::ReferenceServer& server() { return *server_; }

  // The next answer of `path` comes `delay` late.
  bool slowDown(const std::string& path, std::chrono::milliseconds delay) {
    Json::Value fault;
    fault["mode"] = "slow";
    fault["delay_ms"] = static_cast<Json::Int64>(delay.count());
    fault["path"] = path;
    httplib::Client client("127.0.0.1", server_->port());
    auto answer = client.Post("/control/fault", Json::FastWriter().write(fault), "application/json");
    return answer && answer->status == 200;
  }

  // The program, driven by `steps` (see window_driver.cpp) when given.
  std::unique_ptr<ChildProcess> run(const std::string& steps = {}) {
    std::map<std::string, std::string> set{{"NORVANE_TRACE", "1"}, {"QT_QPA_PLATFORM", "offscreen"}};
    if (::geteuid() == 0) set["QTWEBENGINE_DISABLE_SANDBOX"] = "1";  // the sandbox cannot run as root
    if (!steps.empty()) {
      set["LD_PRELOAD"] = NORVANE_WINDOW_DRIVER;
      set["NORVANE_DRIVE"] = steps;
    }
    return std::make_unique<ChildProcess>(std::vector<std::string>{program_},
                                          ChildProcess::Options{set, {"DISPLAY", "WAYLAND_DISPLAY"}});
  }

 private:
  test::TempDir dir_;
  std::unique_ptr<refservice::ReferenceServer> server_;
  bool started_ = false;
  std::string error_;
  std::string program_;
};

class ProgramEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(program.started()) << program.error();
    fs::create_directories(dataFolder());
    for (const SavedValue& v : kSavedInput) ASSERT_TRUE(writeProfileString(configPath(), v.section, v.key, v.value));
    FavoritesStore favourites;
    for (const char* ming : {"白", "雨桐"}) {
      NameRecord record;
      record.Xing = "李";
      record.Ming = ming;
      record.Birthday = "2020-2-8 09:05:00";
      favourites.add(record);
    }
    ASSERT_TRUE(favourites.save(favoritesPath()));
  }

  // Kept as they were: the saved input, the favourites; and no crash report.
  void expectNothingLost() {
    for (const SavedValue& v : kSavedInput)
      EXPECT_EQ(readProfileString(configPath(), v.section, v.key, "(missing)"), v.value) << v.section << "/" << v.key;
    EXPECT_EQ(favouriteNames(), (std::vector<std::string>{"李白", "李雨桐"}));
    EXPECT_FALSE(fs::exists(JoinPath(dataFolder(), "Error.tmp"))) << test::readFile(JoinPath(dataFolder(), "Error.tmp"));
  }

  ProgramUnderTest program;
};

TEST_F(ProgramEndTest, AskedToEndWithAModalWindowOpenItEndsCleanly) {
  struct Case {
    const char* window;  // the modal window's class
    const char* steps;   // how the user opens it
  };
  const Case cases[] = {
      {"norvane::CQumingAdvSettingDlg", "click:btnGRQMAdvSet"},
      {"norvane::CNewRegDlg", "click:btnLogin"},
      {"norvane::CWebBrowserDlg", "click:btnLogin;click:btnWeChat"},
      {"norvane::CAboutDlg", "click:btnMenu;click:menuAbout"},
      {"norvane::CMessageDlg", "click:btnMenu;click:menuClearCache"},
      {"norvane::reports::CQuMingResultWnd", "click:tabFengXi;click:btnXingMingFenxi"},
      {"norvane::reports::CQuMingResultWnd", "click:btnQuMing;click:FengXi"},  // from a row of the list
      {"norvane::reports::CXiaomingResultWnd", "click:tabFenxiXiaoMing;click:btnXiaoMingFenxi"},
      {"norvane::reports::CYunsiResultWnd", "click:tabBaGua;click:btnXingMingYunsi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    fs::remove(JoinPath(dataFolder(), "Error.tmp"));  // each run answers for itself
    auto run = program.run(std::string(c.steps) + ";modal:" + c.window);
    ASSERT_TRUE(run->start());
    const std::string up = std::string("driver: ") + c.window + " is up";
    ASSERT_TRUE(run->waitForStderr(up, 90s)) << run->err();
    run->signal(SIGTERM);
    // The modal loop returns, the main window goes, the process ends.
    ASSERT_TRUE(run->wait(10s)) << "still running after SIGTERM\n" << run->err();
    EXPECT_TRUE(run->exited()) << "ended by signal " << run->termSignal() << "\n" << run->err();
    EXPECT_EQ(run->exitCode(), 0) << run->err();
    expectNothingLost();
  }
}

TEST_F(ProgramEndTest, ClosedWhileItsOwnWorkWaitsForTheServiceItEndsAtOnce) {
  struct Case {
    const char* what;
    const char* slowPath;  // the answer the work waits for
    const char* steps;     // how the user gets there (none: the start does)
    const char* shown;     // the line that says the work runs
  };
  const Case cases[] = {
      // The start-up check of a stored login asks before the window shows.
      {"the stored login's check", "/v1/user/login", "", kShown},
      // Asked to end while the fortune report waits for its answer.
      {"a fortune report's request", "/v1/luck", "click:tabBaGua;click:btnXingMingYunsi;modal:norvane::reports::CYunsiResultWnd",
       "driver: norvane::reports::CYunsiResultWnd is up"},
  };
  AccountStore stored;
  stored.save("13800138000", "13800138000", program.server().tokenFor("13800138000"), kLoginSms, userStore());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(JoinPath(dataFolder(), "cache"));  // asked of the service, not read from the cache
    ASSERT_TRUE(program.slowDown(c.slowPath, 12s));
    auto run = program.run(c.steps);
    ASSERT_TRUE(run->start());
    ASSERT_TRUE(run->waitForStderr(c.shown, 90s)) << run->err();
    std::this_thread::sleep_for(1s);  // the request is on its way
    const auto closed = std::chrono::steady_clock::now();
    run->signal(SIGTERM);  // closes the window the ordinary way
    ASSERT_TRUE(run->wait(30s)) << run->err();
    const auto took = std::chrono::steady_clock::now() - closed;
    EXPECT_TRUE(run->exited()) << run->err();
    EXPECT_EQ(run->exitCode(), 0) << run->err();
    // Well within the 12 s the service holds its answer.
    EXPECT_LT(took, 5s) << "ended " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                        << " ms after the close";
    // An unanswered check leaves the stored login as it was.
    AccountStore reloaded;
    reloaded.load(userStore());
    EXPECT_EQ(reloaded.account(), "13800138000");
    expectNothingLost();
  }
}

}  // namespace
}  // namespace norvane
