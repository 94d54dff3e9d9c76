#include "reports/compare_result_window.h"

#include <QLabel>

#include "shell/message_box.h"

namespace norvane::reports {

CCompareResultWnd::CCompareResultWnd(std::vector<NameRecord> records, QWidget* parent)
    : ReportWindow(QStringLiteral("compareResult.xml"), QStringLiteral("tabMain"), parent), records_(std::move(records)) {
  for (const NameRecord& r : records_) {
    auto query = std::make_shared<AnalysisQuery>(Endpoint::NameAnalysis);
    query->Xing = r.Xing;
    query->Ming = r.Ming;
    query->Birthday = r.Birthday;
    query->Gender = r.Gender;
    query->Longitude = r.Longitude;
    query->m = 1;
    queries_.push_back(std::move(query));
  }
}

// A request still running keeps the shared queries alive (ReportWindow).
CCompareResultWnd::~CCompareResultWnd() = default;

void CCompareResultWnd::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initReport(true);
    if (auto* title = control<QLabel>(QStringLiteral("Title"))) {
      title->setTextFormat(Qt::PlainText);
      title->setText(QStringLiteral("名字对比 · %1个名字").arg(records_.size()));
    }
    // The queries are filled on this thread; the worker only runs them, one
    // after the other, and stops at the first failure.
    startWorker([queries = queries_] {
      for (const auto& query : queries) {
        ServiceStatus status = query->run();
        if (status != kStatusOk) return status;
      }
      return kStatusOk;
    });
    loadTemplateEarly("compare.html");
  } else if (type == QLatin1String("click")) {
    if (sender == QLatin1String("btnClose")) {
      requestClose();  // at once: a running request finishes on its own
    } else {
      handleExportClick(sender);
    }
  }
}

void CCompareResultWnd::onReportResult(ServiceStatus status) {
  if (status != kStatusOk) {
    ShowMessage(statusTextKey(status), this, MB_ERROR_ICON);
    requestClose();
    return;
  }
  compared_.clear();
  for (std::size_t i = 0; i < records_.size(); ++i) compared_.push_back({records_[i], queries_[i]->Data});
  data_ = buildComparisonData(compared_, knowledgeDb());
  showTemplate("compare.html");
  showContentView();
}

void CCompareResultWnd::onTemplateLoaded(const QString&) { host().sendData(data_); }

ReportDocument CCompareResultWnd::exportDocument() { return comparisonDocument(compared_, data_, exportDate()); }

}  // namespace norvane::reports
