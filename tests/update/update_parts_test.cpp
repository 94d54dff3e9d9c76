#include "update_fixture.h"

#include "telemetry/report_decrypt.h"
#include "update/entry_runs.h"

#include <json/json.h>

namespace norvane::test {
namespace {

TEST_F(UpdateTest, VersionFetchFallsBackFromABrokenProxyToADirectConnection) {
  const std::string url = host.origin() + "/windows/newversion.htm";
  host.setVersion("version=3.2.1\n");

  // A proxy that answers every request with an error page.
  LocalServer proxy;
  proxy.server().set_error_handler([](const httplib::Request&, httplib::Response& res) {
    res.status = 502;
    res.set_content("<html>proxy error</html>", "text/html");
  });
  proxy.start();
  setenv("http_proxy", proxy.origin().c_str(), 1);
  EXPECT_EQ(update.fetchUrlText(url), "version=3.2.1\n");

  // A proxy that is not there at all.
  int closedPort;
  {
    LocalServer gone;
    gone.start();
    closedPort = gone.port();
  }
  setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(closedPort)).c_str(), 1);
  EXPECT_EQ(update.fetchUrlText(url), "version=3.2.1\n");
  unsetenv("http_proxy");
  EXPECT_EQ(host.versionHits, 2);
  EXPECT_TRUE(runLog.empty());
}

TEST_F(UpdateTest, VersionFetchReadsAtMost4096Bytes) {
  host.setVersion("version=" + std::string(10000, '9'));
  const std::string text = update.fetchUrlText(host.origin() + "/windows/newversion.htm");
  EXPECT_EQ(text.size(), 4096u);
  EXPECT_EQ(text.rfind("version=99", 0), 0u);
}

TEST(RawTcpFetchTest, ReturnsTheFirstBracedText) {
  struct Case {
    const char* body;
    const char* expected;
  };
  const Case cases[] = {
      {"before {\"v\":\"1.2\"} after }", "{\"v\":\"1.2\"}"},
      {"version=1.1", ""},
      {"only { an opening", ""},
      {"} closing first then {x}", "{x}"},
  };
  LocalServer server;
  std::string body;
  server.server().Get("/v", [&body](const httplib::Request&, httplib::Response& res) {
    res.set_content(body, "text/plain");
  });
  server.start();
  for (const Case& c : cases) {
    body = c.body;
    EXPECT_EQ(fetchRawTcp(server.origin() + "/v"), c.expected) << c.body;
  }
  // Headers are skipped: braces in them do not count.
  server.server().Get("/h", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("X-Note", "{header}");
    res.set_content("plain", "text/plain");
  });
  EXPECT_EQ(fetchRawTcp(server.origin() + "/h"), "");
  server.stop();
  EXPECT_EQ(fetchRawTcp(server.origin() + "/v"), "");  // nothing listens any more
  EXPECT_THROW(fetchRawTcp("http://127.0.0.1:99999/v"), std::invalid_argument);
}

TEST_F(UpdateTest, FailedRawFetchIsWrittenToTheRunLog) {
  EXPECT_EQ(update.fetchUrlText("http://127.0.0.1:99999/windows/newversion.htm"), "");
  EXPECT_EQ(runLog, std::vector<std::string>{"GetStringFromUrl except."});
  // An unreachable host is no exception: nothing is logged.
  EXPECT_EQ(update.fetchUrlText("http://127.0.0.1:1/windows/newversion.htm"), "");
  EXPECT_EQ(runLog.size(), 1u);
}

TEST(ChannelCodeTest, PartnerInstallerNameAndPartnerId) {
  struct Case {
    const char* what;
    std::optional<std::string> partner;
    std::optional<std::string> installerName;
    int partnerId;
    std::string expected;
    std::optional<std::string> storedAfter;
  };
  const Case cases[] = {
      {"from the installer name", std::nullopt, "/opt/downloads/NvrSetup_37.exe", 0, "37", "37"},
      {"Windows-style path", std::nullopt, "C:\\dl.d\\NvrSetup_12_b.exe", 0, "12_b", "12_b"},
      {"partner id wins", std::nullopt, "NvrSetup_37.exe", 1, "1", "1"},
      {"stored partner, even empty", "", "NvrSetup_37.exe", 0, "", ""},
      {"stored partner kept", "25", std::nullopt, 0, "25", "25"},
      {"stored partner that reads as the id", "25x", std::nullopt, 25, "25x", "25x"},
      {"stored partner replaced by the id", "25", std::nullopt, 7, "7", "7"},
      {"no underscore", std::nullopt, "NvrSetup.exe", 0, "", std::nullopt},
      {"nothing after the underscore", std::nullopt, "NvrSetup_.exe", 0, "", std::nullopt},
      {"nothing stored at all", std::nullopt, std::nullopt, 0, "", std::nullopt},
  };
  for (const Case& c : cases) {
    KeyValueStore user = userStore();
    KeyValueStore machine = machineStore();
    user.remove("partner");
    machine.remove("InstallerName");
    if (c.partner) user.writeText("partner", *c.partner);
    if (c.installerName) machine.writeText("InstallerName", *c.installerName);
    EXPECT_EQ(channelCode(c.partnerId), c.expected) << c.what;
    EXPECT_EQ(user.readText("partner"), c.storedAfter) << c.what;
  }
}

TEST(EntryRunsTest, UninstallRunDeliversOneDecryptableReport) {
  std::vector<std::string> bodies;
  std::mutex mutex;
  LocalServer statistics;
  statistics.server().Post("/action.ashx", [&](const httplib::Request& req, httplib::Response& res) {
    std::lock_guard<std::mutex> lock(mutex);
    bodies.push_back(req.body);
    res.set_content("1", "text/plain");
  });
  statistics.start();

  machineStore().writeText("Version", "2.0.1");
  machineStore().writeText("uid", "ABCDEF0123456789");
  machineStore().writeText("InstallerName", "NvrSetup_37.exe");
  OemSettings oem;
  oem.partnerId = 0;
  oem.hosts.statistics = statistics.origin();

  primeUsageReporter(usageReporter(), oem);
  EXPECT_TRUE(sendUninstallReport());

  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(bodies.size(), 1u);
  auto text = decryptReport(bodies[0]);
  ASSERT_TRUE(text.has_value());
  Json::Value record;
  ASSERT_TRUE(Json::Reader().parse(*text, record));
  EXPECT_EQ(record["AppId"].asInt(), 1);
  EXPECT_EQ(record["TypeId"].asInt(), 2);
  EXPECT_EQ(record["ChannelCode"].asString(), "37");
  EXPECT_EQ(record["Version"].asString(), "2.0.1");
  EXPECT_EQ(record["MachineCode"].asString(), "ABCDEF0123456789");
  EXPECT_EQ(record["Os"].asString(), "");
  EXPECT_EQ(record["OsBit"].asInt(), currentOsBit());
}

TEST(EntryRunsTest, UnprimedFieldsStayEmpty) {
  OemSettings oem;
  oem.partnerId = 0;
  oem.hosts.statistics = "stats.example.org";
  UsageReporter reporter;
  primeUsageReporter(reporter, oem);
  EXPECT_EQ(reporter.url(), "http://stats.example.org/action.ashx");
  EXPECT_EQ(reporter.version(), "");
  EXPECT_EQ(reporter.machineCode(), "");
  EXPECT_EQ(reporter.channelCode(), "");
  EXPECT_EQ(reporter.appId(), 1);
}

}  // namespace
}  // namespace norvane::test
