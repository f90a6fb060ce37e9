#pragma once

#include "net/THttpCli.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <ostream>

// Readable gtest output for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace pw::test {

// Connects every event of a client and writes down what happened, in order:
// "State:ResolvingHost", "HeaderData:Content-Type: text/html", "DocData:1234", "Done:1:0".
class HttpEventLog {
public:
    explicit HttpEventLog(net::THttpCli& client);

    QStringList events;
    QByteArray body;         // what OnDocData delivered
    QStringList headerLines; // CurrentLine during OnHeaderData
    int done = 0;            // OnRequestDone count
    std::uint16_t lastError = 0;
    net::THttpRequest lastKind = net::THttpRequest::None;

    // Events without the state changes and per-chunk data, for order checks.
    QStringList Milestones() const;
    int Count(const QString& prefix) const;
};

} // namespace pw::test
