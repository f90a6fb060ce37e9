#include "net/TlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>

namespace pw::net {

namespace {

int SessionKeyIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

} // namespace

TlsContext& TlsContext::Shared()
{
    // Lives until the process ends: sockets may still hold sessions of it at exit.
    static TlsContext* const shared = new TlsContext;
    return *shared;
}

TlsContext::TlsContext()
{
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (!ctx_)
        return;
    if (SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION) != 1) {
        // No context rather than one that would speak older protocols: every handshake
        // then fails with OpenSSL's reason.
        SSL_CTX_free(ctx_);
        ctx_ = nullptr;
        return;
    }
    SSL_CTX_set_options(ctx_, SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
    // Buffers are given back while a connection waits: thousands may be open in a batch.
    SSL_CTX_set_mode(ctx_, SSL_MODE_RELEASE_BUFFERS | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(ctx_); // honours SSL_CERT_FILE and SSL_CERT_DIR
    SSL_CTX_set_max_cert_list(ctx_, MaxCertificateChainBytes);
    SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_set_app_data(ctx_, this);
    SSL_CTX_sess_set_new_cb(ctx_, &TlsContext::NewSession);
    ERR_clear_error();
}

TlsContext::~TlsContext()
{
    for (auto& [key, list] : sessions_)
        for (SSL_SESSION* s : list)
            SSL_SESSION_free(s);
    SSL_CTX_free(ctx_);
}

bool TlsContext::SetSessionKey(SSL* ssl, const QByteArray* key)
{
    return SessionKeyIndex() >= 0 &&
           SSL_set_ex_data(ssl, SessionKeyIndex(), const_cast<QByteArray*>(key)) == 1;
}

int TlsContext::NewSession(SSL* ssl, SSL_SESSION* session)
{
    // Only verified handshakes reach this point: a failed verification ends the handshake.
    const auto* key = static_cast<const QByteArray*>(SSL_get_ex_data(ssl, SessionKeyIndex()));
    auto* self = static_cast<TlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!key || key->isEmpty() || !self || SSL_get_verify_result(ssl) != X509_V_OK)
        return 0;
    self->Store(*key, session);
    return 1; // the reference is ours now
}

void TlsContext::Store(const QByteArray& key, SSL_SESSION* session)
{
    auto it = sessions_.find(key);
    if (it == sessions_.end()) {
        if (sessions_.size() >= MaxCachedServers) {
            auto oldest = sessions_.find(order_.front());
            for (SSL_SESSION* s : oldest->second)
                SSL_SESSION_free(s);
            sessions_.erase(oldest);
            order_.pop_front();
        }
        it = sessions_.emplace(key, std::deque<SSL_SESSION*>{}).first;
        order_.push_back(key);
    }
    it->second.push_back(session);
    if (it->second.size() > MaxSessionsPerServer) {
        SSL_SESSION_free(it->second.front());
        it->second.pop_front();
    }
}

SSL_SESSION* TlsContext::TakeSession(const QByteArray& key)
{
    auto it = sessions_.find(key);
    if (it == sessions_.end())
        return nullptr;
    auto& list = it->second;
    // A session whose connection ended badly is no longer offered.
    while (!list.empty() && !SSL_SESSION_is_resumable(list.back())) {
        SSL_SESSION_free(list.back());
        list.pop_back();
    }
    SSL_SESSION* session = nullptr;
    if (!list.empty()) {
        // The newest first: it is the one least likely to have expired.
        session = list.back();
        if (SSL_SESSION_get_protocol_version(session) < TLS1_3_VERSION)
            SSL_SESSION_up_ref(session); // a TLS 1.2 session may be resumed again: keep it
        else
            list.pop_back(); // a TLS 1.3 ticket is used once
    }
    if (list.empty()) {
        sessions_.erase(it);
        order_.erase(std::find(order_.begin(), order_.end(), key));
    }
    return session;
}

void TlsContext::CountHandshake(bool resumed)
{
    if (resumed)
        ++handshakes_.Resumed;
    else
        ++handshakes_.Full;
}

std::size_t TlsContext::CachedSessions() const
{
    std::size_t n = 0;
    for (const auto& [key, list] : sessions_)
        n += list.size();
    return n;
}

} // namespace pw::net
