// File names are bytes: a list entry keeps the exact bytes of its path, whatever they are, and
// shows a caption decoded from them. Every operation on a listed file uses the bytes.
#pragma once

#include <QByteArray>
#include <QCollator>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace melotag::editor {

// One MP3 file of the list: the exact bytes of its path, the caption of its name, its size, and
// the folder the user chose for the scan that listed it (empty for a file the user named himself:
// an operand, a file dialog's pick, a drop).
struct TFileEntry {
  QByteArray Path;
  QString Caption;
  qint64 Size = 0;
  QByteArray ScanRoot;
};

// The caption of a name or path: decoded as UTF-8 when it is well-formed UTF-8 (overlong forms,
// surrogates and code points past U+10FFFF are not), otherwise through the code-page codec
// (bytes that do not decode travel as the escapes U+DC80 + byte).
QString NameCaption(const QByteArray& name);
// The way back from a caption to name bytes. The rule: a caption holding escapes came from a name
// that is not UTF-8 and is encoded through the code page, each escape back to its byte (a
// character the code page cannot encode, one the user added, is written as UTF-8 rather than
// lost); any other caption is written as UTF-8, as text the user types is.
// So CaptionName(NameCaption(b)) == b for every UTF-8 name and every name whose caption holds
// escapes. A code-page name that decodes without escapes (Big5 bytes under 950) has the caption of
// a UTF-8 name too; the caption alone cannot tell them apart, and the overload below, which knows
// the name the caption stands for, keeps those bytes.
QByteArray CaptionName(const QString& caption);
// The name bytes for a caption that stands where `former` stood (a title line paired with a listed
// file, an edited name): `former` itself while the caption is still its caption, otherwise
// CaptionName(caption). An unchanged Big5 name keeps its bytes.
QByteArray CaptionName(const QString& caption, const QByteArray& former);

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
// empty path stays empty. No component is resolved through the file system. When the working
// folder cannot be read, a relative path is only cleaned (it still names the same file).
QByteArray AbsolutePath(const QByteArray& path);

// The size of a regular file (links followed), 0 when its status cannot be read or it is no
// regular file (what a folder scan added for it, so removing its entry takes back as much).
qint64 FileSizeOf(const QByteArray& path);
// A folder (links followed).
bool IsFolder(const QByteArray& path);
// A regular file (links followed): not a folder, nor a device or pipe that reading would hang on.
bool IsFile(const QByteArray& path);
// What a write says of a file a scan met through a link that leads out of the scanned folder.
inline constexpr const char* kLinkOutsideText = "a link to a file outside the folder: not written";
// A write may go to the file: it was named by the user (`scanRoot` empty), or its path, every link
// resolved now, lies inside the folder `scanRoot` resolved the same way. Not for a path that names
// something no longer resolved (a dangling link, a loop); a path that names nothing at all may be
// written (the write then fails for its own reason).
bool MayWriteThrough(const QByteArray& path, const QByteArray& scanRoot);

// Why the latest tag operation of this thread failed on `path`, in the system's words: the reason
// the tag classes noted (melotag::tags::LastError), else "No such file or directory" when the path
// names nothing any more, "not a regular file" for a folder, a device or a pipe, and `otherwise`
// (when given) for a file that is there: the operation refused without a failure of the system.
// Clear the noted reason (melotag::tags::ClearError) before the operation.
QString TagFailureText(const QByteArray& path, const QString& otherwise = QString());
// Runs `work` on the file at `path`. Empty when it ran through; when it ran out of memory
// (std::bad_alloc, or std::length_error for a size no string holds) it stops there, and the
// reason comes back in TagFailureText's words ("Cannot allocate memory", "the tag is too large").
QString CatchAllocationFailure(const QByteArray& path, const std::function<void()>& work);

// What a folder scan found: the MP3 files (any letter case of ".mp3", hidden files included;
// regular files and links to them, folders and anything else left out) in the order the file
// system gives them, each with the path folder + "/" + name (JoinPath) and the scan's root as its
// ScanRoot, and the reason the folder could not be read (an errno value, EINVAL for a path holding
// a zero byte; 0 when it was read; the files read before a failure are kept).
struct TScanResult {
  QList<TFileEntry> Files;
  int Error = 0;
};
// Reads the folder's entries as bytes. `makeWritable`: each listed file gets the owner's write
// permission ("archive alone") when it lacks it, nothing else changes; a link is never followed
// for it, and a file whose permission cannot be changed is listed all the same. `root`: the folder
// the user chose, of which `folder` is a subfolder (empty: `folder` itself).
TScanResult ScanFolder(const QByteArray& folder, bool makeWritable = false,
                       const QByteArray& root = QByteArray());

// The file list's order: the locale's case-sensitive collation of the captions (the locale of the
// moment; digits compare as characters, not as numbers). Made again when the locale changes.
const QCollator& CaptionCollator();
// Sorts the entries as the file list shows them; entries of equal captions keep their order.
void SortByCaption(QList<TFileEntry>& entries);

// The names of the folders in a folder (hidden ones and "." and ".." left out), as the file system
// gives them; empty when it cannot be read. Links to folders are among them when `linked` (the
// folder tree shows them); a scan of a folder's tree leaves them out.
QList<QByteArray> SubFolders(const QByteArray& folder, bool linked = true);

// A path Qt gave as text (a folder tree, a file dialog), where Qt may have replaced bytes that
// are not UTF-8 by U+FFFD, or a caption with escapes (U+DC80 + byte) stands for bytes: the path
// bytes it stands for, component by component. A component that is not the exact text of its
// UTF-8 bytes (it holds U+FFFD or a lone surrogate) is matched against the names its folder holds
// whose caption (NameCaption) or lossy UTF-8 decoding (QString::fromUtf8, as Qt decodes file names)
// is exactly that component; it never becomes "?". Empty (nullopt) when no name or more than one
// name matches (the caller refuses with a message rather than use another file). Empty text gives
// an empty path.
std::optional<QByteArray> PathOfText(const QString& text);

// The local files of a drop's "text/uri-list" data (lines ended by CR LF, or LF alone; "#" starts
// a comment line): file URLs whose host is empty or "localhost", their paths percent-decoded to
// the exact bytes, in their order. Other schemes, other hosts, relative paths and a path holding
// a zero byte are left out; a query or fragment is not part of the path.
QList<QByteArray> LocalPathsOfUriList(const QByteArray& uriList);

}  // namespace melotag::editor
