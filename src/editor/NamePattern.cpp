#include "NamePattern.h"

#include <QRegularExpression>

#include <algorithm>

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
  QString expression = QStringLiteral("^");
  for (const TPart& part : FParts)
    expression += part.IsField ? ExpressionOf(part.Field) : QRegularExpression::escape(part.Text);
  expression += QLatin1Char('$');
  const QRegularExpression re(expression, QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch match = re.match(name);
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

}  // namespace melotag::editor
