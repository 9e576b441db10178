// The title list: a free text, one title per line, paired line by line with the file list; its
// tools, their one-level undo and the GBK/Big5 conversion of its lines. The box (Memo1) shows
// the workspace's title lines and is where the user edits them.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "Concern.h"

class TFileList;
struct TOpenDialog;
namespace melotag::editor {
class TTitleLines;
}

class TTitleList : public TConcern {
 public:
  // Shows `titles`; `list` gives the names of a title list made from the files; `openDialog`
  // chooses a title file.
  TTitleList(IWindow& window, Ui::TMainForm& ui, melotag::editor::TTitleLines& titles,
             const TFileList& list, TOpenDialog& openDialog);

  // The lines as the box shows them; a last empty line does not count.
  int LineCount() const;
  // Line `index` (from 0) as the box shows it; empty past the last line.
  QString Line(int index) const;
  QStringList Lines() const;
  // Replaces the whole text by the lines.
  void SetLines(const QStringList& lines);
  void AppendLine(const QString& line);
  // The title lines, as the box shows them now.
  const melotag::editor::TTitleLines& Read();

  void AddFromFile();
  void Clear();
  void CreateByFilename();
  void DelCharacter();
  void DelCharacterRight();
  void Undo();
  void ItemNo();
  void Mark();
  void Gb2Big5();
  void Big52GB();

  // The lines before the last tool changed them: what Undo puts back (empty: nothing to undo).
  const QStringList& UndoList() const;
  bool CanUndo() const;
  void ClearUndo();

 private:
  // Saves the undo copy, then replaces the lines by what `tool` makes of them.
  void RunSavingTool(const std::function<QStringList(const QStringList&)>& tool);
  // The box shows the title lines.
  void Show();

  melotag::editor::TTitleLines& FTitles;
  const TFileList& FFileList;
  TOpenDialog& FOpenDialog;
};
