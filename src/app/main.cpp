// The program's entry: the entry routine with the main window.
#include "app/application.h"
#include "reports/report_launcher.h"
#include "ui/main_frame.h"

int main(int argc, char** argv) {
  // Windows with a web view (the login browser) load the report module, which
  // brings the browser engine, when they are first built.
  norvane::reports::loadReportModuleForWebViews();
  return norvane::RunApplication(argc, argv, [] { return new norvane::CMainFrame(); });
}
