// Renaming the listed files after the title list and the folder after the album.
#include "Main.h"

void TMainForm::actRenameExecute() {}

void TMainForm::actRenameDirExecute() {}

void TMainForm::SpeedButton5Click() {}
