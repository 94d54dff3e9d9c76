// Times the first report of a process against later ones, as the program
// opens them: the report module is loaded on first use (the benchmark is
// built like the program, without the browser engine linked), and each name
// report is timed from the call that opens it to its page 0 filled. With
// --warm the first report comes after the idle warm-up the program runs once
// a page of names is shown (reports::warmUpReports), without it cold.
//
//   norvane-bench-report-warm --service http://127.0.0.1:PORT [--warm] [--opens N] [--shot FILE]
//
// Runs beside the built program (libnorvane-reports.so, local.dat, content/
// in its folder) on a display (xvfb-run). The analysis is fetched once first,
// so every timed report reads it from the answer cache. With --shot, the
// screen with the first report is photographed into FILE (ImageMagick's
// import) once it is filled.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "reports/report_launcher.h"
#include "service/analysis_query.h"
#include "service/endpoints.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"
#include "toolkit/window.h"
#include "toolkit/window_registry.h"

namespace {

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
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

QString shotFile;

// Opens one name report (modally, as the main window does) and returns the
// milliseconds from the call to page 0 filled, or -1.
double timedReport(const norvane::NameRecord& record) {
  double filledMs = -1;
  QElapsedTimer clock;
  bool scriptDone = false;
  bool asked = false;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    norvane::toolkit::Window* w =
        norvane::toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass"));
    if (w == nullptr) return;
    auto* web = w->control<norvane::toolkit::WebView>(QStringLiteral("Webkit"));
    if (web == nullptr || w->property("shownPage").toInt() != 0) return;
    if (!asked) {
      // Scripts run in order: once this one has, SetData has finished.
      asked = true;
      web->runScript(QStringLiteral("1"), [&](const QString&) { scriptDone = true; });
      return;
    }
    if (!scriptDone) return;
    filledMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    poll.stop();
    if (!shotFile.isEmpty()) {
      pump(600);  // painted
      QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), shotFile});
      shotFile.clear();
    }
    w->requestClose();
  });
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [&] {
    if (auto* w = norvane::toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass")))
      w->requestClose();
  });
  giveUp.start(30000);
  clock.start();
  poll.start();
  norvane::reports::openNameReport(nullptr, record);
  pump(300);  // the closed window goes
  return filledMs;
}

}  // namespace

int main(int argc, char** argv) {
  std::string service;
  bool warm = false;
  int opens = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--service") == 0 && i + 1 < argc) service = argv[++i];
    else if (std::strcmp(argv[i], "--warm") == 0) warm = true;
    else if (std::strcmp(argv[i], "--opens") == 0 && i + 1 < argc) opens = std::max(2, std::atoi(argv[++i]));
    else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) shotFile = QString::fromLocal8Bit(argv[++i]);
    else {
      std::fprintf(stderr, "usage: %s --service URL [--warm] [--opens N] [--shot FILE]\n", argv[0]);
      return 2;
    }
  }
  if (service.empty()) {
    std::fprintf(stderr, "--service is required (start norvane-refservice first)\n");
    return 2;
  }
  QApplication app(argc, argv);  // as the program: no GL attribute at start
  norvane::toolkit::SkinArchive::instance().loadFile(QStringLiteral(NORVANE_SKIN_ZIP_PATH));
  const std::string dataFolder =
      QDir::tempPath().toStdString() + "/norvane-warm-bench-" + std::to_string(QCoreApplication::applicationPid());
  norvane::ServiceEndpoints::initialize(NORVANE_BIN_DIR, dataFolder, service);

  const norvane::NameRecord record = benchRecord();
  {
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
  if (warm) {
    QElapsedTimer t;
    t.start();
    norvane::reports::warmUpReports();
    const double calls = static_cast<double>(t.nsecsElapsed()) / 1e6;
    pump(3000);  // the idle time the warm-up has before a user opens a report
    std::printf("warm-up: %.1f ms on the window thread in the call\n", calls);
  }
  std::vector<double> later;
  const double first = timedReport(record);
  for (int i = 1; i < opens; ++i) later.push_back(timedReport(record));
  if (first < 0 || std::count(later.begin(), later.end(), -1.0) > 0) {
    std::fprintf(stderr, "a report was not filled\n");
    return 1;
  }
  const double m = median(later);
  std::printf("first report (%s): %.1f ms; later reports: median %.1f ms (%zu); first / later %.2f\n",
              warm ? "after warm-up" : "cold", first, m, later.size(), m > 0 ? first / m : 0);
  QDir(QString::fromStdString(dataFolder)).removeRecursively();
  return 0;
}
