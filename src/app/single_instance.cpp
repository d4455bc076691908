#include "app/single_instance.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QThread>

namespace keyloft::app {
namespace {

constexpr int kAnswerMs = 3000;  // a copy that is starting up may not listen yet

// What later starts told this copy: QT_LOGGING_RULES="keyloft.instance.info=true".
Q_LOGGING_CATEGORY(lcInstance, "keyloft.instance", QtWarningMsg)

}  // namespace

SingleInstance::SingleInstance(std::filesystem::path folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine()) return;
        const QByteArray line = socket->readLine().trimmed();
        socket->disconnectFromServer();
        qCInfo(lcInstance) << "told" << line;
        if (line == kOpenMessage) emit openRequested();
        if (line == kKillMessage) emit killRequested();
      });
    }
  });
}

SingleInstance::~SingleInstance() { server_.close(); }

QString SingleInstance::socketPath() const { return QString::fromStdString((folder_ / "keyloft.socket").string()); }

SingleInstance::Role SingleInstance::claim(const QString& message) {
  if (folder_.empty()) {
    error_ = "no private runtime folder (XDG_RUNTIME_DIR is unset and the settings folder cannot be made)";
    return Role::NoFolder;
  }
  lock_ = std::make_unique<QLockFile>(QString::fromStdString((folder_ / "keyloft.lock").string()));
  // Never stale by age: only a lock whose process is gone is taken over.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0)) {
    // The socket of a copy that crashed is in the way of listening: it goes.
    QLocalServer::removeServer(socketPath());
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath())) {
      error_ = "cannot listen on " + socketPath() + ": " + server_.errorString();
      // Still the running copy; a later start will find it unreachable and say so.
    }
    return Role::First;
  }
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < kAnswerMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (socket.waitForConnected(500)) {
      socket.write(message.toUtf8() + "\n");
      if (socket.waitForBytesWritten(1000)) {
        socket.waitForDisconnected(1000);
        return Role::Told;
      }
    }
    QThread::msleep(100);
  }
  qint64 pid = 0;
  QString host, application;
  lock_->getLockInfo(&pid, &host, &application);
  error_ = QString("another copy (process %1) runs but does not answer on %2").arg(pid).arg(socketPath());
  return Role::Unreachable;
}

}  // namespace keyloft::app
