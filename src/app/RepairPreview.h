// The preview of a repair: the code page to read legacy texts with (or a guess per file) and
// what each text or name becomes with it, rows that cannot be read marked; accepted or not.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QTableWidget;

// One row: a file, the field (or the name) and what the repair makes of it with a code page.
struct TPreviewRow {
  QString File;
  QString Field;
  QString Text;
  int CodePage = 0;
  bool Readable = true;  // false: the row is left as it is
};

class TRepairPreview : public QDialog {
  Q_OBJECT

 public:
  // The rows for a code-page choice (a code page, or 0 for a guess per file) and the state of
  // the folder box.
  using TRows = std::function<QList<TPreviewRow>(int choice, bool folders)>;
  // The dialog's own words in the user's language.
  using TLookup = std::function<QString(const QString&)>;
  // `folderBox`: the dialog offers "Also repair the names of the folders".
  TRepairPreview(const QString& caption, TRows rows, bool folderBox, const TLookup& LookupText,
                 QWidget* parent = nullptr);

  // The choice: a code page, or 0 for "Guess".
  int Choice() const;
  void SetChoice(int choice);
  bool Folders() const;
  // The rows shown now.
  const QList<TPreviewRow>& Rows() const { return FRows; }

 private:
  void Fill();

  TRows FMakeRows;
  QString FUnreadable;
  QList<TPreviewRow> FRows;
  QComboBox* cbxCodePage;
  QCheckBox* cbxFolders = nullptr;
  QTableWidget* tblPreview;
};
