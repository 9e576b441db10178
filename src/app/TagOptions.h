// The Unicode options of the "Read" and "Write" pages: decoding UTF-16, UTF-8 and 2.4 tags,
// writing UTF-16 where the code page falls short, keeping the frames the user did not touch.
// Unlike the window's other choices they are remembered between runs; unticked at first.
#pragma once

#include "Concern.h"
#include "UnicodeTag.h"

class TTagOptions : public TConcern {
 public:
  using TConcern::TConcern;

  // Ticks the boxes as the last run left them and remembers every change from now on.
  void Load();
  melotag::editor::TUnicodeOptions Options() const;
  // Says in the status bar how many frames of a 2.4 tag had no place in the 2.3 tag written
  // (nothing when there were none).
  void ReportDropped(int count);
};
