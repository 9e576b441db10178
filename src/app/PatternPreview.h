// The dialog of a pass by a file-name pattern: the pattern (an editable box of the last ones), the
// legend of its fields, for tags the tags to write, and a preview of what every listed file
// becomes, made again whenever the pattern changes; rows that do not fit are marked and left
// alone.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "NamePattern.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The word the window shows for a field: "Title", "Artist" ... (a key of the language file).
QString FieldWord(melotag::editor::TField field);

// One row: a file, what it becomes (a value for each column), or why it is left alone.
struct TPatternRow {
  QString File;
  QStringList Cells;
  QString Note;       // why the file is left alone (shown red); empty: it is done as shown
  bool Same = false;  // the file is as the pattern would make it: nothing to do (shown grey)
};

class TPatternPreview : public QDialog {
  Q_OBJECT

 public:
  // The columns between the file and the note for a sound pattern, and the rows.
  using TColumns = std::function<QStringList(const melotag::editor::TNamePattern&)>;
  using TRows = std::function<QList<TPatternRow>(const melotag::editor::TNamePattern&)>;
  using TLookup = std::function<QString(const QString&)>;
  // `history`: the last patterns, the latest first (the box starts with it). `tagChoice`: the
  // dialog offers ID3v1 / ID3v2 / both.
  TPatternPreview(const QString& caption, const QStringList& history, bool tagChoice,
                  TColumns columns, TRows rows, const TLookup& LookupText,
                  QWidget* parent = nullptr);

  QString Pattern() const;
  void SetPattern(const QString& pattern);
  // The tags chosen (both when the dialog offers no choice).
  bool WritesID3v1() const;
  bool WritesID3v2() const;
  void SetTags(bool v1, bool v2);
  // The rows shown now; none while the pattern is not sound.
  const QList<TPatternRow>& Rows() const { return FRows; }

 private:
  void Fill();

  TColumns FColumns;
  TRows FMakeRows;
  TLookup FLookup;
  QList<TPatternRow> FRows;
  QComboBox* cbxPattern;
  QLabel* lblProblem;
  QRadioButton* rbtnID3v1 = nullptr;
  QRadioButton* rbtnID3v2 = nullptr;
  QRadioButton* rbtnBoth = nullptr;
  QTableWidget* tblPreview;
  QPushButton* FOk = nullptr;
};
