// The new content of a file written beside it and renamed over it. For the rebuild of the tag
// classes and the commit group.
#pragma once

#include <string>

namespace melotag::tags {

class TFile;

// The new content of a file, written beside it, that takes the file's name only when it is
// complete on disk. While it is written it has no name (O_TMPFILE); where the file system has
// no unnamed files it has a unique hidden name (".<name>.melotag-XXXXXXXX") made for it alone.
// Nothing but what it created is ever removed; what is not committed is gone after the
// destructor (or, unnamed, after a crash).
class TReplacement {
 public:
  TReplacement() = default;
  ~TReplacement();
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;

  // Creates the new file in the folder of target (a path with no link at its end) with the
  // permission bits and, where permitted, the owner of original. False when the folder
  // refuses a new file.
  bool Create(const std::string& target, const TFile& original);
  int Fd() const { return FFd; }
  int Folder() const { return FFolder; }
  // Flushes the new file to disk, renames it over the target and flushes the folder. False
  // leaves the target as it was. `flushed`: the file system was synced since the content was
  // written, and the caller flushes the folder.
  bool Commit(bool flushed = false);

 private:
  bool CreateNamed();
  bool LinkToUniqueName();
  void Abandon();
  int FFolder = -1;
  int FFd = -1;
  std::string FTargetName;  // the target's name in FFolder
  std::string FName;        // the new file's name in FFolder; empty while it has none
};

}  // namespace melotag::tags
