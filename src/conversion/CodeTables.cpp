#include "CodeTables.h"

#include <mutex>

namespace {

TCodeIndex Big5Gbk;
TCodeIndex GbkBig5;
std::once_flag Filled;

void BuildIndex(const TCodeTable& table, TCodeIndex& index) {
  for (std::size_t code = 0; code < index.size(); ++code) index[code] = code;
  // Backwards, so that the first entry of a run is the one that stays.
  for (auto it = table.rbegin(); it != table.rend(); ++it) {
    index[static_cast<std::uint16_t>(it->Key)] = static_cast<std::uint16_t>(it->Partner);
  }
}

}  // namespace

void FillCodeTables() {
  std::call_once(Filled, [] {
    BuildIndex(Big5GbkTable, Big5Gbk);
    BuildIndex(GbkBig5Table, GbkBig5);
  });
}

int SearchCodeTable(const TCodeTable& table, int code) {
  std::ptrdiff_t low = 0;
  std::ptrdiff_t high = static_cast<std::ptrdiff_t>(table.size()) - 1;
  while (low <= high) {
    std::ptrdiff_t middle = low + (high - low) / 2;
    if (table[middle].Key == code) {
      while (middle > 0 && table[middle - 1].Key == code) --middle;
      return table[middle].Partner;
    }
    if (table[middle].Key < code) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return code;
}

const TCodeIndex& Big5GbkIndex() {
  FillCodeTables();
  return Big5Gbk;
}

const TCodeIndex& GbkBig5Index() {
  FillCodeTables();
  return GbkBig5;
}
