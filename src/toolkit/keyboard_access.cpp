#include "toolkit/keyboard_access.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>

#include <algorithm>

namespace norvane::toolkit {
namespace {

bool isExclusiveOption(const QAbstractButton* b) { return b->isCheckable() && b->autoExclusive(); }

// The options of the bar that holds `option`, in layout order.
QList<QAbstractButton*> barOptions(const QAbstractButton* option) {
  QList<QAbstractButton*> options;
  QWidget* bar = option->parentWidget();
  if (bar == nullptr) return options;
  for (QObject* child : bar->children()) {
    auto* b = qobject_cast<QAbstractButton*>(child);
    if (b != nullptr && isExclusiveOption(b)) options << b;
  }
  return options;
}

// Only the checked option of a bar (or its first shown one, when none is
// checked) is a stop of the Tab chain.
void updateBarStop(const QAbstractButton* anyOption) {
  const QList<QAbstractButton*> options = barOptions(anyOption);
  QAbstractButton* stop = nullptr;
  for (QAbstractButton* b : options)
    if (b->isChecked()) stop = b;
  if (stop == nullptr) {
    for (QAbstractButton* b : options) {
      if (!b->isHidden()) {
        stop = b;
        break;
      }
    }
  }
  for (QAbstractButton* b : options) {
    const Qt::FocusPolicy policy = b == stop ? Qt::TabFocus : Qt::NoFocus;
    // A bar whose options take the focus by mouse keeps that; others never do.
    const bool byMouse = (b->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus;
    b->setFocusPolicy(byMouse && b == stop ? Qt::StrongFocus : byMouse ? Qt::ClickFocus : policy);
  }
}

// Arrow keys in a bar whose container says "arrowsMoveOnly": the focus moves
// to the neighbouring option without choosing it (choosing one is costly,
// a report's name strip runs an analysis); Space or Enter chooses.
class ArrowsMoveOnly : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    int step = 0;
    if (key->key() == Qt::Key_Left || key->key() == Qt::Key_Up) step = -1;
    if (key->key() == Qt::Key_Right || key->key() == Qt::Key_Down) step = +1;
    auto* option = qobject_cast<QAbstractButton*>(watched);
    if (step == 0 || option == nullptr || key->modifiers() != Qt::NoModifier) return false;
    QList<QAbstractButton*> shown;
    for (QAbstractButton* b : barOptions(option))
      if (b->isVisible() && b->isEnabled()) shown << b;
    std::stable_sort(shown.begin(), shown.end(), [](QAbstractButton* a, QAbstractButton* b) {
      return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();  // reading order
    });
    const qsizetype at = shown.indexOf(option) + step;
    if (at >= 0 && at < shown.size()) shown[at]->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    return true;
  }
};

QWidget* firstStopIn(QWidget* page) {
  if (page == nullptr) return nullptr;
  QWidget* w = page;
  while ((w = w->nextInFocusChain()) != page) {
    if (!page->isAncestorOf(w)) continue;
    if ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || w->focusProxy() != nullptr) continue;
    if (w->isVisibleTo(page) && w->isEnabled()) return w;
  }
  return nullptr;
}

QWidget* namedControl(QWidget* within, const QVariant& name) {
  if (!name.isValid() || name.toString().isEmpty()) return nullptr;
  QWidget* w = within->findChild<QWidget*>(name.toString());
  return w != nullptr && w->isVisibleTo(within->window()) && w->isEnabled() ? w : nullptr;
}

void focusPageOf(QStackedWidget* stack) {
  QWidget* page = stack->currentWidget();
  if (page == nullptr || !stack->isVisible()) return;
  QWidget* focused = stack->window()->focusWidget();
  // Focus outside the stack (a tab bar, another pane) stays where it is.
  if (focused != nullptr && focused != stack && !stack->isAncestorOf(focused) && focused->isVisible()) return;
  QWidget* target = namedControl(page, page->property("initialFocus"));
  if (target == nullptr && focused != nullptr && page->isAncestorOf(focused) && focused != page) return;
  if (target == nullptr) target = firstStopIn(page);
  if (target != nullptr) target->setFocus(Qt::OtherFocusReason);
}

}  // namespace

void prepareKeyboardAccess(QWidget* root) {
  for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
    if (b->focusPolicy() == Qt::NoFocus) b->setFocusPolicy(Qt::TabFocus);
    if (auto* push = qobject_cast<QPushButton*>(b)) push->setAutoDefault(true);
  }
  auto* arrowsMoveOnly = new ArrowsMoveOnly(root);
  for (QAbstractButton* b : root->findChildren<QAbstractButton*>()) {
    if (!isExclusiveOption(b)) continue;
    if (b->parentWidget()->property("arrowsMoveOnly").toBool()) b->installEventFilter(arrowsMoveOnly);
    updateBarStop(b);
    QObject::connect(b, &QAbstractButton::toggled, b, [b](bool on) {
      if (on) updateBarStop(b);
    });
  }
  QList<QStackedWidget*> stacks = root->findChildren<QStackedWidget*>();
  if (auto* self = qobject_cast<QStackedWidget*>(root)) stacks.prepend(self);
  for (QStackedWidget* stack : stacks) {
    QObject::connect(stack, &QStackedWidget::currentChanged, stack, [stack] { focusPageOf(stack); });
  }
}

void focusInitialControl(QWidget* root) {
  if (root == nullptr) return;
  QWidget* target = namedControl(root, root->property("initialFocus"));
  if (target == nullptr) target = firstStopIn(root);
  if (target != nullptr) target->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace norvane::toolkit
