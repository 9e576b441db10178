#include "NamePattern.h"

#include <QRegularExpression>

#include <algorithm>

#include "CodePage.h"
#include "FileNames.h"
#include "FilePath.h"
#include "ID3v1.h"
#include "RenamePlan.h"
#include "TagRepair.h"
#include "TagText.h"
#include "UnicodeTag.h"

namespace melotag::editor {

namespace {

constexpr std::array<const char*, kPatternFieldCount> kNames = {"title", "artist", "album",  "year",
                                                                "track", "genre",  "comment"};

std::optional<TPatternField> FieldNamed(const QString& name) {
  for (int i = 0; i < kPatternFieldCount; ++i)
    if (name == QLatin1String(kNames[i])) return static_cast<TPatternField>(i);
  return std::nullopt;
}

int IndexOf(TPatternField field) {
  return static_cast<int>(field);
}

// The expression a field's text matches.
QString ExpressionOf(TPatternField field) {
  switch (field) {
    case TPatternField::Track:
      return QStringLiteral("\\s*(\\d+)(?:\\s*/\\s*\\d+)?\\s*");
    case TPatternField::Year:
      return QStringLiteral("\\s*(\\d+)\\s*");
    default:
      return QStringLiteral("(.+?)");
  }
}

}  // namespace

QString PlaceholderOf(TPatternField field) {
  return QLatin1Char('%') + QLatin1String(kNames[IndexOf(field)]) + QLatin1Char('%');
}

QStringList PatternLegend() {
  QStringList legend;
  for (int i = 0; i < kPatternFieldCount; ++i)
    legend << PlaceholderOf(static_cast<TPatternField>(i));
  return legend;
}

TNamePattern::TNamePattern(const QString& pattern) {
  QString literal;
  auto flush = [&] {
    if (!literal.isEmpty()) FParts.push_back({false, TPatternField::Title, literal});
    literal.clear();
  };
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != QLatin1Char('%')) {
      literal += pattern[i];
      continue;
    }
    const qsizetype close = pattern.indexOf(QLatin1Char('%'), i + 1);
    if (close < 0) {
      FError = QStringLiteral("a \"%\" without its closing \"%\"");
      return;
    }
    const QString name = pattern.mid(i + 1, close - i - 1);
    const std::optional<TPatternField> field = FieldNamed(name.toLower());
    if (!field) {
      FError = QStringLiteral("no field is named \"%1\"").arg(name);
      return;
    }
    flush();
    FParts.push_back({true, *field, QString()});
    i = close;
  }
  flush();
  if (pattern.contains(QLatin1Char('/')))
    FError = QStringLiteral("a name never holds \"/\"");
  else if (Fields().empty())
    FError = QStringLiteral("the pattern holds no field");
  if (!IsValid()) return;
  QString expression = QStringLiteral("^");
  for (const TPart& part : FParts)
    expression += part.IsField ? ExpressionOf(part.Field) : QRegularExpression::escape(part.Text);
  expression += QLatin1Char('$');
  FExpression.setPattern(expression);
  FExpression.setPatternOptions(QRegularExpression::DotMatchesEverythingOption);
}

std::vector<TPatternField> TNamePattern::Fields() const {
  std::vector<TPatternField> fields;
  for (const TPart& part : FParts)
    if (part.IsField && std::find(fields.begin(), fields.end(), part.Field) == fields.end())
      fields.push_back(part.Field);
  return fields;
}

std::optional<TPatternValues> TNamePattern::Match(const QString& name) const {
  if (!IsValid()) return std::nullopt;
  const QRegularExpressionMatch match = FExpression.match(name);
  if (!match.hasMatch()) return std::nullopt;
  TPatternValues values;
  int group = 1;
  for (const TPart& part : FParts) {
    if (!part.IsField) continue;
    QString value = match.captured(group++).trimmed();
    if (part.Field == TPatternField::Track) value = QString::number(value.toULongLong());
    if (value.isEmpty()) return std::nullopt;
    std::optional<QString>& slot = values[IndexOf(part.Field)];
    if (slot && *slot != value) return std::nullopt;
    slot = value;
  }
  return values;
}

std::optional<QString> TNamePattern::Format(const TPatternValues& values) const {
  if (!IsValid()) return std::nullopt;
  QString name;
  for (const TPart& part : FParts) {
    if (!part.IsField) {
      name += part.Text;
      continue;
    }
    const std::optional<QString>& value = values[IndexOf(part.Field)];
    if (!value || value->trimmed().isEmpty()) return std::nullopt;
    QString text = value->trimmed();
    if (part.Field == TPatternField::Track) text = text.rightJustified(2, QLatin1Char('0'));
    name += text.replace(QLatin1Char('/'), QLatin1Char('_'));
  }
  return name;
}

TID3v2Changes ChangesOfValues(const TPatternValues& values) {
  TID3v2Changes changes;
  changes.Title = values[IndexOf(TPatternField::Title)];
  changes.Artist = values[IndexOf(TPatternField::Artist)];
  changes.Album = values[IndexOf(TPatternField::Album)];
  changes.Year = values[IndexOf(TPatternField::Year)];
  if (const auto& track = values[IndexOf(TPatternField::Track)])
    changes.Track = static_cast<uint8_t>(track->toUInt() & 0xFF);
  changes.Genre = values[IndexOf(TPatternField::Genre)];
  changes.Comment = values[IndexOf(TPatternField::Comment)];
  return changes;
}

TBatchChoices BatchChoicesOfValues(const TPatternValues& values) {
  TBatchChoices choices;
  choices.TitleFromList = values[IndexOf(TPatternField::Title)].has_value();
  choices.Artist = values[IndexOf(TPatternField::Artist)];
  choices.Album = values[IndexOf(TPatternField::Album)];
  choices.Year = values[IndexOf(TPatternField::Year)];
  if (const auto& track = values[IndexOf(TPatternField::Track)])
    choices.Track = static_cast<uint8_t>(track->toUInt() & 0xFF);
  if (const auto& genre = values[IndexOf(TPatternField::Genre)]) {
    const int position = GenrePositionOfName(EncodeText(*genre));
    if (position > 0) choices.GenrePosition = position;
  }
  choices.Comment = values[IndexOf(TPatternField::Comment)];
  return choices;
}

TPatternValues TagValuesOf(const QByteArray& path, bool readUnicode) {
  TPatternValues values;
  auto put = [&](TPatternField field, const QString& text) {
    if (!text.trimmed().isEmpty()) values[IndexOf(field)] = text.trimmed();
  };
  // The trailer first: the ID3v2 tag's values win.
  TID3v1 v1;
  if (IsUsablePath(path) && v1.LoadFromFile(TagPath(path)) && v1.Exists()) {
    const TTagView view = ViewOf(v1);
    put(TPatternField::Title, view.Fields.Title);
    put(TPatternField::Artist, view.Fields.Artist);
    put(TPatternField::Album, view.Fields.Album);
    put(TPatternField::Year, view.Fields.Year);
    if (v1.Track() > 0) put(TPatternField::Track, QString::number(v1.Track()));
    put(TPatternField::Genre, GenreOfFields(view.Fields));
    put(TPatternField::Comment, view.Fields.Comment);
  }
  TID3v2Text v2;
  if (IsUsablePath(path)) {
    if (readUnicode) {
      LoadID3v2Text(TagPath(path), v2);
    } else {
      TID3v2 tag;
      if (tag.LoadFromFile(TagPath(path)) && tag.Exists()) {
        const TTagView view = ViewOf(tag);
        v2 = TextOfFields(view.Fields);
        v2.Exists = true;
        v2.Genre = DecodeText(tag.Genre());
      }
    }
  }
  if (v2.Exists) {
    put(TPatternField::Title, v2.Title);
    put(TPatternField::Artist, v2.Artist);
    put(TPatternField::Album, v2.Album);
    put(TPatternField::Year, v2.Year);
    if (v2.Track > 0) put(TPatternField::Track, QString::number(v2.Track));
    put(TPatternField::Genre, v2.Genre);
    put(TPatternField::Comment, v2.Comment);
  }
  return values;
}

TNameTagsOutcome WriteValuesOfName(const QByteArray& path, const TPatternValues& values, bool v1,
                                   bool v2, const TUnicodeOptions& options, TTagRepairUndo* undo) {
  TNameTagsOutcome outcome;
  const QString v1Tag = QStringLiteral("the ID3v1 tag"), v2Tag = QStringLiteral("the ID3v2 tag");
  if (undo && !undo->Ready()) {
    outcome.Failed = v1 ? v1Tag : v2Tag;
    return outcome;
  }
  const TBatchChoices choices = BatchChoicesOfValues(values);
  const QString title = values[IndexOf(TPatternField::Title)].value_or(QString());
  if (v1) {
    std::string before, after;
    if ((undo && !tags::ReadID3v1Bytes(TagPath(path), before)) ||
        !WriteBatchID3v1(path, choices, title, 0)) {
      outcome.Failed = v1Tag;
      return outcome;
    }
    if (undo && tags::ReadID3v1Bytes(TagPath(path), after) && after != before)
      undo->KeepTrailer(path, before, after);
  }
  if (!v2) return outcome;
  TWriteOutcome written;
  if (options.KeepOtherFrames && FileExists(path)) {
    TWrittenTag tag;
    written = WriteID3v2Changes(TagPath(path), ChangesOfValues(values), options.WriteUnicode,
                                undo ? &tag : nullptr);
    if (written.Ok && undo && !tag.New.empty()) undo->Keep(path, tag.Old, tag.New);
  } else {
    written = WriteBatchID3v2(path, choices, title, 0, options);
  }
  if (!written.Ok) outcome.Failed = v2Tag;
  outcome.Dropped = written.Dropped;
  return outcome;
}

namespace {

// The name without its ".mp3" (any letter case), as a caption.
QString StemCaption(const QByteArray& path) {
  QString name = NameCaption(FileNamePart(path));
  if (name.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)) name.chop(4);
  return name;
}

}  // namespace

QList<TNameTags> PlanTagsFromNames(const QList<QByteArray>& paths, const TNamePattern& pattern) {
  QList<TNameTags> plan;
  plan.reserve(paths.size());
  for (const QByteArray& path : paths) plan.append({path, pattern.Match(StemCaption(path))});
  return plan;
}

TNameFromTags NameFromValues(const QByteArray& path, const TPatternValues& values,
                             const TNamePattern& pattern) {
  TNameFromTags step;
  step.OldPath = path;
  for (const TPatternField field : pattern.Fields())
    if (!values[IndexOf(field)]) step.Missing << PlaceholderOf(field);
  if (!step.Missing.isEmpty()) {
    step.Problem = QStringLiteral("the tags give no ") + step.Missing.join(QStringLiteral(", "));
    return step;
  }
  const std::optional<QString> name = pattern.Format(values);
  if (!name) return step;
  const TNameProblem problem = NameProblem(*name);
  if (problem == TNameProblem::None) {
    // The renaming's rule: a name left as it was keeps its exact bytes.
    const QList<TRenameStep> renames = PlanRenames({path}, {*name});
    step.NewPath = renames.value(0).NewPath;
  } else {
    step.Problem = NameProblemText(problem);
  }
  return step;
}

QList<TNameFromTags> PlanNamesFromTags(const QList<QByteArray>& paths, const TNamePattern& pattern,
                                       bool readUnicode) {
  QList<TNameFromTags> plan;
  plan.reserve(paths.size());
  for (const QByteArray& path : paths) {
    TNameFromTags step;
    // A file whose tags take more memory than there is keeps its name, and says why.
    if (const QString lack = CatchAllocationFailure(
            path, [&] { step = NameFromValues(path, TagValuesOf(path, readUnicode), pattern); });
        !lack.isEmpty())
      step = {path, {}, QStringLiteral("the tags cannot be read: ") + lack, {}};
    plan.append(std::move(step));
  }
  return plan;
}

}  // namespace melotag::editor
