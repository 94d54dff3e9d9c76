#include "reports/analysis_report_window.h"

#include "reports/name_strip.h"
#include "reports/report_launcher.h"
#include "shell/message_box.h"

namespace norvane::reports {

AnalysisReportWindow::AnalysisReportWindow(const QString& layoutFile, const QString& tabLayoutName,
                                           Endpoint endpoint, bool nicknameStrip, const NameRecord& record,
                                           QWidget* parent)
    : ReportWindow(layoutFile, tabLayoutName, parent),
      sharedQuery_(std::make_shared<AnalysisQuery>(endpoint)),
      query_(*sharedQuery_),
      current_(record),
      nicknameStrip_(nicknameStrip) {}

// A request still running keeps the shared query alive (ReportWindow).
AnalysisReportWindow::~AnalysisReportWindow() = default;

void AnalysisReportWindow::startReport(const char* firstTemplate) {
  initReport(true);
  prepareReport();
  if (source_ != nullptr) {
    fillStrip();
  } else if (QWidget* strip = control(QStringLiteral("bottomNameList"))) {
    strip->setVisible(false);
  }
  startAnalysis();
  loadTemplateEarly(firstTemplate);
}

void AnalysisReportWindow::startAnalysis() {
  // The request is filled here, on the window thread; the worker only runs it.
  query_.Xing = current_.Xing;
  query_.Ming = current_.Ming;
  query_.Birthday = current_.Birthday;
  query_.Gender = current_.Gender;
  query_.Longitude = current_.Longitude;
  query_.m = 1;
  startWorker([query = sharedQuery_] { return query->run(); });
}

bool AnalysisReportWindow::handleStripClick(const QString& sender) {
  if (int index = nameOptionIndex(sender); index >= 0) {
    selectName(index);
  } else if (sender == QLatin1String("btnPrePageQuming")) {
    if (source_ != nullptr) source_->previousPage();
  } else if (sender == QLatin1String("btnNextPageQuming")) {
    if (source_ != nullptr) source_->nextPage();
  } else {
    return false;
  }
  return true;
}

void AnalysisReportWindow::selectName(int index) {
  if (source_ == nullptr) return;
  const std::vector<NameRecord>& names = source_->currentNames();
  if (index < 0 || static_cast<std::size_t>(index) >= names.size()) return;
  current_ = names[static_cast<std::size_t>(index)];
  showLoadingView();
  if (workerRunning()) {
    restartWanted_ = true;  // asked when the running request has answered
  } else {
    startAnalysis();
  }
}

void AnalysisReportWindow::onReportResult(ServiceStatus status) {
  if (restartWanted_) {
    // That answer was for a name no longer chosen.
    restartWanted_ = false;
    startAnalysis();
    return;
  }
  if (status != kStatusOk) {
    ShowMessage(statusTextKey(status), this, MB_ERROR_ICON);
    requestClose();
    return;
  }
  onAnalysisShown();
}

void AnalysisReportWindow::fillStrip() {
  if (source_ == nullptr) return;
  fillNameStrip(*this, source_->currentNames(), current_, nicknameStrip_, source_);
  if (QWidget* strip = control(QStringLiteral("bottomNameList"))) strip->setVisible(true);
}

void AnalysisReportWindow::onNewNamePage() {
  // The report shown stays that of the earlier name until a name is chosen.
  if (source_ == nullptr || source_->currentNames().empty()) return;
  current_ = source_->currentNames().front();
  fillStrip();
}

}  // namespace norvane::reports
