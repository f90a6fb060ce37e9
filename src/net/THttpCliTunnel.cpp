// An https request through an HTTP proxy: CONNECT, the proxy's answer, then TLS on the
// tunnel; the request itself follows once the socket reports the secure connection.
#include "net/THttpCli.h"

#include "net/HttpLineBuffer.h"
#include "net/HttpRequestText.h"
#include "net/HttpResponseLine.h"
#include "net/TWSocket.h"

namespace pw::net {

void THttpCli::SendTunnelRequest()
{
    tunnel_ = Tunnel::AwaitingProxy;
    const QString authority =
        target_.Host + QLatin1Char(':') + (target_.Port.isEmpty() ? QStringLiteral("443") : target_.Port);
    QByteArray request =
        "CONNECT " + authority.toUtf8() + " HTTP/1.0\r\nHost: " + authority.toUtf8() + "\r\n";
    if (!Agent.isEmpty())
        request += "User-Agent: " + Agent.toUtf8() + "\r\n";
    if (!ProxyUsername.isEmpty())
        request += "Proxy-Authorization: " + BasicAuthorization(ProxyUsername, ProxyPassword) + "\r\n";
    request += "\r\n";
    lineBuffer_->Clear();
    headerBytes_ = 0;
    socket_->Send(request.constData(), static_cast<int>(request.size()));
}

void THttpCli::ReadTunnelReply()
{
    if (lineBuffer_->FreeSize() == 0) {
        FailAndClose(HttpError::LineTooLong, QStringLiteral("HTTP line too long"));
        return;
    }
    const int n = socket_->Receive(lineBuffer_->FreeSpace(), lineBuffer_->FreeSize());
    if (n <= 0)
        return;
    lineBuffer_->Commit(n);
    QByteArrayView line;
    QByteArrayView raw;
    while (lineBuffer_->TakeLine(line, raw)) {
        headerBytes_ += raw.size();
        if (headerBytes_ > MaxHeaderBytes) {
            FailAndClose(HttpError::HeaderTooLarge, QStringLiteral("HTTP header too large"));
            return;
        }
        const HttpResponseLine parsed = ParseResponseLine(line);
        if (responseStatus_ == 0) {
            if (parsed.kind != HttpResponseLine::Kind::Status || parsed.Status == 0) {
                FailAndClose(HttpError::TunnelRefused,
                             QStringLiteral("the proxy's answer to CONNECT is not HTTP"));
                return;
            }
            responseStatus_ = parsed.Status;
            responseReason_ = parsed.Reason;
            continue;
        }
        if (parsed.kind != HttpResponseLine::Kind::Empty)
            continue;
        if (responseStatus_ < 200 || responseStatus_ >= 300) {
            const QString reason = QStringLiteral("the proxy refused the tunnel (%1 %2)")
                                       .arg(responseStatus_)
                                       .arg(responseReason_);
            FailAndClose(HttpError::TunnelRefused, reason.trimmed());
            return;
        }
        // The server speaks only after our hello: anything here is not from it.
        if (!lineBuffer_->Pending().isEmpty()) {
            FailAndClose(HttpError::TunnelRefused, QStringLiteral("the proxy sent data behind its answer"));
            return;
        }
        ResetResponse();
        tunnel_ = Tunnel::Handshaking;
        socket_->StartSsl();
        return;
    }
}

} // namespace pw::net
