#pragma once
// One window program per user: the first start holds a lock file and listens
// on a local socket; a later start finds the lock taken, asks the first one
// to bring its main window to the front, and ends.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace norvane {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // `key` tells users' (and data folders') instances apart.
  explicit SingleInstance(const QString& key, QObject* parent = nullptr);
  ~SingleInstance() override;

  // The key for the current user and data folder.
  static QString defaultKey();

  // Becomes the first instance: true when this process now holds the lock
  // and listens for requests.
  bool claim();

  // Asks the instance holding the lock to raise its window; true when it
  // answered within `timeoutMs`.
  bool askFirstToRaise(int timeoutMs = 3000);

  QString socketPath() const { return socketPath_; }

 signals:
  void raiseRequested();

 private:
  void onConnection();

  QString socketPath_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer server_;
};

}  // namespace norvane
