#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <map>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_session_st SSL_SESSION;
typedef struct ssl_st SSL;

namespace pw::net {

// The process's one TLS client setup: verification always on (the system trust store,
// or SSL_CERT_FILE / SSL_CERT_DIR when set), TLS 1.2 at least, no renegotiation; and
// the sessions of this run, kept per host and port so that the next connection to the
// same server resumes instead of doing a full handshake.
class TlsContext {
public:
    static constexpr std::size_t MaxCachedServers = 256;
    static constexpr std::size_t MaxSessionsPerServer = 4;
    // The longest certificate chain accepted from a server.
    static constexpr long MaxCertificateChainBytes = 100 * 1024;

    // Made at the first secure connection; the trust store is read then.
    static TlsContext& Shared();

    TlsContext();
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* Context() const { return ctx_; }

    // A connection about to start: null when nothing is cached for key. Sessions are
    // taken out, so a TLS 1.3 ticket is offered once.
    SSL_SESSION* TakeSession(const QByteArray& key);
    // The key new sessions of this connection are stored under (empty: not stored).
    static bool SetSessionKey(SSL* ssl, const QByteArray* key); // false when OpenSSL refused

    struct Handshakes {
        std::uint64_t Full = 0;
        std::uint64_t Resumed = 0;
    };
    void CountHandshake(bool resumed);
    Handshakes HandshakeCount() const { return handshakes_; }
    std::size_t CachedSessions() const;

private:
    static int NewSession(SSL* ssl, SSL_SESSION* session);
    void Store(const QByteArray& key, SSL_SESSION* session);

    SSL_CTX* ctx_ = nullptr;
    std::map<QByteArray, std::deque<SSL_SESSION*>> sessions_;
    std::deque<QByteArray> order_; // servers, oldest first, for the bound
    Handshakes handshakes_;
};

} // namespace pw::net
