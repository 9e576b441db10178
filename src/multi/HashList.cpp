#include "HashList.h"

#include <cstring>

#include "Format.h"

int32_t DefaultHash(std::string_view key) {
  uint32_t h = 0;
  for (unsigned char c : key) h = (h << 26) + (h >> 6) + (h ^ c);
  return static_cast<int32_t>(h & 0x7FFFFFFF);
}

int32_t PositionalHash(std::string_view key) {
  uint32_t h = 0;
  uint32_t i = 0;
  for (unsigned char c : key) {
    ++i;
    h += i * (static_cast<uint32_t>(c) << (i % 32));
  }
  return static_cast<int32_t>(h & 0x7FFFFFFF);
}

int32_t DefaultCompare(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  if (n > 0) {
    int r = std::memcmp(a.data(), b.data(), n);  // compares unsigned bytes
    if (r != 0) return r < 0 ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

TVornHashList::TVornHashList(int bucketCount, TCompareFunc compareFunc, THashFunc hashFunc)
    : FHashFunc(hashFunc ? hashFunc : DefaultHash),
      FCompareFunc(compareFunc ? compareFunc : DefaultCompare),
      FBuckets(static_cast<size_t>(bucketCount < 1 ? 1 : bucketCount), nullptr) {}

TVornHashList::~TVornHashList() {
  Clear();
}

THashNode* TVornHashList::NewNode() {
  return new THashNode;
}

void TVornHashList::DisposeNode(THashNode* node) {
  delete node;
}

THashNode** TVornHashList::FindLink(std::string_view key) const {
  size_t i = static_cast<uint32_t>(FHashFunc(key)) % FBuckets.size();
  THashNode** link = &FBuckets[i];
  while (THashNode* node = *link) {
    int32_t r = FCompareFunc(key, node->Key);
    if (r == 0) break;
    link = r < 0 ? &node->Lower : &node->Higher;
  }
  return link;
}

template <typename K>
THashNode* TVornHashList::AddKey(K&& key, void* value) {
  THashNode** link = FindLink(key);
  if (*link) throw EHashList(Format("Duplicate hash list entry: %s", {std::string(key)}));
  THashNode* node = NewNode();
  node->Key = std::forward<K>(key);
  node->Value = value;
  *link = node;
  ++FCount;
  return node;
}

THashNode* TVornHashList::Add(std::string_view key, void* value) {
  return AddKey(key, value);
}

THashNode* TVornHashList::Add(std::string&& key, void* value) {
  return AddKey(std::move(key), value);
}

bool TVornHashList::Find(std::string_view key, void*& value) const {
  THashNode* node = *FindLink(key);
  if (!node) return false;
  value = node->Value;
  return true;
}

void TVornHashList::Clear() {
  // Releases each tree without recursion: a node with a Lower subtree is rotated right until
  // the top node has none, then the top node goes and its Higher subtree takes its place.
  for (THashNode*& root : FBuckets) {
    THashNode* node = root;
    root = nullptr;
    while (node) {
      if (THashNode* lower = node->Lower) {
        node->Lower = lower->Higher;
        lower->Higher = node;
        node = lower;
      } else {
        THashNode* higher = node->Higher;
        DisposeNode(node);
        node = higher;
      }
    }
  }
  FCount = 0;
}
