// Renaming the listed files after the title list, and the folder after the album title.
#pragma once

#include "Concern.h"

class TRenaming : public TConcern {
 public:
  using TConcern::TConcern;

  void RenameFiles();
  void RenameFolder();
  // The album title from the first listed file's tags.
  void GetAlbumTitle();
};
