#include "reports/document_renderer.h"

#include <QPageSize>
#include <QTimer>
#include <QPrinter>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "platform/debug_trace.h"
#include "reports/report_host.h"
#include "reports/report_page_policy.h"
#include "service/json_access.h"
#include "toolkit/web_engine_view.h"

namespace norvane::reports {
namespace {

constexpr int kSheetWidthPx = 695;   // 210 mm − 2 × 13 mm
constexpr int kSheetHeightPx = 1017;  // 297 mm − 12 mm − 6 mm − the 10 mm footer space
constexpr int kReadyPolls = 100;  // × 10 ms: fonts are local, so this is never reached in practice

QString literal(const std::string& utf8) { return jsStringLiteral(QString::fromStdString(utf8)); }

}  // namespace

QString documentScript(const ReportDocument& document) {
  QString script = QStringLiteral("(function () { try { PrintReport.begin(%1, %2);")
                       .arg(literal(document.header.isNull() ? std::string() : writeStyledJson(document.header)),
                            literal(document.footer));
  for (const DocumentPart& part : document.parts) {
    const QString call = pageDataScript(part.data);
    if (call.isEmpty()) continue;
    script += QStringLiteral(" PrintReport.page(%1); %2;").arg(literal(part.page), call);
  }
  script += QStringLiteral(" return 'ok:' + PrintReport.end(); } catch (e) { return 'error:' + e; } })()");
  return script;
}

QPageLayout printPageLayout() {
  // The same margins as print.css's @page rule, so either way the sheets agree.
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(13, 12, 13, 6),
                     QPageLayout::Millimeter);
}

DocumentRenderer::DocumentRenderer(QObject* parent) : QObject(parent) {}

DocumentRenderer::~DocumentRenderer() {
  // The view answers pending script calls as it goes; they still find this
  // object whole.
  view_.reset();
}

toolkit::WebEngineWebView* DocumentRenderer::view() {
  if (view_ == nullptr) {
    // Shown off the screen, as wide as a sheet's text column (A4 less the
    // side margins at 96 dpi), so that what the print page measures before
    // printing is what the sheet will hold.
    view_ = std::make_unique<toolkit::WebEngineWebView>();
    view_->setAttribute(Qt::WA_DontShowOnScreen);
    view_->resize(kSheetWidthPx, kSheetHeightPx);
    restrictToContentFolder(view_.get(), contentFolder());
    view_->show();
  }
  return view_.get();
}

void DocumentRenderer::fill(const ReportDocument& document, std::function<void()> ready,
                            std::function<void(const QString&)> failed) {
  const QString script = documentScript(document);
  auto run = [this, script, ready, failed] {
    view()->runScript(script, [this, ready, failed](const QString& result) {
      if (!result.startsWith(QLatin1String("ok:"))) {
        failed(QStringLiteral("the print page did not take the report: ") + result);
        return;
      }
      if (result.size() > 3) DebugTrace("print page: %s\n", result.mid(3).toUtf8().constData());
      waitUntilReady(kReadyPolls, ready, failed);
    });
  };
  // Every document gets a freshly loaded page, so nothing of an earlier
  // document stays in it; interleaved runs showed no cost over reusing one.
  QObject::disconnect(loadConnection_);
  loadConnection_ = connect(view(), &toolkit::WebView::loadFinished, this, [this, run, failed](const QString&, bool ok) {
    QObject::disconnect(loadConnection_);
    if (ok)
      run();
    else
      failed(QStringLiteral("the print page %1 could not be loaded").arg(pageUrl(QStringLiteral("print.html"))));
  });
  view()->navigate(pageUrl(QStringLiteral("print.html")));
}

void DocumentRenderer::waitUntilReady(int triesLeft, std::function<void()> ready,
                                      std::function<void(const QString&)> failed) {
  view()->runScript(QStringLiteral("window.PrintReport && PrintReport.ready ? 'yes' : 'no'"),
                    [this, triesLeft, ready, failed](const QString& answer) {
                      if (answer == QLatin1String("yes") || triesLeft <= 0) {
                        ready();
                        return;
                      }
                      QTimer::singleShot(10, this, [this, triesLeft, ready, failed] {
                        waitUntilReady(triesLeft - 1, ready, failed);
                      });
                    });
}

void DocumentRenderer::renderPdf(const ReportDocument& document, PdfDone done) {
  if (busy_) {
    done(QByteArray(), QStringLiteral("another document is being printed"));
    return;
  }
  busy_ = true;
  auto failed = [this, done](const QString& error) {
    busy_ = false;
    done(QByteArray(), error);
  };
  fill(
      document,
      [this, done] {
        view()->engineView()->page()->printToPdf(
            [this, done](const QByteArray& pdf) {
              busy_ = false;
              done(pdf, pdf.isEmpty() ? QStringLiteral("the web engine made no PDF") : QString());
            },
            printPageLayout());
      },
      failed);
}

void DocumentRenderer::print(const ReportDocument& document, QPrinter* printer, PrintDone done) {
  if (busy_) {
    done(QStringLiteral("another document is being printed"));
    return;
  }
  busy_ = true;
  auto failed = [this, done](const QString& error) {
    busy_ = false;
    done(error);
  };
  fill(
      document,
      [this, printer, done] {
        QWebEngineView* engineView = view()->engineView();
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(engineView, &QWebEngineView::printFinished, this, [this, connection, done](bool ok) {
          QObject::disconnect(*connection);
          busy_ = false;
          done(ok ? QString() : QStringLiteral("the printer did not take the document"));
        });
        printer->setPageLayout(printPageLayout());
        engineView->print(printer);
      },
      failed);
}

}  // namespace norvane::reports
