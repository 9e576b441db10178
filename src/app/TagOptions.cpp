#include "TagOptions.h"

#include <QCheckBox>
#include <QSettings>

#include "Main.h"
#include "ui_Main.h"

void TTagOptions::Load() {
  QSettings settings(QStringLiteral("Melotag"), QStringLiteral("Melotag"));
  for (QCheckBox* box : {FUi.cbxReadUnicode, FUi.cbxWriteUnicode, FUi.cbxKeepOtherFrames}) {
    const QString key = QStringLiteral("Options/") + box->objectName();
    box->setChecked(settings.value(key, false).toBool());
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
  return FForm.LookupText(QStringLiteral("ID3v2.4 frames without a place in ID3v2.3 dropped: ")) +
         QString::number(count);
}

void TTagOptions::ReportDropped(int count) {
  if (count > 0) FForm.ShowStatus(DroppedText(count));
}
