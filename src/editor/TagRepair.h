// The repair of tags written in a legacy code page: the texts of a file's ID3v2 frames (and of its
// ID3v1 trailer) stored as code-page bytes are read through a chosen or guessed code page and
// written back as UTF-16, with everything else the tag holds kept; and the undo of a pass.
//
// What a repair writes: the old tag in its version (a 2.2 tag becomes 2.3) holding its frames in
// their order, each text frame (T..., TXXX, COMM, USLT) whose text is code-page bytes with
// characters above ASCII replaced by the same frame in UTF-16, through the editor's one tag
// writer (in place where it fits). Values of the ID3v1 trailer the
// ID3v2 tag lacks (title, artist, album, track, year, genre, comment) are added to it, so a player
// that prefers the ID3v2 tag still shows them; the trailer itself is left as it is.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace melotag::editor {

// One text the repair writes.
struct TRepairText {
  QString Field;        // "Title", "Comment", "TCOM" ...; "Title (ID3v1)" for a trailer value
  std::string Bytes;    // as stored: code-page bytes (strings of a frame apart by zero bytes)
  bool Legacy = false;  // holds bytes above 0x7F: read through the code page
};

// The legacy texts of one file.
struct TTagRepairFile {
  QByteArray Path;
  QString Problem;                 // why the file cannot be repaired; empty when it can
  std::vector<TRepairText> Texts;  // empty: nothing to repair
};
// Reads the file's tags. A file with nothing in a legacy code page gives no texts; a damaged
// ID3v2 tag, one of another version than 2.2, 2.3 or 2.4, or a file that cannot be read gives a
// Problem.
TTagRepairFile ReadLegacyTags(const QByteArray& path);

// The code page the file is read with: `choice` itself, or for kGuessCodePage the guess from the
// file's legacy texts.
int CodePageFor(const TTagRepairFile& file, int choice);
// The text as the repair writes it; none when the code page cannot decode it (the repair then
// leaves that text as it is).
std::optional<QString> RepairedText(const TRepairText& text, int codePage);

// The old tags of a pass (a repair, tags from file names), kept for its undo in an unnamed
// temporary file, so a pass over many files with large pictures does not hold them in memory.
class TTagRepairUndo {
 public:
  TTagRepairUndo() = default;
  ~TTagRepairUndo();
  TTagRepairUndo(const TTagRepairUndo&) = delete;
  TTagRepairUndo& operator=(const TTagRepairUndo&) = delete;

  bool Empty() const { return FEntries.empty(); }
  int Count() const { return static_cast<int>(FEntries.size()); }
  // The files whose tags are kept (a file with both tags kept counts once).
  int Files() const;
  // Makes the temporary file the old tags go to; false when the system gives none.
  bool Ready();
  // Keeps the old tag (empty: the file had none) of a file a repair gives the new tag; false
  // when it cannot be kept.
  bool Keep(const QByteArray& path, std::string_view oldTag, std::string_view newTag);
  // Keeps the old ID3v1 trailer (empty: the file had none) of a file a pass gave `newTrailer`.
  bool KeepTrailer(const QByteArray& path, std::string_view oldTrailer,
                   std::string_view newTrailer);
  // Writes the old tags back byte for byte, last file first, and then forgets them. A file whose
  // tag is no longer the one the pass wrote (changed since) is left alone and named in
  // `changed`; one that could not be written is named in `failed`. Inside a
  // melotag::tags::TCommitGroup the files wait for the group's commit (trailers are put back
  // first).
  void Undo(std::vector<QByteArray>& changed, std::vector<QByteArray>& failed);
  // Forgets everything kept.
  void Clear();

 private:
  struct TEntry {
    QByteArray Path;
    bool HadTag = false;
    int64_t Offset = 0;  // of the old tag in the temporary file
    int64_t Size = 0;
    uint64_t NewHash = 0;  // of the tag the pass wrote
    int64_t NewSize = 0;
    bool Trailer = false;  // an ID3v1 trailer: the store holds the old one, then the new one
  };
  // Appends the bytes to the store; false when they cannot be kept.
  bool Store(std::string_view bytes);
  // `size` bytes of the store at `offset`.
  bool Stored(int64_t offset, int64_t size, std::string& bytes);
  void UndoTrailer(const TEntry& entry, std::vector<QByteArray>& changed,
                   std::vector<QByteArray>& failed);
  std::FILE* FStore = nullptr;
  int64_t FStoreSize = 0;
  std::vector<TEntry> FEntries;
};

enum class TRepairOutcome {
  Repaired,  // written
  Nothing,   // nothing to repair (or nothing the code page could decode)
  Failed,    // the file is as it was
};
struct TRepairResult {
  TRepairOutcome Outcome = TRepairOutcome::Failed;
  int Dropped = 0;  // frames of a 2.2 tag without a place in 2.3
};
// Repairs the file's tags with the code page (not kGuessCodePage: the caller decides per file).
// The old tag is read, and the new one written, under the writers' lock; the old tag goes into
// `undo`. Inside a melotag::tags::TCommitGroup the file waits for the group's commit.
TRepairResult RepairTags(const QByteArray& path, int codePage, TTagRepairUndo& undo);

}  // namespace melotag::editor
