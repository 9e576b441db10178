#include "ID3v1.h"

#include <cstring>

#include "TagError.h"
#include "detail/File.h"

namespace melotag::tags {

const std::array<std::string_view, kGenreCount> GenreNames = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New Age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death Metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "AlternRock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-Folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk-Rock",
    "National Folk",
    "Swing",
    "Fast Fusion",
    "Bebob",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progessive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhythmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A capella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Trash Metal",
    "Anime",
    "JPop",
    "Synthpop",
};

namespace {

constexpr size_t kTrailerSize = 128;
using TTrailer = std::array<char, kTrailerSize>;

// Field offsets and widths inside the trailer.
constexpr size_t kTitleAt = 3, kArtistAt = 33, kAlbumAt = 63, kYearAt = 93, kCommentAt = 97;
constexpr size_t kTextWidth = 30, kYearWidth = 4, kShortCommentWidth = 28;
constexpr size_t kZeroByteAt = 125, kTrackAt = 126, kGenreAt = 127;

// Reads the last 128 bytes of an open file.
bool ReadTrailer(TFile& file, TTrailer& trailer) {
  return (file.Size() >= static_cast<int64_t>(kTrailerSize) || Failed(kFileTooShort)) &&
         file.ReadExactly(file.Size() - kTrailerSize, trailer.data(), kTrailerSize);
}

bool HasMagic(const TTrailer& trailer) {
  return std::memcmp(trailer.data(), "TAG", 3) == 0;
}

std::string Field(const TTrailer& trailer, size_t offset, size_t width) {
  return TrimRight(std::string(trailer.data() + offset, width));
}

std::string Limited(const std::string& text, size_t width) {
  return TrimRight(text).substr(0, width);
}

void Put(TTrailer& trailer, size_t offset, const std::string& value) {
  std::memcpy(trailer.data() + offset, value.data(), value.size());
}

}  // namespace

void TID3v1::Clear() {
  FExists = false;
  FVersion = 1;
  FTitle.clear();
  FArtist.clear();
  FAlbum.clear();
  FYear.clear();
  FComment.clear();
  FTrack = 0;
  FGenreIndex = 255;
}

void TID3v1::Parse(const char* bytes) {
  Clear();
  TTrailer trailer;
  std::memcpy(trailer.data(), bytes, kTrailerSize);
  if (!HasMagic(trailer)) return;
  FExists = true;
  const unsigned char zero = trailer[kZeroByteAt];
  const unsigned char track = trailer[kTrackAt];
  const bool v11 = (zero == 0x00 && track != 0x00) || (zero == 0x20 && track != 0x20);
  FVersion = v11 ? 2 : 1;
  FTitle = Field(trailer, kTitleAt, kTextWidth);
  FArtist = Field(trailer, kArtistAt, kTextWidth);
  FAlbum = Field(trailer, kAlbumAt, kTextWidth);
  FYear = Field(trailer, kYearAt, kYearWidth);
  if (v11) {
    FComment = Field(trailer, kCommentAt, kShortCommentWidth);
    FTrack = track;
  } else {
    FComment = Field(trailer, kCommentAt, kTextWidth);
  }
  FGenreIndex = static_cast<unsigned char>(trailer[kGenreAt]);
}

std::array<char, 128> TID3v1::Build() const {
  TTrailer trailer{};
  Put(trailer, 0, "TAG");
  Put(trailer, kTitleAt, FTitle);
  Put(trailer, kArtistAt, FArtist);
  Put(trailer, kAlbumAt, FAlbum);
  Put(trailer, kYearAt, FYear);
  Put(trailer, kCommentAt, FComment);
  if (FTrack > 0) {
    trailer[kZeroByteAt] = 0;
    trailer[kTrackAt] = static_cast<char>(FTrack);
  }
  trailer[kGenreAt] = static_cast<char>(FGenreIndex);
  return trailer;
}

bool TID3v1::LoadFromFile(const std::string& path) {
  try {
    Clear();
    TFile file;
    TTrailer trailer;
    if (!file.Open(path) || !ReadTrailer(file, trailer)) return false;
    Parse(trailer.data());
    return true;
  } catch (...) {
    return FailedByException();
  }
}

bool TID3v1::DeleteFromFile(const std::string& path) {
  try {
    TFile file;
    TTrailer trailer;
    if (!file.Open(path) || !ReadTrailer(file, trailer)) return false;
    if (!HasMagic(trailer)) return true;
    file.Close();
    // Read again under the lock: another writer may have changed the trailer meanwhile.
    if (!file.OpenToWrite(path) || !ReadTrailer(file, trailer)) {
      return false;
    }
    return !HasMagic(trailer) || file.Truncate(file.Size() - kTrailerSize);
  } catch (...) {
    return FailedByException();
  }
}

namespace {

// Puts `trailer` over the old one (`old`, read under the lock) of a file opened to write. An old
// trailer is overwritten with one write, never cut first; Append cuts a failed append back. Either
// way the file keeps the old trailer or gets the new one.
bool PutTrailer(TFile& file, const TTrailer& old, const TTrailer& trailer) {
  return HasMagic(old) ? file.WriteAt(file.Size() - kTrailerSize, trailer.data(), kTrailerSize)
                       : file.Append(trailer.data(), trailer.size());
}

}  // namespace

bool TID3v1::WriteToFile(const std::string& path) {
  try {
    const TTrailer trailer = Build();
    TFile file;
    TTrailer old;
    if (!file.OpenToWrite(path) || !ReadTrailer(file, old)) {
      return false;
    }
    return PutTrailer(file, old, trailer);
  } catch (...) {
    return FailedByException();
  }
}

bool TID3v1::EditFile(const std::string& path, const std::function<void(TID3v1&)>& edit) {
  try {
    Clear();
    TFile file;
    TTrailer old;
    if (!file.OpenToWrite(path) || !ReadTrailer(file, old)) return false;
    Parse(old.data());
    edit(*this);
    const TTrailer trailer = Build();
    if (HasMagic(old) && trailer == old) return true;
    return PutTrailer(file, old, trailer);
  } catch (...) {
    return FailedByException();
  }
}

void TID3v1::SetTitle(const std::string& text) {
  FTitle = Limited(text, kTextWidth);
}
void TID3v1::SetArtist(const std::string& text) {
  FArtist = Limited(text, kTextWidth);
}
void TID3v1::SetAlbum(const std::string& text) {
  FAlbum = Limited(text, kTextWidth);
}
void TID3v1::SetYear(const std::string& text) {
  FYear = Limited(text, kYearWidth);
}
void TID3v1::SetComment(const std::string& text) {
  FComment = Limited(text, kTextWidth);
}

bool ReadID3v1Bytes(const std::string& path, std::string& bytes) {
  try {
    TFile file;
    TTrailer trailer;
    if (!file.Open(path) || !ReadTrailer(file, trailer)) return false;
    bytes = HasMagic(trailer) ? std::string(trailer.data(), kTrailerSize) : std::string();
    return true;
  } catch (...) {
    return FailedByException();
  }
}

TTrailerSwap SwapID3v1Bytes(const std::string& path, const std::string& expected,
                            const std::string& bytes) {
  try {
    if (!bytes.empty() && bytes.size() != kTrailerSize) return TTrailerSwap::Failed;
    TFile file;
    TTrailer now;
    if (!file.OpenToWrite(path) || !ReadTrailer(file, now)) return TTrailerSwap::Failed;
    const std::string current =
        HasMagic(now) ? std::string(now.data(), kTrailerSize) : std::string();
    if (current != expected) return TTrailerSwap::Changed;
    bool ok = true;
    if (!current.empty() && !bytes.empty())
      ok = file.WriteAt(file.Size() - kTrailerSize, bytes.data(), kTrailerSize);
    else if (!current.empty())
      ok = file.Truncate(file.Size() - kTrailerSize);
    else if (!bytes.empty())
      ok = file.Append(bytes.data(), bytes.size());
    return ok ? TTrailerSwap::Done : TTrailerSwap::Failed;
  } catch (...) {
    FailedByException();
    return TTrailerSwap::Failed;
  }
}

}  // namespace melotag::tags
