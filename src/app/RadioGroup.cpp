#include "RadioGroup.h"

#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) {}

QList<QRadioButton*> TRadioGroup::Buttons() const {
  return findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly);
}

int TRadioGroup::ItemIndex() const {
  const QList<QRadioButton*> buttons = Buttons();
  for (int i = 0; i < buttons.size(); ++i)
    if (buttons[i]->isChecked()) return i;
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  const QList<QRadioButton*> buttons = Buttons();
  if (index >= 0 && index < buttons.size()) {
    buttons[index]->setChecked(true);
    return;
  }
  for (QRadioButton* button : buttons) {
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
  }
}
