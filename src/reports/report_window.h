#pragma once
// What the three report windows share: the window class, the loading view
// with its animated image and the content view with the web view, the
// window's knowledge database, one worker thread for the service request,
// and the host that sends page data to the loaded template.
//
// The worker only runs the request it is given and posts message 1032 with
// the status; the window reads the request's results only after that message
// has arrived. A window never starts a second worker while one runs. The
// request owns what it works on (the window shares its query object with
// it), so a window closed while its request runs goes at once: the worker
// finishes on its own and its late answer finds no window.
#include <QString>

#include <functional>

#include "data/knowledge_db.h"
#include "platform/worker_thread.h"
#include "reports/report_document.h"
#include "reports/report_host.h"
#include "service/transport.h"
#include "toolkit/window.h"

class QBuffer;
class QMovie;
class QStackedWidget;

namespace norvane::reports {
class ReportExporter;
}

namespace norvane::reports {

// Messages of the report windows.
constexpr unsigned kMessageReportResult = 1032;  // wParam = ServiceStatus of the worker's request
constexpr unsigned kMessageNewNamePage = 1033;   // the main window has loaded another page of names

// The class name the main window finds an open report window by.
inline constexpr const char* kReportWindowClass = "NorvaneResultWindowClass";

class ReportWindow : public toolkit::Window {
  Q_OBJECT
 public:
  ~ReportWindow() override;

  bool workerRunning() const { return worker_.held(); }
  KnowledgeDb& knowledgeDb() { return db_; }
  ReportHost& host() { return host_; }
  toolkit::WebView* webView() const { return web_; }
  // The export and print of what the window shows (created with the report).
  ReportExporter* exporter() const { return exporter_; }
  // The document the export and the printer write, of the answer shown now.
  virtual ReportDocument exportDocument() = 0;

 protected:
  ReportWindow(const QString& layoutFile, const QString& tabLayoutName, QWidget* parent);

  // Opens the knowledge database beside the program (and publishes its path
  // in KnowledgeDbPath when `publishPath` is set), finds the web view, locks
  // it to the content folder and starts the loading animation.
  void initReport(bool publishPath);

  // Runs `request` on the worker thread; its status arrives as 1032. Must not
  // be called while a worker runs. The request must own everything it uses
  // (copies, shared objects), never the window: the window may go first.
  void startWorker(std::function<ServiceStatus()> request);
  // The export and print buttons ("btnExportPdf", "btnPrint"); true when
  // `sender` was one of them.
  bool handleExportClick(const QString& sender);
  // Today's date as the footer of an export shows it.
  static std::string exportDate();

  // Waits until the worker (if any) has finished.
  void waitForWorker();

  void showLoadingView();
  void showContentView();
  // Loads a template of the content folder into the web view.
  void navigateTo(const char* templateName);
  // Starts loading the template the first answer will be shown in while the
  // request still runs (behind the loading view), so that the page is ready
  // when the answer arrives.
  void loadTemplateEarly(const char* templateName);
  // Shows the answer in a template: fills the early-loaded page when that is
  // the one, otherwise loads it (the page is filled when it has loaded).
  void showTemplate(const char* templateName);

  // The worker's status, on the window thread, after the worker has ended.
  virtual void onReportResult(ServiceStatus status) = 0;
  // A template finished loading successfully (and no worker runs).
  virtual void onTemplateLoaded(const QString& url) = 0;
  virtual void onNewNamePage() {}

  bool onMessage(unsigned number, quintptr wParam) override;
  bool onCloseRequest() override;
  void onPageLoaded(toolkit::WebView* view, const QString& url, bool ok) override;

 private:
  // Puts the warm view (warm_view.h) in place of the layout's web view when
  // it shows or loads `url`; true when it did (`loaded`: its load is done).
  bool adoptWarmView(const QString& url, bool& loaded);

  QString tabLayoutName_;
  KnowledgeDb db_;
  ReportHost host_;
  toolkit::WebView* web_ = nullptr;
  ReportExporter* exporter_ = nullptr;
  WorkerThread worker_;
  enum class EarlyLoad { None, Loading, Loaded };
  EarlyLoad early_ = EarlyLoad::None;
  QString earlyUrl_;
  bool answerShown_ = false;  // pages are filled only once an answer has been shown
  bool adoptedWarmView_ = false;
  bool contentFocused_ = false;  // the focus went to the content view when it first showed
  bool closeRequested_ = false;  // an answer arriving after the close is dropped
  void setExportEnabled(bool enabled);
  QBuffer* gifBytes_ = nullptr;
  QMovie* gif_ = nullptr;
};

}  // namespace norvane::reports
