#pragma once
// Opening the three report windows. The main window's forms and rows call
// these; each runs its report window modally and returns when it has closed.
#include <string>
#include <vector>

#include "service/name_query.h"

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

}  // namespace norvane::reports
