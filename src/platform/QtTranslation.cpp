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

}  // namespace

namespace {

// The main language of a code page; C for 1252, 65001 and code pages of no one language.
QLocale MainLocale(int codePage) {
  switch (codePage) {
    case 950:
      return QLocale(QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan);
    case 936:
      return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    case 932:
      return QLocale(QLocale::Japanese, QLocale::Japan);
    case 949:
      return QLocale(QLocale::Korean, QLocale::SouthKorea);
    case 1250:
      return QLocale(QLocale::Polish, QLocale::Poland);
    case 1251:
      return QLocale(QLocale::Russian, QLocale::Russia);
    case 1253:
      return QLocale(QLocale::Greek, QLocale::Greece);
    case 1254:
      return QLocale(QLocale::Turkish, QLocale::Turkey);
    case 1255:
      return QLocale(QLocale::Hebrew, QLocale::Israel);
    case 1256:
      return QLocale(QLocale::Arabic, QLocale::SaudiArabia);
    case 1257:
      return QLocale(QLocale::Lithuanian, QLocale::Lithuania);
    case 1258:
      return QLocale(QLocale::Vietnamese, QLocale::Vietnam);
    case 874:
      return QLocale(QLocale::Thai, QLocale::Thailand);
    default:
      return QLocale::c();
  }
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
