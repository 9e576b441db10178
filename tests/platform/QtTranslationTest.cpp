// Qt's own texts follow the code page: the system's language where it uses that code page, else
// the code page's main language, with a catalogue of Qt's where there is one.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "EnvScope.h"
#include "QtTranslation.h"

namespace {

QStringList Names(const QList<QLocale>& locales) {
  QStringList names;
  for (const QLocale& locale : locales) names << locale.name();
  return names;
}

}  // namespace

TEST(QtTranslation, TheLanguagesOfACodePageStartWithTheSystemsWhenItUsesIt) {
  const struct {
    const char* Lang;
    int CodePage;
    QStringList Locales;
  } cases[] = {
      {"zh_TW.UTF-8", 950, {"zh_TW"}},
      {"zh_HK.UTF-8", 950, {"zh_HK", "zh_TW"}},  // Qt has no catalogue of its own for zh_HK
      {"zh_CN.UTF-8", 950, {"zh_TW"}},
      {"C.UTF-8", 936, {"zh_CN"}},
      {"C", 1252, {}},
      {"de_DE.UTF-8", 1252, {"de_DE"}},
      {"ja_JP.UTF-8", 1252, {}},
      {"ru_RU.UTF-8@latin", 1251, {"ru_RU"}},
  };
  TEnvScope all("LC_ALL", nullptr);
  TEnvScope messages("LC_MESSAGES", nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Lang);
    TEnvScope lang("LANG", c.Lang);
    EXPECT_EQ(Names(QtTextLocales(c.CodePage)), c.Locales);
  }
}

TEST(QtTranslation, ACatalogueIsInstalledForTheCodePageAndTakenBackForEnglish) {
  TEnvScope all("LC_ALL", nullptr);
  TEnvScope messages("LC_MESSAGES", nullptr);
  TEnvScope lang("LANG", "C.UTF-8");
  const struct {
    const char* CodePage;
    bool Installed;
    bool Translated;
  } cases[] = {{"950", true, true},
               {"1252", false, false},
               {"936", true, true},
               {"936", true, true},
               {"65001", false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TEnvScope codePage("MELOTAG_CODEPAGE", c.CodePage);
    EXPECT_EQ(UseQtTranslations(), c.Installed);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel") != "Cancel", c.Translated);
  }
}
