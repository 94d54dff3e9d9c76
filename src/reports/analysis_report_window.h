#pragma once
// What the name and the nickname reports share: the analysis of one name
// record, and, when opened from a page of suggested names, the bottom strip
// of that page with paging through the main window. Choosing another name
// while a request runs is remembered and asked once the running request has
// answered, so one request object never serves two threads.
#include <memory>

#include "reports/report_window.h"
#include "service/analysis_query.h"
#include "service/name_query.h"

namespace norvane::reports {

class NamePageSource;

class AnalysisReportWindow : public ReportWindow {
  Q_OBJECT
 public:
  ~AnalysisReportWindow() override;

  // The page the report was opened from (set before the window is created), or none.
  void setNamePage(NamePageSource* source) { source_ = source; }
  const NameRecord& currentName() const { return current_; }
  const AnalysisQuery& query() const { return query_; }

 protected:
  // `nicknameStrip`: the strip shows the nickname alone instead of the full name.
  AnalysisReportWindow(const QString& layoutFile, const QString& tabLayoutName, Endpoint endpoint,
                       bool nicknameStrip, const NameRecord& record, QWidget* parent);

  // The "windowinit" work: database and web view, prepareReport(), the strip
  // (or none), the request, and the early load of the template the answer is
  // shown in.
  void startReport(const char* firstTemplate);
  // Clicks on the strip's options and paging buttons; true when handled.
  bool handleStripClick(const QString& sender);

  // Report-specific preparation once the knowledge database is open, before
  // the strip is filled and the request starts.
  virtual void prepareReport() {}
  // The analysis of the current name has arrived (status 0).
  virtual void onAnalysisShown() = 0;

  void onReportResult(ServiceStatus status) final;
  void onNewNamePage() final;

 private:
  // Shared with the running request, which keeps it alive when the window
  // goes first.
  std::shared_ptr<AnalysisQuery> sharedQuery_;

 protected:
  AnalysisQuery& query_;  // the shared query, read after 1032
  NameRecord current_;

 private:
  void startAnalysis();
  void fillStrip();
  void selectName(int index);

  NamePageSource* source_ = nullptr;
  bool nicknameStrip_;
  bool restartWanted_ = false;  // another name was chosen while the request ran
};

}  // namespace norvane::reports
