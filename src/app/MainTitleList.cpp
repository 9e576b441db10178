// The title list tools and the GBK/Big5 conversion of the title list.
#include "Main.h"

void TMainForm::actAddTitleListExecute() {}

void TMainForm::actClearTitleListExecute() {}

void TMainForm::actCreateByFilenameExecute() {}

void TMainForm::actDelCharacterExecute() {}

void TMainForm::actDelCharacterRightExecute() {}

void TMainForm::actUndoExecute() {}

void TMainForm::actItemNoExecute() {}

void TMainForm::actMarkExecute() {}

void TMainForm::actGb2Big5Execute() {}

void TMainForm::actBig52GBExecute() {}
