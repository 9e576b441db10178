#include <gtest/gtest.h>

#include <QLocale>

#include "Format.h"

TEST(Format, FillsPlaceholders) {
  struct {
    const char* fmt;
    std::vector<TVarRec> args;
    const char* out;
  } cases[] = {
      {"File [%s] already exists", {std::string("a.mp3")}, "File [a.mp3] already exists"},
      {"%d files, %s", {42LL, std::string("ok")}, "42 files, ok"},
      {"%5d|%-5d|%.3d", {7LL, 7LL, 7LL}, "    7|7    |007"},
      {"%d", {-12LL}, "-12"},
      {"%.4d", {-12LL}, "-0012"},
      {"%u", {-1LL}, "18446744073709551615"},
      {"%x %.4X", {255LL, 10LL}, "FF 000A"},
      {"%f %.1f %.0f", {1.004, 2.26, 2.7}, "1.00 2.3 3"},
      {"%12.1n", {1234567.89}, " 1,234,567.9"},
      {"%n", {-1234.5}, "-1,234.50"},
      {"%.0n", {999.0}, "999"},
      {"%e", {1234.5}, "1.23450000000000E+003"},
      {"%.3e", {-0.00012}, "-1.20E-004"},
      {"%g %g %g", {1234.5, 1e20, 0.5}, "1234.5 1E20 0.5"},
      {"[%8s][%-8s][%.2s]",
       {std::string("abc"), std::string("abc"), std::string("abc")},
       "[     abc][abc     ][ab]"},
      {"%*d", {4LL, 5LL}, "   5"},
      {"%1:s %0:s %s", {std::string("a"), std::string("b")}, "b a b"},
      {"100%% %s", {std::string("x")}, "100% x"},
      {"%S %D", {std::string("x"), 3LL}, "x 3"},
      {"only %s", {std::string("one"), 2LL, 3.0}, "only one"},  // extra arguments are ignored
      {"no placeholder", {std::string("x")}, "no placeholder"},
      {"\xA4\xA4%s\xA4\xE5", {std::string("\xA6\x72")}, "\xA4\xA4\xA6\x72\xA4\xE5"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, c.args), c.out) << c.fmt;
}

TEST(Format, MissingOrMismatchedArgumentsRaiseTheFormatError) {
  struct {
    const char* fmt;
    std::vector<TVarRec> args;
  } cases[] = {
      {"%s", {}},
      {"%s %s", {std::string("a")}},
      {"%d", {std::string("a")}},
      {"%s", {1LL}},
      {"%f", {1LL}},
      {"%d", {1.0}},
      {"%q", {1LL}},
      {"50%", {1LL}},
      {"%5", {1LL}},
      {"%*d", {std::string("a"), 1LL}},
      {"%3:s", {std::string("a")}},
  };
  for (const auto& c : cases) {
    EXPECT_THROW(Format(c.fmt, c.args), EFormatError) << c.fmt;
    try {
      Format(c.fmt, c.args);
    } catch (const Exception& e) {  // the general exception class catches it too
      EXPECT_NE(std::string(e.what()).find(c.fmt), std::string::npos);
    }
  }
}

TEST(Format, NumbersUseTheLocaleSeparators) {
  QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(Format("%10.1n", {1234567.89}), "1.234.567,9");
  EXPECT_EQ(Format("%.2f", {2.5}), "2,50");
  QLocale::setDefault(saved);
}
