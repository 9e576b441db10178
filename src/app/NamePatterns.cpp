#include "NamePatterns.h"

#include <QSettings>

#include <vector>

#include "BatchUpdate.h"
#include "Dialogs.h"
#include "FieldWidgets.h"
#include "FileList.h"
#include "FileNames.h"
#include "NamePattern.h"
#include "TagOptions.h"
#include "TagPanel.h"
#include "TagRepair.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

// The settings keys of the remembered patterns, and how many each keeps.
const QString kTagPatternsKey = QStringLiteral("Patterns/TagsFromNames");
const QString kNamePatternsKey = QStringLiteral("Patterns/NamesFromTags");
constexpr int kRemembered = 10;

QStringList Remembered(const QString& key) {
  const QStringList patterns =
      QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).value(key).toStringList();
  if (!patterns.isEmpty()) return patterns;
  return {QStringLiteral("%track% - %artist% - %title%"), QStringLiteral("%artist% - %title%"),
          QStringLiteral("%track% - %title%"), QStringLiteral("%track%. %title%")};
}

// The pattern becomes the latest of those remembered under `key`.
void Remember(const QString& key, const QString& pattern) {
  QSettings settings(QStringLiteral("Melotag"), QStringLiteral("Melotag"));
  QStringList patterns = settings.value(key).toStringList();
  patterns.removeAll(pattern);
  patterns.prepend(pattern);
  settings.setValue(key, patterns.mid(0, kRemembered));
}

QString NameText(const QByteArray& path) {
  return editor::NameCaption(editor::FileNamePart(path));
}

}  // namespace

TNamePatterns::TNamePatterns(IWindow& window, Ui::TMainForm& ui, TFileList& list, TFolderTree& tree,
                             const TTagPanel& panel, const TTagOptions& options,
                             TBatchUpdate& batch)
    : TConcern(window, ui),
      FFileList(list),
      FTagPanel(panel),
      FTagOptions(options),
      FBatchUpdate(batch),
      FTagUndo(std::make_unique<editor::TTagRepairUndo>()),
      FNames(window, list, tree) {}

TNamePatterns::~TNamePatterns() = default;

QStringList TNamePatterns::TagPatterns() {
  return Remembered(kTagPatternsKey);
}

QStringList TNamePatterns::NamePatterns() {
  return Remembered(kNamePatternsKey);
}

TPatternPreview::TLookup TNamePatterns::Lookup() const {
  return [this](const QString& word) { return FWindow.LookupText(word); };
}

// --- Tags

void TNamePatterns::TagsFromNames() {
  if (!FFileList.Check()) return;
  const QList<QByteArray> paths = FFileList.Paths();
  const QString noMatch = FWindow.LookupText(QStringLiteral("The name does not match the pattern"));
  const auto columns = [](const editor::TNamePattern& pattern) {
    QStringList words;
    for (const editor::TField field : pattern.Fields()) words << FieldWord(field);
    return words;
  };
  const auto rows = [&](const editor::TNamePattern& pattern) {
    QList<TPatternRow> shown;
    shown.reserve(paths.size());
    for (const editor::TNameTags& step : editor::PlanTagsFromNames(paths, pattern)) {
      TPatternRow row{NameText(step.Path), {}, {}};
      if (step.Values)
        for (const editor::TField field : pattern.Fields()) row.Cells << step.Values->Text(field);
      else
        row.Note = noMatch;
      shown.append(row);
    }
    return shown;
  };
  const TTagPanel& panel = FTagPanel;
  TPatternPreview preview(FWindow.LookupText(QStringLiteral("Tags From File Names")), TagPatterns(),
                          true, columns, rows, Lookup(), FWindow.Widget());
  preview.SetTags(panel.WritesID3v1(), panel.WritesID3v2());
  if (!Dialogs().ExecDialog(preview)) return;
  const editor::TNamePattern pattern(preview.Pattern());
  if (!pattern.IsValid()) return;
  Remember(kTagPatternsKey, preview.Pattern());
  const QList<editor::TNameTags> plan = editor::PlanTagsFromNames(paths, pattern);
  const bool v1 = preview.WritesID3v1(), v2 = preview.WritesID3v2();
  // Only the pattern's fields change: every other frame is kept, whatever the options say.
  editor::TUnicodeOptions options = FTagOptions.Options();
  options.KeepOtherFrames = true;

  // What the ID3v1 tags could not take, said once with the outcome.
  QString lacks;
  int keptTexts = 0;
  QString note;
  FBatchUpdate.TagPass(
      *FTagUndo, QStringLiteral("Tags written: "), QStringLiteral(" file(s) not written:"),
      [&](int i, const QByteArray& path) {
        const editor::TNameTags& step = plan[i];
        editor::TPassStep outcome;
        if (!step.Values || step.Path != path) return outcome;  // not matched: left alone
        const editor::TNameTagsOutcome written =
            editor::WriteValuesOfName(path, *step.Values, v1, v2, options, FTagUndo.get());
        outcome.Done = written.Failed.isEmpty();
        outcome.Dropped = written.Dropped;
        if (!outcome.Done) outcome.Failure = FBatchUpdate.WriteFailure(path);
        if (v1 && lacks.isEmpty()) lacks = FieldWidgets::TrailerLacks(FWindow, *step.Values);
        keptTexts += written.KeptTexts ? 1 : 0;
        note = lacks;
        if (keptTexts > 0)
          note += (note.isEmpty() ? QString() : QStringLiteral("  ")) +
                  FBatchUpdate.KeptTextsNote(keptTexts);
        return outcome;
      },
      &note);
}

bool TNamePatterns::CanUndoTags() const {
  return !FTagUndo->Empty();
}

void TNamePatterns::UndoTags() {
  FBatchUpdate.UndoPass(*FTagUndo, QStringLiteral("changed since"),
                        QStringLiteral(" file(s) kept their new tags:"));
}

// --- File names

void TNamePatterns::NamesFromTags() {
  if (!FFileList.Check()) return;
  const QList<QByteArray> paths = FFileList.Paths();
  // The tags are read once; the preview formats them anew for each pattern.
  std::vector<editor::TFieldValues> values;
  values.reserve(static_cast<size_t>(paths.size()));
  const bool readUnicode = FTagOptions.Options().ReadUnicode;
  for (const QByteArray& path : paths) values.push_back(editor::TagValuesOf(path, readUnicode));
  const auto plan = [&](const editor::TNamePattern& pattern) {
    QList<editor::TNameFromTags> steps;
    steps.reserve(paths.size());
    for (qsizetype i = 0; i < paths.size(); ++i)
      steps.append(editor::NameFromValues(paths[i], values[static_cast<size_t>(i)], pattern));
    return steps;
  };
  const QString noField = FWindow.LookupText(QStringLiteral("The tags give no "));
  const auto rows = [&](const editor::TNamePattern& pattern) {
    QList<TPatternRow> shown;
    shown.reserve(paths.size());
    for (const editor::TNameFromTags& step : plan(pattern)) {
      TPatternRow row{NameText(step.OldPath), {}, {}};
      if (!step.NewPath.isEmpty()) {
        row.Cells << NameText(step.NewPath);
        row.Same = step.NewPath == step.OldPath;
      } else if (!step.Missing.isEmpty())
        row.Note = noField + step.Missing.join(QStringLiteral(", "));
      else
        row.Note = FWindow.LookupText(step.Problem);
      shown.append(row);
    }
    return shown;
  };
  const auto columns = [](const editor::TNamePattern&) {
    return QStringList{QStringLiteral("New name")};
  };
  TPatternPreview preview(FWindow.LookupText(QStringLiteral("File Names From Tags")),
                          NamePatterns(), false, columns, rows, Lookup(), FWindow.Widget());
  if (!Dialogs().ExecDialog(preview)) return;
  const editor::TNamePattern pattern(preview.Pattern());
  if (!pattern.IsValid()) return;
  Remember(kNamePatternsKey, preview.Pattern());
  // A name that stays as it is is no rename.
  QList<editor::TNameRepair> renames;
  for (const editor::TNameFromTags& step : plan(pattern))
    if (!step.NewPath.isEmpty() && step.NewPath != step.OldPath)
      renames.append({step.OldPath, step.NewPath, 0, false, editor::TNameProblem::None});
  FNames.Apply(renames, QStringLiteral("Names changed: "));
}

void TNamePatterns::UndoNames() {
  FNames.Undo();
}
