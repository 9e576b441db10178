// Where the frames of a new ID3v2 tag go in the old tag's room, so that a write changes the fewest
// bytes of the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace melotag::tags {

// The spans [from, to) where two byte strings of one length differ, in order; spans fewer than
// `gap` equal bytes apart are one.
std::vector<std::pair<size_t, size_t>> ChangedSpans(std::string_view a, std::string_view b,
                                                    size_t gap);

// The bytes that a write of `newTag` (a version 2.3 or 2.4 tag without padding, as BuildTag makes
// it) over `oldTag` (the file's tag, header to the end of its padding) puts at the start of the
// file. Where the frames' order may change and the old tag is a plain one of the same version (no
// unsynchronisation, extended header or footer; zeros behind its frames), the frames the new tag
// keeps byte for byte stay where they are, the others go into the room that old frames left or
// behind the kept ones into the padding, and the result fills the old room: when that changes
// fewer bytes than the new tag in its own order would. Frames follow each other without gaps
// (zeros end them): a room that no frame fills exactly is taken by a changed version 2.3 text
// frame, in it or before it, as zeros behind its text, which that version tells readers to ignore
// (mutagen, TagLib and id3v2 do); small unchanged frames behind a room may move behind the others
// to make it fit. Every frame the write does not change keeps its bytes. Otherwise `newTag` as it
// is.
std::string FewestBytesLayout(std::string_view oldTag, std::string newTag);

}  // namespace melotag::tags
