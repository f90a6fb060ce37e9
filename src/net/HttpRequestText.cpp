#include "net/HttpRequestText.h"

#include <cstdio>

namespace pw::net {

QString DocumentNameFromPath(const QString& path)
{
    if (path.isEmpty() || path == QLatin1String("/"))
        return QStringLiteral("document.htm");
    QString name = path;
    if (name.endsWith(QLatin1Char('/')))
        name.chop(1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1).left(255);
    const qsizetype query = name.indexOf(QLatin1Char('?'));
    if (query >= 0)
        name.truncate(query);
    return name;
}

QByteArray FormatHttpDate(const QDateTime& when)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = when.date();
    const QTime t = when.time();
    if (!d.isValid())
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d GMT", days[d.dayOfWeek() - 1],
                  d.day(), months[d.month() - 1], d.year(), t.hour(), t.minute(), t.second());
    return QByteArray(text);
}

QByteArray BasicAuthorization(const QString& user, const QString& password)
{
    return "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64();
}

QByteArray BuildRequestHeader(const HttpRequestFields& f,
                              const std::function<void(QByteArray& line)>& onCommand)
{
    QByteArray header;
    const auto line = [&](QByteArray text) {
        if (onCommand)
            onCommand(text);
        header += text;
        header += "\r\n";
    };
    const auto field = [&](const char* name, const QString& value) {
        if (!value.isEmpty())
            line(QByteArray(name) + ": " + value.toUtf8());
    };
    line(f.Method + ' ' + f.Target.toUtf8() + " HTTP/1.0");
    field("From", f.Sender);
    field("Accept", f.Accept);
    field("Referer", f.Reference);
    field("Content-Type", f.ContentType);
    field("User-Agent", f.Agent);
    line("Host: " + f.Host.toUtf8());
    if (f.NoCache)
        line("Pragma: no-cache");
    if (f.ContentLength >= 0)
        line("Content-Length: " + QByteArray::number(f.ContentLength));
    if (f.ModifiedSince.isValid())
        line("If-Modified-Since: " + FormatHttpDate(f.ModifiedSince));
    if (!f.Username.isEmpty())
        line("Authorization: " + BasicAuthorization(f.Username, f.Password));
    if (!f.ProxyUsername.isEmpty())
        line("Proxy-Authorization: " + BasicAuthorization(f.ProxyUsername, f.ProxyPassword));
    field("Cookie", f.Cookie);
    if (!f.RangeBegin.isEmpty() || !f.RangeEnd.isEmpty())
        line("Range: bytes=" + f.RangeBegin.toUtf8() + '-' + f.RangeEnd.toUtf8());
    return header;
}

} // namespace pw::net
