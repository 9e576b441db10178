// The widgets that edit the fields of the field table: the panel's box and the batch page's tick
// box and value box of each row, found by the names the table gives them. The form holds those of
// the seven first fields; the others are made here.
#pragma once

#include <QString>

#include "Fields.h"

class IWindow;
class QGridLayout;
class QWidget;

namespace FieldWidgets {

// Makes the panel's label and box of every field the form lacks, from `row` of the grid down.
// Answers the row after the last one made.
int AddPanelFields(QGridLayout& grid, QWidget& parent, int row);
// Makes the batch page's tick box and value box of every field the page writes and the form lacks,
// from `row` of the grid down; a typed value ticks its box. Answers the row after the last one.
int AddBatchFields(QGridLayout& grid, QWidget& parent, int row);

// The widget of that name under `root`; none when there is none.
QWidget* Find(const QWidget& root, const char* name);

// The text a field's box holds: a line, a genre box's text, the lyrics' lines.
QString ValueOf(const QWidget& box);
void SetValue(QWidget& box, const QString& value);

// Names the first value a tag cannot hold (a track "3/0") and answers true: nothing is written
// then. False when every value can be written.
bool Refused(IWindow& window, const melotag::editor::TFieldValues& values);
// What an ID3v1 tag given the values gets none of, for the status bar: a genre outside its list, a
// track above 255 (looked up); empty when it takes them all.
QString TrailerLacks(IWindow& window, const melotag::editor::TFieldValues& values);

}  // namespace FieldWidgets
