#pragma once
// The comparison of two to four favourites side by side, on one page,
// "compare.html". The worker asks each name's analysis (the same request and
// answer cache as the name report, so names already viewed come from the
// cache); the page then receives the comparison built from them.
#include <memory>
#include <vector>

#include "reports/comparison_data.h"
#include "reports/report_window.h"
#include "service/analysis_query.h"

namespace norvane::reports {

class CCompareResultWnd : public ReportWindow {
  Q_OBJECT
 public:
  explicit CCompareResultWnd(std::vector<NameRecord> records, QWidget* parent = nullptr);
  ~CCompareResultWnd() override;

  // The data the page received (null until the analyses have arrived).
  const Json::Value& comparisonData() const { return data_; }
  const std::vector<ComparedName>& comparedNames() const { return compared_; }
  ReportDocument exportDocument() override;

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onReportResult(ServiceStatus status) override;
  void onTemplateLoaded(const QString& url) override;

 private:
  std::vector<NameRecord> records_;
  // Shared with the running request, which keeps them alive when the window
  // goes first; read after 1032.
  std::vector<std::shared_ptr<AnalysisQuery>> queries_;
  std::vector<ComparedName> compared_;
  Json::Value data_;
};

}  // namespace norvane::reports
