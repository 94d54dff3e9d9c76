// The three report windows with the real templates from the built content
// folder in the real web view: the analysis comes from the answer cache (or,
// for failures, from a service that is not there), and the tests read back
// what each page's SetData received and what the page shows.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineView>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "reports/fortune_report_window.h"
#include "support/qt_application.h"
#include "reports/name_report_window.h"
#include "reports/nickname_report_window.h"
#include "reports/report_fixture.h"
#include "reports/report_launcher.h"
#include "reports/report_page_policy.h"
#include "reports/warm_view.h"
#include "platform/utf8.h"
#include "service/endpoints.h"
#include "service/response_cache.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"
#include "toolkit/window_registry.h"

// Failure messages show texts, not their code units.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace norvane::reports {
namespace {

namespace fs = std::filesystem;
using test::parsed;

bool waitUntil(const std::function<bool()>& done, int ms = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// Runs a script in the page and returns its result as text.
QString evalJs(toolkit::WebView* view, const QString& script) {
  bool done = false;
  QString result;
  view->runScript(script, [&](const QString& v) {
    result = v;
    done = true;
  });
  waitUntil([&] { return done; }, 10000);
  return result;
}

// Wraps the page's SetData so that it records its arguments, sends the
// window's last script again and returns the recorded arguments.
Json::Value resendAndRecord(ReportWindow& w) {
  evalJs(w.webView(), QStringLiteral(
                          "(function () { window.__got = []; var original = window.SetData;"
                          " window.SetData = function () { window.__got.push(Array.prototype.slice.call(arguments));"
                          " return original.apply(this, arguments); }; return 'wrapped'; })()"));
  w.webView()->runScript(w.host().lastScript());
  QString got;
  waitUntil([&] {
    got = evalJs(w.webView(), QStringLiteral("window.__got.length ? JSON.stringify(window.__got[0]) : ''"));
    return !got.isEmpty();
  });
  return parsed(got.toStdString());
}

QString bodyText(ReportWindow& w) { return evalJs(w.webView(), QStringLiteral("document.body.innerText")); }

// A text that tries everything a service text could do to a script call or a page.
const std::string kHostile =
    "他说\"好\"，it's \\ 反\\\\斜杠 </script><script>window.__pwned = 1;</script>"
    "<img src=x onerror=\"window.__pwned = 2\"> 第一行\r\n第二行\n第三行\u2028段\u2029尾";

// The page source of the tests: pages of names, paged like the main window
// pages its list (the neighbouring page is loaded, then 1033 is posted to the
// open report window).
class TestPageSource : public NamePageSource {
 public:
  std::vector<std::vector<NameRecord>> pages;
  std::size_t page = 0;
  const std::vector<NameRecord>& currentNames() const override { return pages[page]; }
  bool canGoPrevious() const override { return page > 0; }
  bool canGoNext() const override { return page + 1 < pages.size(); }
  void previousPage() override { turnTo(page - 1); }
  void nextPage() override { turnTo(page + 1); }

 private:
  void turnTo(std::size_t p) {
    page = p;
    if (auto* w = toolkit::WindowRegistry::findWindow(QString::fromLatin1(kReportWindowClass)))
      w->post(kMessageNewNamePage);
  }
};

// A service that takes every connection and closes it after a pause, so a
// request that reaches it runs for that long and then fails.
class SlowService {
 public:
  SlowService() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 8);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int c = ::accept(fd_, nullptr, nullptr);
        if (c < 0) continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        ::close(c);
      }
    });
  }
  ~SlowService() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class ReportWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    test::startWebApplication("report_window_tests");
    toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));
  }

  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "the report windows need a display: run under xvfb-run (scripts/test does)";
    const fs::path content = fs::path(NORVANE_BIN_DIR) / "content";
    ASSERT_TRUE(fs::exists(content / "zongh.html")) << "build the content folder first (target norvane_content)";
    ASSERT_TRUE(test::makeReportProgramFolder(program_.path()));
    fs::copy(content, fs::path(program_.path()) / "content", fs::copy_options::recursive);
    // No service answers on this port: whatever is not in the cache fails.
    ServiceEndpoints::initialize(program_.path(), data_.path(), "http://127.0.0.1:1");
    ProgramFolder = program_.path();
  }

  static void seedAnalysis(const NameRecord& r, const Json::Value& analysis, bool nickname) {
    AnalysisQuery q(nickname ? Endpoint::NicknameAnalysis : Endpoint::NameAnalysis);
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

  // The fixture analysis with the name's own characters in the header.
  static Json::Value analysisOf(const NameRecord& r) {
    Json::Value a = test::readJsonFixture("name_analysis.json");
    a["name"]["words"] = Json::Value(Json::arrayValue);
    for (char32_t c : utf8ToCodePoints(r.Xing + r.Ming)) a["name"]["words"].append(codePointToUtf8(c));
    return a;
  }

  static NameRecord named(const std::string& xing, const std::string& ming, float score) {
    NameRecord r = test::fixtureRecord();
    r.Xing = xing;
    r.Ming = ming;
    r.FengShu = score;
    return r;
  }

  bool contentShown(ReportWindow& w, const char* tabs) {
    auto* stack = w.control<QStackedWidget>(QString::fromLatin1(tabs));
    return stack != nullptr && stack->currentIndex() == 1;
  }

  test::TempDir program_;
  test::TempDir data_;
  toolkit::RecordingMessagePresenter messages_;
  toolkit::ScopedMessagePresenter presenter_{&messages_};
};

// What SetData must receive for page data `d`, as the page sees its arguments.
Json::Value expectedArguments(const PageData& d) {
  Json::Value a(Json::arrayValue);
  auto noLf = [](std::string s) {
    std::erase(s, '\n');
    return s;
  };
  switch (d.form) {
    case PageForm::JsonObject: a.append(d.object); break;
    case PageForm::OneString: a.append(noLf(d.first)); break;
    case PageForm::TwoStrings: a.append(noLf(d.first)); a.append(noLf(d.second)); break;
    case PageForm::Utf8String: a.append(noLf(cleanText(QString::fromStdString(d.first)).toStdString())); break;
    case PageForm::None: break;
  }
  return a;
}

// The page's arguments with the JSON text of a JSON page parsed.
Json::Value comparable(const Json::Value& got, PageForm form) {
  if (form != PageForm::JsonObject || got.size() != 1) return got;
  Json::Value a(Json::arrayValue);
  a.append(parsed(got[0].asString()));
  return a;
}

TEST_F(ReportWindowTest, NameReportFillsHeaderAndAllSevenPages) {
  const NameRecord record = test::fixtureRecord();
  Json::Value analysis = analysisOf(record);
  analysis["content"]["jy"] = kHostile;
  seedAnalysis(record, analysis, false);

  CQuMingResultWnd w(record);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; })) << "page 0 was never filled";
  EXPECT_TRUE(contentShown(w, "tabQumingResult"));
  EXPECT_FALSE(w.control(QStringLiteral("bottomNameList"))->isVisible()) << "no page: no strip";

  // Header: four characters, their marks from x = 230 in steps of 30, the score.
  for (int i = 1; i <= 4; ++i) {
    EXPECT_TRUE(w.control<QLabel>(QStringLiteral("MingZhi_%1").arg(i))->isVisible()) << i;
    EXPECT_EQ(w.control(QStringLiteral("Wuxing_%1").arg(i))->x(), 230 + (i - 1) * 30) << i;
    EXPECT_EQ(w.control(QStringLiteral("Jixiong_%1").arg(i))->x(), 230 + (i - 1) * 30) << i;
  }
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("MingZhi_3"))->text(), QStringLiteral("明"));
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("MingZhi_PY_4"))->text(), QStringLiteral("xuān"));
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("Jixiong_3"))->text(), QStringLiteral("大吉"));
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("score"))->text(), QStringLiteral("93.50分"));

  for (int page = 0; page < kNamePageCount; ++page) {
    SCOPED_TRACE(namePageTemplate(page));
    if (page > 0) {
      w.control<QPushButton>(QString::fromLatin1(CQuMingResultWnd::kTabOptions[page]))->click();
      ASSERT_TRUE(waitUntil([&] { return w.shownPage() == page; }));
    }
    const PageData expected = buildPageData(page, w.query().Data, w.knowledgeDb(), record, w.birthPlace());
    const Json::Value got = resendAndRecord(w);
    EXPECT_EQ(comparable(got, expected.form), expectedArguments(expected)) << got.toStyledString();
    const QString text = bodyText(w);
    EXPECT_FALSE(text.trimmed().isEmpty());
    switch (page) {
      case 0:
        EXPECT_TRUE(text.contains(QStringLiteral("北京市东城区"))) << text.toStdString();
        // The hostile text arrived exactly and shows as text.
        EXPECT_EQ(parsed(got[0].asString())["jy"].asString(), kHostile);
        EXPECT_TRUE(text.contains(QStringLiteral("<img src=x onerror=\"window.__pwned = 2\">"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("</script><script>"))) << text.toStdString();
        break;
      case 2: EXPECT_TRUE(text.contains(QStringLiteral("旭日东升"))) << text.toStdString(); break;
      case 4: EXPECT_TRUE(text.contains(QStringLiteral("机敏"))) << text.toStdString(); break;
      case 5: EXPECT_TRUE(text.contains(QStringLiteral("心思"))) << text.toStdString(); break;
      case 6: EXPECT_TRUE(text.contains(QStringLiteral("独立"))) << text.toStdString(); break;
      default: break;
    }
    EXPECT_EQ(evalJs(w.webView(), QStringLiteral("String(window.__pwned)")), QStringLiteral("undefined"));
  }
  EXPECT_TRUE(messages_.calls().empty());
}

TEST_F(ReportWindowTest, TheSummaryShowsTheSourceOfTheRecordElseOfTheAnalysis) {
  NameRecord fromList = test::fixtureRecord();
  fromList.ChuChu = {"<i>明</i>月松间照，清泉石上流轩", "山居秋暝", "王维", "唐诗三百首"};
  NameRecord typed = named("欧阳", "明远", 90.0f);  // the analysis form's record has no source
  Json::Value withSource = analysisOf(typed);
  withSource["ChuChu"] = parsed(R"({"Text":"非淡泊无以明志，非宁静无以致远","Title":"诫子书","Author":"诸葛亮",
                                     "Book":"诸葛亮集"})");
  seedAnalysis(fromList, analysisOf(fromList), false);
  seedAnalysis(typed, withSource, false);
  struct Case {
    NameRecord record;
    QString line;  // as the page shows it
    QString cite;
  } cases[] = {
      {fromList, QStringLiteral("<i>明</i>月松间照，清泉石上流轩"), QStringLiteral("王维《山居秋暝》 · 选自《唐诗三百首》")},
      {typed, QStringLiteral("非淡泊无以明志，非宁静无以致远"), QStringLiteral("诸葛亮《诫子书》 · 选自《诸葛亮集》")},
  };
  for (const Case& c : cases) {
    CQuMingResultWnd w(c.record);
    ASSERT_TRUE(w.create());
    w.show();
    ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; })) << "page 0 was never filled";
    const QString text = bodyText(w);
    EXPECT_TRUE(text.contains(QStringLiteral("名字出处"))) << text.toStdString();
    EXPECT_TRUE(text.contains(c.line)) << text.toStdString();
    EXPECT_TRUE(text.contains(c.cite)) << text.toStdString();
    EXPECT_EQ(evalJs(w.webView(), QStringLiteral("String(document.querySelectorAll('i').length)")), QStringLiteral("0"));
  }
}

// The view made ahead (the idle warm-up) serves the next name report: the
// report fills it as its own, under the same page rules, and once the report
// has gone another view is made for the next one.
TEST_F(ReportWindowTest, NameReportTakesTheWarmViewAndTheNextOneIsMade) {
  const NameRecord record = test::fixtureRecord();
  seedAnalysis(record, analysisOf(record), false);
  WarmView::prepare(QStringLiteral("zongh.html"));
  ASSERT_TRUE(waitUntil([] { return WarmView::ready(); })) << "the warm view never loaded its template";
  {
    CQuMingResultWnd w(record);
    ASSERT_TRUE(w.create());
    w.show();
    ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; })) << "page 0 was never filled";
    EXPECT_FALSE(WarmView::ready()) << "the report did not take the warm view";
    EXPECT_EQ(w.control<toolkit::WebView>(QStringLiteral("Webkit")), w.webView());
    EXPECT_TRUE(bodyText(w).contains(QStringLiteral("北京市东城区")));
    EXPECT_FALSE(w.webView()->hostObjectExposed());
    // The next tab loads into the same view.
    w.control<QPushButton>(QString::fromLatin1(CQuMingResultWnd::kTabOptions[2]))->click();
    ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 2; }));
    EXPECT_TRUE(bodyText(w).contains(QStringLiteral("旭日东升")));
  }
  EXPECT_TRUE(waitUntil([] { return WarmView::ready(); })) << "no warm view for the next report";
  WarmView::discard();
  EXPECT_TRUE(messages_.calls().empty());
}

TEST_F(ReportWindowTest, HeaderOfATwoCharacterNameAndHostileLabels) {
  NameRecord record = named("李", "白", 90.25f);
  Json::Value analysis = analysisOf(record);
  analysis["name"]["py"] = parsed(R"(["lǐ", "<b>bái</b>"])");
  analysis["score"]["total"] = 90.254;
  seedAnalysis(record, analysis, false);

  CQuMingResultWnd w(record);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));
  EXPECT_FALSE(w.control(QStringLiteral("MingZhi_3"))->isVisible());
  EXPECT_FALSE(w.control(QStringLiteral("MingZhi_4"))->isVisible());
  EXPECT_EQ(w.control(QStringLiteral("Wuxing_1"))->x(), 130);
  EXPECT_EQ(w.control(QStringLiteral("Jixiong_1"))->x(), 130);
  EXPECT_EQ(w.control(QStringLiteral("Wuxing_2"))->x(), 160);
  EXPECT_EQ(w.control(QStringLiteral("Jixiong_2"))->x(), 160);
  auto* py = w.control<QLabel>(QStringLiteral("MingZhi_PY_2"));
  EXPECT_EQ(py->text(), QStringLiteral("<b>bái</b>"));
  EXPECT_EQ(py->textFormat(), Qt::PlainText);
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("score"))->text(), QStringLiteral("90.25分"));
}

TEST_F(ReportWindowTest, BottomStripSelectsAndPagesThroughTheMainWindowsList) {
  TestPageSource source;
  source.pages = {{named("欧阳", "明轩", 93.5f), named("欧阳", "子涵", 91.0f), named("欧阳", "雨桐", 90.5f)},
                  {named("欧阳", "浩然", 89.0f)}};
  for (const auto& page : source.pages)
    for (const NameRecord& r : page) seedAnalysis(r, analysisOf(r), false);

  CQuMingResultWnd w(source.pages[0][1]);
  w.setNamePage(&source);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));
  auto option = [&](int i) { return w.control<QPushButton>(QStringLiteral("Xingming%1").arg(i)); };
  auto* previous = w.control<QPushButton>(QStringLiteral("btnPrePageQuming"));
  auto* next = w.control<QPushButton>(QStringLiteral("btnNextPageQuming"));
  EXPECT_TRUE(w.control(QStringLiteral("bottomNameList"))->isVisible());
  EXPECT_EQ(option(1)->text(), QStringLiteral("欧阳明轩（93.50分）"));
  EXPECT_EQ(option(3)->text(), QStringLiteral("欧阳雨桐（90.50分）"));
  EXPECT_TRUE(option(2)->isChecked()) << "the current name is the checked option";
  EXPECT_FALSE(option(4)->isVisible());
  EXPECT_FALSE(previous->isEnabled());
  EXPECT_TRUE(next->isEnabled());
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("MingZhi_3"))->text(), QStringLiteral("子"));

  // Another name: loading view, a new analysis, the header of that name.
  option(3)->click();
  EXPECT_TRUE(w.workerRunning() || w.query().Ming == "雨桐");
  ASSERT_TRUE(waitUntil([&] {
    return !w.workerRunning() && w.control<QLabel>(QStringLiteral("MingZhi_3"))->text() == QStringLiteral("雨");
  }));
  ASSERT_TRUE(waitUntil([&] { return contentShown(w, "tabQumingResult") && w.shownPage() == 0; }));
  EXPECT_EQ(w.currentName().Ming, "雨桐");

  // Paging: the first name of the new page becomes current and is checked,
  // options past the page's end are hidden; the report stays the one shown.
  next->click();
  ASSERT_TRUE(waitUntil([&] { return option(1)->text() == QStringLiteral("欧阳浩然（89.00分）"); }));
  EXPECT_TRUE(option(1)->isChecked());
  EXPECT_FALSE(option(2)->isVisible());
  EXPECT_FALSE(option(3)->isVisible());
  EXPECT_TRUE(previous->isEnabled());
  EXPECT_FALSE(next->isEnabled());
  EXPECT_EQ(w.currentName().Ming, "浩然");
  EXPECT_EQ(w.query().Ming, "雨桐");
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("MingZhi_3"))->text(), QStringLiteral("雨"));

  previous->click();
  ASSERT_TRUE(waitUntil([&] { return option(3)->isVisible(); }));
  EXPECT_TRUE(option(1)->isChecked());
}

TEST_F(ReportWindowTest, ChoosingNamesWhileAnAnalysisRunsEndsWithTheLastChoice) {
  // Nothing is cached for the first name, so its request goes to the (absent)
  // service while two more names are chosen; the last choice is what shows,
  // and no failure is reported for the abandoned request.
  SlowService slow;
  ServiceEndpoints::initialize(program_.path(), data_.path(), slow.origin());
  TestPageSource source;
  source.pages = {{named("欧阳", "明轩", 93.5f), named("欧阳", "子涵", 91.0f), named("欧阳", "雨桐", 90.0f)}};
  seedAnalysis(source.pages[0][2], analysisOf(source.pages[0][2]), false);

  CQuMingResultWnd w(source.pages[0][0]);
  w.setNamePage(&source);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(w.workerRunning());
  w.control<QPushButton>(QStringLiteral("Xingming2"))->click();
  w.control<QPushButton>(QStringLiteral("Xingming3"))->click();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0 && !w.workerRunning(); }));
  EXPECT_EQ(w.query().Ming, "雨桐");
  EXPECT_EQ(w.control<QLabel>(QStringLiteral("MingZhi_3"))->text(), QStringLiteral("雨"));
  EXPECT_TRUE(messages_.calls().empty());
}

TEST_F(ReportWindowTest, FailedAnalysisShowsItsMessageAndCloses) {
  const struct {
    const char* what;
    std::function<ReportWindow*()> make;
    const char* message;
  } cases[] = {
      {"name report", [] { return new CQuMingResultWnd(test::fixtureRecord()); }, "起名失败"},
      {"nickname report", [] { return new CXiaomingResultWnd(test::fixtureRecord()); }, "起名失败"},
      {"fortune report",
       [] {
         auto* w = new CYunsiResultWnd();
         w->setName("李", "白");
         return w;
       },
       "分析失败"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t before = messages_.calls().size();
    std::unique_ptr<ReportWindow> w(c.make());
    bool closed = false;
    QObject::connect(w.get(), &toolkit::Window::windowClosed, [&] { closed = true; });
    ASSERT_TRUE(w->create());
    w->show();
    ASSERT_TRUE(waitUntil([&] { return closed; })) << "the window stayed open";
    auto calls = messages_.calls();
    ASSERT_EQ(calls.size(), before + 1);
    EXPECT_EQ(calls.back().text, QString::fromUtf8(c.message));
    EXPECT_EQ(calls.back().flags, 0x10);
    EXPECT_EQ(w->host().lastScript(), QString()) << "nothing was sent";
  }
}

TEST_F(ReportWindowTest, MissingTemplateSendsNothingAndShowsNoMessage) {
  fs::remove(fs::path(program_.path()) / "content" / "zongh.html");
  seedAnalysis(test::fixtureRecord(), analysisOf(test::fixtureRecord()), false);
  CQuMingResultWnd w(test::fixtureRecord());
  std::vector<bool> loads;
  ASSERT_TRUE(w.create());
  QObject::connect(w.webView(), &toolkit::WebView::loadFinished, [&](const QString&, bool ok) { loads.push_back(ok); });
  w.show();
  ASSERT_TRUE(waitUntil([&] { return contentShown(w, "tabQumingResult") && !loads.empty(); }));
  QApplication::processEvents();
  EXPECT_EQ(w.shownPage(), -1);
  EXPECT_EQ(w.host().lastScript(), QString());
  // The other pages still load and fill.
  w.control<QPushButton>(QStringLiteral("tabBaziFenxi"))->click();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 1; }));
  EXPECT_EQ(std::count(loads.begin(), loads.end(), true), 1);
  EXPECT_GE(std::count(loads.begin(), loads.end(), false), 1);
  EXPECT_TRUE(messages_.calls().empty());
}

TEST_F(ReportWindowTest, ClosingTheNameReportWaitsForItsAnalysis) {
  SlowService slow;
  ServiceEndpoints::initialize(program_.path(), data_.path(), slow.origin());
  CQuMingResultWnd w(test::fixtureRecord());
  bool closed = false;
  QObject::connect(&w, &toolkit::Window::windowClosed, [&] { closed = true; });
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(w.workerRunning());
  w.control<QPushButton>(QStringLiteral("btnClose"))->click();
  EXPECT_FALSE(w.workerRunning()) << "the close waited for the worker";
  ASSERT_TRUE(waitUntil([&] { return closed; }));
  // The request's failure arrives after the close and is not shown.
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 300) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_TRUE(messages_.calls().empty());
}

TEST_F(ReportWindowTest, NicknameReportShowsItsPageAndTheNicknamesAlone) {
  NameRecord record = named("李", "宝宝贝", 88.25f);
  record.IsXiaoming = true;
  NameRecord other = named("李", "小宝", 80.0f);
  other.IsXiaoming = true;
  Json::Value analysis = test::readJsonFixture("nickname_analysis.json");
  analysis["jianyi"] = kHostile;
  seedAnalysis(record, analysis, true);
  TestPageSource source;
  source.pages = {{record, other}};

  CXiaomingResultWnd w(record);
  w.setNamePage(&source);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return !w.host().lastScript().isEmpty(); }));
  EXPECT_TRUE(contentShown(w, "tabMain"));
  EXPECT_EQ(w.control<QPushButton>(QStringLiteral("Xingming1"))->text(), QStringLiteral("宝宝贝（88.25分）"));
  EXPECT_EQ(w.control<QPushButton>(QStringLiteral("Xingming2"))->text(), QStringLiteral("小宝（80.00分）"));
  EXPECT_TRUE(w.control<QPushButton>(QStringLiteral("Xingming1"))->isChecked());

  const Json::Value got = resendAndRecord(w);
  ASSERT_EQ(got.size(), 1u);
  const Json::Value received = parsed(got[0].asString());
  EXPECT_EQ(received, buildNicknamePageData(w.query().Data, w.knowledgeDb()));
  EXPECT_EQ(received["jy"].asString(), kHostile);
  const QString text = bodyText(w);
  EXPECT_TRUE(text.contains(QStringLiteral("珍贵之物"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("<img src=x onerror="))) << text.toStdString();
  EXPECT_EQ(evalJs(w.webView(), QStringLiteral("String(window.__pwned)")), QStringLiteral("undefined"));
}

TEST_F(ReportWindowTest, FortuneReportShowsItsEntries) {
  Json::Value answer = parsed(R"({"code": 0, "data": {"gx": "1", "list": ["泰", "无此卦", "否"], "ys": ["乾"]}})");
  ASSERT_TRUE(ResponseCache::write(ResponseCache::path(CacheKind::Fortune, fortuneCacheKey("李", "白")),
                                   writeStyledJson(answer)));
  CYunsiResultWnd w;
  w.setName("李", "白");
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return !w.host().lastScript().isEmpty(); }));
  EXPECT_TRUE(contentShown(w, "tabMain"));
  const Json::Value got = resendAndRecord(w);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(parsed(got[0].asString()), buildFortunePageData(w.query(), w.knowledgeDb()));
  const QString text = bodyText(w);
  EXPECT_TRUE(text.contains(QStringLiteral("乾为天"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("天地否"))) << text.toStdString();
}

TEST_F(ReportWindowTest, ScriptLiteralsArriveUnchanged) {
  // The escaper's own round trip through the page: each text given to
  // SetData comes back exactly.
  seedAnalysis(test::fixtureRecord(), analysisOf(test::fixtureRecord()), false);
  CQuMingResultWnd w(test::fixtureRecord());
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));
  const QString texts[] = {
      QString::fromStdString(kHostile), QStringLiteral("'"), QStringLiteral("\\"), QStringLiteral("\\'"),
      QStringLiteral("<!--"), QStringLiteral("a\tb\x01\x1f\x7f"), QStringLiteral("😀"), QString(),
  };
  // The script text itself carries no markup, line break or separator raw.
  const QString script = setDataScript({QString::fromStdString(kHostile)});
  for (const QString& raw : {QStringLiteral("</script>"), QStringLiteral("<img"), QStringLiteral("\n"),
                             QStringLiteral("\r"), QString(QChar(0x2028)), QString(QChar(0x2029))})
    EXPECT_FALSE(script.contains(raw)) << script.toStdString();
  evalJs(w.webView(), QStringLiteral("window.__texts = []; window.SetData = function (a, b) {"
                                     " window.__texts.push([a, b]); }; 'ok'"));
  for (const QString& t : texts) w.webView()->runScript(setDataScript({t, t}));
  // A lone surrogate half stays that code unit (it cannot travel back as JSON).
  w.webView()->runScript(setDataScript({QString(QChar(0xD800)) + QStringLiteral("半")}));
  QString got;
  ASSERT_TRUE(waitUntil([&] {
    got = evalJs(w.webView(), QStringLiteral("window.__texts.length === %1 ? JSON.stringify(window.__texts.slice(0, %2)) : ''")
                                  .arg(std::size(texts) + 1)
                                  .arg(std::size(texts)));
    return !got.isEmpty();
  }));
  const Json::Value received = parsed(got.toStdString());
  for (Json::ArrayIndex i = 0; i < std::size(texts); ++i) {
    EXPECT_EQ(QString::fromStdString(received[i][0].asString()), texts[i]) << i;
    EXPECT_EQ(received[i][0], received[i][1]) << i;
  }
  EXPECT_EQ(evalJs(w.webView(), QStringLiteral("(function () { var t = window.__texts[%1][0];"
                                               " return t.length + ':' + t.charCodeAt(0); })()")
                                    .arg(std::size(texts))),
            QStringLiteral("2:55296"));
}

TEST_F(ReportWindowTest, ReportPagesReachNothingButTheContentFolder) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
  int connections = 0;
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    ++connections;
    while (QTcpSocket* s = server.nextPendingConnection()) s->close();
  });
  test::writeFile(program_.file("secret.html"), "<html><body>secret</body></html>");
  seedAnalysis(test::fixtureRecord(), analysisOf(test::fixtureRecord()), false);

  CQuMingResultWnd w(test::fixtureRecord());
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));
  const QString origin = QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort());
  EXPECT_EQ(evalJs(w.webView(), QStringLiteral("typeof window.JS2Native + ' ' + typeof window.qt")),
            QStringLiteral("undefined undefined"));
  evalJs(w.webView(), QStringLiteral("(function () {"
                                     " var i = new Image(); i.src = '%1img'; document.body.appendChild(i);"
                                     " try { fetch('%1fetch').catch(function () {}); } catch (e) {}"
                                     " window.__opened = String(window.open('%1win'));"
                                     " return 'ok'; })()")
                          .arg(origin));
  EXPECT_EQ(evalJs(w.webView(), QStringLiteral("window.__opened")), QStringLiteral("null"));
  // Navigation away (to another local file and to the network) is refused.
  const QString here = w.webView()->url().toString();
  evalJs(w.webView(), QStringLiteral("location.href = %1; 'ok'").arg(jsStringLiteral(QUrl::fromLocalFile(QString::fromStdString(program_.file("secret.html"))).toString())));
  QApplication::processEvents();
  evalJs(w.webView(), QStringLiteral("location.href = '%1nav'; 'ok'").arg(origin));
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 1500) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_EQ(connections, 0);
  EXPECT_EQ(w.webView()->url().toString(), here);
  EXPECT_FALSE(bodyText(w).contains(QStringLiteral("secret")));
  EXPECT_EQ(w.shownPage(), 0);

  // The templates' own policy refuses the requests above before they are
  // made; a page of the folder without any policy meets the host's own
  // blocking: neither the network nor a file beside the folder is reached.
  test::writeFile(program_.file("content/probe.html"),
                  "<html><body><p>probe</p><script>window.__img = 'pending';"
                  "function probe(src, key) { var i = new Image();"
                  " i.onload = function () { window[key] = 'loaded'; };"
                  " i.onerror = function () { window[key] = 'blocked'; }; i.src = src; }"
                  "</script></body></html>");
  test::writeFile(program_.file("outside.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>");
  test::writeFile(program_.file("content/inside.svg"), "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>");
  w.webView()->navigate(pageUrl(QStringLiteral("probe.html")));
  ASSERT_TRUE(waitUntil([&] { return evalJs(w.webView(), QStringLiteral("typeof probe")) == QStringLiteral("function"); }));
  evalJs(w.webView(), QStringLiteral("probe('%1img', 'net'); probe(%2, 'outside'); probe('inside.svg', 'inside'); 'ok'")
                          .arg(origin, jsStringLiteral(QUrl::fromLocalFile(QString::fromStdString(program_.file("outside.svg"))).toString())));
  QString results;
  ASSERT_TRUE(waitUntil([&] {
    results = evalJs(w.webView(), QStringLiteral("(function () { var r = [window.net, window.outside, window.inside];"
                                                 " return r.every(function (v) { return v; }) ? r.join(' ') : ''; })()"));
    return !results.isEmpty();
  }));
  EXPECT_EQ(results, QStringLiteral("blocked blocked loaded"));
  EXPECT_EQ(connections, 0);

  EXPECT_TRUE(isInsideContentFolder(QUrl::fromLocalFile(contentFolder() + "/zongh.html"), contentFolder()));
  EXPECT_FALSE(isInsideContentFolder(QUrl::fromLocalFile(contentFolder() + "/../local.dat"), contentFolder()));
  EXPECT_FALSE(isInsideContentFolder(QUrl::fromLocalFile(contentFolder() + "x/a.html"), contentFolder()));
  EXPECT_FALSE(isInsideContentFolder(QUrl(QStringLiteral("https://example.org/zongh.html")), contentFolder()));
}

TEST_F(ReportWindowTest, OpenFortuneReportRunsModallyAndReturnsWhenClosed) {
  Json::Value answer = parsed(R"({"code": 0, "data": {"gx": "1", "list": [], "ys": []}})");
  ASSERT_TRUE(ResponseCache::write(ResponseCache::path(CacheKind::Fortune, fortuneCacheKey("李", "白")),
                                   writeStyledJson(answer)));
  QWidget owner;
  owner.show();
  bool sawContent = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* w = qobject_cast<CYunsiResultWnd*>(toolkit::WindowRegistry::findWindow(QString::fromLatin1(kReportWindowClass)));
    if (w == nullptr || w->host().lastScript().isEmpty()) return;
    sawContent = w->isModal() || w->windowModality() != Qt::NonModal;
    w->control<QPushButton>(QStringLiteral("btnClose"))->click();
    poll.stop();
  });
  poll.start(50);
  openFortuneReport(&owner, "李", "白");
  EXPECT_TRUE(sawContent);
  // The window deletes itself once it has closed.
  ASSERT_TRUE(waitUntil([] { return toolkit::WindowRegistry::findWindow(QString::fromLatin1(kReportWindowClass)) == nullptr; }));
}

}  // namespace
}  // namespace norvane::reports
