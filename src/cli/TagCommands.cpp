// show, set and remove: the tags of many files, read and written by the editor's rules.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>

#include <unistd.h>

#include "Cli.h"
#include "CodePage.h"
#include "FileNames.h"
#include "ID3v1.h"
#include "ID3v2.h"
#include "RenamePlan.h"
#include "TagError.h"
#include "TagText.h"
#include "TagWrite.h"
#include "UnicodeTag.h"

namespace melotag::cli {

using namespace editor;

namespace {

// The seven fields in the order they are shown.
constexpr const char* kFieldNames[] = {"title", "artist", "album",  "year",
                                       "track", "genre",  "comment"};
constexpr const char* kFieldLabels[] = {"Title", "Artist", "Album",  "Year",
                                        "Track", "Genre",  "Comment"};
constexpr int kFields = 7;
constexpr int kTrackField = 4;

// One tag as show prints it.
struct TShownTag {
  bool Exists = false;
  QString Version;
  int Size = 0;
  QString Fields[kFields];
  int Track = 0;
  int GenreIndex = -1;         // ID3v1 only
  bool HasBytes = false;       // the texts were read as code-page bytes
  std::string Bytes[kFields];  // those bytes (track: none)
  QStringList TooLarge;        // compressed frames too large to inflate
};

// Code-page bytes as text. The code page is fixed for a run: the codec is looked up once, not
// once a field (which asks the environment each time).
QString Decode(const std::string& bytes) {
  static const TCodePageCodec& codec = CurrentCodec();
  return codec.Decode(bytes);
}

QString GenreOfIndex(uint8_t index) {
  static const QStringList choices = GenreChoices();  // the code page is fixed for a run
  const int position = GenrePositionOfIndex(index);
  return position > 0 ? choices.value(position) : QString();
}

std::optional<TShownTag> ReadID3v1(const QByteArray& path) {
  // The tag classes refuse what is no regular file.
  TID3v1 tag;
  if (!tag.LoadFromFile(TagPath(path))) return std::nullopt;
  TShownTag shown;
  shown.Exists = tag.Exists();
  if (!shown.Exists) return shown;
  const TTagView view = ViewOf(tag);
  shown.Version = view.VersionText;
  shown.Size = 128;
  shown.Track = tag.Track();
  shown.GenreIndex = tag.GenreIndex();
  shown.HasBytes = true;
  const std::string bytes[kFields] = {tag.Title(), tag.Artist(), tag.Album(),  tag.Year(),
                                      {},          {},           tag.Comment()};
  for (int i = 0; i < kFields; ++i) {
    shown.Bytes[i] = bytes[i];
    shown.Fields[i] = Decode(bytes[i]);
  }
  shown.Fields[kTrackField] = view.Fields.Track;
  shown.Fields[5] = GenreOfIndex(tag.GenreIndex());
  return shown;
}

std::optional<TShownTag> ReadID3v2(const QByteArray& path, bool readUnicode) {
  TShownTag shown;
  if (readUnicode) {
    tags::TFrameTag tag;
    if (!tags::ReadFrameTag(TagPath(path), tag)) return std::nullopt;
    const TID3v2Text text = TextOf(tag);
    shown.Exists = text.Exists;
    if (!shown.Exists) return shown;
    shown.TooLarge = text.TooLarge;
    const TTagView view = ViewOf(text);
    shown.Version = view.VersionText;
    shown.Size = text.Size;
    shown.Track = text.Track;
    const QString fields[kFields] = {text.Title,        text.Artist, text.Album,  text.Year,
                                     view.Fields.Track, text.Genre,  text.Comment};
    std::copy(std::begin(fields), std::end(fields), shown.Fields);
    // A tag of code-page texts gives their bytes back.
    shown.HasBytes = TextConventionOf(tag) == tags::kLatin1;
    for (int i = 0; i < kFields && shown.HasBytes; ++i) shown.Bytes[i] = EncodeText(fields[i]);
    return shown;
  }
  TID3v2 tag;
  if (!tag.LoadFromFile(TagPath(path))) return std::nullopt;
  shown.Exists = tag.Exists();
  if (!shown.Exists) return shown;
  const TTagView view = ViewOf(tag);
  shown.Version = view.VersionText;
  shown.Size = tag.Size();
  shown.Track = tag.Track();
  shown.HasBytes = true;
  const std::string bytes[kFields] = {tag.Title(), tag.Artist(), tag.Album(),  tag.Year(),
                                      {},          tag.Genre(),  tag.Comment()};
  for (int i = 0; i < kFields; ++i) {
    shown.Bytes[i] = bytes[i];
    shown.Fields[i] = Decode(bytes[i]);
  }
  shown.Fields[kTrackField] = view.Fields.Track;
  return shown;
}

// Well-formed UTF-8: the name's caption is its UTF-8 decoding.
bool IsUtf8(const QByteArray& name) {
  return NameCaption(name).toUtf8() == name;
}

bool IsAscii(const std::string& bytes) {
  for (const char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// `shown` makes a value fit for where the text goes.
QString TagText(const char* name, const TShownTag& tag, QString (*shown)(const QString&)) {
  QString text = QString::fromLatin1(name) + ": ";
  if (!tag.Exists) return text + "none\n";
  text += tag.Version + ", " + QString::number(tag.Size) + " bytes\n";
  for (int i = 0; i < kFields; ++i)
    text += QStringLiteral("  ") + kFieldLabels[i] + ": " + shown(tag.Fields[i]) + '\n';
  if (!tag.TooLarge.isEmpty())
    text += QStringLiteral("  Too large to inflate, kept as they are: ") +
            tag.TooLarge.join(QStringLiteral(", ")) + '\n';
  return text;
}

QJsonObject TagJson(const TShownTag& tag) {
  QJsonObject object{{"exists", tag.Exists}};
  if (!tag.Exists) return object;
  object["version"] = tag.Version;
  object["size"] = tag.Size;
  QJsonObject hex;
  for (int i = 0; i < kFields; ++i) {
    if (i == kTrackField) continue;
    object[kFieldNames[i]] = tag.Fields[i];
    if (tag.HasBytes && !IsAscii(tag.Bytes[i]))
      hex[kFieldNames[i]] = QString::fromLatin1(QByteArray::fromStdString(tag.Bytes[i]).toHex());
  }
  object["track"] = tag.Track;
  if (tag.GenreIndex >= 0) object["genre_index"] = tag.GenreIndex;
  if (!hex.isEmpty()) object["hex"] = hex;
  if (!tag.TooLarge.isEmpty()) object["too_large"] = QJsonArray::fromStringList(tag.TooLarge);
  return object;
}

// Which tags a changing command works on.

// The genre choice of --genre: a name of the list (letter case ignored), a number of the ID3v1
// list, or empty for none.
int GenrePosition(const QByteArray& value) {
  if (value.isEmpty()) return 0;
  const int named = GenrePositionOfName(EncodeText(ArgumentText(value)));
  if (named > 0) return named;
  bool number = false;
  const int index = value.toInt(&number);
  if (number && index >= 0 && GenrePositionOfIndex(uint8_t(index)) > 0 && index < 255)
    return GenrePositionOfIndex(uint8_t(index));
  throw EUsage("no genre '" + ArgumentText(value).toStdString() + "' in the genre list");
}

QString CannotWrite(const QString& what, const QString& reason) {
  return what + QStringLiteral(" cannot be written: ") + reason;
}

}  // namespace

QString TooLargeNote(const QStringList& ids) {
  return QStringLiteral(
             "compressed frames too large to inflate (more than %1 MiB, or %2 MiB a "
             "tag), kept as they are: ")
             .arg(kMaxInflatedFrame >> 20)
             .arg(kMaxInflatedTag >> 20) +
         ids.join(QStringLiteral(", "));
}

QString WriteFailure(const QByteArray& path, const QString& what) {
  return CannotWrite(what, TagFailureText(path));
}

TPassResult EachFile(TContext& context, const QString& what, const TPassWork& work) {
  const TPassResult result = context.Workspace().RunPass(work);
  const TFileListing& files = context.Workspace().Files();
  for (int i = 0; i < files.Count(); ++i)
    if (result.Outcomes[i].State == TPassState::Failed ||
        result.Outcomes[i].State == TPassState::Refused)
      context.Fail(files.Path(i), result.Outcomes[i].Reason);
  for (const TCommitFailure& failure : result.CommitFailures)
    context.Fail(failure.Path, CannotWrite(what, failure.Reason));
  return result;
}

int RunShow(TContext& context) {
  const TArguments& args = context.Args();
  const QByteArray chosen = args.OneOf({"--v1", "--v2"}, "");
  const bool v1 = chosen != "--v2", v2 = chosen != "--v1";
  const bool json = args.Has("--json");
  // A terminal shows names and values, never takes them for its commands.
  QString (*const shown)(const QString&) =
      ::isatty(fileno(stdout)) ? ShownOnTerminal : +[](const QString& text) { return text; };
  bool first = true;
  const TFileListing& files = context.Files(args.Operands());
  for (int i = 0; i < files.Count(); ++i) {
    const QByteArray& path = files.Path(i);
    std::optional<TShownTag> tag1, tag2;
    melotag::tags::ClearError();
    const QString lack = CatchAllocationFailure(path, [&] {
      if (v1) tag1 = ReadID3v1(path);
      if (v2) tag2 = ReadID3v2(path, context.Unicode().ReadUnicode);
    });
    const bool failed = !lack.isEmpty() || (v1 && !tag1) || (v2 && !tag2);
    const QString reason =
        failed ? QStringLiteral("the tags cannot be read: ") + TagFailureText(path) : QString();
    if (failed) context.Fail(path, reason);
    if (tag2 && !tag2->TooLarge.isEmpty())
      context.Note(NameCaption(path) + ": " + TooLargeNote(tag2->TooLarge));
    if (json) {
      QJsonObject object{{"file", NameCaption(path)}};
      if (!IsUtf8(path)) object["file_hex"] = QString::fromLatin1(path.toHex());
      if (failed) {
        object["error"] = reason;
      } else {
        if (tag1) object["v1"] = TagJson(*tag1);
        if (tag2) object["v2"] = TagJson(*tag2);
      }
      PrintBytes(stdout, QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
      continue;
    }
    if (failed) continue;
    QString text = first ? QString() : QStringLiteral("\n");
    first = false;
    text += shown(NameCaption(path)) + '\n';
    if (tag1) text += TagText("ID3v1", *tag1, shown);
    if (tag2) text += TagText("ID3v2", *tag2, shown);
    Print(stdout, text);
  }
  return context.ExitStatus();
}

int RunSet(TContext& context) {
  const TArguments& args = context.Args();
  const TTagChoice tags = ChosenTags(args);
  TBatchChoices choices;
  auto text = [&](const char* name) -> std::optional<QString> {
    if (const std::optional<QByteArray> value = args.Value(name)) return ArgumentText(*value);
    return std::nullopt;
  };
  const std::optional<QString> title = text("--title");
  choices.TitleFromList = title.has_value();
  choices.Artist = text("--artist");
  choices.Album = text("--album");
  choices.Year = text("--year");
  choices.Comment = text("--comment");
  if (args.OneOf({"--track", "--track-auto"}, "") == QByteArray("--track-auto"))
    choices.NumberTracks = true;
  else if (const std::optional<QString> track = text("--track")) {
    choices.Track = TrackOfText(*track);
    choices.TrackTotal = TrackTotalOfText(*track);
  }
  if (const std::optional<QByteArray> genre = args.Value("--genre"))
    choices.GenrePosition = GenrePosition(*genre);
  if (!choices.TitleFromList && !choices.Artist && !choices.Album && !choices.Year &&
      !choices.Comment && !choices.NumberTracks && !choices.Track && !choices.GenrePosition)
    throw EUsage("no field to set");

  context.Files(args.Operands());
  const QString line = title.value_or(QString());
  const TPassResult result =
      EachFile(context, QStringLiteral("the ID3v2 tag"), [&](int i, const QByteArray& path) {
        if (tags.V1 && !WriteBatchID3v1(path, choices, line, i))
          return TPassStep{false, 0, WriteFailure(path, QStringLiteral("the ID3v1 tag"))};
        if (!tags.V2) return TPassStep{true, 0, {}};
        const TWriteOutcome outcome = WriteBatchID3v2(path, choices, line, i, context.Unicode());
        return TPassStep{
            outcome.Ok, outcome.Dropped,
            outcome.Ok ? QString() : WriteFailure(path, QStringLiteral("the ID3v2 tag"))};
      });
  if (result.Dropped > 0)
    context.Note(QString::number(result.Dropped) +
                 " frame(s) without a place in the tags written were dropped (ID3v2.2 frames that "
                 "ID3v2.3 has no frame for, frames cut short by a damaged tag)");
  return context.ExitStatus();
}

int RunRemove(TContext& context) {
  const TTagChoice tags = ChosenTags(context.Args());
  context.Files(context.Args().Operands());
  EachFile(context, QStringLiteral("the file"), [&](int, const QByteArray& path) {
    if (tags.V1 && !(FileExists(path) && TID3v1().DeleteFromFile(TagPath(path))))
      return TPassStep{false, 0, WriteFailure(path, QStringLiteral("the ID3v1 tag"))};
    if (tags.V2 && !(FileExists(path) && TID3v2().DeleteFromFile(TagPath(path))))
      return TPassStep{false, 0, WriteFailure(path, QStringLiteral("the ID3v2 tag"))};
    return TPassStep{true, 0, {}};
  });
  return context.ExitStatus();
}

TTagChoice ChosenTags(const TArguments& args) {
  const QByteArray chosen = args.OneOf({"--v1", "--v2", "--both"}, "--both");
  return {chosen != "--v2", chosen != "--v1"};
}

}  // namespace melotag::cli
