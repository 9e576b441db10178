// The two GBK/Big5 code tables. A double-byte code is lead * 256 + trail.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct TCodePair {
  std::int32_t Key;
  std::int32_t Partner;
};

inline constexpr std::size_t CodeTableSize = 13468;
using TCodeTable = std::array<TCodePair, CodeTableSize>;

// Big5 code -> GBK code, ascending by key, every key once. The seven codes 0xF9D6..0xF9DC have
// no GBK partner and carry 0x3F3F ("??").
extern const TCodeTable Big5GbkTable;
// The same pairs swapped: GBK code -> Big5 code, ascending by key. Equal keys form a run whose
// first entry is the partner a conversion yields.
extern const TCodeTable GbkBig5Table;

// Builds the direct look-up indexes of both tables. The first call does the work, later calls
// (from any thread) do nothing; every look-up below calls it itself.
void FillCodeTables();

// Binary search for code among the table's keys: the partner of the first entry of its run, or
// code itself when the table has no such key.
int SearchCodeTable(const TCodeTable& table, int code);

// 65,536 entries, one per 16-bit code, each equal to SearchCodeTable(table, code).
using TCodeIndex = std::array<std::uint16_t, 65536>;
const TCodeIndex& Big5GbkIndex();
const TCodeIndex& GbkBig5Index();
