// What the desktop shell does for the program: open a file in its associated program, show a
// file's properties. (The one file attribute the program changes is in FilePath.h.)
//
// File names are bytes: the QByteArray versions take the exact path bytes of a file (a listed
// file whose name is not UTF-8); the QString versions take a path as Qt gives it and forward to
// them with its UTF-8 bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "FilePath.h"

class QDialog;
class QWidget;

// The file URL of a path's exact bytes: every byte other than an unreserved ASCII character and
// "/" is percent-encoded, so url.toEncoded() carries the name byte for byte whatever its encoding.
// A relative path is taken against the working folder. Invalid for an empty path or one holding a
// zero byte.
QUrl LocalFileUrl(const QByteArray& path);

// Opens a local file (or folder) with the desktop's associated program. False when the desktop
// refused or the path is empty.
bool ShellOpen(const QByteArray& path);
bool ShellOpen(const QString& path);

// Shows the properties of a file (path, size, dates, permissions) in a window of its own that
// deletes itself when closed; not modal. A file that does not exist is said so in the window.
// Names are shown as file-name text (DecodeFileName).
QDialog* ShowFileProperties(const QByteArray& path, QWidget* parent);
QDialog* ShowFileProperties(const QString& path, QWidget* parent);

// A file that comes with the program (its language file, its help): beside the executable, else in
// ../share/melotag as installed; the path beside the executable when neither exists.
QString ProgramFile(const QString& name);
