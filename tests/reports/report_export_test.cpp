// The PDF export, the print and the comparison of names, in the real web
// engine with the templates of the built content folder. Exported files are
// read back with poppler's tools (pdftotext, pdfinfo, pdffonts), as a reader
// of the file would see them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPrinter>
#include <QStackedWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "platform/clock.h"
#include "platform/utf8.h"
#include "platform/worker_thread.h"
#include "reports/compare_result_window.h"
#include "reports/name_report_window.h"
#include "reports/nickname_report_window.h"
#include "reports/report_export.h"
#include "reports/report_fixture.h"
#include "reports/report_launcher.h"
#include "service/endpoints.h"
#include "service/response_cache.h"
#include "support/qt_application.h"
#include "toolkit/message_presenter.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"

namespace norvane::reports {
namespace {

namespace fs = std::filesystem;

bool waitUntil(const std::function<bool()>& done, int ms = 30000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string withoutSpace(std::string s) {
  std::erase_if(s, [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\f' || c == '\r'; });
  return s;
}

// What a reader of the PDF finds in it.
struct PdfFacts {
  std::string text;  // all text, without white space
  int pages = 0;
  std::string pageSize;
  std::vector<std::string> fonts;  // one line per font
  bool allFontsEmbedded = true;
};

PdfFacts readPdf(const std::string& path) {
  PdfFacts f;
  f.text = withoutSpace(run("pdftotext -enc UTF-8 '" + path + "' - 2>&1"));
  const std::string info = run("pdfinfo '" + path + "' 2>&1");
  std::smatch m;
  if (std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)"))) f.pages = std::stoi(m[1]);
  if (std::regex_search(info, m, std::regex("Page size:\\s+([^\\n]+)"))) f.pageSize = m[1];
  const std::string fonts = run("pdffonts '" + path + "' 2>&1");
  std::size_t emb = std::string::npos;
  bool body = false;
  std::size_t start = 0;
  while (start < fonts.size()) {
    std::size_t end = fonts.find('\n', start);
    if (end == std::string::npos) end = fonts.size();
    const std::string line = fonts.substr(start, end - start);
    start = end + 1;
    if (emb == std::string::npos) {
      emb = line.find(" emb ");
      if (emb != std::string::npos) ++emb;
      continue;
    }
    if (!body) {
      body = line.rfind("---", 0) == 0;
      continue;
    }
    if (line.empty()) continue;
    f.fonts.push_back(line);
    if (line.size() < emb + 3 || line.compare(emb, 3, "yes") != 0) f.allFontsEmbedded = false;
  }
  return f;
}

const std::string kHostile =
    "他说\"好\"，it's \\ 反斜杠 </script><script>window.__pwned = 1;</script>"
    "<img src=x onerror=\"window.__pwned = 2\"> 第一行";

// A service that takes a connection and holds it until the test lets it go,
// then closes it: a request sent to it runs until then and then fails.
class PausingService {
 public:
  PausingService() {
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
        ++accepted_;
        while (!released_ && !stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::close(c);
        ++answered_;
      }
    });
  }
  ~PausingService() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void release() { released_ = true; }
  int answered() const { return answered_; }
  int accepted() const { return accepted_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  std::atomic<int> answered_{0};
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

// The dialogs of the tests: the save dialog answers with a chosen path (and
// remembers what it was offered), the print dialog sends to a PDF file.
class TestDialogs : public ExportDialogs {
 public:
  QString answer;
  QString offered;
  int asked = 0;
  QString printFile;
  QString askPdfPath(QWidget*, const QString& suggestedPath) override {
    ++asked;
    offered = suggestedPath;
    return answer;
  }
  bool askPrinter(QWidget*, QPrinter& printer) override {
    if (printFile.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printFile);
    return true;
  }
};

class ReportExportTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    test::startWebApplication("report_export_tests");
    toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));
  }

  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
      GTEST_SKIP() << "the report windows need a display: run under xvfb-run (scripts/test does)";
    if (run("for t in pdftotext pdfinfo pdffonts; do command -v $t; done | wc -l").find('3') == std::string::npos)
      GTEST_SKIP() << "poppler-utils is not installed (scripts/install-deps installs it)";
    const fs::path content = fs::path(NORVANE_BIN_DIR) / "content";
    ASSERT_TRUE(fs::exists(content / "print.html")) << "build the content folder first (target norvane_content)";
    ASSERT_TRUE(test::makeReportProgramFolder(program_.path()));
    fs::copy(content, fs::path(program_.path()) / "content", fs::copy_options::recursive);
    ServiceEndpoints::initialize(program_.path(), data_.path(), "http://127.0.0.1:1");
    ProgramFolder = program_.path();
    setExportDialogs(&dialogs_);
  }
  void TearDown() override { setExportDialogs(nullptr); }

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

  // The fixture analysis of `r` with four pillars and the hostile text in the advice.
  static Json::Value analysisOf(const NameRecord& r, double total = 93.5) {
    Json::Value a = test::readJsonFixture("name_analysis.json");
    a["name"]["words"] = Json::Value(Json::arrayValue);
    for (char32_t c : utf8ToCodePoints(r.Xing + r.Ming)) a["name"]["words"].append(codePointToUtf8(c));
    a["bazi"]["zhu"] = test::parsed(R"([
      {"name":"年柱","gz":"庚子","tg":"庚","dz":"子","wx":"金水","ny":"壁上土"},
      {"name":"月柱","gz":"戊寅","tg":"戊","dz":"寅","wx":"土木","ny":"城头土"},
      {"name":"日柱","gz":"甲子","tg":"甲","dz":"子","wx":"木水","ny":"海中金"},
      {"name":"时柱","gz":"己巳","tg":"己","dz":"巳","wx":"土火","ny":"大林木"}])");
    a["content"]["jy"] = kHostile;
    a["score"]["total"] = total;
    return a;
  }

  static NameRecord named(const std::string& ming) {
    NameRecord r = test::fixtureRecord();
    r.Ming = ming;
    return r;
  }

  // Clicks a button of `w` and waits for its exporter to finish; false when
  // it did not finish (or nothing started).
  static bool clickAndWait(ReportWindow& w, const char* button, bool* ok = nullptr) {
    bool finished = false, success = false;
    auto c = QObject::connect(w.exporter(), &ReportExporter::finished, [&](bool s) { finished = true; success = s; });
    auto* clicked = w.control<QAbstractButton>(QString::fromLatin1(button));
    clicked->click();
    // While the document is rendered the buttons rest; afterwards they work again.
    EXPECT_TRUE(finished || !clicked->isEnabled());
    const bool done = waitUntil([&] { return finished; });
    EXPECT_TRUE(clicked->isEnabled());
    QObject::disconnect(c);
    if (ok != nullptr) *ok = success;
    return done;
  }

  static std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::string today() {
    const LocalDateTime now = systemClock().localNow();
    return exportDateText(now.year, now.month, now.day);
  }

  test::TempDir program_;
  test::TempDir data_;
  test::TempDir out_;
  TestDialogs dialogs_;
  toolkit::RecordingMessagePresenter messages_;
  toolkit::ScopedMessagePresenter presenter_{&messages_};
};

TEST_F(ReportExportTest, NameReportBecomesOneSearchablePdfOfAllSevenPages) {
  const NameRecord record = test::fixtureRecord();
  seedAnalysis(record, analysisOf(record), false);
  CQuMingResultWnd w(record);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));
  ASSERT_TRUE(w.control(QStringLiteral("btnExportPdf"))->isEnabled());
  EXPECT_FALSE(w.control(QStringLiteral("btnExportPdf"))->accessibleName().isEmpty());
  EXPECT_FALSE(w.control(QStringLiteral("btnPrint"))->accessibleName().isEmpty());

  dialogs_.answer = QString::fromStdString(out_.file("报告.pdf"));
  bool ok = false;
  ASSERT_TRUE(clickAndWait(w, "btnExportPdf", &ok));
  ASSERT_TRUE(ok) << (messages_.calls().empty() ? "" : messages_.calls().back().text.toStdString());
  EXPECT_EQ(dialogs_.offered, QDir(documentsFolder()).filePath(QStringLiteral("姓名分析报告-欧阳明轩.pdf")));
  ASSERT_EQ(messages_.calls().size(), 1u);
  EXPECT_EQ(messages_.calls()[0].text, QStringLiteral("已保存：") + dialogs_.answer);
  EXPECT_EQ(filesIn(out_.path()), std::vector<std::string>{"报告.pdf"}) << "no temporary file stays behind";

  const PdfFacts pdf = readPdf(out_.file("报告.pdf"));
  EXPECT_GE(pdf.pages, 7) << "each of the seven pages starts a sheet";
  EXPECT_NE(pdf.pageSize.find("(A4)"), std::string::npos) << pdf.pageSize;
  EXPECT_FALSE(pdf.fonts.empty());
  EXPECT_TRUE(pdf.allFontsEmbedded);
  const std::string expected[] = {
      // the header: the name, its pinyin and the total score
      "姓名分析报告", "欧阳明轩", "ōu", "xuān", "93.50分",
      // one key text of every page, in their order
      "综合提示", "八字分析", "三才五格", "后天补救", "生肖", "生日密码", "星座",
      // the four pillars and the five grids
      "年柱", "月柱", "日柱", "时柱", "壁上土", "城头土", "海中金", "大林木",
      "天格", "人格", "地格", "外格", "总格", "旭日东升",
      // the hostile advice as plain text
      "</script><script>window.__pwned=1;</script>", "<imgsrc=xonerror=\"window.__pwned=2\">",
      // the footer
      "欧阳明轩·姓名分析报告·导出于" + today(),
  };
  for (const std::string& e : expected)
    EXPECT_NE(pdf.text.find(withoutSpace(e)), std::string::npos) << e << "\nin: " << pdf.text.substr(0, 4000);
  // The pages come in their order.
  EXPECT_LT(pdf.text.find("综合提示"), pdf.text.find("三才五格"));
  EXPECT_LT(pdf.text.find("三才五格"), pdf.text.find("生日密码"));
}

TEST_F(ReportExportTest, FailedOrCancelledExportsLeaveNothingBehind) {
  const NameRecord record = test::fixtureRecord();
  seedAnalysis(record, analysisOf(record), false);
  CQuMingResultWnd w(record);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));

  // Cancelled: no file, no message.
  dialogs_.answer.clear();
  w.control<QAbstractButton>(QStringLiteral("btnExportPdf"))->click();
  EXPECT_EQ(dialogs_.asked, 1);
  EXPECT_TRUE(messages_.calls().empty());

  // A folder that cannot be written (its "folder" is a file): a message naming it.
  test::writeFile(out_.file("not-a-folder"), "x");
  dialogs_.answer = QString::fromStdString(out_.file("not-a-folder") + "/报告.pdf");
  bool ok = true;
  ASSERT_TRUE(clickAndWait(w, "btnExportPdf", &ok));
  EXPECT_FALSE(ok);
  ASSERT_EQ(messages_.calls().size(), 1u);
  EXPECT_TRUE(messages_.calls()[0].text.startsWith(QStringLiteral("无法保存PDF：") + dialogs_.answer))
      << messages_.calls()[0].text.toStdString();
  EXPECT_EQ(messages_.calls()[0].flags, 0x10);
  EXPECT_EQ(filesIn(out_.path()), std::vector<std::string>{"not-a-folder"});
}

TEST_F(ReportExportTest, AFullDiskKeepsTheOldFileAndNoTemporaryOne) {
  test::writeFile(out_.file("报告.pdf"), "the earlier export");
  const QByteArray big(256 * 1024, 'x');
  // A file-size limit stands in for a full disk: writes past it fail.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  QString error;
  const bool written = writeFileAtomically(QString::fromStdString(out_.file("报告.pdf")), big, error);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(test::readFile(out_.file("报告.pdf")), "the earlier export");
  EXPECT_EQ(filesIn(out_.path()), std::vector<std::string>{"报告.pdf"});

  ASSERT_TRUE(writeFileAtomically(QString::fromStdString(out_.file("报告.pdf")), big, error)) << error.toStdString();
  EXPECT_EQ(test::readFile(out_.file("报告.pdf")).size(), big.size());
}

TEST_F(ReportExportTest, PrintSendsTheWholeReportToThePrinter) {
  const NameRecord record = test::fixtureRecord();
  seedAnalysis(record, analysisOf(record), false);
  CQuMingResultWnd w(record);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.shownPage() == 0; }));
  dialogs_.printFile = QString::fromStdString(out_.file("printed.pdf"));
  bool ok = false;
  ASSERT_TRUE(clickAndWait(w, "btnPrint", &ok));
  EXPECT_TRUE(ok);
  const PdfFacts printed = readPdf(out_.file("printed.pdf"));
  EXPECT_GE(printed.pages, 7);
  EXPECT_NE(printed.pageSize.find("(A4)"), std::string::npos) << printed.pageSize;
}

TEST_F(ReportExportTest, NicknameReportExportsItsPage) {
  NameRecord nick = test::fixtureRecord();
  nick.Xing = "李";
  nick.Ming = "小宝";
  nick.IsXiaoming = true;
  seedAnalysis(nick, test::readJsonFixture("nickname_analysis.json"), true);
  CXiaomingResultWnd w(nick);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return !w.host().lastScript().isEmpty(); }));
  dialogs_.answer = QString::fromStdString(out_.file("小名.pdf"));
  bool ok = false;
  ASSERT_TRUE(clickAndWait(w, "btnExportPdf", &ok));
  ASSERT_TRUE(ok);
  EXPECT_TRUE(dialogs_.offered.endsWith(QStringLiteral("/小名分析报告-小宝.pdf"))) << dialogs_.offered.toStdString();
  const PdfFacts pdf = readPdf(out_.file("小名.pdf"));
  EXPECT_GE(pdf.pages, 1);
  EXPECT_TRUE(pdf.allFontsEmbedded);
  EXPECT_NE(pdf.text.find("小名分析报告"), std::string::npos);
  EXPECT_NE(pdf.text.find("小宝·小名分析报告·导出于"), std::string::npos);
}

TEST_F(ReportExportTest, ComparisonShowsEachAnalysisAndPrintsOnOneSheet) {
  const std::vector<NameRecord> names = {named("明轩"), named("子涵"), named("浩然"), named("思远")};
  const double totals[] = {93.5, 88.25, 95.0, 90.1};
  for (std::size_t i = 0; i < names.size(); ++i) seedAnalysis(names[i], analysisOf(names[i], totals[i]), false);

  CCompareResultWnd w(names);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return !w.host().lastScript().isEmpty(); }));
  const Json::Value& data = w.comparisonData();
  ASSERT_EQ(data["names"].size(), 4u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(i);
    const Json::Value& analysis = w.comparedNames()[i].analysis;
    EXPECT_EQ(analysis["score"]["total"].asDouble(), totals[i]) << "each name's own analysis";
    EXPECT_EQ(data["names"][static_cast<Json::ArrayIndex>(i)].asString(), names[i].Xing + names[i].Ming);
  }
  const Json::Value& totalRow = data["rows"][2u];
  ASSERT_EQ(totalRow["label"].asString(), "综合评分");
  EXPECT_EQ(totalRow["cells"], test::parsed(R"(["93.50","88.25","95.00","90.10"])"));
  EXPECT_EQ(totalRow["best"], test::parsed("[2]"));

  // The page shows them, with the best marked.
  bool done = false;
  QString text;
  w.webView()->runScript(QStringLiteral("document.body.innerText"), [&](const QString& t) {
    text = t;
    done = true;
  });
  ASSERT_TRUE(waitUntil([&] { return done; }));
  for (const NameRecord& r : names) EXPECT_TRUE(text.contains(QString::fromStdString(r.Xing + r.Ming))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("最佳")));
  EXPECT_TRUE(text.contains(QStringLiteral("95.00")));

  dialogs_.answer = QString::fromStdString(out_.file("对比.pdf"));
  bool ok = false;
  ASSERT_TRUE(clickAndWait(w, "btnExportPdf", &ok));
  ASSERT_TRUE(ok);
  const PdfFacts pdf = readPdf(out_.file("对比.pdf"));
  EXPECT_EQ(pdf.pages, 1) << "four names fit one sheet";
  EXPECT_NE(pdf.pageSize.find("(A4)"), std::string::npos);
  for (const NameRecord& r : names) EXPECT_NE(pdf.text.find(r.Xing + r.Ming), std::string::npos) << r.Ming;
  EXPECT_NE(pdf.text.find("95.00"), std::string::npos);
  EXPECT_NE(pdf.text.find("名字对比"), std::string::npos);
}

TEST_F(ReportExportTest, ComparisonRefusesWithAMessage) {
  struct Case {
    std::vector<NameRecord> names;
    const char* message;
  };
  NameRecord nickname = named("小宝");
  nickname.IsXiaoming = true;
  const Case cases[] = {
      {{}, "请勾选二至四个名字"},
      {{named("明轩")}, "请勾选二至四个名字"},
      {{named("明轩"), named("子涵"), named("浩然"), named("思远"), named("一诺")}, "请勾选二至四个名字"},
      {{named("明轩"), nickname}, "小名不能对比"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.names.size());
    const std::size_t before = messages_.calls().size();
    openComparison(nullptr, c.names);  // no window opens, so this returns at once
    ASSERT_EQ(messages_.calls().size(), before + 1);
    EXPECT_EQ(messages_.calls().back().text, QString::fromUtf8(c.message));
  }

  // A name whose analysis cannot be had: the service's message, the window closes.
  CCompareResultWnd w({named("明轩"), named("无缓")});
  seedAnalysis(named("明轩"), analysisOf(named("明轩")), false);
  ASSERT_TRUE(w.create());
  w.show();
  ASSERT_TRUE(waitUntil([&] { return w.isClosing() || !w.isVisible(); }));
  EXPECT_EQ(messages_.calls().back().flags, 0x10);
  EXPECT_TRUE(w.comparisonData().isNull());
}

TEST_F(ReportExportTest, ComparisonClosedWhileItsAnalysesRunGoesAtOnce) {
  // The second name is not cached, so its request waits on the service; the
  // window goes meanwhile and the request's late answer finds nobody.
  PausingService pausing;
  ServiceEndpoints::initialize(program_.path(), data_.path(), pausing.origin());
  ProgramFolder = program_.path();
  seedAnalysis(named("明轩"), analysisOf(named("明轩")), false);
  auto* w = new CCompareResultWnd({named("明轩"), named("慢答")});
  ASSERT_TRUE(w->create());
  w->show();
  ASSERT_TRUE(w->workerRunning());
  ASSERT_TRUE(waitUntil([&] { return pausing.accepted() > 0; })) << "the request never reached the service";
  delete w;
  EXPECT_EQ(pausing.answered(), 0) << "the window went without waiting for the service";
  pausing.release();
  // The request now ends on its own; its answer finds no window to report to.
  EXPECT_TRUE(waitForUnfinishedWork(std::chrono::seconds(30)));
  waitUntil([] { return false; }, 200);
  EXPECT_TRUE(messages_.calls().empty()) << "no message for a window that is gone";
}

}  // namespace
}  // namespace norvane::reports
