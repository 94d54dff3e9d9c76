#include "shell/message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include "shell/text_table.h"
#include "toolkit/message_presenter.h"

namespace norvane {
namespace {

int runDialog(QWidget* owner, const QString& text, const QString& caption, int flags) {
  auto* dialog = new CMessageDlg(text, caption, flags);
  QPointer<CMessageDlg> alive(dialog);
  int result = dialog->showModal(owner);
  if (alive) {
    result = alive->result();
    delete dialog;
  }
  return result;
}

int presentOnWindowThread(QWidget* owner, const QString& text, const QString& caption, int flags) {
  if (toolkit::MessagePresenter* presenter = toolkit::messagePresenter())
    return presenter->present(owner, text, caption, flags);
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    // No window system: the message still reaches the user.
    std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
    return kIdNo;
  }
  if (QThread::currentThread() == QCoreApplication::instance()->thread())
    return runDialog(owner, text, caption, flags);
  int result = kIdNo;
  QPointer<QWidget> guardedOwner(owner);
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] { result = runDialog(guardedOwner.data(), text, caption, flags); },
      Qt::BlockingQueuedConnection);
  return result;
}

}  // namespace

int ShowMessageText(const QString& text, const QString& caption, QWidget* owner, int flags) {
  return presentOnWindowThread(owner, text, caption, flags);
}

int ShowMessage(const std::string& key, QWidget* owner, int flags) {
  std::string caption, text;
  LookupText("Message", "Title", "", caption);
  LookupText("Message", key, "", text);
  return ShowMessageText(QString::fromUtf8(text), QString::fromUtf8(caption), owner, flags);
}

CMessageDlg::CMessageDlg(const QString& text, const QString& caption, int flags, QWidget* parent)
    : toolkit::Window(QStringLiteral("NorvaneDialogClass"), QStringLiteral("dlg_message.xml"), parent),
      text_(text),
      caption_(caption),
      flags_(flags) {
  setResult(kIdNo);
}

QString CMessageDlg::iconFor(int flags) {
  if (flags & MB_INFORMATION_ICON) return QStringLiteral("infoLogo");
  if (flags & MB_ERROR_ICON) return QStringLiteral("errorLogo");
  if (flags & MB_WARNING_ICON) return QStringLiteral("warnLogo");
  return QStringLiteral("infoLogo");
}

void CMessageDlg::notify(const QString& type, const QString& sender) {
  if (type == QLatin1String("windowinit")) {
    initDialog();
  } else if (type == QLatin1String("click")) {
    if (sender == QLatin1String("btnClose")) {
      close(kIdNo);
    } else if (sender == QLatin1String("btnYes")) {
      close(kIdYes);
    }
  }
}

void CMessageDlg::showEvent(QShowEvent* event) {
  toolkit::Window::showEvent(event);
  if (!fitted_) {
    fitted_ = true;
    fitHeightToText();
  }
}

void CMessageDlg::fitHeightToText() {
  // The box keeps the skin's width; a text longer than the skin's height
  // holds (a service's own message can be) makes the box taller instead of
  // being cut off, up to the screen's height. The controls have their final
  // widths only once the box is being shown, before it reaches the screen.
  auto* context = control<QLabel>(QStringLiteral("context"));
  if (context == nullptr) return;
  const int missing = context->heightForWidth(context->width()) - context->height();
  if (missing <= 0) return;
  int wanted = height() + missing;
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) wanted = std::min(wanted, screen->availableGeometry().height());
  resize(width(), wanted);
  centerWindow();
}

void CMessageDlg::initDialog() {
  if (auto* label = control<QLabel>(QStringLiteral("caption"))) label->setText(caption_);
  if (auto* context = control<QLabel>(QStringLiteral("context"))) {
    context->setTextFormat(Qt::PlainText);  // the text is shown as typed, never as markup
    context->setText(text_);
  }
  if (QWidget* icon = control(iconFor(flags_))) icon->setVisible(true);

  // The bottom bar's close button (the caption bar has one of the same name).
  auto* yes = control<QAbstractButton>(QStringLiteral("btnYes"));
  QAbstractButton* bottomClose = nullptr;
  if (QWidget* bar = control(QStringLiteral("bottomBar"))) {
    bottomClose = bar->findChild<QAbstractButton*>(QStringLiteral("btnClose"));
  } else {
    QList<QAbstractButton*> closes = root()->findChildren<QAbstractButton*>(QStringLiteral("btnClose"));
    if (!closes.isEmpty()) bottomClose = closes.last();
  }
  if (yes == nullptr || bottomClose == nullptr || (flags_ & MB_YESNO_BUTTONS)) return;

  // One button: the yes button takes the close button's place at the right end.
  bottomClose->setVisible(false);
  QWidget* bar = bottomClose->parentWidget();
  auto* box = bar ? qobject_cast<QBoxLayout*>(bar->layout()) : nullptr;
  if (box != nullptr && box->indexOf(yes) >= 0 && box->indexOf(bottomClose) >= 0) {
    box->removeWidget(yes);
    box->insertWidget(box->indexOf(bottomClose) + 1, yes);
    yes->setMinimumSize(bottomClose->minimumSize());
    yes->setMaximumSize(bottomClose->maximumSize());
    box->activate();
  } else {
    yes->setGeometry(bottomClose->geometry());
  }
}

}  // namespace norvane
