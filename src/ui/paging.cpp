#include "ui/paging.h"

#include <algorithm>

namespace norvane::ui {

int pageCount(int total, int pageSize) {
  if (total <= 0 || pageSize <= 0) return 0;
  return (total + pageSize - 1) / pageSize;
}

PageBarState relabel(Paging& paging, int pages) {
  PageBarState state;
  const int c = paging.current;
  const int o = paging.offset;
  state.previousEnabled = c != 1;
  state.nextEnabled = c == 1 ? true : c != pages;
  state.offset = o;

  int n = o;
  if (c == 1) {
    n = 0;
  } else if (c == pages) {
    n = std::max(pages - 5, 0);
  } else if (c - o == 5) {
    n = std::max(std::min(pages - 5, o + 3), 0);
  } else if (c - o == 1) {
    n = std::max(o - 2, 0);
  }
  if (n != o) {
    paging.offset = n;
    state.offset = n;
    state.offsetChanged = true;
  }
  const int option = c - paging.offset;
  state.checkedOption = option >= 1 && option <= 5 ? option : 0;
  return state;
}

int visibleOptions(int pages) { return std::clamp(pages, 0, 5); }

int pageBarWidth(int pages) {
  if (pages >= 5) return 270;
  return 270 - 26 * (5 - std::max(pages, 0));
}

}  // namespace norvane::ui
