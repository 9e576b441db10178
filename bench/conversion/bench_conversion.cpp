// Big5ToGbk and GbkToBig5 over 50 MB of Chinese text mixed with ASCII, against glibc's iconv(3)
// converting the same bytes in-process between CP950 and GBK.
#include <iconv.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Big5Gbk.h"
#include "CodeTables.h"

namespace {

constexpr std::size_t TextSize = 50u << 20;
constexpr int Rounds = 3;

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::fprintf(stderr, "iconv_open %s %s failed\n", to, from);
      std::exit(1);
    }
  }
  ~Iconv() { iconv_close(cd_); }

  // Converts in into out (resized to the result); false when iconv stops early.
  bool Convert(const std::string& in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    bool ok = iconv(cd_, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1);
    out.resize(out.size() - dstLeft);
    return ok && srcLeft == 0;
  }

 private:
  iconv_t cd_;
};

std::string Bytes(int code) {
  return {static_cast<char>(code >> 8), static_cast<char>(code)};
}

// The characters of Big5GbkTable, as Big5 codes or as their GBK partners, that iconv converts
// from one code page to the other, so that both converters do the whole text. They come in Big5
// order: the frequent characters (0xA440 to 0xC67E) first.
std::vector<std::string> Characters(bool gbk) {
  Iconv check(gbk ? "CP950" : "GBK", gbk ? "GBK" : "CP950");
  std::vector<std::string> chars;
  std::vector<bool> seen(65536);
  std::string out;
  for (const TCodePair& p : Big5GbkTable) {
    int code = gbk ? p.Partner : p.Key;
    if (code < 0x8140 || seen[code]) continue;
    seen[code] = true;
    std::string c = Bytes(code);
    if (check.Convert(c, out) && out.size() == 2) chars.push_back(c);
  }
  return chars;
}

// Lines of titles: mostly Chinese characters (nine in ten from the first third of the list, the
// frequent ones), with ASCII words, digits, spaces and line ends among them.
std::string MakeText(const std::vector<std::string>& chars, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<std::size_t> frequent(0, chars.size() / 3),
      any(0, chars.size() - 1);
  std::uniform_int_distribution<int> percent(0, 99), letter('a', 'z'), wordLength(1, 8);
  std::string text;
  text.reserve(TextSize + 64);
  while (text.size() < TextSize) {
    int p = percent(random);
    if (p < 60) {
      text += chars[frequent(random)];
    } else if (p < 67) {
      text += chars[any(random)];
    } else if (p < 77) {
      for (int n = wordLength(random); n > 0; --n) text += static_cast<char>(letter(random));
    } else if (p < 85) {
      text += static_cast<char>('0' + p % 10);
    } else if (p < 97) {
      text += ' ';
    } else {
      text += '\n';
    }
  }
  return text;
}

template <class F>
double BestMs(F&& run) {
  double best = 1e300;
  for (int i = 0; i < Rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

void Figure(const char* name, const std::string& text, std::string (*melotag)(const std::string&),
            const char* to, const char* from) {
  std::string ours, theirs;
  double oursMs = BestMs([&] { ours = melotag(text); });
  Iconv peer(to, from);
  bool ok = true;
  double theirsMs = BestMs([&] { ok = peer.Convert(text, theirs) && ok; });
  if (!ok || ours.size() != theirs.size()) {
    std::fprintf(stderr, "%s: iconv did not convert the whole text\n", name);
    std::exit(1);
  }
  std::printf("%s (%.0f MB): melotag %.1f ms, iconv %s->%s %.1f ms, ratio %.2f (target <= 1.0)\n",
              name, text.size() / 1048576.0, oursMs, from, to, theirsMs, oursMs / theirsMs);
}

}  // namespace

int main() {
  FillCodeTables();
  std::printf(
      "peer: glibc iconv(3) in-process, iconv_open(\"GBK\", \"CP950\") and back; best of %d\n",
      Rounds);
  const std::string big5 = MakeText(Characters(false), 1);
  Figure("Big5ToGbk", big5, Big5ToGbk, "GBK", "CP950");
  const std::string gbk = MakeText(Characters(true), 2);
  Figure("GbkToBig5", gbk, GbkToBig5, "CP950", "GBK");
  return 0;
}
