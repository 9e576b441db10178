// Patterns of file names: literal text and the fields of the field table that have a pattern
// name (%title%, %artist%, %album%, %albumartist%, %track%, %disc%, %year% ...). A pattern reads
// tag values out of a file name and makes a file name of tag values.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

#include "TagWrite.h"

namespace melotag::editor {

// The placeholder of a field: "%title%" ...
QString PlaceholderOf(TField field);
// The legend the dialogs show: one "%field%" a line, in the table's order.
QStringList PatternLegend();

class TNamePattern {
 public:
  // Parses the pattern. Error() tells what is wrong: an unknown or unclosed field, no field at
  // all, a "/" (a name never leaves its folder).
  explicit TNamePattern(const QString& pattern);
  bool IsValid() const { return FError.isEmpty(); }
  QString Error() const { return FError; }
  // The fields the pattern holds, each once, in their order.
  std::vector<TField> Fields() const;

  // The values a file name (without its ".mp3") gives: every field of the pattern matched,
  // the literal text exactly; none when the name does not match. Where a separator also occurs
  // inside a field, the earlier field takes the shortest text ("%artist% - %title%" reads
  // "A - B - C" as A and "B - C"). %track%, %disc% and %year% take digits only (a track "03" is
  // 3, "3/12" is 3; a track or disc beyond 9999 or 0 makes no match); values are trimmed. A
  // pattern naming a field twice matches when both agree.
  std::optional<TFieldValues> Match(const QString& name) const;

  // The file name (without ".mp3") the values make: none when a field of the pattern has no
  // value. A track has two digits at least ("03"); "/" in a value becomes "_".
  std::optional<QString> Format(const TFieldValues& values) const;

 private:
  struct TPart {
    bool IsField = false;
    TField Field = TField::Title;
    QString Text;
  };
  std::vector<TPart> FParts;
  QString FError;
  QRegularExpression FExpression;  // what a matching name matches, made once
};

// The ID3v2 changes the values of a match make (the fields the pattern gave).
TID3v2Changes ChangesOfValues(const TFieldValues& values);
// The batch choices the values make for an ID3v1 trailer (a genre outside the list gives none).
TBatchChoices BatchChoicesOfValues(const TFieldValues& values);

// The values of a file's tags: each field of its ID3v2 tag (decoded by the text encoding with
// readUnicode), else of its ID3v1 trailer; no value for an empty field or a track 0.
TFieldValues TagValuesOf(const QByteArray& path, bool readUnicode);

// One file of "tags from file names": its values, or none when its name (the caption, without
// ".mp3") does not match.
struct TNameTags {
  QByteArray Path;
  std::optional<TFieldValues> Values;
};
QList<TNameTags> PlanTagsFromNames(const QList<QByteArray>& paths, const TNamePattern& pattern);

class TTagRepairUndo;

// What writing a name's values into a file's tags gave: the tag that could not be written
// ("the ID3v1 tag", "the ID3v2 tag"; empty when all were), and the frames dropped.
struct TNameTagsOutcome {
  QString Failed;
  int Dropped = 0;
  bool KeptTexts = false;  // the trailer's texts of another code page stayed (TrailerValues)
};
// Writes the values into the chosen tags of the file, the trailer first: an ID3v2 tag gets the
// values' frames replaced and keeps every other frame with KeepOtherFrames (otherwise the batch
// pass's write); the other fields keep their values. With `undo`, each tag the write changed is
// kept there first; a file whose old tags cannot be kept is not written. A rebuilt file waits in
// the thread's melotag::tags::TCommitGroup, if there is one.
TNameTagsOutcome WriteValuesOfName(const QByteArray& path, const TFieldValues& values, bool v1,
                                   bool v2, const TUnicodeOptions& options,
                                   TTagRepairUndo* undo = nullptr);

// One file of "file names from tags": the path it gets (in its own folder, ".mp3" kept), or
// empty with why not (a field its tags lack; a name it cannot have).
struct TNameFromTags {
  QByteArray OldPath;
  QByteArray NewPath;
  QString Problem;
  QStringList Missing;  // the placeholders of the fields the tags lack
};
// The step of one file whose tags hold `values`.
TNameFromTags NameFromValues(const QByteArray& path, const TFieldValues& values,
                             const TNamePattern& pattern);
QList<TNameFromTags> PlanNamesFromTags(const QList<QByteArray>& paths, const TNamePattern& pattern,
                                       bool readUnicode);

}  // namespace melotag::editor
