// The figure of the screen translation, on the offscreen platform with code page 950: the first
// activation's replacement of the main window (every control, the shipped Melotag.lng read and
// its 950 entries applied) against creating that window, and the number of look-ups it makes.
#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "Main.h"
#include "VornMultiDD.h"
#include "VornMultiScreen.h"
#include "WindowBench.h"

namespace {

constexpr int kRounds = 9;

// Counts the look-ups it passes on.
class TCountingDD : public IMultiDD {
 public:
  explicit TCountingDD(IMultiDD& inner) : FInner(inner) {}
  int Count = 0;
  std::string Translate(const std::string& DDKey, const std::string& CodePage,
                        const std::string& SeqNo) override {
    ++Count;
    return FInner.Translate(DDKey, CodePage, SeqNo);
  }

 private:
  IMultiDD& FInner;
};

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  UseOffscreenPlatform();
  qputenv("MELOTAG_CODEPAGE", "950");
  QApplication app(argc, argv);
  QuietSizeHintWarnings();
  { TMainForm warm; }  // fonts and style loaded once

  std::vector<double> create, replace;
  for (int i = 0; i < kRounds; ++i) {
    QElapsedTimer timer;
    timer.start();
    auto form = std::make_unique<TMainForm>();
    create.push_back(timer.nsecsElapsed() / 1e6);
    // A new window has a new dictionary: the replacement reads the language file first.
    timer.restart();
    form->VornMultiScreenEye1->ReplaceForm(form.get(), true);
    replace.push_back(timer.nsecsElapsed() / 1e6);
    if (form->findChild<QGroupBox*>("gbxFolder")->title() == "Folder") {
      std::fprintf(stderr, "bench_lang: the window was not translated (no Melotag.lng?)\n");
      return 1;
    }
  }
  // The same pass once more, counting its look-ups.
  TMainForm form;
  form.VornMultiFileDD1->BuildDD();
  TCountingDD counting(*form.VornMultiFileDD1);
  ReplaceWithOptions(counting, &form, "950", "0", nullptr, true, true, true, false);

  const double replaced = Median(replace), created = Median(create);
  std::printf(
      "first activation's replacement of the main window (code page 950, %d look-ups): "
      "replace %.2f ms, create window %.2f ms, ratio %.2f (target <= 0.5)\n",
      counting.Count, replaced, created, replaced / created);
  return 0;
}
