// The editor's workspace without widgets: the listed files in their order with their totals, the
// title lines with their one-level undo, the pass over the listed files (one commit group, the
// read-only question, the progress, one outcome per file) and the renames of listed files. The
// window shows it; melotag-cli drives it.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "FileNames.h"
#include "NamePattern.h"
#include "RenamePlan.h"

namespace melotag::editor {

// --- The listed files

// The files of the list in their order: each the exact bytes of its path, the caption of its
// name and its size; the count and the bytes of them all.
class TFileListing {
 public:
  int Count() const { return int(FEntries.size()); }
  qint64 TotalSize() const { return FTotalSize; }
  const QByteArray& Path(int index) const { return FEntries[index].Path; }
  qint64 Size(int index) const { return FEntries[index].Size; }
  // The folder chosen for the scan that listed the file; empty for a file the user named.
  const QByteArray& ScanRoot(int index) const { return FEntries[index].ScanRoot; }
  QList<QByteArray> ScanRoots() const;
  // The caption of the file's name (made from the path when it was listed without one).
  QString Caption(int index) const;
  QList<QByteArray> Paths() const;

  // Lists the files after the listed ones, in the order given (a command line's operands). An
  // entry may come without its caption: it is made when asked for.
  void Append(TFileEntry entry);
  void Append(const QList<TFileEntry>& entries);
  // Lists the files and keeps the whole list in the order of their captions (SortByCaption:
  // files of equal captions keep their order), as the window's list shows them.
  void AddSorted(const QList<TFileEntry>& entries);
  // Takes the files at these positions (any order; each once) out of the list and their sizes
  // out of the total.
  void Remove(QList<int> positions);
  void Clear();
  // The file at `index` got a new path (a rename): its caption follows, its size and its scan's
  // root stay.
  void SetPath(int index, const QByteArray& path);

 private:
  QList<TFileEntry> FEntries;
  qint64 FTotalSize = 0;
};

// --- The title lines

// The title list's lines, paired line by line with the listed files, and the copy of them taken
// before the last tool that saves one (the one-level undo).
class TTitleLines {
 public:
  const QStringList& Lines() const { return FLines; }
  int Count() const { return int(FLines.size()); }
  // Line `index` (from 0); empty past the last line.
  QString Line(int index) const { return FLines.value(index); }
  // Replaces the lines without saving the undo copy (a list read from a file, titles of names).
  void SetLines(QStringList lines) { FLines = std::move(lines); }
  void Append(const QString& line) { FLines.append(line); }

  // Saves the undo copy, then replaces the lines by what `tool` makes of them.
  void Apply(const std::function<QStringList(const QStringList&)>& tool);
  // Saves the undo copy of the lines as they are (a tool that asks the user before it changes
  // them).
  void SaveUndo() { FUndo = FLines; }
  // An undo copy with at least one line is there.
  bool CanUndo() const { return !FUndo.isEmpty(); }
  const QStringList& UndoList() const { return FUndo; }
  // Forgets the undo copy: nothing to undo.
  void ClearUndo() { FUndo.clear(); }
  // The lines become the undo copy, which is emptied: a second undo leaves no lines.
  void Undo();

 private:
  QStringList FLines;
  QStringList FUndo;
};

// --- A pass over the listed files

// What a pass does with a file IsReadOnlyFile finds read-only (a vanished one too) before its
// step.
enum class TReadOnlyAnswer {
  AsItIs,    // steps it as it is (the tag classes give the owner write permission themselves)
  Write,     // gives it the owner's write permission ("archive alone"), then steps it
  WriteAll,  // the same, and every later file of the pass gets it without a question
  Skip,      // leaves it alone (its outcome: ReadOnly), the pass goes on
  Stop,      // leaves it and the rest alone (ReadOnly, then NotReached): the pass ends
};
// position in the list, the file's path.
using TReadOnlyQuestion = std::function<TReadOnlyAnswer(int, const QByteArray&)>;
// After each file the pass reached: its position, the number of files, its path.
using TPassProgress = std::function<void(int, int, const QByteArray&)>;

struct TPassOptions {
  // Asked for each read-only file; none: no file is checked (nor asked about).
  TReadOnlyQuestion ReadOnly;
  // Every file gets the owner's write permission before its step, without a check or a question
  // (the window's "archive" box).
  bool MakeWritable = false;
  TPassProgress Progress;
};

// What the step of a pass did with one file: whether it changed it, the frames it dropped, why
// it failed (empty when it did not).
struct TPassStep {
  bool Done = false;
  int Dropped = 0;
  QString Failure;
};
// position in the list, the file's path.
using TPassWork = std::function<TPassStep(int, const QByteArray&)>;

enum class TPassState {
  NotReached,    // the pass ended before the file
  Done,          // changed (and committed)
  Unchanged,     // the step left it as it was
  Failed,        // the step failed: Reason is its Failure
  CommitFailed,  // changed, but the commit failed: it stays as it was; Reason is the system's
  ReadOnly,      // left alone as read-only (Skip, Stop): Reason says why
  Refused,       // a scan met it through a link that leads out of the folder scanned: left alone
                 // before its step (no question, no permission changed); Reason is
                 // kLinkOutsideText
};
struct TFileOutcome {
  TPassState State = TPassState::NotReached;
  int Dropped = 0;
  QString Reason;
};
struct TCommitFailure {
  QByteArray Path;
  QString Reason;  // the system's (TagFailureText)
};
struct TPassResult {
  QList<TFileOutcome> Outcomes;  // one a listed file, in list order
  int Done = 0;                  // files changed and committed
  int Dropped = 0;               // frames dropped, by all the steps
  bool Stopped = false;          // a Stop ended the pass
  // The files whose commit failed, as the commit group named them (in its order).
  QList<TCommitFailure> CommitFailures;
  // The files left as they were against the pass's wish: Failed, CommitFailed, ReadOnly or
  // Refused.
  int Failures() const;
};

// --- Renames of the listed files

// One rename of a listed file: its path now, the path it gets (empty: it keeps its name) and why
// it keeps it (empty: silently).
struct TRenameOrder {
  QByteArray OldPath;
  QByteArray NewPath;
  QString Problem;
};
QList<TRenameOrder> RenameOrders(const QList<TRenameStep>& steps);
QList<TRenameOrder> RenameOrders(const QList<TNameFromTags>& steps);

enum class TRenameState {
  Renamed,  // done (a dry run: would be done)
  Kept,     // no new name, no problem: left alone silently
  Refused,  // no new name: Reason is the problem
  Failed,   // the rename failed: Reason and Error say why (EEXIST: the name is taken)
};
struct TRenameOutcome {
  TRenameState State = TRenameState::Kept;
  QString Reason;
  int Error = 0;
};

// --- The workspace

class TWorkspace {
 public:
  TFileListing& Files() { return FFiles; }
  const TFileListing& Files() const { return FFiles; }
  TTitleLines& Titles() { return FTitles; }
  const TTitleLines& Titles() const { return FTitles; }

  // Runs `work` on every listed file in list order, each after the read-only handling of
  // `options`, with the thread's last tag error cleared before it. A file a scan listed is first
  // checked against its scan's root (MayWriteThrough, at the moment of its step): one outside is
  // Refused. A step that runs out of memory fails for its file (CatchAllocationFailure) and the
  // pass goes on. The files the steps rebuild
  // wait in one melotag::tags::TCommitGroup, as many as the file descriptors allow
  // (melotag::tags::CommitCapacity), so that the disk is synced once for the pass; it is committed
  // at the end (a Stop included), and a file whose commit fails becomes CommitFailed with the
  // system's reason (TagFailureText).
  TPassResult RunPass(const TPassWork& work, const TPassOptions& options = {}) const;

  // Carries the orders out in their order (RenameNoReplace: never over an existing file); the
  // listed file i, when order i renamed it, gets its new path in the list. `dryRun`: nothing is
  // renamed, an order fails only when a file of its new name exists. `progress` after each order.
  QList<TRenameOutcome> ApplyRenames(const QList<TRenameOrder>& orders, bool dryRun = false,
                                     const TPassProgress& progress = {});

 private:
  TFileListing FFiles;
  TTitleLines FTitles;
};

}  // namespace melotag::editor
