#include "reports/fortune_report_window.h"

#include <QLabel>

#include "reports/page_data.h"
#include "shell/message_box.h"

namespace norvane::reports {

CYunsiResultWnd::CYunsiResultWnd(QWidget* parent)
    : ReportWindow(QStringLiteral("yunsiResult.xml"), QStringLiteral("tabMain"), parent),
      sharedQuery_(std::make_shared<LuckQuery>()),
      query_(*sharedQuery_) {}

// A request still running keeps the shared query alive (ReportWindow).
CYunsiResultWnd::~CYunsiResultWnd() = default;

void CYunsiResultWnd::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initReport(false);
    if (auto* title = control<QLabel>(QStringLiteral("Title"))) {
      title->setTextFormat(Qt::PlainText);
      title->setText(QStringLiteral("姓名运势 · ") + QString::fromStdString(surname_ + givenName_));
    }
    startWorker([query = sharedQuery_, surname = surname_, givenName = givenName_] {
      return query->run(surname, givenName);
    });
    loadTemplateEarly("yuns.html");
  } else if (type == QLatin1String("click") && sender == QLatin1String("btnClose")) {
    requestClose();  // at once: a running request finishes on its own
  }
}

void CYunsiResultWnd::onReportResult(ServiceStatus status) {
  if (status != kStatusOk) {
    ShowMessage("FenxiFail", this, MB_ERROR_ICON);
    requestClose();
    return;
  }
  showTemplate("yuns.html");
  showContentView();
}

void CYunsiResultWnd::onTemplateLoaded(const QString&) {
  host().sendData(buildFortunePageData(query_, knowledgeDb()));
}

}  // namespace norvane::reports
