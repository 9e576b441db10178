// Counts the allocations of look-ups and builds; this suite replaces the global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "HashList.h"
#include "VornMultiDD.h"
#include "VornMultiDDReader.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

// Allocations made by `f`.
template <typename F>
long Allocations(F f) {
  long before = gAllocations;
  f();
  return gAllocations - before;
}

const std::string kLongKey = "A key well beyond the short string buffer";

class TReaderDD : public TCustomMultiDD {
 public:
  IDDReader* Reader = nullptr;
  void LoadDD() override { BuildFromReader(*Reader); }
};

}  // namespace

TEST(Allocation, FindAllocatesNothingAndAddOneNodeAndOneKeyCopy) {
  TVornHashList list(101, DefaultCompare, PositionalHash);
  int value = 0;
  EXPECT_EQ(Allocations([&] { list.Add(kLongKey, &value); }), 2);
  void* found = nullptr;
  EXPECT_EQ(Allocations([&] { EXPECT_TRUE(list.Find(kLongKey, found)); }), 0);
  const std::string missing = kLongKey + "x";
  EXPECT_EQ(Allocations([&] { EXPECT_FALSE(list.Find(missing, found)); }), 0);
}

TEST(Allocation, ALookUpMakesItsKeyAndItsAnswerOnly) {
  std::string csv = "DDKey,CodePage,SeqNo,DisplayValue,\r\n" + kLongKey + ",950,0," + kLongKey +
                    " translated,\r\n";
  TTextCSVStreamDDReader reader(csv);
  TReaderDD dd;
  dd.Reader = &reader;
  dd.BuildDD();
  // The composite key, and the copy of the display value handed back.
  const std::string expected = kLongKey + " translated";
  std::string result;
  EXPECT_EQ(Allocations([&] { result = dd.Translate(kLongKey, "950", "0"); }), 2);
  EXPECT_EQ(result, expected);
  // A short key fits the string itself.
  EXPECT_EQ(Allocations([&] { result = dd.Translate("Open", "950", "0"); }), 0);
  EXPECT_EQ(result, "Open");
}

TEST(Allocation, BuildingMakesANodeAKeyAndAValuePerEntry) {
  const int n = 1000;
  std::string csv = "DDKey,CodePage,SeqNo,DisplayValue,\r\n";
  for (int i = 0; i < n; ++i)
    csv += kLongKey + std::to_string(i) + ",950,0,the display value number " + std::to_string(i) +
           ",\r\n";
  TTextCSVStreamDDReader reader(csv);
  TReaderDD dd;
  dd.Reader = &reader;
  // A node (holding the value record), the key copy and the display text (long here) per
  // entry; a few for the list itself.
  long made = Allocations([&] { dd.BuildDD(); });
  EXPECT_LE(made, 3 * n + 16);
  EXPECT_EQ(dd.HashList()->Count(), n);
}
