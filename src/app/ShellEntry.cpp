#include "ShellEntry.h"

void TShellEntry::Register() {}

void TShellEntry::Unregister() {}
