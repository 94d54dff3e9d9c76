#include "ui/report_warm_up.h"

#include <QApplication>
#include <QTimer>

#include "platform/debug_trace.h"
#include "reports/report_launcher.h"

namespace norvane::ui {

ReportWarmUp::ReportWarmUp(QObject* parent, std::function<void()> warm)
    : QObject(parent), warm_(warm ? std::move(warm) : std::function<void()>(reports::warmUpReports)) {}

void ReportWarmUp::pageShown() {
  if (done_ || scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(kIdleDelayMs, this, &ReportWarmUp::tryNow);
}

void ReportWarmUp::tryNow() {
  // A modal dialog, an open menu or a report (which loads the module itself)
  // means the user is busy: try again later.
  if (QApplication::activeModalWidget() != nullptr || QApplication::activePopupWidget() != nullptr) {
    QTimer::singleShot(kIdleDelayMs, this, &ReportWarmUp::tryNow);
    return;
  }
  scheduled_ = false;
  done_ = true;
  DebugTrace("reports: warming up\n");
  warm_();
}

}  // namespace norvane::ui
