#include "ui/favorites_view.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QPersistentModelIndex>
#include <QScrollBar>

#include "data/favorites_store.h"
#include "platform/debug_trace.h"
#include "shell/text_table.h"
#include "toolkit/window.h"
#include "ui/row_factory.h"
#include "ui/source_cell.h"

namespace norvane::ui {
namespace {
const char kStoredRecord[] = "storedRecord";
const int kCellsRole = Qt::UserRole + 1;
const int kChosenRole = Qt::UserRole + 2;  // the row's check box is ticked (kept while the row has no widget)
// Rows get their widgets when they come into view; these first ones at once.
const int kEagerRows = 40;
}

QString scoreText(const NameRecord& record) { return QString::asprintf("%0.2f", static_cast<double>(record.FengShu)); }
QString percentText(int value) { return QString::asprintf("%d%%", value); }

QString favoriteNameText(const NameRecord& record) {
  if (record.IsXiaoming) return QString::fromStdString(record.Ming) + QString::fromStdString(GetText("XiaomingNote"));
  return QString::fromStdString(record.Xing + record.Ming);
}

FavoritesView::FavoritesView(toolkit::Window& window, FavoritesStore& store, std::string databasePath, RowFactory& rows)
    : window_(window), store_(store), path_(std::move(databasePath)), rows_(rows) {}

void FavoritesView::watchScrolling() {
  QListWidget* view = list();
  if (view == nullptr || watching_) return;
  watching_ = true;
  QScrollBar* bar = view->verticalScrollBar();
  QObject::connect(bar, &QScrollBar::valueChanged, &window_, [this] { buildVisibleRows(); });
  QObject::connect(bar, &QScrollBar::rangeChanged, &window_, [this] { buildVisibleRows(); });
}

QListWidget* FavoritesView::list() const { return window_.control<QListWidget>(QStringLiteral("listFavorite")); }

void FavoritesView::fill() {
  QListWidget* view = list();
  if (view == nullptr) return;
  watchScrolling();
  view->setUpdatesEnabled(false);
  view->clear();
  int number = 1;
  for (const NameRecord& record : store_.records()) appendRow(&record, number++);
  view->setUpdatesEnabled(true);
}

bool FavoritesView::contains(const NameRecord& record) const { return store_.contains(record); }

void FavoritesView::add(const NameRecord& record) {
  const NameRecord* stored = store_.add(record);
  if (QListWidget* view = list()) appendRow(stored, view->count() + 1);
  persist();
}

void FavoritesView::removeEqual(const NameRecord& record) {
  const NameRecord copy = record;  // `record` may be one of the stored copies
  if (QListWidget* view = list()) {
    for (int row = view->count() - 1; row >= 0; --row) {
      QListWidgetItem* item = view->item(row);
      auto* stored = reinterpret_cast<const NameRecord*>(item->data(Qt::UserRole).value<quintptr>());
      if (stored != nullptr && sameRecord(*stored, copy)) delete view->takeItem(row);
    }
  }
  while (store_.remove(copy)) {
  }
  persist();
}

int FavoritesView::rowOf(const QWidget* button) const {
  QListWidget* view = list();
  if (view == nullptr) return -1;
  for (const QWidget* w = button; w != nullptr; w = w->parentWidget()) {
    if (!w->property(kStoredRecord).isValid()) continue;
    for (int row = 0; row < view->count(); ++row)
      if (view->itemWidget(view->item(row)) == w) return row;
    return -1;
  }
  return -1;
}

const NameRecord* FavoritesView::recordOfRow(const QWidget* button) const {
  int row = rowOf(button);
  if (row < 0) return nullptr;
  return reinterpret_cast<const NameRecord*>(list()->item(row)->data(Qt::UserRole).value<quintptr>());
}

void FavoritesView::removeRowOf(const QWidget* button) {
  // Equal copies go together, so no row is left pointing at a removed copy;
  // the remaining rows keep their numbers.
  if (const NameRecord* stored = recordOfRow(button)) removeEqual(*stored);
}

std::vector<NameRecord> FavoritesView::chosenRecords() const {
  std::vector<NameRecord> chosen;
  QListWidget* view = list();
  if (view == nullptr) return chosen;
  for (int row = 0; row < view->count(); ++row) {
    QListWidgetItem* item = view->item(row);
    if (!item->data(kChosenRole).toBool()) continue;
    if (auto* stored = reinterpret_cast<const NameRecord*>(item->data(Qt::UserRole).value<quintptr>())) chosen.push_back(*stored);
  }
  return chosen;
}

bool FavoritesView::persist() {
  if (store_.save(path_)) return true;
  DebugTrace("favourites: could not write %s; kept in memory until the next save\n", path_.c_str());
  return false;
}

void FavoritesView::appendRow(const NameRecord* stored, int number) {
  QListWidget* view = list();
  if (view == nullptr) return;
  const QString cells[] = {QString::number(number), favoriteNameText(*stored), scoreText(*stored),
                           percentText(stored->WuXing), percentText(stored->ShengXiao), percentText(stored->JiXiong)};
  QStringList spoken(std::begin(cells), std::end(cells));
  auto* item = new QListWidgetItem(view);
  item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(stored)));
  item->setData(kCellsRole, spoken);
  item->setData(Qt::AccessibleTextRole, spoken.join(QLatin1Char(' ')));
  item->setData(Qt::AccessibleDescriptionRole, sourceDescription(*stored));
  item->setSizeHint(QSize(600, 32));
  if (view->count() <= kEagerRows) buildRowWidget(item);
}

void FavoritesView::buildRowWidget(QListWidgetItem* item) {
  QListWidget* view = list();
  if (view == nullptr || view->itemWidget(item) != nullptr) return;
  QWidget* row = rows_.build();
  if (row == nullptr) return;
  const QStringList cells = item->data(kCellsRole).toStringList();
  const char* names[] = {"BianHao", "XinMing", "BingFeng", "WuXing", "ShengXiao", "JiXiong"};
  for (int i = 0; i < 6 && i < cells.size(); ++i) {
    if (auto* label = row->findChild<QLabel*>(QString::fromLatin1(names[i]))) {
      label->setTextFormat(Qt::PlainText);
      label->setText(cells[i]);
    }
  }
  row->setProperty(kStoredRecord, item->data(Qt::UserRole));
  if (cells.size() > 1) RowFactory::nameButtons(row, cells[1]);
  row->setAccessibleName(item->data(Qt::AccessibleTextRole).toString());
  if (auto* stored = reinterpret_cast<const NameRecord*>(item->data(Qt::UserRole).value<quintptr>()))
    showSource(row, *stored);
  if (auto* choose = row->findChild<QAbstractButton*>(QStringLiteral("XuanZe"))) {
    choose->setChecked(item->data(kChosenRole).toBool());
    if (cells.size() > 1) choose->setAccessibleName(QStringLiteral("选择%1对比").arg(cells[1]));
    // The choice is kept by the row's model index, which forgets a removed row.
    QPersistentModelIndex index(view->model()->index(view->row(item), 0));
    QAbstractItemModel* model = view->model();
    QObject::connect(choose, &QAbstractButton::toggled, choose, [model, index](bool on) {
      if (index.isValid()) model->setData(index, on, kChosenRole);
    });
  }
  for (auto* button : row->findChildren<QAbstractButton*>()) {
    QObject::connect(button, &QAbstractButton::clicked, &window_, [this, button] {
      if (onRowButton) onRowButton(button);
    });
  }
  view->setItemWidget(item, row);
}

void FavoritesView::buildVisibleRows() {
  QListWidget* view = list();
  if (view == nullptr || view->count() == 0) return;
  QModelIndex top = view->indexAt(QPoint(1, 1));
  const int first = top.isValid() ? top.row() : 0;
  const int shown = view->viewport()->height() / 32 + 2;
  for (int row = first; row < view->count() && row < first + shown; ++row) buildRowWidget(view->item(row));
}

}  // namespace norvane::ui
