#pragma once
// One result list of a generation page ("listName" for formal names,
// "listName4" for nicknames): the search on a worker thread, the page shown,
// the page bar, and the paging the report windows use.
//
// The list shows a copy of the page it was filled from. A page change that
// fails leaves that page, its rows and the page bar as they were, so no row
// ever refers to a record the failed run discarded.
#include <QString>

#include <functional>
#include <thread>
#include <vector>

#include "reports/report_launcher.h"
#include "service/name_query.h"
#include "ui/paging.h"

class QAbstractButton;
class QListWidget;
class QWidget;

namespace norvane::toolkit {
class Window;
}

namespace norvane::ui {

class FavoritesView;
class RowFactory;

struct ResultListControls {
  const char* list;          // "listName"
  const char* steps;         // "tabQuming": 0 form, 1 waiting, 2 list
  const char* previous;      // "btnPrePageQuming"
  const char* next;          // "btnNextPageQuming"
  const char* optionPrefix;  // "PageQuming" ("-1" … "-5")
  const char* bar;           // "viewPageSelect"
  const char* back;          // "btnReturnQuming"
  unsigned resultMessage;    // 1030: the search worker's status
  bool nicknames;
};

extern const ResultListControls kNameListControls;
extern const ResultListControls kNicknameListControls;

// The window of class "NorvaneResultWindowClass" hears of a new page by this message.
constexpr unsigned kNewPageMessage = 1033;

class ResultList : public reports::NamePageSource {
 public:
  ResultList(toolkit::Window& window, PageQuery& query, const ResultListControls& controls, RowFactory& rows,
             FavoritesView& favorites);
  ~ResultList() override;
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;

  // Shows the waiting step and runs the query (page 1) on a worker thread,
  // which posts the result message with the status. False when the worker
  // could not start (the page then shows the form again).
  bool startSearch();
  bool searching() const { return worker_.joinable(); }
  // The result message: joins the worker, then shows the error and the form,
  // or the first page of the list.
  void searchFinished(ServiceStatus status);
  // Waits for a running search (the window's end).
  void waitForSearch();

  // Clicks on the page bar and the return button; true when `sender` was one of them.
  bool handleClick(const QString& sender);
  // Loads `page` on the window thread under the wait cursor; false when it
  // is the page shown (and not forced) or the run failed.
  bool goToPage(int page, bool force);
  // Checks page option `position` (1 … 5).
  void checkOption(int position);
  // Checks the option of the page shown.
  void checkShownOption();

  // The record of the row that holds `button`, or nullptr.
  const NameRecord* recordOfRow(const QWidget* button) const;
  // Sets the favourite mark of every row whose record equals `record`.
  void setFavoriteMark(const NameRecord& record, bool on);
  // Rebuilds the rows from the page shown.
  void fill();

  const Paging& paging() const { return paging_; }
  int pages() const { return pageCount(query_.Total, paging_.pageSize); }
  PageQuery& query() { return query_; }
  bool nicknames() const { return controls_.nicknames; }

  // NamePageSource, for the report windows.
  const std::vector<NameRecord>& currentNames() const override { return shown_; }
  bool canGoPrevious() const override;
  bool canGoNext() const override;
  void previousPage() override;
  void nextPage() override;

  // Receives the clicks of the rows' buttons.
  std::function<void(QAbstractButton*)> onRowButton;

 private:
  void relabel();
  void showStep(int step);
  void stepPage(int delta, bool fromReport);
  QListWidget* list() const;
  QAbstractButton* button(const char* name) const;
  QAbstractButton* option(int position) const;

  toolkit::Window& window_;
  PageQuery& query_;
  const ResultListControls& controls_;
  RowFactory& rows_;
  FavoritesView& favorites_;
  Paging paging_;
  std::vector<NameRecord> shown_;  // the records of the rows shown
  bool freshPage_ = false;         // the next fill shows a page not shown before
  std::thread worker_;
};

}  // namespace norvane::ui
