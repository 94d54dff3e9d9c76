#include "reports/report_launcher.h"

// Placeholder until the report windows exist: nothing is opened.
namespace norvane::reports {

void openNameReport(QWidget*, const NameRecord&, NamePageSource*) {}
void openNicknameReport(QWidget*, const NameRecord&, NamePageSource*) {}
void openFortuneReport(QWidget*, const std::string&, const std::string&) {}

}  // namespace norvane::reports
