#include "QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

QWidget* Parent() {
  return QApplication::activeWindow();
}

QMessageBox::Icon IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return QMessageBox::Warning;
    case mtError:
      return QMessageBox::Critical;
    case mtInformation:
      return QMessageBox::Information;
    case mtConfirmation:
      return QMessageBox::Question;
    case mtCustom:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::ButtonRole RoleOf(TMsgDlgBtn button) {
  switch (button) {
    case mbYes:
    case mbYesToAll:
    case mbAll:
      return QMessageBox::YesRole;
    case mbNo:
    case mbNoToAll:
      return QMessageBox::NoRole;
    case mbOK:
      return QMessageBox::AcceptRole;
    case mbCancel:
    case mbAbort:
      return QMessageBox::RejectRole;
    case mbHelp:
      return QMessageBox::HelpRole;
    default:
      return QMessageBox::ActionRole;
  }
}

}  // namespace

QString QtFileFilter(const QString& filter) {
  if (!filter.contains(QLatin1Char('|'))) return filter;
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
    filters << parts[i] + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

int TQtDialogs::MessageDlg(TMsgDlgType type, const QString& text, TMsgDlgButtons buttons,
                           int helpCtx) {
  QMessageBox box(IconOf(type), MsgDlgCaption(type), text, QMessageBox::NoButton, Parent());
  QList<TMsgDlgBtn> list = MsgDlgButtonList(buttons);
  if (list.isEmpty()) list.append(mbOK);
  QHash<QAbstractButton*, int> results;
  QHash<TMsgDlgBtn, QPushButton*> byButton;
  for (TMsgDlgBtn b : list) {
    QPushButton* button = box.addButton(MsgDlgButtonCaption(b), RoleOf(b));
    button->setObjectName(QStringLiteral("btn") +
                          MsgDlgButtonCaption(b).remove(QLatin1Char('&')).remove(QLatin1Char(' ')));
    if (b == mbHelp) {
      // Help shows help and leaves the dialog open.
      QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
      QObject::connect(button, &QAbstractButton::clicked, &box, [this, helpCtx] {
        if (FOnHelp) FOnHelp(helpCtx);
      });
      continue;
    }
    results.insert(button, MsgDlgButtonResult(b));
    byButton.insert(b, button);
  }
  // Escape (and closing the window) presses Cancel, else No, else OK.
  for (TMsgDlgBtn b : {mbCancel, mbNo, mbOK}) {
    if (QPushButton* button = byButton.value(b)) {
      box.setEscapeButton(button);
      break;
    }
  }
  box.exec();
  return results.value(box.clickedButton(), mrCancel);
}

void TQtDialogs::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, MsgDlgCaption(mtCustom), text, QMessageBox::NoButton,
                  Parent());
  box.addButton(MsgDlgButtonCaption(mbOK), QMessageBox::AcceptRole);
  box.exec();
}

bool TQtDialogs::OpenFiles(const QString& filter, const QString& initialDir, bool multiSelect,
                           QStringList& files) {
  QFileDialog dialog(Parent(), QString(), initialDir, QtFileFilter(filter));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted) return false;
  files = dialog.selectedFiles();
  return !files.isEmpty();
}

bool TQtDialogs::SaveFile(const QString& filter, const QString& initialDir,
                          const QString& defaultExt, const QString& proposedName, QString& file) {
  QFileDialog dialog(Parent(), QString(), initialDir, QtFileFilter(filter));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  QString ext = defaultExt;
  if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
  dialog.setDefaultSuffix(ext);
  if (!proposedName.isEmpty()) dialog.selectFile(proposedName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  file = dialog.selectedFiles().first();
  return true;
}

bool TQtDialogs::SelectFolder(const QString& caption, const QString& initialDir, QString& folder) {
  QFileDialog dialog(Parent(), caption, initialDir);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  folder = dialog.selectedFiles().first();
  return true;
}

bool TQtDialogs::SelectFont(QFont& font) {
  QFontDialog dialog(font, Parent());
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return false;
  font = dialog.selectedFont();
  return true;
}

bool TQtDialogs::InputQuery(const QString& caption, const QString& prompt, QString& value) {
  QInputDialog dialog(Parent());
  dialog.setWindowTitle(caption);
  dialog.setLabelText(prompt);
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setTextValue(value);
  if (dialog.exec() != QDialog::Accepted) return false;
  value = dialog.textValue();
  return true;
}

bool TQtDialogs::ExecDialog(QDialog& dialog) {
  return dialog.exec() == QDialog::Accepted;
}
