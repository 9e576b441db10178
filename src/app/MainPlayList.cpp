// The play list of the listed files.
#include "Main.h"

void TMainForm::actPlayListExecute() {}
