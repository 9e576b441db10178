#include "Shell.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "CodePage.h"
#include "FilePath.h"

QUrl LocalFileUrl(const QByteArray& path) {
  if (!IsUsablePath(path)) return QUrl();
  return QUrl::fromEncoded("file://" + AbsoluteFilePath(path).toPercentEncoding("/"),
                           QUrl::StrictMode);
}

bool ShellOpen(const QByteArray& path) {
  const QUrl url = LocalFileUrl(path);
  // The desktop gets the encoded form: open nothing unless it carries exactly these bytes.
  if (!url.isValid() ||
      QByteArray::fromPercentEncoding(url.toEncoded()) != "file://" + AbsoluteFilePath(path))
    return false;
  return QDesktopServices::openUrl(url);
}

bool ShellOpen(const QString& path) {
  return ShellOpen(QFile::encodeName(path));
}

namespace {

QString PermissionText(mode_t mode) {
  const mode_t bits[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP,
                         S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
  const char letters[] = "rwxrwxrwx";
  QString text;
  for (int i = 0; i < 9; ++i) text += (mode & bits[i]) ? QChar(letters[i]) : QChar('-');
  return text;
}

QString DateText(const statx_timestamp& when, bool known) {
  if (!known) return QStringLiteral("-");
  const QDateTime time =
      QDateTime::fromMSecsSinceEpoch(qint64(when.tv_sec) * 1000 + when.tv_nsec / 1000000);
  return QLocale().toString(time, QLocale::LongFormat);
}

QString OwnerText(uid_t uid) {
  passwd entry;
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return QString::fromLocal8Bit(found->pw_name);
  return QString::number(uid);
}

void AddRow(QFormLayout* form, const QString& name, const QString& label, const QString& value) {
  auto* field = new QLabel(value);
  field->setObjectName(name);
  field->setTextInteractionFlags(Qt::TextSelectableByMouse);
  field->setTextFormat(Qt::PlainText);
  form->addRow(label, field);
}

}  // namespace

QDialog* ShowFileProperties(const QByteArray& path, QWidget* parent) {
  const QByteArray full = AbsoluteFilePath(path);
  const qsizetype slash = full.lastIndexOf('/');
  const QString name = DecodeFileName(full.mid(slash + 1).toStdString());
  const QString folder = DecodeFileName(slash > 0 ? full.left(slash).toStdString() : "/");
  auto* dialog = new QDialog(parent);
  dialog->setObjectName("FilePropertiesDialog");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(name + " Properties");
  auto* layout = new QVBoxLayout(dialog);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  AddRow(form, "lblName", "Name:", name);
  AddRow(form, "lblFolder", "Folder:", folder);
  struct statx status;
  if (IsUsablePath(full) &&
      statx(AT_FDCWD, full.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &status) == 0) {
    const qint64 size = qint64(status.stx_size);
    AddRow(form, "lblSize", "Size:",
           QLocale().formattedDataSize(size) + " (" + QLocale().toString(size) + " bytes)");
    AddRow(form, "lblCreated",
           "Created:", DateText(status.stx_btime, status.stx_mask & STATX_BTIME));
    AddRow(form, "lblModified", "Modified:", DateText(status.stx_mtime, true));
    AddRow(form, "lblAccessed", "Accessed:", DateText(status.stx_atime, true));
    AddRow(form, "lblPermissions", "Permissions:",
           PermissionText(status.stx_mode) +
               ((status.stx_mode & S_IWUSR) ? QString() : QStringLiteral(" (read-only)")));
    AddRow(form, "lblOwner", "Owner:", OwnerText(status.stx_uid));
  } else {
    AddRow(form, "lblMissing", "", "This file no longer exists.");
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->show();
  return dialog;
}

QDialog* ShowFileProperties(const QString& path, QWidget* parent) {
  return ShowFileProperties(QFile::encodeName(path), parent);
}

QString ProgramFile(const QString& name) {
  const QDir folder(QCoreApplication::applicationDirPath());
  const QString beside = folder.filePath(name);
  if (QFileInfo::exists(beside)) return beside;
  const QString installed = QDir::cleanPath(folder.filePath("../share/melotag/" + name));
  return QFileInfo::exists(installed) ? installed : beside;
}
