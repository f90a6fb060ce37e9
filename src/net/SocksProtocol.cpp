#include "SocksProtocol.h"

namespace pw::net::socks {

namespace {

Reply Fail(int error, const QString& msg)
{
    Reply r;
    r.status = Reply::Failed;
    r.Error = error;
    r.Msg = msg;
    return r;
}

Reply Done(int length, std::uint8_t value = 0)
{
    Reply r;
    r.status = Reply::Complete;
    r.Length = length;
    r.Value = value;
    return r;
}

std::uint8_t At(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

Reply VersionMismatch()
{
    return Fail(VersionError, QStringLiteral("socks version error"));
}

Reply Unassigned(std::uint8_t code)
{
    return Fail(UnassignedError, QStringLiteral("unassigned error #%1").arg(code));
}

void AppendPort(QByteArray& out, std::uint16_t port)
{
    out.append(static_cast<char>(port >> 8));
    out.append(static_cast<char>(port & 0xFF));
}

} // namespace

Reply ParseMethodReply(QByteArrayView bytes)
{
    if (!bytes.isEmpty() && At(bytes, 0) != 5)
        return VersionMismatch();
    if (bytes.size() < 2)
        return {};
    // The server may not speak before it has our next request.
    if (bytes.size() > 2)
        return Fail(ProtocolError, QStringLiteral("too much data availaible"));
    return Done(2, At(bytes, 1));
}

Reply ParseAuthReply(QByteArrayView bytes)
{
    if (!bytes.isEmpty() && At(bytes, 0) != 1)
        return VersionMismatch();
    if (bytes.size() < 2)
        return {};
    if (At(bytes, 1) != 0)
        return Fail(AuthenticationFailed, QStringLiteral("socks authentication failed"));
    if (bytes.size() > 2)
        return Fail(ProtocolError, QStringLiteral("too much data availaible"));
    return Done(2);
}

Reply ParseSocks4Reply(QByteArrayView bytes)
{
    if (!bytes.isEmpty() && At(bytes, 0) != 0)
        return VersionMismatch();
    if (bytes.size() < 8)
        return {};
    switch (const std::uint8_t code = At(bytes, 1)) {
    case 90:
        return Done(8);
    case 91:
        return Fail(RejectedOrFailed, QStringLiteral("request rejected or failed"));
    case 92:
        return Fail(ConnectionRefused, QStringLiteral("connection refused"));
    case 93:
        return Fail(AuthenticationFailed, QStringLiteral("authentification failed"));
    default:
        return Unassigned(code);
    }
}

Reply ParseSocks5Reply(QByteArrayView bytes)
{
    if (!bytes.isEmpty() && At(bytes, 0) != 5)
        return VersionMismatch();
    if (bytes.size() >= 2) {
        switch (const std::uint8_t code = At(bytes, 1)) {
        case 0:
            break;
        case 1:
            return Fail(GeneralFailure, QStringLiteral("general SOCKS server failure"));
        case 2:
            return Fail(ConnectionNotAllowed, QStringLiteral("connection not allowed by ruleset"));
        case 3:
            return Fail(NetworkUnreachable, QStringLiteral("network unreachable"));
        case 4:
            return Fail(HostUnreachable, QStringLiteral("host unreachable"));
        case 5:
            return Fail(ConnectionRefused, QStringLiteral("connection refused"));
        case 6:
            return Fail(TtlExpired, QStringLiteral("time to live expired"));
        case 7:
            return Fail(UnknownCommand, QStringLiteral("command not supported"));
        case 8:
            return Fail(UnknownAddressType, QStringLiteral("address type not supported"));
        default:
            return Unassigned(code);
        }
    }
    if (bytes.size() < 5)
        return {};
    int length = 0;
    switch (At(bytes, 3)) {
    case 1: // IPv4
        length = 10;
        break;
    case 3: // host name with its length byte
        length = At(bytes, 4) + 7;
        break;
    case 4: // IPv6: a server bound to one still connected us
        length = 22;
        break;
    default:
        return Fail(UnknownAddressType, QStringLiteral("address type not supported"));
    }
    if (bytes.size() < length)
        return {};
    return Done(length);
}

QByteArray Socks5Greeting(bool offerUsercode)
{
    QByteArray out;
    out.append('\x05').append('\x01');
    out.append(static_cast<char>(offerUsercode ? MethodUsercode : MethodNoAuthentication));
    return out;
}

QByteArray AuthRequest(const QByteArray& usercode, const QByteArray& password)
{
    QByteArray out;
    out.append('\x01');
    out.append(static_cast<char>(usercode.size())).append(usercode);
    out.append(static_cast<char>(password.size())).append(password);
    return out;
}

QByteArray Socks4Request(std::uint16_t port, std::uint32_t address, const QByteArray& usercode)
{
    QByteArray out;
    out.append('\x04').append('\x01');
    AppendPort(out, port);
    out.append(reinterpret_cast<const char*>(&address), 4); // already in network order
    out.append(usercode).append('\0');
    return out;
}

QByteArray Socks4ARequest(std::uint16_t port, const QByteArray& host, const QByteArray& usercode)
{
    QByteArray out;
    out.append('\x04').append('\x01');
    AppendPort(out, port);
    out.append("\0\0\0\x01", 4);
    out.append(usercode).append('\0');
    out.append(host).append('\0');
    return out;
}

QByteArray Socks5ConnectRequest(const QByteArray& host, std::uint16_t port)
{
    QByteArray out;
    out.append('\x05').append('\x01').append('\0').append('\x03');
    out.append(static_cast<char>(host.size())).append(host);
    AppendPort(out, port);
    return out;
}

} // namespace pw::net::socks
