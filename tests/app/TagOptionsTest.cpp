// The Unicode options of the "Read" and "Write" pages: unticked at the first start, remembered
// by the next window (the settings live in the suite's own folder); the panel and the batch
// pass reading 2.4 and UTF-16 tags with them and writing UTF-16 text with the cover kept.
#include <QSettings>

#include "EnvScope.h"
#include "ID3v2Frames.h"
#include "TagEditSupport.h"
#include "TagOptions.h"

using namespace tagtest;

namespace {

struct TOptionBox {
  const char* name;
  const char* page;
  const char* caption;
};

const TOptionBox kBoxes[] = {
    {"cbxReadUnicode", "TabSheet4", "Read Unicode text (UTF-16, UTF-8) and ID3v2.4 tags"},
    {"cbxWriteUnicode", "TabSheet5", "Write Unicode text (UTF-16) into ID3v2 tags"},
    {"cbxKeepOtherFrames", "TabSheet5", "Keep other frames (cover art, lyrics ...)"},
};

TEST_F(MainFormTest, UnicodeOptionsStartUntickedAndAreRememberedByTheNextWindow) {
  QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).clear();
  TMainForm& form = MakeForm();
  for (const TOptionBox& b : kBoxes) {
    auto* box = form.findChild<QCheckBox*>(b.name);
    ASSERT_TRUE(box) << b.name;
    EXPECT_EQ(box->text(), b.caption);
    EXPECT_FALSE(box->isChecked()) << b.name;
    EXPECT_TRUE(form.findChild<QWidget*>(b.page)->isAncestorOf(box)) << b.name;
  }
  const auto none = form.TagOptions().Options();
  EXPECT_FALSE(none.ReadUnicode || none.WriteUnicode || none.KeepOtherFrames);

  form.findChild<QCheckBox*>("cbxReadUnicode")->click();
  form.findChild<QCheckBox*>("cbxKeepOtherFrames")->click();
  TMainForm& next = MakeForm();
  const auto options = next.TagOptions().Options();
  EXPECT_TRUE(options.ReadUnicode);
  EXPECT_FALSE(options.WriteUnicode);
  EXPECT_TRUE(options.KeepOtherFrames);
  next.findChild<QCheckBox*>("cbxReadUnicode")->click();
  EXPECT_FALSE(MakeForm().TagOptions().Options().ReadUnicode);
}

TEST_F(MainFormTest, DroppedFramesAreCountedInTheStatusBar) {
  TMainForm& form = MakeForm();
  auto* status = form.findChild<TStatusBar*>("StatusBar");
  form.ShowStatus("before");
  form.TagOptions().ReportDropped(0);
  EXPECT_EQ(status->PanelText(0), "before");
  form.TagOptions().ReportDropped(3);
  EXPECT_TRUE(status->PanelText(0).endsWith(": 3")) << status->PanelText(0).toStdString();
}

class UnicodeOptionsTest : public TagEditTest {
 protected:
  void SetUp() override {
    TagEditTest::SetUp();
    QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).clear();
  }
  void Tick(const char* box) { Get<QCheckBox>(box)->setChecked(true); }
  // What the file's tag holds, frame by frame.
  melotag::tags::TFrameTag Frames(const QString& name) const {
    melotag::tags::TFrameTag tag;
    EXPECT_TRUE(melotag::tags::ReadFrameTag(P(name), tag));
    return tag;
  }
  static QString U(const char16_t* text) { return QString::fromUtf16(text); }

  TEnvScope FCodePage{"MELOTAG_CODEPAGE", "1252"};
  // "封面" as a UTF-8 description, a picture with bytes that need care.
  const std::string FPicture = std::string("\x03image/jpeg\0\x03\xE5\xB0\x81\xE9\x9D\xA2\0", 20) +
                               std::string("\xFF\xD8\xFF\0\xFF", 5);
  // A 2.4 tag: UTF-8 title, a cover, and a sort order 2.3 has no frame for.
  std::string Tag24() const {
    auto frame = [](const std::string& id, const std::string& data) {
      return id + SyncSafe(static_cast<uint32_t>(data.size())) + std::string(2, '\0') + data;
    };
    return Tag(frame("TIT2", "\x03\xE4\xB8\xAD\xE6\x96\x87") + frame("APIC", FPicture) +
                   frame("TSOP", "\x03s"),
               4);
  }
};

TEST_F(UnicodeOptionsTest, PanelReads24TagsAndWritesUtf16WithTheCoverKept) {
  RawSong("a.mp3", Tag24());
  ListFolder();
  Select({0});
  EXPECT_EQ(Text("VersionValue"), "2.4");
  EXPECT_EQ(Text("TitleEdit"), "") << "without the option a 2.4 tag shows no values";

  Tick("cbxReadUnicode");
  Select({});
  Select({0});
  EXPECT_EQ(Text("TitleEdit"), U(u"中文"));

  Tick("cbxWriteUnicode");
  Tick("cbxKeepOtherFrames");
  SetWriting(1);
  Get<QLineEdit>("ArtistEdit")->setText(U(u"歌手 😀"));
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_TRUE(Status().endsWith(": 1")) << Status().toStdString() << " (TSOP)";
  const melotag::tags::TFrameTag tag = Frames("a.mp3");
  EXPECT_EQ(tag.Version, 3);
  ASSERT_EQ(tag.Frames.size(), 3u);
  EXPECT_EQ(tag.Frames[0].Data, std::string("\x01\xFF\xFE\x2D\x4E\x87\x65", 7));
  EXPECT_EQ(tag.Frames[1].Id, "TPE1");
  EXPECT_EQ(tag.Frames[2].Id, "APIC");
  EXPECT_EQ(tag.Frames[2].Data.substr(tag.Frames[2].Data.size() - 5), FPicture.substr(20));
  EXPECT_EQ(Bytes("a.mp3").substr(static_cast<size_t>(tag.TagSize)), Audio);
  // Read back into the panel.
  EXPECT_EQ(Text("ArtistEdit"), U(u"歌手 😀"));
  EXPECT_EQ(Text("VersionValue"), "2.3");
}

TEST_F(UnicodeOptionsTest, BatchKeepsUntickedUnicodeValuesAndOtherFrames) {
  RawSong("a.mp3", Tag(Frame("TIT2", std::string("\x01\xFF\xFE\xE5\x65\x2C\x67", 7)) +
                       Frame("APIC", std::string("\0image/png\0\x03\0\x89PNG", 17))));
  RawSong("b.mp3", Tag24());
  ListFolder();
  Tick("cbxReadUnicode");
  Tick("cbxWriteUnicode");
  Tick("cbxKeepOtherFrames");
  SetWriting(1);
  Get<QLineEdit>("edtArtist")->setText(U(u"新歌手"));
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_TRUE(Status().startsWith("Update OK")) << Status().toStdString();
  EXPECT_TRUE(Status().endsWith(": 1")) << Status().toStdString();
  const struct {
    const char* name;
    QString title;
  } files[] = {{"a.mp3", U(u"日本")}, {"b.mp3", U(u"中文")}};
  for (const auto& f : files) {
    melotag::editor::TID3v2Text text;
    ASSERT_TRUE(melotag::editor::LoadID3v2Text(P(f.name), text));
    EXPECT_EQ(text.Version, 3) << f.name;
    EXPECT_EQ(text.Title, f.title) << f.name;
    EXPECT_EQ(text.Artist, U(u"新歌手")) << f.name;
    EXPECT_EQ(Frames(f.name).Frames.back().Id, "APIC") << f.name;
  }
}

}  // namespace
