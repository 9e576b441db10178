// The ID3v1 trailer: the last 128 bytes of an MPEG audio file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "Trim.h"

namespace melotag::tags {

// The ID3v1 genre names, indexed by the trailer's genre byte.
inline constexpr int kGenreCount = 148;
extern const std::array<std::string_view, kGenreCount> GenreNames;

class TID3v1 {
 public:
  TID3v1() { Clear(); }

  void Clear();
  // False only when the last 128 bytes cannot be read; a file without a trailer gives true
  // with Exists() false.
  bool LoadFromFile(const std::string& path);
  // Replaces any trailer by one built from the fields. A failure or a crash leaves the old
  // trailer or the new one, never none.
  bool WriteToFile(const std::string& path);
  // Removes the trailer; true also when the file has none.
  bool DeleteFromFile(const std::string& path);
  // Reads the file's trailer into the fields (cleared when there is none), lets `edit` change
  // them and writes the trailer they make, all under the writers' lock of the file: a writer
  // that edits other fields meanwhile waits, and its change is kept. Nothing is written when
  // the trailer comes out as the file holds it. False when the trailer cannot be read or
  // written (the file then keeps its old trailer); the fields then hold what was read, if any.
  bool EditFile(const std::string& path, const std::function<void(TID3v1&)>& edit);

  // Texts lose their trailing bytes of value 0x20 or below, then are cut to the field width.
  void SetTitle(const std::string& text);
  void SetArtist(const std::string& text);
  void SetAlbum(const std::string& text);
  void SetYear(const std::string& text);
  void SetComment(const std::string& text);
  void SetTrack(uint8_t track) { FTrack = track; }
  void SetGenreIndex(uint8_t index) { FGenreIndex = index; }

  bool Exists() const { return FExists; }
  // 1 = version 1.0, 2 = version 1.1.
  uint8_t Version() const { return FVersion; }
  const std::string& Title() const { return FTitle; }
  const std::string& Artist() const { return FArtist; }
  const std::string& Album() const { return FAlbum; }
  const std::string& Year() const { return FYear; }
  const std::string& Comment() const { return FComment; }
  // 0 = no track number.
  uint8_t Track() const { return FTrack; }
  // 255 = none; 148 and above name no genre.
  uint8_t GenreIndex() const { return FGenreIndex; }

 private:
  // The fields of the 128 bytes of a trailer; cleared when they are none.
  void Parse(const char* trailer);
  // The trailer the fields make.
  std::array<char, 128> Build() const;
  bool FExists;
  uint8_t FVersion;
  std::string FTitle;
  std::string FArtist;
  std::string FAlbum;
  std::string FYear;
  std::string FComment;
  uint8_t FTrack;
  uint8_t FGenreIndex;
};

// The trailer as the file holds it: its 128 bytes, or empty for a file without one. False when
// the last 128 bytes cannot be read.
bool ReadID3v1Bytes(const std::string& path, std::string& bytes);

// Puts `bytes` (a whole trailer, or empty: none) in place of the file's trailer when that is
// still `expected` (empty: none), read under the writers' lock. Changed: the file holds another
// trailer now and is left alone. A failure leaves the old trailer or the new one.
enum class TTrailerSwap { Done, Changed, Failed };
TTrailerSwap SwapID3v1Bytes(const std::string& path, const std::string& expected,
                            const std::string& bytes);

}  // namespace melotag::tags

// The tag class keeps its name where the program uses it.
using melotag::tags::TID3v1;
