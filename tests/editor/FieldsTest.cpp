// The field table and the values of its fields: numbers with totals as users type them, genres
// in and out of the list, values refused before anything is written.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Fields.h"
#include "QtPrinters.h"

using namespace melotag::editor;

namespace {

QString U(const char* text) {
  return QString::fromUtf8(text);
}

TEST(FieldTable, EveryRowHasItsOwnNamesAndFramesInTheTableOrder) {
  std::set<std::string> seen;
  for (int i = 0; i < kFieldCount; ++i) {
    const TFieldRow& row = FieldTable()[i];
    EXPECT_EQ(static_cast<int>(row.Field), i);
    EXPECT_EQ(&RowOf(row.Field), &row);
    for (const char* name : {row.Frame, row.Option, row.Json, row.Label, row.PanelWidget})
      EXPECT_TRUE(seen.insert(name).second) << name;
    EXPECT_EQ(std::string(row.Frame22).size(), 3u) << row.Label;
    EXPECT_EQ(std::string(row.Frame24).size(), 4u) << row.Label;
    if (row.Pattern) EXPECT_EQ(FieldOfPattern(U(row.Pattern).toUpper()), row.Field);
  }
  EXPECT_EQ(FieldOfPattern(u"albumartist"), TField::AlbumArtist);
  EXPECT_FALSE(FieldOfPattern(u"lyrics"));
  EXPECT_FALSE(FieldOfPattern(u"nothing"));
  // The seven of the exact write, each with its place in the trailer.
  int exact = 0;
  for (const TFieldRow& row : FieldTable()) {
    exact += row.Exact;
    EXPECT_EQ(row.Exact, row.V1 != TV1Slot::None) << row.Label;
  }
  EXPECT_EQ(exact, 7);
}

TEST(NumberPairs, TakeWhatUsersTypeAndRefuseTheRest) {
  const struct {
    const char* Text;
    std::optional<TNumberPair> Parsed;
  } cases[] = {
      {"3", TNumberPair{3, 0}},
      {"03", TNumberPair{3, 0}},
      {"3/12", TNumberPair{3, 12}},
      {" 3 / 12 ", TNumberPair{3, 12}},
      {"/12", TNumberPair{0, 12}},
      {"", TNumberPair{}},
      {"  ", TNumberPair{}},
      {"300", TNumberPair{300, 0}},
      {"9999/9999", TNumberPair{9999, 9999}},
      {"10000", std::nullopt},
      {"0", std::nullopt},
      {"x", std::nullopt},
      {"x/y", std::nullopt},
      {"3/0", std::nullopt},
      {"3/", std::nullopt},
      {"/", std::nullopt},
      {"-3", std::nullopt},
      {"+3", std::nullopt},
      {"3.5", std::nullopt},
      {"3/12/1", std::nullopt},
      {"99999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseNumberPair(U(c.Text)), c.Parsed) << c.Text;
    EXPECT_EQ(RefusalOf(TField::Track, U(c.Text)).isEmpty(), c.Parsed.has_value()) << c.Text;
    EXPECT_EQ(RefusalOf(TField::Disc, U(c.Text)).isEmpty(), c.Parsed.has_value()) << c.Text;
  }
  EXPECT_EQ(RefusalOf(TField::Disc, U("x/y")),
            U("the disc \"x/y\" is not a number from 1 to 9999, alone or as N/M"));
  // Texts of other fields are never refused.
  EXPECT_TRUE(RefusalOf(TField::Year, U("x/y")).isEmpty());
  EXPECT_TRUE(RefusalOf(TField::Genre, U("華語流行")).isEmpty());
}

TEST(NumberPairs, FramesAreReadLenientlyAndMergedWithWhatTheFileHolds) {
  const struct {
    const char* Text;
    TNumberPair Read;
  } reads[] = {{"3/12", {3, 12}},   {"03", {3, 0}},    {"3 of 12", {3, 0}}, {"4/", {4, 0}},
               {"x/12", {0, 12}},   {"0/12", {0, 12}}, {"12345", {0, 0}},   {"", {0, 0}},
               {" 7 / 9 ", {7, 9}}, {"300", {300, 0}}, {"5/x", {5, 0}}};
  for (const auto& r : reads) EXPECT_EQ(ReadNumberPair(U(r.Text)), r.Read) << r.Text;

  const struct {
    TNumberPair Old;
    const char* Given;
    const char* Written;
  } merges[] = {
      {{3, 12}, "4", "4/12"},    // the number alone keeps the total
      {{3, 12}, "/14", "3/14"},  // the total alone keeps the number
      {{3, 12}, "5/6", "5/6"},  {{3, 12}, "", ""},      {{0, 0}, "/12", "/12"},
      {{0, 0}, "4", "4"},       {{3, 0}, "256", "256"},
  };
  for (const auto& m : merges) {
    const QString given = U(m.Given);
    EXPECT_EQ(NumberPairText(MergedNumberPair(m.Old, *ParseNumberPair(given), given.isEmpty())),
              U(m.Written))
        << m.Given;
  }
}

TEST(Genres, ListNamesAndNumbersGiveTheListOthersStayText) {
  const struct {
    const char* Value;
    const char* Genre;
    int Index;
  } cases[] = {
      {"Rock", "Rock", 17},
      {"rock", "Rock", 17},
      {" ROCK ", "Rock", 17},
      {"17", "Rock", 17},
      {"0", "Blues", 0},
      {"147", "Synthpop", 147},
      {"148", "148", 255},
      {"華語流行", "華語流行", 255},
      {"Mandopop", "Mandopop", 255},
      {"", "", 255},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GenreOfValue(U(c.Value)), U(c.Genre)) << c.Value;
    EXPECT_EQ(GenreIndexOfValue(U(c.Value)), c.Index) << c.Value;
    EXPECT_EQ(IsListGenre(U(c.Value)), c.Index != 255 || !*c.Value) << c.Value;
  }
}

TEST(FieldValues, GivenOrNot) {
  TFieldValues values{{TField::Disc, U("1/2")}, {TField::Title, QString()}};
  EXPECT_TRUE(values.Has(TField::Title));
  EXPECT_TRUE(values.Text(TField::Title).isEmpty());
  EXPECT_EQ(values.Text(TField::Disc), U("1/2"));
  EXPECT_FALSE(values.Has(TField::Lyrics));
  EXPECT_TRUE(values.Any());
  EXPECT_FALSE(TFieldValues().Any());
}

}  // namespace
