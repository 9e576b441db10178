// The Unicode options of the "Read" and "Write" pages: decoding UTF-16, UTF-8 and 2.2/2.4 tags,
// writing new tags in UTF-16, keeping the frames the user did not touch. Unlike the window's
// other choices they are remembered between runs; at first reading and keeping are ticked.
#pragma once

#include "Concern.h"
#include "UnicodeTag.h"

class TTagOptions : public TConcern {
 public:
  using TConcern::TConcern;

  // Ticks the boxes as the last run left them and remembers every change from now on.
  void Load();
  melotag::editor::TUnicodeOptions Options() const;
  // True when one of the options is ticked: tags are then read and written as text here
  // rather than by the tag class (with all three unticked the bytes would be the same).
  bool Any() const;
  // The status-bar words for frames that had no place in the tag written (a 2.2 tag's frames that
  // 2.3 has no frame for, frames a damaged tag cut short);
  // empty when there were none.
  QString DroppedText(int count) const;
  // Shows DroppedText in the status bar (nothing when there were none).
  void ReportDropped(int count);
};
