// The file manager's entry for MP3 files: a verb registered as a desktop entry that opens a file
// in this program. It is two files named after the verb under the user's data folder:
// applications/ (every XDG file manager offers it under "Open With") and kio/servicemenus/ (KDE's
// Dolphin shows it in the context menu itself). The user's default application is never touched.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace melotag::editor {

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
QByteArray DataHome();
// The file name of a verb's entries: "melotag-" + the verb with every byte of its UTF-8 form
// that is not an ASCII letter or digit written as "_XX", + ".desktop". Two verbs never share it.
QByteArray VerbFileName(const QString& verb);
// The two files of a verb, the applications entry first.
QList<QByteArray> VerbFiles(const QString& verb);
// The Exec value that starts `program` with one file: the path quoted as desktop entries require
// (blanks, quotes, backslashes), then "%f". Empty, with `error` set, for a path no desktop entry
// can hold or file managers would not start (a line break, a "%", bytes that are not UTF-8).
QString ExecLine(const QByteArray& program, QString* error = nullptr);

// Writes the entries of `verb` for the files of `extension` ("mp3") that start `program`; empty
// when done, otherwise a message naming the path and the reason (what was written before stays).
QString RegisterShellVerb(const QString& extension, const QString& verb, const QByteArray& program);
// Removes the entries of `verb` and nothing else; a verb not registered is no error. Empty when
// done, otherwise a message naming the path and the reason.
QString UnregisterShellVerb(const QString& extension, const QString& verb);

}  // namespace melotag::editor
