#pragma once
// The list control of the layouts (every QListWidget of a layout file): a
// list whose rows may be widgets with buttons of their own (the name lists).
//
// By keyboard the list is one stop of the Tab chain. Up, Down, Home, End and
// the page keys move the current row (which is also the selected one, so the
// row shows where the focus is). Enter clicks the current row's first plain
// button (a name's 查看), Space its first check button (a name's heart). Tab
// walks from the list into the current row's buttons, left to right, and on
// out of the list; Shift-Tab walks back the same way; Left and Right move
// between the buttons of the row. The rows' buttons never take the focus from
// a mouse click and are not stops of the window's own Tab chain, so a long
// list costs one Tab stop, not two per row.
#include <QListWidget>

class QAbstractButton;

namespace norvane::toolkit {

class RowList : public QListWidget {
  Q_OBJECT
 public:
  explicit RowList(QWidget* parent = nullptr);

  // The widget of row `row`, or nullptr (no such row, or a row without one).
  QWidget* rowWidget(int row) const;
  // The row whose widget holds `w` (the widget itself or a descendant), or -1.
  int rowOf(const QWidget* w) const;
  // The buttons of a row widget that are shown and enabled, left to right.
  static QList<QAbstractButton*> rowButtons(const QWidget* rowWidget);

 protected:
  bool focusNextPrevChild(bool next) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  // Clicks the current row's first check button (checkable) or first plain button.
  bool clickInCurrentRow(bool checkable);
  // Moves the focus out of the list to the next (or previous) stop of the window.
  bool leaveList(bool next);
};

}  // namespace norvane::toolkit
