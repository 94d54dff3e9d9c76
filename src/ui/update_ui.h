#pragma once
// What the manual update check shows, done by the window layer: its message
// boxes on the window thread (never from the checker's worker), the tray
// balloon where the desktop has a tray, and the installer opened with the
// desktop's file opener.
//
// One object serves the process: the checker may still be running when the
// main window goes, and then every message returns at once.
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "update/update.h"

class QSystemTrayIcon;

namespace norvane::ui {

class WindowUpdateUi : public UpdateUi {
 public:
  // The process's object (made on first use, on the window thread; it is
  // never destroyed, as the checker's worker may use it until the process ends).
  static WindowUpdateUi& instance();

  // The window that owns the messages and the tray icon; nullptr when it is gone.
  void setOwner(QWidget* owner);

  int showMessage(const std::string& key, int flags, bool owned) override;
  std::string text(const std::string& key) override;
  void showDownloadBalloon(const std::string& title, const std::string& text) override;
  void removeTrayIcon() override;
  void openFile(const std::string& path) override;
  bool ownerAlive() override;

 private:
  WindowUpdateUi();
  bool onWindowThread() const;
  // Runs `work` on the window thread; false when it cannot (no owner any more).
  bool runOnWindowThread(std::function<void()> work);

  QObject* context_;  // lives on the window thread; queued work runs through it
  std::mutex mutex_;
  std::condition_variable changed_;
  QWidget* owner_ = nullptr;  // read under mutex_ off the window thread
  std::unique_ptr<QSystemTrayIcon> tray_;
};

}  // namespace norvane::ui
