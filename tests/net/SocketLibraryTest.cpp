#include "RaisedText.h"
#include "net/TWSocket.h"
#include "net/WSocketApi.h"
#include "net/WSocketLibrary.h"
#include "platform/SocketErrors.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <memory>
#include <netdb.h>

using namespace pw::net;
using pw::test::RaisedText;

TEST(SocketLibrary, DottedAddressesAreRecognisedStrictly)
{
    for (const char* good :
         {"1.2.3.4", "  1.2.3.4  ", "0.0.0.0", "255.255.255.255", "10.0.0.001", "1.2.3.4 "})
        EXPECT_TRUE(IsDottedAddress(QString::fromLatin1(good))) << good;
    for (const char* bad : {".1.2.3", "1.2.3", "1.2.3.4.5", "1..2.3", "1.2.3.256", "1.2.3.", "1.2.3.4x", "",
                            "   ", "256.1.1.1", "1.2.3.4 x", "a.b.c.d", "1.2.3.99999999999999999999"})
        EXPECT_FALSE(IsDottedAddress(QString::fromLatin1(bad))) << bad;
    EXPECT_TRUE(WSocket_IsDottedAddress(QStringLiteral("127.0.0.1")));
}

TEST(SocketLibrary, PortsResolveFromDigitsOrServiceNames)
{
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("80abc"), QStringLiteral("tcp")), 80);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("8080"), QString()), 8080);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("70000"), QStringLiteral("tcp")), 70000 & 0xFFFF);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("http"), QStringLiteral("tcp")), 80);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral(" http "), QStringLiteral(" tcp ")), 80);
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("http"), QString()), 80);

    EXPECT_EQ(RaisedText([] { WSocketResolvePort(QString(32, QLatin1Char('1')), QStringLiteral("tcp")); }),
              QStringLiteral("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(WSocketResolvePort(QString(31, QLatin1Char('0')), QStringLiteral("tcp")), 0);
    EXPECT_EQ(RaisedText([] { WSocketResolvePort(QString(), QStringLiteral("tcp")); }),
              QStringLiteral("WSocketResolvePort: Invalid Port."));
    EXPECT_EQ(RaisedText([] { WSocketResolvePort(QStringLiteral("nosuchservice"), QStringLiteral("tcp")); }),
              QStringLiteral("WSocketResolvePort: Cannot convert port 'nosuchservice', Error #11004"));
}

TEST(SocketLibrary, ProtocolsAndHostsResolve)
{
    EXPECT_EQ(WSocketResolveProto(QStringLiteral("tcp")), 6);
    EXPECT_EQ(WSocketResolveProto(QStringLiteral(" udp ")), 17);
    EXPECT_EQ(WSocketResolveProto(QStringLiteral("17x")), 17);
    EXPECT_EQ(WSocketResolveProto(QStringLiteral("icmp")), 1); // from the protocols database
    EXPECT_EQ(RaisedText([] { WSocketResolveProto(QString()); }),
              QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    EXPECT_EQ(RaisedText([] { WSocketResolveProto(QString(32, QLatin1Char('x'))); }),
              QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    EXPECT_EQ(RaisedText([] { WSocketResolveProto(QStringLiteral("nosuchproto")); }),
              QStringLiteral("WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004"));

    EXPECT_EQ(WSocketResolveHost(QStringLiteral("127.0.0.1")), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketResolveHost(QStringLiteral(" 10.1.2.3 ")), htonl(0x0A010203u));
    EXPECT_EQ(WSocketResolveHost(QStringLiteral("255.255.255.255")),
              0xFFFFFFFFu); // broadcast, not "no address"
    EXPECT_EQ(WSocketResolveHost(QStringLiteral("localhost")), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(RaisedText([] { WSocketResolveHost(QString()); }),
              QStringLiteral("WSocketResolveHost: '' Invalid Hostname."));
    EXPECT_EQ(
        RaisedText([] { WSocketResolveHost(QString(257, QLatin1Char('a'))); }),
        QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(QString(257, QLatin1Char('a'))));
    // Leading zeros are octal to the address conversion, and 09 is no octal number.
    EXPECT_EQ(RaisedText([] { WSocketResolveHost(QStringLiteral("1.2.3.09")); }),
              QStringLiteral("WSocketResolveHost: '1.2.3.09' Invalid IP address."));
    EXPECT_EQ(RaisedText([] { WSocketResolveHost(QStringLiteral("nonexistent.invalid")); }),
              QStringLiteral(
                  "WSocketResolveHost: Cannot convert host address 'nonexistent.invalid', Error #11001"));
}

TEST(SocketLibrary, ErrorTextsAndPlatformErrorNumbers)
{
    EXPECT_EQ(SocketErrorText(0), QStringLiteral("No Error"));
    EXPECT_EQ(SocketErrorText(10035), QStringLiteral("Operation would block"));
    EXPECT_EQ(SocketErrorText(10047), QStringLiteral("Address family not supported by protocol family"));
    EXPECT_EQ(SocketErrorText(10061), QStringLiteral("Connection refused"));
    EXPECT_EQ(SocketErrorText(10093), QStringLiteral("WinSock not initialized"));
    EXPECT_EQ(SocketErrorText(11001), QStringLiteral("Host not found"));
    EXPECT_EQ(SocketErrorText(11004), QStringLiteral("No Data"));
    EXPECT_EQ(SocketErrorText(10000), QStringLiteral("Not a WinSock error"));
    EXPECT_EQ(SocketErrorText(-1), QStringLiteral("Not a WinSock error"));

    using namespace pw::platform;
    EXPECT_EQ(SocketErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EINPROGRESS), 10035);
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrorFromErrno(EPIPE), 10054);
    EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(SocketErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SocketErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(SocketErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromGai(EAI_NONAME, 0), 11001);
    EXPECT_EQ(SocketErrorFromGai(EAI_AGAIN, 0), 11002);
    EXPECT_EQ(SocketErrorFromGai(EAI_FAIL, 0), 11003);
    EXPECT_EQ(SocketErrorFromGai(EAI_NODATA, 0), 11004);
    EXPECT_EQ(SocketErrorFromGai(EAI_SYSTEM, ECONNREFUSED), 10061);
    // Every mapped number has a text of its own.
    for (int e : {EBADF, EACCES, EINVAL, EMFILE, EALREADY, ENOTSOCK, EMSGSIZE, EADDRNOTAVAIL, ENETDOWN,
                  ECONNABORTED, ENOBUFS, EISCONN, ESHUTDOWN, EHOSTDOWN})
        EXPECT_NE(SocketErrorText(SocketErrorFromErrno(e)), QStringLiteral("Not a WinSock error")) << e;
}

TEST(SocketLibrary, LastSocketReleasesTheLibraryAndTheNextCallLoadsIt)
{
    ASSERT_EQ(WSocketApi::LiveSockets(), 0);
    WSocketApi::Release();
    {
        auto a = std::make_unique<TWSocket>();
        auto b = std::make_unique<TWSocket>();
        EXPECT_EQ(WSocketApi::LiveSockets(), 2);
        EXPECT_FALSE(WSocketApi::Loaded()); // creating a socket loads nothing
        a->DnsLookup(QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(WSocketApi::Loaded());
        a.reset();
        EXPECT_EQ(WSocketApi::LiveSockets(), 1);
        EXPECT_TRUE(WSocketApi::Loaded());
    }
    EXPECT_EQ(WSocketApi::LiveSockets(), 0);
    EXPECT_FALSE(WSocketApi::Loaded());
    EXPECT_EQ(WSocketResolvePort(QStringLiteral("http"), QStringLiteral("tcp")), 80);
    EXPECT_TRUE(WSocketApi::Loaded());
}
