// The M3U play list of the listed files.
#pragma once

#include "Concern.h"

class TPlayList : public TConcern {
 public:
  using TConcern::TConcern;

  void Create();
};
