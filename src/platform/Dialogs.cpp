#include "Dialogs.h"

#include <cstdio>
#include <cstdlib>

namespace {
TDialogs* current = nullptr;
}

TDialogs& Dialogs() {
  if (!current) {
    std::fputs("Melotag: no dialogs installed\n", stderr);
    std::abort();
  }
  return *current;
}

TDialogs* SetDialogs(TDialogs* dialogs) {
  TDialogs* previous = current;
  current = dialogs;
  return previous;
}
