// The screen replacement: once started, it replaces the texts of every form the first time that
// form becomes the active window, with the option of the form's entry in ReplaceData (by class
// name and form name) or, for forms without one, DefaultReplaceOption; a replaced form is
// remembered until it is destroyed.
//
// On Qt a form's components are its QObject descendants: a named component has its entry
// wherever it stands in the form, and another window owned by the form (a dialog) is a form of
// its own, replaced at its own activation.
#pragma once

#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Screen.h"
#include "VornMultiDD.h"

// Items of one kind in their order, owned by the collection, which knows its owner.
template <class TItem, class TOwner>
class TOwnedCollection {
 public:
  explicit TOwnedCollection(TOwner& owner) : FOwner(owner) {}
  TOwnedCollection(const TOwnedCollection&) = delete;
  TOwnedCollection& operator=(const TOwnedCollection&) = delete;

  TOwner& Owner() const { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TItem& Items(int index) const { return *FItems[static_cast<size_t>(index)]; }
  TItem& Add() {
    FItems.push_back(std::make_unique<TItem>(*this));
    return *FItems.back();
  }
  void Delete(int index) { FItems.erase(FItems.begin() + index); }

 private:
  TOwner& FOwner;
  std::vector<std::unique_ptr<TItem>> FItems;
};

class TMultiReplaceForm;
class TMultiReplaceDatum;
class TVornMultiScreenEye;

// The entry of one component of a form, by its name.
class TMultiReplaceCom2 {
 public:
  using TCollection = TOwnedCollection<TMultiReplaceCom2, TMultiReplaceForm>;
  explicit TMultiReplaceCom2(TCollection& collection) : FCollection(collection) {}

  const std::string& ComName() const { return FComName; }
  // Raises Exception "component: "%s" already added in unreplace list." when the form entry's
  // UnReplaceComs lists the name, "component: "%s" already added." when another entry has it
  // (any letter case). The same name in another case, or an empty one, is taken without checks.
  void SetComName(const std::string& value);
  TMultiReplaceOption& ReplaceOption() { return FReplaceOption; }
  std::string DisplayName() const { return FComName; }

 private:
  TCollection& FCollection;
  std::string FComName;
  TMultiReplaceOption FReplaceOption;
};

class TMultiReplaceComs2 : public TMultiReplaceCom2::TCollection {
 public:
  using TMultiReplaceCom2::TCollection::TOwnedCollection;
  // The first entry with the name in any letter case, or null.
  TMultiReplaceCom2* FindByComName(const std::string& Name) const;
};

// The entry of the forms of one class that bear one name ("Self": every form of the class
// without an entry of its own).
class TMultiReplaceForm : public IReplaceFilter {
 public:
  using TCollection = TOwnedCollection<TMultiReplaceForm, TMultiReplaceDatum>;
  explicit TMultiReplaceForm(TCollection& collection)
      : FCollection(collection), FReplaceComs(*this) {}
  virtual ~TMultiReplaceForm() = default;

  const std::string& FormName() const { return FFormName; }
  void SetFormName(const std::string& value) { FFormName = value; }
  TMultiReplaceOption& ReplaceOption() { return FReplaceOption; }
  TMultiReplaceComs2& ReplaceComs() { return FReplaceComs; }
  // Names of components never replaced, sorted, compared without regard to letter case.
  const std::vector<std::string>& UnReplaceComs() const { return FUnReplaceComs; }
  void SetUnReplaceComs(const std::vector<std::string>& names);
  bool IsUnReplaced(const std::string& name) const;
  std::string DisplayName() const;

  // False for none and for a component UnReplaceComs names.
  bool Accept(QObject* Component) override;
  // Replaces the form: components with entries of their own first, then the rest with the
  // entry's option; one done set for the whole call.
  virtual void Apply(QWidget* Form);

 private:
  TCollection& FCollection;
  std::string FFormName;
  TMultiReplaceOption FReplaceOption;
  TMultiReplaceComs2 FReplaceComs;
  std::vector<std::string> FUnReplaceComs;
};

class TMultiReplaceForms : public TMultiReplaceForm::TCollection {
 public:
  using TMultiReplaceForm::TCollection::TOwnedCollection;
  TMultiReplaceForm* FindByFormName(const std::string& Name) const;
};

// The entries of the forms of one class (its own class name, not an ancestor's).
class TMultiReplaceDatum {
 public:
  using TCollection = TOwnedCollection<TMultiReplaceDatum, TVornMultiScreenEye>;
  explicit TMultiReplaceDatum(TCollection& collection)
      : FCollection(collection), FReplaceForms(*this) {}

  const std::string& FormClassName() const { return FFormClassName; }
  // Raises Exception "form class: "%s" already added." when another datum has the name.
  void SetFormClassName(const std::string& value);
  TMultiReplaceForms& ReplaceForms() { return FReplaceForms; }
  std::string DisplayName() const;

 private:
  TCollection& FCollection;
  std::string FFormClassName;
  TMultiReplaceForms FReplaceForms;
};

class TMultiReplaceData : public TMultiReplaceDatum::TCollection {
 public:
  using TMultiReplaceDatum::TCollection::TOwnedCollection;
  TMultiReplaceDatum* FindByFormClassName(const std::string& Name) const;
};

class TVornMultiScreenEye : public QObject {
  Q_OBJECT

 public:
  // Replace may be set to false: the form is then left as it is and asked about again at its
  // next activation.
  using TBeforeReplaceFormEvent =
      std::function<void(TVornMultiScreenEye* Sender, QWidget* AForm, bool& Replace)>;
  using TAfterReplaceFormEvent = std::function<void(TVornMultiScreenEye* Sender, QWidget* AForm)>;

  explicit TVornMultiScreenEye(QObject* owner = nullptr);
  // Stops watching first, so the screen never calls a destroyed component.
  ~TVornMultiScreenEye() override;

  bool ReplaceNotRegister() const { return FReplaceNotRegister; }
  void SetReplaceNotRegister(bool value) { FReplaceNotRegister = value; }
  TMultiReplaceOption& DefaultReplaceOption() { return FDefaultReplaceOption; }
  TMultiReplaceData& ReplaceData() { return FReplaceData; }
  void SetOnBeforeReplace(TBeforeReplaceFormEvent handler) {
    FOnBeforeReplace = std::move(handler);
  }
  void SetOnAfterReplace(TAfterReplaceFormEvent handler) { FOnAfterReplace = std::move(handler); }

  // Watches the screen's active form; the handler installed before keeps being called first.
  virtual void StartReplace();
  // Puts the earlier handler back; nothing when not watching.
  virtual void StopReplace();
  bool Watching() const { return FWatching; }
  // The code page of the default option and of every entry's option, for replacements to come.
  virtual void SetCodePage(const std::string& CodePage);

  // Replaces the form once. On activation a form without an entry is replaced only when
  // ReplaceNotRegister is set; a direct call replaces it anyway. Errors of the replacement
  // propagate and leave the form to be replaced at its next activation.
  void ReplaceForm(QWidget* Form, bool OnActivation);
  // The screen's notification: the earlier handler, then ReplaceForm(active form, true).
  void ActiveFormChanged(QObject* Sender);
  // The form was replaced and still lives.
  bool IsReplaced(const QWidget* Form) const;
  int ReplacedCount() const { return static_cast<int>(FReplacedForms.size()); }

 private slots:
  void FormDestroyed(QObject* form);

 private:
  std::vector<const QObject*> FReplacedForms;  // sorted
  bool FReplaceNotRegister = true;
  TMultiReplaceOption FDefaultReplaceOption;
  TScreen::TNotifyEvent FSavedHandler;
  bool FWatching = false;
  TMultiReplaceData FReplaceData;
  TBeforeReplaceFormEvent FOnBeforeReplace;
  TAfterReplaceFormEvent FOnAfterReplace;
};
