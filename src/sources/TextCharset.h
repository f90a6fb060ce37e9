#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pw::sources {

// The charset parameter of a Content-Type value ("text/html; charset=ISO-8859-1"),
// without quotes; empty when there is none.
QByteArray CharsetOfContentType(const QString& contentType);

// The character set an HTML page declares for itself in its first bytes: <meta
// charset>, or <meta http-equiv="Content-Type" content="...; charset=...">. Empty when
// it declares none.
QByteArray HtmlDeclaredCharset(const QByteArray& page);

// Bytes as text in the named character set. As browsers do, "ISO-8859-1", "latin1" and
// "US-ASCII" mean windows-1252 (pages so labelled use its quotes and dashes). An empty
// or unknown name means UTF-8, and text that is no valid UTF-8 is read as windows-1252.
QString DecodeText(const QByteArray& bytes, const QByteArray& charset);

// The encoding an XML document's declaration names; empty when it names none.
QByteArray XmlDeclaredEncoding(const QByteArray& document);

// Whether the name is one that DecodeText reads as windows-1252.
bool IsWesternCharset(const QByteArray& charset);

// Whether the bytes are UTF-16 (a byte order mark, or a zero among the first two bytes,
// as "<" in UTF-16 has); bigEndian tells which order when they are.
bool LooksUtf16(QByteArrayView bytes, bool* bigEndian = nullptr);

// Whether bytes read as UTF-8 without a fault.
bool IsValidUtf8(const QByteArray& bytes);

} // namespace pw::sources
