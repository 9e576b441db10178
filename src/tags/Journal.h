// The journals of in-place writes, as the program meets them in a folder.
#pragma once

#include <string>

namespace melotag::tags {

// In-place writes made atomic by a journal. Before a region of a file is overwritten, its old
// bytes, with the place, the file's identity and a checksum of the new bytes, are in a journal
// beside the file: ".<name>.melotag-journal", made under no name and linked to that one only
// once it is complete, and flushed with its folder. Then the region is overwritten and flushed,
// and the journal goes. A journal left by a crash is found by whoever next opens the file
// (TFile::Open) or lists its folder, and the file is rolled forward (the new bytes are all there:
// the journal goes) or back (the old bytes are written again), under the writers' lock.

// The journal's name beside a file ("dir/.song.mp3.melotag-journal"), and the name of the journal
// a commit group makes for all its files in one folder ("dir/.melotag-journal").
std::string JournalPath(const std::string& path);
std::string FolderJournalPath(const std::string& path);
// True for a name that is a journal's (".x.melotag-journal", ".melotag-journal").
bool IsJournalName(const std::string& name);
// Recovers the files of a journal left by a crash, each under its writers' lock (the file of
// `lockedName` through `lockedFd`, which holds its lock already), then removes the journal; a
// file of that name that is no journal of ours stays. False when the journal is there afterwards.
bool RecoverJournal(const std::string& journalPath, int lockedFd = -1,
                    const std::string& lockedName = {});

}  // namespace melotag::tags
