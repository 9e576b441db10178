#include "TagOptions.h"

#include <QCheckBox>
#include <QSettings>

#include "ui_Main.h"

void TTagOptions::Load() {
  QSettings settings(QStringLiteral("Melotag"), QStringLiteral("Melotag"));
  // Unicode reading and keeping the other frames are ticked until the user unticks them.
  const std::pair<QCheckBox*, bool> boxes[] = {
      {FUi.cbxReadUnicode, true}, {FUi.cbxWriteUnicode, false}, {FUi.cbxKeepOtherFrames, true}};
  for (const auto& [box, ticked] : boxes) {
    const QString key = QStringLiteral("Options/") + box->objectName();
    box->setChecked(settings.value(key, ticked).toBool());
    QObject::connect(box, &QCheckBox::toggled, box, [key](bool ticked) {
      QSettings settings(QStringLiteral("Melotag"), QStringLiteral("Melotag"));
      settings.setValue(key, ticked);
    });
  }
}

melotag::editor::TUnicodeOptions TTagOptions::Options() const {
  return {FUi.cbxReadUnicode->isChecked(), FUi.cbxWriteUnicode->isChecked(),
          FUi.cbxKeepOtherFrames->isChecked()};
}

bool TTagOptions::Any() const {
  const melotag::editor::TUnicodeOptions options = Options();
  return options.ReadUnicode || options.WriteUnicode || options.KeepOtherFrames;
}

QString TTagOptions::DroppedText(int count) const {
  if (count <= 0) return QString();
  return FWindow.LookupText(QStringLiteral("Frames without a place in the tag written dropped: ")) +
         QString::number(count);
}

void TTagOptions::ReportDropped(int count) {
  if (count > 0) FWindow.ShowStatus(DroppedText(count));
}
