// The journals of in-place writes, as the program meets them in a folder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace melotag::tags {

// In-place writes made atomic by a journal. Before a region of a file is overwritten, its old
// bytes, with the place, the file's identity and a checksum of the new bytes, are in a journal
// beside the file: ".<name>.melotag-journal", made under no name and linked to that one only
// once it is complete, and flushed with its folder. Then the region is overwritten and flushed,
// and the journal goes. A journal left by a crash is found by whoever next opens the file
// (TFile::Open) or lists its folder, and the file is rolled forward (the new bytes are all there:
// the journal goes) or back (the old bytes are written again), under the writers' lock.

// The most bytes a region written in place may have: a larger one is written through a new file
// (its journal would be larger than recovery trusts).
inline constexpr int64_t kMostInPlace = int64_t{64} << 20;

// The journal's name beside a file ("dir/.song.mp3.melotag-journal"), and the name of the journal
// a commit group makes for all its files in one folder ("dir/.melotag-journal").
std::string JournalPath(const std::string& path);
std::string FolderJournalPath(const std::string& path);
// True for a name that is a journal's (".x.melotag-journal", ".melotag-journal").
bool IsJournalName(const std::string& name);
// Recovers the files of a journal left by a crash, each under its writers' lock (the file of
// `lockedName` through `lockedFd`, which holds its lock already; the others waited for at most
// LockWaitLimit()), then removes the journal. False when the journal is there afterwards.
// A journal is a folder's input: it is trusted only as a regular file (not a link) of this user
// (or root), that no one else may change, no larger than a pass writes, and naming files of its
// own folder only (opened there, never through a link). Each file must be the one journaled
// (device, inode, its size before or after the write) and its region hold the old or the new
// bytes, sector by sector; else nothing is written into it. A journal that is not trusted, or
// cannot be applied, stays and is named once a run through the notice below.
bool RecoverJournal(const std::string& journalPath, int lockedFd = -1,
                    const std::string& lockedName = {});

// Told once a run for each journal left alone: its path and why. Setting it starts a run.
using TJournalNotice =
    std::function<void(const std::string& journalPath, const std::string& reason)>;
void SetJournalNotice(TJournalNotice notice);
// "a crash journal could not be applied: PATH (reason)".
std::string JournalNoticeText(const std::string& journalPath, const std::string& reason);

}  // namespace melotag::tags
