// TVornHashList: the map in which a data dictionary keeps its entries. A fixed number of
// buckets chosen at construction, pluggable hash and comparison, and inside each bucket an
// unbalanced binary search tree ordered by the comparison. Keys are unique; there is no removal
// of single entries, only Clear.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Exception.h"

// Hash of a key, 0 .. 2147483647.
using THashFunc = int32_t (*)(std::string_view key);
// Negative, zero or positive as a sorts below, equal to or above b.
using TCompareFunc = int32_t (*)(std::string_view a, std::string_view b);

// h = ror(h, 6) + (h xor c) per byte; "a" -> 97, "abc" -> 370147431.
int32_t DefaultHash(std::string_view key);
// h += i * (c << (i mod 32)) for the byte c at position i counted from 1; "abc" -> 3354.
int32_t PositionalHash(std::string_view key);
// Ordinal comparison of unsigned bytes; a prefix sorts first.
int32_t DefaultCompare(std::string_view a, std::string_view b);

class EHashList : public Exception {
 public:
  using Exception::Exception;
};

struct THashNode {
  std::string Key;        // the map's own copy
  void* Value = nullptr;  // the owner's; never read or freed by the map
  THashNode* Lower = nullptr;
  THashNode* Higher = nullptr;
};

class TVornHashList {
 public:
  // bucketCount >= 1; null functions mean DefaultCompare and DefaultHash.
  explicit TVornHashList(int bucketCount, TCompareFunc compareFunc = nullptr,
                         THashFunc hashFunc = nullptr);
  virtual ~TVornHashList();
  TVornHashList(const TVornHashList&) = delete;
  TVornHashList& operator=(const TVornHashList&) = delete;

  // Inserts a new entry and answers its node; raises EHashList "Duplicate hash list entry: %s"
  // if the key is there.
  THashNode* Add(std::string_view key, void* value);
  // The same, taking over the key string as the node's copy.
  THashNode* Add(std::string&& key, void* value);
  THashNode* Add(const char* key, void* value) { return Add(std::string_view(key), value); }
  // True and the value if the key is present; `value` is left untouched otherwise.
  bool Find(std::string_view key, void*& value) const;
  // Releases every node; the bucket count stays, the values are not touched.
  void Clear();

  int Count() const { return FCount; }
  int BucketCount() const { return static_cast<int>(FBuckets.size()); }
  // Root of bucket i's tree, for owners that walk the entries.
  THashNode* Bucket(int i) const { return FBuckets[static_cast<size_t>(i)]; }

  // Calls f(node) for every node: each bucket's tree in the order node, Lower subtree, Higher
  // subtree. Iterative, so a tree as deep as its entries is fine.
  template <typename F>
  void ForEach(F f) const {
    std::vector<THashNode*> pending;
    for (THashNode* root : FBuckets) {
      if (!root) continue;
      pending.push_back(root);
      while (!pending.empty()) {
        THashNode* node = pending.back();
        pending.pop_back();
        f(node);
        if (node->Higher) pending.push_back(node->Higher);
        if (node->Lower) pending.push_back(node->Lower);
      }
    }
  }

 protected:
  // A node whose Lower and Higher are empty.
  virtual THashNode* NewNode();
  // Releases one node and its key copy.
  virtual void DisposeNode(THashNode* node);

 private:
  THashNode** FindLink(std::string_view key) const;
  template <typename K>
  THashNode* AddKey(K&& key, void* value);

  THashFunc FHashFunc;
  TCompareFunc FCompareFunc;
  int FCount = 0;
  mutable std::vector<THashNode*> FBuckets;
};
