#include "VornMultiScreen.h"

#include <QPointer>

#include <algorithm>

#include "VornMultiConsts.h"

namespace {

std::string NameOf(const QObject* component) {
  return component->objectName().toStdString();
}

template <class TCollection, class TItem>
TItem* FindByName(const TCollection& collection, const std::string& name,
                  const std::string& (TItem::*get)() const) {
  for (int i = 0; i < collection.Count(); ++i) {
    TItem& item = collection.Items(i);
    if (CompareText((item.*get)(), name) == 0) return &item;
  }
  return nullptr;
}

// Another item of the collection than `self` has the name.
template <class TCollection, class TItem>
bool TakenByOther(const TCollection& collection, const TItem* self, const std::string& name,
                  const std::string& (TItem::*get)() const) {
  for (int i = 0; i < collection.Count(); ++i) {
    const TItem& item = collection.Items(i);
    if (&item != self && CompareText((item.*get)(), name) == 0) return true;
  }
  return false;
}

// The dictionary an option names, or null.
TCustomMultiDD* DictionaryOf(const TMultiReplaceOption& option) {
  TVornMultiDDStorage* storage = VornMultiDDStorage();
  return storage ? storage->FindDD(option.DDName()) : nullptr;
}

}  // namespace

// --- entries

void TMultiReplaceCom2::SetComName(const std::string& value) {
  if (!value.empty() && CompareText(value, FComName) != 0) {
    if (FCollection.Owner().IsUnReplaced(value))
      throw Exception(Format(SComponentAlreadyAddedInUnReplaceList, {value}));
    if (TakenByOther(FCollection, this, value, &TMultiReplaceCom2::ComName))
      throw Exception(Format(SComponentAlreadyAdded, {value}));
  } else if (!value.empty()) {
    return;  // the same name
  }
  FComName = value;
}

TMultiReplaceCom2* TMultiReplaceComs2::FindByComName(const std::string& Name) const {
  return FindByName(*this, Name, &TMultiReplaceCom2::ComName);
}

void TMultiReplaceForm::SetUnReplaceComs(const std::vector<std::string>& names) {
  FUnReplaceComs = names;
  std::sort(FUnReplaceComs.begin(), FUnReplaceComs.end(),
            [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
}

bool TMultiReplaceForm::IsUnReplaced(const std::string& name) const {
  auto at = std::lower_bound(
      FUnReplaceComs.begin(), FUnReplaceComs.end(), name,
      [](const std::string& entry, const std::string& n) { return CompareText(entry, n) < 0; });
  return at != FUnReplaceComs.end() && CompareText(*at, name) == 0;
}

std::string TMultiReplaceForm::DisplayName() const {
  return FFormName + " - " + std::to_string(FReplaceComs.Count()) + " - " +
         std::to_string(FUnReplaceComs.size());
}

bool TMultiReplaceForm::Accept(QObject* Component) {
  return Component && !IsUnReplaced(NameOf(Component));
}

void TMultiReplaceForm::Apply(QWidget* Form) {
  TDoneSet done;
  // On Qt the form's components are all its descendants (QObject children at any depth).
  const QList<QObject*> owned = Form->findChildren<QObject*>();
  struct TOwnEntry {
    QObject* Component;
    TMultiReplaceOption* Option;
    TCustomMultiDD* DD;
  };
  std::vector<TOwnEntry> entries;
  for (QObject* component : owned) {
    if (!Accept(component)) continue;
    TMultiReplaceCom2* entry = FReplaceComs.FindByComName(NameOf(component));
    if (!entry) continue;
    if (TCustomMultiDD* dd = DictionaryOf(entry->ReplaceOption()))
      entries.push_back({component, &entry->ReplaceOption(), dd});
  }
  for (const TOwnEntry& e : entries) {
    if (!e.Option->ReplaceSelf()) continue;
    ReplaceComponent(*e.DD, e.Component, e.Option->CodePage(), e.Option->SeqNo(), &e.Option->Font(),
                     e.Option->ReplaceFont(), done);
  }
  for (const TOwnEntry& e : entries) {
    const TMultiReplaceOption& o = *e.Option;
    if (o.ReplaceOwned())
      ReplaceOwnedComponents(*e.DD, e.Component, o.CodePage(), o.SeqNo(), &o.Font(),
                             o.ReplaceFont(), this, done);
    if (o.ReplaceSon() && e.Component->isWidgetType())
      ReplaceChildControls(*e.DD, static_cast<QWidget*>(e.Component), o.CodePage(), o.SeqNo(),
                           &o.Font(), o.ReplaceFont(), this, done);
  }
  const TMultiReplaceOption& o = FReplaceOption;
  TCustomMultiDD* dd = DictionaryOf(o);
  if (!dd) return;
  if (o.ReplaceSelf())
    ReplaceComponent(*dd, Form, o.CodePage(), o.SeqNo(), &o.Font(), o.ReplaceFont(), done);
  if (o.ReplaceOwned())
    ReplaceOwnedComponents(*dd, Form, o.CodePage(), o.SeqNo(), &o.Font(), o.ReplaceFont(), this,
                           done);
  if (o.ReplaceSon())
    ReplaceChildControls(*dd, Form, o.CodePage(), o.SeqNo(), &o.Font(), o.ReplaceFont(), this,
                         done);
}

TMultiReplaceForm* TMultiReplaceForms::FindByFormName(const std::string& Name) const {
  return FindByName(*this, Name, &TMultiReplaceForm::FormName);
}

void TMultiReplaceDatum::SetFormClassName(const std::string& value) {
  if (!value.empty() && CompareText(value, FFormClassName) == 0) return;
  if (!value.empty() && TakenByOther(FCollection, this, value, &TMultiReplaceDatum::FormClassName))
    throw Exception(Format(SFormClassAlreadyAdded, {value}));
  FFormClassName = value;
}

std::string TMultiReplaceDatum::DisplayName() const {
  return FFormClassName + " : " + std::to_string(FReplaceForms.Count());
}

TMultiReplaceDatum* TMultiReplaceData::FindByFormClassName(const std::string& Name) const {
  return FindByName(*this, Name, &TMultiReplaceDatum::FormClassName);
}

// --- TVornMultiScreenEye

TVornMultiScreenEye::TVornMultiScreenEye(QObject* owner) : QObject(owner), FReplaceData(*this) {}

TVornMultiScreenEye::~TVornMultiScreenEye() {
  StopReplace();
}

void TVornMultiScreenEye::StartReplace() {
  if (FWatching) return;
  FSavedHandler = Screen().OnActiveFormChange();
  FWatching = true;
  QPointer<TVornMultiScreenEye> self(this);
  Screen().SetOnActiveFormChange([self](QObject* sender) {
    if (self) self->ActiveFormChanged(sender);
  });
}

void TVornMultiScreenEye::StopReplace() {
  if (!FWatching) return;
  FWatching = false;
  Screen().SetOnActiveFormChange(std::move(FSavedHandler));
  FSavedHandler = nullptr;
}

void TVornMultiScreenEye::SetCodePage(const std::string& CodePage) {
  FDefaultReplaceOption.SetCodePage(CodePage);
  for (int d = 0; d < FReplaceData.Count(); ++d) {
    TMultiReplaceForms& forms = FReplaceData.Items(d).ReplaceForms();
    for (int f = 0; f < forms.Count(); ++f) {
      TMultiReplaceForm& form = forms.Items(f);
      form.ReplaceOption().SetCodePage(CodePage);
      for (int c = 0; c < form.ReplaceComs().Count(); ++c)
        form.ReplaceComs().Items(c).ReplaceOption().SetCodePage(CodePage);
    }
  }
}

bool TVornMultiScreenEye::IsReplaced(const QWidget* Form) const {
  return std::binary_search(FReplacedForms.begin(), FReplacedForms.end(),
                            static_cast<const QObject*>(Form));
}

void TVornMultiScreenEye::ReplaceForm(QWidget* Form, bool OnActivation) {
  if (!Form || IsReplaced(Form)) return;
  TMultiReplaceForm* entry = nullptr;
  if (TMultiReplaceDatum* datum =
          FReplaceData.FindByFormClassName(Form->metaObject()->className())) {
    entry = datum->ReplaceForms().FindByFormName(NameOf(Form));
    if (!entry) entry = datum->ReplaceForms().FindByFormName("Self");
  }
  bool replace = true;
  if (entry) {
    if (FOnBeforeReplace) FOnBeforeReplace(this, Form, replace);
    if (replace) entry->Apply(Form);
  } else if (!OnActivation || FReplaceNotRegister) {
    if (FOnBeforeReplace) FOnBeforeReplace(this, Form, replace);
    if (replace) {
      const TMultiReplaceOption& o = FDefaultReplaceOption;
      if (TVornMultiDDStorage* storage = VornMultiDDStorage())
        storage->ReplaceByDDName(o.DDName(), Form, o.CodePage(), o.SeqNo(), &o.Font(),
                                 o.ReplaceSelf(), o.ReplaceOwned(), o.ReplaceSon(),
                                 o.ReplaceFont());
    }
  } else {
    replace = false;
  }
  if (!replace) return;
  if (FOnAfterReplace) FOnAfterReplace(this, Form);
  connect(Form, &QObject::destroyed, this, &TVornMultiScreenEye::FormDestroyed,
          Qt::UniqueConnection);
  FReplacedForms.insert(std::upper_bound(FReplacedForms.begin(), FReplacedForms.end(), Form), Form);
}

void TVornMultiScreenEye::ActiveFormChanged(QObject* Sender) {
  if (FSavedHandler) FSavedHandler(Sender);
  ReplaceForm(Screen().ActiveForm(), true);
}

void TVornMultiScreenEye::FormDestroyed(QObject* form) {
  auto at = std::lower_bound(FReplacedForms.begin(), FReplacedForms.end(), form);
  if (at != FReplacedForms.end() && *at == form) FReplacedForms.erase(at);
}
