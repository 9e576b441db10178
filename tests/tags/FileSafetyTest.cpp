// Writing and removing tags never loses or half-writes a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "ID3v1.h"
#include "ID3v2.h"
#include "TagTestSupport.h"

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
  // Runs an operation in a child process prepared by setup; returns the operation's result.
  static bool InChild(const std::function<void()>& setup, const std::function<bool()>& operation) {
    pid_t pid = fork();
    if (pid == 0) {
      setup();
      _exit(operation() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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

TEST_F(FileSafetyTest, StaleTemporaryFileIsReplacedWithoutFollowingALink) {
  std::string path = MakeFile(oldTag + audio);
  std::string other = MakeFile("precious", "other.txt");
  fs::create_symlink(other, path + "~");
  TID3v2 tag;
  tag.SetTitle("New");
  ASSERT_TRUE(tag.WriteToFile(path));
  EXPECT_EQ(ReadBytes(other), "precious");
  EXPECT_FALSE(fs::exists(fs::symlink_status(path + "~")));

  MakeFile("stale", "song.mp3~");
  ASSERT_TRUE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), audio);
  EXPECT_FALSE(fs::exists(path + "~"));
}

TEST_F(FileSafetyTest, FolderInTheWayOfTheTemporaryFileFailsWithTheFileUnchanged) {
  std::string path = MakeFile(oldTag + audio);
  fs::create_directory(path + "~");
  MakeFile("inside", "song.mp3~/keep");
  TID3v2 tag;
  tag.SetTitle("New");
  EXPECT_FALSE(tag.WriteToFile(path));
  EXPECT_FALSE(tag.DeleteFromFile(path));
  EXPECT_EQ(ReadBytes(path), oldTag + audio);
  EXPECT_EQ(ReadBytes(path + "~/keep"), "inside");
}

TEST_F(FileSafetyTest, RebuildFailingHalfwayLeavesTheOriginalAndNoTemporaryFile) {
  const std::string big = oldTag + MpegAudio(1000);  // about 417 KB
  struct {
    const char* name;
    std::function<bool(const std::string&)> operation;
  } operations[] = {
      {"write",
       [](const std::string& path) {
         TID3v2 tag;
         tag.SetTitle("New");
         return tag.WriteToFile(path);
       }},
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

TEST_F(FileSafetyTest, FailedTrailerAppendLeavesNoHalfTrailer) {
  std::string path = MakeFile(audio);
  bool ok = InChild([&] { LimitFileSize(audio.size() + 64); },
                    [&] {
                      TID3v1 tag;
                      tag.SetTitle("New");
                      return tag.WriteToFile(path);
                    });
  EXPECT_FALSE(ok);
  EXPECT_TRUE(ReadBytes(path) == audio);
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

}  // namespace
