// The report module: the report windows and the browser engine's web view,
// loaded into the program when the first report or web view is wanted (see
// report_launcher.h). Loading it installs the web view maker of the layouts
// and registers the module's report launcher.
#include <QCoreApplication>
#include <QTimer>

#include "reports/compare_result_window.h"
#include "reports/comparison_data.h"
#include "reports/fortune_report_window.h"
#include "reports/name_report_window.h"
#include "reports/nickname_report_window.h"
#include "reports/page_data.h"
#include "reports/report_host.h"
#include "reports/report_launcher.h"
#include "reports/report_page_policy.h"
#include "reports/warm_view.h"
#include "shell/message_box.h"
#include "toolkit/web_engine_view.h"

namespace norvane::reports {
namespace {

class ModuleLauncher : public ReportLauncher {
 public:
  // Each window is modal, owned by `owner` and centred on it by showModal; it
  // deletes itself once it has closed (after its worker has ended), so nothing
  // here touches it after the modal loop.
  void openNameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) override {
    auto* window = new CQuMingResultWnd(record);
    window->setNamePage(page);
    window->setDeleteOnClose(true);
    window->showModal(owner);
  }

  void openNicknameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) override {
    auto* window = new CXiaomingResultWnd(record);
    window->setNamePage(page);
    window->setDeleteOnClose(true);
    window->showModal(owner);
  }

  void openFortuneReport(QWidget* owner, const std::string& surname, const std::string& givenName) override {
    auto* window = new CYunsiResultWnd();
    window->setName(surname, givenName);
    window->setDeleteOnClose(true);
    window->showModal(owner);
  }

  void openComparison(QWidget* owner, const std::vector<NameRecord>& records) override {
    if (records.size() < kMinCompared || records.size() > kMaxCompared) {
      ShowMessage("CompareChooseCount", owner, MB_INFORMATION_ICON);
      return;
    }
    for (const NameRecord& r : records) {
      if (r.IsXiaoming) {
        // A nickname's analysis has none of the scores, talents and grids compared here.
        ShowMessage("CompareNickname", owner, MB_INFORMATION_ICON);
        return;
      }
    }
    auto* window = new CCompareResultWnd(records);
    window->setDeleteOnClose(true);
    window->showModal(owner);
  }

  // A first report pays for the engine's start: its context and profile, the
  // renderer process, the template's files, the first painting of a web
  // view. The warm view (warm_view.h) pays for all of it ahead, and the first
  // name report takes it. It is made on the next turn of the event loop, so
  // the module's loading and the view's making are two short pauses rather
  // than one long one.
  void warmUp() override {
    if (warmUpStarted_ || QCoreApplication::instance() == nullptr) return;
    warmUpStarted_ = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] { WarmView::prepare(QString::fromLatin1(namePageTemplate(0))); });
  }

 private:
  bool warmUpStarted_ = false;
};

ModuleLauncher& launcher() {
  static ModuleLauncher instance;
  return instance;
}

// Runs as the module is loaded (or, linked into a test, as the test starts).
const bool kInstalled = [] {
  toolkit::setWebViewMaker([](QWidget* parent) -> toolkit::WebView* { return new toolkit::WebEngineWebView(parent); });
  registerReportLauncher(&launcher());
  return true;
}();

}  // namespace
}  // namespace norvane::reports
