#include "toolkit/web_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <unistd.h>

#include "support/engine_web_views.h"
#include "support/qt_application.h"
#include "support/temp_dir.h"
#include "toolkit/layout_loader.h"
#include "toolkit/skin_archive.h"
#include "toolkit/skin_fixture.h"
#include "toolkit/window.h"

namespace norvane::toolkit {
namespace {

// A window with a web view control that records what the page does.
class PageWindow : public Window {
 public:
  PageWindow() : Window(QStringLiteral("NorvaneResultWindowClass"), QStringLiteral("web.xml")) {}
  struct Load {
    QString url;
    bool ok;
  };
  std::vector<Load> loads;
  QStringList calls;

 protected:
  void onPageLoaded(WebView*, const QString& url, bool ok) override { loads.push_back({url, ok}); }
  QString OnJS2Native(const QString& method, const QString& content) override {
    calls << method + QLatin1Char('|') + content;
    return QStringLiteral("answer:") + method;
  }
};

class WebViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    test::startWebApplication("web_view_tests");
    test::installEngineWebViews();
    SkinArchive::instance().loadBytes(
        test::makeZip({{"web.xml", test::layoutDocument(test::item("WebView", "Webkit"), 400, 300)}}));
  }
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "the web view needs a display: run under xvfb-run (scripts/test does)";
  }
  static bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }
  test::TempDir dir_;
};

TEST_F(WebViewTest, LoaderMakesTheViewAndLoadsReportUrlAndSuccess) {
  test::writeFile(dir_.file("page.html"), "<html><body><p id='t'>页面</p></body></html>");
  PageWindow w;
  ASSERT_TRUE(w.create());
  auto* view = w.control<WebView>(QStringLiteral("Webkit"));
  ASSERT_NE(view, nullptr);
  w.show();
  view->navigate(QString::fromStdString(dir_.file("page.html")));
  ASSERT_TRUE(waitUntil([&] { return w.loads.size() == 1; }));
  EXPECT_TRUE(w.loads[0].ok);
  EXPECT_TRUE(w.loads[0].url.endsWith(QStringLiteral("/page.html"))) << w.loads[0].url.toStdString();
  EXPECT_TRUE(w.loads[0].url.startsWith(QStringLiteral("file://")));

  view->navigate(QString::fromStdString(dir_.file("missing.html")));
  ASSERT_TRUE(waitUntil([&] { return w.loads.size() == 2; }));
  EXPECT_FALSE(w.loads[1].ok);
}

TEST_F(WebViewTest, ScriptsRunAndThePageReachesTheHost) {
  // The page calls the host as soon as it runs, before the channel is up:
  // the call is queued and delivered, and the answer comes back to the page.
  test::writeFile(dir_.file("call.html"),
                  "<html><body><script>"
                  "window.got = '';"
                  "JS2Native('login', '{\"a\":\"名\"}').then(function (r) { window.got = r; });"
                  "function SetData(s) { document.title = s; }"
                  "</script></body></html>");
  // Declared before the window: the view answers pending script calls with an
  // empty result when it goes away, so these must outlive it.
  QString got, title;
  PageWindow w;
  ASSERT_TRUE(w.create());
  auto* view = w.control<WebView>(QStringLiteral("Webkit"));
  w.show();
  view->navigate(QString::fromStdString(dir_.file("call.html")));
  ASSERT_TRUE(waitUntil([&] { return !w.loads.empty(); }));
  ASSERT_TRUE(waitUntil([&] { return !w.calls.isEmpty(); })) << "the page's call never arrived";
  EXPECT_EQ(w.calls, QStringList{QStringLiteral("login|{\"a\":\"名\"}")});

  ASSERT_TRUE(waitUntil([&] {
    view->runScript(QStringLiteral("window.got"), [&](const QString& v) { got = v; });
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    return got == QStringLiteral("answer:login");
  }));

  view->runScript(QStringLiteral("SetData('第一页')"));
  ASSERT_TRUE(waitUntil([&] {
    view->runScript(QStringLiteral("document.title"), [&](const QString& v) { title = v; });
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    return title == QStringLiteral("第一页");
  }));
}

}  // namespace
}  // namespace norvane::toolkit
