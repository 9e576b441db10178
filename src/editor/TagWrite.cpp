#include "TagWrite.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <initializer_list>

#include "CodePage.h"
#include "Cover.h"
#include "FilePath.h"
#include "FrameLayout.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "LegacyText.h"
#include "TagError.h"

namespace melotag::editor {

using tags::TFrame;
using tags::TFrameTag;

namespace {

QString TrimmedRight(const QString& text) {
  qsizetype end = text.size();
  while (end > 0 && text[end - 1].unicode() <= 0x20) --end;
  return text.left(end);
}

// The encoding a new text takes in a tag of that convention.
uint8_t EncodingFor(const QString& text, uint8_t convention) {
  return convention == tags::kLatin1 && !CodePageCanEncode(text) ? uint8_t{tags::kUtf16}
                                                                 : convention;
}

// The content of a text frame holding one string.
std::string TextContent(const QString& text, uint8_t convention) {
  const uint8_t encoding = EncodingFor(text, convention);
  return static_cast<char>(encoding) + EncodeFrameString(encoding, text);
}

bool IsOneOf(const std::string& id, std::initializer_list<std::string_view> ids) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// The frames the fields are read from.
bool IsFieldFrame(const TFrame& frame) {
  for (const TFieldRow& row : FieldTable())
    if (frame.Id == row.Frame || frame.Id == row.Frame24) return true;
  return false;
}

// Puts `frame` (or nothing) where frames[shown] stood and removes the other frames of `ids`. A
// field without a frame gets its new one after the last field frame, or first.
void Replace(std::vector<TFrame>& frames, int shown, std::initializer_list<std::string_view> ids,
             std::optional<TFrame> frame) {
  std::vector<TFrame> out;
  out.reserve(frames.size() + 1);
  int lastField = -1;
  for (int i = 0; i < static_cast<int>(frames.size()); ++i) {
    if (i == shown) {
      if (frame) out.push_back(std::move(*frame));
      frame.reset();
      continue;
    }
    if (IsOneOf(frames[i].Id, ids)) continue;
    if (IsFieldFrame(frames[i])) lastField = static_cast<int>(out.size());
    out.push_back(std::move(frames[i]));
  }
  if (frame) out.insert(out.begin() + (lastField + 1), std::move(*frame));
  frames = std::move(out);
}

// The last frame of one of the IDs: the one the field is read from; -1 without one.
int Shown(const TFrameTag& tag, std::initializer_list<std::string_view> ids) {
  for (const std::string_view id : ids)
    for (int i = static_cast<int>(tag.Frames.size()) - 1; i >= 0; --i)
      if (tag.Frames[i].Id == id) return i;
  return -1;
}

int Count(const TFrameTag& tag, std::initializer_list<std::string_view> ids) {
  return static_cast<int>(std::count_if(tag.Frames.begin(), tag.Frames.end(),
                                        [&](const TFrame& f) { return IsOneOf(f.Id, ids); }));
}

// A text field: the frame it is read from replaced by one holding `value`, unless that frame is
// the only one and holds it already.
bool ChangeText(TFrameTag& tag, std::initializer_list<std::string_view> ids, const QString& value,
                uint8_t convention) {
  const QString text = TrimmedRight(value);
  const int shown = Shown(tag, ids);
  if (shown >= 0 && Count(tag, ids) == 1 && TFrameContents(tag).TextOf(shown) == text &&
      tags::FrameContent(tag.Frames[shown], tag.Version))
    return false;
  if (shown < 0 && text.isEmpty()) return false;
  std::optional<TFrame> frame;
  if (!text.isEmpty()) frame = TFrame{std::string(*ids.begin()), 0, TextContent(text, convention)};
  Replace(tag.Frames, shown, ids, std::move(frame));
  return true;
}

// The text of the frame a field is read from; empty without one.
QString ShownText(const TFrameTag& tag, std::initializer_list<std::string_view> ids) {
  const int shown = Shown(tag, ids);
  return shown >= 0 ? TFrameContents(tag).TextOf(shown) : QString();
}

// A number and its total: the one given over the file's.
bool ChangeNumber(TFrameTag& tag, std::string_view id, const QString& value, uint8_t convention) {
  const std::optional<TNumberPair> given = ParseNumberPair(value);
  if (!given) return false;
  const TNumberPair old = ReadNumberPair(ShownText(tag, {id}));
  const TNumberPair merged = MergedNumberPair(old, *given, value.trimmed().isEmpty());
  return ChangeText(tag, {id}, NumberPairText(merged), convention);
}

// The year: a 2.4 recording time keeps its month, day and time when a year alone is given.
bool ChangeYear(TFrameTag& tag, const TFieldRow& row, const QString& value, uint8_t convention) {
  if (tag.Version != 4) return ChangeText(tag, {row.Frame}, value, convention);
  QString text = value.trimmed();
  const QString old = ShownText(tag, {row.Frame24, row.Frame});
  static const QRegularExpression year(QStringLiteral("^\\d{4}$")),
      date(QStringLiteral("^\\d{4}-"));
  if (year.match(text).hasMatch() && date.match(old).hasMatch()) text += old.mid(4);
  return ChangeText(tag, {row.Frame24, row.Frame}, text, convention);
}

// A comment or the lyrics (`id` COMM or USLT): the frame of no description, else the last.
bool ChangeDescribed(TFrameTag& tag, const std::string& id, const QString& value,
                     uint8_t convention) {
  const QString text = TrimmedRight(value);
  const TFrameContents contents(tag);
  const int shown = ChosenComment(tag, contents, id);
  std::string language = "eng";
  QString description;
  if (shown >= 0) {
    const std::optional<std::string> content = contents.Of(shown);
    const std::optional<tags::TCommentParts> parts = tags::SplitComment(*content);
    if (parts) {
      // Already the new text: the frame stays as it is.
      const TID3v2Text current = TextOf(tag);
      const TField field = id == "USLT" ? TField::Lyrics : TField::Comment;
      if (current.Fields.Text(field) == text && tags::FrameContent(tag.Frames[shown], tag.Version))
        return false;
      language = parts->Language;
      description = DecodeFrameString(parts->Encoding, parts->Description);
    }
  } else if (text.isEmpty()) {
    return false;
  }
  std::optional<TFrame> frame;
  if (!text.isEmpty()) {
    // The description and the text share one encoding.
    const uint8_t encoding = EncodingFor(description + text, convention);
    std::string data(1, static_cast<char>(encoding));
    data += language;
    data += EncodeFrameString(encoding, description);
    data.append(tags::TerminatorSize(encoding), '\0');
    data += EncodeFrameString(encoding, text);
    frame = TFrame{id, 0, std::move(data)};
  }
  // Only the frame the comment is read from: the other comments are other frames.
  std::vector<TFrame>& frames = tag.Frames;
  if (shown >= 0) {
    if (frame)
      frames[shown] = std::move(*frame);
    else
      frames.erase(frames.begin() + shown);
  } else {
    Replace(frames, -1, {}, std::move(frame));
  }
  return true;
}

}  // namespace

TID3v2Changes ChangesBetween(const TFieldValues& shown, const TFieldValues& now) {
  TID3v2Changes changes;
  for (const TFieldRow& row : FieldTable()) {
    const QString before = shown.Text(row.Field), after = now.Text(row.Field);
    const bool same =
        row.Kind == TFieldKind::Number ? before.trimmed() == after.trimmed() : before == after;
    if (now.Has(row.Field) && !same) changes.Fields[row.Field] = after;
  }
  return changes;
}

TID3v2Changes ChangesOf(const TFieldValues& fields) {
  return {fields, std::nullopt};
}

TID3v2Changes ChangesOf(const TBatchChoices& choices, const QString& titleLine, int position) {
  return {BatchValuesOf(choices, titleLine, position), choices.FrontCover};
}

uint8_t TextConventionOf(const TFrameTag& tag) {
  std::array<int, 4> counts = {};
  for (const TFrame& frame : tag.Frames) {
    if (frame.Id[0] != 'T' && frame.Id != "COMM" && frame.Id != "USLT") continue;
    const std::optional<std::string_view> content = tags::FrameContent(frame, tag.Version);
    if (content && !content->empty() && static_cast<uint8_t>((*content)[0]) < counts.size())
      ++counts[static_cast<uint8_t>((*content)[0])];
  }
  if (counts[1] + counts[2] + counts[3] == 0) return tags::kLatin1;
  // 2.2 and 2.3 know UTF-16 with a byte-order mark alone.
  if (tag.Version != 4) return tags::kUtf16;
  return static_cast<uint8_t>(std::max_element(counts.begin() + 1, counts.end()) - counts.begin());
}

bool ApplyChanges(TFrameTag& tag, const TID3v2Changes& changes, uint8_t encoding) {
  bool changed = false;
  for (const TFieldRow& row : FieldTable()) {
    const std::optional<QString>& value = changes.Fields[row.Field];
    if (!value) continue;
    switch (row.Kind) {
      case TFieldKind::Text:
        changed = ChangeText(tag, {row.Frame}, *value, encoding) || changed;
        break;
      case TFieldKind::Number:
        changed = ChangeNumber(tag, row.Frame, *value, encoding) || changed;
        break;
      case TFieldKind::Year:
        changed = ChangeYear(tag, row, *value, encoding) || changed;
        break;
      case TFieldKind::Genre:
        changed = ChangeText(tag, {row.Frame}, GenreOfValue(*value), encoding) || changed;
        break;
      case TFieldKind::Described:
        changed = ChangeDescribed(tag, row.Frame, *value, encoding) || changed;
        break;
    }
  }
  if (changes.FrontCover) changed = PutFrontCover(tag, *changes.FrontCover) || changed;
  return changed;
}

TWriteOutcome WriteFrames(const std::string& path, const TFramesEdit& edit, TWrittenTag* written) {
  TWriteOutcome outcome;
  try {
    bool refused = false;
    int dropped = 0;
    const auto change = [&](std::string_view oldTag) {
      TFrameTag tag;
      tags::ParseFrameTag(oldTag, tag);
      // What cannot be understood as a whole is not replaced.
      refused = tag.Exists && (tag.Version < 2 || tag.Version > 4 ||
                               (tag.Damaged && tag.Frames.empty() && tag.TagSize > 10));
      // A damaged tag being replaced (tags::TReplaceDamagedTags) is not laid out in its room.
      const bool whole = tag.Unreadable.empty() && (!tag.Exists || tag.TagSize > 0);
      if (refused || !edit(tag)) return tags::TTagChange{};
      dropped = tag.Unconverted;
      std::erase_if(tag.Frames, [&](const TFrame& frame) {
        dropped += frame.Truncated;
        return frame.Truncated;
      });
      std::optional<std::string> bytes = tags::BuildTag(tag.Frames, tag.Version);
      refused = !bytes;
      if (bytes && whole) bytes = tags::FewestBytesLayout(oldTag, std::move(*bytes));
      if (written && bytes) *written = {std::string(oldTag), *bytes};
      return tags::TTagChange{bytes.has_value(), std::move(bytes), true};
    };
    outcome.Ok = tags::RebuildFileWith(path, change) != tags::TRebuild::Failed && !refused;
    outcome.Dropped = outcome.Ok ? dropped : 0;
  } catch (...) {
    melotag::tags::FailedByException();
    outcome = {};
  }
  return outcome;
}

bool WrittenInAnotherCodePage(const TFrameTag& tag) {
  std::vector<std::string_view> texts;
  for (const TFrame& frame : tag.Frames) {
    if (frame.Id[0] != 'T' && frame.Id != "COMM" && frame.Id != "USLT") continue;
    const std::optional<std::string_view> content = tags::FrameContent(frame, tag.Version);
    if (content && content->size() > 1 && (*content)[0] == tags::kLatin1 &&
        IsLegacyText(content->substr(1)))
      texts.push_back(content->substr(1));
  }
  return ReadInAnotherCodePage(texts);
}

TWriteOutcome WriteID3v2Changes(const std::string& path, const TID3v2Changes& changes,
                                bool unicodeNewTag, TWrittenTag* written) {
  return WriteFrames(
      path,
      [&](TFrameTag& tag) {
        uint8_t convention = tag.Exists      ? TextConventionOf(tag)
                             : unicodeNewTag ? uint8_t{tags::kUtf16}
                                             : uint8_t{tags::kLatin1};
        // Bytes of a second code page would make the tag unreadable as a whole.
        if (convention == tags::kLatin1 && WrittenInAnotherCodePage(tag)) convention = tags::kUtf16;
        return ApplyChanges(tag, changes, convention);
      },
      written);
}

bool WriteBatchID3v1(const QByteArray& path, const TBatchChoices& choices, const QString& titleLine,
                     int position, bool exact, bool* keptTexts) {
  // The write refuses a missing file or a folder itself, with the system's reason.
  if (!IsUsablePath(path)) return false;
  // Read and written under one lock: another writer's change in between is kept.
  TID3v1 tag;
  return tag.EditFile(TagPath(path), [&](TID3v1& trailer) {
    PutBatchValues(trailer, choices, titleLine, position, exact, keptTexts);
  });
}

namespace {

// The exact write: the tag becomes the seven-frame 2.3 tag of the old values, read under the
// writers' lock as the options read them, with the given exact fields over them.
TWriteOutcome WriteExactID3v2(const std::string& path, const TID3v2Changes& changes,
                              const TUnicodeOptions& options) {
  TWriteOutcome outcome;
  try {
    bool refused = false;
    const auto edit = [&](std::string_view oldTag) {
      TID3v2Text values;
      if (options.ReadUnicode) {
        TFrameTag old;
        tags::ParseFrameTag(oldTag, old);
        if (old.Exists) values = TextOf(old);
      } else {
        TID3v2 old;  // the tag class's values (2.3 only)
        if (old.LoadFromTag(oldTag) && old.Exists()) values.Fields = ViewOf(old).Fields;
      }
      for (const TFieldRow& row : FieldTable())
        if (row.Exact && changes.Fields.Has(row.Field))
          values.Fields[row.Field] = changes.Fields[row.Field];
      std::optional<std::string> bytes = BuildID3v2Tag(values, options);
      if (bytes && changes.FrontCover) {
        TFrameTag tag;
        tags::ParseFrameTag(*bytes, tag);
        PutFrontCover(tag, *changes.FrontCover);
        bytes = tags::BuildTag(tag.Frames, 3);
      }
      refused = !bytes;
      return tags::TTagChange{bytes.has_value(), std::move(bytes)};
    };
    outcome.Ok = tags::RebuildFileWith(path, edit) == tags::TRebuild::Done && !refused;
  } catch (...) {
    melotag::tags::FailedByException();
    outcome = {};
  }
  return outcome;
}

}  // namespace

TWriteOutcome WriteID3v2(const std::string& path, const TID3v2Changes& changes,
                         const TUnicodeOptions& options, TWrittenTag* written) {
  if (options.Exact()) return WriteExactID3v2(path, changes, options);
  return WriteID3v2Changes(path, changes, options.WriteUnicode, written);
}

TWriteOutcome WriteBatchID3v2(const QByteArray& path, const TBatchChoices& choices,
                              const QString& titleLine, int position,
                              const TUnicodeOptions& options) {
  if (!IsUsablePath(path)) return {};
  return WriteID3v2(
      TagPath(path),
      {BatchValuesOf(choices, titleLine, position, options.Exact()), choices.FrontCover}, options);
}

}  // namespace melotag::editor
