// Renaming the listed files after the title list, and the folder after the album title.
#pragma once

#include "Concern.h"

class TFileList;
class TFolderTree;
class TTitleList;
class TTagOptions;
namespace melotag::editor {
class TWorkspace;
}

class TRenaming : public TConcern {
 public:
  // Renames the files of `list` (the files of `workspace`) after the lines of `titles`, their
  // folder (`tree` follows it) after the album title their tags give by the Unicode `options`.
  TRenaming(IWindow& window, Ui::TMainForm& ui, melotag::editor::TWorkspace& workspace,
            TFileList& list, TFolderTree& tree, TTitleList& titles, const TTagOptions& options);

  void RenameFiles();
  void RenameFolder();
  // The album title from the first listed file's tags.
  void GetAlbumTitle();

 private:
  melotag::editor::TWorkspace& FWorkspace;
  TFileList& FFileList;
  TFolderTree& FFolderTree;
  TTitleList& FTitleList;
  const TTagOptions& FTagOptions;
};
