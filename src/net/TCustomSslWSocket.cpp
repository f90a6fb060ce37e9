#include "net/TCustomSslWSocket.h"

#include "net/TlsContext.h"
#include "net/WSocketApi.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>

namespace pw::net {

namespace {

constexpr int CipherChunk = 32 * 1024;

bool IsIpAddress(const QByteArray& host)
{
    unsigned char buf[16];
    return inet_pton(AF_INET, host.constData(), buf) == 1 || inet_pton(AF_INET6, host.constData(), buf) == 1;
}

// What OpenSSL said last, in its own words ("wrong version number").
QString OpenSslReason(unsigned long err)
{
    if (err == 0)
        return {};
    if (const char* reason = ERR_reason_error_string(err))
        return QString::fromLatin1(reason);
    char text[256];
    ERR_error_string_n(err, text, sizeof text);
    return QString::fromLatin1(text);
}

bool IsUnexpectedEof(unsigned long err)
{
    return err == 0 ||
           (ERR_GET_LIB(err) == ERR_LIB_SSL && ERR_GET_REASON(err) == SSL_R_UNEXPECTED_EOF_WHILE_READING);
}

} // namespace

TCustomSslWSocket::TCustomSslWSocket()
{
    // The base constructor's reset cannot reach this layer's part of it.
    ResetSsl();
}

TCustomSslWSocket::~TCustomSslWSocket()
{
    SSL_free(ssl_);
}

void TCustomSslWSocket::AssignDefaultValue()
{
    TCustomSocksWSocket::AssignDefaultValue();
    ResetSsl();
    sslEnabled_ = false;
    sslHost_.clear();
    sslPort_.clear();
}

void TCustomSslWSocket::ResetSsl()
{
    // A connection that ended without a TLS error keeps its session resumable; OpenSSL
    // drops the session of any other (no SSL_shutdown: the socket is already closed).
    if (ssl_ && (phase_ == Phase::Open || phase_ == Phase::PeerClosed))
        SSL_set_shutdown(ssl_, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
    SSL_free(ssl_); // with both memory buffers
    ssl_ = nullptr;
    in_ = nullptr;
    out_ = nullptr;
    phase_ = Phase::Off;
    peerEof_ = false;
    resumed_ = false;
    plain_.clear();
    plainPos_ = 0;
    pendingOut_.clear();
    errorCode_ = 0;
    errorText_.clear();
    sessionKey_.clear();
    setupFailure_.clear();
}

void TCustomSslWSocket::SetSslEnabled(bool Value)
{
    if (State() != wsClosed) {
        ReportError(QStringLiteral("Can't change TLS if not closed"));
        return;
    }
    sslEnabled_ = Value;
}

void TCustomSslWSocket::SetSslHost(const QString& Value)
{
    if (Active()) {
        ReportError(QStringLiteral("Can't change the TLS host during a secure connection"));
        return;
    }
    sslHost_ = Value.trimmed();
}

void TCustomSslWSocket::StartSsl()
{
    if (State() != wsConnected) {
        ReportError(QStringLiteral("TLS can only start on an open connection"));
        return;
    }
    if (Active())
        return;
    sslEnabled_ = true;
    BeginHandshake();
}

// ---- the handshake ----

void TCustomSslWSocket::TriggerSessionConnected(std::uint16_t Error)
{
    // The proxy's own connection, a failure, or plain data: nothing for this layer.
    if (!sslEnabled_ || Error != 0 || SocksNegotiating() || Active()) {
        TCustomSocksWSocket::TriggerSessionConnected(Error);
        return;
    }
    BeginHandshake();
}

void TCustomSslWSocket::BeginHandshake()
{
    if (!context_)
        context_ = &TlsContext::Shared();
    ERR_clear_error();
    setupFailure_ = PrepareSsl();
    const Phase before = phase_;
    Drive();
    AfterDrive(before);
}

QString TCustomSslWSocket::PrepareSsl()
{
    // A set-up call that fails would leave the connection unchecked (no host name to
    // compare) or oddly configured: each one ends the connection with OpenSSL's reason.
    const auto why = [](const QString& what) {
        const QString reason = OpenSslReason(ERR_get_error());
        return reason.isEmpty() ? what : what + QStringLiteral(": ") + reason;
    };
    ssl_ = context_->Context() ? SSL_new(context_->Context()) : nullptr;
    if (!ssl_)
        return why(QStringLiteral("TLS cannot be started"));
    in_ = BIO_new(BIO_s_mem());
    out_ = BIO_new(BIO_s_mem());
    if (!in_ || !out_) {
        BIO_free(in_);
        BIO_free(out_);
        in_ = out_ = nullptr;
        return why(QStringLiteral("TLS cannot be started"));
    }
    SSL_set_bio(ssl_, in_, out_);
    SSL_set_connect_state(ssl_);

    // Names are compared without case and without a trailing dot; SNI carries no IP address.
    QByteArray host = (sslHost_.isEmpty() ? Addr() : sslHost_).toLower().toUtf8();
    while (host.endsWith('.'))
        host.chop(1);
    // An empty name would switch the certificate's host check off altogether.
    if (host.isEmpty())
        return QStringLiteral("the address names no host to check the certificate against");
    if (std::any_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
        return QStringLiteral("the host name holds a blank or control character");
    if (IsIpAddress(host)) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.constData()) != 1)
            return why(QStringLiteral("the certificate cannot be checked against ") +
                       QString::fromUtf8(host));
    } else {
        if (SSL_set_tlsext_host_name(ssl_, host.constData()) != 1)
            return why(QStringLiteral("the server name cannot be sent"));
        if (SSL_set1_host(ssl_, host.constData()) != 1)
            return why(QStringLiteral("the certificate cannot be checked against ") +
                       QString::fromUtf8(host));
    }
    sessionKey_ = host + ':' + (sslPort_.isEmpty() ? Port() : sslPort_).toUtf8();
    if (!TlsContext::SetSessionKey(ssl_, &sessionKey_))
        return why(QStringLiteral("the session cannot be kept"));
    if (SSL_SESSION* session = context_->TakeSession(sessionKey_)) {
        const int set = SSL_set_session(ssl_, session);
        SSL_SESSION_free(session);
        if (set != 1)
            return why(QStringLiteral("the session cannot be resumed"));
    }
    return {};
}

void TCustomSslWSocket::Drive()
{
    Phase next = phase_;
    if (next == Phase::Off)
        next = ssl_ && in_ && setupFailure_.isEmpty()
                   ? Phase::Handshaking
                   : Fail(TlsError::HandshakeFailed,
                          setupFailure_.isEmpty() ? QStringLiteral("TLS cannot be started") : setupFailure_);
    if (next == Phase::Handshaking)
        next = StepHandshake();
    if (next == Phase::Open)
        next = StepRecords();
    FlushCipher();
    phase_ = next;
}

TCustomSslWSocket::Phase TCustomSslWSocket::Fail(std::uint16_t Code, const QString& Reason)
{
    errorCode_ = Code;
    const QString host = sslHost_.isEmpty() ? Addr() : sslHost_;
    switch (Code) {
    case TlsError::CertificateExpired:
        errorText_ = QStringLiteral("the site's certificate has expired");
        break;
    case TlsError::HostMismatch:
        errorText_ = QStringLiteral("the site's certificate is not valid for ") + host;
        break;
    case TlsError::Untrusted:
        errorText_ = QStringLiteral("the site's certificate is not trusted");
        break;
    case TlsError::HandshakeFailed:
        errorText_ = QStringLiteral("the secure connection could not be made (%1)")
                         .arg(Reason.isEmpty() ? QStringLiteral("TLS error") : Reason);
        break;
    case TlsError::Truncated:
        errorText_ = QStringLiteral("the server ended the secure connection without closing it");
        break;
    default:
        errorText_ = QStringLiteral("the secure connection failed (%1)").arg(Reason);
        break;
    }
    return Phase::Failed;
}

TCustomSslWSocket::Phase TCustomSslWSocket::StepHandshake()
{
    ERR_clear_error();
    const int rc = SSL_do_handshake(ssl_);
    if (rc == 1) {
        // OpenSSL ends a handshake whose certificate fails; this only makes sure.
        if (SSL_get_verify_result(ssl_) != X509_V_OK || !SSL_get0_peer_certificate(ssl_))
            return Fail(TlsError::Untrusted, {});
        resumed_ = SSL_session_reused(ssl_) == 1;
        context_->CountHandshake(resumed_);
        return Phase::Open;
    }
    const int e = SSL_get_error(ssl_, rc);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
        return Phase::Handshaking;
    switch (SSL_get_verify_result(ssl_)) {
    case X509_V_OK:
        break;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return Fail(TlsError::CertificateExpired, {});
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return Fail(TlsError::HostMismatch, {});
    default:
        return Fail(TlsError::Untrusted, {});
    }
    const unsigned long err = ERR_peek_last_error();
    if (peerEof_ && IsUnexpectedEof(err))
        return Fail(TlsError::HandshakeFailed, QStringLiteral("the server closed the connection"));
    return Fail(TlsError::HandshakeFailed,
                err != 0 ? OpenSslReason(err) : QStringLiteral("TLS error %1").arg(e));
}

TCustomSslWSocket::Phase TCustomSslWSocket::StepRecords()
{
    // A refused write is repeated with the same bytes.
    while (!pendingOut_.isEmpty()) {
        ERR_clear_error();
        const int n = SSL_write(ssl_, pendingOut_.constData(), static_cast<int>(pendingOut_.size()));
        if (n > 0) {
            pendingOut_.remove(0, n);
            continue;
        }
        const int e = SSL_get_error(ssl_, n);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
            break;
        return Fail(TlsError::ProtocolError, OpenSslReason(ERR_peek_last_error()));
    }
    if (plainPos_ > 0) {
        plain_.remove(0, plainPos_);
        plainPos_ = 0;
    }
    char buf[16 * 1024];
    while (plain_.size() < MaxBufferedPlainBytes) {
        ERR_clear_error();
        const int n = SSL_read(ssl_, buf, sizeof buf);
        if (n > 0) {
            plain_.append(buf, n);
            continue;
        }
        const int e = SSL_get_error(ssl_, n);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE)
            break;
        if (e == SSL_ERROR_ZERO_RETURN)
            return Phase::PeerClosed;
        const unsigned long err = ERR_peek_last_error();
        // Never SSL_shutdown after this: the connection is simply closed.
        if (peerEof_ && IsUnexpectedEof(err))
            return Fail(TlsError::Truncated, {});
        return Fail(TlsError::ProtocolError, OpenSslReason(err));
    }
    return Phase::Open;
}

void TCustomSslWSocket::FlushCipher()
{
    if (!out_)
        return;
    const auto alive = AliveFlag();
    char buf[16 * 1024];
    while (BIO_ctrl_pending(out_) > 0 && State() == wsConnected) {
        const int n = BIO_read(out_, buf, sizeof buf);
        if (n <= 0)
            break;
        TCustomSocksWSocket::Send(buf, n);
        if (!*alive)
            return;
    }
}

bool TCustomSslWSocket::PullCipher()
{
    if (BIO_ctrl_pending(in_) >= static_cast<size_t>(MaxBufferedCipherBytes))
        return true; // OpenSSL has enough to chew on; the socket keeps the rest
    if (!cipherBuffer_)
        cipherBuffer_ = std::make_unique_for_overwrite<char[]>(CipherChunk);
    const int n = TCustomSocksWSocket::DoRecv(cipherBuffer_.get(), CipherChunk, 0);
    if (n > 0) {
        BIO_write(in_, cipherBuffer_.get(), n);
        return true;
    }
    if (n == 0) {
        peerEof_ = true;
        BIO_set_mem_eof_return(in_, 0); // from now on an empty buffer reads as the end
        return true;
    }
    return false;
}

// ---- what Drive changed, told upwards ----

void TCustomSslWSocket::AfterDrive(Phase Before)
{
    const auto alive = AliveFlag();
    if (Before != Phase::Open && Before != Phase::PeerClosed && phase_ != Phase::Handshaking &&
        Before != phase_) {
        // The end of the handshake is the connect of the layers above.
        const std::uint16_t code = phase_ == Phase::Failed ? errorCode_ : 0;
        TCustomSocksWSocket::TriggerSessionConnected(code);
        if (!*alive || State() != wsConnected)
            return;
        if (code != 0) {
            InternalClose(true, code);
            return;
        }
    }
    DeliverPlain();
    if (!*alive || State() != wsConnected)
        return;
    if (phase_ == Phase::Failed && Before != Phase::Failed)
        InternalClose(true, errorCode_);
}

void TCustomSslWSocket::DeliverPlain()
{
    const auto alive = AliveFlag();
    while (plain_.size() - plainPos_ > 0) {
        const qsizetype before = plain_.size() - plainPos_;
        if (!TCustomSocksWSocket::TriggerDataAvailable(0))
            return; // nobody listens: the read loop below drops it
        if (!*alive || State() != wsConnected)
            return;
        if (plain_.size() - plainPos_ == before)
            return; // the handler read nothing; it is asked again at the next event
    }
}

// ---- data ----

int TCustomSslWSocket::Send(const void* Data, int Len)
{
    if (!Active())
        return TCustomSocksWSocket::Send(Data, Len);
    if (State() != wsConnected || phase_ == Phase::Failed || phase_ == Phase::PeerClosed) {
        WSocketApi::SetLastError(WSAENOTCONN);
        ReportSocketError(QStringLiteral("Send"));
        return -1;
    }
    if (Len <= 0 || !Data)
        return 0;
    pendingOut_.append(static_cast<const char*>(Data), Len);
    if (phase_ == Phase::Open) {
        const Phase before = phase_;
        Drive();
        AfterDrive(before);
    }
    return Len;
}

bool TCustomSslWSocket::TriggerDataAvailable(std::uint16_t Error)
{
    if (!Active())
        return TCustomSocksWSocket::TriggerDataAvailable(Error);
    const Phase before = phase_;
    if (phase_ == Phase::Handshaking || phase_ == Phase::Open) {
        PullCipher();
        Drive();
    } else {
        char scratch[1024]; // after the end nothing more is wanted, but it must be read
        TCustomSocksWSocket::DoRecv(scratch, sizeof scratch, 0);
    }
    AfterDrive(before);
    return true;
}

void TCustomSslWSocket::TriggerSessionClosed(std::uint16_t Error)
{
    // Our own close (State() is already closed) says nothing about the peer.
    if (Active() && State() != wsClosed && (phase_ == Phase::Handshaking || phase_ == Phase::Open)) {
        // The peer hung up: OpenSSL sees the end and tells a clean close from a cut.
        const Phase before = phase_;
        peerEof_ = true;
        BIO_set_mem_eof_return(in_, 0);
        Drive();
        const auto alive = AliveFlag();
        if (before == Phase::Handshaking)
            TCustomSocksWSocket::TriggerSessionConnected(phase_ == Phase::Failed ? errorCode_ : 0);
        else
            DeliverPlain();
        if (!*alive)
            return;
    }
    if (Active() && phase_ == Phase::Failed && Error == 0)
        Error = errorCode_;
    TCustomSocksWSocket::TriggerSessionClosed(Error);
}

void TCustomSslWSocket::TriggerDataSent(std::uint16_t Error)
{
    // Handshake records are ours, not the user's.
    if (!Active() || (phase_ == Phase::Open && pendingOut_.isEmpty()))
        TCustomSocksWSocket::TriggerDataSent(Error);
}

int TCustomSslWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    if (!Active())
        return TCustomSocksWSocket::DoRecv(Buffer, BufferSize, Flags);
    const qsizetype left = plain_.size() - plainPos_;
    if (left <= 0 || BufferSize <= 0) {
        if (phase_ == Phase::PeerClosed)
            return 0;
        WSocketApi::SetLastError(WSAEWOULDBLOCK);
        return -1;
    }
    const int count = static_cast<int>(std::min<qsizetype>(left, BufferSize));
    std::memcpy(Buffer, plain_.constData() + plainPos_, static_cast<size_t>(count));
    if ((Flags & MSG_PEEK) == 0)
        plainPos_ += count;
    return count;
}

int TCustomSslWSocket::QueryReadable(int& Count)
{
    if (!Active())
        return TCustomSocksWSocket::QueryReadable(Count);
    const qsizetype left = plain_.size() - plainPos_;
    if (left > 0) {
        Count = static_cast<int>(left);
        return 0;
    }
    // Records still inside OpenSSL or the socket: the read loop comes back for them.
    if (in_ && BIO_ctrl_pending(in_) > 0 && (phase_ == Phase::Open || phase_ == Phase::Handshaking)) {
        Count = 1;
        return 0;
    }
    if (phase_ == Phase::Failed || phase_ == Phase::PeerClosed) {
        Count = 0;
        return 0;
    }
    return TCustomSocksWSocket::QueryReadable(Count);
}

} // namespace pw::net
