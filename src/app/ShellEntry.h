// The file manager's entry for MP3 files that opens them in this program, named after the caption
// of the "Edit With" box.
#pragma once

#include "Concern.h"

class TShellEntry : public TConcern {
 public:
  using TConcern::TConcern;

  void Register();
  void Unregister();
};
