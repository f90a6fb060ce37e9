#include "update/ConnectionFailure.h"

#include "net/TCustomSslWSocket.h"
#include "net/WSocketLibrary.h"

namespace pw::update {

QString ConnectionFailureText(unsigned error, const QString& reason, const QString& host)
{
    using namespace platform::socket_errors;
    switch (error) {
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_RECOVERY:
    case WSANO_DATA:
        return QStringLiteral("Cannot find the server %1").arg(host);
    case WSAECONNREFUSED:
        return QStringLiteral("The connection was refused");
    case WSAETIMEDOUT:
        return QStringLiteral("The site did not answer in time");
    case WSAENETDOWN:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN:
    case WSAEHOSTUNREACH:
        return QStringLiteral("The server %1 cannot be reached").arg(host);
    case WSAECONNRESET:
    case WSAECONNABORTED:
        return QStringLiteral("The connection was cut off");
    case net::TlsError::HostMismatch:
        return QStringLiteral("The site's certificate is for another name (not %1)").arg(host);
    case net::TlsError::CertificateExpired:
        return QStringLiteral("The site's certificate has expired");
    case net::TlsError::Untrusted:
        return QStringLiteral("The site's certificate is not trusted");
    default:
        break;
    }
    // Other socket errors: their text, which says more than its number.
    if (error >= WSABASEERR && error <= WSANO_DATA)
        return QStringLiteral("The connection failed (%1)")
            .arg(net::SocketErrorText(static_cast<int>(error)));
    if (reason.isEmpty())
        return QStringLiteral("The request failed");
    return reason.left(1).toUpper() + reason.mid(1);
}

} // namespace pw::update
