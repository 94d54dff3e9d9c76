#pragma once
// The nickname analysis report: one page, "xiaoming.html", and, when opened
// from a page of suggested nicknames, the bottom strip of that page.
#include "reports/analysis_report_window.h"

namespace norvane::reports {

class CXiaomingResultWnd : public AnalysisReportWindow {
  Q_OBJECT
 public:
  explicit CXiaomingResultWnd(const NameRecord& record, QWidget* parent = nullptr);
  ReportDocument exportDocument() override;

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onAnalysisShown() override;
  void onTemplateLoaded(const QString& url) override;
};

}  // namespace norvane::reports
