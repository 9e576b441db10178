#include "Renaming.h"

void TRenaming::RenameFiles() {}

void TRenaming::RenameFolder() {}

void TRenaming::GetAlbumTitle() {}
