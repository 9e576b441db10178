// Writing and removing tags never loses or half-writes a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>

#include "CommitGroup.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "Journal.h"
#include "TagError.h"
#include "TagTestSupport.h"
#include "detail/File.h"

using namespace melotag::tags;

using namespace tagtest;
namespace fs = std::filesystem;

namespace {

class FileSafetyTest : public ::testing::Test {
 protected:
  std::string MakeFile(const std::string& bytes, const std::string& name = "song.mp3") {
    std::string path = dir.Path(name);
    WriteBytes(path, bytes);
    return path;
  }
  // The names in a folder, sorted.
  static std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Starts operation in a child process; its exit status is 0 when it returns true.
  static pid_t Start(const std::function<bool()>& operation) {
    pid_t pid = fork();
    if (pid == 0) _exit(operation() ? 0 : 1);
    EXPECT_GT(pid, 0);
    return pid;
  }
  // Waits for a child; its exit status, or -1 when a signal ended it.
  static int Wait(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Runs an operation in a child process prepared by setup; returns the operation's result.
  static bool InChild(const std::function<void()>& setup, const std::function<bool()>& operation) {
    const int status = Wait(Start([&] {
      setup();
      return operation();
    }));
    EXPECT_NE(status, -1);
    return status == 0;
  }
  // Whether a process waits for a file lock.
  static bool WaitsForALock(pid_t pid) {
    // A waiting writer tries the lock again and again (its wait has a bound): it is still there
    // after a while, not ended, and nothing else would keep it.
    usleep(300000);
    return Running(pid);
  }
  // Whether a child started by Start has not ended yet; it stays to be waited for.
  static bool Running(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }
  // The text of the TIT2 frame that comes first in a tag, as WriteToFile puts it.
  static std::string TitleOf(const std::string& bytes) {
    if (bytes.size() < 21) return {};
    uint32_t size = 0;
    for (int i = 14; i < 18; ++i) size = (size << 8) | static_cast<unsigned char>(bytes[i]);
    return size == 0 ? std::string() : bytes.substr(21, size - 1);
  }
  // Writes a tag that holds only a title.
  static bool WriteV2Title(const std::string& path, const std::string& title) {
    TID3v2 tag;
    tag.SetTitle(title);
    return tag.WriteToFile(path);
  }
  static bool WriteV1Title(const std::string& path, const std::string& title) {
    TID3v1 tag;
    tag.SetTitle(title);
    return tag.WriteToFile(path);
  }
  // The bytes of the ID3v2 tag WriteV2Title writes.
  static std::string TitleTag(const std::string& title) {
    return Tag(Frame("TIT2", std::string(1, '\0') + title));
  }
  // Writes a tag of a title and a filler: in place when it fits, else rebuilt with padding.
  static bool WriteTitleAndFiller(const std::string& path, const std::string& title,
                                  size_t filler) {
    const std::string body =
        Frame("TIT2", std::string(1, '\0') + title) + Frame("PRIV", std::string(filler, 'f'));
    const auto edit = [&](std::string_view) { return TTagChange{true, Tag(body), true}; };
    return RebuildFileWith(path, edit) == TRebuild::Done;
  }
  static void LimitFileSize(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
  }

  TTempDir dir;
  std::string audio = MpegAudio();
  std::string oldTag = Tag(Frame("TIT2", std::string(1, '\0') + "Old"));
};

TEST_F(FileSafetyTest, RebuildKeepsPermissionBitsAndLeavesNoTemporaryFile) {
  for (unsigned mode : {0640u, 0604u, 0755u, 0600u}) {
    std::string path = MakeFile(oldTag + audio);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    TID3v2 tag;
    tag.SetTitle("New");
    ASSERT_TRUE(tag.WriteToFile(path));
    EXPECT_EQ(Permissions(path), mode) << std::oct << mode;
    ASSERT_TRUE(tag.DeleteFromFile(path));
    EXPECT_EQ(Permissions(path), mode) << std::oct << mode;
    EXPECT_EQ(ReadBytes(path), audio);
    EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"});
  }
}

TEST_F(FileSafetyTest, ReadOnlyFileGainsOnlyTheOwnersWritePermission) {
  for (unsigned mode : {0444u, 0400u, 0555u}) {
    std::string path = MakeFile(oldTag + audio);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    TID3v2 tag;
    tag.SetTitle("New");
    ASSERT_TRUE(tag.WriteToFile(path));
    EXPECT_EQ(Permissions(path), mode | 0200) << std::oct << mode;
  }
}

TEST_F(FileSafetyTest, OldFileStaysWholeForAReaderWhileTheNewOneTakesItsName) {
  std::string path = MakeFile(oldTag + audio);
  int reader = open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);
  TID3v2 tag;
  tag.SetTitle("New title");
  ASSERT_TRUE(tag.WriteToFile(path));
  std::string seen(oldTag.size() + audio.size() + 10, '\0');
  ssize_t n = pread(reader, seen.data(), seen.size(), 0);
  close(reader);
  ASSERT_GE(n, 0);
  seen.resize(static_cast<size_t>(n));
  EXPECT_EQ(seen, oldTag + audio);
  EXPECT_EQ(ReadBytes(path), Tag(Frame("TIT2", std::string(1, '\0') + "New title")) + audio);
}

TEST_F(FileSafetyTest, SymbolicLinkStaysALinkAndItsTargetIsRebuilt) {
  fs::create_directory(dir.Root() / "real");
  std::string target = MakeFile(oldTag + audio, "real/song.mp3");
  struct {
    const char* name;
    fs::path to;
  } links[] = {{"absolute.mp3", target}, {"relative.mp3", "real/song.mp3"}};
  for (const auto& link : links) {
    fs::create_symlink(link.to, dir.Root() / link.name);
    std::string path = dir.Path(link.name);
    TID3v2 tag;
    tag.SetTitle(link.name);
    ASSERT_TRUE(tag.WriteToFile(path)) << link.name;
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(fs::read_symlink(path), link.to);
    ASSERT_TRUE(tag.LoadFromFile(target));
    EXPECT_EQ(tag.Title(), link.name);
    ASSERT_TRUE(tag.DeleteFromFile(path));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(ReadBytes(target), audio);
    tag.SetTitle("Old");
    ASSERT_TRUE(tag.WriteToFile(target));
  }
  EXPECT_EQ(Names(dir.Root()), (std::vector<std::string>{"absolute.mp3", "real", "relative.mp3"}));
  EXPECT_EQ(Names(dir.Root() / "real"), std::vector<std::string>{"song.mp3"});
}

TEST_F(FileSafetyTest, UsersFileNamedLikeABackupSurvivesWriteAndRemoval) {
  std::string path = MakeFile(oldTag + audio);
  std::string backup = MakeFile("the user's backup", "song.mp3~");
  TID3v2 tag;
  tag.SetTitle("New");
  ASSERT_TRUE(tag.WriteToFile(path));
  ASSERT_TRUE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), audio);
  EXPECT_EQ(ReadBytes(backup), "the user's backup");
  EXPECT_EQ(Names(dir.Root()), (std::vector<std::string>{"song.mp3", "song.mp3~"}));
}

TEST_F(FileSafetyTest, TwoWriterProcessesLeaveOneWritersTagAndTheWholeAudio) {
  const std::string original = MpegAudio(2500);  // about 1 MB
  std::string path = MakeFile(oldTag + original);
  constexpr int kWrites = 25;
  auto writer = [&](const std::string& name) {
    return [&path, name] {
      for (int i = 0; i < kWrites; ++i) {
        TID3v2 tag;
        if (!tag.LoadFromFile(path) || !tag.Exists()) return false;
        tag.SetTitle(name + std::to_string(i));
        if (!tag.WriteToFile(path)) return false;
      }
      return true;
    };
  };
  // The whole file with a title-only tag in front of the original audio.
  auto whole = [&](const std::string& title) { return TitleTag(title) + original; };
  pid_t writers[] = {Start(writer("A")), Start(writer("B"))};
  // A reader meanwhile sees a whole file every time.
  bool running = true;
  int reads = 0;
  while (running) {
    running = Running(writers[0]) || Running(writers[1]);
    std::string bytes = ReadBytes(path);
    const bool ok = bytes == whole(TitleOf(bytes));
    EXPECT_TRUE(ok) << "read " << reads << ": " << bytes.size() << " bytes";
    if (!ok) break;
    ++reads;
  }
  EXPECT_EQ(Wait(writers[0]), 0);
  EXPECT_EQ(Wait(writers[1]), 0);
  const std::string last = std::to_string(kWrites - 1);
  const std::string bytes = ReadBytes(path);
  EXPECT_TRUE(bytes == whole("A" + last) || bytes == whole("B" + last)) << TitleOf(bytes);
  EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"});
}

TEST_F(FileSafetyTest, WriterThatWaitedForTheLockWritesTheFileThatTookTheNameMeanwhile) {
  const std::string newer = MpegAudio(8);  // what the writer before it put under the name
  struct {
    const char* name;
    std::function<bool(const std::string&)> write;
    std::string expected;
  } cases[] = {
      {"ID3v2", [](const std::string& path) { return WriteV2Title(path, "Second"); },
       TitleTag("Second") + newer},
      {"ID3v1", [](const std::string& path) { return WriteV1Title(path, "Second"); },
       newer + Trailer("Second", "", 0, 0, 255)},
  };
  for (const auto& c : cases) {
    std::string path = MakeFile(oldTag + audio);
    // The first writer: holds the lock, puts a new file under the name, then lets go.
    int first = open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(flock(first, LOCK_EX), 0);
    pid_t second = Start([&] {
      close(first);  // the lock belongs to the first writer alone
      return c.write(path);
    });
    ASSERT_GT(second, 0);
    EXPECT_TRUE(WaitsForALock(second)) << c.name;
    MakeFile(newer, "new.mp3");
    fs::rename(dir.Path("new.mp3"), path);
    close(first);
    EXPECT_EQ(Wait(second), 0) << c.name;
    EXPECT_TRUE(ReadBytes(path) == c.expected) << c.name;
  }
}

TEST_F(FileSafetyTest, RebuildKilledMidCopyLeavesNoStrayFile) {
  const std::string bigAudio = MpegAudio(40000);  // about 16 MB
  const std::string original = oldTag + bigAudio;
  const std::string rebuilt = TitleTag("New") + bigAudio;
  std::string path = MakeFile(original);
  int killedMidCopy = 0;
  for (int delayMs : {1, 4, 8, 16}) {
    int started[2];
    ASSERT_EQ(pipe(started), 0);
    pid_t pid = Start([&] { return write(started[1], "s", 1) == 1 && WriteV2Title(path, "New"); });
    ASSERT_GT(pid, 0);
    close(started[1]);
    char byte;
    ASSERT_EQ(read(started[0], &byte, 1), 1);
    close(started[0]);
    usleep(static_cast<useconds_t>(delayMs) * 1000);
    kill(pid, SIGKILL);
    Wait(pid);
    EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"}) << delayMs << " ms";
    const std::string bytes = ReadBytes(path);
    if (bytes == original) {
      ++killedMidCopy;
    } else {
      EXPECT_TRUE(bytes == rebuilt) << delayMs << " ms";
      WriteBytes(path, original);
    }
  }
  EXPECT_GT(killedMidCopy, 0) << "every rebuild ended before its kill";
}

TEST_F(FileSafetyTest, RebuildFailingHalfwayLeavesTheOriginalAndNoTemporaryFile) {
  const std::string big = oldTag + MpegAudio(1000);  // about 417 KB
  struct {
    const char* name;
    std::function<bool(const std::string&)> operation;
  } operations[] = {
      {"write", [](const std::string& path) { return WriteV2Title(path, "New"); }},
      {"delete", [](const std::string& path) { return TID3v2().DeleteFromFile(path); }},
  };
  for (const auto& op : operations) {
    std::string path = MakeFile(big);
    bool ok = InChild([] { LimitFileSize(100 * 1024); }, [&] { return op.operation(path); });
    EXPECT_FALSE(ok) << op.name;
    EXPECT_TRUE(ReadBytes(path) == big) << op.name;
    EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"}) << op.name;
  }
}

TEST_F(FileSafetyTest, FailedTrailerWriteLeavesTheFileAsItWas) {
  struct {
    const char* name;
    std::string bytes;
    rlim_t limit;
  } cases[] = {
      // The limit lets no byte of the new trailer be written over the old one.
      {"over an old trailer", audio + Trailer("Old", "", 0, 0, 255), audio.size()},
      // The limit lets half of the new trailer be appended.
      {"appended", audio, audio.size() + 64},
  };
  for (const auto& c : cases) {
    std::string path = MakeFile(c.bytes);
    bool ok = InChild([&] { LimitFileSize(c.limit); }, [&] { return WriteV1Title(path, "New"); });
    EXPECT_FALSE(ok) << c.name;
    EXPECT_TRUE(ReadBytes(path) == c.bytes) << c.name;
  }
}

TEST_F(FileSafetyTest, TrailerWriterKilledAtAnyMomentLeavesTheOldOrTheNewTrailer) {
  const std::string trailers[] = {Trailer("First", "", 0, 0, 255),
                                  Trailer("Second", "", 0, 0, 255)};
  std::string path = MakeFile(audio + trailers[0]);
  for (int trial = 0; trial < 20; ++trial) {
    pid_t pid = Start([&] {
      for (int i = 0;; ++i) {
        if (!WriteV1Title(path, i % 2 ? "First" : "Second")) return false;
      }
    });
    ASSERT_GT(pid, 0);
    usleep(1000 + 250 * static_cast<useconds_t>(trial));
    kill(pid, SIGKILL);
    EXPECT_EQ(Wait(pid), -1) << "the writer failed before it was killed";
    const std::string bytes = ReadBytes(path);
    const std::string trailer = bytes.substr(std::min(bytes.size(), audio.size()));
    EXPECT_TRUE(bytes.compare(0, audio.size(), audio) == 0 &&
                (trailer == trailers[0] || trailer == trailers[1]))
        << "trial " << trial << ": " << bytes.size() << " bytes";
  }
}

TEST_F(FileSafetyTest, FileThatCannotBeMadeWritableIsNotChanged) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  struct passwd* nobody = getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "no user nobody";
  ASSERT_EQ(chmod(dir.Root().c_str(), 0777), 0);
  const std::string bytes = oldTag + audio + Trailer("v1", "", 0, 1, 2);
  std::string path = MakeFile(bytes);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  auto asNobody = [&] {
    if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(2);
  };
  EXPECT_FALSE(InChild(asNobody, [&] { return TID3v2().WriteToFile(path); }));
  EXPECT_FALSE(InChild(asNobody, [&] { return TID3v2().DeleteFromFile(path); }));
  EXPECT_FALSE(InChild(asNobody, [&] { return TID3v1().WriteToFile(path); }));
  EXPECT_FALSE(InChild(asNobody, [&] { return TID3v1().DeleteFromFile(path); }));
  EXPECT_TRUE(InChild(asNobody, [&] { return TID3v2().LoadFromFile(path); }));
  EXPECT_TRUE(ReadBytes(path) == bytes);
  EXPECT_EQ(Permissions(path), 0444u);
  EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"});
}

TEST_F(FileSafetyTest, OwnersReadOnlyFileIsMadeWritableByItsOwner) {
  // Not root: the open for writing is refused, the permission added, the file written.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  struct passwd* nobody = getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "no user nobody";
  ASSERT_EQ(chmod(dir.Root().c_str(), 0777), 0);
  const std::string path = MakeFile(oldTag + audio + Trailer("v1", "", 0, 1, 2));
  ASSERT_EQ(chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  auto asNobody = [&] {
    if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(2);
  };
  EXPECT_TRUE(InChild(asNobody, [&] {
    TID3v2 v2;
    v2.SetTitle("New");
    TID3v1 v1;
    v1.SetTitle("New");
    return v2.WriteToFile(path) && v1.WriteToFile(path);
  }));
  EXPECT_EQ(Permissions(path), 0644u);
  TID3v2 v2;
  TID3v1 v1;
  ASSERT_TRUE(v2.LoadFromFile(path) && v1.LoadFromFile(path));
  EXPECT_EQ(v2.Title(), "New");
  EXPECT_EQ(v1.Title(), "New");
}

// A link in a folder may lead to any file: making a file writable never follows one (its target
// keeps its permissions, the write through the link fails for the permission); the file itself
// is made writable.
TEST_F(FileSafetyTest, MakingWritableNeverFollowsALink) {
  const std::string path = MakeFile(oldTag + audio);
  const std::string link = dir.Path("link.mp3");
  ASSERT_EQ(symlink("song.mp3", link.c_str()), 0);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ClearError();
  EXPECT_FALSE(MakeWritable(link));
  EXPECT_EQ(LastError(), EACCES);
  EXPECT_EQ(Permissions(path), 0444u);
  EXPECT_TRUE(MakeWritable(path));
  EXPECT_EQ(Permissions(path), 0644u);
}

TEST_F(FileSafetyTest, RebuiltFileKeepsItsOwnerWhenPermitted) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  std::string path = MakeFile(oldTag + audio);
  ASSERT_EQ(chown(path.c_str(), 4321, 4322), 0);
  TID3v2 tag;
  tag.SetTitle("New");
  ASSERT_TRUE(tag.WriteToFile(path));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 4322u);
}

TEST_F(FileSafetyTest, AGroupOfWritesCommitsTheFilesTogether) {
  for (const size_t capacity : {melotag::tags::TCommitGroup::kPending, size_t(3)}) {
    SCOPED_TRACE(capacity);
    // More files than the group keeps waiting (fewer than twice as many), so that it also commits
    // by itself on the way, once.
    const int count = int(capacity) + std::min(int(capacity) - 1, 6);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
      paths.push_back(MakeFile(oldTag + audio, std::to_string(capacity) + "-" + std::to_string(i)));
    {
      melotag::tags::TCommitGroup group(capacity);
      for (const std::string& path : paths) ASSERT_TRUE(WriteV2Title(path, "New"));
      // The first `capacity` went together; the last ones still wait: a reader sees the old
      // file whole.
      EXPECT_EQ(ReadBytes(paths[capacity - 1]), TitleTag("New") + audio);
      EXPECT_EQ(ReadBytes(paths[capacity]), oldTag + audio);
      EXPECT_EQ(ReadBytes(paths.back()), oldTag + audio);
      // The same file again: the waiting content is committed first, never waited for forever.
      ASSERT_TRUE(WriteV1Title(paths.back(), "Trailer"));
      ASSERT_TRUE(WriteV2Title(paths.back(), "Newer"));
      EXPECT_TRUE(group.Flush().empty());
    }
    for (int i = 0; i + 1 < count; ++i)
      EXPECT_EQ(ReadBytes(paths[i]), TitleTag("New") + audio) << i;
    const std::string last = ReadBytes(paths.back());
    EXPECT_EQ(last.substr(0, TitleTag("Newer").size() + audio.size()), TitleTag("Newer") + audio);
    TID3v1 trailer;
    ASSERT_TRUE(trailer.LoadFromFile(paths.back()));
    EXPECT_EQ(trailer.Title(), "Trailer");
  }
  // Only the files themselves: no temporary file is left.
  EXPECT_EQ(Names(dir.Path("")).size(), size_t(melotag::tags::TCommitGroup::kPending + 6 + 3 + 2));
}

// An in-place write whose journal cannot be made as it should: a foreign entry holding the
// journal's name sends the file to a rebuild (or, in a group, to a journal of its own) and stays;
// a journal that cannot be written leaves the file as it was and no journal behind.
TEST_F(FileSafetyTest, InPlaceWriteWithoutItsJournalIsRebuiltOrLeavesTheFileAsItWas) {
  const std::string room =
      Tag(Frame("TIT2", std::string(1, '\0') + "Old") + std::string(3000, '\0'));
  const std::string bytes = room + audio + Trailer("v1", "", 0, 1, 2);
  const struct {
    const char* Name;
    bool Grouped;
    bool Written;
    std::function<void(const std::string& path)> Setup;
  } cases[] = {
      {"the file's journal name taken", false, true,
       [](const std::string& path) { fs::create_directory(melotag::tags::JournalPath(path)); }},
      {"the folder's journal name taken, in a group", true, true,
       [](const std::string& path) {
         fs::create_directory(melotag::tags::FolderJournalPath(path));
       }},
      {"a file size limit below the journal's", false, false,
       [](const std::string&) { LimitFileSize(1000); }},
      {"a file size limit below the journal's, in a group", true, false,
       [](const std::string&) { LimitFileSize(1000); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = MakeFile(bytes);
    const std::vector<std::string> before = Names(dir.Root());
    const bool ok =
        InChild([&] { c.Setup(path); },
                [&] {
                  if (!c.Grouped) return WriteTitleAndFiller(path, "New title", 2000);
                  melotag::tags::TCommitGroup group;
                  return WriteTitleAndFiller(path, "New title", 2000) && group.Flush().empty();
                });
    EXPECT_EQ(ok, c.Written);
    const std::string now = ReadBytes(path);
    if (c.Written) {
      EXPECT_EQ(TitleOf(now), "New title");
      EXPECT_EQ(now.substr(now.size() - audio.size() - 128), audio + Trailer("v1", "", 0, 1, 2));
    } else {
      EXPECT_TRUE(now == bytes);
    }
    // Whatever held the journal's name is still there, and nothing else was left.
    for (const std::string& journal :
         {melotag::tags::JournalPath(path), melotag::tags::FolderJournalPath(path)}) {
      std::error_code error;
      if (fs::is_directory(journal)) fs::remove(journal, error);
    }
    EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"});
  }
}

TEST_F(FileSafetyTest, TwoInPlaceWriterProcessesTakeTurnsUnderTheLock) {
  const std::string room =
      Tag(Frame("TIT2", std::string(1, '\0') + "Old") + std::string(6000, '\0'));
  const std::string path = MakeFile(room + audio);
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  constexpr int kWrites = 25;
  auto filler = [](int i) { return static_cast<size_t>(1000 + 200 * (i % 7)); };
  auto writer = [&](const std::string& name) {
    return [&path, &filler, name] {
      for (int i = 0; i < kWrites; ++i)
        if (!WriteTitleAndFiller(path, name + std::to_string(i), filler(i))) return false;
      return true;
    };
  };
  const pid_t writers[] = {Start(writer("A")), Start(writer("B"))};
  EXPECT_EQ(Wait(writers[0]), 0);
  EXPECT_EQ(Wait(writers[1]), 0);
  const std::string last = std::to_string(kWrites - 1);
  const std::string bytes = ReadBytes(path);
  const std::string title = TitleOf(bytes);
  EXPECT_TRUE(title == "A" + last || title == "B" + last) << title;
  std::string body = Frame("TIT2", std::string(1, '\0') + title) +
                     Frame("PRIV", std::string(filler(kWrites - 1), 'f'));
  body.resize(room.size() - 10, '\0');
  EXPECT_TRUE(bytes == Tag(body) + audio) << "written in the old room, the audio untouched";
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(Names(dir.Root()), std::vector<std::string>{"song.mp3"});
}

}  // namespace
