#include "TitleList.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include "CodePage.h"
#include "FileList.h"
#include "FileNames.h"
#include "FormDialogs.h"
#include "RenamePlan.h"
#include "TitleTools.h"
#include "Workspace.h"
#include "ui_Main.h"

namespace editor = melotag::editor;

namespace {

const QString kTitleFileFilter =
    QStringLiteral("Text files (*.txt)|*.txt;|m3u files (*.m3u)|*.m3u;|All files (*.*)|*.*");

}  // namespace

TTitleList::TTitleList(IWindow& window, Ui::TMainForm& ui, editor::TTitleLines& titles,
                       const TFileList& list, TOpenDialog& openDialog)
    : TConcern(window, ui), FTitles(titles), FFileList(list), FOpenDialog(openDialog) {}

int TTitleList::LineCount() const {
  const QTextDocument* document = FUi.Memo1->document();
  const int blocks = document->blockCount();
  return document->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

QString TTitleList::Line(int index) const {
  const QTextBlock block = FUi.Memo1->document()->findBlockByNumber(index);
  return index >= 0 && index < LineCount() && block.isValid() ? block.text() : QString();
}

QStringList TTitleList::Lines() const {
  // The raw text in one pass, the blocks apart by U+2029 (a block never holds one); asking each
  // block for its text searches the document's trees once per line. The raw text keeps every
  // character as it is (the plain text would turn a no-break space into a blank).
  QStringList lines = FUi.Memo1->document()->toRawText().split(QChar::ParagraphSeparator);
  if (lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void TTitleList::SetLines(const QStringList& lines) {
  FTitles.SetLines(lines);
  Show();
}

void TTitleList::Show() {
  // An empty last line needs the line break after it, as the box counts lines.
  const QStringList& lines = FTitles.Lines();
  QString text = lines.join(u'\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) text += u'\n';
  FUi.Memo1->setPlainText(text);
}

const editor::TTitleLines& TTitleList::Read() {
  FTitles.SetLines(Lines());
  return FTitles;
}

const QStringList& TTitleList::UndoList() const {
  return FTitles.UndoList();
}

bool TTitleList::CanUndo() const {
  return FTitles.CanUndo();
}

void TTitleList::ClearUndo() {
  FTitles.ClearUndo();
}

void TTitleList::AppendLine(const QString& line) {
  // A text that ends in a line break already has its empty last line.
  QTextDocument* document = FUi.Memo1->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  if (!document->lastBlock().text().isEmpty()) cursor.insertBlock();
  cursor.insertText(line);
}

void TTitleList::RunSavingTool(const std::function<QStringList(const QStringList&)>& tool) {
  Read();
  FTitles.Apply(tool);
  Show();
}

void TTitleList::AddFromFile() {
  FOpenDialog.Filter = kTitleFileFilter;
  if (!FOpenDialog.Execute() || FOpenDialog.Files.isEmpty()) return;
  const QString chosen = FOpenDialog.Files.first();
  const std::optional<QByteArray> path = editor::PathOfText(chosen);
  const editor::TTitleFile file =
      path ? editor::ReadTitleFile(*path) : editor::TTitleFile{{}, ENOENT};
  if (file.Error) {
    const QString reason = file.Error == EFBIG
                               ? QStringLiteral("The file is too large for a title list.")
                               : editor::ErrorText(file.Error) + '.';
    Dialogs().MessageDlg(mtError, "Cannot open file \"" + chosen + "\". " + reason, Btn(mbOK), 0);
    return;
  }
  SetLines(file.Lines);
}

void TTitleList::Clear() {
  RunSavingTool([](const QStringList&) { return QStringList(); });
}

void TTitleList::CreateByFilename() {
  if (!FFileList.Check()) return;
  QStringList captions;
  captions.reserve(FFileList.Count());
  for (int i = 0; i < FFileList.Count(); ++i) captions.append(FFileList.Caption(i));
  SetLines(editor::TitlesOfCaptions(captions));
}

void TTitleList::DelCharacter() {
  RunSavingTool(editor::DeleteFirstCharacter);
}

void TTitleList::DelCharacterRight() {
  RunSavingTool(editor::DeleteLastCharacter);
}

void TTitleList::Undo() {
  FTitles.Undo();
  Show();
}

void TTitleList::ItemNo() {
  RunSavingTool(editor::AddItemNumbers);
}

void TTitleList::Mark() {
  Read();
  FTitles.SaveUndo();
  QString mark;
  if (!Dialogs().InputQuery(FWindow.Widget()->windowTitle(),
                            QStringLiteral("Please Input Punctuation Mark"), mark))
    return;
  SetLines(editor::AddMark(FTitles.UndoList(), mark));
}

void TTitleList::Gb2Big5() {
  RunSavingTool([](const QStringList& lines) {
    return editor::ConvertLines(lines, editor::TChineseConversion::GbkToBig5, GetACP());
  });
}

void TTitleList::Big52GB() {
  RunSavingTool([](const QStringList& lines) {
    return editor::ConvertLines(lines, editor::TChineseConversion::Big5ToGbk, GetACP());
  });
}
