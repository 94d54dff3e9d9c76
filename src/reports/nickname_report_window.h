#pragma once
// The nickname analysis report: one page, "xiaoming.html", and, when opened
// from a page of suggested nicknames, the bottom strip of that page.
#include "reports/report_window.h"
#include "service/analysis_query.h"
#include "service/name_query.h"

namespace norvane::reports {

class NamePageSource;

class CXiaomingResultWnd : public ReportWindow {
  Q_OBJECT
 public:
  explicit CXiaomingResultWnd(const NameRecord& record, QWidget* parent = nullptr);
  ~CXiaomingResultWnd() override;

  void setNamePage(NamePageSource* source) { source_ = source; }
  const NameRecord& currentName() const { return current_; }
  const AnalysisQuery& query() const { return query_; }

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onReportResult(ServiceStatus status) override;
  void onTemplateLoaded(const QString& url) override;
  void onNewNamePage() override;

 private:
  void startAnalysis();
  void fillStrip();

  NameRecord current_;
  NamePageSource* source_ = nullptr;
  AnalysisQuery query_{Endpoint::NicknameAnalysis};
  bool restartWanted_ = false;
};

}  // namespace norvane::reports
