// One instance per user: the lock, the records of a hand-over, and their delivery over the
// local socket (the sending side on a thread of its own, as a second process would be).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "EnvScope.h"
#include "Nobody.h"
#include "SingleInstance.h"

namespace {

QByteArray Length(quint32 n) {
  QByteArray bytes(4, '\0');
  qToLittleEndian<quint32>(n, bytes.data());
  return bytes;
}

// Runs the event loop until `done` or five seconds have passed.
template <typename F>
bool Spin(F done) {
  QDeadlineTimer deadline(5000);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

// A folder made here that stands for the shared temporary folder (/tmp): everybody may make names
// in it, nobody may take away another's. TMPDIR names it and XDG_RUNTIME_DIR is unset while the
// object lives.
class TSharedTemp {
 public:
  TSharedTemp() : FTmp("TMPDIR", QFile::encodeName(FDir.path()).constData()) {
    ::chmod(QFile::encodeName(FDir.path()).constData(), 01777);
  }
  QString Path() const { return FDir.path(); }
  QString Path(const QString& name) const { return FDir.filePath(name); }

  // The folder the lock and the socket go to when this folder is all there is (learned from an
  // instance that finds nothing there yet; it is gone again afterwards).
  QString PrivateFolder() const {
    QString folder;
    {
      TSingleInstance probe;
      EXPECT_TRUE(probe.TryLock());
      folder = QFileInfo(probe.LockPath()).path();
    }
    QDir(folder).removeRecursively();
    return folder;
  }

 private:
  QTemporaryDir FDir;
  TEnvScope FRuntime{"XDG_RUNTIME_DIR", nullptr};
  TEnvScope FTmp;
};

// A folder of this user that nobody else may enter, not a link.
bool IsPrivateFolder(const QString& folder) {
  struct stat status;
  return ::lstat(QFile::encodeName(folder).constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == ::getuid() && (status.st_mode & 07777) == 0700;
}

// Runs the event loop until the child process has ended; its result.
int ServeUntilEnded(pid_t pid) {
  int result = -1;
  Spin([&] {
    if (result == -1) result = ChildResult(pid, false);
    return result != -1;
  });
  return result;
}

}  // namespace

TEST(SingleInstance, RecordsAreZeroTerminatedAndBounded) {
  const QByteArray one = TSingleInstance::MakeRecord("prog a.mp3");
  const QByteArray end = TSingleInstance::EndRecord();
  const struct {
    const char* Name;
    QByteArray Stream;
    bool Ok, Complete;
    int Texts;
  } cases[] = {
      {"one record", one + end, true, true, 1},
      {"two records", one + one + end, true, true, 2},
      {"nothing yet", QByteArray(), true, false, 0},
      {"half a record", one.left(7), true, false, 0},
      {"no end yet", one, true, false, 1},
      {"no terminating zero", Length(3) + "abc" + end, false, false, 0},
      {"zero inside", Length(4) + QByteArray("a\0b\0", 4) + end, false, false, 0},
      {"too long", Length(TSingleInstance::MaxRecord + 1) + "x", false, false, 0},
      {"bytes after the end", one + end + "x", false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    QList<QByteArray> texts;
    bool complete = true;
    EXPECT_EQ(TSingleInstance::ParseRecords(c.Stream, texts, complete), c.Ok);
    if (!c.Ok) continue;
    EXPECT_EQ(complete, c.Complete);
    EXPECT_EQ(texts.size(), c.Texts);
  }
  QList<QByteArray> texts;
  bool complete = false;
  ASSERT_TRUE(TSingleInstance::ParseRecords(one + end, texts, complete));
  EXPECT_EQ(texts[0], "prog a.mp3");
}

TEST(SingleInstance, OneLockPerUserFolder) {
  QTemporaryDir dir;
  auto first = std::make_unique<TSingleInstance>("Melotag", dir.path());
  TSingleInstance second("Melotag", dir.path());
  EXPECT_TRUE(first->TryLock());
  EXPECT_FALSE(second.TryLock());
  EXPECT_TRUE(second.HeldByOther());
  EXPECT_FALSE(second.Listen());  // only the holder of the lock listens
  first.reset();
  EXPECT_TRUE(second.TryLock());
  EXPECT_FALSE(second.HeldByOther());
  // A folder where no lock file can be made: not held by anybody.
  TSingleInstance nowhere("Melotag", "/proc/no-such-folder");
  EXPECT_FALSE(nowhere.TryLock());
  EXPECT_FALSE(nowhere.HeldByOther());
}

TEST(SingleInstance, HandOverArrivesAndTheSenderGetsItsReply) {
  QTemporaryDir dir;
  TSingleInstance running("Melotag", dir.path());
  ASSERT_TRUE(running.TryLock());
  ASSERT_TRUE(running.Listen());
  QList<QList<QByteArray>> received;
  QObject::connect(&running, &TSingleInstance::HandOver,
                   [&](const QList<QByteArray>& texts) { received.append(texts); });

  std::atomic<int> result{-1};
  std::thread sender([&] {
    TSingleInstance later("Melotag", dir.path());
    result = later.SendHandOver({"/bin/Melotag /music/My Song.mp3", "/bin/Melotag /music/b.mp3"});
  });
  EXPECT_TRUE(Spin([&] { return result != -1; }));
  sender.join();
  EXPECT_EQ(result, 1);
  ASSERT_EQ(received.size(), 1);
  EXPECT_EQ(received[0],
            (QList<QByteArray>{"/bin/Melotag /music/My Song.mp3", "/bin/Melotag /music/b.mp3"}));
}

TEST(SingleInstance, MalformedHandOversAreDroppedAndTheNextOneStillArrives) {
  QTemporaryDir dir;
  TSingleInstance running("Melotag", dir.path());
  ASSERT_TRUE(running.TryLock());
  ASSERT_TRUE(running.Listen());
  int handOvers = 0;
  QObject::connect(&running, &TSingleInstance::HandOver, [&] { ++handOvers; });
  const QByteArray bad[] = {
      Length(TSingleInstance::MaxRecord + 1) + QByteArray(1000, 'x'),  // too long
      Length(3) + "abc" + TSingleInstance::EndRecord(),                // no zero
      TSingleInstance::MakeRecord("a") + TSingleInstance::EndRecord() + "trailing",
  };
  for (const QByteArray& stream : bad) {
    QLocalSocket socket;
    socket.connectToServer(running.ServerPath());
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(stream);
    socket.waitForBytesWritten(2000);
    EXPECT_TRUE(Spin([&] {
      return socket.state() == QLocalSocket::UnconnectedState || !socket.waitForDisconnected(10);
    }));
    Spin([&] { return socket.state() == QLocalSocket::UnconnectedState; });
    EXPECT_EQ(socket.state(), QLocalSocket::UnconnectedState);
  }
  EXPECT_EQ(handOvers, 0);

  std::atomic<int> result{-1};
  std::thread sender(
      [&] { result = TSingleInstance("Melotag", dir.path()).SendHandOver({"/bin/Melotag"}); });
  EXPECT_TRUE(Spin([&] { return result != -1; }));
  sender.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(handOvers, 1);
}

TEST(SingleInstance, ASecondStartWaitsForTheFirstToListen) {
  QTemporaryDir dir;
  TSingleInstance running("Melotag", dir.path());
  ASSERT_TRUE(running.TryLock());
  int handOvers = 0;
  QObject::connect(&running, &TSingleInstance::HandOver, [&] { ++handOvers; });
  std::atomic<int> result{-1};
  std::thread sender([&] {
    result = TSingleInstance("Melotag", dir.path()).SendHandOver({"/bin/Melotag /a.mp3"});
  });
  QThread::msleep(300);  // still starting up
  ASSERT_TRUE(running.Listen());
  EXPECT_TRUE(Spin([&] { return result != -1; }));
  sender.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(handOvers, 1);
}

TEST(SingleInstance, NobodyListeningMeansNoHandOver) {
  QTemporaryDir dir;
  EXPECT_FALSE(TSingleInstance("Melotag", dir.path()).SendHandOver({"x"}, 300));
}

// Without XDG_RUNTIME_DIR the lock and the socket go to a folder of the user's own below the
// temporary folder; whatever else stands under that name there (another user's folder, a link,
// a folder others may enter, a file) is not used: the instance then runs alone.
TEST(SingleInstance, OnlyAPrivateFolderOfTheUserHoldsTheLock) {
  TSharedTemp shared;
  const QString folder = shared.PrivateFolder();
  EXPECT_EQ(QFileInfo(folder).path(), shared.Path());
  {
    TSingleInstance first;
    ASSERT_TRUE(first.TryLock());
    EXPECT_TRUE(IsPrivateFolder(folder));
    EXPECT_TRUE(first.Listen());
  }
  ASSERT_TRUE(QDir(folder).removeRecursively());

  const QByteArray path = QFile::encodeName(folder);
  const QByteArray ours = QFile::encodeName(shared.Path("ours"));
  ASSERT_EQ(::mkdir(ours.constData(), 0700), 0);
  const std::string noNobody = NobodyUnavailable();
  const struct {
    const char* Name;
    std::function<bool()> Make;
  } cases[] = {
      {"a folder others may enter",
       [&] {
         return ::mkdir(path.constData(), 0700) == 0 && ::chmod(path.constData(), 0777) == 0;
       }},
      {"a folder of ours others may read",
       [&] {
         return ::mkdir(path.constData(), 0700) == 0 && ::chmod(path.constData(), 0750) == 0;
       }},
      {"a link to a private folder of ours",
       [&] { return ::symlink("ours", path.constData()) == 0; }},
      {"a file", [&] { return ::close(::open(path.constData(), O_CREAT | O_WRONLY, 0600)) == 0; }},
      {"another user's folder",
       [&] { return AsNobody([&] { return ::mkdir(path.constData(), 0700) == 0 ? 0 : 1; }) == 0; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (QByteArray(c.Name) == "another user's folder" && !noNobody.empty()) {
      std::printf("skipped \"%s\": %s\n", c.Name, noNobody.c_str());
      continue;
    }
    ASSERT_TRUE(c.Make());
    struct stat before;
    ASSERT_EQ(::lstat(path.constData(), &before), 0);
    TSingleInstance later;
    // Not used: either no lock at all (the window opens alone) or one in a private folder.
    if (later.TryLock()) {
      EXPECT_TRUE(IsPrivateFolder(QFileInfo(later.LockPath()).path()))
          << later.LockPath().toStdString();
      EXPECT_NE(QFileInfo(later.LockPath()).path(), folder);
    }
    EXPECT_FALSE(later.HeldByOther());
    EXPECT_FALSE(later.SendHandOver({"/bin/Melotag /home/me/secret.mp3"}, 300));
    // What stands there is left as it was, and nothing went into it.
    struct stat after;
    ASSERT_EQ(::lstat(path.constData(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    const auto entries = [](const QString& dir) {
      return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    };
    if (S_ISDIR(after.st_mode)) {
      EXPECT_EQ(entries(folder), QStringList());
    }
    EXPECT_EQ(entries(QFile::decodeName(ours)), QStringList());
    ::unlink(path.constData());
    ::rmdir(path.constData());
  }
}

// Another user's process holds the lock and listens in a folder both can reach: the sender finds
// the server is not its own user's and hands nothing over.
TEST(SingleInstance, AServerOfAnotherUserGetsNoHandOver) {
  if (const std::string why = NobodyUnavailable(); !why.empty()) GTEST_SKIP() << why;
  QTemporaryDir open;
  ASSERT_EQ(::chmod(QFile::encodeName(open.path()).constData(), 01777), 0);
  TNobodyServer attacker({QFile::encodeName(open.path())});
  ASSERT_TRUE(attacker.IsReady());
  TSingleInstance later("Melotag", open.path());
  EXPECT_FALSE(later.TryLock());
  EXPECT_FALSE(later.SendHandOver({"/bin/Melotag /home/me/secret.mp3"}, 2000));
  EXPECT_EQ(attacker.Received(), QByteArray());
}

// The running instance's socket is reachable by another user (its mode lost): that user's
// connection is dropped unheard; the user's own hand-over still arrives.
TEST(SingleInstance, AConnectionOfAnotherUserIsDropped) {
  if (const std::string why = NobodyUnavailable(); !why.empty()) GTEST_SKIP() << why;
  QTemporaryDir open;
  ASSERT_EQ(::chmod(QFile::encodeName(open.path()).constData(), 01777), 0);
  TSingleInstance running("Melotag", open.path());
  ASSERT_TRUE(running.TryLock());
  ASSERT_TRUE(running.Listen());
  const QByteArray socketPath = QFile::encodeName(running.ServerPath());
  ASSERT_EQ(::chmod(socketPath.constData(), 0777), 0);
  QList<QList<QByteArray>> received;
  QObject::connect(&running, &TSingleInstance::HandOver,
                   [&](const QList<QByteArray>& texts) { received.append(texts); });

  const QByteArray stream =
      TSingleInstance::MakeRecord("/usr/bin/evil --open") + TSingleInstance::EndRecord();
  // The other user's process: 0 unheard, 1 answered, 2 could not connect.
  const pid_t pid = StartAsNobody([&] {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return 2;
    if (::write(fd, stream.constData(), size_t(stream.size())) != stream.size()) return 0;
    pollfd reply = {fd, POLLIN, 0};
    char byte = 0;
    return ::poll(&reply, 1, 3000) == 1 && ::read(fd, &byte, 1) == 1 && byte == 1 ? 1 : 0;
  });
  ASSERT_GT(pid, 0);
  EXPECT_EQ(ServeUntilEnded(pid), 0);
  EXPECT_EQ(received, QList<QList<QByteArray>>());

  std::atomic<int> result{-1};
  std::thread sender([&] {
    result = TSingleInstance("Melotag", open.path()).SendHandOver({"/bin/Melotag /a.mp3"});
  });
  EXPECT_TRUE(Spin([&] { return result != -1; }));
  sender.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(received, QList<QList<QByteArray>>{{"/bin/Melotag /a.mp3"}});
}
