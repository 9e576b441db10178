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

// The expression a field's text matches.
QString ExpressionOf(TField field) {
  switch (RowOf(field).Kind) {
    case TFieldKind::Number:
      return QStringLiteral("\\s*(\\d+)(?:\\s*/\\s*\\d+)?\\s*");
    case TFieldKind::Year:
      return QStringLiteral("\\s*(\\d+)\\s*");
    default:
      return QStringLiteral("(.+?)");
  }
}

}  // namespace

QString PlaceholderOf(TField field) {
  return QLatin1Char('%') + QLatin1String(RowOf(field).Pattern) + QLatin1Char('%');
}

QStringList PatternLegend() {
  QStringList legend;
  for (const TFieldRow& row : FieldTable())
    if (row.Pattern) legend << PlaceholderOf(row.Field);
  return legend;
}

TNamePattern::TNamePattern(const QString& pattern) {
  QString literal;
  auto flush = [&] {
    if (!literal.isEmpty()) FParts.push_back({false, TField::Title, literal});
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
    const std::optional<TField> field = FieldOfPattern(name);
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

std::vector<TField> TNamePattern::Fields() const {
  std::vector<TField> fields;
  for (const TPart& part : FParts)
    if (part.IsField && std::find(fields.begin(), fields.end(), part.Field) == fields.end())
      fields.push_back(part.Field);
  return fields;
}

std::optional<TFieldValues> TNamePattern::Match(const QString& name) const {
  if (!IsValid()) return std::nullopt;
  const QRegularExpressionMatch match = FExpression.match(name);
  if (!match.hasMatch()) return std::nullopt;
  TFieldValues values;
  int group = 1;
  for (const TPart& part : FParts) {
    if (!part.IsField) continue;
    QString value = match.captured(group++).trimmed();
    if (RowOf(part.Field).Kind == TFieldKind::Number) {
      // A number a tag cannot hold makes no match: it is never wrapped.
      const qulonglong number = value.toULongLong();
      if (number < 1 || number > kMaxNumber) return std::nullopt;
      value = QString::number(number);
    }
    if (value.isEmpty()) return std::nullopt;
    std::optional<QString>& slot = values[part.Field];
    if (slot && *slot != value) return std::nullopt;
    slot = value;
  }
  return values;
}

std::optional<QString> TNamePattern::Format(const TFieldValues& values) const {
  if (!IsValid()) return std::nullopt;
  QString name;
  for (const TPart& part : FParts) {
    if (!part.IsField) {
      name += part.Text;
      continue;
    }
    const std::optional<QString>& value = values[part.Field];
    if (!value || value->trimmed().isEmpty()) return std::nullopt;
    QString text = value->trimmed();
    if (RowOf(part.Field).Kind == TFieldKind::Number) {
      // The number without its total ("6/10" names 06).
      const int number = ReadNumberPair(text).Number;
      if (number < 1) return std::nullopt;
      text = QString::number(number);
      if (part.Field == TField::Track) text = text.rightJustified(2, QLatin1Char('0'));
    }
    name += text.replace(QLatin1Char('/'), QLatin1Char('_'));
  }
  return name;
}

TID3v2Changes ChangesOfValues(const TFieldValues& values) {
  return {values, std::nullopt};
}

TBatchChoices BatchChoicesOfValues(const TFieldValues& values) {
  TBatchChoices choices;
  choices.Values = values;
  return choices;
}

TFieldValues TagValuesOf(const QByteArray& path, bool readUnicode) {
  TFieldValues values;
  auto put = [&](const TFieldValues& fields) {
    for (const TFieldRow& row : FieldTable()) {
      const QString text = fields.Text(row.Field).trimmed();
      // A trailer's track 0 is no track.
      if (!text.isEmpty() && !(row.Kind == TFieldKind::Number && text == QLatin1String("0")))
        values[row.Field] = text;
    }
  };
  // The trailer first: the ID3v2 tag's values win.
  TID3v1 v1;
  if (IsUsablePath(path) && v1.LoadFromFile(TagPath(path)) && v1.Exists()) put(ViewOf(v1).Fields);
  TID3v2Text v2;
  if (IsUsablePath(path)) {
    if (readUnicode) {
      LoadID3v2Text(TagPath(path), v2);
    } else {
      TID3v2 tag;
      if (tag.LoadFromFile(TagPath(path)) && tag.Exists()) {
        v2.Fields = ViewOf(tag).Fields;
        v2.Exists = true;
      }
    }
  }
  if (v2.Exists) put(v2.Fields);
  return values;
}

TNameTagsOutcome WriteValuesOfName(const QByteArray& path, const TFieldValues& values, bool v1,
                                   bool v2, const TUnicodeOptions& options, TTagRepairUndo* undo) {
  TNameTagsOutcome outcome;
  const QString v1Tag = QStringLiteral("the ID3v1 tag"), v2Tag = QStringLiteral("the ID3v2 tag");
  if (undo && !undo->Ready()) {
    outcome.Failed = v1 ? v1Tag : v2Tag;
    return outcome;
  }
  const TBatchChoices choices = BatchChoicesOfValues(values);
  if (v1) {
    std::string before, after;
    if ((undo && !tags::ReadID3v1Bytes(TagPath(path), before)) ||
        !WriteBatchID3v1(path, choices, QString(), 0, options.Exact(), &outcome.KeptTexts)) {
      outcome.Failed = v1Tag;
      return outcome;
    }
    if (undo && tags::ReadID3v1Bytes(TagPath(path), after) && after != before)
      undo->KeepTrailer(path, before, after);
  }
  if (!v2) return outcome;
  TWriteOutcome written;
  TWrittenTag tag;
  if (IsUsablePath(path))
    written = WriteID3v2(TagPath(path), ChangesOfValues(values), options, undo ? &tag : nullptr);
  if (written.Ok && undo && !tag.New.empty()) undo->Keep(path, tag.Old, tag.New);
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

TNameFromTags NameFromValues(const QByteArray& path, const TFieldValues& values,
                             const TNamePattern& pattern) {
  TNameFromTags step;
  step.OldPath = path;
  for (const TField field : pattern.Fields())
    if (!values[field]) step.Missing << PlaceholderOf(field);
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
