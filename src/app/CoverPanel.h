// The picture of the tag panel: a thumbnail of the selected file's front cover (else its first
// picture) with its type, size in pixels and bytes; setting it from a JPEG or PNG file (by dialog
// or by dropping the file on the thumbnail), saving it to a file and removing it.
#pragma once

#include <QByteArray>
#include <QObject>

#include "Concern.h"

class QGroupBox;
class QLabel;
class QPushButton;
class TTagPanel;

class TCoverPanel : public QObject, public TConcern {
 public:
  // Builds the picture's group box beside the tag information of `panel`, which says what file
  // may be changed and shows it again after a change.
  TCoverPanel(IWindow& window, Ui::TMainForm& ui, TTagPanel& panel);

  // Shows the cover of the file (an empty frame without one, or for an empty path).
  void Show(const QByteArray& path);
  void Clear();
  // The file (when the panel may change it: the read-only question answered) gets the image as
  // its front cover; an image that is not a JPEG or PNG is refused with a message.
  void SetPicture(const QByteArray& path, const QByteArray& imagePath);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ChoosePicture();
  void SavePicture();
  void RemovePicture();
  // The selected file, once the tag panel lets it be changed; empty otherwise.
  QByteArray PathToChange();

  TTagPanel& FPanel;
  QByteArray FPath;  // the file shown
  QByteArray FData;  // its cover's bytes
  QString FMime;
  QGroupBox* FBox = nullptr;
  QLabel* FImage = nullptr;
  QLabel* FInfo = nullptr;
  QPushButton* FSet = nullptr;
  QPushButton* FSave = nullptr;
  QPushButton* FRemove = nullptr;
};
