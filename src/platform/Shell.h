// What the desktop shell does for the program: open a file in its associated program, show a
// file's properties, and the one file attribute the program changes.
#pragma once

#include <QString>

class QDialog;
class QWidget;

// Opens a local file (or folder) with the desktop's associated program. False when the desktop
// refused or the path is empty.
bool ShellOpen(const QString& path);

// "Archive alone": gives the owner write permission and changes nothing else. False when the
// permissions could not be changed.
bool SetArchiveOnly(const QString& path);

// The file exists without the owner's write permission (what "archive alone" gives back).
bool IsReadOnlyPath(const QString& path);

// Shows the properties of a file (path, size, dates, permissions) in a window of its own that
// deletes itself when closed; not modal. A file that does not exist is said so in the window.
QDialog* ShowFileProperties(const QString& path, QWidget* parent);
