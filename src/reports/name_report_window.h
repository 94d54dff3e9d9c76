#pragma once
// The name analysis report: the header with the name's characters, pinyin,
// five elements, luck marks and total score, seven report pages in the web
// view, and, when opened from a page of suggested names, the bottom strip of
// that page with paging through the main window.
#include "reports/analysis_report_window.h"
#include "reports/page_data.h"

namespace norvane::reports {

class CQuMingResultWnd : public AnalysisReportWindow {
  Q_OBJECT
  // Readable through the meta-object by programs that reach the window only
  // by its class name (the report benchmarks).
  Q_PROPERTY(int shownPage READ shownPage)
 public:
  // The tab options of the seven pages, by page index.
  static const char* const kTabOptions[kNamePageCount];

  explicit CQuMingResultWnd(const NameRecord& record, QWidget* parent = nullptr);

  const BirthPlace& birthPlace() const { return place_; }
  // The page whose data was last sent, or -1.
  int shownPage() const { return shownPage_; }

  // x of the first five-element and luck label for a name of n characters.
  static int headerColumnX(int characters) { return 230 - (4 - characters) * 50; }

  ReportDocument exportDocument() override;

 protected:
  void notify(const QString& type, const QString& sender) override;
  void prepareReport() override;
  void onAnalysisShown() override;
  void onTemplateLoaded(const QString& url) override;

 private:
  void fillHeader();
  void selectTab(int page);

  BirthPlace place_;
  int shownPage_ = -1;
};

}  // namespace norvane::reports
