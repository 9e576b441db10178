// The dictionary against std::unordered_map: building from a CSV language file of 100,000
// records, and 1,000,000 look-ups.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "VornMultiDD.h"
#include "VornMultiDDReader.h"

namespace {

constexpr int kRecords = 100000;
constexpr int kLookups = 1000000;
constexpr int kRuns = 5;

// Best of kRuns, in milliseconds.
double BestMs(const std::function<void()>& f) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    auto start = std::chrono::steady_clock::now();
    f();
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return best;
}

// Texts like a program's captions, hints and messages: two to six words of a made-up
// vocabulary, all different.
std::vector<std::string> MakeTexts(int count, std::mt19937& random) {
  std::vector<std::string> words(3000);
  for (std::string& word : words) {
    word.resize(3 + random() % 7);
    for (char& c : word) c = static_cast<char>('a' + random() % 26);
  }
  std::unordered_map<std::string, int> seen;
  std::vector<std::string> texts;
  while (static_cast<int>(texts.size()) < count) {
    std::string text;
    int n = 2 + static_cast<int>(random() % 5);
    for (int w = 0; w < n; ++w) text += (w ? " " : "") + words[random() % words.size()];
    text[0] = static_cast<char>(text[0] - 32);
    if (seen.emplace(text, 0).second) texts.push_back(text);
  }
  return texts;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream data;
  data << file.rdbuf();
  return std::move(data).str();
}

void Print(const char* figure, double ours, const char* peer, double theirs, double target) {
  std::printf("%s: melotag %.1f ms, %s %.1f ms, ratio %.2f (target <= %.1f)\n", figure, ours, peer,
              theirs, ours / theirs, target);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::mt19937 random(7);
  // Keys of the file, and as many texts that are not in it.
  std::vector<std::string> texts = MakeTexts(kRecords + kRecords / 9, random);
  auto Key = [&](int i) -> const std::string& { return texts[static_cast<size_t>(i)]; };
  QTemporaryDir dir;
  std::string path = dir.filePath(QStringLiteral("bench.lng")).toStdString();
  {
    std::ofstream file(path, std::ios::binary);
    file << "DDKey,CodePage,SeqNo,DisplayValue,\r\n";
    for (int i = 0; i < kRecords; ++i)
      file << Key(i) << ",950,0,\"Translated, caption " << i << "\",\r\n";
  }

  // Building: the dictionary reads, parses and fills its hash list; the peer reads the same
  // file through the same CSV reader and inserts the same keys into an unordered_map.
  TVornMultiFileDD dd;
  dd.SetFileName(QString::fromStdString(path));
  double build = BestMs([&] {
    dd.Clear();
    dd.BuildDD();
  });
  std::unordered_map<std::string, std::string> map;
  double mapBuild = BestMs([&] {
    map = {};
    std::string data = ReadFile(path);
    TTextCSVStreamDDReader reader(std::move(data));
    map.reserve(static_cast<size_t>(reader.RecordCount()));
    for (reader.First(); !reader.Eof(); reader.Next())
      map.emplace(reader.FieldValue(0) + '\t' + reader.FieldValue(1) + '\t' + reader.FieldValue(2),
                  reader.FieldValue(3));
  });
  if (dd.HashList()->Count() != kRecords || map.size() != static_cast<size_t>(kRecords)) {
    std::fprintf(stderr, "bench_multi: the two builds differ\n");
    return 1;
  }

  // Look-ups: 1,000,000 keys in random order, one in ten not in the dictionary.
  std::vector<std::string> keys;
  keys.reserve(kLookups);
  for (int i = 0; i < kLookups; ++i) {
    int n = static_cast<int>(random() % (kRecords + kRecords / 9));
    keys.push_back(Key(n));
  }
  const std::string cp = "950", seq = "0";
  size_t sumOurs = 0, sumMap = 0;
  double lookup = BestMs([&] {
    for (const std::string& key : keys) sumOurs += dd.Translate(key, cp, seq).size();
  });
  double mapLookup = BestMs([&] {
    for (const std::string& key : keys) {
      auto it = map.find(key + '\t' + cp + '\t' + seq);
      std::string result = it != map.end() ? it->second : key;
      sumMap += result.size();
    }
  });
  if (sumOurs != sumMap) {
    std::fprintf(stderr, "bench_multi: the two look-ups differ\n");
    return 1;
  }

  Print("dictionary build (100,000 CSV records)", build, "unordered_map", mapBuild, 2.0);
  Print("dictionary look-up (1,000,000 Translate)", lookup, "unordered_map", mapLookup, 1.5);
  return 0;
}
