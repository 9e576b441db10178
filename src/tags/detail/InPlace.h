// Regions of a locked file overwritten in place, journaled, or grown by blocks inserted before
// them; inside a TCommitGroup they wait for its commit. For the rebuild of the tag classes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace melotag::tags {

class TFile;

// Overwrites `bytes.size()` bytes at `offset` of a file opened by OpenLocked (`path` names it),
// the old bytes journaled (only the span that differs is journaled and written); inside a
// TCommitGroup the write waits for the group's commit. `old`: the bytes there now when the caller
// has read them, else empty. False when the journal cannot be made (the file is then untouched) or
// the write fails (the journal then restores the old bytes).
bool WriteInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t offset,
                  std::string bytes, std::string_view old = {});

// The size of the blocks in which bytes can be inserted into the file (opened, `path` names it)
// without moving the rest of it: its file system's block; 0 where the file system cannot (only
// ext4 files kept in extents and XFS can, and only where the file system was seen to take one).
int64_t InsertBlock(const TFile& file, const std::string& path);

// Grows the region at the start of a file opened by OpenLocked: `inserted` bytes (whole blocks,
// see InsertBlock) are inserted before its old bytes, and `bytes` (`inserted` bytes longer than
// the old region) written over both, journaled like WriteInPlace, so that a crash leaves the old
// region or the new one. The rest of the file is neither read nor written. `old`: the old region
// when the caller has read it, else empty. Inside a TCommitGroup the write waits for its commit.
bool GrowInPlace(std::unique_ptr<TFile> file, const std::string& path, int64_t inserted,
                 std::string bytes, std::string_view old);

}  // namespace melotag::tags
