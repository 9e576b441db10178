// The workspace: the pass over the listed files (the read-only answers, a vanished file, a file
// that cannot be written, a commit group that fits the file descriptors), the title lines' undo,
// the renames of listed files and the list's totals. Real files in temporary folders.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ByteFiles.h"
#include "ByteTempDir.h"
#include "FileSizeLimit.h"
#include "MpegAudio.h"
#include "QtPrinters.h"
#include "RenamePlan.h"
#include "TagError.h"
#include "TagText.h"
#include "TagWrite.h"
#include "TitleTools.h"
#include "Workspace.h"

using namespace melotag::editor;

namespace {

const QByteArray kAudio = QByteArray::fromStdString(tagtest::MpegAudio(8));

// The step of a batch pass that gives every file an artist (a file without a tag is rebuilt).
TPassStep WriteArtist(int position, const QByteArray& path) {
  TBatchChoices choices;
  choices.Values[TField::Artist] = QStringLiteral("Artist");
  const TWriteOutcome outcome = WriteBatchID3v2(path, choices, {}, position, {});
  return {outcome.Ok, outcome.Dropped, outcome.Ok ? QString() : TagFailureText(path)};
}

bool IsWritable(const QByteArray& path) {
  struct stat status;
  return ::stat(path.constData(), &status) == 0 && (status.st_mode & S_IWUSR);
}

// MP3 files without tags, listed in the workspace in this order.
void ListFiles(TWorkspace& workspace, const TByteTempDir& dir, const QList<QByteArray>& names) {
  for (const QByteArray& name : names) {
    WriteFile(dir.Path(name), kAudio);
    workspace.Files().Append({dir.Path(name), QString(), kAudio.size(), {}});
  }
}

std::vector<TPassState> StatesOf(const TPassResult& result) {
  std::vector<TPassState> states;
  for (const TFileOutcome& outcome : result.Outcomes) states.push_back(outcome.State);
  return states;
}

}  // namespace

// Files a and d are writable, b and c read-only; each answer to the question, and the passes
// that ask none.
TEST(WorkspaceTest, ReadOnlyFilesGoAsTheAnswerSays) {
  using enum TPassState;
  using TAnswer = TReadOnlyAnswer;
  const struct {
    const char* Name;
    bool Ask;  // the pass asks about read-only files
    TAnswer Answer;
    bool MakeWritable;
    int Asked;
    std::vector<TPassState> States;
    bool Stopped;
    bool ReadOnlyAfter;  // b and c are still read-only
  } cases[] = {
      {"no question", false, TAnswer::AsItIs, false, 0, {Done, Done, Done, Done}, false, false},
      {"as it is", true, TAnswer::AsItIs, false, 2, {Done, Done, Done, Done}, false, false},
      {"write", true, TAnswer::Write, false, 2, {Done, Done, Done, Done}, false, false},
      {"write all", true, TAnswer::WriteAll, false, 1, {Done, Done, Done, Done}, false, false},
      {"skip", true, TAnswer::Skip, false, 2, {Done, ReadOnly, ReadOnly, Done}, false, true},
      {"stop", true, TAnswer::Stop, false, 1, {Done, ReadOnly, NotReached, NotReached}, true, true},
      {"made writable", true, TAnswer::Stop, true, 0, {Done, Done, Done, Done}, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TByteTempDir dir;
    TWorkspace workspace;
    ListFiles(workspace, dir, {"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
    ASSERT_EQ(::chmod(dir.Path("b.mp3").constData(), 0444), 0);
    ASSERT_EQ(::chmod(dir.Path("c.mp3").constData(), 0444), 0);
    TPassOptions options;
    options.MakeWritable = c.MakeWritable;
    int asked = 0;
    QList<int> askedAbout, progress;
    if (c.Ask)
      options.ReadOnly = [&](int position, const QByteArray& path) {
        EXPECT_EQ(path, workspace.Files().Path(position));
        ++asked;
        return c.Answer;
      };
    options.Progress = [&](int position, int count, const QByteArray&) {
      EXPECT_EQ(count, 4);
      progress.append(position);
    };
    const TPassResult result = workspace.RunPass(WriteArtist, options);

    EXPECT_EQ(asked, c.Asked);
    EXPECT_EQ(StatesOf(result), c.States);
    EXPECT_EQ(result.Stopped, c.Stopped);
    EXPECT_EQ(result.Failures(), int(std::count(c.States.begin(), c.States.end(), ReadOnly)));
    EXPECT_EQ(result.Done, int(std::count(c.States.begin(), c.States.end(), Done)));
    EXPECT_EQ(progress, c.Stopped ? QList<int>{0} : QList<int>({0, 1, 2, 3}));
    for (int i = 0; i < 4; ++i) {
      const QByteArray& path = workspace.Files().Path(i);
      EXPECT_EQ(ReadFile(path) == kAudio, c.States[i] != Done) << path.constData();
      if (c.States[i] == ReadOnly) {
        EXPECT_EQ(result.Outcomes[i].Reason, QStringLiteral("the file is read-only"));
      }
    }
    EXPECT_EQ(IsWritable(dir.Path("b.mp3")), !c.ReadOnlyAfter);
  }
}

// A file that vanished after it was listed, and one that cannot be written (files may not grow
// past its size, as on a full disk): their outcomes say why, the files after them are written.
TEST(WorkspaceTest, AFileThatCannotBeWrittenFailsWithItsReason) {
  const struct {
    const char* Name;
    bool Vanished;  // else: too large to be written
    bool Ask;
    TPassState State;
    QString Reason;
  } cases[] = {
      {"vanished", true, false, TPassState::Failed, ErrorText(ENOENT)},
      // A vanished file's status cannot be read: it counts as read-only and is asked about.
      {"vanished, asked", true, true, TPassState::ReadOnly, ErrorText(ENOENT)},
      {"too large", false, false, TPassState::Failed, ErrorText(EFBIG)},
      {"too large, asked", false, true, TPassState::Failed, ErrorText(EFBIG)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TByteTempDir dir;
    TWorkspace workspace;
    ListFiles(workspace, dir, {"a.mp3", "b.mp3", "c.mp3"});
    const QByteArray large = QByteArray(64 * 1024, '\0') + kAudio;
    if (c.Vanished)
      ASSERT_EQ(::unlink(dir.Path("b.mp3").constData()), 0);
    else
      WriteFile(dir.Path("b.mp3"), large);
    TPassOptions options;
    if (c.Ask) options.ReadOnly = [](int, const QByteArray&) { return TReadOnlyAnswer::Skip; };
    TPassResult result;
    {
      std::optional<TFileSizeLimit> limit;
      if (!c.Vanished) {
        ASSERT_TRUE(limit.emplace(32 * 1024).IsSet());
      }
      result = workspace.RunPass(WriteArtist, options);
    }
    using enum TPassState;
    EXPECT_EQ(StatesOf(result), (std::vector<TPassState>{Done, c.State, Done}));
    EXPECT_EQ(result.Outcomes[1].Reason, c.Reason);
    EXPECT_EQ(result.Failures(), 1);
    EXPECT_TRUE(result.CommitFailures.isEmpty());
    if (!c.Vanished) {
      EXPECT_EQ(ReadFile(dir.Path("b.mp3")), large);
    }
  }
}

// A step that runs out of memory (a tag that asks for more than there is) fails for its file with
// the reason; the files after it are still written.
TEST(WorkspaceTest, AFileThatRunsOutOfMemoryFailsAloneAndThePassGoesOn) {
  const struct {
    const char* Name;
    std::function<void()> Throw;
    QString Reason;
  } cases[] = {
      {"bad_alloc", [] { throw std::bad_alloc(); }, ErrorText(ENOMEM)},
      {"length_error", [] { (void)std::string().reserve(std::string().max_size() + 1); },
       "the tag is too large"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TByteTempDir dir;
    TWorkspace workspace;
    ListFiles(workspace, dir, {"a.mp3", "b.mp3", "c.mp3"});
    TPassResult result;
    EXPECT_NO_THROW(result = workspace.RunPass([&](int position, const QByteArray& path) {
      if (position == 1) c.Throw();
      return WriteArtist(position, path);
    }));
    using enum TPassState;
    EXPECT_EQ(StatesOf(result), (std::vector<TPassState>{Done, Failed, Done}));
    EXPECT_EQ(result.Outcomes[1].Reason, c.Reason);
    EXPECT_EQ(ReadFile(dir.Path("b.mp3")), kAudio);
  }
}

// With few file descriptors, a pass over more files than a commit group of the default size could
// hold open still writes them all (the group commits as often as the descriptors ask). Run in a
// child: the limit cannot be raised again.
TEST(WorkspaceTest, APassFitsItsCommitGroupToTheFileDescriptors) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr int kFiles = 80;
  const auto pass = [] {
    TByteTempDir dir;
    TWorkspace workspace;
    QList<QByteArray> names;
    for (int i = 0; i < kFiles; ++i) names.append(QByteArray::number(i) + ".mp3");
    ListFiles(workspace, dir, names);
    const rlimit limit{100, 100};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(100);
    const TPassResult result = workspace.RunPass(WriteArtist);
    int written = 0;
    for (const QByteArray& name : names) written += ReadFile(dir.Path(name)) != kAudio;
    _exit(result.Done == kFiles && written == kFiles && result.Failures() == 0 ? 0 : 1);
  };
  EXPECT_EXIT(pass(), testing::ExitedWithCode(0), "");
}

TEST(WorkspaceTest, TitleLinesUndoTheLastToolThatSavedThem) {
  const QStringList lines = {"1 One", "2 Two"};
  const struct {
    const char* Name;
    std::function<void(TTitleLines&)> Change;
    QStringList Lines;  // after the change
    bool CanUndo;
    QStringList Undone;  // after an undo
  } cases[] = {
      {"a tool",
       [](TTitleLines& t) { t.Apply(DeleteFirstCharacter); },
       {" One", " Two"},
       true,
       lines},
      {"two tools: the first one's result comes back",
       [](TTitleLines& t) {
         t.Apply(DeleteFirstCharacter);
         t.Apply(DeleteFirstCharacter);
       },
       {"One", "Two"},
       true,
       {" One", " Two"}},
      {"lines set after a tool: the tool's copy comes back",
       [](TTitleLines& t) {
         t.Apply(DeleteFirstCharacter);
         t.SetLines({"x"});
       },
       {"x"},
       true,
       lines},
      {"a question before the change",
       [](TTitleLines& t) {
         t.SaveUndo();
         t.SetLines(AddMark(t.UndoList(), "."));
       },
       {".1 One", ".2 Two"},
       true,
       lines},
      {"undone: a second undo leaves no lines",
       [](TTitleLines& t) {
         t.Apply(DeleteFirstCharacter);
         t.Undo();
       },
       lines,
       false,
       {}},
      {"no tool: nothing to undo", [](TTitleLines&) {}, lines, false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTitleLines titles;
    titles.SetLines(lines);
    c.Change(titles);
    EXPECT_EQ(titles.Lines(), c.Lines);
    EXPECT_EQ(titles.CanUndo(), c.CanUndo);
    titles.Undo();
    EXPECT_EQ(titles.Lines(), c.Undone);
    EXPECT_FALSE(titles.CanUndo());
  }
}

// Each file of a rename by the title list: renamed (the list follows), left alone, refused, or
// failed with its reason; a dry run renames nothing and fails where the name is taken.
TEST(WorkspaceTest, RenamesGiveOneOutcomeEachAndTheListFollows) {
  const struct {
    const char* Name;
    QString Line;
    bool Vanished = false;  // the file went before the rename
    TRenameState State;
    int Error = 0;
    QByteArray After;  // the file's name in the list afterwards
  } cases[] = {
      {"renamed", "New", false, TRenameState::Renamed, 0, "New.mp3"},
      {"same name", "Same", false, TRenameState::Renamed, 0, "Same.mp3"},
      {"empty line", "", false, TRenameState::Kept, 0, "f.mp3"},
      {"separator", "a/b", false, TRenameState::Refused, 0, "f.mp3"},
      {"taken", "Taken", false, TRenameState::Failed, EEXIST, "f.mp3"},
      {"vanished", "Gone", true, TRenameState::Failed, ENOENT, "f.mp3"},
  };
  for (const bool dryRun : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + (dryRun ? ", dry run" : ""));
      TByteTempDir dir;
      TWorkspace workspace;
      const QByteArray name = c.Line == "Same" ? "Same.mp3" : "f.mp3";
      ListFiles(workspace, dir, {"first.mp3", name});
      WriteFile(dir.Path("Taken.mp3"), "taken");
      if (c.Vanished) {
        ASSERT_EQ(::unlink(dir.Path(name).constData()), 0);
      }
      const QList<TRenameOrder> orders =
          RenameOrders(PlanRenames(workspace.Files().Paths(), {"", c.Line}));
      const QList<TRenameOutcome> outcomes = workspace.ApplyRenames(orders, dryRun);

      ASSERT_EQ(outcomes.size(), 2);
      EXPECT_EQ(outcomes[0].State, TRenameState::Kept);
      // A dry run does not see that the file vanished: the rename would be tried.
      const bool triedDry = dryRun && c.Vanished;
      EXPECT_EQ(outcomes[1].State, triedDry ? TRenameState::Renamed : c.State);
      EXPECT_EQ(outcomes[1].Error, triedDry ? 0 : c.Error);
      if (c.State == TRenameState::Failed && !triedDry) {
        EXPECT_EQ(outcomes[1].Reason, RenameErrorText(c.Error));
      }
      if (c.State == TRenameState::Refused) {
        EXPECT_EQ(outcomes[1].Reason, NameProblemText(TNameProblem::Separator));
      }
      const QByteArray after = dryRun ? name : c.After;
      EXPECT_EQ(workspace.Files().Path(1), dir.Path(after));
      EXPECT_EQ(workspace.Files().Caption(1), QString::fromUtf8(after));
      EXPECT_EQ(Exists(dir.Path(after)), !c.Vanished);
      EXPECT_EQ(ReadFile(dir.Path("Taken.mp3")), "taken");
    }
  }
}

TEST(WorkspaceTest, TheListKeepsItsOrderAndTotals) {
  TFileListing files;
  files.Append({"/m/b.mp3", QString(), 10, {}});
  files.Append({{"/m/a.mp3", "a.mp3", 20, {}}});
  EXPECT_EQ(files.Paths(), (QList<QByteArray>{"/m/b.mp3", "/m/a.mp3"}));  // as given
  files.AddSorted({{"/n/d.mp3", "d.mp3", 300, {}}, {"/n/c.mp3", "c.mp3", 4000, {}}});
  EXPECT_EQ(files.Paths(), (QList<QByteArray>{"/m/a.mp3", "/m/b.mp3", "/n/c.mp3", "/n/d.mp3"}));
  EXPECT_EQ(files.Count(), 4);
  EXPECT_EQ(files.TotalSize(), 4330);
  files.Remove({3, 0});
  EXPECT_EQ(files.Paths(), (QList<QByteArray>{"/m/b.mp3", "/n/c.mp3"}));
  EXPECT_EQ(files.TotalSize(), 4010);
  files.SetPath(1, "/m/e.mp3");
  EXPECT_EQ(files.Caption(1), QStringLiteral("e.mp3"));
  EXPECT_EQ(files.TotalSize(), 4010);
  files.Clear();
  EXPECT_EQ(files.Count(), 0);
  EXPECT_EQ(files.TotalSize(), 0);
}

// A file whose new content waits for the pass's commit while a folder takes its name: the commit
// fails for it alone, and the reason says what the name is now.
TEST(WorkspaceTest, AFileWhoseCommitFailsIsNamedWithItsReason) {
  TByteTempDir dir;
  TWorkspace workspace;
  ListFiles(workspace, dir, {"a.mp3", "b.mp3", "c.mp3"});
  const TPassResult result = workspace.RunPass([&](int position, const QByteArray& path) {
    if (position == 1) {
      // a.mp3 waits for the commit: a folder takes its name.
      EXPECT_EQ(::unlink(dir.Path("a.mp3").constData()), 0);
      MakeFolder(dir.Path("a.mp3"));
      WriteFile(dir.Path("a.mp3/inside"));
    }
    return WriteArtist(position, path);
  });
  using enum TPassState;
  EXPECT_EQ(StatesOf(result), (std::vector<TPassState>{CommitFailed, Done, Done}));
  const QString folder =
      QString::fromStdString(melotag::tags::ErrorText(melotag::tags::kNotRegularFile));
  EXPECT_EQ(result.Outcomes[0].Reason, folder);
  ASSERT_EQ(result.CommitFailures.size(), 1);
  EXPECT_EQ(result.CommitFailures[0].Path, dir.Path("a.mp3"));
  EXPECT_EQ(result.CommitFailures[0].Reason, folder);
  EXPECT_EQ(result.Done, 2);
  EXPECT_EQ(result.Failures(), 1);
}

// A received folder whose links lead in and out of it. The pass writes through a link a scan met
// only when it leads inside the folder scanned, as the link is at the moment of the write (a file
// turned into a link after the scan included); a link the user named is followed. The files out
// of the folder keep their bytes and their permissions, archive alone or not.
TEST(WorkspaceTest, APassWritesThroughALinkAScanMetOnlyInsideTheFolderScanned) {
  TByteTempDir dir;
  MakeFolder(dir.Path("album"));
  MakeFolder(dir.Path("album/sub"));
  for (const char* name :
       {"album/a.mp3", "album/sub/in.mp3", "album/swapped.mp3", "outside.mp3", "named.mp3"})
    WriteFile(dir.Path(name), kAudio);
  ASSERT_EQ(::chmod(dir.Path("outside.mp3").constData(), 0444), 0);
  const std::pair<const char*, const char*> links[] = {{"sub/in.mp3", "album/in.mp3"},
                                                       {"../outside.mp3", "album/out.mp3"},
                                                       {"../named.mp3", "album/named.mp3"}};
  for (const auto& [target, name] : links)
    ASSERT_EQ(::symlink(target, dir.Path(name).constData()), 0) << name;

  for (const bool makeWritable : {false, true}) {
    SCOPED_TRACE(makeWritable);
    TWorkspace workspace;
    TScanResult scan = ScanFolder(dir.Path("album"), makeWritable);
    SortByCaption(scan.Files);
    for (TFileEntry& entry : scan.Files)
      if (entry.Path != dir.Path("album/named.mp3")) workspace.Files().Append(entry);
    // Named by the user: listed without a scan.
    workspace.Files().Append({dir.Path("album/named.mp3"), QString(), kAudio.size(), {}});
    // After the scan, swapped.mp3 becomes a link out of the album.
    ASSERT_EQ(::unlink(dir.Path("album/swapped.mp3").constData()), 0);
    ASSERT_EQ(::symlink("../outside.mp3", dir.Path("album/swapped.mp3").constData()), 0);

    TPassOptions options;
    options.MakeWritable = makeWritable;
    options.ReadOnly = [](int, const QByteArray& path) -> TReadOnlyAnswer {
      ADD_FAILURE() << "asked about " << path.constData();
      return TReadOnlyAnswer::Write;
    };
    QList<QByteArray> stepped;
    const TPassResult result = workspace.RunPass(
        [&](int position, const QByteArray& path) {
          stepped.append(FileNamePart(path));
          return WriteArtist(position, path);
        },
        options);

    using enum TPassState;
    const QList<QByteArray> names = {"a.mp3", "in.mp3", "out.mp3", "swapped.mp3", "named.mp3"};
    const std::vector<TPassState> states = {Done, Done, Refused, Refused, Done};
    ASSERT_EQ(workspace.Files().Count(), names.size());
    for (int i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i].constData());
      EXPECT_EQ(FileNamePart(workspace.Files().Path(i)), names[i]);
      EXPECT_EQ(result.Outcomes[i].State, states[size_t(i)]);
      EXPECT_EQ(result.Outcomes[i].Reason,
                states[size_t(i)] == Refused ? QString::fromLatin1(kLinkOutsideText) : QString());
    }
    EXPECT_EQ(stepped, (QList<QByteArray>{"a.mp3", "in.mp3", "named.mp3"}));
    EXPECT_EQ(result.Failures(), 2);
    EXPECT_EQ(ReadFile(dir.Path("outside.mp3")), kAudio);
    struct stat status;
    ASSERT_EQ(::stat(dir.Path("outside.mp3").constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
    EXPECT_NE(ReadFile(dir.Path("album/sub/in.mp3")), kAudio);
    EXPECT_NE(ReadFile(dir.Path("named.mp3")), kAudio);
    // Next round: swapped.mp3 a file again, the others as they were made.
    ASSERT_EQ(::unlink(dir.Path("album/swapped.mp3").constData()), 0);
    WriteFile(dir.Path("album/swapped.mp3"), kAudio);
  }
}
