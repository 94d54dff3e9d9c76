#include "reports/nickname_report_window.h"

#include <QLabel>

#include "reports/page_data.h"

namespace norvane::reports {

CXiaomingResultWnd::CXiaomingResultWnd(const NameRecord& record, QWidget* parent)
    : AnalysisReportWindow(QStringLiteral("xiaomingResult.xml"), QStringLiteral("tabMain"),
                           Endpoint::NicknameAnalysis, true, record, parent) {}

void CXiaomingResultWnd::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    startReport("xiaoming.html");
  } else if (type == QLatin1String("click")) {
    if (sender == QLatin1String("btnClose")) {
      requestClose();  // at once: a running request finishes on its own
    } else {
      handleStripClick(sender);
    }
  }
}

void CXiaomingResultWnd::onAnalysisShown() {
  if (auto* title = control<QLabel>(QStringLiteral("Title"))) {
    title->setTextFormat(Qt::PlainText);
    title->setText(QStringLiteral("小名分析报告 · ") + QString::fromStdString(current_.Ming));
  }
  showTemplate("xiaoming.html");
  showContentView();
}

void CXiaomingResultWnd::onTemplateLoaded(const QString&) {
  host().sendData(buildNicknamePageData(query_.Data, knowledgeDb()));
}

}  // namespace norvane::reports
