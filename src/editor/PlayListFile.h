// The M3U play list of the listed files: one line per file, its exact name bytes, each line
// ended by CR LF; written whole or not at all.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace melotag::editor {

// The play list's bytes: each name followed by CR LF, nothing else.
QByteArray PlayListText(const QList<QByteArray>& names);

// Writes the play list to `path`: into a new file in the same folder, flushed, then renamed over
// `path`, so a failure leaves an existing file as it was (a link is followed: its target is
// replaced, the link stays). 0 when written, otherwise an errno value.
int WritePlayList(const QByteArray& path, const QList<QByteArray>& names);

// The name proposed for the play list of a file: "【" + artist + "】" + album of its ID3v2 tag
// (also when both are empty; its texts decoded by their encoding with readUnicode, else as the
// tag class reads them), "PlayList" when it has no tag, none when the file cannot be read.
// A "/" of the tag's texts becomes "_" (the name stays in the chosen folder).
std::optional<QString> PlayListNameOfFile(const QByteArray& path, bool readUnicode = true);

}  // namespace melotag::editor
