// What every concern object of the main window holds: the window and its controls.
#pragma once

class TMainForm;
namespace Ui {
class TMainForm;
}

class TConcern {
 public:
  TConcern(TMainForm& form, Ui::TMainForm& ui) : FForm(form), FUi(ui) {}
  TConcern(const TConcern&) = delete;
  TConcern& operator=(const TConcern&) = delete;

 protected:
  TMainForm& FForm;
  Ui::TMainForm& FUi;
};
