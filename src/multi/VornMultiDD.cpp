#include "VornMultiDD.h"

#include <QCoreApplication>
#include <QFile>
#include <QWidget>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>

#include "CodePage.h"
#include "Shell.h"
#include "VornMultiClassMethod.h"
#include "VornMultiConsts.h"

namespace {

const std::string kDDKey = "DDKey";
const std::string kCodePage = "CodePage";
const std::string kSeqNo = "SeqNo";
const std::string kDisplayValue = "DisplayValue";
const std::string kEmpty;

// A bucket array beyond this is not made, whatever a source says about its records.
constexpr int kMaxBuckets = 1 << 24;

// The registry lives from the first use to the end of the program; at exit it destroys the
// dictionaries still registered. Plain pointers stay readable after that, so a dictionary
// destroyed later finds it gone.
TVornMultiDDStorage* gStorage = nullptr;
bool gStorageShutDown = false;

struct TStorageShutdown {
  ~TStorageShutdown() {
    TVornMultiDDStorage* storage = gStorage;
    gStorageShutDown = true;
    if (!storage) return;
    storage->Clear();
    gStorage = nullptr;
    delete storage;
  }
} gStorageShutdown;

// A dictionary's node carries its entry's value, so that building allocates one node and one
// key copy per entry (and the display value's text when it is long).
struct TDDNode : THashNode {
  TDDValue Entry;
};

class TDDHashList : public TVornHashList {
 public:
  explicit TDDHashList(int bucketCount)
      : TVornHashList(bucketCount, DefaultCompare, PositionalHash) {}
  ~TDDHashList() override { Clear(); }

 protected:
  THashNode* NewNode() override { return new TDDNode; }
  void DisposeNode(THashNode* node) override { delete static_cast<TDDNode*>(node); }
};

bool IsLetter(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The whole file, or EFOpenError with the system's reason.
std::string ReadFile(const QString& path) {
  QByteArray native = QFile::encodeName(path);
  auto fail = [&](int error) {
    throw EFOpenError(Format("Cannot open file \"%s\". %s",
                             {EncodeText(path), std::string(std::strerror(error))}));
  };
  int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    fail(error);
  }
  std::string data;
  if (info.st_size > 0) data.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int error = errno;
      ::close(fd);
      fail(error);
    }
    if (n == 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

}  // namespace

int NextPrime(int n) {
  for (long long m = std::max(n, 1);; ++m) {
    long long root = std::llround(std::sqrt(static_cast<double>(m)));
    bool prime = true;
    for (long long d = 2; d <= root; ++d) {
      if (m % d == 0) {
        prime = false;
        break;
      }
    }
    if (prime) return static_cast<int>(std::min<long long>(m, 2147483647));
  }
}

// --- TCustomMultiDD ---

TCustomMultiDD::TCustomMultiDD(QObject* owner) : QObject(owner) {
  TVornMultiDDStorage* storage = VornMultiDDStorage();
  if (!storage) return;
  for (int n = 0;; ++n) {
    std::string name = "DD" + std::to_string(n);
    if (!storage->FindDD(name)) {
      FDDName = name;
      storage->Insert(name, this);
      break;
    }
  }
}

TCustomMultiDD::~TCustomMultiDD() {
  if (TVornMultiDDStorage* storage = VornMultiDDStorage()) storage->Remove(this);
  Clear();
}

void TCustomMultiDD::SetDDName(const std::string& value) {
  if (value.empty() || value == FDDName) return;
  TVornMultiDDStorage* storage = VornMultiDDStorage();
  if (storage && storage->FindDD(value)) throw Exception(Format(SDDAlreadyExists, {value}));
  if (storage) storage->Remove(this);
  FDDName = value;
  if (storage) storage->Insert(value, this);
}

void TCustomMultiDD::ReleaseEntries() {
  FHashList->ForEach([](THashNode* node) {
    std::string().swap(static_cast<TDDValue*>(node->Value)->DisplayValue);
    node->Value = nullptr;
  });
}

void TCustomMultiDD::Clear() {
  if (!FHashList) return;
  ReleaseEntries();
  FHashList->Clear();
  FHashList.reset();
  FBuilt = false;
}

std::string TCustomMultiDD::MakeKey(const std::string& DDKey, const std::string& CodePage,
                                    const std::string& SeqNo) const {
  std::string key;
  key.reserve(DDKey.size() + CodePage.size() + SeqNo.size() + 2);
  key += DDKey;
  key += '\t';
  key += CodePage;
  key += '\t';
  key += SeqNo;
  return key;
}

void TCustomMultiDD::DoBeforeBuildDD() {
  if (FOnBeforeBuildDD) FOnBeforeBuildDD(this);
}

void TCustomMultiDD::DoAfterBuildDD() {
  if (FOnAfterBuildDD) FOnAfterBuildDD(this);
}

std::string TCustomMultiDD::Translate(const std::string& DDKey, const std::string& CodePage,
                                      const std::string& SeqNo) {
  if (!FBuilt) BuildDD();
  void* value = nullptr;
  if (FHashList && FHashList->Find(MakeKey(DDKey, CodePage, SeqNo), value))
    return static_cast<const TDDValue*>(value)->DisplayValue;
  return DDKey;
}

void TCustomMultiDD::BuildDD() {
  DoBeforeBuildDD();
  LoadDD();
  DoAfterBuildDD();
}

void TCustomMultiDD::BuildFromReader(IDDReader& reader) {
  enum { kKey, kCP, kSeq, kValue };
  const std::string* names[4] = {&kDDKey, &kCodePage, &kSeqNo, &kDisplayValue};
  if (!FUseDefaultFields) {
    names[kKey] = &FFieldsOption.DDKeyField();
    names[kCP] = &FFieldsOption.CodePageField();
    names[kSeq] = &FFieldsOption.SeqNoField();
    names[kValue] = &FFieldsOption.DisplayValueField();
  }
  int pos[4] = {-1, -1, -1, -1};
  const int fieldCount = reader.FieldCount();
  for (int i = 0; i < fieldCount; ++i) {
    const std::string& name = reader.FieldName(i);
    for (int k = 0; k < 4; ++k) {
      if (CompareText(name, *names[k]) == 0) {
        pos[k] = i;
        break;
      }
    }
  }
  // Copies: the names may be this dictionary's own, and Clear must not touch them anyway.
  const std::string keyName = *names[kKey];
  const std::string valueName = *names[kValue];
  auto requireFields = [&] {
    if (pos[kKey] < 0) throw Exception(Format(SFieldNotFound, {keyName}));
    if (pos[kValue] < 0) throw Exception(Format(SFieldNotFound, {valueName}));
  };

  Clear();
  const int n = reader.RecordCount();
  if (n > 0) {
    FHashList = std::make_unique<TDDHashList>(NextPrime(std::min(n, kMaxBuckets)));
    requireFields();
  } else {
    FHashList = std::make_unique<TDDHashList>(1);
  }

  reader.BeginRead();
  try {
    reader.First();
    while (!reader.Eof()) {
      // A source that said it had no records but has some still needs both fields.
      requireFields();
      const std::string& key = reader.FieldValue(pos[kKey]);
      const std::string& codePage = pos[kCP] >= 0 ? reader.FieldValue(pos[kCP]) : kEmpty;
      const std::string& seqNo = pos[kSeq] >= 0 ? reader.FieldValue(pos[kSeq]) : kEmpty;
      bool accept = true;
      if (FOnBuildingDD) FOnBuildingDD(this, key, codePage, seqNo, accept);
      if (accept) {
        auto* node = static_cast<TDDNode*>(FHashList->Add(MakeKey(key, codePage, seqNo), nullptr));
        node->Entry.DisplayValue = reader.FieldValue(pos[kValue]);
        node->Value = &node->Entry;
      }
      reader.Next();
    }
  } catch (...) {
    reader.EndRead();
    throw;
  }
  reader.EndRead();
  FBuilt = true;
}

std::string TCustomMultiDD::TranslateWords(const std::string& Text, const std::string& CodePage,
                                           const std::string& SeqNo) {
  if (Text.empty()) return std::string();
  const bool keepBlanks = CodePage == "1252";
  std::string result;
  result.reserve(Text.size());
  std::string word;
  const size_t n = Text.size();
  size_t i = 0;
  while (i < n) {
    unsigned char c = Text[i];
    if (IsLetter(c)) {
      size_t j = i;
      while (j < n && IsLetter(Text[j])) ++j;
      word.assign(Text, i, j - i);
      result += Translate(word, CodePage, SeqNo);
      i = j;
    } else {
      if (c != ' ' || keepBlanks) result += static_cast<char>(c);
      ++i;
    }
  }
  return result;
}

// --- TVornMultiFileDD ---

QString TVornMultiFileDD::FilePath() const {
  if (FFileName.startsWith(QLatin1Char('/'))) return FFileName;
  return ProgramFile(FFileName);
}

void TVornMultiFileDD::LoadDD() {
  TDDReaderClass readerClass = VornMultiStreamDDReaderStorage().FindReaderClass(DDReaderID());
  if (!readerClass) throw Exception(Format(SDDReaderIDNotRegistered, {DDReaderID()}));
  std::istringstream stream(ReadFile(FilePath()));
  std::unique_ptr<TCustomDDReader> reader = readerClass(stream);
  BuildFromReader(*reader);
}

// --- TVornMultiDDStorage ---

TVornMultiDDStorage::~TVornMultiDDStorage() {
  Clear();
}

namespace {
template <typename Items>
auto LowerBound(Items& items, std::string_view name) {
  return std::lower_bound(
      items.begin(), items.end(), name,
      [](const auto& entry, std::string_view n) { return CompareText(entry.first, n) < 0; });
}
}  // namespace

TCustomMultiDD* TVornMultiDDStorage::FindDD(std::string_view name) const {
  auto at = LowerBound(FItems, name);
  return at != FItems.end() && CompareText(at->first, name) == 0 ? at->second : nullptr;
}

void TVornMultiDDStorage::Insert(const std::string& name, TCustomMultiDD* dd) {
  FItems.insert(LowerBound(FItems, name), {name, dd});
}

void TVornMultiDDStorage::Remove(TCustomMultiDD* dd) {
  for (size_t i = FItems.size(); i-- > 0;) {
    if (FItems[i].second == dd) {
      FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

std::string TVornMultiDDStorage::TranslateByName(std::string_view DDName, const std::string& DDKey,
                                                 const std::string& CodePage,
                                                 const std::string& SeqNo) const {
  if (TCustomMultiDD* dd = FindDD(DDName)) return dd->Translate(DDKey, CodePage, SeqNo);
  return DDKey;
}

void TVornMultiDDStorage::Clear() {
  while (!FItems.empty()) {
    TCustomMultiDD* dd = FItems.back().second;
    delete dd;  // takes itself out of the list
    if (!FItems.empty() && FItems.back().second == dd) FItems.pop_back();
  }
}

void TVornMultiDDStorage::ReplaceByDDName(std::string_view DDName, QObject* Component,
                                          const std::string& CodePage, const std::string& SeqNo,
                                          const QFont* Font, bool ReplaceSelf, bool ReplaceOwned,
                                          bool ReplaceSon, bool ReplaceFont) const {
  if (TCustomMultiDD* dd = FindDD(DDName))
    ReplaceWithOptions(*dd, Component, CodePage, SeqNo, Font, ReplaceSelf, ReplaceOwned, ReplaceSon,
                       ReplaceFont);
}

TVornMultiDDStorage* VornMultiDDStorage() {
  if (!gStorage && !gStorageShutDown) gStorage = new TVornMultiDDStorage;
  return gStorage;
}

// --- the message operations ---

namespace {

std::string Translated(const std::string& Msg, const std::string& CodePage,
                       const std::string& SeqNo, const std::string& DDName) {
  TVornMultiDDStorage* storage = VornMultiDDStorage();
  return storage ? storage->TranslateByName(DDName, Msg, CodePage, SeqNo) : Msg;
}

std::string Formatted(const std::string& text, const std::vector<TVarRec>& Args) {
  return Args.empty() ? text : Format(text, Args);
}

}  // namespace

void DDShowMsg(const std::string& Msg, const std::string& CodePage, const std::string& SeqNo,
               const std::string& DDName) {
  Dialogs().MessageDlg(mtCustom, DecodeText(Translated(Msg, CodePage, SeqNo, DDName)), Btn(mbOK),
                       0);
}

void DDShowMsgFmt(const std::string& Msg, const std::string& CodePage,
                  const std::vector<TVarRec>& Args, const std::string& SeqNo,
                  const std::string& DDName) {
  std::string text = Formatted(Translated(Msg, CodePage, SeqNo, DDName), Args);
  Dialogs().MessageDlg(mtCustom, DecodeText(text), Btn(mbOK), 0);
}

int DDMsgDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
             const std::string& CodePage, const std::string& SeqNo, const std::string& DDName) {
  return Dialogs().MessageDlg(DlgType, DecodeText(Translated(Msg, CodePage, SeqNo, DDName)),
                              Buttons, HelpCtx);
}

int DDMsgDlgFmt(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx,
                const std::string& CodePage, const std::vector<TVarRec>& Args,
                const std::string& SeqNo, const std::string& DDName) {
  std::string text = Formatted(Translated(Msg, CodePage, SeqNo, DDName), Args);
  return Dialogs().MessageDlg(DlgType, DecodeText(text), Buttons, HelpCtx);
}

// --- TVornMsgBox ---

void TVornMsgBox::ShowMsg(const std::string& Msg, const std::string& SeqNo) {
  DDShowMsg(Msg, FCodePage, SeqNo, FDDName);
}

void TVornMsgBox::ShowMsgFmt(const std::string& Msg, const std::vector<TVarRec>& Args,
                             const std::string& SeqNo) {
  DDShowMsgFmt(Msg, FCodePage, Args, SeqNo, FDDName);
}

int TVornMsgBox::MsgDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                        int HelpCtx, const std::string& SeqNo) {
  return DDMsgDlg(Msg, DlgType, Buttons, HelpCtx, FCodePage, SeqNo, FDDName);
}

int TVornMsgBox::MsgDlgFmt(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           int HelpCtx, const std::vector<TVarRec>& Args,
                           const std::string& SeqNo) {
  return DDMsgDlgFmt(Msg, DlgType, Buttons, HelpCtx, FCodePage, Args, SeqNo, FDDName);
}

// --- replacing the texts of a component tree

bool IsForm(const QObject* Component) {
  if (!Component || !Component->isWidgetType()) return false;
  const auto* widget = static_cast<const QWidget*>(Component);
  if (!widget->isWindow()) return false;
  switch (widget->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Drawer:
      return true;
    default:
      return false;
  }
}

bool ReplaceComponent(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                      const std::string& SeqNo, const QFont* Font, bool ReplaceFont,
                      TDoneSet& Done) {
  if (!Component || Done.count(Component)) return false;
  if (Component->isWidgetType()) {
    auto* control = static_cast<QWidget*>(Component);
    if (!IsForm(control) && !control->parentWidget()) return false;
    const QString hint = control->toolTip();
    if (!hint.isEmpty()) {
      const QString translated = TranslateText(DD, hint, CodePage, SeqNo);
      if (translated != hint) control->setToolTip(translated);
    }
    if (ReplaceFont && Font) control->setFont(*Font);
  }
  TClassMethod* node = MultiClassMethodStorage().FindClassMethod(Component->metaObject());
  if (node && node->Method)
    node->Method(DD, Component, CodePage, SeqNo, Font);
  else if (IsForm(Component))
    // A window made of a plain QWidget is a form too; QWidget itself cannot be registered.
    ReplaceWindowTitle(DD, Component, CodePage, SeqNo, Font);
  Done.insert(Component);
  return true;
}

void ReplaceOwnedComponents(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                            const std::string& SeqNo, const QFont* Font, bool ReplaceFont,
                            IReplaceFilter* Filter, TDoneSet& Done) {
  if (!Component) return;
  const QObjectList owned = Component->children();
  for (QObject* child : owned) {
    if (IsForm(child)) continue;
    if (Filter && !Filter->Accept(child)) continue;
    if (ReplaceComponent(DD, child, CodePage, SeqNo, Font, ReplaceFont, Done))
      ReplaceOwnedComponents(DD, child, CodePage, SeqNo, Font, ReplaceFont, Filter, Done);
  }
}

void ReplaceChildControls(IMultiDD& DD, QWidget* Control, const std::string& CodePage,
                          const std::string& SeqNo, const QFont* Font, bool ReplaceFont,
                          IReplaceFilter* Filter, TDoneSet& Done) {
  if (!Control) return;
  const QObjectList children = Control->children();
  for (QObject* child : children) {
    if (!child->isWidgetType() || IsForm(child)) continue;
    if (Filter && !Filter->Accept(child)) continue;
    if (ReplaceComponent(DD, child, CodePage, SeqNo, Font, ReplaceFont, Done))
      ReplaceChildControls(DD, static_cast<QWidget*>(child), CodePage, SeqNo, Font, ReplaceFont,
                           Filter, Done);
  }
}

void ReplaceWithOptions(IMultiDD& DD, QObject* Component, const std::string& CodePage,
                        const std::string& SeqNo, const QFont* Font, bool ReplaceSelf,
                        bool ReplaceOwned, bool ReplaceSon, bool ReplaceFont) {
  TDoneSet done;
  if (ReplaceSelf) ReplaceComponent(DD, Component, CodePage, SeqNo, Font, ReplaceFont, done);
  if (ReplaceOwned)
    ReplaceOwnedComponents(DD, Component, CodePage, SeqNo, Font, ReplaceFont, nullptr, done);
  if (ReplaceSon && Component && Component->isWidgetType())
    ReplaceChildControls(DD, static_cast<QWidget*>(Component), CodePage, SeqNo, Font, ReplaceFont,
                         nullptr, done);
}
