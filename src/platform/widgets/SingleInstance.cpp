#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A connection that has not finished its records within this time is dropped.
constexpr int kReadTimeoutMs = 10000;

// Why `folder` is not a folder only this user can reach; empty when it is one.
QString NotPrivate(const QByteArray& folder) {
  struct stat status;
  if (::lstat(folder.constData(), &status) != 0)
    return QString::fromLocal8Bit(std::strerror(errno));
  if (S_ISLNK(status.st_mode)) return QStringLiteral("it is a link");
  if (!S_ISDIR(status.st_mode)) return QStringLiteral("it is not a folder");
  if (status.st_uid != ::getuid())
    return QStringLiteral("it belongs to another user (uid %1)").arg(status.st_uid);
  if ((status.st_mode & 07777) != 0700)
    return QStringLiteral("its mode is %1, not 0700")
        .arg(status.st_mode & 07777, 4, 8, QChar(u'0'));
  return QString();
}

// $XDG_RUNTIME_DIR when it is private, else "melotag-<uid>" below the temporary folder, made
// when missing; none (with the reason in `problem`) when what stands there is not private.
QString RuntimeFolder(QString& problem) {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (runtime.startsWith('/') && NotPrivate(runtime).isEmpty()) return QFile::decodeName(runtime);
  const QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/melotag-" +
                            QByteArray::number(qulonglong(::getuid()));
  // A folder made here is ours (in a sticky folder nobody else can swap it); the umask may have
  // taken bits of its mode.
  if (::mkdir(folder.constData(), 0700) == 0) ::chmod(folder.constData(), 0700);
  if (const QString reason = NotPrivate(folder); !reason.isEmpty()) {
    problem = QFile::decodeName(folder) + " is not a private folder of this user: " + reason;
    return QString();
  }
  return QFile::decodeName(folder);
}

// The process at the other end of a connected local socket runs as this user.
bool IsOwnUser(const QLocalSocket& socket) {
  ucred peer = {};
  socklen_t size = sizeof peer;
  const qintptr fd = socket.socketDescriptor();
  return fd >= 0 && ::getsockopt(int(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
         size == sizeof peer && peer.uid == ::getuid();
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent), FName(name) {
  if (folder.isEmpty()) {
    FFolder = RuntimeFolder(FFolderProblem);
  } else {
    FFolder = folder;
    QDir().mkpath(FFolder);
  }
}

TSingleInstance::~TSingleInstance() {
  if (FServer) FServer->close();
}

QString TSingleInstance::LockPath() const {
  return FFolder.isEmpty() ? QString() : QDir(FFolder).filePath(FName + ".lock");
}

QString TSingleInstance::ServerPath() const {
  return FFolder.isEmpty() ? QString() : QDir(FFolder).filePath(FName + ".socket");
}

bool TSingleInstance::TryLock() {
  if (IsLocked()) return true;
  FHeldByOther = false;
  if (FFolder.isEmpty()) return false;
  auto lock = std::make_unique<QLockFile>(LockPath());
  lock->setStaleLockTime(0);  // stale only when its process is gone
  if (!lock->tryLock(0)) {
    if (lock->error() != QLockFile::LockFailedError) return false;
    if (!lock->removeStaleLockFile() || !lock->tryLock(0)) {
      FHeldByOther = lock->error() == QLockFile::LockFailedError;
      return false;
    }
  }
  FLock = std::move(lock);
  return true;
}

bool TSingleInstance::IsLocked() const {
  return FLock && FLock->isLocked();
}

bool TSingleInstance::Listen() {
  if (!IsLocked()) return false;
  if (FServer) return FServer->isListening();
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(ServerPath());  // left over from a process that died
  if (!FServer->listen(ServerPath())) return false;
  connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
  return true;
}

bool TSingleInstance::IsListening() const {
  return FServer && FServer->isListening();
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    if (!IsOwnUser(*socket)) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kReadTimeoutMs, socket, [socket] { socket->abort(); });
    if (socket->bytesAvailable() > 0) OnReadyRead(socket);
  }
}

void TSingleInstance::OnReadyRead(QLocalSocket* socket) {
  QByteArray stream = socket->property("stream").toByteArray() + socket->readAll();
  QList<QByteArray> texts;
  bool complete = false;
  if (!ParseRecords(stream, texts, complete)) {
    socket->abort();
    return;
  }
  if (!complete) {
    socket->setProperty("stream", stream);
    return;
  }
  socket->setProperty("stream", QVariant());
  emit HandOver(texts);
  socket->write("\1", 1);
  socket->flush();
  socket->disconnectFromServer();
}

QByteArray TSingleInstance::MakeRecord(const QByteArray& text) {
  QByteArray record(4, '\0');
  qToLittleEndian<quint32>(quint32(text.size() + 1), record.data());
  record += text;
  record += '\0';
  return record;
}

QByteArray TSingleInstance::EndRecord() {
  return QByteArray(4, '\0');
}

bool TSingleInstance::ParseRecords(const QByteArray& stream, QList<QByteArray>& texts,
                                   bool& complete) {
  texts.clear();
  complete = false;
  if (stream.size() > qsizetype(MaxStream)) return false;
  qsizetype pos = 0;
  while (stream.size() - pos >= 4) {
    const quint32 n = qFromLittleEndian<quint32>(stream.constData() + pos);
    if (n == 0) {
      complete = pos + 4 == stream.size();
      return complete;  // bytes after the end record are not a hand-over
    }
    if (n > MaxRecord) return false;
    if (stream.size() - pos - 4 < qsizetype(n)) return true;  // more to come
    const QByteArray data = stream.mid(pos + 4, n);
    if (data.back() != '\0' || data.indexOf('\0') != data.size() - 1) return false;
    texts.append(data.left(data.size() - 1));
    pos += 4 + n;
  }
  return true;  // more to come
}

bool TSingleInstance::SendHandOver(const QList<QByteArray>& texts, int timeoutMs) const {
  if (FFolder.isEmpty()) return false;
  QByteArray stream;
  for (const QByteArray& text : texts) stream += MakeRecord(text);
  stream += EndRecord();
  QDeadlineTimer deadline(timeoutMs);
  QLocalSocket socket;
  // The running instance may still be starting: try again until it listens.
  for (;;) {
    socket.connectToServer(ServerPath());
    if (socket.waitForConnected(int(qMax<qint64>(deadline.remainingTime(), 0)))) break;
    if (deadline.hasExpired()) return false;
    QThread::msleep(50);
  }
  // Only a running instance of this user hears what the user opens.
  if (!IsOwnUser(socket)) {
    socket.abort();
    return false;
  }
  socket.write(stream);
  while (socket.bytesToWrite() > 0) {
    if (deadline.hasExpired() ||
        !socket.waitForBytesWritten(int(qMax<qint64>(deadline.remainingTime(), 1))))
      return false;
  }
  while (socket.bytesAvailable() < 1) {
    if (deadline.hasExpired() ||
        !socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1))))
      return false;
  }
  return socket.read(1) == "\1";
}
