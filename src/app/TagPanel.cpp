#include "TagPanel.h"

#include "ui_Main.h"

void TTagPanel::Clear() {
  for (QLineEdit* edit : {FUi.TagExistsValue, FUi.VersionValue, FUi.SizeValue, FUi.TitleEdit,
                          FUi.ArtistEdit, FUi.AlbumEdit, FUi.TrackEdit, FUi.YearEdit})
    edit->clear();
  FUi.GenreComboBox->setCurrentIndex(-1);
  FUi.CommentEdit->clear();
  FUi.edtAlbumTitle->clear();
}

void TTagPanel::ShowSelected() {}

void TTagPanel::Write() {}

void TTagPanel::Remove() {}
