#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

#include "HashList.h"
#include "VornMultiDD.h"

namespace {

// Runs `body` on a thread with a 256 KB stack and waits for it.
void RunOnSmallStack(std::function<void()> body) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  auto entry = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, entry, &body), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

// Keys that sort in the order of their number.
std::string OrderedKey(int i) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "k%06d", i);
  return buffer;
}

int32_t ZeroHash(std::string_view) {
  return 0;
}

// Counts nodes made and released.
class TCountingHashList : public TVornHashList {
 public:
  using TVornHashList::TVornHashList;
  ~TCountingHashList() override { Clear(); }
  int Made = 0;
  int Released = 0;

 protected:
  THashNode* NewNode() override {
    ++Made;
    return TVornHashList::NewNode();
  }
  void DisposeNode(THashNode* node) override {
    ++Released;
    TVornHashList::DisposeNode(node);
  }
};

}  // namespace

TEST(HashList, HashFunctionsGiveTheirExamples) {
  struct {
    THashFunc hash;
    const char* key;
    int32_t value;
  } cases[] = {
      {DefaultHash, "", 0},          {DefaultHash, "a", 97},        {DefaultHash, "abc", 370147431},
      {DefaultHash, "\xFF", 255},    {PositionalHash, "", 0},       {PositionalHash, "a", 194},
      {PositionalHash, "abc", 3354}, {PositionalHash, "\xFF", 510},
  };
  for (const auto& c : cases) EXPECT_EQ(c.hash(c.key), c.value) << c.key;
  // Never negative, whatever the bytes.
  std::string high(100, '\xFF');
  EXPECT_GE(DefaultHash(high), 0);
  EXPECT_GE(PositionalHash(high), 0);
}

TEST(HashList, DefaultCompareIsOrdinalOnUnsignedBytes) {
  struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {{"a", "b", -1},    {"b", "a", 1},        {"abc", "abc", 0},
               {"ab", "abc", -1}, {"", "a", -1},        {"", "", 0},
               {"\x80", "a", 1},  {"Open", "open", -1}, {"open", "Open", 1}};
  for (const auto& c : cases) {
    int r = DefaultCompare(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " " << c.b;
  }
}

TEST(HashList, AddFindAndDuplicates) {
  TVornHashList list(7);
  int a = 1, b = 2;
  list.Add("abc", &a);
  try {
    list.Add("abc", &b);
    FAIL() << "no error";
  } catch (const EHashList& e) {
    EXPECT_STREQ(e.what(), "Duplicate hash list entry: abc");
  }
  EXPECT_EQ(list.Count(), 1);
  list.Add("Open", &a);
  list.Add("open", &b);  // letter case counts
  list.Add("", &b);      // the empty key is a key
  void* value = nullptr;
  ASSERT_TRUE(list.Find("abc", value));
  EXPECT_EQ(value, &a);
  ASSERT_TRUE(list.Find("open", value));
  EXPECT_EQ(value, &b);
  ASSERT_TRUE(list.Find("", value));
  EXPECT_EQ(list.Count(), 4);

  void* untouched = &a;
  EXPECT_FALSE(list.Find("OPEN", untouched));
  EXPECT_EQ(untouched, &a);
  TVornHashList empty(1);
  EXPECT_FALSE(empty.Find("", untouched));
  EXPECT_EQ(untouched, &a);
}

TEST(HashList, ClearReleasesEveryNodeAndTheListCanBeFilledAgain) {
  for (int buckets : {1, 2, 101}) {
    TCountingHashList list(buckets);
    int values[50];
    for (int i = 0; i < 50; ++i) list.Add(std::to_string((i * 37) % 50), &values[i]);
    EXPECT_EQ(list.Made, 50);
    list.Clear();
    EXPECT_EQ(list.Released, 50);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.BucketCount(), buckets);
    void* value = nullptr;
    EXPECT_FALSE(list.Find("3", value));
    list.Add("3", &values[0]);  // present before the Clear
    EXPECT_EQ(list.Count(), 1);
  }
}

TEST(HashList, KeysOfOneHashShareABucketAndAreAllFound) {
  TVornHashList list(13, nullptr, ZeroHash);
  static int values[200];
  for (int i = 0; i < 200; ++i) list.Add("key" + std::to_string((i * 73) % 200), &values[i]);
  for (int i = 0; i < 200; ++i) {
    void* value = nullptr;
    ASSERT_TRUE(list.Find("key" + std::to_string((i * 73) % 200), value));
    EXPECT_EQ(value, &values[i]);
  }
  for (int b = 1; b < list.BucketCount(); ++b) EXPECT_EQ(list.Bucket(b), nullptr);
  int visited = 0;
  list.ForEach([&](THashNode*) { ++visited; });
  EXPECT_EQ(visited, 200);
}

// Keys added in order to one bucket make a chain as deep as the entries.
TEST(HashList, AChainOf20000KeysIsWalkedAndClearedOnASmallStack) {
  RunOnSmallStack([] {
    TCountingHashList list(1);
    for (int i = 0; i < 20000; ++i) list.Add(OrderedKey(i), nullptr);
    void* value = nullptr;
    EXPECT_TRUE(list.Find(OrderedKey(19999), value));
    int visited = 0;
    list.ForEach([&](THashNode*) { ++visited; });
    EXPECT_EQ(visited, 20000);
    list.Clear();
    EXPECT_EQ(list.Released, 20000);
  });
}

namespace {

// A table in memory, in the order given; says it has no records so that the dictionary makes
// one bucket.
class TTableReader : public IDDReader {
 public:
  TTableReader(std::vector<std::string> names, std::vector<std::vector<std::string>> rows,
               int recordCount)
      : FNames(std::move(names)), FRows(std::move(rows)), FRecordCount(recordCount) {}
  void First() override { FRow = 0; }
  void Next() override { ++FRow; }
  bool Eof() const override { return FRow >= FRows.size(); }
  int FieldCount() const override { return static_cast<int>(FNames.size()); }
  int RecordCount() const override { return FRecordCount; }
  int RecNo() const override { return static_cast<int>(FRow) + 1; }
  const std::string& FieldName(int i) const override { return FNames[i]; }
  const std::string& FieldValue(int i) const override { return FRows[FRow][i]; }
  const std::string& FieldValueByName(std::string_view) const override { return FNames[0]; }
  bool IsNull(int) const override { return false; }
  bool IsNullByName(std::string_view) const override { return false; }
  int ReservedA() const override { return 0; }
  int ReservedB() const override { return 0; }
  void BeginRead() override {}
  void EndRead() override {}

 private:
  std::vector<std::string> FNames;
  std::vector<std::vector<std::string>> FRows;
  int FRecordCount;
  size_t FRow = 0;
};

class TTableDD : public TCustomMultiDD {
 public:
  explicit TTableDD(TTableReader* reader) : FReader(reader) {}
  void LoadDD() override { BuildFromReader(*FReader); }

 private:
  TTableReader* FReader;
};

}  // namespace

TEST(HashList, TheDictionaryWalksAndReleasesAChainOf20000EntriesOnASmallStack) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 20000; ++i)
    rows.push_back({OrderedKey(i), "950", "0", "v" + std::to_string(i)});
  TTableReader reader({"DDKey", "CodePage", "SeqNo", "DisplayValue"}, std::move(rows), 0);
  RunOnSmallStack([&] {
    TTableDD dd(&reader);
    EXPECT_EQ(dd.Translate(OrderedKey(19999), "950", "0"), "v19999");
    ASSERT_EQ(dd.HashList()->BucketCount(), 1);
    EXPECT_EQ(dd.HashList()->Count(), 20000);
    dd.Clear();
    EXPECT_FALSE(dd.Built());
  });
}
