#include "CoverPanel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "Cover.h"
#include "Dialogs.h"
#include "FileNames.h"
#include "FilePath.h"
#include "TagError.h"
#include "TagPanel.h"
#include "TagText.h"
#include "ui_Main.h"

using namespace melotag::editor;

namespace {

constexpr int kThumbnail = 96;

// The one local file of a drop.
std::optional<QByteArray> DroppedFile(const QMimeData* data) {
  if (!data || !data->hasFormat(QStringLiteral("text/uri-list"))) return std::nullopt;
  const QList<QByteArray> paths = LocalPathsOfUriList(data->data(QStringLiteral("text/uri-list")));
  if (paths.size() != 1) return std::nullopt;
  return paths.first();
}

}  // namespace

TCoverPanel::TCoverPanel(IWindow& window, Ui::TMainForm& ui, TTagPanel& panel)
    : TConcern(window, ui), FPanel(panel) {
  FBox = new QGroupBox(QStringLiteral("Picture"), FUi.ScrollBox1Contents);
  FBox->setObjectName(QStringLiteral("grpPicture"));
  // The thumbnail, and beside it what it is and the buttons.
  auto* row = new QHBoxLayout(FBox);
  row->setContentsMargins(6, 6, 6, 6);
  row->setSpacing(6);
  auto* layout = new QVBoxLayout;
  layout->setSpacing(4);
  FImage = new QLabel(FBox);
  FImage->setObjectName(QStringLiteral("imgCover"));
  FImage->setFixedSize(kThumbnail, kThumbnail);
  FImage->setFrameShape(QFrame::Box);
  FImage->setAlignment(Qt::AlignCenter);
  FImage->setAcceptDrops(true);
  FImage->installEventFilter(this);
  row->addWidget(FImage, 0, Qt::AlignTop);
  row->addLayout(layout);
  FInfo = new QLabel(FBox);
  FInfo->setObjectName(QStringLiteral("lblCoverInfo"));
  layout->addWidget(FInfo);
  auto button = [&](const char* name, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), FBox);
    b->setObjectName(QString::fromLatin1(name));
    layout->addWidget(b);
    return b;
  };
  FSet = button("btnSetPicture", "Set Picture...");
  FSave = button("btnSavePicture", "Save Picture As...");
  FRemove = button("btnRemovePicture", "Remove Picture");
  QObject::connect(FSet, &QPushButton::clicked, this, [this] { ChoosePicture(); });
  QObject::connect(FSave, &QPushButton::clicked, this, [this] { SavePicture(); });
  QObject::connect(FRemove, &QPushButton::clicked, this, [this] { RemovePicture(); });
  layout->addStretch();
  // Under the tag information, beside the lower fields.
  QGridLayout* grid = FUi.ScrollBox1Layout;
  grid->removeWidget(FUi.GroupBox1);
  grid->addWidget(FUi.GroupBox1, 0, 2, 3, 1, Qt::AlignTop);
  grid->addWidget(FBox, 3, 2, 4, 1, Qt::AlignTop);
  Clear();
}

void TCoverPanel::Clear() {
  FPath.clear();
  FData.clear();
  FMime.clear();
  FImage->clear();
  FInfo->clear();
  FSet->setEnabled(false);  // no file to set a picture into
  FSave->setEnabled(false);
  FRemove->setEnabled(false);
}

void TCoverPanel::Show(const QByteArray& path) {
  // Installed again, it comes before the window's own filter, which takes a file dropped
  // anywhere into the file list: an image dropped here is the picture.
  FImage->installEventFilter(this);
  Clear();
  FPath = path;
  if (path.isEmpty() || !FileExists(path)) return;
  FSet->setEnabled(true);
  std::optional<TPicture> cover;
  bool tooLarge = false;
  melotag::tags::ClearError();
  const QString lack = CatchAllocationFailure(path, [&] {
    melotag::tags::TFrameTag tag;
    if (!melotag::tags::ReadFrameTag(TagPath(path), tag)) return;
    cover = CoverOf(tag);
    if (!cover)
      for (const TPicture& picture : PicturesOf(tag)) tooLarge = tooLarge || picture.TooLarge;
  });
  if (!lack.isEmpty()) FWindow.ShowMsgFmt("Can not read tag from the file", path, lack);
  if (tooLarge) FInfo->setText(FWindow.LookupText(QStringLiteral("Picture too large to read")));
  if (!cover) return;
  FData = cover->Data;
  FMime = cover->Image ? cover->Image->Mime : cover->Mime;
  QPixmap pixmap;
  if (pixmap.loadFromData(FData))
    FImage->setPixmap(pixmap.scaled(kThumbnail - 2, kThumbnail - 2, Qt::KeepAspectRatio,
                                    Qt::SmoothTransformation));
  const QString type = cover->Type == 3 ? FWindow.LookupText(QStringLiteral("Front cover"))
                                        : FWindow.LookupText(QStringLiteral("Picture type")) +
                                              QStringLiteral(" %1").arg(cover->Type);
  QString size =
      QStringLiteral("%1 ").arg(FData.size()) + FWindow.LookupText(QStringLiteral("bytes"));
  if (cover->Image && cover->Image->Width > 0)
    size = QStringLiteral("%1 x %2, ").arg(cover->Image->Width).arg(cover->Image->Height) + size;
  FInfo->setText(type + '\n' + size);
  FSave->setEnabled(true);
  FRemove->setEnabled(true);
}

QByteArray TCoverPanel::PathToChange() {
  return FPanel.PathToChange();
}

void TCoverPanel::SetPicture(const QByteArray& path, const QByteArray& imagePath) {
  const TImageFile file = ReadImageFile(imagePath);
  if (file.Problem == TImageFile::TooLarge) {
    FWindow.ShowMsgFmt("The image [%s] is larger than 20 MiB: not used", imagePath);
    return;
  }
  if (file.Problem != TImageFile::None) {
    FWindow.ShowMsg(QStringLiteral("The file is not a JPEG or PNG image"));
    return;
  }
  const QByteArray& image = file.Bytes;
  melotag::tags::ClearError();
  bool done = false;
  const QString lack =
      CatchAllocationFailure(path, [&] { done = SetCover(TagPath(path), image).Ok; });
  if (!done)
    FWindow.ShowMsgFmt("Can not save tag to the file", path,
                       lack.isEmpty() ? TagFailureText(path) : lack);
  FPanel.ShowSelected();
}

void TCoverPanel::ChoosePicture() {
  const QByteArray path = PathToChange();
  if (path.isEmpty()) return;
  QStringList chosen;
  if (!Dialogs().OpenFiles(QStringLiteral("Images (*.jpg *.jpeg *.png);;All files (*)"), QString(),
                           false, chosen) ||
      chosen.isEmpty())
    return;
  const std::optional<QByteArray> imagePath = PathOfText(chosen.first());
  if (!imagePath) {
    FWindow.ShowMsg(QStringLiteral("The file is not a JPEG or PNG image"));
    return;
  }
  SetPicture(path, *imagePath);
}

void TCoverPanel::SavePicture() {
  if (FData.isEmpty()) return;
  QByteArray name = FileNamePart(FPath);
  if (name.toLower().endsWith(".mp3")) name.chop(4);
  const QString suffix = ImageSuffix(FMime);
  QString chosen;
  if (!Dialogs().SaveFile(QStringLiteral("Images (*") + suffix + QStringLiteral(")"), QString(),
                          suffix.mid(1), NameCaption(name) + suffix, chosen))
    return;
  const std::optional<QByteArray> out = PathOfText(chosen);
  const QString error = out ? WriteFileAtomically(*out, FData) : QStringLiteral("?");
  if (!error.isEmpty()) FWindow.ShowMsg(QStringLiteral("Can not save the picture"));
}

void TCoverPanel::RemovePicture() {
  const QByteArray path = PathToChange();
  if (path.isEmpty()) return;
  melotag::tags::ClearError();
  bool done = false;
  const QString lack =
      CatchAllocationFailure(path, [&] { done = RemoveCover(TagPath(path), false).Ok; });
  if (!done)
    FWindow.ShowMsgFmt("Can not remove tag from the file", path,
                       lack.isEmpty() ? TagFailureText(path) : lack);
  FPanel.ShowSelected();
}

bool TCoverPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched != FImage) return false;
  if (event->type() == QEvent::DragEnter) {
    auto* drag = static_cast<QDragEnterEvent*>(event);
    if (DroppedFile(drag->mimeData())) drag->acceptProposedAction();
    return true;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const std::optional<QByteArray> image = DroppedFile(drop->mimeData());
    if (!image) return true;
    drop->acceptProposedAction();
    const QByteArray path = PathToChange();
    if (!path.isEmpty()) SetPicture(path, *image);
    return true;
  }
  return false;
}
