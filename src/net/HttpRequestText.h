#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace pw::net {

// File name part of a request path: "document.htm" for "" and "/", else the last path
// segment (one trailing "/" ignored), at most 255 characters, cut before any "?".
QString DocumentNameFromPath(const QString& path);

// "Tue, 07 Mar 2000 09:15:02 GMT" from the value's own fields (no time-zone conversion).
QByteArray FormatHttpDate(const QDateTime& when);

// Value of an Authorization header: "Basic " + Base64 of user ":" password.
QByteArray BasicAuthorization(const QString& user, const QString& password);

} // namespace pw::net
