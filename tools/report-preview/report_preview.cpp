// norvane-report-preview: loads a report template in the real web engine,
// fills it with a page fixture exactly as the report windows do (SetData with
// string literals, after the page has loaded) and saves what the view shows
// as PNG images, one per view size. Console messages of the page (script
// errors, blocked resources) are printed on standard error.
//
//   norvane-report-preview --fixture tests/content/fixtures/zongh.json
//       --out /tmp/zongh [--content build/bin/content] [--size 690x460 ...] [--full]
//
// Writes PREFIX-690x460.png, … and with --full also PREFIX-full.png (the
// whole page at the first width).
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <unistd.h>

#include "page_script.h"
#include "reports/report_host.h"

namespace {

class ConsolePage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;
  int problems = 0;

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                const QString& source) override {
    if (level != InfoMessageLevel) ++problems;
    std::fprintf(stderr, "page: %s (%s:%d)\n", qPrintable(message), qPrintable(QFileInfo(source).fileName()), line);
  }
};

void wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

QVariant evaluate(QWebEnginePage* page, const QString& script) {
  QVariant result;
  bool done = false;
  QEventLoop loop;
  page->runJavaScript(script, [&](const QVariant& v) {
    result = v;
    done = true;
    loop.quit();
  });
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  if (!done) loop.exec();
  return result;
}

// Loads and fills the page in a view of the given size; false when it did not load.
bool fill(QWebEngineView& view, ConsolePage& page, const QString& file, const norvane::content::PageFixture& fixture,
          QSize size) {
  view.resize(size);
  view.show();
  bool loaded = false, finished = false;
  QEventLoop loop;
  auto connection = QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool ok) {
    loaded = ok;
    finished = true;
    loop.quit();
  });
  view.load(QUrl::fromLocalFile(file));
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  if (!finished) loop.exec();
  QObject::disconnect(connection);
  if (!loaded) return false;
  evaluate(&page, norvane::reports::setDataScript(fixture.arguments) + QStringLiteral(";true"));
  QString errors = evaluate(&page, QStringLiteral("window.Report ? JSON.stringify(Report.errors) : 'no Report'")).toString();
  if (errors != QStringLiteral("[]")) std::fprintf(stderr, "page errors: %s\n", qPrintable(errors));
  wait(400);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");  // the sandbox cannot run as root
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-dev-shm-usage --disable-gpu");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Fills a report template with a page fixture and saves PNG images."));
  parser.addHelpOption();
  QCommandLineOption fixtureOption(QStringLiteral("fixture"), QStringLiteral("page fixture (JSON)"), QStringLiteral("file"));
  QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("prefix of the PNG files"), QStringLiteral("prefix"));
  QCommandLineOption contentOption(QStringLiteral("content"), QStringLiteral("template folder"), QStringLiteral("dir"),
                                   QCoreApplication::applicationDirPath() + QStringLiteral("/content"));
  QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("view size WxH (repeatable)"), QStringLiteral("WxH"));
  QCommandLineOption fullOption(QStringLiteral("full"), QStringLiteral("also save the whole page at the first width"));
  parser.addOptions({fixtureOption, outOption, contentOption, sizeOption, fullOption});
  parser.process(app);
  if (!parser.isSet(fixtureOption) || !parser.isSet(outOption)) {
    std::fprintf(stderr, "norvane-report-preview: --fixture and --out are needed\n");
    return 2;
  }

  norvane::content::PageFixture fixture;
  QString error;
  if (!norvane::content::loadFixture(parser.value(fixtureOption), fixture, error)) {
    std::fprintf(stderr, "norvane-report-preview: %s\n", qPrintable(error));
    return 2;
  }
  QString file = QDir(parser.value(contentOption)).absoluteFilePath(fixture.templateName);
  if (!QFileInfo::exists(file)) {
    std::fprintf(stderr, "norvane-report-preview: no template %s\n", qPrintable(file));
    return 1;
  }

  QList<QSize> sizes;
  for (const QString& s : parser.values(sizeOption)) {
    QStringList wh = s.split(QLatin1Char('x'));
    int w = wh.value(0).toInt(), h = wh.value(1).toInt();
    if (wh.size() != 2 || w < 100 || h < 100 || w > 4000 || h > 4000) {
      std::fprintf(stderr, "norvane-report-preview: bad size %s\n", qPrintable(s));
      return 2;
    }
    sizes << QSize(w, h);
  }
  if (sizes.isEmpty()) sizes << QSize(690, 460) << QSize(1384, 840);  // the report window as opened and enlarged

  QWebEngineView view;
  auto* page = new ConsolePage(&view);
  view.setPage(page);
  QString prefix = parser.value(outOption);
  for (QSize size : sizes) {
    if (!fill(view, *page, file, fixture, size)) {
      std::fprintf(stderr, "norvane-report-preview: %s did not load\n", qPrintable(file));
      return 1;
    }
    QString out = QStringLiteral("%1-%2x%3.png").arg(prefix).arg(size.width()).arg(size.height());
    if (!view.grab().save(out)) {
      std::fprintf(stderr, "norvane-report-preview: cannot write %s\n", qPrintable(out));
      return 1;
    }
    std::printf("%s\n", qPrintable(out));
  }
  if (parser.isSet(fullOption)) {
    fill(view, *page, file, fixture, sizes.first());
    int height = evaluate(page, QStringLiteral("document.documentElement.scrollHeight")).toInt();
    QSize size(sizes.first().width(), qBound(100, height, 8000));
    fill(view, *page, file, fixture, size);
    QString out = prefix + QStringLiteral("-full.png");
    if (!view.grab().save(out)) return 1;
    std::printf("%s\n", qPrintable(out));
  }
  return page->problems == 0 ? 0 : 3;
}
