// Data dictionaries, the registry of dictionaries and the message box.
//
// A dictionary maps (DDKey, CodePage, SeqNo) to the text to show in place of DDKey; a look-up
// that finds nothing answers DDKey. It reads its entries lazily, at the first Translate, from a
// reader (IDDReader) into a TVornHashList. Every dictionary is listed in the registry
// VornMultiDDStorage() under its unique DDName from its construction to its destruction.
#pragma once

#include <QFont>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Dialogs.h"
#include "Format.h"
#include "HashList.h"
#include "VornMultiDDReader.h"

// The look-up a dictionary offers; holding it neither keeps the dictionary alive nor ends it.
class IMultiDD {
 public:
  virtual std::string Translate(const std::string& DDKey, const std::string& CodePage,
                                const std::string& SeqNo) = 0;

 protected:
  ~IMultiDD() = default;
};

// The four field names a dictionary reads when it does not use the default ones.
class TDDFieldsOption {
 public:
  const std::string& DDKeyField() const { return FDDKeyField; }
  void SetDDKeyField(const std::string& value) { FDDKeyField = value; }
  const std::string& CodePageField() const { return FCodePageField; }
  void SetCodePageField(const std::string& value) { FCodePageField = value; }
  const std::string& SeqNoField() const { return FSeqNoField; }
  void SetSeqNoField(const std::string& value) { FSeqNoField = value; }
  const std::string& DisplayValueField() const { return FDisplayValueField; }
  void SetDisplayValueField(const std::string& value) { FDisplayValueField = value; }
  void Assign(const TDDFieldsOption& source) { *this = source; }

 private:
  std::string FDDKeyField;
  std::string FCodePageField;
  std::string FSeqNoField;
  std::string FDisplayValueField;
};

// The value of one entry; the dictionary keeps it inside the entry's hash node.
struct TDDValue {
  std::string DisplayValue;
};

class TCustomMultiDD;
using TNotifyEvent = std::function<void(QObject* Sender)>;
// Per-record filter while building: set Accept to false to leave the record out.
using TBuildingDDEvent =
    std::function<void(TCustomMultiDD* Sender, const std::string& ADDKey,
                       const std::string& ACodePage, const std::string& ASeqNo, bool& Accept)>;

// Smallest m >= n without a divisor d, 2 <= d <= round(sqrt(m)); NextPrime(1) = 1.
int NextPrime(int n);

class TCustomMultiDD : public QObject, public IMultiDD {
  Q_OBJECT

 public:
  // Registers the dictionary under the first free name DD0, DD1, ...
  explicit TCustomMultiDD(QObject* owner = nullptr);
  ~TCustomMultiDD() override;

  const std::string& DDName() const { return FDDName; }
  // Renames; raises Exception "data dictionary: "%s" already exists." when a dictionary (this
  // one included) is registered under the name in any letter case. Empty or equal: nothing.
  void SetDDName(const std::string& value);
  TDDFieldsOption& FieldsOption() { return FFieldsOption; }
  void SetFieldsOption(const TDDFieldsOption& value) { FFieldsOption.Assign(value); }
  bool UseDefaultFields() const { return FUseDefaultFields; }
  void SetUseDefaultFields(bool value) { FUseDefaultFields = value; }
  bool Built() const { return FBuilt; }
  // The entries; null until the first build.
  const TVornHashList* HashList() const { return FHashList.get(); }

  const TNotifyEvent& OnBeforeBuildDD() const { return FOnBeforeBuildDD; }
  void SetOnBeforeBuildDD(TNotifyEvent handler) { FOnBeforeBuildDD = std::move(handler); }
  const TNotifyEvent& OnAfterBuildDD() const { return FOnAfterBuildDD; }
  void SetOnAfterBuildDD(TNotifyEvent handler) { FOnAfterBuildDD = std::move(handler); }
  const TBuildingDDEvent& OnBuildingDD() const { return FOnBuildingDD; }
  void SetOnBuildingDD(TBuildingDDEvent handler) { FOnBuildingDD = std::move(handler); }

  // Drops every entry; the next Translate builds again.
  virtual void Clear();
  // DDKey TAB CodePage TAB SeqNo.
  virtual std::string MakeKey(const std::string& DDKey, const std::string& CodePage,
                              const std::string& SeqNo) const;
  virtual void DoBeforeBuildDD();
  virtual void DoAfterBuildDD();
  // Obtains a reader and passes it to BuildFromReader.
  virtual void LoadDD() = 0;
  // The display value, or DDKey. Builds first if not built; a build error propagates.
  std::string Translate(const std::string& DDKey, const std::string& CodePage,
                        const std::string& SeqNo) override;
  virtual void BuildFromReader(IDDReader& reader);
  // DoBeforeBuildDD, LoadDD, DoAfterBuildDD (not after a failed load).
  virtual void BuildDD();
  // Translates every run of the letters A-Z, a-z; blanks stay only for code page "1252".
  virtual std::string TranslateWords(const std::string& Text, const std::string& CodePage,
                                     const std::string& SeqNo);

 private:
  void ReleaseEntries();

  std::string FDDName;
  TDDFieldsOption FFieldsOption;
  bool FUseDefaultFields = true;
  std::unique_ptr<TVornHashList> FHashList;
  bool FBuilt = false;
  TNotifyEvent FOnBeforeBuildDD;
  TNotifyEvent FOnAfterBuildDD;
  TBuildingDDEvent FOnBuildingDD;
};

class TCustomMultiReaderDD : public TCustomMultiDD {
  Q_OBJECT

 public:
  explicit TCustomMultiReaderDD(QObject* owner = nullptr) : TCustomMultiDD(owner) {}
  const std::string& DDReaderID() const { return FDDReaderID; }
  void SetDDReaderID(const std::string& value) { FDDReaderID = value; }

 private:
  std::string FDDReaderID = "VornTextCSV";
};

// A dictionary read from a file through the reader named by DDReaderID.
class TVornMultiFileDD : public TCustomMultiReaderDD {
  Q_OBJECT

 public:
  explicit TVornMultiFileDD(QObject* owner = nullptr) : TCustomMultiReaderDD(owner) {}
  // Relative to the program's folder unless it begins with "/".
  const QString& FileName() const { return FFileName; }
  void SetFileName(const QString& value) { FFileName = value; }
  // The path LoadDD opens.
  QString FilePath() const;

  // Raises Exception "dictionary reader ID "%s" ,not registered!" or EFOpenError
  // "Cannot open file "%s". %s"; nothing is kept open.
  void LoadDD() override;

 private:
  QString FFileName;
};

// Dictionaries by name, in order of name compared without regard to letter case.
class TVornMultiDDStorage {
 public:
  ~TVornMultiDDStorage();
  TCustomMultiDD* FindDD(std::string_view name) const;
  TCustomMultiDD* GetDD(int index) const { return FItems[static_cast<size_t>(index)].second; }
  int Count() const { return static_cast<int>(FItems.size()); }
  // The dictionary's Translate, or DDKey when nothing is registered under DDName.
  std::string TranslateByName(std::string_view DDName, const std::string& DDKey,
                              const std::string& CodePage, const std::string& SeqNo) const;
  // Destroys every registered dictionary, the last first.
  void Clear();
  // ReplaceWithOptions with the dictionary registered under DDName; nothing when there is none.
  void ReplaceByDDName(std::string_view DDName, QObject* Component, const std::string& CodePage,
                       const std::string& SeqNo, const QFont* Font, bool ReplaceSelf,
                       bool ReplaceOwned, bool ReplaceSon, bool ReplaceFont) const;

 private:
  friend class TCustomMultiDD;
  void Insert(const std::string& name, TCustomMultiDD* dd);
  void Remove(TCustomMultiDD* dd);           // by identity, searching from the end
  void RemoveByName(std::string_view name);  // the entry FindDD finds

  std::vector<std::pair<std::string, TCustomMultiDD*>> FItems;
};

// The process's registry of dictionaries; null once it has been shut down at exit.
TVornMultiDDStorage* VornMultiDDStorage();

// The message operations: the text is looked up in the dictionary DDName, formatted with Args
// when there are any, decoded from the code page and shown through Dialogs().
void DDShowMsg(const std::string& Msg, const std::string& CodePage, const std::string& SeqNo,
               const std::string& DDName);
void DDShowMsgFmt(const std::string& Msg, const std::string& CodePage,
                  const std::vector<TVarRec>& Args, const std::string& SeqNo,
                  const std::string& DDName);
int DDMsgDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
             const std::string& CodePage, const std::string& SeqNo, const std::string& DDName);
int DDMsgDlgFmt(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                const std::string& CodePage, const std::vector<TVarRec>& Args,
                const std::string& SeqNo, const std::string& DDName);

// The message box component: the four operations with its own DDName and CodePage.
class TVornMsgBox : public QObject {
  Q_OBJECT

 public:
  explicit TVornMsgBox(QObject* owner = nullptr) : QObject(owner) {}
  const std::string& CodePage() const { return FCodePage; }
  void SetCodePage(const std::string& value) { FCodePage = value; }
  const std::string& DDName() const { return FDDName; }
  void SetDDName(const std::string& value) { FDDName = value; }

  void ShowMsg(const std::string& Msg, const std::string& SeqNo);
  void ShowMsgFmt(const std::string& Msg, const std::vector<TVarRec>& Args,
                  const std::string& SeqNo);
  int MsgDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
             const std::string& SeqNo);
  int MsgDlgFmt(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                const std::vector<TVarRec>& Args, const std::string& SeqNo);

 private:
  std::string FCodePage;
  std::string FDDName;
};

// --- Replacing the texts of a component tree

// What one replacement uses: the dictionary by name, code page, sequence number, the font and
// which parts of the component are replaced.
class TMultiReplaceOption {
 public:
  const std::string& DDName() const { return FDDName; }
  void SetDDName(const std::string& value) { FDDName = value; }
  const std::string& CodePage() const { return FCodePage; }
  void SetCodePage(const std::string& value) { FCodePage = value; }
  const std::string& SeqNo() const { return FSeqNo; }
  void SetSeqNo(const std::string& value) { FSeqNo = value; }
  // Given to every replaced widget when ReplaceFont is true.
  const QFont& Font() const { return FFont; }
  void SetFont(const QFont& value) { FFont = value; }
  // The component itself.
  bool ReplaceSelf() const { return FReplaceSelf; }
  void SetReplaceSelf(bool value) { FReplaceSelf = value; }
  // The objects it owns (its QObject children), and theirs.
  bool ReplaceOwned() const { return FReplaceOwned; }
  void SetReplaceOwned(bool value) { FReplaceOwned = value; }
  // The widgets placed on it, and theirs.
  bool ReplaceSon() const { return FReplaceSon; }
  void SetReplaceSon(bool value) { FReplaceSon = value; }
  bool ReplaceFont() const { return FReplaceFont; }
  void SetReplaceFont(bool value) { FReplaceFont = value; }

 private:
  std::string FDDName;
  std::string FCodePage;
  std::string FSeqNo;
  QFont FFont;
  bool FReplaceSelf = true;
  bool FReplaceOwned = true;
  bool FReplaceSon = true;
  bool FReplaceFont = false;
};

// Decides which components a replacement may visit.
class IReplaceFilter {
 public:
  virtual bool Accept(QObject* Component) = 0;

 protected:
  ~IReplaceFilter() = default;
};

// The components one replacement pass has handled; each is handled once per pass.
using TDoneSet = std::unordered_set<const QObject*>;

// A form is a window of its own (a main window or dialog); a popup menu is not.
bool IsForm(const QObject* Component);

// Replaces the texts of one component: a widget's tool tip, its font when ReplaceFont is set, then
// the routine of its class. False for none, one done already, or a widget that is neither a form
// nor placed on a parent (a parentless popup); such a widget is not marked done.
bool ReplaceComponent(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                      const std::string& SeqNo, const QFont* Font, bool ReplaceFont,
                      TDoneSet& Done);
// Every object the component owns, depth first; another form among them is left to its own
// activation.
void ReplaceOwnedComponents(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                            const std::string& SeqNo, const QFont* Font, bool ReplaceFont,
                            IReplaceFilter* Filter, TDoneSet& Done);
// Every widget placed on the widget, depth first; another form among them is left alone.
void ReplaceChildControls(IMultiDD& DD, QWidget* Control, const std::string& CodePage,
                          const std::string& SeqNo, const QFont* Font, bool ReplaceFont,
                          IReplaceFilter* Filter, TDoneSet& Done);
// One pass over a component, with a new done set and no filter.
void ReplaceWithOptions(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                        const std::string& SeqNo, const QFont* Font, bool ReplaceSelf,
                        bool ReplaceOwned, bool ReplaceSon, bool ReplaceFont);
