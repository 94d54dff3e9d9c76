#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

#include "platform/debug_trace.h"
#include "platform/folders.h"

namespace norvane {
namespace {

QString runtimeFolder() {
  QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) return QString::fromLocal8Bit(runtime);
  return QDir::tempPath();
}

const char kRaiseRequest[] = "raise\n";
const char kRaiseAnswer[] = "ok\n";

}  // namespace

QString SingleInstance::defaultKey() {
  QByteArray folder = QByteArray::fromStdString(locateDataFolder());
  QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Md5).toHex().left(12);
  return QStringLiteral("norvane-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
}

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), socketPath_(runtimeFolder() + QLatin1Char('/') + key + QStringLiteral(".sock")) {
  lock_ = std::make_unique<QLockFile>(runtimeFolder() + QLatin1Char('/') + key + QStringLiteral(".lock"));
  lock_->setStaleLockTime(0);  // only a dead holder makes the lock stale
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

SingleInstance::~SingleInstance() {
  server_.close();
  if (lock_->isLocked()) lock_->unlock();
}

bool SingleInstance::claim() {
  if (!lock_->tryLock(0)) return false;
  // The lock is ours, so a socket file left behind belongs to a dead instance.
  QLocalServer::removeServer(socketPath_);
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(socketPath_)) {
    DebugTrace("single instance: cannot listen on %s: %s\n", socketPath_.toUtf8().constData(),
               server_.errorString().toUtf8().constData());
  }
  return true;
}

bool SingleInstance::askFirstToRaise(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  // The first instance may still be starting: retry until it listens.
  while (clock.elapsed() < timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(200)) {
      socket.write(kRaiseRequest);
      socket.waitForBytesWritten(500);
      while (clock.elapsed() < timeoutMs && socket.state() == QLocalSocket::ConnectedState) {
        if (socket.canReadLine() || socket.waitForReadyRead(100)) {
          if (socket.readLine().startsWith("ok")) return true;
        }
      }
      return false;
    }
    QThread::msleep(100);
  }
  return false;
}

void SingleInstance::onConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      while (socket->canReadLine()) {
        QByteArray line = socket->readLine(64);
        if (line == kRaiseRequest) {
          emit raiseRequested();
          socket->write(kRaiseAnswer);
          socket->flush();
        }
      }
      if (socket->bytesAvailable() > 64) socket->abort();  // not one of ours
    });
  }
}

}  // namespace norvane
