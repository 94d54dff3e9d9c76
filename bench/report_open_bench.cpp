// Times the name report: from opening the window to page 0 filled (the first
// report of the process and later ones), and a tab switch from the click to
// the page filled. The analysis is fetched once from the service, so every
// timed open reads it from the answer cache, as a report opened a second time
// does. Then the PDF export of the whole report (from the click on "导出PDF"
// to the file written; the first export of the process and later ones) and
// the comparison window of four names (open to filled, analyses cached).
//
//   norvane-bench-report-open --service http://127.0.0.1:PORT [--opens N] [--shots DIR]
//
// Runs beside the built program (local.dat, language/, content/ in its
// folder) on a display (xvfb-run). With --shots, every page of the first
// report and the nickname and fortune reports are also photographed into DIR
// (ImageMagick's import of the whole screen).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "reports/compare_result_window.h"
#include "reports/fortune_report_window.h"
#include "reports/report_export.h"
#include "toolkit/message_presenter.h"
#include "reports/name_report_window.h"
#include "reports/nickname_report_window.h"
#include "reports/report_launcher.h"
#include "service/endpoints.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"

namespace {

using norvane::reports::CQuMingResultWnd;
using norvane::reports::ReportWindow;

bool waitUntil(const std::function<bool()>& done, int ms = 30000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 1);
  return done();
}

// Waits until a script sent after the page data has run: scripts run in
// order, so SetData has then finished.
bool waitForScriptsToRun(ReportWindow& w) {
  bool done = false;
  w.webView()->runScript(QStringLiteral("1"), [&](const QString&) { done = true; });
  return waitUntil([&] { return done; });
}

void pause(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

QString shotsDir;
void shoot(const QString& name) {
  if (shotsDir.isEmpty()) return;
  pause(400);  // let the page paint
  QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                               shotsDir + QLatin1Char('/') + name + QStringLiteral(".png")});
}

norvane::NameRecord benchRecord() {
  norvane::NameRecord r;
  r.Xing = "欧阳";
  r.Ming = "明轩";
  r.Birthday = "2020-2-8 09:05:00";
  r.FengShu = 93.5f;
  r.CityId = 110101;
  r.Gender = 1;
  r.Longitude = 116.41f;
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Opens one name report and returns the milliseconds to page 0 filled, or -1.
// Where the time of the last open went: window built and shown, analysis in.
double lastShownMs = 0, lastAnalysedMs = 0;

double timedOpen(const norvane::NameRecord& record, std::vector<double>* tabTimes, bool photograph) {
  QElapsedTimer t;
  t.start();
  auto* w = new CQuMingResultWnd(record);
  w->create();
  w->centerWindow();
  w->show();
  lastShownMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
  waitUntil([&] { return !w->workerRunning(); });
  lastAnalysedMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
  if (!waitUntil([&] { return w->shownPage() == 0; }) || !waitForScriptsToRun(*w)) {
    std::fprintf(stderr, "page 0 was not filled (is the service running?)\n");
    delete w;
    return -1;
  }
  const double opened = static_cast<double>(t.nsecsElapsed()) / 1e6;
  if (photograph) shoot(QStringLiteral("name-0-%1").arg(QString::fromLatin1(norvane::reports::namePageTemplate(0))));
  if (tabTimes != nullptr) {
    for (int page = 1; page < norvane::reports::kNamePageCount; ++page) {
      auto* tab = w->control<QAbstractButton>(QString::fromLatin1(CQuMingResultWnd::kTabOptions[page]));
      QElapsedTimer s;
      s.start();
      tab->click();
      if (!waitUntil([&] { return w->shownPage() == page; }) || !waitForScriptsToRun(*w)) break;
      tabTimes->push_back(static_cast<double>(s.nsecsElapsed()) / 1e6);
      if (photograph)
        shoot(QStringLiteral("name-%1-%2").arg(page).arg(QString::fromLatin1(norvane::reports::namePageTemplate(page))));
    }
  }
  delete w;
  return opened;
}

// A page of ten names for the photograph of the bottom strip.
class FixedPage : public norvane::reports::NamePageSource {
 public:
  explicit FixedPage(std::vector<norvane::NameRecord> names) : names_(std::move(names)) {}
  const std::vector<norvane::NameRecord>& currentNames() const override { return names_; }
  bool canGoPrevious() const override { return false; }
  bool canGoNext() const override { return true; }
  void previousPage() override {}
  void nextPage() override {}

 private:
  std::vector<norvane::NameRecord> names_;
};

template <class Window>
void photographSingle(Window* w, const QString& name) {
  w->create();
  w->centerWindow();
  w->show();
  if (waitUntil([&] { return !w->host().lastScript().isEmpty(); }) && waitForScriptsToRun(*w)) shoot(name);
  delete w;
}

// The save dialog answers with the next file of the bench's folder.
class BenchDialogs : public norvane::reports::ExportDialogs {
 public:
  explicit BenchDialogs(QString folder) : folder_(std::move(folder)) {}
  QString askPdfPath(QWidget*, const QString&) override {
    return folder_ + QStringLiteral("/export-%1.pdf").arg(++count_);
  }
  bool askPrinter(QWidget*, QPrinter&) override { return false; }

 private:
  QString folder_;
  int count_ = 0;
};

// Milliseconds from the click on "导出PDF" to the file written, or -1.
double timedExport(CQuMingResultWnd& w) {
  bool finished = false, ok = false;
  auto connection = QObject::connect(w.exporter(), &norvane::reports::ReportExporter::finished,
                                     [&](bool success) { finished = true; ok = success; });
  QElapsedTimer t;
  t.start();
  w.control<QAbstractButton>(QStringLiteral("btnExportPdf"))->click();
  waitUntil([&] { return finished; });
  const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
  QObject::disconnect(connection);
  return ok ? ms : -1;
}

// Milliseconds from creating the comparison window to its page filled, or -1.
double timedComparison(const std::vector<norvane::NameRecord>& names, bool photograph) {
  QElapsedTimer t;
  t.start();
  auto* w = new norvane::reports::CCompareResultWnd(names);
  w->create();
  w->centerWindow();
  w->show();
  const bool filled = waitUntil([&] { return !w->host().lastScript().isEmpty(); }) && waitForScriptsToRun(*w);
  const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
  if (filled && photograph) {
    shoot(QStringLiteral("compare-4"));
    bool finished = false;
    auto c = QObject::connect(w->exporter(), &norvane::reports::ReportExporter::finished, [&](bool) { finished = true; });
    w->control<QAbstractButton>(QStringLiteral("btnExportPdf"))->click();
    waitUntil([&] { return finished; });
    QObject::disconnect(c);
    if (!w->exporter()->lastFile().isEmpty())
      QFile::copy(w->exporter()->lastFile(), shotsDir + QStringLiteral("/compare-4.pdf"));
  }
  delete w;
  return filled ? ms : -1;
}

void fillCache(const norvane::NameRecord& record) {
  norvane::AnalysisQuery q;
  q.Xing = record.Xing;
  q.Ming = record.Ming;
  q.Birthday = record.Birthday;
  q.Gender = record.Gender;
  q.Longitude = record.Longitude;
  if (q.run() != 0) std::fprintf(stderr, "the service gave no analysis of %s%s\n", record.Xing.c_str(), record.Ming.c_str());
}

void printStats(const char* what, const std::vector<double>& v, const char* goal) {
  if (v.empty()) return;
  std::printf("%s: median %.0f ms, min %.0f, max %.0f over %zu (%s)\n", what, median(v),
              *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()), v.size(), goal);
}

}  // namespace

int main(int argc, char** argv) {
  std::string service;
  int opens = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--service") == 0 && i + 1 < argc) service = argv[++i];
    else if (std::strcmp(argv[i], "--opens") == 0 && i + 1 < argc) opens = std::max(1, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--shots") == 0 && i + 1 < argc) shotsDir = QString::fromLocal8Bit(argv[++i]);
    else {
      std::fprintf(stderr, "usage: %s --service URL [--opens N] [--shots DIR]\n", argv[0]);
      return 2;
    }
  }
  if (service.empty()) {
    std::fprintf(stderr, "--service is required (start norvane-refservice first)\n");
    return 2;
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize(12);
  app.setFont(font);
  norvane::toolkit::SkinArchive::instance().loadDefault();
  if (!norvane::toolkit::SkinArchive::instance().isLoaded())
    norvane::toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));

  // The built program's folder holds local.dat, language/ and content/; the
  // answer cache goes to a fresh data folder.
  const std::string programFolder = NORVANE_BIN_DIR;
  const std::string dataFolder = QDir::tempPath().toStdString() + "/norvane-report-bench-" +
                                 std::to_string(QCoreApplication::applicationPid());
  norvane::ServiceEndpoints::initialize(programFolder, dataFolder, service);
  if (!shotsDir.isEmpty()) QDir().mkpath(shotsDir);

  const norvane::NameRecord record = benchRecord();
  {
    // Fill the cache (not timed): one analysis from the service.
    norvane::AnalysisQuery q;
    q.Xing = record.Xing;
    q.Ming = record.Ming;
    q.Birthday = record.Birthday;
    q.Gender = record.Gender;
    q.Longitude = record.Longitude;
    if (q.run() != 0) {
      std::fprintf(stderr, "the service gave no analysis at %s\n", service.c_str());
      return 1;
    }
  }

  std::vector<double> tabTimes;
  const double first = timedOpen(record, &tabTimes, true);
  if (first < 0) return 1;
  const double firstShown = lastShownMs, firstAnalysed = lastAnalysedMs;
  std::vector<double> later;
  for (int i = 0; i < opens; ++i) {
    double ms = timedOpen(record, nullptr, false);
    if (ms < 0) return 1;
    later.push_back(ms);
    std::printf("  later report %d: %.0f ms (window shown at %.0f ms, analysis in at %.0f ms)\n", i + 1, ms,
                lastShownMs, lastAnalysedMs);
  }
  std::printf("first report of the process, open to page 0 filled: %.0f ms (goal <= 1000); window shown at %.0f ms,"
              " analysis in at %.0f ms\n", first, firstShown, firstAnalysed);
  std::printf("later report, open to page 0 filled: median %.0f ms, min %.0f, max %.0f over %zu (goal <= 300)\n",
              median(later), *std::min_element(later.begin(), later.end()),
              *std::max_element(later.begin(), later.end()), later.size());
  if (!tabTimes.empty())
    std::printf("tab switch, click to page filled: median %.0f ms, min %.0f, max %.0f over %zu tabs (goal <= 100)\n",
                median(tabTimes), *std::min_element(tabTimes.begin(), tabTimes.end()),
                *std::max_element(tabTimes.begin(), tabTimes.end()), tabTimes.size());

  {
    // The page data alone, as each page load builds it on the window thread.
    CQuMingResultWnd probe(record);
    probe.create();
    waitUntil([&] { return probe.shownPage() == 0; });
    std::printf("page data build (median of 20):");
    for (int page = 0; page < norvane::reports::kNamePageCount; ++page) {
      std::vector<double> t;
      for (int i = 0; i < 20; ++i) {
        QElapsedTimer e;
        e.start();
        norvane::reports::PageData d =
            norvane::reports::buildPageData(page, probe.query().Data, probe.knowledgeDb(), record, probe.birthPlace());
        (void)norvane::reports::pageDataScript(d);
        t.push_back(static_cast<double>(e.nsecsElapsed()) / 1e6);
      }
      std::printf(" %s %.1f ms%s", norvane::reports::namePageTemplate(page), median(t),
                  page + 1 < norvane::reports::kNamePageCount ? "," : "\n");
    }
  }

  {
    // PDF export of the whole name report: the first export of the process
    // (the print page is loaded for it) and later ones.
    const QString pdfFolder = QString::fromStdString(dataFolder) + QStringLiteral("/pdf");
    QDir().mkpath(pdfFolder);
    BenchDialogs dialogs(pdfFolder);
    norvane::reports::setExportDialogs(&dialogs);
    norvane::toolkit::RecordingMessagePresenter messages;
    norvane::toolkit::ScopedMessagePresenter scoped(&messages);
    CQuMingResultWnd w(record);
    w.create();
    w.show();
    if (waitUntil([&] { return w.shownPage() == 0; }) && waitForScriptsToRun(w)) {
      const double firstExport = timedExport(w);
      std::vector<double> exports;
      for (int i = 0; i < opens; ++i) {
        double ms = timedExport(w);
        if (ms < 0) break;
        exports.push_back(ms);
      }
      std::printf("PDF export of the whole name report, click to file written: first %.0f ms\n", firstExport);
      printStats("PDF export, later", exports, "goal <= 2000");
      if (!shotsDir.isEmpty() && !w.exporter()->lastFile().isEmpty())
        QFile::copy(w.exporter()->lastFile(), shotsDir + QStringLiteral("/name-report.pdf"));
    } else {
      std::fprintf(stderr, "the report for the export was not filled\n");
    }
    norvane::reports::setExportDialogs(nullptr);
  }

  {
    // The comparison of four names, their analyses in the cache.
    const QString pdfFolder = QString::fromStdString(dataFolder) + QStringLiteral("/pdf-compare");
    QDir().mkpath(pdfFolder);
    BenchDialogs dialogs(pdfFolder);
    norvane::reports::setExportDialogs(&dialogs);
    norvane::toolkit::RecordingMessagePresenter messages;
    norvane::toolkit::ScopedMessagePresenter scoped(&messages);
    std::vector<norvane::NameRecord> four;
    const char* given[] = {"明轩", "子涵", "浩然", "思远"};
    for (const char* g : given) {
      norvane::NameRecord r = record;
      r.Ming = g;
      fillCache(r);
      four.push_back(r);
    }
    const double first = timedComparison(four, !shotsDir.isEmpty());
    std::vector<double> times;
    for (int i = 0; i < opens; ++i) {
      double ms = timedComparison(four, false);
      if (ms < 0) break;
      times.push_back(ms);
    }
    std::printf("comparison of four names, open to filled: first %.0f ms\n", first);
    printStats("comparison of four, later", times, "goal <= 200");
    norvane::reports::setExportDialogs(nullptr);
  }

  if (!shotsDir.isEmpty()) {
    // The bottom strip, and the window enlarged.
    std::vector<norvane::NameRecord> names;
    const char* given[] = {"明轩", "子涵", "雨桐", "浩然", "思远", "嘉懿", "若曦", "梓萱", "一诺", "天佑"};
    for (int i = 0; i < 10; ++i) {
      norvane::NameRecord r = record;
      r.Ming = given[i];
      r.FengShu = 95.5f - static_cast<float>(i) * 1.25f;
      names.push_back(r);
    }
    FixedPage page(names);
    auto* w = new CQuMingResultWnd(names[0]);
    w->setNamePage(&page);
    w->create();
    w->centerWindow();
    w->show();
    if (waitUntil([&] { return w->shownPage() == 0; }) && waitForScriptsToRun(*w)) shoot(QStringLiteral("name-strip"));
    w->resize(1080, 740);
    w->centerWindow();
    w->control<QAbstractButton>(QString::fromLatin1(CQuMingResultWnd::kTabOptions[2]))->click();
    if (waitUntil([&] { return w->shownPage() == 2; }) && waitForScriptsToRun(*w)) shoot(QStringLiteral("name-enlarged"));
    delete w;

    norvane::NameRecord nickname = record;
    nickname.Xing = "李";
    nickname.Ming = "小宝";
    nickname.IsXiaoming = true;
    photographSingle(new norvane::reports::CXiaomingResultWnd(nickname), QStringLiteral("nickname"));
    auto* fortune = new norvane::reports::CYunsiResultWnd();
    fortune->setName("李", "白");
    photographSingle(fortune, QStringLiteral("fortune"));
  }
  QDir(QString::fromStdString(dataFolder)).removeRecursively();
  return 0;
}
