#pragma once
// The name analysis report: the header with the name's characters, pinyin,
// five elements, luck marks and total score, seven report pages in the web
// view, and, when opened from a page of suggested names, the bottom strip of
// that page with paging through the main window.
#include <vector>

#include "reports/page_data.h"
#include "reports/report_window.h"
#include "service/analysis_query.h"
#include "service/name_query.h"

namespace norvane::reports {

class NamePageSource;

class CQuMingResultWnd : public ReportWindow {
  Q_OBJECT
 public:
  // The tab options of the seven pages, by page index.
  static const char* const kTabOptions[kNamePageCount];

  explicit CQuMingResultWnd(const NameRecord& record, QWidget* parent = nullptr);
  ~CQuMingResultWnd() override;

  // The page the report was opened from (set before the window is created), or none.
  void setNamePage(NamePageSource* source) { source_ = source; }

  const NameRecord& currentName() const { return current_; }
  const BirthPlace& birthPlace() const { return place_; }
  const AnalysisQuery& query() const { return query_; }
  // The page whose data was last sent, or -1.
  int shownPage() const { return shownPage_; }

  // x of the first five-element and luck label for a name of n characters.
  static int headerColumnX(int characters) { return 230 - (4 - characters) * 50; }

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onReportResult(ServiceStatus status) override;
  void onTemplateLoaded(const QString& url) override;
  void onNewNamePage() override;

 private:
  void startAnalysis();
  void fillHeader();
  void fillStrip();
  void selectName(int index);
  void selectTab(int page);

  NameRecord current_;
  NamePageSource* source_ = nullptr;
  BirthPlace place_;
  AnalysisQuery query_{Endpoint::NameAnalysis};
  bool restartWanted_ = false;  // another name was chosen while the worker ran
  int shownPage_ = -1;
};

}  // namespace norvane::reports
