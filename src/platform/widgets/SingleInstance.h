// One running instance per user. A per-user lock file stands for the running application; the
// running instance listens on a local socket beside it. A later start finds the lock taken,
// hands its command line over as zero-terminated records and waits for the reply. Both live in a
// folder only this user can reach, and both ends hear only a process of their own user.
//
// Record on the socket: a 32-bit little-endian length n (the text's bytes plus the terminating
// zero), then n bytes ending in one zero. A connection carries one or more records and ends with
// an empty record (n = 0); the running instance answers one byte when it has handled them all.
#pragma once

#include <QByteArray>
#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  // The largest record a running instance accepts.
  static constexpr quint32 MaxRecord = 4 * 1024 * 1024;
  // The most a connection may send in all.
  static constexpr quint32 MaxStream = 2 * MaxRecord;

  // `folder`: where the lock file and the socket live, as the caller chose it; empty = the
  // user's runtime folder: $XDG_RUNTIME_DIR when it is a private folder of this user (a folder,
  // not a link, owned by the user, mode 0700), else the private folder "melotag-<uid>" below the
  // temporary folder, made when missing. When something else stands under that name it is left
  // alone and no folder is used: no lock, no hand-over (the window runs alone), and
  // FolderProblem() says why.
  explicit TSingleInstance(const QString& name = QStringLiteral("Melotag"),
                           const QString& folder = QString(), QObject* parent = nullptr);
  ~TSingleInstance() override;

  // Why no folder is used ("PATH is not a private folder of this user: REASON"); empty when one is.
  QString FolderProblem() const { return FFolderProblem; }

  // Takes the lock. False when another live process holds it, or when the lock file cannot be
  // made at all (HeldByOther tells which).
  bool TryLock();
  bool IsLocked() const;
  // The last TryLock failed because another live process holds the lock.
  bool HeldByOther() const { return FHeldByOther; }
  // Starts answering later starts (only while holding the lock). False if the socket fails. A
  // connection from a process of another user is dropped unheard.
  bool Listen();
  bool IsListening() const;

  // A later start: connects to the running instance, sends the records and waits for its
  // reply (at most `timeoutMs`, also while the running one is still starting up). False when
  // no running instance took them; nothing is sent to a server of another user.
  bool SendHandOver(const QList<QByteArray>& texts, int timeoutMs = 5000) const;

  // Empty when no folder is used.
  QString LockPath() const;
  QString ServerPath() const;

  // Splits the bytes received on one connection into records; false when the stream is not a
  // sequence of well-formed records ending in the empty record (the texts are then discarded).
  // `complete` tells whether the end record has arrived.
  static bool ParseRecords(const QByteArray& stream, QList<QByteArray>& texts, bool& complete);
  static QByteArray MakeRecord(const QByteArray& text);
  static QByteArray EndRecord();

 signals:
  // A later start handed over these texts (zero removed), in the order sent.
  void HandOver(const QList<QByteArray>& texts);

 private:
  void OnNewConnection();
  void OnReadyRead(QLocalSocket* socket);

  QString FFolderProblem;
  QString FFolder;
  QString FName;
  std::unique_ptr<QLockFile> FLock;
  QLocalServer* FServer = nullptr;
  bool FHeldByOther = false;
};
