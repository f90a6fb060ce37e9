#include "WSocketLibrary.h"

#include "WSocketApi.h"

#include <array>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>

namespace pw::net {

namespace {

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ');
}

// Leading blanks skipped, digits accumulated up to the first non-digit.
unsigned long LeadingNumber(const QString& s)
{
    int i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    unsigned long value = 0;
    for (; i < s.size() && s[i] >= QLatin1Char('0') && s[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + static_cast<unsigned long>(s[i].unicode() - '0');
        if (value > 0xFFFFFFFFul)
            value &= 0xFFFFFFFFul; // keeps the low bits like a 32-bit accumulator
    }
    return value;
}

bool StartsWithDigit(const QString& s)
{
    int i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return i < s.size() && s[i].isDigit() && s[i].unicode() < 128;
}

} // namespace

QString SocketErrorText(int ErrCode)
{
    switch (ErrCode) {
    case 0:
        return QStringLiteral("No Error");
    case WSAEINTR:
        return QStringLiteral("Interrupted system call");
    case WSAEBADF:
        return QStringLiteral("Bad file number");
    case WSAEACCES:
        return QStringLiteral("Permission denied");
    case WSAEFAULT:
        return QStringLiteral("Bad address");
    case WSAEINVAL:
        return QStringLiteral("Invalid argument");
    case WSAEMFILE:
        return QStringLiteral("Too many open files");
    case WSAEWOULDBLOCK:
        return QStringLiteral("Operation would block");
    case WSAEINPROGRESS:
        return QStringLiteral("Operation now in progress");
    case WSAEALREADY:
        return QStringLiteral("Operation already in progress");
    case WSAENOTSOCK:
        return QStringLiteral("Socket operation on non-socket");
    case WSAEDESTADDRREQ:
        return QStringLiteral("Destination address required");
    case WSAEMSGSIZE:
        return QStringLiteral("Message too long");
    case WSAEPROTOTYPE:
        return QStringLiteral("Protocol wrong type for socket");
    case WSAENOPROTOOPT:
        return QStringLiteral("Protocol not available");
    case WSAEPROTONOSUPPORT:
        return QStringLiteral("Protocol not supported");
    case WSAESOCKTNOSUPPORT:
        return QStringLiteral("Socket type not supported");
    case WSAEOPNOTSUPP:
        return QStringLiteral("Operation not supported on socket");
    case WSAEPFNOSUPPORT:
        return QStringLiteral("Protocol family not supported");
    case WSAEAFNOSUPPORT:
        return QStringLiteral("Address family not supported by protocol family");
    case WSAEADDRINUSE:
        return QStringLiteral("Address already in use");
    case WSAEADDRNOTAVAIL:
        return QStringLiteral("Address not available");
    case WSAENETDOWN:
        return QStringLiteral("Network is down");
    case WSAENETUNREACH:
        return QStringLiteral("Network is unreachable");
    case WSAENETRESET:
        return QStringLiteral("Network dropped connection on reset");
    case WSAECONNABORTED:
        return QStringLiteral("Connection aborted");
    case WSAECONNRESET:
        return QStringLiteral("Connection reset by peer");
    case WSAENOBUFS:
        return QStringLiteral("No buffer space available");
    case WSAEISCONN:
        return QStringLiteral("Socket is already connected");
    case WSAENOTCONN:
        return QStringLiteral("Socket is not connected");
    case WSAESHUTDOWN:
        return QStringLiteral("Can't send after socket shutdown");
    case WSAETOOMANYREFS:
        return QStringLiteral("Too many references: can't splice");
    case WSAETIMEDOUT:
        return QStringLiteral("Connection timed out");
    case WSAECONNREFUSED:
        return QStringLiteral("Connection refused");
    case WSAELOOP:
        return QStringLiteral("Too many levels of symbolic links");
    case WSAENAMETOOLONG:
        return QStringLiteral("File name too long");
    case WSAEHOSTDOWN:
        return QStringLiteral("Host is down");
    case WSAEHOSTUNREACH:
        return QStringLiteral("No route to host");
    case WSAENOTEMPTY:
        return QStringLiteral("Directory not empty");
    case WSAEPROCLIM:
        return QStringLiteral("Too many processes");
    case WSAEUSERS:
        return QStringLiteral("Too many users");
    case WSAEDQUOT:
        return QStringLiteral("Disc quota exceeded");
    case WSAESTALE:
        return QStringLiteral("Stale NFS file handle");
    case WSAEREMOTE:
        return QStringLiteral("Too many levels of remote in path");
    case WSASYSNOTREADY:
        return QStringLiteral("Network sub-system is unusable");
    case WSAVERNOTSUPPORTED:
        return QStringLiteral("WinSock DLL cannot support this application");
    case WSANOTINITIALISED:
        return QStringLiteral("WinSock not initialized");
    case WSAHOST_NOT_FOUND:
        return QStringLiteral("Host not found");
    case WSATRY_AGAIN:
        return QStringLiteral("Non-authoritative host not found");
    case WSANO_RECOVERY:
        return QStringLiteral("Non-recoverable error");
    case WSANO_DATA:
        return QStringLiteral("No Data");
    default:
        return QStringLiteral("Not a WinSock error");
    }
}

bool IsDottedAddress(const QString& S)
{
    int i = 0;
    const int n = S.size();
    while (i < n && IsBlank(S[i]))
        ++i;
    if (i < n && S[i] == QLatin1Char('.'))
        return false;
    int dots = 0;
    unsigned long number = 0;
    for (; i < n; ++i) {
        const QChar c = S[i];
        if (c == QLatin1Char('.')) {
            ++dots;
            if (dots > 3 || number > 255)
                return false;
            if (i + 1 >= n || !(S[i + 1] >= QLatin1Char('0') && S[i + 1] <= QLatin1Char('9')))
                return false;
            number = 0;
        } else if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            number = number * 10 + static_cast<unsigned long>(c.unicode() - '0');
            if (number > 255)
                return false; // no group can recover from here; also keeps the value bounded
        } else {
            for (; i < n; ++i)
                if (!IsBlank(S[i]))
                    return false;
            break;
        }
    }
    return dots == 3 && number <= 255;
}

std::uint32_t WSocketResolveHost(const QString& InAddr)
{
    if (InAddr.isEmpty() || InAddr.size() > 256)
        throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(InAddr));
    const QString text = InAddr.trimmed();
    if (IsDottedAddress(InAddr)) {
        const std::uint32_t addr = WSocketApi::InetAddr(text);
        if (addr == INADDR_NONE && text != QLatin1String("255.255.255.255"))
            throw ESocketException(
                QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(InAddr));
        return addr;
    }
    WSocketApi::EnsureLoaded();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const QByteArray name = text.toUtf8();
    const int rc = name.contains('\0') ? EAI_NONAME : ::getaddrinfo(name.constData(), nullptr, &hints, &list);
    if (rc != 0 || !list) {
        WSocketApi::SetLastError(rc != 0 ? platform::SocketErrorFromGai(rc, errno) : WSANO_DATA);
        throw ESocketException(
            QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2")
                .arg(InAddr)
                .arg(WSocketApi::GetLastError()));
    }
    const std::uint32_t addr = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(list);
    return addr;
}

std::uint16_t WSocketResolvePort(const QString& Port, const QString& Proto)
{
    if (Port.isEmpty() || Port.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
    if (StartsWithDigit(Port))
        return static_cast<std::uint16_t>(LeadingNumber(Port) & 0xFFFFu);
    WSocketApi::EnsureLoaded();
    const QByteArray name = Port.trimmed().toLatin1();
    const QByteArray proto = Proto.trimmed().toLatin1();
    servent entry{};
    servent* found = nullptr;
    std::array<char, 1024> buf{};
    ::getservbyname_r(name.constData(), proto.isEmpty() ? nullptr : proto.constData(), &entry, buf.data(),
                      buf.size(), &found);
    if (!found) {
        WSocketApi::SetLastError(WSANO_DATA);
        throw ESocketException(QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2")
                                   .arg(Port)
                                   .arg(WSocketApi::GetLastError()));
    }
    return ntohs(static_cast<std::uint16_t>(found->s_port));
}

int WSocketResolveProto(const QString& Proto)
{
    if (Proto.isEmpty() || Proto.size() >= 32)
        throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
    const QString text = Proto.trimmed();
    if (StartsWithDigit(text))
        return static_cast<int>(LeadingNumber(text) & 0x7FFFFFFFul);
    // Every connection names its protocol: the two fixed numbers spare a read of the
    // protocols database each time.
    if (text == QLatin1String("tcp"))
        return IPPROTO_TCP;
    if (text == QLatin1String("udp"))
        return IPPROTO_UDP;
    WSocketApi::EnsureLoaded();
    const QByteArray name = text.toLatin1();
    protoent entry{};
    protoent* found = nullptr;
    std::array<char, 1024> buf{};
    ::getprotobyname_r(name.constData(), &entry, buf.data(), buf.size(), &found);
    if (!found) {
        WSocketApi::SetLastError(WSANO_DATA);
        throw ESocketException(QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1', Error #%2")
                                   .arg(Proto)
                                   .arg(WSocketApi::GetLastError()));
    }
    return found->p_proto;
}

} // namespace pw::net
