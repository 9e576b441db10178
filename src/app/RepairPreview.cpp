#include "RepairPreview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "LegacyText.h"

TRepairPreview::TRepairPreview(const QString& caption, TRows rows, bool folderBox,
                               const TLookup& LookupText, QWidget* parent)
    : QDialog(parent),
      FMakeRows(std::move(rows)),
      FUnreadable(LookupText("(can not be read in this code page: left as it is)")) {
  setObjectName(QStringLiteral("TRepairPreview"));
  setWindowTitle(caption);
  resize(760, 460);
  auto* layout = new QVBoxLayout(this);
  auto* choiceRow = new QHBoxLayout;
  auto* label = new QLabel(LookupText("Code page"), this);
  label->setObjectName(QStringLiteral("lblCodePage"));
  cbxCodePage = new QComboBox(this);
  cbxCodePage->setObjectName(QStringLiteral("cbxCodePage"));
  cbxCodePage->addItem(LookupText("Guess"), melotag::editor::kGuessCodePage);
  for (int codePage : melotag::editor::LegacyCodePages())
    cbxCodePage->addItem(QString::number(codePage), codePage);
  label->setBuddy(cbxCodePage);
  choiceRow->addWidget(label);
  choiceRow->addWidget(cbxCodePage);
  if (folderBox) {
    cbxFolders = new QCheckBox(LookupText("Also repair the names of the folders"), this);
    cbxFolders->setObjectName(QStringLiteral("cbxFolders"));
    choiceRow->addWidget(cbxFolders);
    connect(cbxFolders, &QCheckBox::toggled, this, [this] { Fill(); });
  }
  choiceRow->addStretch();
  layout->addLayout(choiceRow);

  tblPreview = new QTableWidget(0, 4, this);
  tblPreview->setObjectName(QStringLiteral("tblPreview"));
  tblPreview->setHorizontalHeaderLabels(
      {LookupText("File"), LookupText("Field"), LookupText("Text"), LookupText("Code page")});
  tblPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblPreview->verticalHeader()->setVisible(false);
  tblPreview->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  layout->addWidget(tblPreview);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("btnsPreview"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(cbxCodePage, &QComboBox::currentIndexChanged, this, [this] { Fill(); });
  Fill();
}

int TRepairPreview::Choice() const {
  return cbxCodePage->currentData().toInt();
}

void TRepairPreview::SetChoice(int choice) {
  cbxCodePage->setCurrentIndex(cbxCodePage->findData(choice));
}

bool TRepairPreview::Folders() const {
  return cbxFolders && cbxFolders->isChecked();
}

void TRepairPreview::Fill() {
  FRows = FMakeRows(Choice(), Folders());
  tblPreview->setRowCount(static_cast<int>(FRows.size()));
  for (int i = 0; i < FRows.size(); ++i) {
    const TPreviewRow& row = FRows[i];
    const QString cells[] = {row.File, row.Field, row.Readable ? row.Text : FUnreadable,
                             row.CodePage > 0 ? QString::number(row.CodePage) : QString()};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (!row.Readable) item->setForeground(Qt::red);
      tblPreview->setItem(i, column, item);
    }
  }
  tblPreview->resizeColumnToContents(0);
  tblPreview->resizeColumnToContents(1);
}
