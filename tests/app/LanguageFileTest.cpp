// The shipped language file has a Traditional (950) and a Simplified (936) Chinese entry for every
// text the program shows: what the screen translation looks up in the window and in every dialog,
// the actions, and every message, question and status word the sources pass to the message box,
// the dialogs or LookupText.
#include <QDirIterator>
#include <QRegularExpression>

#include <set>

#include "AppTestSupport.h"
#include "CodePage.h"
#include "QtDialogs.h"
#include "Shell.h"
#include "VornMultiClassMethod.h"
#include "VornMultiDD.h"

namespace {

// Collects every text the replacement asks for, as text.
class TRecorder : public IMultiDD {
 public:
  std::set<QString> Texts;
  std::string Translate(const std::string& DDKey, const std::string&, const std::string&) override {
    Texts.insert(QString::fromStdString(DDKey));
    return DDKey;
  }
};

// Leaves out what shows data rather than the program's texts: the genre lists (tag values, written
// to files as they read) and the values of the properties window.
class TDataFilter : public IReplaceFilter {
 public:
  bool Accept(QObject* c) override {
    const QString name = c->objectName();
    return name != "GenreComboBox" && name != "cboGenre" &&
           !(name.startsWith("lbl") && qobject_cast<QLabel*>(c) && c->parent() &&
             c->parent()->objectName() == "FilePropertiesDialog");
  }
};

void Walk(TRecorder& recorder, QWidget* window) {
  TDataFilter filter;
  TDoneSet done;
  ReplaceComponent(recorder, window, "65001", "0", nullptr, false, done);
  ReplaceOwnedComponents(recorder, window, "65001", "0", nullptr, false, &filter, done);
  ReplaceChildControls(recorder, window, "65001", "0", nullptr, false, &filter, done);
}

// A C string literal's text ("\n", "\"", "\uFF1A" ...).
QString Unquote(const QString& literal) {
  QString out;
  for (qsizetype i = 1; i + 1 < literal.size(); ++i) {
    QChar c = literal[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    QChar e = literal[++i];
    if (e == 'n')
      out += '\n';
    else if (e == 't')
      out += '\t';
    else if (e == 'u') {
      out += QChar(literal.mid(i + 1, 4).toUShort(nullptr, 16));
      i += 4;
    } else
      out += e;
  }
  return out;
}

// The literal arguments of every call that shows a message, asks a question or looks up a status
// word, in the window's sources. An argument made of a literal and more ("The folder " + name)
// has no entry of its own and is left out.
std::set<QString> MessageTexts() {
  static const QRegularExpression call(
      R"(\b(ShowMsg|ShowMsgFmt|MsgDlg|MsgDlgFmt|LookupText|ShowMessage|MessageDlg|InputQuery|SelectFolder)\s*\()");
  static const QRegularExpression literal(
      R"(^\s*(?:(?:QStringLiteral|QString::fromUtf8|QString|EncodeText|u8)\s*\(\s*)?((?:"(?:[^"\\]|\\.)*"\s*)+)\)?\s*$)");
  std::set<QString> texts;
  QDirIterator files(MELOTAG_SOURCE_DIR "/src/app", {"*.cpp", "*.h"});
  while (files.hasNext()) {
    QFile file(files.next());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QString source = QString::fromUtf8(file.readAll());
    for (auto m = call.globalMatch(source); m.hasNext();) {
      // The arguments up to the closing parenthesis, split at the top-level commas.
      qsizetype i = m.next().capturedEnd(), depth = 0;
      QStringList args{QString()};
      for (bool quoted = false; i < source.size(); ++i) {
        QChar c = source[i];
        if (quoted) {
          args.last() += c;
          if (c == '\\')
            args.last() += source[++i];
          else if (c == '"')
            quoted = false;
          continue;
        }
        if (c == '"') quoted = true;
        if (c == '(') ++depth;
        if (c == ')' && depth-- == 0) break;
        if (c == ',' && depth == 0)
          args.append(QString());
        else
          args.last() += c;
      }
      for (const QString& arg : args) {
        const auto lit = literal.match(arg);
        if (!lit.hasMatch()) continue;
        QString text;
        static const QRegularExpression piece(R"("(?:[^"\\]|\\.)*")");
        for (auto p = piece.globalMatch(lit.captured(1)); p.hasNext();)
          text += Unquote(p.next().captured());
        texts.insert(text);
      }
    }
  }
  return texts;
}

bool IsProgramText(const QString& text) {
  static const QRegularExpression letter(R"(\p{L})");
  return text.contains(letter) && !text.startsWith('/');
}

}  // namespace

class LanguageFile : public MainFormTest {};

TEST_F(LanguageFile, EveryTextHasATraditionalAndASimplifiedEntry) {
  QGuiApplication::setApplicationDisplayName("Melotag");  // the custom message's caption
  TRecorder recorder;
  TMainForm& form = MakeForm();
  Walk(recorder, &form);
  for (QAction* action : form.findChildren<QAction*>()) {
    if (action->objectName().isEmpty() || action->objectName().startsWith("_q_")) continue;
    recorder.Texts.insert(action->text());
    recorder.Texts.insert(ActionHint(action));
  }
  // Every dialog, walked while it is shown.
  TQtDialogs dialogs;
  TDialogsScope scope(&dialogs);
  auto walkNext = [&] {
    QTimer::singleShot(0, [&] {
      WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        Walk(recorder, dialog);
        static_cast<QDialog*>(dialog)->reject();
      }
    });
  };
  for (TMsgDlgType type : {mtWarning, mtError, mtInformation, mtConfirmation, mtCustom}) {
    walkNext();
    Dialogs().MessageDlg(type, "FileList is Empty", 0x7FF & ~Btn(mbHelp), 0);
  }
  walkNext();
  Dialogs().MessageDlg(mtCustom, "FileList is Empty", Btn(mbHelp), 0);
  walkNext();
  Dialogs().ShowMessage("FileList is Empty");
  QStringList files;
  QString file;
  QFont font;
  walkNext();
  Dialogs().OpenFiles(form.OpenDialog1.Filter, FDir.path(), true, files);
  walkNext();
  Dialogs().OpenFiles(MainDialogs::AddFilesFilter, FDir.path(), true, files);
  walkNext();
  Dialogs().SaveFile("m3u files (*.m3u)|*.m3u;|All files|*.*", FDir.path(), "m3u", "a", file);
  walkNext();
  Dialogs().SelectFolder(MainDialogs::SelectDirectoryCaption, FDir.path(), file);
  walkNext();
  Dialogs().SelectFont(font);
  walkNext();
  Dialogs().InputQuery("Melotag", "Please Input Punctuation Mark", file);
  Files({"a.mp3"});
  for (const QString& path : {Path("a.mp3"), Path("gone.mp3")}) {
    QDialog* properties = ShowFileProperties(path, &form);
    properties->setWindowTitle(QString());  // the file's name and a word
    Walk(recorder, properties);
    delete properties;
  }
  const std::set<QString> messages = MessageTexts();
  EXPECT_GT(messages.size(), 5u);  // the scan finds the sources' messages
  recorder.Texts.insert(messages.begin(), messages.end());

  TVornMultiFileDD dd;
  dd.SetFileName(ProgramFile("Melotag.lng"));
  dd.BuildDD();
  const TCodePageCodec big5(950), gbk(936);
  QStringList missing;
  for (const QString& text : recorder.Texts) {
    if (!IsProgramText(text)) continue;
    for (const TCodePageCodec* codec : {&big5, &gbk}) {
      const std::string cp = std::to_string(codec->CodePage());
      void* value = nullptr;
      if (!dd.HashList()->Find(dd.MakeKey(codec->Encode(text), cp, "0"), value))
        missing << QString("%1\t%2").arg(codec->CodePage()).arg(text);
    }
  }
  EXPECT_TRUE(missing.isEmpty()) << "Add to tools/Melotag.lng.tsv:\n"
                                 << missing.join('\n').toStdString();
}
