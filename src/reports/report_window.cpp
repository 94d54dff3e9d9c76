#include "reports/report_window.h"

#include <QBuffer>
#include <QLabel>
#include <QMovie>
#include <QStackedWidget>

#include "platform/folders.h"
#include "reports/report_page_policy.h"
#include "toolkit/skin_archive.h"
#include "toolkit/web_view.h"

namespace norvane::reports {

ReportWindow::ReportWindow(const QString& layoutFile, const QString& tabLayoutName, QWidget* parent)
    : toolkit::Window(QString::fromLatin1(kReportWindowClass), layoutFile, parent), tabLayoutName_(tabLayoutName) {
  enableShadow(true);
}

ReportWindow::~ReportWindow() {
  // Subclasses wait in their own destructors, before their request objects
  // go; this is the last guard for the thread object itself.
  waitForWorker();
}

void ReportWindow::initReport(bool publishPath) {
  const std::string path = JoinPath(ProgramFolder, "local.dat");
  db_.open(path);
  if (publishPath) KnowledgeDbPath = path;  // local text is UTF-8

  web_ = control<toolkit::WebView>(QStringLiteral("Webkit"));
  if (web_ != nullptr) restrictToContentFolder(web_, contentFolder());
  host_.setView(web_);

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
  if (worker_.joinable()) return;  // callers serialise; never two threads on one request
  worker_ = std::thread([this, request = std::move(request)] {
    ServiceStatus status = request();
    post(kMessageReportResult, static_cast<quintptr>(static_cast<unsigned>(status)));
  });
}

void ReportWindow::waitForWorker() {
  if (worker_.joinable()) worker_.join();
}

void ReportWindow::showLoadingView() {
  if (auto* tabs = control<QStackedWidget>(tabLayoutName_)) tabs->setCurrentIndex(0);
  if (gif_ != nullptr) gif_->start();
}

void ReportWindow::showContentView() {
  if (auto* tabs = control<QStackedWidget>(tabLayoutName_)) tabs->setCurrentIndex(1);
  if (gif_ != nullptr) gif_->stop();
}

void ReportWindow::navigateTo(const char* templateName) {
  if (web_ != nullptr) web_->navigate(pageUrl(QString::fromLatin1(templateName)));
}

bool ReportWindow::onMessage(unsigned number, quintptr wParam) {
  if (number == kMessageReportResult) {
    waitForWorker();  // posting was the worker's last action
    onReportResult(static_cast<ServiceStatus>(static_cast<unsigned>(wParam)));
    return true;
  }
  if (number == kMessageNewNamePage) {
    onNewNamePage();
    return true;
  }
  return false;
}

void ReportWindow::onPageLoaded(toolkit::WebView* view, const QString& url, bool ok) {
  // A failed load sends nothing. While a worker runs the request's results
  // are its own; the page is loaded again when its answer is in.
  if (!ok || view != web_ || workerRunning()) return;
  onTemplateLoaded(url);
}

}  // namespace norvane::reports
