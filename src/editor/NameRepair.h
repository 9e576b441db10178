// Repairing legacy file names: names written in a code page such as Big5, GBK or Shift-JIS on an
// old system, which are not valid UTF-8, renamed to the same name written as UTF-8, in the same
// folder, and renamed back on request.
//
// A name is read with the chosen code page, or with the code page GuessCodePage gives (the choice
// kGuessCodePage) for the name together with what was written on the same system: a file's name
// with the legacy texts of its tags, a folder's name with the legacy names of the listed files in
// it; a short name alone often reads as common characters in more than one code page. A file
// whose name reads as its tag's Unicode title (after a tag repair) in a code page takes that one. A
// step whose name the code page cannot decode, or whose decoded name is unusable (NameProblem: "/",
// a zero byte, "." or ".."), keeps an empty NewPath: the preview shows it, a pass leaves it out.
// Nothing is ever replaced: when two legacy names give the same UTF-8 name, or the UTF-8 name
// exists already, that rename fails with EEXIST; a UTF-8 name over the system's limit (255 bytes)
// fails with ENAMETOOLONG. Both are reported, not hidden.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "RenamePlan.h"

namespace melotag::editor {

// One rename of a legacy name to its UTF-8 name, in the same folder.
struct TNameRepair {
  QByteArray OldPath;   // the file or folder as it is named now
  QByteArray NewPath;   // the same folder, the name decoded and written as UTF-8; empty when the
                        // code page cannot decode the name (or the name it gives is unusable)
  int CodePage = 0;     // the code page the name was read with (the chosen one or the guess)
  bool Folder = false;  // a folder of listed files rather than a file
  // Why a decoded name is unusable (NewPath is then empty). None with an empty NewPath: the code
  // page has no character for a byte sequence of the name.
  TNameProblem Problem = TNameProblem::None;
};

// The repairs for the listed files whose names are not valid UTF-8, in list order (a path listed
// twice gives one step); with `folders`, then the folders of listed files (the folder each file is
// directly in) whose own name (last component only) is not UTF-8, each once, the deeper ones first
// so that every OldPath still names its folder when its turn comes. `choice` is a code page of
// LegacyCodePages() or kGuessCodePage (a guess per name). A name that would stay the same is left
// out. Throws Exception when the system has no converter for a code page.
QList<TNameRepair> PlanNameRepairs(const QList<QByteArray>& paths, int choice, bool folders);

// The preview of a step: the name as the list shows it now (NameCaption of the last component of
// OldPath, so under the system's code page), and the name it gets (the last component of NewPath,
// UTF-8; empty when there is none).
QString OldName(const TNameRepair& step);
QString NewName(const TNameRepair& step);

// What a pass did: the renames done, in the order done, and each one that failed with its errno.
struct TNameRepairResult {
  QList<TNameRepair> Done;
  QList<QPair<TNameRepair, int>> Failed;
};

// Carries the plan out in order with RenameNoReplace (never over an existing file, never out of
// the folder); steps with an empty NewPath are left out (not failures). A folder's rename comes
// after the renames of the files inside it, as PlanNameRepairs orders them.
TNameRepairResult ApplyNameRepairs(const QList<TNameRepair>& plan);

// A line for each failed rename: "old name -> new name: the reason".
QStringList FailureLines(const TNameRepairResult& result);

// Renames what a pass did back, in reverse order (each Done step NewPath -> OldPath), never over
// an existing file. The result holds the renames as done: each step turned round (its OldPath is
// the repaired path, its NewPath the legacy one), so PathsAfter gives the paths after the undo, and
// Failed holds the steps as given.
TNameRepairResult UndoNameRepairs(const QList<TNameRepair>& done);

// The listed paths after the renames done (a renamed file, and every file inside a renamed folder,
// gets its new path; others stay), in the same order.
QList<QByteArray> PathsAfter(const QList<QByteArray>& paths, const QList<TNameRepair>& done);

}  // namespace melotag::editor
