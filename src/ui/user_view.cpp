#include "ui/user_view.h"

#include "account/account_store.h"
#include "account/new_reg_dlg.h"
#include "account/nickname_markup.h"
#include "account/query_account.h"
#include "account/revalidation.h"
#include "platform/worker_thread.h"
#include "shell/message_box.h"
#include "shell/settings.h"
#include "shell/text_table.h"
#include "toolkit/message_channel.h"
#include "toolkit/skin_archive.h"
#include "toolkit/window.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>

#include <algorithm>
#include <map>
#include <memory>
#include <system_error>

namespace norvane {
namespace {

// The start-up re-validation's answers to the window thread: 1038 (wParam 1)
// when the stored token was confirmed, this message otherwise (wParam 1 when
// the service gave another token, 0 when it did not answer).
constexpr unsigned kUserViewMessage = 1038;
constexpr unsigned kRevalidationMessage = 1039;

const QString kNicknameLabel = QStringLiteral("userNicknameText");

// A skin image as a data address rich text can show ("" gives the
// transparent pixel the gaps are drawn with).
std::string skinImageSource(const std::string& name) {
  QByteArray bytes;
  if (name.empty()) {
    QImage pixel(1, 1, QImage::Format_ARGB32);
    pixel.fill(Qt::transparent);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    pixel.save(&buffer, "PNG");
  } else {
    bool ok = false;
    bytes = toolkit::SkinArchive::instance().file(QString::fromStdString(name), &ok);
    if (!ok) return std::string();
  }
  return "data:image/png;base64," + bytes.toBase64().toStdString();
}

}  // namespace

struct UserView::Worker {
  WorkerThread thread;
  StoredLogin checked;
};

UserView::UserView(toolkit::Window& mainWindow, std::vector<PageQuery*> accountInputs)
    : window_(mainWindow), accountInputs_(std::move(accountInputs)) {}

UserView::~UserView() { stop(); }

void UserView::initialize() {
  const AccountStore& store = accountStore();
  if (store.hasToken()) {
    showLoggedIn();
  } else {
    showLoggedOut();
  }
  if (store.account().empty() || worker_) return;

  worker_ = std::make_unique<Worker>();
  worker_->checked = storedLoginOf(store, oemSettings().partnerId);
  setNicknameEnabled(false);
  StoredLogin checked = worker_->checked;
  // The worker only asks and posts; the store and the window change on the
  // window thread when its message arrives. Nobody waits for it: a window
  // closed meanwhile goes at once, and the answer then reaches nobody.
  try {
    worker_->thread.start([channel = window_.messageChannel(), checked] {
      RevalidationOutcome outcome = revalidateStoredLogin(checked);
      if (outcome == RevalidationOutcome::Confirmed) {
        channel->post(kUserViewMessage, 1);
      } else {
        channel->post(kRevalidationMessage, outcome == RevalidationOutcome::TokenChanged ? 1 : 0);
      }
    });
  } catch (const std::system_error&) {
    // No check this time: the stored login stays as it is, as when the
    // service does not answer.
    worker_.reset();
    setNicknameEnabled(true);
  }
}

bool UserView::handleClick(const QString& sender) {
  if (sender != QLatin1String("btnLogin")) return false;
  login();
  return true;
}

void UserView::login() {
  LoginDialogResult result;
  {
    CNewRegDlg dialog;
    dialog.showModal(&window_);
    result = dialog.loginResult();
  }
  if (result.token.empty()) return;
  accountStore().save(result.account, result.nickname, result.token, result.loginType);
  showLoggedIn();
  ShowMessage("LoginSuccess", &window_, MB_INFORMATION_ICON);
}

void UserView::logout() {
  AccountStore& store = accountStore();
  if (!store.hasToken()) return;
  store.clear();
  showLoggedOut();
}

bool UserView::handleMessage(unsigned number, quintptr wParam) {
  if (number == kUserViewMessage) {
    finishWorker();
    if (wParam == 1 && accountStore().hasToken()) {
      showLoggedIn();
    } else {
      showLoggedOut();
    }
    return true;
  }
  if (number == kRevalidationMessage) {
    StoredLogin checked;
    if (worker_) checked = worker_->checked;
    finishWorker();
    if (wParam == 1 &&
        applyRevalidation(RevalidationOutcome::TokenChanged, checked, accountStore(), userStore()))
      showLoggedOut();
    return true;
  }
  return false;
}

void UserView::stop() {
  if (worker_) worker_->thread.release();
}

void UserView::finishWorker() {
  if (worker_) worker_->thread.join();  // posting was its last action
  worker_.reset();
  setNicknameEnabled(true);
}

void UserView::copyAccountToInputs(bool loggedIn) {
  for (PageQuery* input : accountInputs_) {
    if (loggedIn) {
      applyAccount(*input, accountStore());
    } else {
      input->Account.clear();
      input->Token.clear();
    }
  }
}

void UserView::setNicknameEnabled(bool enabled) {
  if (auto* nickname = window_.control(QStringLiteral("userNickname"))) nickname->setEnabled(enabled);
}

QLabel* UserView::nicknameLabel() {
  auto* button = window_.control<QAbstractButton>(QStringLiteral("userNickname"));
  if (button == nullptr) return nullptr;
  auto* label = button->findChild<QLabel*>(kNicknameLabel, Qt::FindDirectChildrenOnly);
  if (label == nullptr) {
    // The button shows rich text through a label laid over it; clicks still
    // reach the button.
    label = new QLabel(button);
    label->setObjectName(kNicknameLabel);
    label->setTextFormat(Qt::RichText);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setAlignment(Qt::AlignCenter);
    auto* layout = new QHBoxLayout(button);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
  }
  return label;
}

void UserView::showLoggedIn() {
  const AccountStore& store = accountStore();
  const QString nickname = QString::fromStdString(store.nickname());
  auto* button = window_.control<QAbstractButton>(QStringLiteral("userNickname"));
  if (button != nullptr) {
    button->setText(QString());
    button->setAccessibleName(nickname);
    // A tooltip that looks like markup is drawn as markup: the nickname (the
    // WeChat or QQ page's text) goes in as escaped rich text, shown as typed.
    button->setToolTip(nickname.isEmpty() ? QString() : Qt::convertFromPlainText(nickname, Qt::WhiteSpaceNormal));
  }
  QLabel* label = nicknameLabel();
  if (label != nullptr && button != nullptr) {
    // Shown in the button's own font and text colour: the window's style
    // sheet styles the button by its name, which does not reach the label.
    button->ensurePolished();
    const QFont font = button->font();
    const QString size = font.pixelSize() > 0 ? QStringLiteral("%1px").arg(font.pixelSize())
                                              : QStringLiteral("%1pt").arg(font.pointSizeF());
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; font-size: %2; background: transparent; }")
                             .arg(button->palette().color(QPalette::ButtonText).name(QColor::HexArgb), size));
  }
  if (label != nullptr) {
    label->setText(QString::fromStdString(
        nicknameRichText(GetText("userNickname"), store.loginType(), store.nickname(), skinImageSource)));
  }
  if (QWidget* view = window_.control(QStringLiteral("nicknameView"))) {
    // The nickname's width in the font it is shown with, and room for the
    // icon; the button's own frame (border, padding) comes on top.
    QFontMetrics metrics(label != nullptr ? label->font() : window_.font());
    int width = nickname.isEmpty() ? 100 : metrics.horizontalAdvance(nickname) + 26;
    int frame = 0;
    if (button != nullptr) {
      QStyleOptionButton option;
      option.initFrom(button);
      frame = button->style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(0, 0), button).width();
      button->setMinimumWidth(width + frame);
    }
    view->setFixedWidth(width + frame);
    if (auto* tabs = window_.control<QStackedWidget>(QStringLiteral("tabUser"))) {
      // The user area grows for a long nickname; the layout's own widths
      // come back with the login button (showLoggedOut).
      if (!skinWidths_) skinWidths_ = std::make_pair(tabs->minimumWidth(), tabs->maximumWidth());
      tabs->setMinimumWidth(std::max(skinWidths_->first, width + frame));
      tabs->setMaximumWidth(std::max(skinWidths_->second, width + frame));
    }
  }
  if (auto* tabs = window_.control<QStackedWidget>(QStringLiteral("tabUser"))) tabs->setCurrentIndex(1);
  copyAccountToInputs(true);
}

void UserView::showLoggedOut() {
  if (auto* button = window_.control<QAbstractButton>(QStringLiteral("userNickname"))) {
    button->setText(QString());
    button->setAccessibleName(QString());
    button->setToolTip(QString());
  }
  if (QLabel* label = nicknameLabel()) label->clear();
  if (auto* tabs = window_.control<QStackedWidget>(QStringLiteral("tabUser"))) {
    if (skinWidths_) {
      tabs->setMinimumWidth(skinWidths_->first);
      tabs->setMaximumWidth(skinWidths_->second);
    }
    tabs->setCurrentIndex(0);
  }
  copyAccountToInputs(false);
}

}  // namespace norvane
