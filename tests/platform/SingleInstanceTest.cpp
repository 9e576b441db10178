// One instance per user: the lock, the records of a hand-over, and their delivery over the
// local socket (the sending side on a thread of its own, as a second process would be).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <thread>

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
