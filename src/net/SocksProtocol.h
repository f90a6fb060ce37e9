#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

// The bytes of SOCKS 4, 4A and 5 (RFC 1928, user/password RFC 1929): requests are built
// and replies parsed here, without any I/O, so that the parsers can be fuzzed.
namespace pw::net::socks {

// Error numbers of the SOCKS layer, reported through OnSocksError, OnSessionConnected
// and OnSessionClosed.
inline constexpr int ProtocolError = 20001;
inline constexpr int VersionError = 20002;
inline constexpr int AuthMethodError = 20003;
inline constexpr int GeneralFailure = 20004;
inline constexpr int ConnectionNotAllowed = 20005;
inline constexpr int NetworkUnreachable = 20006;
inline constexpr int HostUnreachable = 20007;
inline constexpr int ConnectionRefused = 20008;
inline constexpr int TtlExpired = 20009;
inline constexpr int UnknownCommand = 20010;
inline constexpr int UnknownAddressType = 20011;
inline constexpr int UnassignedError = 20012;
inline constexpr int InternalError = 20013;
inline constexpr int AuthenticationFailed = 20015;
inline constexpr int RejectedOrFailed = 20016;
inline constexpr int HostResolutionFailed = 20017;

// RFC 1929 lengths and the SOCKS 5 host name length are one byte each.
inline constexpr int MaxFieldLength = 255;

inline constexpr std::uint8_t MethodNoAuthentication = 0;
inline constexpr std::uint8_t MethodUsercode = 2;

// What the bytes collected so far make of a reply.
struct Reply {
    enum Status { NeedMore, Complete, Failed };
    Status status = NeedMore;
    int Length = 0;         // Complete: bytes of the reply; anything behind it is data
    std::uint8_t Value = 0; // Complete method reply: the chosen method
    int Error = 0;          // Failed
    QString Msg;            // Failed
};

// SOCKS 5 method choice: version 5 and the method; nothing may follow it.
Reply ParseMethodReply(QByteArrayView bytes);
// RFC 1929 status: version 1 and 0 for success; nothing may follow it.
Reply ParseAuthReply(QByteArrayView bytes);
// SOCKS 4/4A reply: 8 bytes, version 0, code 90 for success.
Reply ParseSocks4Reply(QByteArrayView bytes);
// SOCKS 5 connect reply: version 5, status 0, and the bound address of its type.
Reply ParseSocks5Reply(QByteArrayView bytes);

QByteArray Socks5Greeting(bool offerUsercode);
QByteArray AuthRequest(const QByteArray& usercode, const QByteArray& password);
// SOCKS 4 with an address in network order; with a host name (4A) the address is
// 0.0.0.1 and the name follows the user code.
QByteArray Socks4Request(std::uint16_t port, std::uint32_t address, const QByteArray& usercode);
QByteArray Socks4ARequest(std::uint16_t port, const QByteArray& host, const QByteArray& usercode);
// SOCKS 5 connect by domain name, used for dotted addresses as well.
QByteArray Socks5ConnectRequest(const QByteArray& host, std::uint16_t port);

} // namespace pw::net::socks
