#include "TitleList.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "ui_Main.h"

int TTitleList::LineCount() const {
  const QTextDocument* document = FUi.Memo1->document();
  const int blocks = document->blockCount();
  return document->lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

QString TTitleList::Line(int index) const {
  const QTextBlock block = FUi.Memo1->document()->findBlockByNumber(index);
  return index >= 0 && index < LineCount() && block.isValid() ? block.text() : QString();
}

void TTitleList::AppendLine(const QString& line) {
  // A text that ends in a line break already has its empty last line.
  QTextDocument* document = FUi.Memo1->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  if (!document->lastBlock().text().isEmpty()) cursor.insertBlock();
  cursor.insertText(line);
}

void TTitleList::AddFromFile() {}

void TTitleList::Clear() {}

void TTitleList::CreateByFilename() {}

void TTitleList::DelCharacter() {}

void TTitleList::DelCharacterRight() {}

void TTitleList::Undo() {}

void TTitleList::ItemNo() {}

void TTitleList::Mark() {}

void TTitleList::Gb2Big5() {}

void TTitleList::Big52GB() {}
