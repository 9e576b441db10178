#include "TagRepair.h"

#include <algorithm>
#include <array>

#include "ID3v1.h"
#include "ID3v2.h"
#include "ID3v2Frames.h"
#include "LegacyText.h"
#include "TagError.h"

#include "TagText.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

namespace melotag::editor {

using tags::FrameContent;
using tags::TFrame;
using tags::TFrameTag;

namespace {

// The word the preview names a frame with: its field's, else its ID.
QString FieldName(std::string_view id) {
  for (const TFieldRow& row : FieldTable())
    if (id == row.Frame || id == row.Frame24) return QString::fromLatin1(row.Label);
  return QString::fromLatin1(id.data(), static_cast<qsizetype>(id.size()));
}

// The kinds of frames whose texts a repair reads.
enum class TKind { None, Text, UserText, Comment };
TKind KindOf(std::string_view id) {
  if (id == "TXXX") return TKind::UserText;
  if (id == "COMM" || id == "USLT") return TKind::Comment;
  if (!id.empty() && id[0] == 'T') return TKind::Text;
  return TKind::None;
}

// A text of the file with where it goes: an old frame (its index) or a new one for a trailer
// value.
struct TPlanned {
  TRepairText Text;
  int Frame = -1;
  std::string_view NewId;  // for a trailer value
};

std::string WithoutTrailingZeros(std::string_view bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
  return std::string(bytes);
}

// The code-page strings of a text frame, apart by zero bytes (a description first for TXXX,
// COMM and USLT); none for a frame of another kind or encoding, or one that cannot be read.
std::optional<std::string> CodePageStrings(const TFrame& frame, uint8_t version) {
  const TKind kind = KindOf(frame.Id);
  if (kind == TKind::None) return std::nullopt;
  const std::optional<std::string_view> content = FrameContent(frame, version);
  if (!content || content->empty() || (*content)[0] != tags::kLatin1) return std::nullopt;
  if (kind == TKind::Comment) {
    const auto parts = tags::SplitComment(*content);
    if (!parts) return std::nullopt;
    return std::string(parts->Description) + '\0' + WithoutTrailingZeros(parts->Text);
  }
  return WithoutTrailingZeros(content->substr(1));
}

bool HasFrame(const TFrameTag& tag, std::string_view id) {
  for (const TFrame& frame : tag.Frames)
    if (frame.Id == id || (id == "TYER" && frame.Id == "TDRC")) return true;
  return false;
}

// A value of the trailer as the ID3v2 tag would hold it; empty for none.
std::string TrailerValue(const TID3v1& v1, TV1Slot slot) {
  if (!v1.Exists()) return {};
  switch (slot) {
    case TV1Slot::Title:
      return melotag::tags::Trim(v1.Title());
    case TV1Slot::Artist:
      return melotag::tags::Trim(v1.Artist());
    case TV1Slot::Album:
      return melotag::tags::Trim(v1.Album());
    case TV1Slot::Track:
      return v1.Track() > 0 ? std::to_string(v1.Track()) : std::string();
    case TV1Slot::Year:
      return melotag::tags::Trim(v1.Year());
    case TV1Slot::Genre:
      return v1.GenreIndex() < tags::kGenreCount ? std::string(tags::GenreNames[v1.GenreIndex()])
                                                 : std::string();
    case TV1Slot::Comment:
      return melotag::tags::Trim(v1.Comment());
    case TV1Slot::None:
      break;
  }
  return {};
}

// The texts a repair writes into the tag: its legacy frames, and the trailer values it lacks;
// none when nothing is in a code page.
std::vector<TPlanned> Plan(const TFrameTag& tag, const TID3v1& v1) {
  std::vector<TPlanned> planned;
  bool legacy = false;
  for (size_t i = 0; i < tag.Frames.size(); ++i) {
    const std::optional<std::string> strings = CodePageStrings(tag.Frames[i], tag.Version);
    if (!strings || !IsLegacyText(*strings)) continue;
    planned.push_back({{FieldName(tag.Frames[i].Id), *strings, true}, static_cast<int>(i), {}});
    legacy = true;
  }
  for (const TFieldRow& row : FieldTable()) {
    const std::string value = TrailerValue(v1, row.V1);
    if (value.empty() || HasFrame(tag, row.Frame)) continue;
    const bool text = IsLegacyText(value);
    // A comment's text follows its (empty) description, as in a COMM frame.
    const std::string bytes = row.Kind == TFieldKind::Described ? '\0' + value : value;
    const QString field = QString::fromLatin1(row.Label) + QStringLiteral(" (ID3v1)");
    planned.push_back({{field, bytes, text}, -1, row.Frame});
    legacy = legacy || text;
  }
  if (!legacy) planned.clear();
  return planned;
}

// Why a tag cannot be repaired; empty when it can.
QString ProblemOf(const TFrameTag& tag) {
  if (!tag.Exists) return {};
  if (tag.Version < 2 || tag.Version > 4)
    return QStringLiteral("ID3v2.%1 tag").arg(static_cast<int>(tag.Version));
  if (tag.Damaged || tag.TagSize == 0) return QStringLiteral("damaged ID3v2 tag");
  return {};
}

std::string Utf16(const QString& text) {
  return tags::Utf8ToUtf16(text.toStdString());
}

// The strings in UTF-16, each with its byte-order mark, apart by two zero bytes.
std::string Utf16Strings(const QStringList& strings) {
  std::string out;
  for (qsizetype i = 0; i < strings.size(); ++i) {
    if (i > 0) out += std::string(2, '\0');
    out += Utf16(strings[i]);
  }
  return out;
}

// The content of a frame of `kind` holding the strings (a description first for TXXX, COMM,
// USLT): UTF-16 when one is beyond ASCII, else as they are.
std::string Content(TKind kind, const QStringList& strings, std::string_view language) {
  bool ascii = true;
  for (const QString& s : strings)
    for (QChar c : s) ascii = ascii && c.unicode() < 0x80;
  std::string out(1, static_cast<char>(ascii ? tags::kLatin1 : tags::kUtf16));
  if (kind == TKind::Comment) out += language;
  if (ascii) return out + strings.join(QChar(0)).toStdString();
  return out + Utf16Strings(strings);
}

uint64_t Hash(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (char b : bytes) hash = (hash ^ static_cast<unsigned char>(b)) * 0x100000001b3ull;
  return hash;
}

// Repairs the tag's legacy texts and adds the trailer values it lacks; the tag keeps its
// version (2.4 takes the year as its recording time). False when nothing was in a code page.
bool Repair(TFrameTag& tag, const TID3v1& v1, int codePage) {
  const std::vector<TPlanned> planned = Plan(tag, v1);
  std::vector<TFrame>& frames = tag.Frames;
  std::vector<TFrame> added;
  bool repaired = false;
  for (const TPlanned& p : planned) {
    std::optional<QString> text = RepairedText(p.Text, codePage);
    if (!text) continue;
    repaired = repaired || p.Text.Legacy;
    const QStringList strings = text->split(QChar(0));
    if (p.Frame < 0) {
      const TKind kind = KindOf(p.NewId);
      const QStringList parts = kind == TKind::Comment ? strings : QStringList{*text};
      const std::string_view id = tag.Version == 4 && p.NewId == "TYER" ? "TDRC" : p.NewId;
      added.push_back({std::string(id), 0, Content(kind, parts, "eng"), false});
      continue;
    }
    TFrame& frame = frames[p.Frame];
    const std::string_view content = *FrameContent(frame, tag.Version);
    const std::string language(content.substr(1, KindOf(frame.Id) == TKind::Comment ? 3 : 0));
    // The new content stands alone: no group byte, data-length indicator or unsynchronisation.
    frame.Data = Content(KindOf(frame.Id), strings, language);
    frame.Flags &= tag.Version == 4 ? ~uint16_t(tags::kFlag24Grouped | tags::kFlag24DataLength |
                                                tags::kFlag24Unsynchronised)
                                    : ~uint16_t(tags::kFlag23Grouped);
  }
  if (!repaired) return false;
  for (TFrame& frame : added) frames.push_back(std::move(frame));
  return true;
}

// A tag's frames as a tag without padding: the same for the tag a write made and for what the
// file holds after it, however much padding the write left.
std::string Unpadded(std::string_view bytes) {
  TFrameTag tag;
  tags::ParseFrameTag(bytes, tag);
  if (!tag.Exists) return {};
  return tags::BuildTag(tag.Frames, tag.Version).value_or(std::string());
}

// Reads both tags of the file; why it cannot be repaired, empty when it can.
QString ReadTags(const QByteArray& path, TFrameTag& tag, TID3v1& v1) {
  // A file too short for a trailer has none: only the ID3v2 tag has to be readable.
  if (!FileExists(path) || !tags::ReadFrameTag(TagPath(path), tag))
    return QStringLiteral("Can not read tag from the file");
  v1.LoadFromFile(TagPath(path));
  return ProblemOf(tag);
}

}  // namespace

TTagRepairFile ReadLegacyTags(const QByteArray& path) {
  TTagRepairFile file;
  file.Path = path;
  TFrameTag tag;
  TID3v1 v1;
  file.Problem = ReadTags(path, tag, v1);
  if (!file.Problem.isEmpty()) return file;
  for (TPlanned& p : Plan(tag, v1)) file.Texts.push_back(std::move(p.Text));
  return file;
}

int CodePageFor(const TTagRepairFile& file, int choice) {
  if (choice != kGuessCodePage) return choice;
  std::vector<std::string_view> texts;
  for (const TRepairText& text : file.Texts)
    if (text.Legacy) texts.push_back(text.Bytes);
  return GuessCodePage(texts).CodePage;
}

std::optional<QString> RepairedText(const TRepairText& text, int codePage) {
  if (!text.Legacy) return QString::fromLatin1(text.Bytes.data(), qsizetype(text.Bytes.size()));
  return DecodeLegacy(text.Bytes, codePage);
}

TRepairResult RepairTags(const QByteArray& path, int codePage, TTagRepairUndo& undo) {
  TRepairResult result;
  try {
    // Read once before the lock for what cannot be repaired (a tag larger than the file gives
    // the rebuild no old tag to replace); the frames are read again under the lock.
    TFrameTag before;
    TID3v1 v1;
    if (!ReadTags(path, before, v1).isEmpty()) return result;
    result.Outcome = TRepairOutcome::Nothing;
    if (Plan(before, v1).empty()) return result;
    if (!undo.Ready()) return {};
    TWrittenTag written;
    bool problem = false;
    const auto edit = [&](TFrameTag& tag) {
      problem = !ProblemOf(tag).isEmpty();
      return !problem && Repair(tag, v1, codePage);
    };
    const TWriteOutcome outcome = WriteFrames(TagPath(path), edit, &written);
    if (!outcome.Ok || problem) return {};
    if (written.New.empty()) return result;
    result.Outcome = TRepairOutcome::Repaired;
    result.Dropped = outcome.Dropped;
    // The file is repaired; without its old tag kept, the undo leaves it alone.
    undo.Keep(path, written.Old, written.New);
    return result;
  } catch (...) {
    melotag::tags::FailedByException();
  }
  return {};
}

TTagRepairUndo::~TTagRepairUndo() {
  if (FStore) std::fclose(FStore);
}

bool TTagRepairUndo::Ready() {
  return FStore || (FStore = std::tmpfile());
}

int TTagRepairUndo::Files() const {
  std::vector<QByteArray> paths;
  for (const TEntry& entry : FEntries) paths.push_back(entry.Path);
  std::sort(paths.begin(), paths.end());
  return static_cast<int>(std::unique(paths.begin(), paths.end()) - paths.begin());
}

bool TTagRepairUndo::Store(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (std::fseek(FStore, static_cast<long>(FStoreSize), SEEK_SET) != 0 ||
      std::fwrite(bytes.data(), 1, bytes.size(), FStore) != bytes.size())
    return false;
  FStoreSize += static_cast<int64_t>(bytes.size());
  return true;
}

bool TTagRepairUndo::Stored(int64_t offset, int64_t size, std::string& bytes) {
  bytes.assign(static_cast<size_t>(size), '\0');
  return size == 0 || (std::fseek(FStore, static_cast<long>(offset), SEEK_SET) == 0 &&
                       std::fread(bytes.data(), 1, bytes.size(), FStore) == bytes.size());
}

bool TTagRepairUndo::Keep(const QByteArray& path, std::string_view oldTag,
                          std::string_view newTag) {
  const int64_t offset = FStoreSize;
  if (!Ready() || !Store(oldTag)) return false;
  const std::string frames = Unpadded(newTag);
  FEntries.push_back({path, !oldTag.empty(), offset, static_cast<int64_t>(oldTag.size()),
                      Hash(frames), static_cast<int64_t>(frames.size())});
  return true;
}

bool TTagRepairUndo::KeepTrailer(const QByteArray& path, std::string_view oldTrailer,
                                 std::string_view newTrailer) {
  const int64_t offset = FStoreSize;
  if (!Ready() || !Store(oldTrailer) || !Store(newTrailer)) {
    FStoreSize = offset;
    return false;
  }
  TEntry entry{path,
               !oldTrailer.empty(),
               offset,
               static_cast<int64_t>(oldTrailer.size()),
               Hash(newTrailer),
               static_cast<int64_t>(newTrailer.size())};
  entry.Trailer = true;
  FEntries.push_back(entry);
  return true;
}

void TTagRepairUndo::UndoTrailer(const TEntry& entry, std::vector<QByteArray>& changed,
                                 std::vector<QByteArray>& failed) {
  std::string old, now;
  if (!Stored(entry.Offset, entry.Size, old) ||
      !Stored(entry.Offset + entry.Size, entry.NewSize, now)) {
    failed.push_back(entry.Path);
    return;
  }
  switch (tags::SwapID3v1Bytes(TagPath(entry.Path), now, old)) {
    case tags::TTrailerSwap::Done:
      break;
    case tags::TTrailerSwap::Changed:
      changed.push_back(entry.Path);
      break;
    case tags::TTrailerSwap::Failed:
      failed.push_back(entry.Path);
      break;
  }
}

void TTagRepairUndo::Undo(std::vector<QByteArray>& changed, std::vector<QByteArray>& failed) {
  // The trailers first: a tag put back inside a commit group keeps its file locked until the
  // group's commit.
  for (auto entry = FEntries.rbegin(); entry != FEntries.rend(); ++entry)
    if (entry->Trailer) UndoTrailer(*entry, changed, failed);
  for (auto entry = FEntries.rbegin(); entry != FEntries.rend(); ++entry) {
    if (entry->Trailer) continue;
    std::string old;
    if (!Stored(entry->Offset, entry->Size, old)) {
      failed.push_back(entry->Path);
      continue;
    }
    bool same = false;
    const auto edit = [&](std::string_view current) {
      const std::string frames = Unpadded(current);
      same =
          static_cast<int64_t>(frames.size()) == entry->NewSize && Hash(frames) == entry->NewHash;
      if (!same) return tags::TTagChange{};
      return tags::TTagChange{true, entry->HadTag ? std::optional<std::string>(old) : std::nullopt};
    };
    const tags::TRebuild rebuilt = tags::RebuildFileWith(TagPath(entry->Path), edit);
    if (rebuilt == tags::TRebuild::Failed)
      failed.push_back(entry->Path);
    else if (!same)
      changed.push_back(entry->Path);
  }
  Clear();
}

void TTagRepairUndo::Clear() {
  FEntries.clear();
  FStoreSize = 0;
  if (FStore) std::fclose(FStore);
  FStore = nullptr;
}

}  // namespace melotag::editor
