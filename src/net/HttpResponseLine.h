#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

namespace pw::net {

// One classified line of a response header (without its line end).
struct HttpResponseLine {
    enum class Kind {
        Empty,  // end of the header
        Html,   // "<HTML>..." sent without any header
        Status, // "HTTP/1.0 200 OK" or "HTTP/1.1 ..."
        Field,  // "Name: value"
        Other,  // anything else; only reported
    };
    Kind kind = Kind::Other;
    int Status = 0;  // Status: the three digits, 0 when they are not digits
    QString Reason;  // Status: the text after the code
    QByteArray Name; // Field: lower-cased name
    QString Value;   // Field: value with leading blanks removed
};

HttpResponseLine ParseResponseLine(QByteArrayView line);

// Content-Length value; -1 when it is not a plain non-negative decimal number.
qint64 ParseContentLength(QStringView value);

// Content-Range value "bytes 0-99/200" gives {"0", "99"}; missing parts are empty.
struct HttpContentRange {
    QString Begin;
    QString End;
};
HttpContentRange ParseContentRange(QStringView value);

} // namespace pw::net
