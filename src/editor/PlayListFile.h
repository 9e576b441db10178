// The M3U play list of the listed files: one line per file, its exact name bytes, each line
// ended by CR LF; written whole or not at all.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace melotag::editor {

// A name holding CR or LF would put lines of its own into the list: it cannot be one entry.
bool FitsPlayList(const QByteArray& name);

// The play list's bytes: each name that fits followed by CR LF, nothing else.
QByteArray PlayListText(const QList<QByteArray>& names);

// Writes the play list of the names that fit to `path`: into a new file in the same folder,
// flushed, then renamed over `path`, so a failure leaves an existing file as it was. A `path`
// that is a link is refused with ELOOP: a play list is never written through a link (and a link
// made there while it is written is replaced, not followed). 0 when written, otherwise an errno
// value.
int WritePlayList(const QByteArray& path, const QList<QByteArray>& names);

// Why a play list was not written: for ELOOP that its name is a link, else the system's words.
QString PlayListErrorText(int error);

// The name proposed for the play list of a file: "【" + artist + "】" + album of its ID3v2 tag
// (also when both are empty; its texts decoded by their encoding with readUnicode, else as the
// tag class reads them), "PlayList" when it has no tag, none when the file cannot be read.
// A "/" and every control character of the tag's texts become "_" (the name stays in the chosen
// folder, on one line).
std::optional<QString> PlayListNameOfFile(const QByteArray& path, bool readUnicode = true);

}  // namespace melotag::editor
