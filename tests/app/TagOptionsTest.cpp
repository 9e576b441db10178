// The Unicode options of the "Read" and "Write" pages: unticked at the first start, remembered
// by the next window (the settings live in the suite's own folder).
#include <QSettings>

#include "AppTestSupport.h"
#include "TagOptions.h"

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

}  // namespace
