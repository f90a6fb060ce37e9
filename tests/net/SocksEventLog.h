#pragma once

#include "net/TWSocket.h"

#include <QByteArray>
#include <QStringList>
#include <ostream>

// Event lists read as text in test failures.
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << list.join(QLatin1Char('|')).toStdString();
}

namespace pw::test {

// Records the events of a socket with its SOCKS and line layers as text, in order; each
// OnDataAvailable reads with a buffer of ReadSize bytes and records what it got.
struct SocksEventLog {
    QStringList events;
    QByteArray received;
    int ReadSize = 65536;

    explicit SocksEventLog(net::TWSocket& s)
    {
        using net::TCustomWSocket;
        s.OnSocksConnected = [this](TCustomWSocket*, std::uint16_t e) {
            events << QStringLiteral("socksconnected %1").arg(e);
        };
        s.OnSocksError = [this](TCustomWSocket*, int e, const QString& msg) {
            events << QStringLiteral("sockserror %1 %2").arg(e).arg(msg);
        };
        s.OnSocksAuthState = [this](TCustomWSocket*, net::TSocksAuthState a) {
            events << QStringLiteral("auth %1").arg(a);
        };
        s.OnSessionConnected = [this](TCustomWSocket*, std::uint16_t e) {
            events << QStringLiteral("connected %1").arg(e);
        };
        s.OnSessionClosed = [this](TCustomWSocket*, std::uint16_t e) {
            events << QStringLiteral("closed %1").arg(e);
        };
        s.OnDataAvailable = [this](TCustomWSocket* sender, std::uint16_t) {
            QByteArray buf(ReadSize, Qt::Uninitialized);
            const int n = sender->Receive(buf.data(), ReadSize);
            if (n > 0) {
                received.append(buf.constData(), n);
                events << QStringLiteral("data ") + QString::fromLatin1(buf.left(n).toPercentEncoding());
            }
        };
    }

    bool Has(const QString& prefix) const
    {
        for (const QString& e : events)
            if (e.startsWith(prefix))
                return true;
        return false;
    }
    QString Text() const { return events.join(QLatin1Char('|')); }
};

} // namespace pw::test
