#include "reports/report_window.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QLayout>
#include <QTimer>
#include <QLabel>
#include <QMovie>
#include <QStackedWidget>

#include "platform/clock.h"
#include "platform/folders.h"
#include "reports/page_data.h"
#include "reports/report_export.h"
#include "reports/report_page_policy.h"
#include "reports/warm_view.h"
#include "toolkit/keyboard_access.h"
#include "toolkit/message_channel.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_engine_view.h"

namespace norvane::reports {
namespace {
// After a report that used the warm view has closed, the next one is made a
// little later, off the close's own work.
constexpr int kNextWarmViewDelayMs = 200;
}  // namespace

ReportWindow::ReportWindow(const QString& layoutFile, const QString& tabLayoutName, QWidget* parent)
    : toolkit::Window(QString::fromLatin1(kReportWindowClass), layoutFile, parent), tabLayoutName_(tabLayoutName) {
  enableShadow(true);
}

ReportWindow::~ReportWindow() {
  // A request still running keeps its query alive itself and ends on its
  // own; its answer is dropped (the window's message channel is closed).
  worker_.release();
  // The next report gets a warm view too, made once this window has gone.
  if (adoptedWarmView_ && QCoreApplication::instance() != nullptr) {
    QTimer::singleShot(kNextWarmViewDelayMs, QCoreApplication::instance(),
                       [] { WarmView::prepare(QString::fromLatin1(namePageTemplate(0))); });
  }
}

void ReportWindow::initReport(bool publishPath) {
  const std::string path = JoinPath(ProgramFolder, "local.dat");
  db_.open(path);
  if (publishPath) KnowledgeDbPath = path;  // local text is UTF-8

  web_ = control<toolkit::WebView>(QStringLiteral("Webkit"));
  if (web_ != nullptr) restrictToContentFolder(web_, contentFolder());
  host_.setView(web_);
  exporter_ = new ReportExporter(this, [this] { return exportDocument(); });
  connect(exporter_, &ReportExporter::busyChanged, this, [this](bool busy) { setExportEnabled(!busy); });
  setExportEnabled(false);

  if (auto* image = control<QLabel>(QStringLiteral("loadingImage"))) {
    bool ok = false;
    QByteArray bytes = toolkit::SkinArchive::instance().file(QStringLiteral("images/translator.gif"), &ok);
    if (ok) {
      gifBytes_ = new QBuffer(this);
      gifBytes_->setData(bytes);
      gifBytes_->open(QIODevice::ReadOnly);
      gif_ = new QMovie(gifBytes_, QByteArray("gif"), this);
      image->setMovie(gif_);
      gif_->start();
    }
  }
}

void ReportWindow::startWorker(std::function<ServiceStatus()> request) {
  if (worker_.held()) return;  // callers serialise; never two threads on one request
  worker_.start([channel = messageChannel(), request = std::move(request)] {
    ServiceStatus status = request();
    channel->post(kMessageReportResult, static_cast<quintptr>(static_cast<unsigned>(status)));
  });
}

void ReportWindow::waitForWorker() { worker_.join(); }

void ReportWindow::setExportEnabled(bool enabled) {
  for (const char* name : {"btnExportPdf", "btnPrint"})
    if (QWidget* button = control(QString::fromLatin1(name))) button->setEnabled(enabled);
}

bool ReportWindow::handleExportClick(const QString& sender) {
  if (sender == QLatin1String("btnExportPdf")) {
    if (exporter_ != nullptr && answerShown_ && !workerRunning()) exporter_->exportPdf();
    return true;
  }
  if (sender == QLatin1String("btnPrint")) {
    if (exporter_ != nullptr && answerShown_ && !workerRunning()) exporter_->print();
    return true;
  }
  return false;
}

std::string ReportWindow::exportDate() {
  const LocalDateTime now = systemClock().localNow();
  return exportDateText(now.year, now.month, now.day);
}

void ReportWindow::showLoadingView() {
  setExportEnabled(false);
  if (auto* tabs = control<QStackedWidget>(tabLayoutName_)) tabs->setCurrentIndex(0);
  if (gif_ != nullptr) gif_->start();
}

void ReportWindow::showContentView() {
  setExportEnabled(true);
  auto* tabs = control<QStackedWidget>(tabLayoutName_);
  if (tabs != nullptr) tabs->setCurrentIndex(1);
  if (gif_ != nullptr) gif_->stop();
  if (tabs != nullptr && !contentFocused_ && isVisible()) {
    // The first answer takes the focus to the report (its tab bar or its
    // page), wherever the loading view left it; later answers leave it
    // where the user put it (a name of the bottom strip).
    contentFocused_ = true;
    toolkit::focusInitialControl(tabs->currentWidget());
  }
}

void ReportWindow::navigateTo(const char* templateName) {
  if (web_ != nullptr) web_->navigate(pageUrl(QString::fromLatin1(templateName)));
}

void ReportWindow::loadTemplateEarly(const char* templateName) {
  if (web_ == nullptr) return;
  // The engine keeps the accessibility tree of a page filled while hidden at
  // what the page showed as it loaded ("正在准备报告……"): with an assistive
  // tool running, the page loads once the answer is there, and is read filled.
  if (toolkit::enableWebEngineAccessibility()) return;
  earlyUrl_ = pageUrl(QString::fromLatin1(templateName));
  bool loaded = false;
  if (adoptWarmView(earlyUrl_, loaded)) {
    // Loaded: the answer arrives later, as a posted message. Still loading:
    // its load-finished notification comes as for the view's own load.
    early_ = loaded ? EarlyLoad::Loaded : EarlyLoad::Loading;
    return;
  }
  early_ = EarlyLoad::Loading;
  web_->navigate(earlyUrl_);
}

bool ReportWindow::adoptWarmView(const QString& url, bool& loaded) {
  toolkit::WebEngineWebView* warm = WarmView::take(url, loaded);
  if (warm == nullptr) return false;
  QWidget* place = web_->parentWidget();
  warm->setParent(place);
  warm->setObjectName(web_->objectName());
  warm->setGeometry(web_->geometry());
  if (place != nullptr && place->layout() != nullptr) delete place->layout()->replaceWidget(web_, warm);
  warm->setVisible(web_->isVisibleTo(place));
  delete web_;
  web_ = warm;
  host_.setView(web_);
  web_->setLoadFinishedHandler([this](const QString& loaded, bool ok) { onPageLoaded(web_, loaded, ok); });
  adoptedWarmView_ = true;
  return true;
}

void ReportWindow::showTemplate(const char* templateName) {
  const QString url = pageUrl(QString::fromLatin1(templateName));
  const EarlyLoad state = url == earlyUrl_ ? early_ : EarlyLoad::None;
  answerShown_ = true;
  early_ = EarlyLoad::None;
  earlyUrl_.clear();
  if (state == EarlyLoad::Loaded) {
    onTemplateLoaded(url);
  } else if (state == EarlyLoad::None) {
    navigateTo(templateName);
  }
  // Still loading: its load-finished notification fills it.
}

bool ReportWindow::onMessage(unsigned number, quintptr wParam) {
  if (number == kMessageReportResult) {
    waitForWorker();  // posting was the worker's last action
    // The user closed the window while the request ran: no page, no message.
    if (closeRequested_) return true;
    onReportResult(static_cast<ServiceStatus>(static_cast<unsigned>(wParam)));
    return true;
  }
  if (number == kMessageNewNamePage) {
    onNewNamePage();
    return true;
  }
  return false;
}

bool ReportWindow::onCloseRequest() {
  closeRequested_ = true;
  return true;
}

void ReportWindow::onPageLoaded(toolkit::WebView* view, const QString& url, bool ok) {
  // A failed load sends nothing, and nothing is sent before an answer is
  // shown. While a worker runs the request's results are its own.
  if (view != web_) return;
  if (early_ == EarlyLoad::Loading) {
    // The early load: kept for the answer, or forgotten when it failed (the
    // answer then loads the template again).
    if (ok && workerRunning()) {
      early_ = EarlyLoad::Loaded;
      return;
    }
    early_ = EarlyLoad::None;
    earlyUrl_.clear();
  }
  if (!ok || workerRunning() || !answerShown_) return;
  onTemplateLoaded(url);
}

}  // namespace norvane::reports
