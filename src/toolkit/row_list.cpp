#include "toolkit/row_list.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

#include <algorithm>

namespace norvane::toolkit {

RowList::RowList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setTabKeyNavigation(false);
}

QWidget* RowList::rowWidget(int row) const {
  QListWidgetItem* it = item(row);
  return it != nullptr ? itemWidget(it) : nullptr;
}

int RowList::rowOf(const QWidget* w) const {
  for (; w != nullptr && w != this; w = w->parentWidget()) {
    if (w->parentWidget() != viewport()) continue;
    for (int row = 0; row < count(); ++row)
      if (itemWidget(item(row)) == w) return row;
    return -1;
  }
  return -1;
}

QList<QAbstractButton*> RowList::rowButtons(const QWidget* rowWidget) {
  QList<QAbstractButton*> buttons;
  if (rowWidget == nullptr) return buttons;
  for (QAbstractButton* b : rowWidget->findChildren<QAbstractButton*>())
    if (b->isVisibleTo(rowWidget) && b->isEnabled()) buttons << b;
  std::stable_sort(buttons.begin(), buttons.end(), [rowWidget](QAbstractButton* a, QAbstractButton* b) {
    return a->mapTo(rowWidget, QPoint(0, 0)).x() < b->mapTo(rowWidget, QPoint(0, 0)).x();
  });
  return buttons;
}

bool RowList::clickInCurrentRow(bool checkable) {
  for (QAbstractButton* b : rowButtons(rowWidget(currentRow()))) {
    if (b->isCheckable() == checkable) {
      b->click();
      return true;
    }
  }
  return false;
}

bool RowList::leaveList(bool next) {
  // The window's chain continues from the list itself, wherever in the
  // chain the rows' buttons were put when they were made.
  setFocus(Qt::OtherFocusReason);
  return QListWidget::focusNextPrevChild(next);
}

bool RowList::focusNextPrevChild(bool next) {
  QWidget* focused = QApplication::focusWidget();
  if (focused == this) {
    if (!next) return QListWidget::focusNextPrevChild(false);
    const QList<QAbstractButton*> buttons = rowButtons(rowWidget(currentRow()));
    if (buttons.isEmpty()) return QListWidget::focusNextPrevChild(true);
    buttons.first()->setFocus(Qt::TabFocusReason);
    return true;
  }
  const int row = rowOf(focused);
  if (row < 0) return QListWidget::focusNextPrevChild(next);
  const QList<QAbstractButton*> buttons = rowButtons(rowWidget(row));
  const int at = static_cast<int>(buttons.indexOf(qobject_cast<QAbstractButton*>(focused)));
  if (next && at >= 0 && at + 1 < buttons.size()) {
    buttons[at + 1]->setFocus(Qt::TabFocusReason);
    return true;
  }
  if (!next && at > 0) {
    buttons[at - 1]->setFocus(Qt::BacktabFocusReason);
    return true;
  }
  if (!next) {
    setCurrentRow(row);
    setFocus(Qt::BacktabFocusReason);
    return true;
  }
  return leaveList(true);
}

void RowList::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    switch (event->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (clickInCurrentRow(false)) return event->accept();
        break;
      case Qt::Key_Space:
        if (clickInCurrentRow(true)) return event->accept();
        break;
      default:
        break;
    }
  }
  QListWidget::keyPressEvent(event);
}

void RowList::focusInEvent(QFocusEvent* event) {
  // The focus always shows on a row: the first one when none was current.
  if (currentRow() < 0 && count() > 0) setCurrentRow(0);
  QListWidget::focusInEvent(event);
}

}  // namespace norvane::toolkit
