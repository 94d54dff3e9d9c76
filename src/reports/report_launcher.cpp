#include "reports/report_launcher.h"

#include "reports/fortune_report_window.h"
#include "reports/name_report_window.h"
#include "reports/nickname_report_window.h"

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

}  // namespace norvane::reports
