// The one way the editor writes an ID3v2 tag: the old tag, read under the writers' lock, with
// the frames of the changed fields replaced and every other frame kept byte for byte, written
// back in the tag's own version and text convention. The panel, the batch passes, the
// command-line tool and the repairs all write through here.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ID3v2Frames.h"
#include "TagText.h"
#include "UnicodeTag.h"

namespace melotag::editor {

// The fields a write changes, each to its new value (an empty value removes the field's
// frames); a field left unset keeps its frames as they are. A track or disc takes "N", "N/M" or
// "/M" (ParseNumberPair; a value it refuses changes nothing, check RefusalOf first).
struct TID3v2Changes {
  TFieldValues Fields;
  std::optional<QByteArray> FrontCover;  // a JPEG or PNG image (PutFrontCover)
};

// The fields of `now` that differ from what the panel showed (`shown`).
TID3v2Changes ChangesBetween(const TFieldValues& shown, const TFieldValues& now);
// Every field of the panel, for a tag the panel did not show.
TID3v2Changes ChangesOf(const TFieldValues& fields);
// The fields a batch pass gives the file at list position `position`.
TID3v2Changes ChangesOf(const TBatchChoices& choices, const QString& titleLine, int position);

// The text encoding a tag's new texts take: the Unicode encoding its texts use (UTF-16 for 2.2
// and 2.3, the one most used for 2.4), or 0, code-page bytes, for a tag whose texts are all
// code-page bytes or that has none.
uint8_t TextConventionOf(const tags::TFrameTag& tag);

// True when the tag's code-page texts read best in another double-byte code page than the current
// one, every text decoding there (the legacy repair's guess): new texts then go as UTF-16, never
// as bytes of a second code page. A text broken in the current code page alone (read best as
// 1252) leaves the tag's convention as it is.
bool WrittenInAnotherCodePage(const tags::TFrameTag& tag);

// Replaces the frames of the changed fields in `tag` (a 2.2 tag's frames are 2.3 ones here):
// the frame a field is read from is replaced where it stands (its duplicates go), a new one
// follows the other fields' frames. A changed text takes the tag's convention (`encoding`), or
// UTF-16 where that is code-page bytes the code page cannot hold; a comment and the lyrics keep
// their language and description, a track or disc number its total ("4/12") and a total its
// number; a 2.4 year keeps the month and day of its recording time; a genre of the list is
// written by its name; a front cover replaces the tag's front cover (other pictures stay). A
// field whose frame already holds the new value stays byte for byte. True when a frame changed.
bool ApplyChanges(tags::TFrameTag& tag, const TID3v2Changes& changes, uint8_t encoding);

// Changes the frames of the file's tag as read under the writers' lock: `edit` gets the tag (no
// frames and Exists false for a file without one) and returns whether anything changed. The
// tag keeps its version (a 2.2 tag and a new one become 2.3) and its frames' bytes; frames that
// ran past their tag and 2.2 frames without a 2.3 form are dropped and counted. A tag of an
// unknown version, or one that cannot be read at all, is refused: Ok false, the file as it was.
using TFramesEdit = std::function<bool(tags::TFrameTag& tag)>;
// The old tag's bytes (header to footer) and the new tag's (without padding, or in the old room as
// laid out) of a write.
struct TWrittenTag {
  std::string Old;
  std::string New;
};
// The frames take the layout in the old tag's room that writes the fewest bytes
// (tags::FewestBytesLayout); `written->New` is the tag as laid out.
TWriteOutcome WriteFrames(const std::string& path, const TFramesEdit& edit,
                          TWrittenTag* written = nullptr);

// The changed fields written into the file's tag by WriteFrames in its convention
// (TextConventionOf; UTF-16 for code-page texts WrittenInAnotherCodePage); a file without a tag
// gets code-page texts, or UTF-16 ones with `unicodeNewTag`. `written` as WriteFrames gives it.
TWriteOutcome WriteID3v2Changes(const std::string& path, const TID3v2Changes& changes,
                                bool unicodeNewTag, TWrittenTag* written = nullptr);

// The one write of a file's ID3v2 tag. By default (KeepOtherFrames) WriteID3v2Changes. With the
// options unticked (Exact()) the tag becomes the seven-frame ID3v2.3 tag without padding: the old
// values, read under the writers' lock as the options read them (decoded with ReadUnicode,
// otherwise as the tag class reads them), with the given fields of the seven over them, written
// as BuildID3v2Tag writes them, a front cover after them. `written` only by default.
TWriteOutcome WriteID3v2(const std::string& path, const TID3v2Changes& changes,
                         const TUnicodeOptions& options, TWrittenTag* written = nullptr);

// One file of a batch pass: the pass's values over the file's old ones (SetBatchValues), written
// into its ID3v1 trailer, respectively its ID3v2 tag (WriteID3v2 with the ticked fields and the
// cover). False / Ok false when the file is missing or cannot be written; it is then as it was. A
// rebuilt file waits in the thread's melotag::tags::TCommitGroup, if there is one; texts and a
// picture are one write.
bool WriteBatchID3v1(const QByteArray& path, const TBatchChoices& choices, const QString& titleLine,
                     int position, bool exact, bool* keptTexts = nullptr);
TWriteOutcome WriteBatchID3v2(const QByteArray& path, const TBatchChoices& choices,
                              const QString& titleLine, int position,
                              const TUnicodeOptions& options);

}  // namespace melotag::editor
