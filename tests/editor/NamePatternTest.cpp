// File-name patterns: values read out of names and names made of values.
#include <gtest/gtest.h>

#include "CodePageText.h"
#include "EnvScope.h"
#include "FileNames.h"
#include "NamePattern.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

using F = TField;

QString Value(const TFieldValues& values, F field) {
  return values[field].value_or(QStringLiteral("<none>"));
}

TEST(NamePattern, ReadsValuesOutOfNames) {
  const struct {
    const char* Pattern;
    QString Name;
    bool Matches;
    std::vector<std::pair<F, QString>> Values;
  } cases[] = {
      {"%artist% - %title%", "A - B", true, {{F::Artist, "A"}, {F::Title, "B"}}},
      {"%artist% - %title%", "A - B - C", true, {{F::Artist, "A"}, {F::Title, "B - C"}}},
      {"%track%. %title%", "03. Intro", true, {{F::Track, "3"}, {F::Title, "Intro"}}},
      {"%track% %title%", "007 Bond", true, {{F::Track, "7"}, {F::Title, "Bond"}}},
      {"%track%-%title%", "3/12-Song", true, {{F::Track, "3"}, {F::Title, "Song"}}},
      {"%year% %album% - %track% %title%",
       "1999 Fan - 01 Title",
       true,
       {{F::Year, "1999"}, {F::Album, "Fan"}, {F::Track, "1"}, {F::Title, "Title"}}},
      {"%artist% - %title%", "Only a title", false, {}},
      {"%artist% - %title%", " - B", false, {}},
      {"%track% - %title%", "One - Song", false, {}},
      {"[%genre%] %title%", "[Pop] Song", true, {{F::Genre, "Pop"}, {F::Title, "Song"}}},
      {"%artist% - %title% (%artist%)", "A - B (A)", true, {{F::Artist, "A"}, {F::Title, "B"}}},
      {"%artist% - %title% (%artist%)", "A - B (C)", false, {}},
      {"%ARTIST%_%Title%", "x_y", true, {{F::Artist, "x"}, {F::Title, "y"}}},
      {"%artist%.%title%", "a.b.c", true, {{F::Artist, "a"}, {F::Title, "b.c"}}},
      {"%artist% - %title%",
       U(u"周杰倫 - 七里香"),
       true,
       {{F::Artist, U(u"周杰倫")}, {F::Title, U(u"七里香")}}},
      {"%artist%－%title%",
       U(u"王菲－紅豆"),
       true,
       {{F::Artist, U(u"王菲")}, {F::Title, U(u"紅豆")}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Pattern) + " on " + c.Name.toStdString());
    const TNamePattern pattern(U(c.Pattern));
    ASSERT_TRUE(pattern.IsValid()) << pattern.Error().toStdString();
    const std::optional<TFieldValues> values = pattern.Match(c.Name);
    ASSERT_EQ(values.has_value(), c.Matches);
    for (const auto& [field, value] : c.Values) EXPECT_EQ(Value(*values, field), value);
  }
}

TEST(NamePattern, ANameInBig5BytesIsReadThroughItsCaption) {
  for (const int codePage : {950, 936}) {
    const TEnvScope scope("MELOTAG_CODEPAGE", std::to_string(codePage).c_str());
    const QByteArray name = QByteArray::fromStdString(Cp(u"周杰 - 晴天", codePage));
    const std::optional<TFieldValues> values =
        TNamePattern("%artist% - %title%").Match(NameCaption(name));
    ASSERT_TRUE(values) << codePage;
    EXPECT_EQ(Value(*values, F::Title), U(u"晴天"));
    EXPECT_EQ(Cp(Value(*values, F::Artist), codePage), Cp(u"周杰", codePage));
  }
}

TEST(NamePattern, MakesNamesOfValues) {
  TFieldValues values;
  values[F::Artist] = "AC/DC";
  values[F::Title] = " Back in Black ";
  values[F::Track] = "6";
  const struct {
    const char* Pattern;
    std::optional<QString> Name;
  } cases[] = {
      {"%track% - %artist% - %title%", QString("06 - AC_DC - Back in Black")},
      {"%title%", QString("Back in Black")},
      {"%album% - %title%", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TNamePattern(c.Pattern).Format(values), c.Name) << c.Pattern;
}

TEST(NamePattern, BadPatternsSayWhy) {
  for (const char* bad : {"%artist", "%artst% - %title%", "plain", "%artist%/%title%", ""}) {
    const TNamePattern pattern(bad);
    EXPECT_FALSE(pattern.IsValid()) << bad;
    EXPECT_FALSE(pattern.Error().isEmpty()) << bad;
    EXPECT_FALSE(pattern.Match("a - b")) << bad;
  }
}

}  // namespace
