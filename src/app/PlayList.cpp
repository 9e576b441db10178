#include "PlayList.h"

void TPlayList::Create() {}
