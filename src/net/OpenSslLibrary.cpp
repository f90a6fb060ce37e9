// OpenSSL is opened with the first secure connection, not when the program starts: a
// window or an update that never speaks https leaves its two libraries unloaded (about
// 1.7 MB of memory and their relocation at every start). The functions the TLS layer
// calls are defined here under their own names and forward to the library's.
#include "net/OpenSslLibrary.h"

#include <QtGlobal>
#include <dlfcn.h>
#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

// Every function of OpenSSL that this program calls, once each.
#define PW_OPENSSL_FUNCTIONS(X)                                                                              \
    X(BIO_ctrl)                                                                                              \
    X(BIO_ctrl_pending)                                                                                      \
    X(BIO_free)                                                                                              \
    X(BIO_new)                                                                                               \
    X(BIO_read)                                                                                              \
    X(BIO_s_mem)                                                                                             \
    X(BIO_write)                                                                                             \
    X(CRYPTO_get_ex_new_index)                                                                               \
    X(ERR_clear_error)                                                                                       \
    X(ERR_error_string_n)                                                                                    \
    X(ERR_get_error)                                                                                         \
    X(ERR_peek_last_error)                                                                                   \
    X(ERR_reason_error_string)                                                                               \
    X(SSL_CTX_ctrl)                                                                                          \
    X(SSL_CTX_free)                                                                                          \
    X(SSL_CTX_get_ex_data)                                                                                   \
    X(SSL_CTX_new)                                                                                           \
    X(SSL_CTX_sess_set_new_cb)                                                                               \
    X(SSL_CTX_set_default_verify_paths)                                                                      \
    X(SSL_CTX_set_ex_data)                                                                                   \
    X(SSL_CTX_set_options)                                                                                   \
    X(SSL_CTX_set_verify)                                                                                    \
    X(SSL_SESSION_free)                                                                                      \
    X(SSL_SESSION_get_protocol_version)                                                                      \
    X(SSL_SESSION_is_resumable)                                                                              \
    X(SSL_SESSION_up_ref)                                                                                    \
    X(SSL_ctrl)                                                                                              \
    X(SSL_do_handshake)                                                                                      \
    X(SSL_free)                                                                                              \
    X(SSL_get0_param)                                                                                        \
    X(SSL_get0_peer_certificate)                                                                             \
    X(SSL_get_SSL_CTX)                                                                                       \
    X(SSL_get_error)                                                                                         \
    X(SSL_get_ex_data)                                                                                       \
    X(SSL_get_verify_result)                                                                                 \
    X(SSL_new)                                                                                               \
    X(SSL_read)                                                                                              \
    X(SSL_session_reused)                                                                                    \
    X(SSL_set1_host)                                                                                         \
    X(SSL_set_bio)                                                                                           \
    X(SSL_set_connect_state)                                                                                 \
    X(SSL_set_ex_data)                                                                                       \
    X(SSL_set_session)                                                                                       \
    X(SSL_set_shutdown)                                                                                      \
    X(SSL_write)                                                                                             \
    X(TLS_client_method)                                                                                     \
    X(X509_VERIFY_PARAM_set1_ip_asc)

namespace pw::net {

namespace {

struct OpenSslApi {
    bool loaded = false;
#define PW_OPENSSL_POINTER(name) decltype(&::name) name = nullptr;
    PW_OPENSSL_FUNCTIONS(PW_OPENSSL_POINTER)
#undef PW_OPENSSL_POINTER
};

const OpenSslApi& Api()
{
    static const OpenSslApi api = [] {
        OpenSslApi a;
        // libssl brings libcrypto along; the handle is kept for the rest of the run.
        void* handle = ::dlopen(PANELWICK_LIBSSL, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            qWarning("TLS is not available: %s", ::dlerror());
            return a;
        }
        bool all = true;
#define PW_OPENSSL_LOOKUP(name)                                                                              \
    a.name = reinterpret_cast<decltype(&::name)>(::dlsym(handle, #name));                                    \
    all = all && a.name;
        PW_OPENSSL_FUNCTIONS(PW_OPENSSL_LOOKUP)
#undef PW_OPENSSL_LOOKUP
        if (!all)
            qWarning("TLS is not available: %s lacks functions this program needs", PANELWICK_LIBSSL);
        a.loaded = all;
        return a;
    }();
    return api;
}

// What a function answers when the library could not be opened: nothing made, nothing
// done. The TLS layer then reports that TLS cannot be started.
template <typename F, typename... A> auto Call(F OpenSslApi::*function, A... args)
{
    const OpenSslApi& api = Api();
    using Result = decltype((api.*function)(args...));
    if (!api.loaded)
        return Result();
    return (api.*function)(args...);
}

} // namespace

bool OpenSslAvailable()
{
    return Api().loaded;
}

} // namespace pw::net

using pw::net::Call;
using pw::net::OpenSslApi;

extern "C" {

long BIO_ctrl(BIO* bp, int cmd, long larg, void* parg)
{
    return Call(&OpenSslApi::BIO_ctrl, bp, cmd, larg, parg);
}
size_t BIO_ctrl_pending(BIO* b)
{
    return Call(&OpenSslApi::BIO_ctrl_pending, b);
}
int BIO_free(BIO* a)
{
    return a ? Call(&OpenSslApi::BIO_free, a) : 0;
}
BIO* BIO_new(const BIO_METHOD* type)
{
    return Call(&OpenSslApi::BIO_new, type);
}
int BIO_read(BIO* b, void* data, int dlen)
{
    return Call(&OpenSslApi::BIO_read, b, data, dlen);
}
const BIO_METHOD* BIO_s_mem(void)
{
    return Call(&OpenSslApi::BIO_s_mem);
}
int BIO_write(BIO* b, const void* data, int dlen)
{
    return Call(&OpenSslApi::BIO_write, b, data, dlen);
}
int CRYPTO_get_ex_new_index(int class_index, long argl, void* argp, CRYPTO_EX_new* new_func,
                            CRYPTO_EX_dup* dup_func, CRYPTO_EX_free* free_func)
{
    // -1 is OpenSSL's own "no index".
    return pw::net::OpenSslAvailable() ? Call(&OpenSslApi::CRYPTO_get_ex_new_index, class_index, argl, argp,
                                              new_func, dup_func, free_func)
                                       : -1;
}
void ERR_clear_error(void)
{
    Call(&OpenSslApi::ERR_clear_error);
}
void ERR_error_string_n(unsigned long e, char* buf, size_t len)
{
    if (len > 0)
        buf[0] = '\0';
    Call(&OpenSslApi::ERR_error_string_n, e, buf, len);
}
unsigned long ERR_get_error(void)
{
    return Call(&OpenSslApi::ERR_get_error);
}
unsigned long ERR_peek_last_error(void)
{
    return Call(&OpenSslApi::ERR_peek_last_error);
}
const char* ERR_reason_error_string(unsigned long e)
{
    return Call(&OpenSslApi::ERR_reason_error_string, e);
}
long SSL_CTX_ctrl(SSL_CTX* ctx, int cmd, long larg, void* parg)
{
    return Call(&OpenSslApi::SSL_CTX_ctrl, ctx, cmd, larg, parg);
}
void SSL_CTX_free(SSL_CTX* ctx)
{
    if (ctx)
        Call(&OpenSslApi::SSL_CTX_free, ctx);
}
void* SSL_CTX_get_ex_data(const SSL_CTX* ssl, int idx)
{
    return Call(&OpenSslApi::SSL_CTX_get_ex_data, ssl, idx);
}
SSL_CTX* SSL_CTX_new(const SSL_METHOD* meth)
{
    return Call(&OpenSslApi::SSL_CTX_new, meth);
}
void SSL_CTX_sess_set_new_cb(SSL_CTX* ctx, int (*new_session_cb)(struct ssl_st*, SSL_SESSION*))
{
    Call(&OpenSslApi::SSL_CTX_sess_set_new_cb, ctx, new_session_cb);
}
int SSL_CTX_set_default_verify_paths(SSL_CTX* ctx)
{
    return Call(&OpenSslApi::SSL_CTX_set_default_verify_paths, ctx);
}
int SSL_CTX_set_ex_data(SSL_CTX* ssl, int idx, void* data)
{
    return Call(&OpenSslApi::SSL_CTX_set_ex_data, ssl, idx, data);
}
uint64_t SSL_CTX_set_options(SSL_CTX* ctx, uint64_t op)
{
    return Call(&OpenSslApi::SSL_CTX_set_options, ctx, op);
}
void SSL_CTX_set_verify(SSL_CTX* ctx, int mode, SSL_verify_cb callback)
{
    Call(&OpenSslApi::SSL_CTX_set_verify, ctx, mode, callback);
}
void SSL_SESSION_free(SSL_SESSION* ses)
{
    if (ses)
        Call(&OpenSslApi::SSL_SESSION_free, ses);
}
int SSL_SESSION_get_protocol_version(const SSL_SESSION* s)
{
    return Call(&OpenSslApi::SSL_SESSION_get_protocol_version, s);
}
int SSL_SESSION_is_resumable(const SSL_SESSION* s)
{
    return Call(&OpenSslApi::SSL_SESSION_is_resumable, s);
}
int SSL_SESSION_up_ref(SSL_SESSION* ses)
{
    return Call(&OpenSslApi::SSL_SESSION_up_ref, ses);
}
long SSL_ctrl(SSL* ssl, int cmd, long larg, void* parg)
{
    return Call(&OpenSslApi::SSL_ctrl, ssl, cmd, larg, parg);
}
int SSL_do_handshake(SSL* s)
{
    return Call(&OpenSslApi::SSL_do_handshake, s);
}
void SSL_free(SSL* ssl)
{
    // Every plain connection's reset frees its (absent) TLS state: that is no reason to
    // open the library.
    if (ssl)
        Call(&OpenSslApi::SSL_free, ssl);
}
X509_VERIFY_PARAM* SSL_get0_param(SSL* ssl)
{
    return Call(&OpenSslApi::SSL_get0_param, ssl);
}
X509* SSL_get0_peer_certificate(const SSL* s)
{
    return Call(&OpenSslApi::SSL_get0_peer_certificate, s);
}
SSL_CTX* SSL_get_SSL_CTX(const SSL* ssl)
{
    return Call(&OpenSslApi::SSL_get_SSL_CTX, ssl);
}
int SSL_get_error(const SSL* s, int ret_code)
{
    return pw::net::OpenSslAvailable() ? Call(&OpenSslApi::SSL_get_error, s, ret_code) : SSL_ERROR_SSL;
}
void* SSL_get_ex_data(const SSL* ssl, int idx)
{
    return Call(&OpenSslApi::SSL_get_ex_data, ssl, idx);
}
long SSL_get_verify_result(const SSL* ssl)
{
    return pw::net::OpenSslAvailable() ? Call(&OpenSslApi::SSL_get_verify_result, ssl)
                                       : X509_V_ERR_UNSPECIFIED;
}
SSL* SSL_new(SSL_CTX* ctx)
{
    return Call(&OpenSslApi::SSL_new, ctx);
}
int SSL_read(SSL* ssl, void* buf, int num)
{
    return Call(&OpenSslApi::SSL_read, ssl, buf, num);
}
int SSL_session_reused(const SSL* s)
{
    return Call(&OpenSslApi::SSL_session_reused, s);
}
int SSL_set1_host(SSL* s, const char* hostname)
{
    return Call(&OpenSslApi::SSL_set1_host, s, hostname);
}
void SSL_set_bio(SSL* s, BIO* rbio, BIO* wbio)
{
    Call(&OpenSslApi::SSL_set_bio, s, rbio, wbio);
}
void SSL_set_connect_state(SSL* s)
{
    Call(&OpenSslApi::SSL_set_connect_state, s);
}
int SSL_set_ex_data(SSL* ssl, int idx, void* data)
{
    return Call(&OpenSslApi::SSL_set_ex_data, ssl, idx, data);
}
int SSL_set_session(SSL* to, SSL_SESSION* session)
{
    return Call(&OpenSslApi::SSL_set_session, to, session);
}
void SSL_set_shutdown(SSL* ssl, int mode)
{
    Call(&OpenSslApi::SSL_set_shutdown, ssl, mode);
}
int SSL_write(SSL* ssl, const void* buf, int num)
{
    return Call(&OpenSslApi::SSL_write, ssl, buf, num);
}
const SSL_METHOD* TLS_client_method(void)
{
    return Call(&OpenSslApi::TLS_client_method);
}
int X509_VERIFY_PARAM_set1_ip_asc(X509_VERIFY_PARAM* param, const char* ipasc)
{
    return Call(&OpenSslApi::X509_VERIFY_PARAM_set1_ip_asc, param, ipasc);
}

} // extern "C"
