// The single-file tag panel: reading the selected file, writing and removing its tags.
#include "Main.h"

void TMainForm::lvIniFileListChange() {}

void TMainForm::actWriteTagExecute() {}

void TMainForm::actRemoveTagExecute() {}
