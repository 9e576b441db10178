// A read, write or removal of a tag that fails says why: the system's reason for that file.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <new>
#include <stdexcept>
#include <system_error>

#include "FileSizeLimit.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "TagError.h"

#include <new>

#include <system_error>

#include <stdexcept>
#include "TagTestSupport.h"

using namespace melotag::tags;

using namespace tagtest;

namespace {

// The operations of the two tag classes on a path.
struct TOperation {
  const char* Name;
  std::function<bool(const std::string&)> Run;
};

const TOperation kWrites[] = {
    {"v1 write",
     [](const std::string& path) {
       TID3v1 tag;
       tag.SetTitle("New");
       return tag.WriteToFile(path);
     }},
    {"v2 write",
     [](const std::string& path) {
       TID3v2 tag;
       tag.SetTitle(std::string(2000, 'N'));  // larger than the old tag: a rebuild
       return tag.WriteToFile(path);
     }},
};
const TOperation kRemovals[] = {
    {"v1 remove", [](const std::string& path) { return TID3v1().DeleteFromFile(path); }},
    {"v2 remove", [](const std::string& path) { return TID3v2().DeleteFromFile(path); }},
};
const TOperation kReads[] = {
    {"v1 read", [](const std::string& path) { return TID3v1().LoadFromFile(path); }},
    {"v2 read", [](const std::string& path) { return TID3v2().LoadFromFile(path); }},
};

// Each operation fails and names `reason`.
void ExpectReason(const std::string& path, const TOperation* begin, const TOperation* end,
                  int reason) {
  for (const TOperation* op = begin; op != end; ++op) {
    SCOPED_TRACE(op->Name);
    melotag::tags::ClearError();
    EXPECT_FALSE(op->Run(path));
    EXPECT_EQ(melotag::tags::LastError(), reason)
        << melotag::tags::ErrorText(melotag::tags::LastError());
  }
}

template <size_t N>
void ExpectReason(const std::string& path, const TOperation (&ops)[N], int reason) {
  ExpectReason(path, ops, ops + N, reason);
}

// A small tmpfs mounted for the life of the object; not there where mounting is not permitted.
class TSmallFileSystem {
 public:
  TSmallFileSystem(const std::string& where, const char* size) : FWhere(where) {
    mkdir(where.c_str(), 0755);
    FMounted = mount("tmpfs", where.c_str(), "tmpfs", 0, size) == 0;
  }
  ~TSmallFileSystem() {
    if (FMounted) umount2(FWhere.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return FMounted; }
  bool MakeReadOnly() {
    return mount(nullptr, FWhere.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  std::string FWhere;
  bool FMounted = false;
};

class TagErrorTest : public ::testing::Test {
 protected:
  // A song with both tags.
  std::string Song(const std::string& path) {
    WriteBytes(path, Tag(Frame("TIT2", std::string(1, '\0') + "Old")) + MpegAudio() +
                         Trailer("Old", "", 0, 0, 0));
    return path;
  }
  TTempDir dir;
};

}  // namespace

TEST_F(TagErrorTest, AVanishedFileIsNamedAsMissing) {
  const std::string path = Song(dir.Path("gone.mp3"));
  ASSERT_EQ(unlink(path.c_str()), 0);
  ExpectReason(path, kWrites, ENOENT);
  ExpectReason(path, kRemovals, ENOENT);
  ExpectReason(path, kReads, ENOENT);
  EXPECT_EQ(melotag::tags::ErrorText(ENOENT), "No such file or directory");
}

TEST_F(TagErrorTest, APipeIsNoRegularFile) {
  const std::string path = dir.Path("pipe.mp3");
  ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
  ExpectReason(path, kWrites, melotag::tags::kNotRegularFile);
  ExpectReason(path, kRemovals, melotag::tags::kNotRegularFile);
  ExpectReason(path, kReads, melotag::tags::kNotRegularFile);
  EXPECT_EQ(melotag::tags::ErrorText(melotag::tags::kNotRegularFile), "not a regular file");
}

TEST_F(TagErrorTest, AFileShorterThanItsTagIsNamedSo) {
  const std::string path = dir.Path("short.mp3");
  WriteBytes(path, "ID3");
  ExpectReason(path, kReads, melotag::tags::kFileTooShort);
}

TEST_F(TagErrorTest, AWriteBeyondTheFileSizeLimitIsTooLarge) {
  const std::string path = Song(dir.Path("song.mp3"));
  const std::string before = ReadBytes(path);
  {
    // The file cannot grow: not by a larger ID3v2 tag ...
    TFileSizeLimit limit(before.size());
    ASSERT_TRUE(limit.IsSet());
    ExpectReason(path, kWrites + 1, kWrites + 2, EFBIG);
    EXPECT_EQ(ReadBytes(path), before);
  }
  // ... nor by an ID3v1 trailer appended to a file without one.
  ASSERT_TRUE(TID3v1().DeleteFromFile(path));
  TFileSizeLimit limit(ReadBytes(path).size());
  ASSERT_TRUE(limit.IsSet());
  ExpectReason(path, kWrites, kWrites + 1, EFBIG);
  EXPECT_EQ(melotag::tags::ErrorText(EFBIG), "File too large");
}

TEST_F(TagErrorTest, AFullOrReadOnlyFileSystemIsNamed) {
  TSmallFileSystem small(dir.Path("small"), "size=64k");
  if (!small.Mounted()) GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  // A file of whole pages without an ID3v1 trailer: appending one needs a page more.
  const std::string path = dir.Path("small/song.mp3");
  std::string song = Tag(Frame("TIT2", std::string(1, '\0') + "Old")) + MpegAudio();
  song.resize(8192, '\0');
  WriteBytes(path, song);
  // Fill the rest of it.
  {
    std::ofstream fill(dir.Path("small/fill"), std::ios::binary);
    const std::string block(4096, 'x');
    for (int i = 0; i < 64 && fill.write(block.data(), block.size()); ++i) {
    }
  }
  ExpectReason(path, kWrites, ENOSPC);
  EXPECT_EQ(ReadBytes(path), song);
  EXPECT_EQ(melotag::tags::ErrorText(ENOSPC), "No space left on device");

  ASSERT_EQ(unlink(dir.Path("small/fill").c_str()), 0);
  ASSERT_TRUE(kWrites[0].Run(path));  // a trailer to remove
  ASSERT_TRUE(small.MakeReadOnly());
  ExpectReason(path, kWrites, EROFS);
  ExpectReason(path, kRemovals, EROFS);
  EXPECT_EQ(melotag::tags::ErrorText(EROFS), "Read-only file system");
  for (const TOperation& read : kReads) EXPECT_TRUE(read.Run(path)) << read.Name;
}

TEST(TagErrorReasons, AnExceptionInsideATagOperationKeepsItsCause) {
  const struct {
    std::function<void()> Throw;
    int Reason;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, ENOMEM},
      {[] { std::string().reserve(std::string().max_size() + 1); }, melotag::tags::kTagTooLarge},
      {[] { throw std::system_error(ENOSPC, std::generic_category()); }, ENOSPC},
      {[] { throw std::runtime_error("other"); }, EIO},
  };
  for (const auto& c : cases) {
    melotag::tags::ClearError();
    bool result = true;
    try {
      c.Throw();
    } catch (...) {
      result = melotag::tags::FailedByException();
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(melotag::tags::LastError(), c.Reason) << melotag::tags::ErrorText(c.Reason);
  }
}
