// A group box of radio buttons with one index: the position of the checked button.
#pragma once

#include <QGroupBox>
#include <QList>

class QRadioButton;

class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit TRadioGroup(QWidget* parent = nullptr);

  // The buttons in their order from the top.
  QList<QRadioButton*> Buttons() const;
  // Index of the checked button, -1 when none is.
  int ItemIndex() const;
  void SetItemIndex(int index);
};
