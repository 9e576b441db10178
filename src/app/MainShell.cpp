// The file manager's context-menu entry for MP3 files.
#include "Main.h"

void TMainForm::Button2Click() {}

void TMainForm::Button3Click() {}
