#include "BatchUpdate.h"

#include "ui_Main.h"

void TBatchUpdate::ClearValues() {
  for (QCheckBox* box : {FUi.cbxTitle, FUi.cbxChangeTitleByTitleList, FUi.cbxArtist, FUi.cbxAlbum,
                         FUi.cbxTrack, FUi.cbxYear, FUi.cbxGenre, FUi.cbxComment})
    box->setChecked(false);
  for (QLineEdit* edit : {FUi.edtArtist, FUi.edtAlbum, FUi.edtYear}) edit->clear();
  FUi.cboGenre->setCurrentIndex(-1);
  FUi.edtComment->clear();
}

void TBatchUpdate::WriteAll() {}

void TBatchUpdate::RemoveAll() {}

void TBatchUpdate::TitleClicked() {}

void TBatchUpdate::ValueChanged(QLineEdit*, QCheckBox*) {}
