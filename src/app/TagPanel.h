// The single-file tag panel: the tag of the selected file, written or removed by the writing
// preference.
#pragma once

#include "Concern.h"

class TTagPanel : public TConcern {
 public:
  using TConcern::TConcern;

  // Empties the panel's fields and the album title.
  void Clear();
  // Shows the tag of the selected file by the reading preference.
  void ShowSelected();
  void Write();
  void Remove();
};
