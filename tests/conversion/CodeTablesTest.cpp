#include <gtest/gtest.h>

#include <iconv.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Big5Gbk.h"
#include "CodeTables.h"

namespace {

constexpr int Unmapped = 0x3F3F;

bool IsUnmappedBig5(int code) {
  return code >= 0xF9D6 && code <= 0xF9DC;
}

// The Big5 grid the table covers: 0xA140..0xF9DC without 0xA3C0..0xA3FE and 0xC6A1..0xC8FE.
std::vector<int> Big5Grid() {
  std::vector<int> codes;
  for (int lead = 0xA1; lead <= 0xF9; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      int code = lead << 8 | trail;
      bool inGrid = trail <= 0x7E || trail >= 0xA1;
      bool excluded = (code >= 0xA3C0 && code <= 0xA3FE) || (code >= 0xC6A1 && code <= 0xC8FE);
      if (inGrid && !excluded && code <= 0xF9DC) codes.push_back(code);
    }
  }
  return codes;
}

std::map<int, std::vector<int>> GbkRuns() {
  std::map<int, std::vector<int>> runs;
  for (const TCodePair& p : GbkBig5Table) runs[p.Key].push_back(p.Partner);
  return runs;
}

int Code(const std::string& twoBytes) {
  return static_cast<unsigned char>(twoBytes[0]) << 8 | static_cast<unsigned char>(twoBytes[1]);
}

}  // namespace

TEST(CodeTables, Big5GbkTableHasOneEntryPerGridCodeInOrder) {
  std::vector<int> keys;
  for (const TCodePair& p : Big5GbkTable) keys.push_back(p.Key);
  EXPECT_EQ(keys, Big5Grid());
}

TEST(CodeTables, OnlyTheSevenUnmappedBig5CodesCarryQuestionMarks) {
  for (const TCodePair& p : Big5GbkTable) {
    EXPECT_EQ(p.Partner == Unmapped, IsUnmappedBig5(p.Key)) << std::hex << p.Key;
    if (!IsUnmappedBig5(p.Key)) {
      EXPECT_GE(p.Partner, 0x8140) << std::hex << p.Key;
    }
  }
}

TEST(CodeTables, GbkBig5TableHoldsTheSamePairsSwappedInKeyOrder) {
  std::vector<std::pair<int, int>> swapped, gbk;
  for (const TCodePair& p : Big5GbkTable) swapped.emplace_back(p.Partner, p.Key);
  for (const TCodePair& p : GbkBig5Table) gbk.emplace_back(p.Key, p.Partner);
  EXPECT_TRUE(std::is_sorted(gbk.begin(), gbk.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; }));
  std::sort(swapped.begin(), swapped.end());
  std::sort(gbk.begin(), gbk.end());
  EXPECT_EQ(gbk, swapped);
}

TEST(CodeTables, QuestionMarkRunStandsFirstThenRealKeysFromFirstToLast) {
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(GbkBig5Table[i].Key, Unmapped);
    EXPECT_EQ(GbkBig5Table[i].Partner, 0xF9D6 + i);
  }
  EXPECT_EQ(GbkBig5Table[7].Key, 0x8144);
  EXPECT_EQ(GbkBig5Table[7].Partner, 0xC94D);
  EXPECT_EQ(GbkBig5Table.back().Key, 0xFE41);
  EXPECT_EQ(GbkBig5Table.back().Partner, 0xDDFC);
}

TEST(CodeTables, RunsOfSharedGbkCodesAreShort) {
  std::map<std::size_t, int> runsOfLength;
  for (const auto& [key, partners] : GbkRuns()) {
    if (key != Unmapped) ++runsOfLength[partners.size()];
  }
  ASSERT_FALSE(runsOfLength.empty());
  EXPECT_LE(runsOfLength.rbegin()->first, 4u);
  int distinct = 0;
  for (const auto& [length, count] : runsOfLength) distinct += count;
  // Most GBK codes have one Big5 partner; the shared ones are the exception.
  EXPECT_GT(runsOfLength[1], distinct * 95 / 100);
}

struct TellingRow {
  bool fromBig5;
  int code;
  int expected;
};

TEST(CodeTables, TellingRows) {
  const TellingRow rows[] = {
      {true, 0xA140, 0xA1A1},   // ideographic space
      {true, 0xA440, 0xD2BB},   // one
      {true, 0xA4A4, 0xD6D0},   // middle
      {true, 0xF9D5, 0xFD93},   // last mapped code
      {true, 0xF9DC, 0x3F3F},   // unmapped
      {true, 0xA8C3, 0xB2A2},   // three Big5 forms of one simplified character
      {true, 0xA67D, 0xB2A2},   //
      {true, 0xA8D6, 0xB2A2},   //
      {false, 0xA1A5, 0xA1C2},  // first of 0xA1C2, 0xA3BC
      {false, 0xB2A2, 0xA8C3},  // first of 0xA8C3, 0xA67D, 0xA8D6, not the smallest
      {false, 0x8144, 0xC94D},  // first real GBK key
      {false, 0xFE41, 0xDDFC},  // last GBK key
  };
  for (const TellingRow& r : rows) {
    const TCodeTable& table = r.fromBig5 ? Big5GbkTable : GbkBig5Table;
    EXPECT_EQ(SearchCodeTable(table, r.code), r.expected) << std::hex << r.code;
    std::string bytes = r.fromBig5 ? Big5ToGbkCode(r.code) : GbkToBig5Code(r.code);
    EXPECT_EQ(Code(bytes), r.expected) << std::hex << r.code;
  }
  const auto runs = GbkRuns();
  EXPECT_EQ(runs.at(0xA1A5), (std::vector<int>{0xA1C2, 0xA3BC}));
  EXPECT_EQ(runs.at(0xB2A2), (std::vector<int>{0xA8C3, 0xA67D, 0xA8D6}));
}

TEST(CodeTables, IndexAnswersEqualTheBinarySearchForEveryCode) {
  FillCodeTables();
  FillCodeTables();  // a second call changes nothing
  const struct {
    const TCodeTable& table;
    const TCodeIndex& index;
  } directions[] = {{Big5GbkTable, Big5GbkIndex()}, {GbkBig5Table, GbkBig5Index()}};
  for (const auto& d : directions) {
    int differences = 0;
    for (int code = 0; code <= 0xFFFF; ++code) {
      if (d.index[code] != SearchCodeTable(d.table, code) && ++differences < 10) {
        ADD_FAILURE() << std::hex << code;
      }
    }
    EXPECT_EQ(differences, 0);
  }
}

TEST(CodeTables, SearchPassesUnknownCodesThrough) {
  for (int code : {0, 0x4142, 0x8040, 0xA3C0, 0xC6A1, 0xF9DD, 0xFFFF, 0x10000, -1}) {
    EXPECT_EQ(SearchCodeTable(Big5GbkTable, code), code) << std::hex << code;
  }
  for (int code : {0, 0x8040, 0xA440, 0xFFFF}) {
    EXPECT_EQ(SearchCodeTable(GbkBig5Table, code), code) << std::hex << code;
  }
}

TEST(CodeTables, Big5CodeWithAnUnsharedGbkPartnerRoundTrips) {
  const auto runs = GbkRuns();
  int checked = 0;
  for (const TCodePair& p : Big5GbkTable) {
    if (runs.at(p.Partner).size() != 1) continue;
    ++checked;
    EXPECT_EQ(Code(GbkToBig5Code(Code(Big5ToGbkCode(p.Key)))), p.Key) << std::hex << p.Key;
  }
  EXPECT_GT(checked, 12000);
}

// Checks the committed data against peers that know nothing of it: glibc's iconv for the code
// pages and the opencc command for the simplification, one character per line.
class CodeTablesPeers : public ::testing::Test {
 protected:
  static std::string Iconv(const char* to, const char* from, const std::string& in, bool* ok) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      ADD_FAILURE() << "iconv_open " << to << " " << from;
      *ok = false;
      return {};
    }
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    *ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
      lines.push_back(text.substr(start, nl - start));
    }
    return lines;
  }
};

TEST_F(CodeTablesPeers, Big5ToGbkIsTheSimplifiedCharacterAsIconvAndOpenccSeeIt) {
  std::string big5;
  for (const TCodePair& p : Big5GbkTable) {
    big5 += static_cast<char>(p.Key >> 8);
    big5 += static_cast<char>(p.Key);
    big5 += '\n';
  }
  bool ok = false;
  const std::string utf8 = Iconv("UTF-8", "CP950", big5, &ok);
  ASSERT_TRUE(ok);

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("melotag-conversion-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto in = dir / "traditional.txt", out = dir / "simplified.txt";
  std::ofstream(in, std::ios::binary) << utf8;
  const std::string command =
      "opencc -c t2s.json -i '" + in.string() + "' -o '" + out.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream simplifiedFile(out, std::ios::binary);
  const std::string simplified{std::istreambuf_iterator<char>(simplifiedFile), {}};
  std::filesystem::remove_all(dir);

  const std::vector<std::string> traditional = Lines(utf8), simple = Lines(simplified);
  ASSERT_EQ(traditional.size(), CodeTableSize);
  ASSERT_EQ(simple.size(), CodeTableSize);
  // Big5 symbols without a GBK code; the generator documents what each becomes.
  const std::map<int, int> substitutes = {
      {0xA145, 0xA1A4}, {0xA15A, 0xA9A4}, {0xA1C2, 0xA1A5}, {0xA1C5, 0xA3DF}};
  int keptTraditional = 0;
  for (std::size_t i = 0; i < CodeTableSize; ++i) {
    const TCodePair& p = Big5GbkTable[i];
    if (IsUnmappedBig5(p.Key)) continue;
    bool simplifiedOk = false, traditionalOk = false;
    std::string expected = Iconv("GBK", "UTF-8", simple[i], &simplifiedOk);
    if (!simplifiedOk) {
      expected = Iconv("GBK", "UTF-8", traditional[i], &traditionalOk);
      keptTraditional += traditionalOk;
    }
    if (!simplifiedOk && !traditionalOk) {
      ASSERT_TRUE(substitutes.count(p.Key)) << std::hex << p.Key;
      EXPECT_EQ(p.Partner, substitutes.at(p.Key));
      continue;
    }
    EXPECT_EQ(expected.size(), 2u) << std::hex << p.Key;
    if (expected.size() == 2) {
      EXPECT_EQ(p.Partner, Code(expected)) << std::hex << p.Key;
    }
  }
  // The simplified forms GBK lacks are characters of the extension planes, a few hundred.
  EXPECT_GT(keptTraditional, 300);
  EXPECT_LT(keptTraditional, 700);
}
