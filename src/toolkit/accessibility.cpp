#include "toolkit/accessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QWindow>

#include <vector>

#include <mutex>

#include "toolkit/row_list.h"
#include "toolkit/window.h"

namespace norvane::toolkit {
namespace {

// A caption made only of symbols ("×", "—", "≡", "♥") names nothing.
bool isSymbolCaption(const QString& text) {
  for (QChar c : text)
    if (c.isLetterOrNumber()) return false;
  return true;
}

QString strippedCaption(QString text) {
  // "&" marks a mnemonic in a caption; "&&" is a literal ampersand.
  text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
  return text;
}

// The text of a label that names `w` (a buddy label of the same window).
QString buddyText(const QWidget* w) {
  const QWidget* window = w->window();
  for (const QLabel* label : window->findChildren<QLabel*>())
    if (label->buddy() == w) return strippedCaption(label->text());
  return QString();
}

bool isExclusiveOption(const QAbstractButton* b) { return b->isCheckable() && b->autoExclusive(); }

class ButtonAccessible : public QAccessibleWidget {
 public:
  explicit ButtonAccessible(QAbstractButton* b) : QAccessibleWidget(b, QAccessible::Button) {}

  // Asked each time: a button may be put into its bar after it was made.
  QAccessible::Role role() const override { return roleOf(button()); }

  static QAccessible::Role roleOf(const QAbstractButton* b) {
    if (qobject_cast<const QCheckBox*>(b) != nullptr) return QAccessible::CheckBox;
    if (qobject_cast<const QRadioButton*>(b) != nullptr) return QAccessible::RadioButton;
    if (isExclusiveOption(b)) {
      const QWidget* bar = b->parentWidget();
      return bar != nullptr && bar->property("tabBar").toBool() ? QAccessible::PageTab : QAccessible::RadioButton;
    }
    if (b->isCheckable()) return QAccessible::CheckBox;
    return QAccessible::Button;
  }

  QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      if (!button()->accessibleName().isEmpty()) return button()->accessibleName();
      const QString caption = strippedCaption(button()->text());
      if (!caption.isEmpty() && !isSymbolCaption(caption)) return caption;
      if (!button()->toolTip().isEmpty()) return button()->toolTip();
      return caption;
    }
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (button()->isCheckable()) {
      s.checkable = true;
      s.checked = button()->isChecked();
    }
    if (button()->isDown()) s.pressed = true;
    return s;
  }

  QStringList actionNames() const override {
    QStringList names;
    if (button()->isEnabled()) names << (button()->isCheckable() ? toggleAction() : pressAction());
    return names + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& action) override {
    if (!button()->isEnabled()) return;
    if (action == pressAction() || action == toggleAction()) {
      // A click, as the mouse makes it, once the caller has its answer: the
      // click may open a modal window, which must not hold the caller's call.
      QPointer<QAbstractButton> target(button());
      QMetaObject::invokeMethod(
          button(), [target] {
            if (target && target->isEnabled()) target->click();
          },
          Qt::QueuedConnection);
      return;
    }
    QAccessibleWidget::doAction(action);
  }

  QStringList keyBindingsForAction(const QString& action) const override {
    if (action == pressAction() || action == toggleAction()) return {QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(action);
  }
};

class ComboAccessible : public QAccessibleWidget {
 public:
  explicit ComboAccessible(QComboBox* c) : QAccessibleWidget(c, QAccessible::ComboBox) {}
  QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name: {
        if (!combo()->accessibleName().isEmpty()) return combo()->accessibleName();
        const QString buddy = buddyText(combo());
        return buddy.isEmpty() ? combo()->placeholderText() : buddy;
      }
      case QAccessible::Value:
        return combo()->isEditable() ? combo()->lineEdit()->text() : combo()->currentText();
      case QAccessible::Description:
        // What a screen reader says after the label: the choice made.
        if (combo()->accessibleDescription().isEmpty()) return text(QAccessible::Value);
        return combo()->accessibleDescription();
      default:
        return QAccessibleWidget::text(t);
    }
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = combo()->view() != nullptr && combo()->view()->isVisible();
    s.collapsed = !s.expanded;
    s.editable = combo()->isEditable();
    return s;
  }

  // The popup's list, with the items to choose from.
  int childCount() const override { return combo()->view() != nullptr ? 1 : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index != 0 || combo()->view() == nullptr) return nullptr;
    return QAccessible::queryAccessibleInterface(combo()->view());
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && combo()->view() != nullptr && child->object() == combo()->view() ? 0 : -1;
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& action) override {
    if (action == showMenuAction() || action == pressAction()) {
      QPointer<QComboBox> target(combo());
      QMetaObject::invokeMethod(
          combo(), [target] {
            if (target && target->isEnabled()) target->showPopup();
          },
          Qt::QueuedConnection);
      return;
    }
    QAccessibleWidget::doAction(action);
  }
};

// A row of a RowList: a list item with the row's controls as its children.
class RowAccessible : public QAccessibleWidget {
 public:
  RowAccessible(QWidget* row, RowList* list) : QAccessibleWidget(row, QAccessible::ListItem), list_(list) {}

  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && !widget()->accessibleName().isEmpty()) return widget()->accessibleName();
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.selectable = true;
    s.focusable = true;
    if (list_ != nullptr) {
      const int row = list_->rowOf(widget());
      QListWidgetItem* item = list_->item(row);
      s.selected = item != nullptr && item->isSelected();
      s.active = row == list_->currentRow();
      s.focused = s.active && list_->hasFocus();
    }
    return s;
  }

 private:
  QPointer<RowList> list_;
};

// A row without a widget yet (a long list builds them as they scroll into
// view): its text, and no controls.
class PlainRowAccessible : public QAccessibleInterface {
 public:
  PlainRowAccessible(RowList* list, const QModelIndex& index) : list_(list), index_(index) {}
  bool isValid() const override { return list_ != nullptr && index_.isValid(); }
  int row() const { return index_.isValid() ? index_.row() : -1; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ != nullptr ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (!isValid() || t != QAccessible::Name) return QString();
    const QString spoken = index_.data(Qt::AccessibleTextRole).toString();
    return spoken.isEmpty() ? index_.data(Qt::DisplayRole).toString() : spoken;
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return QRect();
    const QRect r = list_->visualRect(index_);
    return QRect(list_->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    if (isValid()) {
      s.selected = list_->selectionModel()->isSelected(index_);
      s.active = list_->currentIndex() == QModelIndex(index_);
      s.focused = s.active && list_->hasFocus();
    }
    return s;
  }

 private:
  QPointer<RowList> list_;
  QPersistentModelIndex index_;
};

class RowListAccessible : public QAccessibleWidget {
 public:
  explicit RowListAccessible(RowList* list) : QAccessibleWidget(list, QAccessible::List) {}
  ~RowListAccessible() override {
    for (QAccessible::Id id : plainRows_) QAccessible::deleteAccessibleInterface(id);
  }
  RowList* list() const { return static_cast<RowList*>(widget()); }

  int childCount() const override { return list()->count(); }
  QAccessibleInterface* child(int index) const override {
    QListWidgetItem* item = list()->item(index);
    if (item == nullptr) return nullptr;
    if (QWidget* row = list()->itemWidget(item)) return rowInterface(row);
    return plainRow(index);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    if (QWidget* row = qobject_cast<QWidget*>(child->object())) {
      const int at = list()->rowOf(row);
      return list()->rowWidget(at) == row ? at : -1;
    }
    for (QAccessible::Id id : plainRows_)
      if (QAccessible::accessibleInterface(id) == child) return static_cast<const PlainRowAccessible*>(child)->row();
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    if (!list()->hasFocus() || list()->currentRow() < 0) return nullptr;
    return child(list()->currentRow());
  }

 private:
  // The row's interface. A row widget made before it was put into the list
  // may have been given a plain widget's interface (while an assistive tool
  // was already active); that one gives way to the row's.
  QAccessibleInterface* rowInterface(QWidget* row) const {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(row);
    if (iface != nullptr && dynamic_cast<RowAccessible*>(iface) == nullptr) {
      QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
      iface = QAccessible::queryAccessibleInterface(row);
    }
    return iface;
  }

  // One interface per widgetless row while the row lasts; those of removed
  // rows are let go when the next one is made.
  QAccessibleInterface* plainRow(int index) const {
    std::vector<QAccessible::Id> kept;
    QAccessibleInterface* found = nullptr;
    for (QAccessible::Id id : plainRows_) {
      auto* known = static_cast<PlainRowAccessible*>(QAccessible::accessibleInterface(id));
      if (known == nullptr) continue;
      if (!known->isValid()) {
        QAccessible::deleteAccessibleInterface(id);
        continue;
      }
      if (known->row() == index) found = known;
      kept.push_back(id);
    }
    plainRows_ = std::move(kept);
    if (found != nullptr) return found;
    auto* plain = new PlainRowAccessible(list(), list()->model()->index(index, 0));
    plainRows_.push_back(QAccessible::registerAccessibleInterface(plain));
    return plain;
  }

  mutable std::vector<QAccessible::Id> plainRows_;
};

class WindowAccessible : public QAccessibleWidget {
 public:
  explicit WindowAccessible(Window* w) : QAccessibleWidget(w, QAccessible::Window) {}
  // An owned or modal window is a dialog (the dialogs, the message box, the reports).
  QAccessible::Role role() const override {
    return widget()->parentWidget() != nullptr || widget()->windowModality() != Qt::NonModal ? QAccessible::Dialog
                                                                                             : QAccessible::Window;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      auto* window = static_cast<Window*>(widget());
      for (const char* name : {"caption", "Title"}) {
        if (auto* label = window->control<QLabel>(QString::fromLatin1(name))) {
          if (!label->text().isEmpty()) return label->text();
        }
      }
    }
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* toolkitInterface(const QString&, QObject* object) {
  if (object == nullptr || !object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  if (auto* window = qobject_cast<Window*>(widget)) return new WindowAccessible(window);
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return new ButtonAccessible(button);
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return new ComboAccessible(combo);
  if (auto* list = qobject_cast<RowList*>(widget)) return new RowListAccessible(list);
  if (QWidget* viewport = widget->parentWidget()) {
    if (auto* list = qobject_cast<RowList*>(viewport->parentWidget())) {
      if (viewport == list->viewport()) return new RowAccessible(widget, list);
    }
  }
  return nullptr;
}

}  // namespace

void installAccessibleControls() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(&toolkitInterface); });
}

}  // namespace norvane::toolkit
