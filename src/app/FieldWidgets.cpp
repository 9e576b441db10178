#include "FieldWidgets.h"

#include "Concern.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using melotag::editor::FieldTable;
using melotag::editor::TField;
using melotag::editor::TFieldKind;
using melotag::editor::TFieldRow;
using melotag::editor::TFieldValues;

namespace FieldWidgets {

namespace {

// The width of the panel's boxes, as the form gives its own.
constexpr int kBoxWidth = 265;

QWidget* MakeBox(const TFieldRow& row, QWidget& parent) {
  QWidget* box = nullptr;
  if (row.Kind == TFieldKind::Described) {
    auto* lines = new QPlainTextEdit(&parent);
    lines->setFixedHeight(lines->fontMetrics().lineSpacing() * 5 + 12);
    lines->setTabChangesFocus(true);
    box = lines;
  } else {
    auto* line = new QLineEdit(&parent);
    box = line;
  }
  box->setObjectName(QString::fromLatin1(row.PanelWidget));
  box->setFixedWidth(row.Kind == TFieldKind::Number ? kBoxWidth / 3 : kBoxWidth);
  return box;
}

// A genre of the list chooses its entry; any other text stands in the box alone.
void SetChoice(QComboBox& choice, const QString& value) {
  // No genre: the blank first choice.
  const int index = choice.findText(value, Qt::MatchFixedString);
  choice.setCurrentIndex(index);
  if (index < 0) choice.setEditText(value);
}

}  // namespace

QWidget* Find(const QWidget& root, const char* name) {
  return name ? root.findChild<QWidget*>(QString::fromLatin1(name)) : nullptr;
}

int AddPanelFields(QGridLayout& grid, QWidget& parent, int at) {
  for (const TFieldRow& row : FieldTable()) {
    if (Find(parent, row.PanelWidget)) continue;
    auto* label = new QLabel(QString::fromLatin1(row.Label), &parent);
    label->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(row.PanelWidget));
    QWidget* box = MakeBox(row, parent);
    label->setBuddy(box);
    grid.addWidget(label, at, 0, Qt::AlignTop);
    grid.addWidget(box, at, 1, Qt::AlignLeft);
    ++at;
  }
  return at;
}

int AddBatchFields(QGridLayout& grid, QWidget& parent, int at) {
  for (const TFieldRow& row : FieldTable()) {
    if (!row.BatchCheck || Find(parent, row.BatchCheck)) continue;
    auto* tick = new QCheckBox(QString::fromLatin1(row.Label), &parent);
    tick->setObjectName(QString::fromLatin1(row.BatchCheck));
    auto* line = new QLineEdit(&parent);
    line->setObjectName(QString::fromLatin1(row.BatchValue));
    line->setFixedWidth(row.Kind == TFieldKind::Number ? kBoxWidth / 3 : kBoxWidth);
    QObject::connect(line, &QLineEdit::textChanged, tick,
                     [tick](const QString& text) { tick->setChecked(!text.isEmpty()); });
    grid.addWidget(tick, at, 0);
    grid.addWidget(line, at, 1, Qt::AlignLeft);
    ++at;
  }
  return at;
}

QString ValueOf(const QWidget& box) {
  if (const auto* line = qobject_cast<const QLineEdit*>(&box)) return line->text();
  if (const auto* choice = qobject_cast<const QComboBox*>(&box)) return choice->currentText();
  if (const auto* lines = qobject_cast<const QPlainTextEdit*>(&box)) return lines->toPlainText();
  return QString();
}

void SetValue(QWidget& box, const QString& value) {
  if (auto* line = qobject_cast<QLineEdit*>(&box)) {
    line->setText(value);
    line->setCursorPosition(0);  // a long text shows from its start
  } else if (auto* choice = qobject_cast<QComboBox*>(&box))
    SetChoice(*choice, value);
  else if (auto* lines = qobject_cast<QPlainTextEdit*>(&box))
    lines->setPlainText(value);
}

bool Refused(IWindow& window, const TFieldValues& values) {
  for (const TFieldRow& row : FieldTable()) {
    const QString value = values.Text(row.Field);
    if (!values.Has(row.Field) || melotag::editor::RefusalOf(row.Field, value).isEmpty()) continue;
    window.ShowMsg(
        window.LookupText(QString::fromLatin1(row.Label)) + QStringLiteral(" \"") + value +
        QStringLiteral("\": ") +
        window.LookupText(QStringLiteral("not a number from 1 to 9999, alone or as N/M")));
    return true;
  }
  return false;
}

QString TrailerLacks(IWindow& window, const TFieldValues& values) {
  QStringList lacks;
  if (!melotag::editor::IsListGenre(values.Text(TField::Genre)))
    lacks << window.LookupText(
        QStringLiteral("The genre is not in the ID3v1 list: the ID3v1 tag gets no genre"));
  if (melotag::editor::ReadNumberPair(values.Text(TField::Track)).Number > 255)
    lacks << window.LookupText(
        QStringLiteral("The track is above 255: the ID3v1 tag gets no track"));
  return lacks.join(QStringLiteral("  "));
}

}  // namespace FieldWidgets
