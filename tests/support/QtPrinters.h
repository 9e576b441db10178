// Readable test failures for Qt's strings: a text as UTF-8 with its surrogates (the escapes of
// bytes that did not decode) named, bytes in hex. Found by Google Test through the argument's
// namespace.
#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
  for (QChar c : text)
    if (c.isSurrogate()) *out << " U+" << std::hex << int(c.unicode()) << std::dec;
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
  *out << "bytes " << bytes.toHex(' ').constData();
}
