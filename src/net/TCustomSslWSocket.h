#pragma once

#include "net/TCustomSocksWSocket.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

typedef struct ssl_st SSL;
typedef struct bio_st BIO;

namespace pw::net {

class TlsContext;

// Error numbers of the TLS layer, in OnSessionConnected and OnSessionClosed.
namespace TlsError {
inline constexpr std::uint16_t CertificateExpired = 30001;
inline constexpr std::uint16_t HostMismatch = 30002;
inline constexpr std::uint16_t Untrusted = 30003;
inline constexpr std::uint16_t HandshakeFailed = 30004;
// The peer closed without close_notify: what came may be cut short.
inline constexpr std::uint16_t Truncated = 30005;
// A broken record or an alert after the handshake.
inline constexpr std::uint16_t ProtocolError = 30006;
inline bool IsTlsError(int error)
{
    return error >= CertificateExpired && error <= ProtocolError;
}
} // namespace TlsError

// TLS over whatever the layers below connect to (directly or through SOCKS). With
// SslEnabled set before Connect, the handshake starts once the connection below is
// made, and OnSessionConnected reports only when the server's certificate was checked.
// StartSsl begins it on a connection already made (a proxy tunnel). OpenSSL works on two
// memory buffers: the socket's read events feed it, its output goes down as ordinary
// sends, so nothing blocks and SOCKS stays underneath.
//
// Verification cannot be turned off: the certificate must chain to a trusted root and
// name SslHost (an IP address is checked as one). Like the SOCKS settings, the TLS
// settings are cleared by every close.
class TCustomSslWSocket : public TCustomSocksWSocket {
public:
    static constexpr int MaxBufferedPlainBytes = 64 * 1024;
    static constexpr int MaxBufferedCipherBytes = 64 * 1024;

    TCustomSslWSocket();
    ~TCustomSslWSocket() override;

    bool SslEnabled() const { return sslEnabled_; }
    void SetSslEnabled(bool Value);
    // The name the certificate must carry, also sent as SNI; SslPort keys the session cache.
    QString SslHost() const { return sslHost_; }
    void SetSslHost(const QString& Value);
    QString SslPort() const { return sslPort_; }
    void SetSslPort(const QString& Value) { sslPort_ = Value; }
    // Sessions and trust; TlsContext::Shared() unless set.
    void SetSslContext(TlsContext* Context) { context_ = Context; }

    // Starts the handshake on the open connection (after a proxy's CONNECT).
    void StartSsl();

    bool SslEstablished() const { return phase_ == Phase::Open; }
    bool SslResumed() const { return resumed_; }
    // After a TLS error: the text for the user ("the site's certificate has expired", ...).
    QString SslErrorText() const { return errorText_; }

    int Send(const void* Data, int Len) override;

protected:
    void AssignDefaultValue() override;
    void TriggerSessionConnected(std::uint16_t Error) override;
    void TriggerSessionClosed(std::uint16_t Error) override;
    bool TriggerDataAvailable(std::uint16_t Error) override;
    void TriggerDataSent(std::uint16_t Error) override;
    int DoRecv(void* Buffer, int BufferSize, int Flags) override;
    int QueryReadable(int& Count) override;

private:
    enum class Phase {
        Off,         // plain data (TLS not asked for, or the layers below still connecting)
        Handshaking, // hello, certificate, keys
        Open,        // records both ways
        PeerClosed,  // the peer's close_notify came: nothing more will
        Failed       // an error ended it; errorCode_ says which
    };

    bool Active() const { return phase_ != Phase::Off; }
    void BeginHandshake();
    // Makes ssl_ for one connection; empty when it is ready, else why it cannot be.
    QString PrepareSsl();
    void ResetSsl();
    // The one place the phase changes: runs OpenSSL on what came, queues what it sends.
    void Drive();
    Phase StepHandshake();
    Phase StepRecords();
    // Records the error and its text; gives the phase it leads to.
    Phase Fail(std::uint16_t Code, const QString& Reason);
    void FlushCipher();
    bool PullCipher();
    // Tells the layers above what Drive changed: connected (or not), data, failure.
    void AfterDrive(Phase Before);
    void DeliverPlain();

    bool sslEnabled_ = false;
    QString sslHost_;
    QString sslPort_;
    TlsContext* context_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO* in_ = nullptr;  // ciphertext from the peer, owned by ssl_
    BIO* out_ = nullptr; // ciphertext to the peer, owned by ssl_
    QByteArray sessionKey_;
    Phase phase_ = Phase::Off;
    bool peerEof_ = false;
    bool resumed_ = false;
    QByteArray plain_; // decrypted, not yet received, from plainPos_ on
    qsizetype plainPos_ = 0;
    std::unique_ptr<char[]> cipherBuffer_;
    QByteArray pendingOut_; // written by the user before the handshake ended, or refused
    std::uint16_t errorCode_ = 0;
    QString errorText_;
    QString setupFailure_; // PrepareSsl's answer for this connection
};

} // namespace pw::net
