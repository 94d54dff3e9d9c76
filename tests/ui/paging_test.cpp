// The numbering rules of the five page buttons under a result list.
#include "ui/paging.h"

#include <gtest/gtest.h>

namespace norvane::ui {
namespace {

TEST(PagingTest, PageCountRoundsUpAndBarShrinksForFewPages) {
  struct Case {
    int total, pages, options, width;
  } cases[] = {{0, 0, 0, 140}, {1, 1, 1, 166}, {10, 1, 1, 166}, {23, 3, 3, 218}, {40, 4, 4, 244}, {50, 5, 5, 270},
               {100, 10, 5, 270}};
  for (const Case& c : cases) {
    EXPECT_EQ(pageCount(c.total, 10), c.pages) << c.total;
    EXPECT_EQ(visibleOptions(c.pages), c.options) << c.total;
    EXPECT_EQ(pageBarWidth(c.pages), c.width) << c.total;
  }
}

// A walk through a list: each step moves to a page (as a click would) and
// relabels; the bar must then show the expected numbers and enabled buttons.
TEST(PagingTest, WalksThroughTenAndThreePages) {
  struct Step {
    int page;
    int offset;  // buttons show offset + 1 … offset + 5
    int checked;
    bool previous, next;
  };
  struct Walk {
    int pages;
    std::vector<Step> steps;
  } walks[] = {
      // Ten pages: option 5 on page 1 moves the buttons on by three, option 1
      // there moves them back by two, the last page shows 6 … 10.
      {10, {{5, 3, 2, true, true}, {4, 1, 3, true, true}, {6, 4, 2, true, true}, {10, 5, 5, true, false},
            {9, 5, 4, true, true}, {1, 0, 1, false, true}}},
      // Three pages: the buttons keep 1 … 3 wherever the list goes.
      {3, {{2, 0, 2, true, true}, {3, 0, 3, true, false}, {2, 0, 2, true, true}, {1, 0, 1, false, true}}},
      // One page: next stays enabled on the first page (a click there does nothing).
      {1, {{1, 0, 1, false, true}}},
  };
  for (const Walk& walk : walks) {
    Paging paging;
    for (const Step& step : walk.steps) {
      paging.current = step.page;
      PageBarState state = relabel(paging, walk.pages);
      SCOPED_TRACE(testing::Message() << walk.pages << " pages, page " << step.page);
      EXPECT_EQ(paging.offset, step.offset);
      EXPECT_EQ(state.offset, step.offset);
      EXPECT_EQ(state.checkedOption, step.checked);
      EXPECT_EQ(state.previousEnabled, step.previous);
      EXPECT_EQ(state.nextEnabled, step.next);
    }
  }
}

TEST(PagingTest, MiddleButtonsKeepTheNumbers) {
  Paging paging;
  paging.offset = 2;  // buttons 3 … 7 of ten pages
  for (int page : {4, 5, 6}) {
    paging.current = page;
    PageBarState state = relabel(paging, 10);
    EXPECT_FALSE(state.offsetChanged) << page;
    EXPECT_EQ(paging.offset, 2) << page;
  }
}

}  // namespace
}  // namespace norvane::ui
