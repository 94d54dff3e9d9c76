#pragma once
// Opening the three report windows. The main window's forms and rows call
// these; each runs its report window modally and returns when it has closed.
//
// The report windows, their web view and the browser engine live in the
// report module, a library in the program's folder that is loaded when the
// first report (or the first window with a web view, such as the login
// browser) is asked for, or when the program warms it up while idle. The
// program itself links none of the engine. The module implements
// ReportLauncher; the functions below load it and pass the call on. When the
// module is missing or cannot be loaded, they show the "WebModuleMissing"
// message (owned by `owner`) and return without a window.
#include <string>
#include <vector>

#include "service/name_query.h"

class QString;
class QWidget;

namespace norvane::reports {

// The page of suggested names a report window was opened from, and the main
// window's paging of it. The main window implements one for the formal list
// and one for the nickname list.
class NamePageSource {
 public:
  virtual ~NamePageSource() = default;

  // The records of the page the main window's list shows now. A failed page
  // change leaves the shown page, and so these records, as they were.
  virtual const std::vector<NameRecord>& currentNames() const = 0;

  // Whether the main window's previous/next buttons of that list are enabled.
  virtual bool canGoPrevious() const = 0;
  virtual bool canGoNext() const = 0;

  // Load the neighbouring page synchronously; on success the main window then
  // posts message 1033 to the window of class "NorvaneResultWindowClass".
  virtual void previousPage() = 0;
  virtual void nextPage() = 0;
};

// What the report module offers. New report kinds and report commands are
// added here (and in the module), so the ui reaches them the same way.
class ReportLauncher {
 public:
  virtual ~ReportLauncher() = default;
  virtual void openNameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) = 0;
  virtual void openNicknameReport(QWidget* owner, const NameRecord& record, NamePageSource* page) = 0;
  virtual void openFortuneReport(QWidget* owner, const std::string& surname, const std::string& givenName) = 0;
  // Two to four formal names side by side; see openComparison below.
  virtual void openComparison(QWidget* owner, const std::vector<NameRecord>& records) = 0;
  // Prepares, on the window thread, what the first report would otherwise
  // pay for (the engine, its profile, a page with the first template), so
  // that it opens as quickly as later ones. Cheap when already done.
  virtual void warmUp() = 0;
};

// Called by the module as it is loaded: the launcher it implements.
void registerReportLauncher(ReportLauncher* launcher);

// The file name of the report module in the program's folder.
extern const char kReportModuleFile[];

// The module's launcher, loading the module on first use; nullptr (after the
// message, when `owner` is given or a window is active) when it cannot be
// loaded. A failed load is not retried.
ReportLauncher* reportLauncher(QWidget* owner);

// Loads the module from `path` instead of the program's folder (tests, tools);
// true when its launcher is there.
bool loadReportModule(const QString& path, QString* error = nullptr);

// Makes the report module load itself when a layout wants a web view (the
// login browser, for example): installs the toolkit's web view loader. That
// load is quiet; a window that finds no web view says so itself.
void loadReportModuleForWebViews();

// The name analysis report (seven pages) of `record` (the window keeps its own
// copy). With `page` the window shows the bottom strip of that page's names
// and pages through it.
void openNameReport(QWidget* owner, const NameRecord& record, NamePageSource* page = nullptr);

// The nickname analysis report, likewise.
void openNicknameReport(QWidget* owner, const NameRecord& record, NamePageSource* page = nullptr);

// The fortune of a name (no birth data): surname and given name as UTF-8.
void openFortuneReport(QWidget* owner, const std::string& surname, const std::string& givenName);

// Two to four formal names side by side (the window keeps its own copies).
// Fewer or more names, or a nickname among them, get a message instead.
void openComparison(QWidget* owner, const std::vector<NameRecord>& records);

// Warms the first report up (see ReportLauncher::warmUp); loads the module
// quietly: a module that cannot be loaded shows its message only when a
// report is asked for.
void warmUpReports();

}  // namespace norvane::reports
