// Renaming the listed files after the title list and a folder after its new name: the plan of
// each rename, the rename itself (never over an existing file), the parent-folder rule, and the
// album title a file's tags give.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace melotag::editor {

// The folder a folder path is in, with its trailing "/": "/music/old/" and "/music/old" give
// "/music/". A folder directly below "/" (and "/" itself, and a path without "/") has no parent:
// empty. Every "/" byte is a separator: no trail byte of 932, 936, 949 or 950 is a "/" (they
// start at 0x40), nor is any byte inside a UTF-8 sequence.
QByteArray ParentFolder(const QByteArray& path);

// Why a title line names no file, or none: an empty line leaves its file alone silently; the
// others leave it alone too, and the user is told.
enum class TNameProblem {
  None,
  Empty,      // an empty line
  Separator,  // holds "/": the name would leave the file's folder
  ZeroByte,   // holds a zero byte: the system would read another name
  DotName,    // "." or "..": the folder itself or its parent
};
// The problem of a name given as text (a title line, a folder name).
TNameProblem NameProblem(const QString& name);
// The user's words for a problem ("holds \"/\"" ...); empty for None and Empty.
QString NameProblemText(TNameProblem problem);

// One file of a rename after the title list: its path now, the path it gets (empty when the
// line names no file) and why not.
struct TRenameStep {
  QByteArray OldPath;
  QByteArray NewPath;
  TNameProblem Problem = TNameProblem::None;
};
// The steps for the files and the lines paired by position (the shorter list decides). File i
// gets line i + ".mp3" in its own folder. The name bytes of a line are CaptionName(line, stem)
// with stem = the part of the old name before its first ".mp3" (any letter case), so a line made
// from the file name and left unchanged keeps the exact bytes, a Big5 name under 950 included.
QList<TRenameStep> PlanRenames(const QList<QByteArray>& paths, const QStringList& lines);

// Renames `from` to `to` without ever replacing an existing `to`: 0 when done, otherwise an errno
// value (EEXIST for an existing target). A change of letter case only, on a file system that does
// not tell case apart (where `to` names `from` itself), is done. `to` == `from` is done (nothing
// changes).
int RenameNoReplace(const QByteArray& from, const QByteArray& to);

// The system's words for an errno value.
QString ErrorText(int error);
// Why a rename failed: "a file or folder of that name exists" for EEXIST, else ErrorText.
QString RenameErrorText(int error);

// "【" + artist + "】" + album.
QString AlbumTitle(const QString& artist, const QString& album);
// The album title of a file's tags, as the renaming fills it in: from the ID3v1 tag when it has
// artist and album, then from the ID3v2 tag when that has both (it wins); none when neither has
// both or the file is no regular file. The ID3v2 texts are decoded by their encoding with
// readUnicode, else read as the tag class reads them.
std::optional<QString> AlbumTitleOfFile(const QByteArray& path, bool readUnicode = true);

}  // namespace melotag::editor
