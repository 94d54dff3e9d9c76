#include "reports/nickname_report_window.h"

#include <QLabel>

#include "reports/name_strip.h"
#include "reports/page_data.h"
#include "reports/report_launcher.h"
#include "shell/message_box.h"

namespace norvane::reports {

CXiaomingResultWnd::CXiaomingResultWnd(const NameRecord& record, QWidget* parent)
    : ReportWindow(QStringLiteral("xiaomingResult.xml"), QStringLiteral("tabMain"), parent), current_(record) {}

CXiaomingResultWnd::~CXiaomingResultWnd() { waitForWorker(); }

void CXiaomingResultWnd::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initReport(true);
    if (source_ != nullptr) {
      fillStrip();
    } else if (QWidget* strip = control(QStringLiteral("bottomNameList"))) {
      strip->setVisible(false);
    }
    startAnalysis();
    loadTemplateEarly("xiaoming.html");
    return;
  }
  if (type != QLatin1String("click")) return;
  if (sender == QLatin1String("btnClose")) {
    requestClose();  // the destructor waits for a running worker
  } else if (int index = nameOptionIndex(sender); index >= 0) {
    if (source_ == nullptr) return;
    const std::vector<NameRecord>& names = source_->currentNames();
    if (static_cast<std::size_t>(index) >= names.size()) return;
    current_ = names[static_cast<std::size_t>(index)];
    showLoadingView();
    if (workerRunning()) {
      restartWanted_ = true;
    } else {
      startAnalysis();
    }
  } else if (sender == QLatin1String("btnPrePageQuming")) {
    if (source_ != nullptr) source_->previousPage();
  } else if (sender == QLatin1String("btnNextPageQuming")) {
    if (source_ != nullptr) source_->nextPage();
  }
}

void CXiaomingResultWnd::startAnalysis() {
  query_.Xing = current_.Xing;
  query_.Ming = current_.Ming;
  query_.Birthday = current_.Birthday;
  query_.Gender = current_.Gender;
  query_.Longitude = current_.Longitude;
  query_.m = 1;
  startWorker([this] { return query_.run(); });
}

void CXiaomingResultWnd::onReportResult(ServiceStatus status) {
  if (restartWanted_) {
    restartWanted_ = false;
    startAnalysis();
    return;
  }
  if (status != kStatusOk) {
    ShowMessage(statusTextKey(status), this, MB_ERROR_ICON);
    requestClose();
    return;
  }
  if (auto* title = control<QLabel>(QStringLiteral("Title"))) {
    title->setTextFormat(Qt::PlainText);
    title->setText(QStringLiteral("小名分析报告 · ") + QString::fromStdString(current_.Ming));
  }
  showTemplate("xiaoming.html");
  showContentView();
}

void CXiaomingResultWnd::fillStrip() {
  if (source_ == nullptr) return;
  fillNameStrip(*this, source_->currentNames(), current_, true, source_);
  if (QWidget* strip = control(QStringLiteral("bottomNameList"))) strip->setVisible(true);
}

void CXiaomingResultWnd::onNewNamePage() {
  if (source_ == nullptr || source_->currentNames().empty()) return;
  current_ = source_->currentNames().front();
  fillStrip();
}

void CXiaomingResultWnd::onTemplateLoaded(const QString&) {
  host().sendData(buildNicknamePageData(query_.Data, knowledgeDb()));
}

}  // namespace norvane::reports
