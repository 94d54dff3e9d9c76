// A report as a screen reader meets it: with Qt's accessibility active (as it
// is while an assistive tool runs), the text of a filled report page, its
// headings and its pictures' descriptions are in the accessibility tree of
// the report window, and the keys lead through the window. Needs a display
// (xvfb-run); skips without one.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QStackedWidget>
#include <QTest>
#include <QWebEngineView>

#include <filesystem>
#include <functional>

#include "platform/utf8.h"
#include "reports/name_report_window.h"
#include "reports/report_fixture.h"
#include "service/endpoints.h"
#include "service/response_cache.h"
#include "support/qt_application.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_engine_view.h"

namespace norvane::reports {
namespace {

namespace fs = std::filesystem;

bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

struct TreeText {
  QStringList names;     // every node's name (and value), in tree order
  QStringList headings;  // the names of heading nodes
  int pictures = 0;      // image nodes
  int unnamedPictures = 0;
};

void collect(QAccessibleInterface* node, TreeText& out, int depth = 0) {
  if (node == nullptr || !node->isValid() || depth > 64) return;
  const QString name = node->text(QAccessible::Name);
  if (!name.isEmpty()) out.names << name;
  const QString value = node->text(QAccessible::Value);
  if (!value.isEmpty() && value != name) out.names << value;
  if (node->role() == QAccessible::Heading) out.headings << name;
  if (node->role() == QAccessible::Graphic) {
    ++out.pictures;
    if (name.isEmpty()) ++out.unnamedPictures;
  }
  for (int i = 0; i < node->childCount(); ++i) collect(node->child(i), out, depth + 1);
}

TreeText treeOf(QObject* root) {
  TreeText text;
  collect(QAccessible::queryAccessibleInterface(root), text);
  return text;
}

class ReportAccessibilityTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    // Qt's accessibility on, as a running screen reader turns it on.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    test::startWebApplication("report_accessibility_tests");
    toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));
  }

  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs a display: run under xvfb-run";
    const fs::path content = fs::path(NORVANE_BIN_DIR) / "content";
    ASSERT_TRUE(fs::exists(content / "zongh.html")) << "build the content folder first (target norvane_content)";
    ASSERT_TRUE(test::makeReportProgramFolder(program_.path()));
    fs::copy(content, fs::path(program_.path()) / "content", fs::copy_options::recursive);
    ServiceEndpoints::initialize(program_.path(), data_.path(), "http://127.0.0.1:1");
    ProgramFolder = program_.path();
  }

  // The analysis of `r` in the answer cache, so the report needs no service.
  static void seedAnalysis(const NameRecord& r) {
    Json::Value analysis = test::readJsonFixture("name_analysis.json");
    analysis["name"]["words"] = Json::Value(Json::arrayValue);
    for (char32_t c : utf8ToCodePoints(r.Xing + r.Ming)) analysis["name"]["words"].append(codePointToUtf8(c));
    AnalysisQuery q(Endpoint::NameAnalysis);
    q.Xing = r.Xing;
    q.Ming = r.Ming;
    q.Birthday = r.Birthday;
    q.Gender = r.Gender;
    q.Longitude = r.Longitude;
    Json::Value answer;
    answer["code"] = 0;
    answer["data"] = analysis;
    ASSERT_TRUE(ResponseCache::write(ResponseCache::path(CacheKind::Analysis, q.cacheKey()), writeStyledJson(answer)));
  }

  // Waits until the filled page's text is in the tree (the page's own
  // "being prepared" line gone, `mustHold` there); returns the last tree read.
  static TreeText waitForPageText(QWidget* view, const QString& mustHold) {
    TreeText text;
    waitUntil(
        [&] {
          text = treeOf(view);
          const QString all = text.names.join(QLatin1Char('\n'));
          return all.contains(mustHold) && !all.contains(QStringLiteral("正在准备报告")) && all.size() > 100;
        },
        20000);
    return text;
  }

  test::TempDir program_;
  test::TempDir data_;
  toolkit::RecordingMessagePresenter messages_;
  toolkit::ScopedMessagePresenter presenter_{&messages_};
};

TEST_F(ReportAccessibilityTest, ReportPagesGiveTheirTextHeadingsAndPictureNames) {
  const NameRecord record = test::fixtureRecord();
  seedAnalysis(record);
  CQuMingResultWnd w(record);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; })) << "page 0 was never filled";
  QWidget* view = static_cast<toolkit::WebEngineWebView*>(w.webView())->engineView();

  // The summary page: its heading, its section headings and its score rings by name.
  TreeText summary = waitForPageText(view, QStringLiteral("综合"));
  const QString all = summary.names.join(QLatin1Char('\n'));
  EXPECT_TRUE(summary.headings.contains(QStringLiteral("综合提示"))) << summary.headings.join('|').toStdString();
  EXPECT_GE(summary.headings.size(), 3) << summary.headings.join('|').toStdString();
  EXPECT_GT(summary.pictures, 0);
  EXPECT_EQ(summary.unnamedPictures, 0) << all.toStdString();
  EXPECT_GT(all.size(), 300) << all.toStdString();

  // The report opened on its tab bar; the arrow keys turn its pages and the
  // next page's text reaches the tree as well.
  ASSERT_NE(w.focusWidget(), nullptr);
  EXPECT_EQ(w.focusWidget()->objectName(), QStringLiteral("tabZhongheTishi"));
  // A bare X server has no window manager to make the report the active window.
  QApplication::setActiveWindow(&w);
  QTest::keyClick(w.focusWidget(), Qt::Key_Right);
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 1; })) << "the second tab did not load its page";
  TreeText eight = waitForPageText(view, QStringLiteral("八字分析"));
  EXPECT_TRUE(eight.headings.contains(QStringLiteral("八字分析"))) << eight.headings.join('|').toStdString();
  EXPECT_EQ(eight.unnamedPictures, 0);

  // Esc closes the report.
  QTest::keyClick(w.focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(waitUntil([&] { return !w.isVisible(); }, 3000));
}

}  // namespace
}  // namespace norvane::reports
