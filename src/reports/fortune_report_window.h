#pragma once
// The fortune of a name (surname and given name, no birth data) on one page,
// "yuns.html".
#include <memory>
#include <string>

#include "reports/report_window.h"
#include "service/analysis_query.h"

namespace norvane::reports {

class CYunsiResultWnd : public ReportWindow {
  Q_OBJECT
 public:
  explicit CYunsiResultWnd(QWidget* parent = nullptr);
  ~CYunsiResultWnd() override;

  // Set before the window is created.
  void setName(const std::string& surname, const std::string& givenName) {
    surname_ = surname;
    givenName_ = givenName;
  }
  const LuckQuery& query() const { return query_; }

 protected:
  void notify(const QString& type, const QString& sender) override;
  void onReportResult(ServiceStatus status) override;
  void onTemplateLoaded(const QString& url) override;

 private:
  std::string surname_;
  std::string givenName_;
  // Shared with the running request, which keeps it alive when the window
  // goes first.
  std::shared_ptr<LuckQuery> sharedQuery_;
  LuckQuery& query_;  // the shared query, read after 1032
};

}  // namespace norvane::reports
