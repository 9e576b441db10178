// The batch pass: writing and removing the tags of every listed file.
#include "Main.h"

void TMainForm::actWriteAllTagExecute() {}

void TMainForm::actRemoveAllTagExecute() {}

void TMainForm::cbxTitleClick() {}

void TMainForm::edtArtistChange() {}

void TMainForm::edtAlbumChange() {}

void TMainForm::edtYearChange() {}

void TMainForm::edtCommentChange() {}
