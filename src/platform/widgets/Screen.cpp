#include "Screen.h"

#include <QApplication>
#include <QEvent>

#include <exception>

#include "CodePage.h"
#include "Dialogs.h"

QWidget* TScreen::ActiveForm() const {
  return QApplication::activeWindow();
}

void TScreen::SetOnActiveFormChange(TNotifyEvent handler) {
  FOnActiveFormChange = std::move(handler);
  if (!FFiltering && qApp) {
    qApp->installEventFilter(this);
    FFiltering = true;
  }
}

void TScreen::ActiveFormChange() {
  QWidget* active = ActiveForm();
  if (active == FLastActive) return;
  FLastActive = active;
  if (!FOnActiveFormChange) return;
  try {
    FOnActiveFormChange(this);
  } catch (const std::exception& e) {
    const QString message = DecodeText(e.what());
    QMetaObject::invokeMethod(
        this, [message] { Dialogs().MessageDlg(mtError, message, Btn(mbOK), 0); },
        Qt::QueuedConnection);
  }
}

bool TScreen::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::WindowActivate && watched->isWidgetType() &&
      static_cast<QWidget*>(watched)->isWindow())
    ActiveFormChange();
  return false;
}

TScreen& Screen() {
  static TScreen* screen = new TScreen;
  return *screen;
}
