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

TEST_F(MainFormTest, UnicodeReadingAndKeepingStartTickedAndAreRememberedByTheNextWindow) {
  QSettings(QStringLiteral("Melotag"), QStringLiteral("Melotag")).clear();
  TMainForm& form = MakeForm();
  for (const TOptionBox& b : kBoxes) {
    auto* box = form.findChild<QCheckBox*>(b.name);
    ASSERT_TRUE(box) << b.name;
    EXPECT_EQ(box->text(), b.caption);
    EXPECT_EQ(box->isChecked(), b.name != std::string("cbxWriteUnicode")) << b.name;
    EXPECT_TRUE(form.findChild<QWidget*>(b.page)->isAncestorOf(box)) << b.name;
  }
  const auto first = form.TagOptions().Options();
  EXPECT_TRUE(first.ReadUnicode && first.KeepOtherFrames && !first.WriteUnicode);

  form.findChild<QCheckBox*>("cbxReadUnicode")->click();
  form.findChild<QCheckBox*>("cbxWriteUnicode")->click();
  TMainForm& next = MakeForm();
  const auto options = next.TagOptions().Options();
  EXPECT_FALSE(options.ReadUnicode);
  EXPECT_TRUE(options.WriteUnicode);
  EXPECT_TRUE(options.KeepOtherFrames);
  next.findChild<QCheckBox*>("cbxKeepOtherFrames")->click();
  EXPECT_FALSE(MakeForm().TagOptions().Options().KeepOtherFrames);
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

TEST_F(UnicodeOptionsTest, PanelKeepsA24TagWithItsCoverAndWritesTheChangeInItsEncoding) {
  RawSong("a.mp3", Tag24());
  ListFolder();
  Exact();
  Select({0});
  EXPECT_EQ(Text("VersionValue"), "2.4");
  EXPECT_EQ(Text("TitleEdit"), "") << "the tag class shows no values of a 2.4 tag";

  Tick("cbxReadUnicode");
  Tick("cbxKeepOtherFrames");
  Select({});
  Select({0});
  EXPECT_EQ(Text("TitleEdit"), U(u"中文"));
  SetWriting(1);
  Get<QLineEdit>("ArtistEdit")->setText(U(u"歌手 😀"));
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  const melotag::tags::TFrameTag tag = Frames("a.mp3");
  EXPECT_EQ(tag.Version, 4);
  ASSERT_EQ(tag.Frames.size(), 4u);
  EXPECT_EQ(tag.Frames[0].Data, "\x03\xE4\xB8\xAD\xE6\x96\x87") << "the title as it was";
  EXPECT_EQ(tag.Frames[1].Id, "TPE1");
  EXPECT_EQ(tag.Frames[1].Data, "\x03" + U(u"歌手 😀").toStdString()) << "UTF-8 as the tag's texts";
  EXPECT_EQ(tag.Frames[2].Data, FPicture);
  EXPECT_EQ(tag.Frames[3].Id, "TSOP");
  EXPECT_TRUE(Bytes("a.mp3").ends_with(Audio));
  // Read back into the panel.
  EXPECT_EQ(Text("ArtistEdit"), U(u"歌手 😀"));
  EXPECT_EQ(Text("VersionValue"), "2.4");
}

TEST_F(UnicodeOptionsTest, WithoutKeepingAWriteIsTheSevenValuesInUtf16WhereNeeded) {
  RawSong("a.mp3", Tag24());
  ListFolder();
  Get<QCheckBox>("cbxKeepOtherFrames")->setChecked(false);
  Tick("cbxWriteUnicode");
  Select({0});
  SetWriting(1);
  Get<QLineEdit>("ArtistEdit")->setText(U(u"歌手"));
  Trigger("actWriteTag");
  EXPECT_TRUE(Said().isEmpty());
  const melotag::tags::TFrameTag tag = Frames("a.mp3");
  EXPECT_EQ(tag.Version, 3);
  ASSERT_EQ(tag.Frames.size(), 2u);
  EXPECT_EQ(tag.Frames[0].Data, std::string("\x01\xFF\xFE\x2D\x4E\x87\x65", 7));
  EXPECT_EQ(tag.Frames[1].Id, "TPE1");
  EXPECT_EQ(Bytes("a.mp3").substr(static_cast<size_t>(tag.TagSize)), Audio);
}

TEST_F(UnicodeOptionsTest, BatchKeepsUntickedValuesAndOtherFramesInEachTagsOwnConvention) {
  RawSong("a.mp3", Tag(Frame("TIT2", std::string("\x01\xFF\xFE\xE5\x65\x2C\x67", 7)) +
                       Frame("APIC", std::string("\0image/png\0\x03\0\x89PNG", 17))));
  RawSong("b.mp3", Tag24());
  ListFolder();
  SetWriting(1);
  Tick("cbxArtist");
  Get<QLineEdit>("edtArtist")->setText(U(u"新歌手"));
  Trigger("actWriteAllTag");
  EXPECT_TRUE(Said().isEmpty());
  EXPECT_TRUE(Status().startsWith("Update OK")) << Status().toStdString();
  const struct {
    const char* name;
    QString title;
    uint8_t version;
    char encoding;  // of the new artist
    std::string last;
  } files[] = {{"a.mp3", U(u"日本"), 3, '\x01', "APIC"}, {"b.mp3", U(u"中文"), 4, '\x03', "TSOP"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    melotag::editor::TID3v2Text text;
    ASSERT_TRUE(melotag::editor::LoadID3v2Text(P(f.name), text));
    EXPECT_EQ(text.Version, f.version);
    EXPECT_EQ(text.Fields.Text(melotag::editor::TField::Title), f.title);
    EXPECT_EQ(text.Fields.Text(melotag::editor::TField::Artist), U(u"新歌手"));
    const melotag::tags::TFrameTag tag = Frames(f.name);
    EXPECT_EQ(tag.Frames[1].Id, "TPE1");
    EXPECT_EQ(tag.Frames[1].Data[0], f.encoding);
    EXPECT_EQ(tag.Frames.back().Id, f.last);
  }
}

}  // namespace
