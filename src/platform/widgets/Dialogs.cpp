#include "Dialogs.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {
TDialogs* current = nullptr;

struct TButtonInfo {
  const char* Caption;
  int Result;
};
constexpr TButtonInfo kButtons[] = {{"&Yes", mrYes},
                                    {"&No", mrNo},
                                    {"OK", mrOk},
                                    {"Cancel", mrCancel},
                                    {"&Abort", mrAbort},
                                    {"&Retry", mrRetry},
                                    {"&Ignore", mrIgnore},
                                    {"&All", mrAll},
                                    {"N&o to All", mrNoToAll},
                                    {"Yes to &All", mrYesToAll},
                                    {"&Help", mrNone}};
}  // namespace

QString MsgDlgCaption(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return QStringLiteral("Warning");
    case mtError:
      return QStringLiteral("Error");
    case mtInformation:
      return QStringLiteral("Information");
    case mtConfirmation:
      return QStringLiteral("Confirm");
    case mtCustom:
      break;
  }
  return QGuiApplication::applicationDisplayName();
}

QString MsgDlgButtonCaption(TMsgDlgBtn button) {
  return QString::fromLatin1(kButtons[button].Caption);
}

int MsgDlgButtonResult(TMsgDlgBtn button) {
  return kButtons[button].Result;
}

QList<TMsgDlgBtn> MsgDlgButtonList(TMsgDlgButtons buttons) {
  QList<TMsgDlgBtn> list;
  for (int b = mbYes; b <= mbHelp; ++b)
    if (buttons & Btn(static_cast<TMsgDlgBtn>(b))) list.append(static_cast<TMsgDlgBtn>(b));
  return list;
}

TDialogs& Dialogs() {
  if (!current) {
    std::fputs("Melotag: no dialogs installed\n", stderr);
    std::abort();
  }
  return *current;
}

TDialogs* SetDialogs(TDialogs* dialogs) {
  TDialogs* previous = current;
  current = dialogs;
  return previous;
}
