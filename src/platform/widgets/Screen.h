// The screen: which window is active, and one handler slot that is called whenever another
// window becomes the active one (fed by the windows' activation events).
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class TScreen : public QObject {
  Q_OBJECT

 public:
  using TNotifyEvent = std::function<void(QObject* Sender)>;

  // The active window (QApplication::activeWindow()), or null.
  QWidget* ActiveForm() const;
  // The handler of the active-form notification; empty for none.
  const TNotifyEvent& OnActiveFormChange() const { return FOnActiveFormChange; }
  void SetOnActiveFormChange(TNotifyEvent handler);
  // Calls the handler (with this screen as Sender) when the active window is another one than at
  // the last call. An error that escapes the handler is shown in an error dialog once the
  // activation is over; it never reaches the event loop.
  void ActiveFormChange();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TNotifyEvent FOnActiveFormChange;
  QPointer<QWidget> FLastActive;
  bool FFiltering = false;
};

// The program's screen; needs a QApplication.
TScreen& Screen();
