#include "ui/popup_menu.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "toolkit/keyboard_access.h"
#include "toolkit/layout_loader.h"

namespace norvane::ui {

PopupMenu::PopupMenu(const QString& layoutFile, QWidget* owner, Chosen chosen)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint), chosen_(std::move(chosen)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  QWidget* root = toolkit::LayoutLoader::make()->loadLayout(layoutFile, this);
  if (root == nullptr) return;
  valid_ = true;
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  box->addWidget(root);
  resize(root->size());
  setAccessibleName(root->accessibleName().isEmpty() ? QStringLiteral("菜单") : root->accessibleName());
  // By keyboard: the items are Tab and arrow stops, Enter chooses, Esc closes.
  toolkit::prepareKeyboardAccess(root);
  root_ = root;
  for (QAbstractButton* item : root->findChildren<QAbstractButton*>()) {
    connect(item, &QAbstractButton::clicked, this, [this, item] {
      const QString name = item->objectName();
      hide();
      if (chosen_) chosen_(name);
    });
  }
}

void PopupMenu::popupAt(const QPoint& globalPos) {
  QPoint pos = globalPos;
  if (QScreen* screen = QGuiApplication::screenAt(globalPos)) {
    QRect area = screen->availableGeometry();
    pos.setX(qMin(pos.x(), area.right() - width()));
    pos.setY(qMin(pos.y(), area.bottom() - height()));
  }
  move(pos);
  show();
  raise();
  toolkit::focusInitialControl(root_);  // the first item, for the keyboard
}

}  // namespace norvane::ui
