// The M3U play list of the listed files.
#pragma once

#include "Concern.h"

class TFileList;
class TTagOptions;
struct TSaveDialog;

class TPlayList : public TConcern {
 public:
  // The play list of `list`'s files, saved by `saveDialog` under a name the first file's tags
  // give by the Unicode `options`.
  TPlayList(IWindow& window, Ui::TMainForm& ui, const TFileList& list, const TTagOptions& options,
            TSaveDialog& saveDialog);

  void Create();

 private:
  const TFileList& FFileList;
  const TTagOptions& FTagOptions;
  TSaveDialog& FSaveDialog;
};
