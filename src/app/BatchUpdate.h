// The batch page: the ticked values written into every listed file, and the removal of the tags
// of every listed file.
#pragma once

#include "Concern.h"

class QCheckBox;
class QLineEdit;

class TBatchUpdate : public TConcern {
 public:
  using TConcern::TConcern;

  // Unticks every field and empties the values.
  void ClearValues();
  void WriteAll();
  void RemoveAll();
  // The coupling of the page's boxes: the title box enables the title-list box; a value ticks
  // its field's box, an empty one unticks it.
  void TitleClicked();
  void ValueChanged(QLineEdit* edit, QCheckBox* box);
};
