// The web browser dialog with real pages from a local server: the answers a
// page hands over, the refusal to leave the page's host, and the error view.
#include "account/web_browser_dlg.h"

#include "support/engine_web_views.h"
#include "support/qt_application.h"
#include "service/test_server.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QStackedWidget>

#include <unistd.h>

namespace norvane {
namespace {

bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

TEST(WebBrowserHostRuleTest, OnlyTheGivenHostSchemeAndPort) {
  if (QApplication::instance() == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "web_browser_dialog_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  CWebBrowserDlg dlg(QStringLiteral("https://svc.example.cn/user/login/weixin/pc/?agent=1"));
  struct Case {
    const char* url;
    bool allowed;
  } cases[] = {
      {"https://svc.example.cn/user/login/weixin/pc/?agent=1", true},
      {"https://SVC.example.cn:443/callback?code=1", true},
      {"about:blank", true},
      {"http://svc.example.cn/user/login/weixin/pc/", false},
      {"https://svc.example.cn:8443/", false},
      {"https://evil.example.cn/", false},
      {"https://svc.example.cn.evil.net/", false},
      {"file:///etc/passwd", false},
      {"javascript:alert(1)", false},
      {"data:text/html,<p>x</p>", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dlg.mayNavigateTo(QUrl(QString::fromLatin1(c.url))), c.allowed) << c.url;

  CWebBrowserDlg empty{QString()};
  EXPECT_FALSE(empty.mayNavigateTo(QUrl(QStringLiteral("https://svc.example.cn/"))));
}

class WebBrowserDlgTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    test::startWebApplication("web_browser_dialog_tests");
    test::installEngineWebViews();
    toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));
  }
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "the web view needs a display: run under xvfb-run (scripts/test does)";
  }

  void page(const std::string& path, const std::string& script, const std::string& body = "") {
    home.answer(path, "<html><head><meta charset='utf-8'></head><body>" + body + "<script>" + script +
                          "</script></body></html>",
                200, "text/html; charset=utf-8");
  }
  QString at(const std::string& path) const { return QString::fromStdString(home.origin() + path); }
  int step(CWebBrowserDlg& dlg) { return dlg.control<QStackedWidget>(QStringLiteral("step"))->currentIndex(); }

  test::TestServer home;
  test::TestServer elsewhere;
};

TEST_F(WebBrowserDlgTest, JsonAnswerReplacesAPlainOneAndClosesTheDialog) {
  page("/twice",
       "JS2Native('扫码中', '').then(function () {"
       "  JS2Native('{\"result\":1,\"nickname\":\"小明\",\"unionid\":\"wx-1\"}', ''); });");
  CWebBrowserDlg dlg(at("/twice"));
  ASSERT_TRUE(dlg.create(nullptr));
  dlg.show();
  ASSERT_TRUE(waitUntil([&] { return !dlg.isVisible(); })) << dlg.answer().toStdString();
  EXPECT_EQ(dlg.answer(), QStringLiteral(R"({"result":1,"nickname":"小明","unionid":"wx-1"})"));
}

TEST_F(WebBrowserDlgTest, PlainTextsAreKeptButDoNotClose) {
  page("/plain", "JS2Native('first', '').then(function () { JS2Native('second', ''); });");
  CWebBrowserDlg dlg(at("/plain"));
  ASSERT_TRUE(dlg.create(nullptr));
  dlg.show();
  ASSERT_TRUE(waitUntil([&] { return dlg.answer() == QStringLiteral("second"); })) << dlg.answer().toStdString();
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_FALSE(dlg.isClosing());
}

TEST_F(WebBrowserDlgTest, PageCannotLeaveItsHostNorOpenWindows) {
  elsewhere.answer("/evil", "<html><body>elsewhere</body></html>", 200, "text/html");
  const std::string other = elsewhere.origin() + "/evil";
  page("/stay",
       "var first = !sessionStorage.getItem('seen'); sessionStorage.setItem('seen', '1');"
       "if (first) {"
       "  window.open('" + other + "?popup');"
       "  document.getElementById('out').click();"
       "  setTimeout(function () { location.href = '" + other + "?script'; }, 100);"
       "  setTimeout(function () { JS2Native('still:' + location.href, ''); }, 1500);"
       "} else { JS2Native('reloaded', ''); }",
       "<a id='out' href='" + other + "?link'>out</a>");
  CWebBrowserDlg dlg(at("/stay"));
  ASSERT_TRUE(dlg.create(nullptr));
  dlg.show();
  ASSERT_TRUE(waitUntil([&] { return dlg.answer().startsWith(QStringLiteral("still:")); }))
      << dlg.answer().toStdString();
  EXPECT_EQ(dlg.answer(), QStringLiteral("still:") + at("/stay"));
  EXPECT_EQ(elsewhere.requestCount(), 0u);
  EXPECT_EQ(home.requestsTo("/stay").size(), 1u);
  EXPECT_EQ(step(dlg), 0);
  EXPECT_EQ(QApplication::topLevelWidgets().count(), 1) << "a page window was opened";
}

TEST_F(WebBrowserDlgTest, PageReachesOneHostFunctionOnly) {
  // The page lists what the host object offers through a channel of its own,
  // tries to delete the host object, and then calls the host again.
  page("/probe",
       "new QWebChannel(qt.webChannelTransport, function (channel) {"
       "  var names = [];"
       "  for (var c in channel.objects) {"
       "    var o = channel.objects[c];"
       "    for (var k in o) if (typeof o[k] === 'function' && k.indexOf('(') < 0 &&"
       "        ['unwrapQObject', 'unwrapProperties', 'propertyUpdate', 'signalEmitted', 'toJSON'].indexOf(k) < 0)"
       "      names.push(c + '.' + k);"
       "  }"
       "  var host = channel.objects.norvaneHost;"
       "  host.deleteLater();"
       "  setTimeout(function () { host.call('offered:' + names.sort().join(','), '', function () {}); }, 300);"
       "});");
  CWebBrowserDlg dlg(at("/probe"));
  ASSERT_TRUE(dlg.create(nullptr));
  dlg.show();
  ASSERT_TRUE(waitUntil([&] { return dlg.answer().startsWith(QStringLiteral("offered:")); }));
  // Besides the page-to-host text only the object's deleteLater is listed,
  // and it does nothing: the host still answered after it.
  EXPECT_EQ(dlg.answer().toStdString(), "offered:norvaneHost.call,norvaneHost.deleteLater");
  ASSERT_NE(dlg.control<toolkit::WebView>(QStringLiteral("ie"))->findChild<toolkit::NativeBridge*>(), nullptr);
}

TEST_F(WebBrowserDlgTest, PageThatCannotLoadShowsTheErrorViewUntilRetried) {
  // Nothing listens on port 1: every load of the address fails.
  CWebBrowserDlg dlg(QStringLiteral("http://127.0.0.1:1/user/login/qq/pc/?agent=1"));
  ASSERT_TRUE(dlg.create(nullptr));
  dlg.SetCaption(QStringLiteral("QQ账号登录"));
  dlg.show();
  ASSERT_TRUE(waitUntil([&] { return step(dlg) == 1; }));
  EXPECT_EQ(dlg.control<QLabel>(QStringLiteral("caption"))->text(), QStringLiteral("QQ账号登录"));

  auto* refresh = dlg.control<QAbstractButton>(QStringLiteral("btnRefresh"));
  ASSERT_NE(refresh, nullptr);
  refresh->click();
  EXPECT_EQ(step(dlg), 0);
  ASSERT_TRUE(waitUntil([&] { return step(dlg) == 1; }));

  // Closed before the page said anything: nothing for the login dialog.
  dlg.control<QAbstractButton>(QStringLiteral("btnClose"))->click();
  ASSERT_TRUE(waitUntil([&] { return !dlg.isVisible(); }));
  EXPECT_EQ(dlg.answer(), QString());
}

}  // namespace
}  // namespace norvane
