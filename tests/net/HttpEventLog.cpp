#include "HttpEventLog.h"

namespace pw::test {

using net::THttpCli;

HttpEventLog::HttpEventLog(THttpCli& client)
{
    const auto note = [this](const char* name) {
        return [this, name](THttpCli*) { events << QString::fromLatin1(name); };
    };
    client.OnStateChange = [this](THttpCli* c) {
        events << QStringLiteral("State:") + QString::fromLatin1(net::HttpStateName(c->ClientState()));
    };
    client.OnSessionConnected = note("SessionConnected");
    client.OnRequestHeaderBegin = note("RequestHeaderBegin");
    client.OnRequestHeaderEnd = note("RequestHeaderEnd");
    client.OnCommand = [this](THttpCli*, QByteArray& line) {
        events << QStringLiteral("Command:") + QString::fromLatin1(line);
    };
    client.OnHeaderBegin = note("HeaderBegin");
    client.OnHeaderData = [this](THttpCli* c) {
        headerLines << c->CurrentLineText();
        events << QStringLiteral("HeaderData:") + c->CurrentLineText();
    };
    client.OnCookie = [this](THttpCli*, const QString& data, bool&) {
        events << QStringLiteral("Cookie:") + data;
    };
    client.OnHeaderEnd = note("HeaderEnd");
    client.OnDocBegin = note("DocBegin");
    client.OnDocData = [this](THttpCli* c, const char* data, qint64 len) {
        body.append(data, len);
        if (c->CurrentLine().size() != len)
            events << QStringLiteral("CurrentLineMismatch");
        events << QStringLiteral("DocData:") + QString::number(len);
    };
    client.OnDocEnd = note("DocEnd");
    client.OnLocationChange = note("LocationChange");
    client.OnRequestDone = [this](THttpCli*, net::THttpRequest kind, std::uint16_t error) {
        ++done;
        lastError = error;
        lastKind = kind;
        events << QStringLiteral("Done:%1:%2").arg(static_cast<int>(kind)).arg(error);
    };
}

QStringList HttpEventLog::Milestones() const
{
    QStringList result;
    for (const QString& e : events) {
        if (e.startsWith(QLatin1String("DocData:")) || e.startsWith(QLatin1String("Command:")) ||
            e.startsWith(QLatin1String("HeaderData:")))
            continue;
        result << e;
    }
    return result;
}

int HttpEventLog::Count(const QString& prefix) const
{
    int n = 0;
    for (const QString& e : events)
        n += e.startsWith(prefix) ? 1 : 0;
    return n;
}

} // namespace pw::test
