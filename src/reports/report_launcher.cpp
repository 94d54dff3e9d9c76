#include "reports/report_launcher.h"

#include "reports/compare_result_window.h"
#include "reports/fortune_report_window.h"
#include "reports/name_report_window.h"
#include "reports/nickname_report_window.h"
#include "shell/message_box.h"

namespace norvane::reports {

// Each window is modal, owned by `owner` and centred on it by showModal; it
// deletes itself once it has closed (after its worker has ended), so nothing
// here touches it after the modal loop.

void openNameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) {
  auto* window = new CQuMingResultWnd(record);
  window->setNamePage(page);
  window->setDeleteOnClose(true);
  window->showModal(owner);
}

void openNicknameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) {
  auto* window = new CXiaomingResultWnd(record);
  window->setNamePage(page);
  window->setDeleteOnClose(true);
  window->showModal(owner);
}

void openFortuneReport(QWidget* owner, const std::string& surname, const std::string& givenName) {
  auto* window = new CYunsiResultWnd();
  window->setName(surname, givenName);
  window->setDeleteOnClose(true);
  window->showModal(owner);
}

void openComparison(QWidget* owner, const std::vector<NameRecord>& records) {
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

}  // namespace norvane::reports
