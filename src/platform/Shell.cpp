#include "Shell.h"

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
#include <QUrl>
#include <QVBoxLayout>

bool ShellOpen(const QString& path) {
  if (path.isEmpty()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool SetArchiveOnly(const QString& path) {
  const QFile::Permissions permissions = QFile::permissions(path);
  if (permissions.testFlag(QFileDevice::WriteOwner)) return true;
  return QFile::setPermissions(path, permissions | QFileDevice::WriteOwner);
}

bool IsReadOnlyPath(const QString& path) {
  return QFileInfo::exists(path) && !QFile::permissions(path).testFlag(QFileDevice::WriteOwner);
}

namespace {

QString PermissionText(QFile::Permissions p) {
  const struct {
    QFileDevice::Permission Flag;
    char Letter;
  } bits[] = {
      {QFileDevice::ReadOwner, 'r'}, {QFileDevice::WriteOwner, 'w'}, {QFileDevice::ExeOwner, 'x'},
      {QFileDevice::ReadGroup, 'r'}, {QFileDevice::WriteGroup, 'w'}, {QFileDevice::ExeGroup, 'x'},
      {QFileDevice::ReadOther, 'r'}, {QFileDevice::WriteOther, 'w'}, {QFileDevice::ExeOther, 'x'}};
  QString text;
  for (const auto& bit : bits) text += p.testFlag(bit.Flag) ? QChar(bit.Letter) : QChar('-');
  return text;
}

QString DateText(const QDateTime& when) {
  return when.isValid() ? QLocale().toString(when, QLocale::LongFormat) : QStringLiteral("-");
}

void AddRow(QFormLayout* form, const QString& name, const QString& label, const QString& value) {
  auto* field = new QLabel(value);
  field->setObjectName(name);
  field->setTextInteractionFlags(Qt::TextSelectableByMouse);
  field->setTextFormat(Qt::PlainText);
  form->addRow(label, field);
}

}  // namespace

QDialog* ShowFileProperties(const QString& path, QWidget* parent) {
  const QFileInfo info(path);
  auto* dialog = new QDialog(parent);
  dialog->setObjectName("FilePropertiesDialog");
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(info.fileName() + " Properties");
  auto* layout = new QVBoxLayout(dialog);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  AddRow(form, "lblName", "Name:", info.fileName());
  AddRow(form, "lblFolder", "Folder:", QDir::toNativeSeparators(info.absolutePath()));
  if (info.exists()) {
    const qint64 size = info.size();
    AddRow(form, "lblSize", "Size:",
           QLocale().formattedDataSize(size) + " (" + QLocale().toString(size) + " bytes)");
    AddRow(form, "lblCreated", "Created:", DateText(info.birthTime()));
    AddRow(form, "lblModified", "Modified:", DateText(info.lastModified()));
    AddRow(form, "lblAccessed", "Accessed:", DateText(info.lastRead()));
    AddRow(form, "lblPermissions", "Permissions:",
           PermissionText(info.permissions()) +
               (IsReadOnlyPath(path) ? QStringLiteral(" (read-only)") : QString()));
    AddRow(form, "lblOwner", "Owner:", info.owner());
  } else {
    AddRow(form, "lblMissing", "", "This file no longer exists.");
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->show();
  return dialog;
}
