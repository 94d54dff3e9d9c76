#include "ui/row_factory.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QVariant>
#include <QWidget>

#include "toolkit/layout_loader.h"

namespace norvane::ui {
namespace {

// The action a row button names before the row's name.
const char kButtonAction[] = "rowButtonAction";

QWidget* copyWidget(const QWidget* from, QWidget* parent);

void copyLayout(const QWidget* from, QWidget* to) {
  auto* box = qobject_cast<const QBoxLayout*>(from->layout());
  if (box == nullptr) return;
  auto* copy = new QBoxLayout(box->direction(), to);
  copy->setContentsMargins(box->contentsMargins());
  copy->setSpacing(box->spacing());
  for (int i = 0; i < box->count(); ++i) {
    QLayoutItem* item = box->itemAt(i);
    if (QWidget* child = item->widget()) {
      copy->addWidget(copyWidget(child, to), box->stretch(i), item->alignment());
    } else if (QSpacerItem* spacer = item->spacerItem()) {
      const QSizePolicy policy = spacer->sizePolicy();
      copy->addItem(new QSpacerItem(spacer->sizeHint().width(), spacer->sizeHint().height(),
                                    policy.horizontalPolicy(), policy.verticalPolicy()));
    }
  }
}

QWidget* copyWidget(const QWidget* from, QWidget* parent) {
  QWidget* to = nullptr;
  if (auto* label = qobject_cast<const QLabel*>(from)) {
    auto* copy = new QLabel(parent);
    copy->setTextFormat(label->textFormat());
    copy->setText(label->text());
    copy->setAlignment(label->alignment());
    copy->setWordWrap(label->wordWrap());
    if (!label->pixmap().isNull()) copy->setPixmap(label->pixmap());
    to = copy;
  } else if (auto* box = qobject_cast<const QCheckBox*>(from)) {
    auto* copy = new QCheckBox(parent);
    copy->setText(box->text());
    copy->setChecked(box->isChecked());
    to = copy;
  } else if (auto* button = qobject_cast<const QPushButton*>(from)) {
    auto* copy = new QPushButton(parent);
    copy->setText(button->text());
    copy->setIcon(button->icon());
    copy->setIconSize(button->iconSize());
    copy->setCheckable(button->isCheckable());
    copy->setChecked(button->isChecked());
    copy->setAutoExclusive(button->autoExclusive());
    copy->setFlat(button->isFlat());
    copy->setAutoDefault(true);
    to = copy;
  } else {
    to = new QWidget(parent);
  }
  to->setObjectName(from->objectName());
  for (const QByteArray& name : from->dynamicPropertyNames()) {
    if (!name.startsWith("_q_")) to->setProperty(name.constData(), from->property(name.constData()));
  }
  to->setMinimumSize(from->minimumSize());
  to->setMaximumSize(from->maximumSize());
  to->setSizePolicy(from->sizePolicy());
  // Row buttons are reached through their list, never by the window's Tab chain.
  to->setFocusPolicy(qobject_cast<const QAbstractButton*>(from) != nullptr ? Qt::NoFocus : from->focusPolicy());
  if (from->testAttribute(Qt::WA_SetCursor)) to->setCursor(from->cursor());
  if (!from->toolTip().isEmpty()) to->setToolTip(from->toolTip());
  if (!from->accessibleName().isEmpty()) to->setAccessibleName(from->accessibleName());
  if (auto* button = qobject_cast<const QAbstractButton*>(from))
    to->setProperty(kButtonAction, button->accessibleName().isEmpty() ? button->text() : button->accessibleName());
  if (!from->styleSheet().isEmpty()) to->setStyleSheet(from->styleSheet());
  if (from->isHidden() && from->parentWidget() != nullptr) to->setVisible(false);
  copyLayout(from, to);
  return to;
}

}  // namespace

RowFactory::RowFactory(QString templateFile) : file_(std::move(templateFile)) {}
RowFactory::~RowFactory() = default;

QWidget* RowFactory::build() {
  if (!read_) {
    read_ = true;
    prototype_.reset(toolkit::LayoutLoader::make()->loadLayout(file_, nullptr));
  }
  if (!prototype_) return nullptr;
  QWidget* row = copyWidget(prototype_.get(), nullptr);
  row->resize(prototype_->size());
  return row;
}

void RowFactory::nameButtons(QWidget* row, const QString& name) {
  if (row == nullptr) return;
  for (QAbstractButton* button : row->findChildren<QAbstractButton*>()) {
    const QString action = button->property(kButtonAction).toString();
    if (!action.isEmpty()) button->setAccessibleName(action + QLatin1Char(' ') + name);
  }
}

}  // namespace norvane::ui
