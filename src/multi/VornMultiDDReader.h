// Dictionary readers: the table interface IDDReader, the three readers over a byte stream
// (CSV text, form text, binary) and the registry of reader factories by ID.
//
// A reader copies its whole source at construction, reads the header and stands on the first
// record. Readers do no character-set conversion: names and values are the file's bytes,
// changed only by the escape rules of the format. Every read stays inside the data, whatever
// the file holds.
#pragma once

#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The table interface of a dictionary source.
class IDDReader {
 public:
  virtual ~IDDReader() = default;
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  virtual int FieldCount() const = 0;
  virtual int RecordCount() const = 0;
  virtual int RecNo() const = 0;
  // Field index 0 .. FieldCount() - 1; any other index answers "" (and IsNull true).
  virtual const std::string& FieldName(int index) const = 0;
  virtual const std::string& FieldValue(int index) const = 0;
  // The first field whose name equals `name` in any letter case; "" if there is none.
  virtual const std::string& FieldValueByName(std::string_view name) const = 0;
  virtual bool IsNull(int index) const = 0;
  virtual bool IsNullByName(std::string_view name) const = 0;
  virtual int ReservedA() const = 0;
  virtual int ReservedB() const = 0;
  virtual void BeginRead() = 0;
  virtual void EndRead() = 0;
};

class TCustomDDReader : public IDDReader {};

// The in-memory copy of the source, the current record and the common queries.
class TCustomStreamDDReader : public TCustomDDReader {
 public:
  void First() override { FRecordNumber = 0; }
  bool Eof() const override { return FAtEnd; }
  int FieldCount() const override { return static_cast<int>(FFieldNames.size()); }
  int RecordCount() const override { return FRecordTotal; }
  int RecNo() const override { return FRecordNumber; }
  const std::string& FieldName(int index) const override;
  const std::string& FieldValue(int index) const override;
  const std::string& FieldValueByName(std::string_view name) const override;
  bool IsNull(int index) const override;
  int ReservedA() const override { return 0; }
  int ReservedB() const override { return 0; }
  void BeginRead() override {}
  void EndRead() override {}

 protected:
  // Copies the whole stream (from its current position to its end).
  explicit TCustomStreamDDReader(std::istream& stream);
  explicit TCustomStreamDDReader(std::string data) : FData(std::move(data)) {}
  // Index of the first field named `name` in any letter case, or -1.
  int IndexOfField(std::string_view name) const;
  void SetFieldCount(size_t n);

  std::vector<std::string> FValues;
  std::vector<char> FNulls;
  std::vector<std::string> FFieldNames;
  bool FAtEnd = true;
  int FRecordTotal = 0;
  int FRecordNumber = 0;
  std::string FData;
};

// Text files of separator-terminated fields, a header line of names, CR LF line ends.
class TCustomTextStreamDDReader : public TCustomStreamDDReader {
 public:
  void First() override;
  void Next() override { ReadRecord(); }
  bool IsNullByName(std::string_view name) const override;  // false for an unknown name

 protected:
  TCustomTextStreamDDReader(std::istream& stream, char separator = ',', char quote = '"');
  TCustomTextStreamDDReader(std::string data, char separator = ',', char quote = '"');
  // Decodes a field's raw text into `value`.
  virtual void DecodeValue(std::string_view raw, std::string& value) const = 0;
  // Reads the header and the first record; to be called by the final class's constructor.
  void Open();

  char Quote() const { return FQuote; }

 private:
  void ReadHeader();
  void ReadField(std::string& value, char& isNull);
  void ReadRecord();
  int CountRecords() const;

  size_t FDataStart = 0;
  size_t FCurrent = 0;
  char FSeparator;
  char FQuote;
};

// CSV values: "" is a quote, a lone quote is dropped, %% %0 %c %n are "%", NUL, CR and LF.
class TTextCSVStreamDDReader : public TCustomTextStreamDDReader {
 public:
  explicit TTextCSVStreamDDReader(std::istream& stream, char separator = ',', char quote = '"');
  explicit TTextCSVStreamDDReader(std::string data, char separator = ',', char quote = '"');

 protected:
  void DecodeValue(std::string_view raw, std::string& value) const override;
};

// Form-text values: quoted stretches with doubled quotes, #nn character codes between them.
// A "#" without digits, or with a number beyond a 32-bit integer, raises EConvertError.
class TTextDFMStreamDDReader : public TCustomTextStreamDDReader {
 public:
  explicit TTextDFMStreamDDReader(std::istream& stream, char separator = ',', char quote = '"');
  explicit TTextDFMStreamDDReader(std::string data, char separator = ',', char quote = '"');

 protected:
  void DecodeValue(std::string_view raw, std::string& value) const override;
};

// Length-prefixed binary: field count, names, record count, then records until the end of the
// data; 32-bit little-endian integers, a length of -1 marks a null field.
class TBinaryStreamDDReader : public TCustomStreamDDReader {
 public:
  explicit TBinaryStreamDDReader(std::istream& stream);
  explicit TBinaryStreamDDReader(std::string data);
  void First() override;
  void Next() override { ReadRecord(); }
  bool IsNullByName(std::string_view name) const override;  // true for an unknown name

 private:
  void ReadHeader();
  void ReadRecord();
  // The next integer; a truncated one ends the data.
  int32_t ReadInt();
  // The next `length` bytes, as many as there are.
  void ReadBytes(int32_t length, std::string& out);

  size_t FDataStart = 0;
  size_t FPosition = 0;
};

// A reader factory: makes a reader over a stream, as a registered reader class does.
using TDDReaderClass = std::unique_ptr<TCustomDDReader> (*)(std::istream& stream);

template <typename T>
std::unique_ptr<TCustomDDReader> CreateDDReader(std::istream& stream) {
  return std::make_unique<T>(stream);
}

// Reader classes by ID, kept in order of ID compared without regard to letter case.
class TVornMultiStreamDDReaderStorage {
 public:
  // Raises Exception "dictionary reader "%s" already registered!" for an ID already there.
  void RegisterReader(const std::string& readerID, TDDReaderClass readerClass);
  // The class registered under the ID (any letter case), or null.
  TDDReaderClass FindReaderClass(std::string_view readerID) const;
  int Count() const { return static_cast<int>(FReaders.size()); }
  const std::string& ReaderID(int index) const {
    return FReaders[static_cast<size_t>(index)].first;
  }

 private:
  std::vector<std::pair<std::string, TDDReaderClass>> FReaders;
};

// The process's reader registry with "VornTextDFM", "VornTextCSV" and "VornBinary".
TVornMultiStreamDDReaderStorage& VornMultiStreamDDReaderStorage();

// Comparison of names without regard to (ASCII) letter case: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
