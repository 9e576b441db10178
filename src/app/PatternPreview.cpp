#include "PatternPreview.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace editor = melotag::editor;

QString FieldWord(editor::TField field) {
  return QString::fromLatin1(editor::RowOf(field).Label);
}

TPatternPreview::TPatternPreview(const QString& caption, const QStringList& history, bool tagChoice,
                                 TColumns columns, TRows rows, const TLookup& LookupText,
                                 QWidget* parent)
    : QDialog(parent),
      FColumns(std::move(columns)),
      FMakeRows(std::move(rows)),
      FLookup(LookupText) {
  setObjectName(QStringLiteral("TPatternPreview"));
  setWindowTitle(caption);
  resize(760, 480);
  auto* layout = new QVBoxLayout(this);

  auto* patternRow = new QHBoxLayout;
  auto* label = new QLabel(LookupText("Pattern"), this);
  label->setObjectName(QStringLiteral("lblPattern"));
  cbxPattern = new QComboBox(this);
  cbxPattern->setObjectName(QStringLiteral("cbxPattern"));
  cbxPattern->setEditable(true);
  cbxPattern->setInsertPolicy(QComboBox::NoInsert);
  cbxPattern->addItems(history);
  cbxPattern->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  label->setBuddy(cbxPattern);
  patternRow->addWidget(label);
  patternRow->addWidget(cbxPattern, 1);
  layout->addLayout(patternRow);

  // The legend: each field's placeholder beside its word, in the user's language.
  QStringList legend;
  for (const editor::TFieldRow& row : editor::FieldTable())
    if (row.Pattern)
      legend << editor::PlaceholderOf(row.Field) + QStringLiteral(" ") +
                    LookupText(FieldWord(row.Field));
  auto* lblLegend = new QLabel(
      LookupText("Fields:") + QStringLiteral("  ") + legend.join(QStringLiteral("    ")), this);
  lblLegend->setObjectName(QStringLiteral("lblLegend"));
  lblLegend->setWordWrap(true);
  lblLegend->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblLegend);

  if (tagChoice) {
    auto* tagRow = new QHBoxLayout;
    auto* tagLabel = new QLabel(LookupText("Write to"), this);
    tagLabel->setObjectName(QStringLiteral("lblTags"));
    tagRow->addWidget(tagLabel);
    auto* group = new QButtonGroup(this);
    const std::pair<QRadioButton**, const char*> buttons[] = {
        {&rbtnID3v1, "ID3v1"}, {&rbtnID3v2, "ID3v2"}, {&rbtnBoth, "ID3v1 and ID3v2"}};
    for (auto [button, text] : buttons) {
      *button = new QRadioButton(LookupText(QString::fromLatin1(text)), this);
      group->addButton(*button);
      tagRow->addWidget(*button);
    }
    rbtnID3v1->setObjectName(QStringLiteral("rbtnID3v1"));
    rbtnID3v2->setObjectName(QStringLiteral("rbtnID3v2"));
    rbtnBoth->setObjectName(QStringLiteral("rbtnBoth"));
    rbtnBoth->setChecked(true);
    tagRow->addStretch();
    layout->addLayout(tagRow);
  }

  lblProblem = new QLabel(this);
  lblProblem->setObjectName(QStringLiteral("lblProblem"));
  QPalette red = lblProblem->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  lblProblem->setPalette(red);
  lblProblem->setVisible(false);
  layout->addWidget(lblProblem);

  tblPreview = new QTableWidget(0, 2, this);
  tblPreview->setObjectName(QStringLiteral("tblPreview"));
  tblPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblPreview->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblPreview->verticalHeader()->setVisible(false);
  tblPreview->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(tblPreview, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("btnsPreview"));
  FOk = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(cbxPattern, &QComboBox::editTextChanged, this, [this] { Fill(); });
  Fill();
}

QString TPatternPreview::Pattern() const {
  return cbxPattern->currentText();
}

void TPatternPreview::SetPattern(const QString& pattern) {
  cbxPattern->setEditText(pattern);
}

bool TPatternPreview::WritesID3v1() const {
  return !rbtnID3v1 || !rbtnID3v2->isChecked();
}

bool TPatternPreview::WritesID3v2() const {
  return !rbtnID3v1 || !rbtnID3v1->isChecked();
}

void TPatternPreview::SetTags(bool v1, bool v2) {
  if (!rbtnID3v1) return;
  (v1 && v2 ? rbtnBoth : v1 ? rbtnID3v1 : rbtnID3v2)->setChecked(true);
}

void TPatternPreview::Fill() {
  const editor::TNamePattern pattern(Pattern());
  lblProblem->setVisible(!pattern.IsValid());
  if (!pattern.IsValid()) {
    lblProblem->setText(FLookup("The pattern is not valid: ") + pattern.Error());
    FRows.clear();
  } else {
    FRows = FMakeRows(pattern);
  }
  const QStringList middle = pattern.IsValid() ? FColumns(pattern) : QStringList();
  const QStringList headers = QStringList{FLookup("File")} + [&] {
    QStringList words;
    for (const QString& word : middle) words << FLookup(word);
    return words;
  }() + QStringList{FLookup("Note")};
  tblPreview->clearContents();
  tblPreview->setColumnCount(static_cast<int>(headers.size()));
  tblPreview->setHorizontalHeaderLabels(headers);
  tblPreview->setRowCount(static_cast<int>(FRows.size()));
  const QString unchanged = FLookup("(left as it is)");
  const QString same = FLookup("(stays as it is)");
  bool any = false;
  for (int i = 0; i < FRows.size(); ++i) {
    const TPatternRow& row = FRows[i];
    const bool done = row.Note.isEmpty();
    any = any || (done && !row.Same);
    QStringList cells = QStringList{row.File} + row.Cells;
    while (cells.size() < headers.size() - 1) cells << QString();
    cells << (!done ? row.Note + QStringLiteral(" ") + unchanged : row.Same ? same : QString());
    for (int column = 0; column < cells.size(); ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (!done)
        item->setForeground(Qt::red);
      else if (row.Same)
        item->setForeground(Qt::darkGray);
      tblPreview->setItem(i, column, item);
    }
  }
  tblPreview->resizeColumnsToContents();
  FOk->setEnabled(any);
}
