// The program's own usage reporter and update checker against the statistics
// and update hosts of the reference service.
#include <gtest/gtest.h>

#include "refservice_test_support.h"
#include "support/temp_dir.h"
#include "telemetry/usage_reporter.h"
#include "update/update.h"

namespace norvane::refservice::test {
namespace {

TEST(RefServiceWithClientHosts, ReporterReportsAreDecryptedAndStored) {
  ServerOptions options;
  options.withoutNaming = true;
  RunningServer s(options);
  ASSERT_TRUE(s.started()) << s.error();
  norvane::UsageReporter reporter;
  reporter.setHost("http://127.0.0.1:" + std::to_string(s.server().port()));
  reporter.setAppId(1);
  reporter.setOs("");
  reporter.setChannelCode("37");
  reporter.setVersion("1.0.9");
  reporter.setMachineCode("5f0c2a9e");
  reporter.setOsBit(64);
  for (int type = 1; type <= 4; ++type) EXPECT_TRUE(reporter.reportAction(type)) << type;

  Json::Value reports;
  ASSERT_TRUE(parseJson(exchange("GET", s.url("/stats/reports"), "", "").body, reports));
  ASSERT_EQ(reports.size(), 4u);
  for (int type = 1; type <= 4; ++type) {
    const Json::Value& r = reports[type - 1];
    EXPECT_EQ(r["TypeId"].asInt(), type);
    EXPECT_EQ(r["plain"].asString(), reporter.recordText(type)) << "decrypted text equals what was encrypted";
    EXPECT_EQ(r["ChannelCode"].asString(), "37");
    EXPECT_EQ(r["MachineCode"].asString(), "5f0c2a9e");
    EXPECT_EQ(r["OsBit"].asInt(), 64);
  }
}

TEST(RefServiceWithClientHosts, UpdateCheckerReadsVersionAndDownloadsInstaller) {
  norvane::test::TempDir dir;
  std::string installer(300000, '\0');
  for (std::size_t i = 0; i < installer.size(); ++i) installer[i] = static_cast<char>(i * 31 + 7);
  norvane::test::writeFile(dir.file("setup.bin"), installer);
  ServerOptions options;
  options.withoutNaming = true;
  options.versionText = "1.1.0";
  options.installerFile = dir.file("setup.bin");
  RunningServer s(options);
  ASSERT_TRUE(s.started()) << s.error();

  norvane::CUpdate update;
  EXPECT_EQ(update.fetchUrlText(s.url("/windows/newversion.htm")), "version=1.1.0");
  ASSERT_TRUE(update.downloadFile(s.url("/windows/NvrSetup.exe"), dir.file("NvrSetupNew.exe")));
  EXPECT_TRUE(norvane::test::readFile(dir.file("NvrSetupNew.exe")) == installer);

  // A download cut short fails and leaves the installer as it was.
  ASSERT_EQ(exchange("POST", s.url("/control/fault"), R"({"mode":"cut","path":"/windows/NvrSetup.exe"})", "").status, 200);
  norvane::test::writeFile(dir.file("NvrSetupNew.exe"), "old");
  EXPECT_FALSE(update.downloadFile(s.url("/windows/NvrSetup.exe"), dir.file("NvrSetupNew.exe")));
  EXPECT_EQ(norvane::test::readFile(dir.file("NvrSetupNew.exe")), "old");
}

}  // namespace
}  // namespace norvane::refservice::test
