// norvane-cli report as a user runs it: the built program folder with its
// built-in reference service, no display (the command lays the report out
// offscreen), a fresh data folder. The PDF is read back with poppler's tools
// and must hold what the analysis of the same name says.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

#include "service/json_access.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;

struct CommandRun {
  int exit = -1;
  std::string out;
};

class ReportCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v pdftotext >/dev/null && command -v pdfinfo >/dev/null") != 0)
      GTEST_SKIP() << "poppler-utils is not installed (scripts/install-deps installs it)";
    ASSERT_TRUE(fs::exists(std::string(NORVANE_BIN_DIR) + "/norvane-cli-report"));
  }

  // The command with a clean environment: no display, its own data folder.
  CommandRun cli(const std::string& args, bool toStdout = true) {
    std::string command = "env -i PATH=/usr/bin:/bin HOME='" + home_.path() + "' XDG_CONFIG_HOME='" +
                          home_.file("config") + "' QTWEBENGINE_CHROMIUM_FLAGS=--disable-dev-shm-usage '" +
                          std::string(NORVANE_BIN_DIR) + "/norvane-cli' " + args + (toStdout ? " 2>/dev/null" : " 2>&1");
    CommandRun r;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      std::size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
      int status = pclose(pipe);
      r.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return r;
  }

  static std::string text(const std::string& pdf) {
    std::string out;
    if (FILE* pipe = popen(("pdftotext -enc UTF-8 '" + pdf + "' -").c_str(), "r")) {
      char buffer[4096];
      std::size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
      pclose(pipe);
    }
    std::erase_if(out, [](char c) { return c == ' ' || c == '\n' || c == '\f'; });
    return out;
  }

  static int pages(const std::string& pdf) {
    std::string out;
    if (FILE* pipe = popen(("pdfinfo '" + pdf + "'").c_str(), "r")) {
      char buffer[4096];
      std::size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
      pclose(pipe);
    }
    std::smatch m;
    return std::regex_search(out, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : 0;
  }

  test::TempDir home_;
  const std::string birth_ = " --surname 欧阳 --name 明轩 --gender 1 --birthday '2024-3-15 09:05' --county 110101";
};

TEST_F(ReportCliTest, WritesTheNameReportWithTheAnalysisTexts) {
  CommandRun analysis = cli("analyse" + birth_);
  ASSERT_EQ(analysis.exit, 0) << analysis.out;
  Json::Value data;
  ASSERT_TRUE(parseJson(analysis.out, data)) << analysis.out;

  const std::string pdf = home_.file("欧阳明轩.pdf");
  CommandRun report = cli("report" + birth_ + " --pdf '" + pdf + "'", false);
  ASSERT_EQ(report.exit, 0) << report.out;
  EXPECT_NE(report.out.find("\"reportPages\" : 7"), std::string::npos) << report.out;
  EXPECT_GE(pages(pdf), 7);
  const std::string t = text(pdf);
  char total[32];
  std::snprintf(total, sizeof total, "%0.2f", static_cast<double>(static_cast<float>(data["score"]["total"].asDouble())));
  EXPECT_NE(t.find(total), std::string::npos) << "the total score " << total;
  for (const char* grid : {"tg", "rg", "dg", "wg", "zg"}) {
    EXPECT_NE(t.find(data["wuge"][grid][0].asString()), std::string::npos) << grid;
    EXPECT_NE(t.find(data["wuge"][grid][2].asString()), std::string::npos) << grid;
  }
  for (const Json::Value& pillar : data["bazi"]["zhu"]) {
    EXPECT_NE(t.find(pillar["name"].asString()), std::string::npos) << pillar["name"].asString();
    EXPECT_NE(t.find(pillar["ny"].asString()), std::string::npos) << pillar["ny"].asString();
  }
  EXPECT_NE(t.find("欧阳明轩·姓名分析报告·导出于"), std::string::npos);
}

TEST_F(ReportCliTest, NicknameAndFortuneReportsAndFailures) {
  const std::string nick = home_.file("nick.pdf");
  CommandRun n = cli("report --nickname --surname 李 --name 小宝 --gender 2 --birthday '2021-5-3 07:05' --county 110101 --pdf '" +
              nick + "'", false);
  ASSERT_EQ(n.exit, 0) << n.out;
  EXPECT_NE(text(nick).find("小名分析"), std::string::npos);

  const std::string fortune = home_.file("fortune.pdf");
  CommandRun f = cli("report --fortune --surname 李 --name 白 --pdf '" + fortune + "'", false);
  ASSERT_EQ(f.exit, 0) << f.out;
  EXPECT_NE(text(fortune).find("李白·姓名运势·导出于"), std::string::npos);

  // A folder that cannot be written: a message and no file.
  test::writeFile(home_.file("file"), "x");
  CommandRun bad = cli("report --fortune --surname 李 --name 白 --pdf '" + home_.file("file") + "/x.pdf'", false);
  EXPECT_EQ(bad.exit, 1);
  EXPECT_NE(bad.out.find("cannot write"), std::string::npos) << bad.out;

  // Options the command refuses.
  EXPECT_EQ(cli("report --fortune --nickname --surname 李 --name 白 --pdf x.pdf").exit, 2);
  EXPECT_EQ(cli("report --fortune --surname 李 --name 白").exit, 2);
  EXPECT_EQ(cli("report --fortune=1 --surname 李 --name 白 --pdf x.pdf").exit, 2);
  CommandRun help = cli("report --help");
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("--pdf FILE"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace norvane
