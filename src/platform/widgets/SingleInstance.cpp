#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtEndian>

namespace {

// A connection that has not finished its records within this time is dropped.
constexpr int kReadTimeoutMs = 10000;

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder;
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& name, const QString& folder, QObject* parent)
    : QObject(parent), FFolder(folder.isEmpty() ? RuntimeFolder() : folder), FName(name) {
  QDir().mkpath(FFolder);
}

TSingleInstance::~TSingleInstance() {
  if (FServer) FServer->close();
}

QString TSingleInstance::LockPath() const {
  return QDir(FFolder).filePath(FName + ".lock");
}

QString TSingleInstance::ServerPath() const {
  return QDir(FFolder).filePath(FName + ".socket");
}

bool TSingleInstance::TryLock() {
  if (IsLocked()) return true;
  FHeldByOther = false;
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
