// A crash journal is the folder's input like any other file in it: a received folder may hold one
// made to write where it should not. Recovery applies only a journal that can only be this user's
// Melotag's, only to the file it journaled, and names what it leaves alone; the lock it and every
// writer take is waited for with a bound.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FileLock.h"
#include "ID3v2.h"
#include "ID3v2Frames.h"
#include "Journal.h"
#include "TagError.h"
#include "TagTestSupport.h"
#include "detail/File.h"
#include "detail/JournalFormat.h"

using namespace melotag::tags;
using namespace tagtest;
namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

struct stat StatusOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st;
}

// Overwrites a file's bytes in place (same inode), as `cp new song.mp3` does.
void Overwrite(const std::string& path, const std::string& bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
}

class JournalTrust : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(album);
    fs::create_directories(dir.Path("victim"));
    WriteBytes(victim, "SAFE CONTENT");
    WriteBytes(song, songBytes);
    Listen();
  }
  // A new run: every journal left alone is named again, once.
  void Listen() {
    named.clear();
    SetJournalNotice([this](const std::string& journal, const std::string& reason) {
      named.push_back(journal + " (" + reason + ")");
    });
  }
  void TearDown() override { SetJournalNotice({}); }

  // A region of `name` as the journal of a write that died halfway would give it: old bytes that
  // differ from what the file holds, so that applying it writes them.
  TJournalRegion Region(const std::string& name, const std::string& target) {
    const struct stat st = StatusOf(target);
    TJournalRegion region;
    region.Name = name;
    region.Device = st.st_dev;
    region.Inode = st.st_ino;
    region.Old = std::string(5, 'X');
    region.New = "NEW!!";
    region.OldSize = static_cast<uint64_t>(st.st_size);
    return region;
  }
  // Reads the song's tag as `melotag-cli show` does (twice: a journal is named once).
  void Show() {
    TFrameTag tag;
    ReadFrameTag(song, tag);
    ReadFrameTag(song, tag);
  }

  TTempDir dir;
  const std::string album = dir.Path("album");
  const std::string song = album + "/song.mp3";
  const std::string journal = album + "/.melotag-journal";
  const std::string victim = dir.Path("victim/file.txt");
  const std::string songBytes =
      Tag(Frame("TIT2", std::string("\0Title", 6)) + std::string(600, '\0')) +
      std::string(1000, 'a');
  std::vector<std::string> named;
};

// Each journal below would have written its old bytes into a file before; now nothing is written,
// the journal stays and is named once.
TEST_F(JournalTrust, AJournalThatIsNotSurelyOursWritesNothing) {
  const std::string foreign = dir.Path("foreign.journal");
  const struct {
    const char* What;
    std::function<std::string()> Make;  // makes the journal; the file it aims at
  } cases[] = {
      {"an entry above its folder",
       [&] {
         WriteBytes(journal, JournalBytes({Region("../victim/file.txt", victim)}));
         return victim;
       }},
      {"an absolute entry",
       [&] {
         WriteBytes(journal, JournalBytes({Region(victim, victim)}));
         return victim;
       }},
      {"an entry through a linked folder",
       [&] {
         fs::create_directory_symlink("../victim", album + "/lnk");
         WriteBytes(journal, JournalBytes({Region("lnk/file.txt", victim)}));
         return victim;
       }},
      {"an entry that is a link",
       [&] {
         fs::create_symlink("../victim/file.txt", album + "/link.mp3");
         WriteBytes(journal, JournalBytes({Region("link.mp3", victim)}));
         return victim;
       }},
      {"a journal others may write",
       [&] {
         WriteBytes(journal, JournalBytes({Region("song.mp3", song)}));
         chmod(journal.c_str(), 0666);
         return song;
       }},
      {"a journal that is a link",
       [&] {
         WriteBytes(foreign, JournalBytes({Region("song.mp3", song)}));
         fs::create_symlink(foreign, journal);
         return song;
       }},
      {"the file replaced in place by other bytes of another size",
       [&] {
         WriteBytes(journal, JournalBytes({Region("song.mp3", song)}));
         Overwrite(song, songBytes + "more");
         return song;
       }},
      {"a region that holds neither the old nor the new bytes",
       [&] {
         TJournalRegion region = Region("song.mp3", song);
         region.Offset = 100;
         WriteBytes(journal, JournalBytes({region}));
         return song;
       }},
      {"blocks inserted, then the size changed",
       [&] {
         TJournalRegion region = Region("song.mp3", song);
         region.Inserted = 4096;
         region.New = std::string(4096 + 5, 'N');
         region.OldSize -= 100;
         WriteBytes(journal, JournalBytes({region}));
         return song;
       }},
      {"an entry naming a folder",
       [&] {
         fs::create_directory(album + "/sub");
         WriteBytes(journal, JournalBytes({Region("sub", album + "/sub")}));
         return victim;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    fs::remove_all(album);
    fs::remove(foreign);
    fs::create_directories(album);
    WriteBytes(song, songBytes);
    WriteBytes(victim, "SAFE CONTENT");
    Listen();
    const std::string target = c.Make();
    const std::string before = ReadBytes(target);
    const struct stat was = StatusOf(target);
    Show();
    EXPECT_TRUE(ReadBytes(target) == before) << "nothing written into the file";
    EXPECT_EQ(StatusOf(target).st_mode, was.st_mode);
    EXPECT_TRUE(Exists(journal)) << "the journal stays";
    ASSERT_EQ(named.size(), 1u) << "named once";
    EXPECT_EQ(named[0].rfind(journal + " (", 0), 0u) << named[0];
  }
  EXPECT_EQ(JournalNoticeText("a/.melotag-journal", "too large to be a journal"),
            "a crash journal could not be applied: a/.melotag-journal (too large to be a journal)");
}

TEST_F(JournalTrust, AJournalOfAnotherUserIsLeftAlone) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  struct passwd* nobody = getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "no user nobody";
  ASSERT_EQ(chmod(dir.Root().c_str(), 0755), 0);
  ASSERT_EQ(chmod(album.c_str(), 0777), 0);
  const std::string bytes = JournalBytes({Region("song.mp3", song)});
  // The attacker, another user, leaves a journal of the right form in a shared folder.
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(2);
    const int fd = open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    _exit(fd >= 0 && write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  Show();
  EXPECT_TRUE(ReadBytes(song) == songBytes);
  EXPECT_TRUE(Exists(journal));
  ASSERT_EQ(named.size(), 1u);
  EXPECT_NE(named[0].find("another user"), std::string::npos) << named[0];
}

// A journal is read once, never past the bound of what a pass writes.
TEST_F(JournalTrust, AHugeJournalIsNotReadAndAJournalOfManyEntriesIsReadOnce) {
  {
    const int fd = open(journal.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{60} << 30), 0);  // sparse: 60 GB of nothing
    close(fd);
    Show();
    EXPECT_TRUE(Exists(journal));
    ASSERT_EQ(named.size(), 1u);
    EXPECT_NE(named[0].find("too large"), std::string::npos) << named[0];
    fs::remove(journal);
  }
  // 20,000 entries on the song, each finding its region as it was: all applied in one reading.
  TJournalRegion region = Region("song.mp3", song);
  region.Old = songBytes.substr(0, 5);
  const std::vector<TJournalRegion> regions(20000, region);
  WriteBytes(journal, JournalBytes(regions));
  chmod(journal.c_str(), 0600);
  const auto start = std::chrono::steady_clock::now();
  Show();
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(Exists(journal)) << "applied and gone";
  EXPECT_TRUE(ReadBytes(song) == songBytes);
  EXPECT_LT(seconds, 10.0);
}

// Any program that can read a file can lock it; a writer and the mending of a journal wait for it
// only so long, and then say who holds it.
TEST_F(JournalTrust, ALockHeldForEverMakesWritersFailAfterTheWaitAndNamesItsHolder) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const int fd = open(song.c_str(), O_RDONLY);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
    (void)!write(pipeFds[1], "L", 1);
    pause();
    _exit(0);
  }
  char ready = 0;
  ASSERT_EQ(read(pipeFds[0], &ready, 1), 1);
  SetLockWaitLimit(std::chrono::milliseconds(300));
  std::vector<int> holders;
  SetLockWaitObserver([&](const std::string&, int pid, int) { holders.push_back(pid); });
  const auto start = std::chrono::steady_clock::now();
  TFile file;
  ClearError();
  const bool opened = file.OpenLocked(song);
  const int error = LastError();
  // A journal that names the locked file is left for later, not waited for without end.
  TJournalRegion region = Region("song.mp3", song);
  region.Old = songBytes.substr(0, 5);
  WriteBytes(journal, JournalBytes({region}));
  TFrameTag tag;
  ReadFrameTag(song, tag);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  SetLockWaitLimit(std::chrono::seconds(10));
  SetLockWaitObserver({});
  EXPECT_FALSE(opened);
  EXPECT_EQ(error, kFileLocked);
  EXPECT_EQ(ErrorText(error),
            "the file is locked by another program (process " + std::to_string(holder) + ")");
  ASSERT_FALSE(holders.empty()) << "the wait is shown";
  EXPECT_EQ(holders[0], holder);
  EXPECT_LT(seconds, 5.0);
  EXPECT_TRUE(Exists(journal));
  ASSERT_EQ(named.size(), 1u);
  EXPECT_NE(named[0].find("locked by another program"), std::string::npos) << named[0];
  // Once the lock is free the journal is applied.
  ReadFrameTag(song, tag);
  EXPECT_FALSE(Exists(journal));
}

}  // namespace
