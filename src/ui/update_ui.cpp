#include "ui/update_ui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <QUrl>

#include <atomic>

#include "shell/message_box.h"
#include "shell/text_table.h"

namespace norvane::ui {

WindowUpdateUi& WindowUpdateUi::instance() {
  static WindowUpdateUi* ui = new WindowUpdateUi();  // see the header: never destroyed
  return *ui;
}

WindowUpdateUi::WindowUpdateUi() : context_(new QObject()) {}

bool WindowUpdateUi::onWindowThread() const { return QThread::currentThread() == context_->thread(); }

void WindowUpdateUi::setOwner(QWidget* owner) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    owner_ = owner;
  }
  if (owner == nullptr) tray_.reset();
  changed_.notify_all();  // a worker waiting for a message gives up
}

bool WindowUpdateUi::ownerAlive() {
  std::lock_guard<std::mutex> lock(mutex_);
  return owner_ != nullptr;
}

bool WindowUpdateUi::runOnWindowThread(std::function<void()> work) {
  if (onWindowThread()) {
    work();
    return true;
  }
  struct Pending {
    bool done = false;
  };
  auto pending = std::make_shared<Pending>();
  QMetaObject::invokeMethod(
      context_,
      [this, pending, work = std::move(work)] {
        work();
        {
          std::lock_guard<std::mutex> lock(mutex_);
          pending->done = true;
        }
        changed_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return pending->done || owner_ == nullptr; });
  return pending->done;
}

int WindowUpdateUi::showMessage(const std::string& key, int flags, bool owned) {
  if (!ownerAlive()) return 0;
  // Shared with the queued work: the worker may stop waiting before it ran.
  auto answer = std::make_shared<std::atomic<int>>(0);
  runOnWindowThread([this, answer, key, flags, owned] {
    QWidget* owner = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (owner_ == nullptr) return;
      owner = owned ? owner_ : nullptr;
    }
    *answer = ShowMessage(key, owner, flags);
  });
  return answer->load();
}

std::string WindowUpdateUi::text(const std::string& key) { return GetText(key); }

void WindowUpdateUi::showDownloadBalloon(const std::string& title, const std::string& text) {
  runOnWindowThread([this, title, text] {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    if (!tray_) tray_ = std::make_unique<QSystemTrayIcon>(QApplication::windowIcon());
    tray_->show();
    tray_->showMessage(QString::fromStdString(title), QString::fromStdString(text), QSystemTrayIcon::Information, 1000);
  });
}

void WindowUpdateUi::removeTrayIcon() {
  runOnWindowThread([this] { tray_.reset(); });
}

void WindowUpdateUi::openFile(const std::string& path) {
  runOnWindowThread([path] {
    const QString file = QString::fromStdString(path);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file))) QProcess::startDetached(QStringLiteral("xdg-open"), {file});
  });
}

}  // namespace norvane::ui
