#pragma once
// The paging of one result list: which page is shown and how the five page
// buttons under the list are numbered. Button k (1 … 5) shows page offset + k.
namespace norvane::ui {

struct Paging {
  int current = 1;    // page shown, from 1
  int pageSize = 10;  // names per page
  int offset = 0;     // first number of the page buttons minus one
};

// Pages for `total` names: total / pageSize rounded up (0 for no names).
int pageCount(int total, int pageSize);

// What relabelling the page buttons decides for the current page.
struct PageBarState {
  bool previousEnabled = false;
  bool nextEnabled = false;
  bool offsetChanged = false;  // the five buttons get new numbers
  int offset = 0;              // the offset after relabelling
  int checkedOption = 0;       // 1 … 5: the option to check after a relabel, 0 when none shows the page
};

// Applies the relabelling rules to `paging` (its offset may move) for a list
// of `pages` pages and reports what the bar must show.
//   previous: enabled on every page but the first;
//   next: enabled on the first page, else on every page but the last;
//   offset: 0 on the first page; on the last page max(pages - 5, 0); when the
//   fifth button was used it moves on by up to three, when the first was used
//   it moves back by up to two; otherwise it stays.
PageBarState relabel(Paging& paging, int pages);

// The bar of page buttons: how many of the five are shown and its width
// (270 pixels for five, 26 less for each hidden button).
int visibleOptions(int pages);
int pageBarWidth(int pages);

}  // namespace norvane::ui
