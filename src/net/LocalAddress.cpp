#include "net/LocalAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace pw::net {

bool IsLocalHost(const QString& host)
{
    QString name = host.trimmed().toLower();
    while (name.endsWith(QLatin1Char('.'))) // "localhost." is localhost
        name.chop(1);
    if (name == QLatin1String("localhost") || name.endsWith(QLatin1String(".localhost")))
        return true;
    in_addr address{};
    if (inet_aton(name.toLatin1().constData(), &address) == 0)
        return false;
    const quint32 a = ntohl(address.s_addr);
    const auto in = [a](quint32 net, int bits) { return (a >> (32 - bits)) == (net >> (32 - bits)); };
    return in(0x00000000, 8) ||  // 0.0.0.0/8
           in(0x7f000000, 8) ||  // loopback
           in(0x0a000000, 8) ||  // 10/8
           in(0xac100000, 12) || // 172.16/12
           in(0xc0a80000, 16) || // 192.168/16
           in(0xa9fe0000, 16);   // link-local
}

} // namespace pw::net
