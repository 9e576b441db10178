#include "VornMultiDDReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "Format.h"
#include "VornMultiConsts.h"

namespace {

const std::string kEmpty;
constexpr char CR = 13;

std::string ReadAll(std::istream& stream) {
  std::string data;
  std::streampos start = stream.tellg();
  if (start != std::streampos(-1) && stream.seekg(0, std::ios::end)) {
    std::streamoff size = stream.tellg() - start;
    stream.seekg(start);
    if (size > 0) {
      data.resize(static_cast<size_t>(size));
      stream.read(data.data(), size);
      data.resize(static_cast<size_t>(stream.gcount()));
    }
    return data;
  }
  stream.clear();
  data.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  return data;
}

unsigned char Lower(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int d = Lower(a[i]) - Lower(b[i]);
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// --- TCustomStreamDDReader ---

TCustomStreamDDReader::TCustomStreamDDReader(std::istream& stream) : FData(ReadAll(stream)) {}

void TCustomStreamDDReader::SetFieldCount(size_t n) {
  FValues.resize(n);
  FNulls.resize(n, 0);
}

int TCustomStreamDDReader::IndexOfField(std::string_view name) const {
  for (size_t i = 0; i < FFieldNames.size(); ++i)
    if (CompareText(FFieldNames[i], name) == 0) return static_cast<int>(i);
  return -1;
}

const std::string& TCustomStreamDDReader::FieldName(int index) const {
  return index >= 0 && static_cast<size_t>(index) < FFieldNames.size() ? FFieldNames[index]
                                                                       : kEmpty;
}

const std::string& TCustomStreamDDReader::FieldValue(int index) const {
  return index >= 0 && static_cast<size_t>(index) < FValues.size() ? FValues[index] : kEmpty;
}

const std::string& TCustomStreamDDReader::FieldValueByName(std::string_view name) const {
  return FieldValue(IndexOfField(name));
}

bool TCustomStreamDDReader::IsNull(int index) const {
  return index >= 0 && static_cast<size_t>(index) < FNulls.size() ? FNulls[index] != 0 : true;
}

// --- TCustomTextStreamDDReader ---

TCustomTextStreamDDReader::TCustomTextStreamDDReader(std::istream& stream, char separator,
                                                     char quote)
    : TCustomStreamDDReader(stream), FSeparator(separator), FQuote(quote) {}

TCustomTextStreamDDReader::TCustomTextStreamDDReader(std::string data, char separator, char quote)
    : TCustomStreamDDReader(std::move(data)), FSeparator(separator), FQuote(quote) {}

void TCustomTextStreamDDReader::Open() {
  FAtEnd = FData.empty();
  FRecordTotal = 0;
  FRecordNumber = 0;
  FCurrent = 0;
  if (FData.empty()) return;
  ReadHeader();
  FRecordTotal = CountRecords();
  First();
}

bool TCustomTextStreamDDReader::IsNullByName(std::string_view name) const {
  int i = IndexOfField(name);
  return i >= 0 && FNulls[static_cast<size_t>(i)] != 0;
}

// A field runs to the next separator outside quotes; the separator is passed over.
void TCustomTextStreamDDReader::ReadField(std::string& value, char& isNull) {
  const size_t size = FData.size();
  const size_t begin = FCurrent;
  bool inside = false;
  while (FCurrent < size) {
    char c = FData[FCurrent];
    if (c == FQuote)
      inside = !inside;
    else if (c == FSeparator && !inside)
      break;
    ++FCurrent;
  }
  if (FCurrent == begin) {
    value.clear();
    isNull = 1;
  } else {
    DecodeValue(std::string_view(FData).substr(begin, FCurrent - begin), value);
    isNull = 0;
  }
  ++FCurrent;
}

void TCustomTextStreamDDReader::ReadHeader() {
  FCurrent = 0;
  std::string name;
  char isNull;
  while (FCurrent < FData.size()) {
    ReadField(name, isNull);
    FFieldNames.push_back(name);
    if (FCurrent < FData.size() && FData[FCurrent] == CR) break;
  }
  SetFieldCount(FFieldNames.size());
  ++FCurrent;
  FDataStart = FCurrent;
  FAtEnd = FCurrent + 1 >= FData.size();
}

int TCustomTextStreamDDReader::CountRecords() const {
  long long n = -1;
  bool inside = false;
  for (char c : FData) {
    if (c == FQuote)
      inside = !inside;
    else if (c == CR && !inside)
      ++n;
  }
  return static_cast<int>(std::min<long long>(n, std::numeric_limits<int>::max()));
}

void TCustomTextStreamDDReader::First() {
  FRecordNumber = 0;
  FCurrent = FDataStart;
  FAtEnd = FCurrent + 1 >= FData.size();
  if (!FAtEnd) ReadRecord();
}

void TCustomTextStreamDDReader::ReadRecord() {
  FAtEnd = FCurrent + 1 >= FData.size();
  if (FAtEnd) return;
  ++FCurrent;  // the LF of the previous line end
  for (size_t i = 0; i < FValues.size(); ++i) ReadField(FValues[i], FNulls[i]);
  ++FCurrent;  // the CR
  ++FRecordNumber;
}

// --- TTextCSVStreamDDReader ---

TTextCSVStreamDDReader::TTextCSVStreamDDReader(std::istream& stream, char separator, char quote)
    : TCustomTextStreamDDReader(stream, separator, quote) {
  Open();
}

TTextCSVStreamDDReader::TTextCSVStreamDDReader(std::string data, char separator, char quote)
    : TCustomTextStreamDDReader(std::move(data), separator, quote) {
  Open();
}

void TTextCSVStreamDDReader::DecodeValue(std::string_view raw, std::string& value) const {
  value.clear();
  const char quote = Quote();
  if (raw.size() == 2 && raw[0] == quote && raw[1] == quote) return;
  const size_t n = raw.size();
  size_t i = 0;
  while (i < n) {
    // Copy the plain run up to the next quote or "%" in one piece.
    size_t j = i;
    while (j < n && raw[j] != quote && raw[j] != '%') ++j;
    value.append(raw.data() + i, j - i);
    i = j;
    if (i >= n) break;
    char c = raw[i];
    if (c == quote) {
      if (i + 1 < n && raw[i + 1] == quote) {
        value += quote;
        i += 2;
      } else {
        i += 1;  // a lone quote is dropped
      }
      continue;
    }
    if (i + 1 >= n) break;  // "%" at the end is dropped
    switch (raw[i + 1]) {
      case '%':
        value += '%';
        break;
      case '0':
        value += '\0';
        break;
      case 'c':
        value += '\r';
        break;
      case 'n':
        value += '\n';
        break;
      default:  // not an escape: both characters stay as written
        value.append(raw.data() + i, 2);
        break;
    }
    i += 2;
  }
}

// --- TTextDFMStreamDDReader ---

TTextDFMStreamDDReader::TTextDFMStreamDDReader(std::istream& stream, char separator, char quote)
    : TCustomTextStreamDDReader(stream, separator, quote) {
  Open();
}

TTextDFMStreamDDReader::TTextDFMStreamDDReader(std::string data, char separator, char quote)
    : TCustomTextStreamDDReader(std::move(data), separator, quote) {
  Open();
}

void TTextDFMStreamDDReader::DecodeValue(std::string_view raw, std::string& value) const {
  value.clear();
  const char quote = Quote();
  if (raw.size() == 2 && raw[0] == quote && raw[1] == quote) return;
  const size_t n = raw.size();
  bool inString = false;
  size_t i = 0;
  while (i < n) {
    char c = raw[i];
    if (c == quote) {
      size_t k = 0;
      while (i < n && raw[i] == quote) ++k, ++i;
      value.append(inString ? k / 2 : (k - 1) / 2, quote);
      if (k % 2 == 1) inString = !inString;
    } else if (c == '#' && !inString) {
      size_t j = i + 1;
      long long number = 0;
      bool tooBig = false;
      while (j < n && raw[j] >= '0' && raw[j] <= '9') {
        number = number * 10 + (raw[j] - '0');
        if (number > std::numeric_limits<int32_t>::max()) {
          tooBig = true;
          number = 0;
        }
        ++j;
      }
      if (j == i + 1 || tooBig)
        throw EConvertError(Format("'%s' is not a valid integer value",
                                   {std::string(raw.substr(i + 1, j - i - 1))}));
      value += static_cast<char>(number % 256);
      i = j;
    } else {
      value += c;
      ++i;
    }
  }
}

// --- TBinaryStreamDDReader ---

TBinaryStreamDDReader::TBinaryStreamDDReader(std::istream& stream) : TCustomStreamDDReader(stream) {
  ReadHeader();
}

TBinaryStreamDDReader::TBinaryStreamDDReader(std::string data)
    : TCustomStreamDDReader(std::move(data)) {
  ReadHeader();
}

int32_t TBinaryStreamDDReader::ReadInt() {
  if (FData.size() - FPosition < 4) {
    FPosition = FData.size();
    return 0;
  }
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(FData[FPosition + i]);
  FPosition += 4;
  return static_cast<int32_t>(v);
}

void TBinaryStreamDDReader::ReadBytes(int32_t length, std::string& out) {
  size_t n = std::min<size_t>(static_cast<size_t>(length), FData.size() - FPosition);
  out.assign(FData, FPosition, n);
  FPosition += n;
}

void TBinaryStreamDDReader::ReadHeader() {
  FPosition = 0;
  int32_t count = ReadInt();
  // Every name takes at least its length: a count beyond that is not believed.
  size_t n = count > 0 ? std::min<size_t>(count, (FData.size() - FPosition) / 4) : 0;
  FFieldNames.resize(n);
  SetFieldCount(n);
  for (std::string& name : FFieldNames) {
    int32_t length = ReadInt();
    if (length > 0) ReadBytes(length, name);
  }
  FRecordTotal = ReadInt();
  // No more records than fit in the rest of the data, at four bytes per field at least.
  if (n > 0)
    FRecordTotal = static_cast<int>(std::min<long long>(
        FRecordTotal, static_cast<long long>((FData.size() - FPosition) / (4 * n))));
  else if (FRecordTotal > 0)
    FRecordTotal = 0;
  FDataStart = FPosition;
  First();
}

void TBinaryStreamDDReader::First() {
  FRecordNumber = 0;
  FPosition = FDataStart;
  ReadRecord();
}

void TBinaryStreamDDReader::ReadRecord() {
  // Without fields a record takes no bytes: there are no records to tell apart.
  FAtEnd = FPosition >= FData.size() || FValues.empty();
  if (FAtEnd) return;
  for (size_t i = 0; i < FValues.size(); ++i) {
    int32_t length = ReadInt();
    FNulls[i] = length == -1;
    if (length >= 0)
      ReadBytes(length, FValues[i]);
    else
      FValues[i].clear();
  }
  ++FRecordNumber;
}

bool TBinaryStreamDDReader::IsNullByName(std::string_view name) const {
  int i = IndexOfField(name);
  return i < 0 || FNulls[static_cast<size_t>(i)] != 0;
}

// --- TVornMultiStreamDDReaderStorage ---

void TVornMultiStreamDDReaderStorage::RegisterReader(const std::string& readerID,
                                                     TDDReaderClass readerClass) {
  auto at = std::lower_bound(
      FReaders.begin(), FReaders.end(), readerID,
      [](const auto& entry, const std::string& id) { return CompareText(entry.first, id) < 0; });
  if (at != FReaders.end() && CompareText(at->first, readerID) == 0)
    throw Exception(Format(SDDReaderAlreadyRegistered, {readerID}));
  FReaders.insert(at, {readerID, readerClass});
}

TDDReaderClass TVornMultiStreamDDReaderStorage::FindReaderClass(std::string_view readerID) const {
  auto at = std::lower_bound(
      FReaders.begin(), FReaders.end(), readerID,
      [](const auto& entry, std::string_view id) { return CompareText(entry.first, id) < 0; });
  if (at != FReaders.end() && CompareText(at->first, readerID) == 0) return at->second;
  return nullptr;
}

TVornMultiStreamDDReaderStorage& VornMultiStreamDDReaderStorage() {
  static TVornMultiStreamDDReaderStorage storage = [] {
    TVornMultiStreamDDReaderStorage s;
    s.RegisterReader("VornTextDFM", CreateDDReader<TTextDFMStreamDDReader>);
    s.RegisterReader("VornTextCSV", CreateDDReader<TTextCSVStreamDDReader>);
    s.RegisterReader("VornBinary", CreateDDReader<TBinaryStreamDDReader>);
    return s;
  }();
  return storage;
}
