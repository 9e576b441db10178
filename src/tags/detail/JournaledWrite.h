// In-place writes of one file, each with its own journal, and the points of a write at which the
// tests of crashes end the process. For the in-place writes and the commit group.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "detail/JournalFormat.h"

namespace melotag::tags {

class TFile;

// The journal entry of a region of an open file (its identity and size as of opening): `name`
// in its folder, the region at `offset` with its `old` bytes and new `bytes`, `inserted` bytes
// inserted before it when it grows.
TEntry EntryOf(const TFile& file, std::string_view name, int64_t offset, std::string_view old,
               std::string_view bytes, uint64_t inserted = 0);

// A region of a file overwritten in place: where, its new bytes and its old ones.
struct TRegion {
  int64_t Offset = 0;
  std::string_view New, Old;
};
// Overwrites regions of a locked file (`path` names it) with their new bytes: one journal of
// their old bytes made and flushed, the regions written and flushed, the journal removed. A
// failed write puts every region's old bytes back at once; the journal stays when even that
// fails. A crash leaves all of them old or all new, once the journal is recovered.
bool WriteJournaled(TFile& file, const std::string& path, const std::vector<TRegion>& regions);
// The same for a region at the start of the file that grows by `inserted` bytes: the journal, the
// bytes inserted (the rest of the file moves on without being copied), the region written and
// flushed, the journal removed; a failed write takes the inserted bytes out again.
bool WriteGrownJournaled(TFile& file, const std::string& path, int64_t inserted,
                         std::string_view bytes, const std::string& old);

// For the tests of crashes: the point of an in-place write at which the process ends (_exit),
// as if it died there: the journal made and flushed, half of the region written (of several, the
// others before the last one and half of that), all of it.
enum class TCrashPoint { None, JournalMade, HalfWritten, Written };
void SetCrashPoint(TCrashPoint point);
// Ends the process at the crash point a test chose; writes about half the region first for
// HalfWritten, up to a sector of the file, where a killed write or a power cut tears it.
void CrashAt(TCrashPoint point, TFile& file, int64_t offset, std::string_view bytes);

}  // namespace melotag::tags
