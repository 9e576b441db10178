#include "QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QTranslator>

#include <cstdlib>

#include "CodePage.h"

namespace {

// The locale the system names for messages, as its environment gives it; "C" when none.
QByteArray SystemMessageLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char* value = std::getenv(name); value && *value) return value;
  return "C";
}

// The main language of a code page; C for 1252, 65001 and code pages of no one language.
QLocale MainLocale(int codePage) {
  static const struct {
    int CodePage;
    const char* Locale;
  } kMain[] = {{950, "zh_TW"},  {936, "zh_CN"},  {932, "ja_JP"},  {949, "ko_KR"},  {1250, "pl_PL"},
               {1251, "ru_RU"}, {1253, "el_GR"}, {1254, "tr_TR"}, {1255, "he_IL"}, {1256, "ar_SA"},
               {1257, "lt_LT"}, {1258, "vi_VN"}, {874, "th_TH"}};
  for (const auto& main : kMain)
    if (main.CodePage == codePage) return QLocale(QString::fromLatin1(main.Locale));
  return QLocale::c();
}

}  // namespace

QList<QLocale> QtTextLocales(int codePage) {
  QList<QLocale> locales;
  const QByteArray system = SystemMessageLocale();
  if (system != "C" && system != "POSIX" && CodePageOfLocale(system.toStdString()) == codePage)
    locales.append(QLocale(QString::fromLatin1(system).section(QRegularExpression("[.@]"), 0, 0)));
  if (const QLocale main = MainLocale(codePage);
      main.language() != QLocale::C && !locales.contains(main))
    locales.append(main);
  return locales;
}

bool UseQtTranslations() {
  static QPointer<QTranslator> installed;
  static int installedFor = 0;
  static bool loaded = false;
  const int codePage = GetACP();
  if (codePage == installedFor && (installed || !loaded)) return loaded;
  if (installed) delete installed;  // leaves the application's list
  installedFor = codePage;
  loaded = false;
  for (const QLocale& locale : QtTextLocales(codePage)) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete translator;
      continue;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    loaded = true;
    break;
  }
  return loaded;
}
