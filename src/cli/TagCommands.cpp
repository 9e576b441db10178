// show, set and remove: the tags of many files, read and written by the editor's rules.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cerrno>

#include <unistd.h>

#include "Cli.h"
#include "CodePage.h"
#include "Fields.h"
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

// One tag as show prints it.
struct TShownTag {
  bool Exists = false;
  QString Version;
  int Size = 0;
  TFieldValues Fields;    // the fields the tag holds (an ID3v1 trailer: those it has a place for)
  int GenreIndex = -1;    // ID3v1 only
  bool HasBytes = false;  // the texts were read as code-page bytes
  std::array<std::string, kFieldCount> Bytes;  // those bytes
  QStringList TooLarge;                        // compressed frames too large to inflate
};

// Code-page bytes as text. The code page is fixed for a run: the codec is looked up once, not
// once a field (which asks the environment each time).
QString Decode(const std::string& bytes) {
  static const TCodePageCodec& codec = CurrentCodec();
  return codec.Decode(bytes);
}

std::string Encode(const QString& text) {
  static const TCodePageCodec& codec = CurrentCodec();
  return codec.Encode(text);
}

// The values of a view, the texts' code-page bytes with them.
void PutView(TShownTag& shown, const TTagView& view, bool v1) {
  shown.Version = view.VersionText;
  for (const TFieldRow& row : FieldTable()) {
    if (v1 && row.V1 == TV1Slot::None) continue;
    shown.Fields[row.Field] = view.Fields.Text(row.Field);
    if (shown.HasBytes)
      shown.Bytes[static_cast<int>(row.Field)] = Encode(view.Fields.Text(row.Field));
  }
}

std::optional<TShownTag> ReadID3v1(const QByteArray& path) {
  // The tag classes refuse what is no regular file.
  TID3v1 tag;
  if (!tag.LoadFromFile(TagPath(path))) return std::nullopt;
  TShownTag shown;
  shown.Exists = tag.Exists();
  if (!shown.Exists) return shown;
  shown.Size = 128;
  shown.GenreIndex = tag.GenreIndex();
  shown.HasBytes = true;
  PutView(shown, ViewOf(tag), true);
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
    shown.Size = text.Size;
    // A tag of code-page texts gives their bytes back.
    shown.HasBytes = TextConventionOf(tag) == tags::kLatin1;
    PutView(shown, ViewOf(text), false);
    return shown;
  }
  TID3v2 tag;
  if (!tag.LoadFromFile(TagPath(path))) return std::nullopt;
  shown.Exists = tag.Exists();
  if (!shown.Exists) return shown;
  shown.Size = tag.Size();
  shown.HasBytes = true;
  TShownTag seven;
  PutView(shown, ViewOf(tag), false);
  // The tag class reads the seven fields alone.
  for (const TFieldRow& row : FieldTable())
    if (!row.Exact) shown.Fields[row.Field].reset();
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

// `shown` makes a value fit for where the text goes; the lines of a value after its first stand
// under it.
QString TagText(const char* name, const TShownTag& tag, QString (*shown)(const QString&)) {
  QString text = QString::fromLatin1(name) + ": ";
  if (!tag.Exists) return text + "none\n";
  text += tag.Version + ", " + QString::number(tag.Size) + " bytes\n";
  for (const TFieldRow& row : FieldTable()) {
    if (!tag.Fields.Has(row.Field)) continue;
    const QString lead = QStringLiteral("  ") + row.Label + ": ";
    QStringList lines = tag.Fields.Text(row.Field).split(QLatin1Char('\n'));
    for (QString& line : lines) {
      if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
      line = shown(line);
    }
    text += lead + lines.join(QLatin1Char('\n') + QString(lead.size(), QLatin1Char(' '))) + '\n';
  }
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
  for (const TFieldRow& row : FieldTable()) {
    if (!tag.Fields.Has(row.Field)) continue;
    const QString value = tag.Fields.Text(row.Field);
    const QString key = QString::fromLatin1(row.Json);
    if (row.Kind == TFieldKind::Number) {
      // The number and its total; a track is 0 without a number, a disc null.
      const TNumberPair pair = ReadNumberPair(value);
      const QJsonValue none = row.Field == TField::Track ? QJsonValue(0) : QJsonValue();
      object[key] = pair.Number > 0 ? QJsonValue(pair.Number) : none;
      object[key + QStringLiteral("_total")] =
          pair.Total > 0 ? QJsonValue(pair.Total) : QJsonValue();
      continue;
    }
    object[key] = value;
    const std::string& bytes = tag.Bytes[static_cast<int>(row.Field)];
    if (tag.HasBytes && !IsAscii(bytes))
      hex[key] = QString::fromLatin1(QByteArray::fromStdString(bytes).toHex());
  }
  if (tag.GenreIndex >= 0) object["genre_index"] = tag.GenreIndex;
  if (!hex.isEmpty()) object["hex"] = hex;
  if (!tag.TooLarge.isEmpty()) object["too_large"] = QJsonArray::fromStringList(tag.TooLarge);
  return object;
}

QString CannotWrite(const QString& what, const QString& reason) {
  return what + QStringLiteral(" cannot be written: ") + reason;
}

// The lyrics of --lyrics-file: the UTF-8 text of the file, line ends made "\n".
QString LyricsOfFile(const QByteArray& path) {
  QFile file(QFile::decodeName(path));
  if (!file.open(QIODevice::ReadOnly))
    throw EUsage("the lyrics file '" + ArgumentText(path).toStdString() +
                 "' cannot be read: " + file.errorString().toStdString());
  constexpr qint64 kMostLyrics = qint64{1} << 20;
  const QByteArray bytes = file.read(kMostLyrics + 1);
  if (bytes.size() > kMostLyrics)
    throw EUsage("the lyrics file '" + ArgumentText(path).toStdString() + "' is larger than 1 MiB");
  QString text = QString::fromUtf8(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
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

std::vector<TOption> FieldOptions() {
  std::vector<TOption> options;
  for (const TFieldRow& row : FieldTable()) {
    options.push_back({row.Option, 0, row.Value, row.Help});
    if (row.Field == TField::Track)
      options.push_back({"--track-auto", 0, nullptr,
                         "number the files 1, 2, 3 ... in the order of the arguments"});
    if (row.Field == TField::Lyrics)
      options.push_back({"--lyrics-file", 0, "FILE", "the lyrics, the text of a UTF-8 file"});
  }
  return options;
}

bool NoteTrailerLacks(TContext& context, const TFieldValues& values) {
  bool noted = false;
  if (const QString genre = values.Text(TField::Genre); !IsListGenre(genre)) {
    context.Note("the genre '" + genre +
                 "' is not in the ID3v1 genre list: ID3v1 tags get no genre (ID3v2 tags get "
                 "the text)");
    noted = true;
  }
  if (const int track = ReadNumberPair(values.Text(TField::Track)).Number; track > 255) {
    context.Note("the track " + QString::number(track) +
                 " does not fit an ID3v1 tag (1 to 255): ID3v1 tags get no track");
    noted = true;
  }
  return noted;
}

void NoteKeptTexts(TContext& context, int files) {
  if (files > 0)
    context.Note(QString::number(files) +
                 " ID3v1 tag(s) hold texts of another code page: their texts were kept as they "
                 "were (the ID3v2 tags got the new texts)");
}

int RunSet(TContext& context) {
  const TArguments& args = context.Args();
  const TTagChoice tags = ChosenTags(args);
  const bool exact = context.Unicode().Exact();
  TBatchChoices choices;
  QString line;
  for (const TFieldRow& row : FieldTable()) {
    std::optional<QString> value;
    if (row.Field == TField::Lyrics) {
      const QByteArray given = args.OneOf({"--lyrics", "--lyrics-file"}, "");
      if (given == "--lyrics-file") value = LyricsOfFile(*args.Value("--lyrics-file"));
    }
    if (row.Field == TField::Track &&
        args.OneOf({"--track", "--track-auto"}, "") == QByteArray("--track-auto"))
      choices.NumberTracks = true;
    if (const std::optional<QByteArray> given = args.Value(row.Option))
      value = ArgumentText(*given);
    if (!value) continue;
    if (exact && !row.Exact)
      throw EUsage(std::string(row.Option) + " is not written by the exact write (--exact)");
    if (!exact)
      if (const QString refusal = RefusalOf(row.Field, *value); !refusal.isEmpty())
        throw EUsage(refusal.toStdString());
    if (row.Field == TField::Title) {
      // The title goes as a title line would.
      choices.TitleFromList = true;
      line = *value;
      continue;
    }
    choices.Values[row.Field] = *value;
  }
  if (!choices.TitleFromList && !choices.NumberTracks && !choices.Values.Any())
    throw EUsage("no field to set");

  context.Files(args.Operands());
  if (tags.V1 && !exact) NoteTrailerLacks(context, choices.Values);
  if (tags.V1 && exact && !IsListGenre(choices.Values.Text(TField::Genre)))
    NoteTrailerLacks(context, {{TField::Genre, choices.Values.Text(TField::Genre)}});
  int keptTexts = 0;
  const TPassResult result =
      EachFile(context, QStringLiteral("the ID3v2 tag"), [&](int i, const QByteArray& path) {
        bool kept = false;
        const bool v1 = tags.V1 && WriteBatchID3v1(path, choices, line, i, exact, &kept);
        keptTexts += kept ? 1 : 0;
        if (tags.V1 && !v1)
          return TPassStep{false, 0, WriteFailure(path, QStringLiteral("the ID3v1 tag"))};
        if (!tags.V2) return TPassStep{true, 0, {}};
        const TWriteOutcome outcome = WriteBatchID3v2(path, choices, line, i, context.Unicode());
        return TPassStep{
            outcome.Ok, outcome.Dropped,
            outcome.Ok ? QString() : WriteFailure(path, QStringLiteral("the ID3v2 tag"))};
      });
  NoteKeptTexts(context, keptTexts);
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
