// repair-tags and repair-names: legacy code-page texts of tags and legacy file names made
// Unicode, each with a dry run that prints the preview.
#include <QStringList>

#include "Cli.h"
#include "FileNames.h"
#include "LegacyText.h"
#include "NameRepair.h"
#include "RenamePlan.h"
#include "TagError.h"
#include "TagRepair.h"

namespace melotag::cli {

using namespace editor;

namespace {

// The code page of --codepage: one of the offered ones, or "guess" (also without the option).
int RepairChoice(const TArguments& args) {
  const QByteArray value = args.Value("--codepage").value_or("guess");
  if (value == "guess") return kGuessCodePage;
  bool number = false;
  const int codePage = value.toInt(&number);
  if (number && LegacyCodePages().contains(codePage)) return codePage;
  QStringList offered;
  for (int page : LegacyCodePages()) offered << QString::number(page);
  throw EUsage("--codepage takes guess or one of " + offered.join(", ").toStdString() + ", not '" +
               ArgumentText(value).toStdString() + "'");
}

const QString kUnreadable = QStringLiteral("(cannot be read in this code page: left as it is)");

// A line of a dry run: the path as its bytes, then the texts apart by tabs.
void PrintRow(const QByteArray& path, const QStringList& texts) {
  PrintBytes(stdout, path);
  Print(stdout, '\t' + texts.join('\t') + '\n');
}

// A repaired text on one line: its strings (a description first) apart by " / ".
QString OneLine(const QString& text) {
  QStringList parts = text.split(QChar(0));
  parts.removeAll(QString());
  return parts.join(QStringLiteral(" / "));
}

}  // namespace

int RunRepairTags(TContext& context) {
  const TArguments& args = context.Args();
  const int choice = RepairChoice(args);
  const bool dryRun = args.Has("--dry-run");
  const TFileListing& files = context.Files(args.Operands());
  TTagRepairUndo undo;  // a run has no undo; the repair keeps the old tags all the same
  const auto repair = [&](int, const QByteArray& path) {
    const TTagRepairFile file = ReadLegacyTags(path);
    if (!file.Problem.isEmpty()) return TPassStep{false, 0, file.Problem};
    if (file.Texts.empty()) return TPassStep{};
    const int codePage = CodePageFor(file, choice);
    if (dryRun) {
      for (const TRepairText& text : file.Texts) {
        const std::optional<QString> repaired = RepairedText(text, codePage);
        PrintRow(path, {text.Field, text.Legacy ? QString::number(codePage) : QString(),
                        repaired ? OneLine(*repaired) : kUnreadable});
      }
      return TPassStep{};
    }
    melotag::tags::ClearError();
    if (RepairTags(path, codePage, undo).Outcome == TRepairOutcome::Failed)
      return TPassStep{false, 0, WriteFailure(path, QStringLiteral("the ID3v2 tag"))};
    return TPassStep{true, 0, {}};
  };
  if (!dryRun) {
    EachFile(context, QStringLiteral("the ID3v2 tag"), repair);
    return context.ExitStatus();
  }
  for (int i = 0; i < files.Count(); ++i) {
    const QByteArray& path = files.Path(i);
    TPassStep step;
    if (const QString lack = CatchAllocationFailure(path, [&] { step = repair(i, path); });
        !lack.isEmpty())
      step.Failure = QStringLiteral("the tags cannot be read: ") + lack;
    if (!step.Failure.isEmpty()) context.Fail(path, step.Failure);
  }
  return context.ExitStatus();
}

int RunRepairNames(TContext& context) {
  const TArguments& args = context.Args();
  const int choice = RepairChoice(args);
  const QList<TNameRepair> plan =
      PlanNameRepairs(context.Files(args.Operands()).Paths(), choice, args.Has("--folders"));
  for (const TNameRepair& step : plan)
    if (step.NewPath.isEmpty())
      context.Fail(step.OldPath,
                   step.Problem == TNameProblem::None
                       ? "cannot be read in code page " + QString::number(step.CodePage)
                       : NameProblemText(step.Problem));
  if (args.Has("--dry-run")) {
    for (const TNameRepair& step : plan)
      if (!step.NewPath.isEmpty())
        PrintRow(step.OldPath, {QString::number(step.CodePage), NewName(step)});
    return context.ExitStatus();
  }
  const TNameRepairResult result = ApplyNameRepairs(plan);
  for (const auto& [step, error] : result.Failed)
    context.Fail(step.OldPath, RenameErrorText(error));
  return context.ExitStatus();
}

}  // namespace melotag::cli
