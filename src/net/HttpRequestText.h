#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

namespace pw::net {

// File name part of a request path: "document.htm" for "" and "/", else the last path
// segment (one trailing "/" ignored), at most 255 characters, cut before any "?".
QString DocumentNameFromPath(const QString& path);

// "Tue, 07 Mar 2000 09:15:02 GMT" from the value's own fields (no time-zone conversion).
QByteArray FormatHttpDate(const QDateTime& when);

// Value of an Authorization header: "Basic " + Base64 of user ":" password.
QByteArray BasicAuthorization(const QString& user, const QString& password);

// What goes into a request header; empty texts are left out.
struct HttpRequestFields {
    QByteArray Method; // "GET", "POST", "HEAD"
    QString Target;    // path, or absolute address through a proxy
    QString Sender;    // From
    QString Accept;
    QString Reference;   // Referer
    QString ContentType; // POST only
    QString Agent;       // User-Agent
    QString Host;        // always sent
    bool NoCache = false;
    qint64 ContentLength = -1; // POST only
    QDateTime ModifiedSince;   // invalid: not sent
    QString Username;
    QString Password;
    QString ProxyUsername; // only when a proxy is used
    QString ProxyPassword;
    QString Cookie;
    QString RangeBegin;
    QString RangeEnd;
};

// The request header lines, each passed through onCommand (which may change or empty
// it; an emptied line still ends in CR LF), without the blank line that ends the header.
QByteArray BuildRequestHeader(const HttpRequestFields& fields,
                              const std::function<void(QByteArray& line)>& onCommand = {});

} // namespace pw::net
