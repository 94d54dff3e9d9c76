#include "ui/result_list.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QStackedWidget>

#include <cstdint>
#include <system_error>

#include "platform/debug_trace.h"
#include "shell/message_box.h"
#include "toolkit/window.h"
#include "toolkit/window_registry.h"
#include "ui/favorites_view.h"
#include "ui/row_factory.h"
#include "ui/source_cell.h"

namespace norvane::ui {

const ResultListControls kNameListControls{"listName", "tabQuming", "btnPrePageQuming", "btnNextPageQuming",
                                           "PageQuming", "viewPageSelect", "btnReturnQuming", 1030, false};
const ResultListControls kNicknameListControls{
    "listName4", "tabQuxiaoming", "btnPrePageQuxiaoming", "btnNextPageQuxiaoming", "PageQuxiaoming",
    "viewPageSelectXiaoming", "btnReturnQuxiaoming", 1035, true};

namespace {
const char kRecordIndex[] = "recordIndex";
}

ResultList::ResultList(toolkit::Window& window, PageQuery& query, const ResultListControls& controls,
                       RowFactory& rows, FavoritesView& favorites)
    : window_(window), query_(query), controls_(controls), rows_(rows), favorites_(favorites) {}

ResultList::~ResultList() { waitForSearch(); }

QListWidget* ResultList::list() const { return window_.control<QListWidget>(QString::fromLatin1(controls_.list)); }

QAbstractButton* ResultList::button(const char* name) const {
  return window_.control<QAbstractButton>(QString::fromLatin1(name));
}

QAbstractButton* ResultList::option(int position) const {
  return window_.control<QAbstractButton>(QStringLiteral("%1-%2").arg(QLatin1String(controls_.optionPrefix)).arg(position));
}

void ResultList::showStep(int step) {
  if (auto* steps = window_.control<QStackedWidget>(QString::fromLatin1(controls_.steps))) steps->setCurrentIndex(step);
}

bool ResultList::startSearch() {
  waitForSearch();  // never two workers on one query
  showStep(1);
  toolkit::Window* window = &window_;
  PageQuery* query = &query_;
  const unsigned message = controls_.resultMessage;
  try {
    worker_ = std::thread([window, query, message] {
      ServiceStatus status = query->run(true);
      // Only the window ends the worker's life: it joins the thread when this
      // message arrives or when it is destroyed.
      window->post(message, static_cast<quintptr>(static_cast<std::uint32_t>(status)));
    });
  } catch (const std::system_error& error) {
    // Nothing will answer: back to the form, whose input is kept, so the
    // user can try again instead of facing a waiting page for ever.
    DebugTrace("search worker could not start: %s\n", error.what());
    showStep(0);
    return false;
  }
  return true;
}

void ResultList::waitForSearch() {
  if (worker_.joinable()) worker_.join();
}

void ResultList::searchFinished(ServiceStatus status) {
  waitForSearch();
  if (status != kStatusOk) {
    ShowMessage(statusTextKey(status), &window_, MB_ERROR_ICON);
    showStep(0);
    return;
  }
  paging_.current = 1;
  shown_ = query_.Names;
  relabel();
  freshPage_ = true;
  fill();
  const int p = pages();
  if (QWidget* bar = window_.control(QString::fromLatin1(controls_.bar))) bar->setFixedWidth(pageBarWidth(p));
  for (int k = 1; k <= 5; ++k)
    if (QAbstractButton* o = option(k)) o->setVisible(k <= visibleOptions(p));
  checkOption(1);
  if (auto* b = button(controls_.previous)) b->setEnabled(false);
  if (auto* b = button(controls_.next)) b->setEnabled(true);
  showStep(2);
}

void ResultList::relabel() {
  PageBarState state = norvane::ui::relabel(paging_, pages());
  if (auto* b = button(controls_.previous)) b->setEnabled(state.previousEnabled);
  if (auto* b = button(controls_.next)) b->setEnabled(state.nextEnabled);
  if (!state.offsetChanged) return;
  for (int k = 1; k <= 5; ++k)
    if (QAbstractButton* o = option(k)) o->setText(QString::number(state.offset + k));
  if (state.checkedOption != 0) checkOption(state.checkedOption);
}

void ResultList::checkOption(int position) {
  if (QAbstractButton* o = option(position)) o->setChecked(true);
}

void ResultList::checkShownOption() {
  const int position = paging_.current - paging_.offset;
  if (position >= 1 && position <= 5) checkOption(position);
}

bool ResultList::goToPage(int page, bool force) {
  if (!force && page == paging_.current) return false;
  toolkit::WaitCursor wait;
  const int shownPage = paging_.current;
  paging_.current = page;
  query_.Page = static_cast<unsigned>(page);
  if (query_.run(true) != kStatusOk) {
    // The rows keep showing the page they were built from; the paging says so too.
    paging_.current = shownPage;
    query_.Page = static_cast<unsigned>(shownPage);
    return false;
  }
  shown_ = query_.Names;
  freshPage_ = true;
  fill();
  return true;
}

void ResultList::stepPage(int delta, bool fromReport) {
  const int c = paging_.current;
  if (delta < 0 && c == 1) return;
  if (delta > 0 && c == pages()) return;
  if (!goToPage(c + delta, false)) return;
  relabel();
  checkShownOption();
  if (!fromReport) return;
  if (toolkit::Window* report = toolkit::WindowRegistry::findWindow(QStringLiteral("NorvaneResultWindowClass")))
    report->post(kNewPageMessage);
}

bool ResultList::handleClick(const QString& sender) {
  if (sender == QLatin1String(controls_.back)) {
    showStep(0);
    return true;
  }
  if (sender == QLatin1String(controls_.previous)) {
    stepPage(-1, false);
    return true;
  }
  if (sender == QLatin1String(controls_.next)) {
    stepPage(+1, false);
    return true;
  }
  const QString prefix = QLatin1String(controls_.optionPrefix) + QLatin1Char('-');
  if (!sender.startsWith(prefix)) return false;
  bool ok = false;
  const int k = sender.mid(prefix.size()).toInt(&ok);
  if (!ok || k < 1 || k > 5) return false;
  const int target = paging_.offset + k;
  if (target == paging_.current) {
    checkShownOption();
    return true;
  }
  if (goToPage(target, false)) {
    relabel();
    checkShownOption();
  } else {
    checkShownOption();  // the option of the page still shown
  }
  return true;
}

bool ResultList::canGoPrevious() const {
  auto* b = button(controls_.previous);
  return b != nullptr && b->isEnabled();
}

bool ResultList::canGoNext() const {
  auto* b = button(controls_.next);
  return b != nullptr && b->isEnabled();
}

void ResultList::previousPage() { stepPage(-1, true); }
void ResultList::nextPage() { stepPage(+1, true); }

const NameRecord* ResultList::recordOfRow(const QWidget* button) const {
  QListWidget* view = list();
  if (view == nullptr) return nullptr;
  for (const QWidget* w = button; w != nullptr; w = w->parentWidget()) {
    QVariant index = w->property(kRecordIndex);
    if (!index.isValid()) continue;
    // Rows taken out of the list linger until deleted; only a row the list
    // still shows belongs to the page shown.
    bool listed = false;
    for (int row = 0; row < view->count() && !listed; ++row) listed = view->itemWidget(view->item(row)) == w;
    if (!listed) return nullptr;
    const int i = index.toInt();
    if (i < 0 || static_cast<std::size_t>(i) >= shown_.size()) return nullptr;
    return &shown_[static_cast<std::size_t>(i)];
  }
  return nullptr;
}

void ResultList::setFavoriteMark(const NameRecord& record, bool on) {
  QListWidget* view = list();
  if (view == nullptr) return;
  for (int row = 0; row < view->count(); ++row) {
    QWidget* w = view->itemWidget(view->item(row));
    if (w == nullptr) continue;
    const int i = w->property(kRecordIndex).toInt();
    if (i < 0 || static_cast<std::size_t>(i) >= shown_.size() || !sameRecord(shown_[static_cast<std::size_t>(i)], record))
      continue;
    if (auto* heart = w->findChild<QAbstractButton*>(QStringLiteral("ShouCang"))) heart->setChecked(on);
  }
}

void ResultList::fill() {
  QListWidget* view = list();
  if (view == nullptr) return;
  view->setUpdatesEnabled(false);
  // Rows are kept from page to page and given the new page's names: a page
  // from the cache then shows within one frame.
  while (view->count() > static_cast<int>(shown_.size())) delete view->takeItem(view->count() - 1);
  while (view->count() < static_cast<int>(shown_.size())) {
    QWidget* row = rows_.build();
    if (row == nullptr) break;
    for (auto* b : row->findChildren<QAbstractButton*>()) {
      QObject::connect(b, &QAbstractButton::clicked, &window_, [this, b] {
        if (onRowButton) onRowButton(b);
      });
    }
    if (auto* b = row->findChild<QAbstractButton*>(QStringLiteral("FengXi"))) b->setVisible(!controls_.nicknames);
    if (auto* b = row->findChild<QAbstractButton*>(QStringLiteral("XiaomingFengXi"))) b->setVisible(controls_.nicknames);
    auto* item = new QListWidgetItem(view);
    item->setSizeHint(QSize(row->sizeHint().width(), 32));
    view->setItemWidget(item, row);
  }
  const int first = (paging_.current - 1) * paging_.pageSize;
  for (int i = 0; i < view->count(); ++i) {
    const NameRecord& record = shown_[static_cast<std::size_t>(i)];
    QListWidgetItem* item = view->item(i);
    QWidget* row = view->itemWidget(item);
    const QString name = controls_.nicknames ? QString::fromStdString(record.Ming)
                                             : QString::fromStdString(record.Xing + record.Ming);
    const QString cells[] = {QString::number(first + i + 1), name, scoreText(record),
                             percentText(record.WuXing), percentText(record.ShengXiao), percentText(record.JiXiong)};
    const char* names[] = {"BianHao", "XinMing", "BingFeng", "WuXing", "ShengXiao", "JiXiong"};
    QStringList spoken;
    for (int c = 0; c < 6; ++c) {
      if (auto* label = row->findChild<QLabel*>(QString::fromLatin1(names[c]))) {
        label->setTextFormat(Qt::PlainText);
        label->setText(cells[c]);
      }
      spoken << cells[c];
    }
    if (auto* heart = row->findChild<QAbstractButton*>(QStringLiteral("ShouCang")))
      heart->setChecked(favorites_.contains(record));
    row->setProperty(kRecordIndex, i);
    RowFactory::nameButtons(row, name);
    row->setAccessibleName(spoken.join(QLatin1Char(' ')));
    item->setData(Qt::AccessibleTextRole, row->accessibleName());
    showSource(row, record);
    item->setData(Qt::AccessibleDescriptionRole, row->accessibleDescription());
  }
  // The keyboard's row stays where it was (a report opened from it has
  // closed); a fresh page starts at its first row.
  if (view->count() > 0 && (freshPage_ || view->currentRow() < 0 || view->currentRow() >= view->count()))
    view->setCurrentRow(0);
  freshPage_ = false;
  if (view->currentRow() > 0)
    view->scrollToItem(view->currentItem());
  else
    view->scrollToTop();
  view->setUpdatesEnabled(true);
}

}  // namespace norvane::ui
