// File names are bytes: a list entry keeps the exact bytes of its path, whatever they are, and
// shows a caption decoded from them. Every operation on a listed file uses the bytes.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace melotag::editor {

// One MP3 file of the list: the exact bytes of its path, the caption of its name, its size.
struct TFileEntry {
  QByteArray Path;
  QString Caption;
  qint64 Size = 0;
};

// The caption of a name or path: decoded as UTF-8 when it is valid UTF-8, otherwise through the
// code-page codec (bytes that do not decode travel as escapes).
QString NameCaption(const QByteArray& name);
// The way back from a caption to name bytes: the bytes whose caption it is, preferring UTF-8.
// A caption made by NameCaption from a name that is not valid UTF-8 gives back those bytes.
QByteArray CaptionName(const QString& caption);

// folder + "/" + name, never doubling the separator; an empty folder gives the name.
QByteArray JoinPath(const QByteArray& folder, const QByteArray& name);
// The part after the last "/" (all of it without one).
QByteArray FileNamePart(const QByteArray& path);
// The part before the last "/" ("/" for a name directly below the root, "" without a "/").
QByteArray FolderPart(const QByteArray& path);
// The text from the last "." of the last path component, ASCII letters in upper case; empty
// when the last component has no ".".
QByteArray UpperExtension(const QByteArray& path);
// Absolute (against the working folder) and cleaned of ".", ".." and doubled separators; an
// empty path stays empty. No component is resolved through the file system.
QByteArray AbsolutePath(const QByteArray& path);

// The size of a regular file (links followed), 0 when it cannot be read.
qint64 FileSizeOf(const QByteArray& path);
bool IsFolder(const QByteArray& path);
bool IsFile(const QByteArray& path);

// What a folder scan found: the MP3 files (any letter case of ".mp3", hidden files included,
// folders left out) in the order the file system gives them, or the reason the folder could not
// be read (an errno value; 0 when it was read).
struct TScanResult {
  QList<TFileEntry> Files;
  int Error = 0;
};
// Reads the folder's entries as bytes. `makeWritable`: each listed file gets the owner's write
// permission ("archive alone"), nothing else changes.
TScanResult ScanFolder(const QByteArray& folder, bool makeWritable = false);

// A path Qt gave as text (a folder tree, a file dialog), where Qt may have replaced bytes that
// are not UTF-8 by U+FFFD: the path bytes it stands for, component by component; a component
// with U+FFFD is matched against the names its folder holds. Empty when no name or more than one
// name matches (the caller refuses with a message rather than use another file).
std::optional<QByteArray> PathOfText(const QString& text);

// The local files of a drop's "text/uri-list" data, percent-decoded to the exact path bytes, in
// their order; other schemes and comment lines are left out.
QList<QByteArray> LocalPathsOfUriList(const QByteArray& uriList);

}  // namespace melotag::editor
