#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "Exception.h"
#include "VornMultiConsts.h"
#include "VornMultiDD.h"
#include "VornMultiDDReader.h"

namespace {

// A dictionary over a reader that is already open.
class TReaderDD : public TCustomMultiDD {
 public:
  IDDReader* Reader = nullptr;
  void LoadDD() override { BuildFromReader(*Reader); }
};

std::string Int(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i)
    s[i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

std::string Str(const std::string& s) {
  return Int(static_cast<int32_t>(s.size())) + s;
}

// A binary file: names, the stated record count, then records (nullopt = null field).
std::string Binary(const std::vector<std::string>& names, int32_t recordCount,
                   const std::vector<std::vector<std::optional<std::string>>>& rows) {
  std::string data = Int(static_cast<int32_t>(names.size()));
  for (const auto& n : names) data += Str(n);
  data += Int(recordCount);
  for (const auto& row : rows)
    for (const auto& v : row) data += v ? Str(*v) : Int(-1);
  return data;
}

// Every value of every record, fields separated by "|", records by ";" ("~" for null).
std::string Dump(IDDReader& reader) {
  std::string out;
  for (reader.First(); !reader.Eof(); reader.Next()) {
    for (int i = 0; i < reader.FieldCount(); ++i)
      out += (reader.IsNull(i) ? "~" : reader.FieldValue(i)) + "|";
    out += ";";
  }
  return out;
}

}  // namespace

namespace {
// Exposes a reader's decoding of raw field texts.
template <typename T>
class TDecoder : public T {
 public:
  TDecoder() : T(std::string()) {}
  std::string Decode(std::string_view raw) const {
    std::string value;
    this->DecodeValue(raw, value);
    return value;
  }
};
}  // namespace

TEST(DDReader, DecodesFieldTexts) {
  struct {
    bool csv;
    std::string raw;
    std::string value;
  } cases[] = {
      {true, R"("Hello, world")", "Hello, world"},
      {true, R"(Say ""hi"")", "Say \"hi\""},
      {true, R"(a"b)", "ab"},
      {true, "50%%", "50%"},
      {true, "A%c%nB", "A\r\nB"},
      {true, "x%0y", std::string("x\0y", 3)},
      {true, "100%", "100"},         // "%" at the end is dropped
      {true, "%s [%d]", "%s [%d]"},  // not an escape: kept as written
      {true, R"("")", ""},
      {true, R"(a")", "a"},
      {false, R"("it""s")", "it\"s"},
      {false, R"("a"#13#10"b")", "a\r\nb"},
      {false, "#65#66", "AB"},
      {false, R"("#13")", "#13"},
      {false, "#321", "A"},  // the code mod 256
      {false, R"("")", ""},
      {false, R"(""")", "\""},
      {false, "plain", "plain"},
  };
  TDecoder<TTextCSVStreamDDReader> csv;
  TDecoder<TTextDFMStreamDDReader> dfm;
  for (const auto& c : cases)
    EXPECT_EQ(c.csv ? csv.Decode(c.raw) : dfm.Decode(c.raw), c.value)
        << (c.csv ? "CSV " : "DFM ") << c.raw;
  // Through a file: the comma inside quotes does not end the field.
  TTextCSVStreamDDReader reader(std::string("F,G,\r\n\"Hello, world\",x,\r\n"));
  EXPECT_EQ(reader.FieldValue(0), "Hello, world");
  EXPECT_EQ(reader.FieldValue(1), "x");
}

TEST(DDReader, FormTextRejectsBadCharacterCodes) {
  for (const char* raw : {"#", "a#b", "#99999999999", "#2147483648"}) {
    std::string file = std::string("F,\r\n") + raw + ",\r\n";
    EXPECT_THROW(TTextDFMStreamDDReader{file}, EConvertError) << raw;
  }
  TTextDFMStreamDDReader ok(std::string("F,\r\n#2147483647,\r\n"));
  EXPECT_EQ(ok.FieldValue(0), "\xFF");
}

TEST(DDReader, TextLayout) {
  struct {
    const char* name;
    std::string file;
    int fields;
    int recordCount;
    std::string dump;
  } cases[] = {
      {"empty file", "", 0, 0, ""},
      {"header only", "DDKey,CodePage,SeqNo,DisplayValue,\r\n", 4, 0, ""},
      {"two records", "A,B,\r\n1,2,\r\n3,4,\r\n", 2, 2, "1|2|;3|4|;"},
      {"null and empty", "A,B,C,\r\n,\"\",x,\r\n", 3, 1, "~||x|;"},
      {"last line without CR LF", "A,B,\r\n1,2,\r\n3,4,", 2, 1, "1|2|;3|4|;"},
      {"extra CR LF", "A,B,\r\n1,2,\r\n\r\n", 2, 2, "1|2|;\r\n|~|;"},
      {"CR LF inside quotes", "A,\r\n\"x\r\ny\",\r\n", 1, 1, "x\r\ny|;"},
      {"no separator at all", "A", 1, -1, ""},
  };
  for (const auto& c : cases) {
    TTextCSVStreamDDReader reader(c.file);
    EXPECT_EQ(reader.FieldCount(), c.fields) << c.name;
    EXPECT_EQ(reader.RecordCount(), c.recordCount) << c.name;
    EXPECT_EQ(Dump(reader), c.dump) << c.name;
  }
}

TEST(DDReader, RecNoCountsRecordsAndFirstStartsAgain) {
  TTextCSVStreamDDReader reader(std::string("A,\r\n1,\r\n2,\r\n3,\r\n"));
  EXPECT_EQ(reader.RecNo(), 1);
  reader.Next();
  reader.Next();
  EXPECT_EQ(reader.RecNo(), 3);
  EXPECT_EQ(reader.FieldValue(0), "3");
  reader.Next();
  EXPECT_TRUE(reader.Eof());
  reader.Next();
  EXPECT_TRUE(reader.Eof());
  reader.First();
  EXPECT_EQ(reader.RecNo(), 1);
  EXPECT_EQ(reader.FieldValue(0), "1");
}

TEST(DDReader, FieldsByNameInAnyLetterCase) {
  TTextCSVStreamDDReader text(std::string("Key,Value,key,\r\nk,,k2,\r\n"));
  EXPECT_EQ(text.FieldValueByName("KEY"), "k");  // the first match
  EXPECT_TRUE(text.IsNullByName("value"));
  EXPECT_EQ(text.FieldValueByName("missing"), "");
  EXPECT_FALSE(text.IsNullByName("missing"));

  TBinaryStreamDDReader binary(Binary({"Key", "Value"}, 1, {{"k", std::nullopt}}));
  EXPECT_EQ(binary.FieldValueByName("kEy"), "k");
  EXPECT_TRUE(binary.IsNullByName("VALUE"));
  EXPECT_EQ(binary.FieldValueByName("missing"), "");
  EXPECT_TRUE(binary.IsNullByName("missing"));
  // Indexes out of range answer nothing rather than reading beyond the record.
  EXPECT_EQ(binary.FieldValue(7), "");
  EXPECT_EQ(binary.FieldName(-1), "");
  EXPECT_TRUE(binary.IsNull(2));
}

TEST(DDReader, BinaryLayout) {
  struct {
    const char* name;
    std::string data;
    int fields;
    int recordCount;
    std::string dump;
  } cases[] = {
      {"nothing", Int(0) + Int(0), 0, 0, ""},
      {"two records", Binary({"A", "B"}, 2, {{"1", "2"}, {"", std::nullopt}}), 2, 2, "1|2|;|~|;"},
      {"null clears the value", Binary({"A"}, 2, {{"x"}, {std::nullopt}}), 1, 2, "x|;~|;"},
      {"ends inside an integer", Binary({"A"}, 1, {{"x"}}) + "\x01\x00", 1, 1, "x|;|;"},
      {"ends inside a value", Binary({"A"}, 1, {}) + Int(10) + "abc", 1, 1, "abc|;"},
      {"negative length", Binary({"A"}, 1, {}) + Int(-7), 1, 1, "|;"},
      {"huge length", Binary({"A"}, 1, {}) + Int(0x7FFFFFFF) + "ab", 1, 1, "ab|;"},
      {"huge field count", Int(0x7FFFFFFF) + Str("A"), 1, 0, ""},
      {"negative field count", Int(-3) + Int(0) + "rest", 0, 0, ""},
      {"no fields but more data", Int(0) + Int(5) + "rest of the file", 0, 0, ""},
      {"a record count beyond the data", Binary({"A"}, 1000000, {{"x"}}), 1, 1, "x|;"},
      {"truncated header", std::string("\x02\x00", 2), 0, 0, ""},
  };
  for (const auto& c : cases) {
    TBinaryStreamDDReader reader(c.data);
    EXPECT_EQ(reader.FieldCount(), c.fields) << c.name;
    EXPECT_EQ(reader.RecordCount(), c.recordCount) << c.name;
    EXPECT_EQ(Dump(reader), c.dump) << c.name;
  }
}

TEST(DDReader, ReadsFromAStreamFromItsCurrentPosition) {
  std::istringstream stream("A,\r\nx,\r\n");
  TTextCSVStreamDDReader reader(stream);
  EXPECT_EQ(reader.FieldName(0), "A");
  EXPECT_EQ(reader.FieldValue(0), "x");
}

TEST(DDReader, RegistryHoldsTheThreeReadersAndRefusesAnIdTwice) {
  TVornMultiStreamDDReaderStorage& storage = VornMultiStreamDDReaderStorage();
  ASSERT_EQ(storage.Count(), 3);
  EXPECT_EQ(storage.ReaderID(0), "VornBinary");
  EXPECT_EQ(storage.ReaderID(1), "VornTextCSV");
  EXPECT_EQ(storage.ReaderID(2), "VornTextDFM");
  EXPECT_EQ(storage.FindReaderClass("vorntextcsv"), &CreateDDReader<TTextCSVStreamDDReader>);
  EXPECT_EQ(storage.FindReaderClass("VornTextDFM"), &CreateDDReader<TTextDFMStreamDDReader>);
  EXPECT_EQ(storage.FindReaderClass("VORNBINARY"), &CreateDDReader<TBinaryStreamDDReader>);
  EXPECT_EQ(storage.FindReaderClass("VornText"), nullptr);
  try {
    storage.RegisterReader("VORNTEXTCSV", CreateDDReader<TBinaryStreamDDReader>);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "dictionary reader \"VORNTEXTCSV\" already registered!");
  }
  EXPECT_EQ(storage.Count(), 3);
  EXPECT_EQ(storage.FindReaderClass("VornTextCSV"), &CreateDDReader<TTextCSVStreamDDReader>);
}

// Mutated and truncated versions of valid files never crash, hang or read outside the data.
TEST(DDReader, SurvivesMutatedFiles) {
  const std::string csv =
      "DDKey,CodePage,SeqNo,DisplayValue,\r\n"
      "Open,950,0,\"\xB6}\xB1\xD2, ok\",\r\n"
      "\"Say \"\"hi\"\"\",1252,,50%% A%c%nB,\r\n"
      "File [%s] exists,950,0,x,\r\n";
  const std::string dfm =
      "DDKey,CodePage,SeqNo,DisplayValue,\r\n"
      "'Open',950,0,#182#125'ok'#13#10,\r\n"
      "\"it\"\"s\",1252,,\"a\"#65\"b\",\r\n";
  const std::string binary = Binary({"DDKey", "CodePage", "SeqNo", "DisplayValue"}, 2,
                                    {{"Open", "950", "0", "X"}, {"Save", std::nullopt, "", "Y"}});
  const char interesting[] = {',', '"', '\r', '\n', '#', '%', '0', '9', '\xFF', '\x00', '\x7F'};
  std::mt19937 random(20261210);
  int built = 0;
  for (int kind = 0; kind < 3; ++kind) {
    const std::string& base = kind == 0 ? csv : kind == 1 ? dfm : binary;
    for (int round = 0; round < 5000; ++round) {
      std::string data = base;
      int edits = 1 + static_cast<int>(random() % 4);
      for (int e = 0; e < edits && !data.empty(); ++e) {
        size_t at = random() % data.size();
        switch (random() % 5) {
          case 0:
            data[at] = static_cast<char>(random() % 256);
            break;
          case 1:
            data.insert(at, 1, interesting[random() % sizeof interesting]);
            break;
          case 2:
            data.erase(at, 1 + random() % 4);
            break;
          case 3:
            data.resize(at);
            break;
          default:
            data[at] = interesting[random() % sizeof interesting];
            break;
        }
      }
      try {
        std::unique_ptr<IDDReader> reader;
        if (kind == 0)
          reader = std::make_unique<TTextCSVStreamDDReader>(data);
        else if (kind == 1)
          reader = std::make_unique<TTextDFMStreamDDReader>(data);
        else
          reader = std::make_unique<TBinaryStreamDDReader>(data);
        size_t records = 0;
        for (reader->First(); !reader->Eof(); reader->Next()) {
          ASSERT_LE(++records, data.size() + 1) << "does not end";
          for (int i = 0; i < reader->FieldCount(); ++i) {
            (void)reader->FieldName(i).size();
            (void)reader->FieldValue(i).size();
            (void)reader->IsNull(i);
          }
          (void)reader->FieldValueByName("DisplayValue");
          (void)reader->IsNullByName("SeqNo");
        }
        // And a dictionary built from what is left of the file.
        TReaderDD dd;
        dd.Reader = reader.get();
        try {
          dd.BuildDD();
          (void)dd.Translate("Open", "950", "0");
        } catch (const Exception&) {  // a missing field, a duplicate entry
          EXPECT_FALSE(dd.Built());
        }
        ++built;
      } catch (const EConvertError&) {
        ASSERT_EQ(kind, 1) << "only form text raises";
      }
    }
  }
  EXPECT_GT(built, 8000);
}
