// The program's side of the report module: a module that is missing, is not
// a library, or registers no launcher gives the "WebModuleMissing" message
// when a report is asked for (and no window, no crash); web views that find
// no module are simply not made. This program does not link the module.
#include "reports/report_launcher.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>

#include "platform/folders.h"
#include "shell/text_table.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "toolkit/message_presenter.h"
#include "toolkit/web_view.h"

namespace norvane::reports {
namespace {

const char kMissingText[] = "报告组件缺失";

struct ModuleCase {
  const char* what;
  // Writes the module file into the program folder (or leaves it out).
  void (*make)(const std::string& path);
};

const ModuleCase kCases[] = {
    {"missing", [](const std::string&) {}},
    {"not a library", [](const std::string& path) { test::writeFile(path, "\x7f" "ELF but only a few bytes"); }},
    {"a library without a launcher",
     [](const std::string& path) {
       std::filesystem::copy_file("/lib/x86_64-linux-gnu/libz.so.1", path);
     }},
};

class ReportLauncherTest : public ::testing::TestWithParam<ModuleCase> {
 protected:
  void SetUp() override {
    test::startOffscreenApplication("report_launcher_tests");
    std::filesystem::create_directories(folder_.file("language"));
    std::string error;
    ASSERT_TRUE(writeTextTable(folder_.file("language/cn.dat"),
                               {{"Message", {{"Title", "提示"}, {"WebModuleMissing", kMissingText}}}}, error))
        << error;
    ProgramFolder = folder_.path();
    GetParam().make(folder_.file(kReportModuleFile));
  }

  test::TempDir folder_;
  toolkit::RecordingMessagePresenter messages_;
  toolkit::ScopedMessagePresenter presenter_{&messages_};
};

TEST_P(ReportLauncherTest, EveryReportAskedForSaysTheModuleIsMissing) {
  NameRecord record;
  record.Xing = "李";
  record.Ming = "白";
  openNameReport(nullptr, record);
  openFortuneReport(nullptr, "李", "白");  // asked again: said again, the load not tried again
  warmUpReports();                       // the idle warm-up stays quiet
  const auto calls = messages_.calls();
  ASSERT_EQ(calls.size(), 2u) << GetParam().what;
  for (const auto& call : calls) {
    EXPECT_EQ(call.text, QString::fromUtf8(kMissingText));
    EXPECT_EQ(call.flags & 0x10, 0x10);
  }
  EXPECT_EQ(reportLauncher(nullptr), nullptr);
}

TEST_P(ReportLauncherTest, LayoutsGetNoWebViewAndNoMessage) {
  loadReportModuleForWebViews();
  EXPECT_EQ(toolkit::makeWebView(nullptr), nullptr);
  EXPECT_FALSE(toolkit::hasWebViewMaker());
  EXPECT_TRUE(messages_.calls().empty());
  QString error;
  EXPECT_FALSE(loadReportModule(QString::fromStdString(folder_.file(kReportModuleFile)), &error));
  EXPECT_FALSE(error.isEmpty()) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(Modules, ReportLauncherTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ModuleCase>& info) {
                           std::string name;
                           for (const char* c = info.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
                           return name;
                         });

}  // namespace
}  // namespace norvane::reports
