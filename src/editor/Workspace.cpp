#include "Workspace.h"

#include <QHash>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

#include "CommitGroup.h"
#include "FilePath.h"
#include "TagError.h"
#include "TagText.h"

namespace melotag::editor {

// --- The listed files

QString TFileListing::Caption(int index) const {
  const TFileEntry& entry = FEntries[index];
  return entry.Caption.isEmpty() ? NameCaption(FileNamePart(entry.Path)) : entry.Caption;
}

QList<QByteArray> TFileListing::Paths() const {
  QList<QByteArray> paths;
  paths.reserve(FEntries.size());
  for (const TFileEntry& entry : FEntries) paths.append(entry.Path);
  return paths;
}

QList<QByteArray> TFileListing::ScanRoots() const {
  QList<QByteArray> roots;
  roots.reserve(FEntries.size());
  for (const TFileEntry& entry : FEntries) roots.append(entry.ScanRoot);
  return roots;
}

void TFileListing::Append(TFileEntry entry) {
  FTotalSize += entry.Size;
  FEntries.append(std::move(entry));
}

void TFileListing::Append(const QList<TFileEntry>& entries) {
  for (const TFileEntry& entry : entries) FTotalSize += entry.Size;
  FEntries.append(entries);
}

void TFileListing::AddSorted(const QList<TFileEntry>& entries) {
  Append(entries);
  for (TFileEntry& entry : FEntries)
    if (entry.Caption.isEmpty()) entry.Caption = NameCaption(FileNamePart(entry.Path));
  SortByCaption(FEntries);
}

void TFileListing::Remove(QList<int> positions) {
  // From the last, so that the positions still to go stay where they were.
  std::sort(positions.begin(), positions.end(), std::greater<>());
  for (const int position : positions) {
    FTotalSize -= FEntries[position].Size;
    FEntries.removeAt(position);
  }
}

void TFileListing::Clear() {
  FEntries.clear();
  FTotalSize = 0;
}

void TFileListing::SetPath(int index, const QByteArray& path) {
  TFileEntry& entry = FEntries[index];
  entry.Path = path;
  if (!entry.Caption.isEmpty()) entry.Caption = NameCaption(FileNamePart(path));
}

// --- The title lines

void TTitleLines::Apply(const std::function<QStringList(const QStringList&)>& tool) {
  SaveUndo();
  FLines = tool(FUndo);
}

void TTitleLines::Undo() {
  FLines = std::move(FUndo);
  FUndo.clear();
}

// --- A pass over the listed files

int TPassResult::Failures() const {
  return int(std::count_if(Outcomes.begin(), Outcomes.end(), [](const TFileOutcome& outcome) {
    return outcome.State == TPassState::Failed || outcome.State == TPassState::CommitFailed ||
           outcome.State == TPassState::ReadOnly || outcome.State == TPassState::Refused;
  }));
}

namespace {

// The commit's failures given to the outcomes of the files they name (every position of a file
// listed twice).
void NoteCommitFailures(const TFileListing& files, const std::vector<std::string>& failed,
                        TPassResult& result) {
  if (failed.empty()) return;
  QHash<QByteArray, QList<int>> positions;
  for (int i = 0; i < files.Count(); ++i) positions[files.Path(i)].append(i);
  for (const std::string& name : failed) {
    const QByteArray path = QByteArray::fromStdString(name);
    const QString reason = TagFailureText(path);
    result.CommitFailures.append({path, reason});
    for (const int i : positions.value(path)) {
      TFileOutcome& outcome = result.Outcomes[i];
      if (outcome.State == TPassState::Done) --result.Done;
      outcome.State = TPassState::CommitFailed;
      outcome.Reason = reason;
    }
  }
}

}  // namespace

TPassResult TWorkspace::RunPass(const TPassWork& work, const TPassOptions& options) const {
  const int count = FFiles.Count();
  TPassResult result;
  result.Outcomes.resize(count);
  // The files of the pass reach the disk together: one flush for the pass, not one each.
  melotag::tags::TCommitGroup group(melotag::tags::CommitCapacity(size_t(count)));
  bool writeAll = false;
  for (int i = 0; i < count; ++i) {
    const QByteArray& path = FFiles.Path(i);
    TFileOutcome& outcome = result.Outcomes[i];
    if (!MayWriteThrough(path, FFiles.ScanRoot(i))) {
      outcome.State = TPassState::Refused;
      outcome.Reason = QString::fromLatin1(kLinkOutsideText);
      if (options.Progress) options.Progress(i, count, path);
      continue;
    }
    if (!options.MakeWritable && !writeAll && options.ReadOnly && IsReadOnlyFile(path)) {
      const TReadOnlyAnswer answer = options.ReadOnly(i, path);
      if (answer == TReadOnlyAnswer::Skip || answer == TReadOnlyAnswer::Stop) {
        melotag::tags::ClearError();
        outcome.State = TPassState::ReadOnly;
        outcome.Reason = TagFailureText(path, QStringLiteral("the file is read-only"));
        if (answer == TReadOnlyAnswer::Stop) {
          result.Stopped = true;
          break;
        }
        if (options.Progress) options.Progress(i, count, path);
        continue;
      }
      if (answer == TReadOnlyAnswer::Write) SetArchiveOnly(path);
      writeAll = answer == TReadOnlyAnswer::WriteAll;
    }
    if (options.MakeWritable || writeAll) SetArchiveOnly(path);
    melotag::tags::ClearError();
    TPassStep step;
    // A file that takes more memory than there is fails alone; the pass goes on.
    if (const QString failure = CatchAllocationFailure(path, [&] { step = work(i, path); });
        !failure.isEmpty())
      step = {false, 0, failure};
    result.Dropped += step.Dropped;
    outcome.Dropped = step.Dropped;
    if (!step.Failure.isEmpty()) {
      outcome.State = TPassState::Failed;
      outcome.Reason = std::move(step.Failure);
    } else {
      outcome.State = step.Done ? TPassState::Done : TPassState::Unchanged;
      result.Done += step.Done;
    }
    if (options.Progress) options.Progress(i, count, path);
  }
  melotag::tags::ClearError();
  NoteCommitFailures(FFiles, group.Flush(), result);
  return result;
}

// --- Renames of the listed files

QList<TRenameOrder> RenameOrders(const QList<TRenameStep>& steps) {
  QList<TRenameOrder> orders;
  orders.reserve(steps.size());
  for (const TRenameStep& step : steps)
    orders.append({step.OldPath, step.NewPath, NameProblemText(step.Problem)});
  return orders;
}

QList<TRenameOrder> RenameOrders(const QList<TNameFromTags>& steps) {
  QList<TRenameOrder> orders;
  orders.reserve(steps.size());
  for (const TNameFromTags& step : steps) orders.append({step.OldPath, step.NewPath, step.Problem});
  return orders;
}

namespace {

// Something of that name, a dangling link included.
bool Exists(const QByteArray& path) {
  struct stat status;
  return ::lstat(path.constData(), &status) == 0;
}

}  // namespace

QList<TRenameOutcome> TWorkspace::ApplyRenames(const QList<TRenameOrder>& orders, bool dryRun,
                                               const TPassProgress& progress) {
  QList<TRenameOutcome> outcomes(orders.size());
  const int count = int(orders.size());
  for (int i = 0; i < count; ++i) {
    const TRenameOrder& order = orders[i];
    TRenameOutcome& outcome = outcomes[i];
    if (order.NewPath.isEmpty()) {
      outcome.State = order.Problem.isEmpty() ? TRenameState::Kept : TRenameState::Refused;
      outcome.Reason = order.Problem;
    } else {
      int error = 0;
      if (!dryRun)
        error = RenameNoReplace(order.OldPath, order.NewPath);
      else if (order.NewPath != order.OldPath && Exists(order.NewPath))
        error = EEXIST;
      if (error != 0) {
        outcome.State = TRenameState::Failed;
        outcome.Error = error;
        outcome.Reason = RenameErrorText(error);
      } else {
        outcome.State = TRenameState::Renamed;
        if (!dryRun && i < FFiles.Count() && FFiles.Path(i) == order.OldPath)
          FFiles.SetPath(i, order.NewPath);
      }
    }
    if (progress) progress(i, count, order.OldPath);
  }
  return outcomes;
}

}  // namespace melotag::editor
