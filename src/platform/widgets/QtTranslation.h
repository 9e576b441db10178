// Qt's own texts (the buttons and labels of its file, folder, font and message dialogs) in the
// language of the system's code page, from the qtbase catalogues of the Qt installation, beside
// the program's own language file.
#pragma once

#include <QList>
#include <QLocale>

// The languages whose Qt texts go with a code page, the first with a catalogue taken: the
// system's (LC_ALL, LC_MESSAGES, LANG in that order) when that language uses the code page, then
// the code page's main language (950 Traditional Chinese, 936 Simplified Chinese, 932 Japanese
// ...). None for 1252 and 65001 unless the system's language uses them: Qt's texts are English.
QList<QLocale> QtTextLocales(int codePage);

// Installs Qt's catalogue for the current code page (GetACP()) in the application, in place of
// the one an earlier call installed; does nothing while the code page stays the same. False when
// there is no catalogue for its languages (Qt's texts then stay English).
bool UseQtTranslations();
