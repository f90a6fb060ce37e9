#pragma once

#include "net/HttpLocation.h"
#include "platform/Exception.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QIODevice;

namespace pw::net {

class TWSocket;
class HttpLineBuffer;
class HttpMessageTarget;

// Kind of the request in progress; 0 when none was started yet.
enum class THttpRequest { None = 0, Get = 1, Post = 2, Head = 3 };

// ClientState values; the numbers are stored and compared.
enum class THttpState {
    Ready = 0,
    Preparing = 1,
    Connected = 2,
    ResolvingHost = 3,
    HostResolved = 4,
    ReadingHeader = 5,
    ReadingBody = 6,
    Aborting = 7,
};

const char* HttpStateName(THttpState state);

// Raised by the start operations; ErrorCode is one of the codes below.
class EHttpException : public platform::Exception {
public:
    EHttpException(QString message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    int ErrorCode;
};

// CompletionError values the client produces itself. Socket and lookup failures carry
// the socket layer's numbers (10004 and up, 11001 and up) instead.
namespace HttpError {
inline constexpr std::uint16_t Busy = 1;             // "HTTP component is busy" (raised only)
inline constexpr std::uint16_t NothingToPost = 2;    // "HTTP component has nothing to post" (raised only)
inline constexpr std::uint16_t Aborted = 3;          // Abort during a request
inline constexpr std::uint16_t LineTooLong = 4;      // a response line filled the 8192-byte buffer
inline constexpr std::uint16_t HeaderTooLarge = 5;   // more than MaxHeaderLines header lines
inline constexpr std::uint16_t TooManyRedirects = 6; // more than MaxRedirects Location hops
inline constexpr std::uint16_t IncompleteHeader = 7; // connection ended before the header did
inline constexpr std::uint16_t IncompleteBody = 8;   // connection ended before Content-Length bytes
inline constexpr std::uint16_t WriteFailed = 9;      // the receive stream refused the body
inline constexpr std::uint16_t UnsafeLocation = 10;  // a Location with a space or control character
inline constexpr std::uint16_t LocalRedirect = 11;   // a redirect from a public server into the local network
inline constexpr std::uint16_t LocalAddress = 12;  // RefuseLocalAddress: the address is in the local network
inline constexpr std::uint16_t NoHost = 13;        // an https address names no host ("", ".")
inline constexpr std::uint16_t Downgrade = 40;     // an https address redirected to http
inline constexpr std::uint16_t TunnelRefused = 41; // the proxy did not open a tunnel for https
// TLS failures carry the TLS layer's numbers (TlsError, 30001 and up).
} // namespace HttpError

// Asynchronous HTTP/1.0 client: one request at a time, directly or through an HTTP
// proxy, driven entirely by socket events and three messages it posts to itself.
// Everything runs on the thread that created it; no call blocks.
//
// Usage: set URL (and Proxy/ProxyPort, ReceiveStream), connect the events, call
// StartGet, and wait for OnRequestDone, which is always posted (never fired inside
// StartGet, Abort or a socket event) and fires exactly once per started request.
// Success is CompletionError() == 0; the server's answer is ResponseStatus().
// Local failures set ResponseStatus() to 404 and ResponseReason() to a text.
//
// Events may call Abort. The client may be deleted from OnRequestDone (it touches
// nothing after firing it); from other events use deleteLater-style deferred deletion.
class THttpCli {
public:
    static constexpr int LineBufferSize = 8192;
    static constexpr int MaxHeaderLines = 1000;       // per response
    static constexpr int MaxHeaderBytes = 256 * 1024; // per response
    static constexpr int BodyBufferSize = 64 * 1024;  // body reads need no line splitting
    static constexpr int MaxRedirects = 20;

    // Private messages to the client's own hidden window.
    static constexpr unsigned MsgRequestDone = 1025;
    static constexpr unsigned MsgSetReady = 1026;
    static constexpr unsigned MsgRestart = 1027;

    THttpCli();
    ~THttpCli();
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    // ---- Properties (writable; read at the start of a request) ----
    QString URL;
    QString Proxy; // host or host:port; empty = direct connection
    QString ProxyPort = QStringLiteral("80");
    QString Sender; // From
    QString Agent = QStringLiteral("Mozilla/3.0 (compatible)");
    QString Accept = QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    QString Reference; // Referer
    QString Username;
    QString Password;
    QString ProxyUsername;
    QString ProxyPassword;
    bool NoCache = false;
    QDateTime ModifiedSince; // invalid/null = not sent
    QString Cookie;
    QString ContentTypePost = QStringLiteral("application/x-www-form-urlencoded");
    QString ContentRangeBegin; // sent once as a Range header, then cleared
    QString ContentRangeEnd;
    bool MultiThreaded = false; // passed on to the socket
    // A redirect from a server outside the local network to one inside it (loopback,
    // link-local, private) is refused: a public site cannot make the client probe the
    // user's network. Redirects between local servers are followed.
    bool RefuseLocalRedirects = true;
    // The address was named by a document of a server outside the local network: when it
    // lies inside (as written, or once resolved on a direct connection) the request is
    // refused before it is sent, with LocalAddress; its redirects count as a public
    // server's. Set for each request; StartGet does not clear it.
    bool RefuseLocalAddress = false;

    // Body bytes are appended here (not owned; may be null).
    QIODevice* ReceiveStream = nullptr;
    QIODevice*& RcvdStream = ReceiveStream;
    // Body of a POST (not owned).
    QIODevice* PostStream = nullptr;

    // ---- Operations ----
    void StartGet();  // raises EHttpException "HTTP component is busy" (1) unless Ready
    void StartPost(); // also "HTTP component has nothing to post" (2) without PostStream
    void StartHead();
    void GetASync() { StartGet(); }
    void Abort();

    // ---- Results ----
    THttpState ClientState() const { return state_; }
    THttpRequest RequestKind() const { return requestKind_; }
    int ResponseStatus() const { return responseStatus_; }
    const QString& ResponseReason() const { return responseReason_; }
    std::uint16_t CompletionError() const { return completionError_; }
    qint64 ResponseLength() const { return responseLength_; }
    const QString& ResponseType() const { return responseType_; }
    const QStringList& ResponseHeader() const { return responseHeader_; }
    const QString& DocumentName() const { return documentName_; }
    qint64 BodyBytes() const { return bodyBytes_; }
    qint64 SentCount() const { return sentCount_; }
    const QString& AcceptRanges() const { return acceptRanges_; }
    const QStringList& AuthenticateChallenges() const { return challenges_; }
    // The header line being reported (OnHeaderData) or the body chunk (OnDocData).
    const QByteArray& CurrentLine() const { return currentLine_; }
    QString CurrentLineText() const { return QString::fromLatin1(currentLine_); }
    // Where the request goes: the server, or the proxy.
    const QString& ConnectHost() const { return connectHost_; }
    const QString& ConnectPort() const { return connectPort_; }
    const QString& HostHeader() const { return hostHeader_; }
    const QString& RequestTarget() const { return requestTarget_; }
    // The address being fetched, redirects applied: scheme "://" host [":" port] path.
    QString CurrentAddress() const;
    int RedirectCount() const { return redirectCount_; }
    // The request's own server is in the local network (as written, or once resolved).
    bool ServerIsLocal() const { return fromLocalServer_; }
    TWSocket& Socket() { return *socket_; }

    // ---- Events (skipped when empty) ----
    using Notify = std::function<void(THttpCli* sender)>;
    Notify OnTrace; // never fired
    Notify OnSessionConnected;
    Notify OnHeaderData;
    std::function<void(THttpCli* sender, QByteArray& line)> OnCommand;
    Notify OnHeaderBegin;
    Notify OnHeaderEnd;
    Notify OnRequestHeaderBegin;
    Notify OnRequestHeaderEnd;
    Notify OnDocBegin;
    std::function<void(THttpCli* sender, const char* buffer, qint64 len)> OnDocData;
    Notify OnDocEnd;
    Notify OnSendBegin;
    std::function<void(THttpCli* sender, const char* buffer, qint64 len)> OnSendData;
    Notify OnSendEnd;
    Notify OnStateChange;
    std::function<void(THttpCli* sender, THttpRequest rqType, std::uint16_t error)> OnRequestDone;
    Notify OnLocationChange;
    std::function<void(THttpCli* sender, const QString& data, bool& accept)> OnCookie;

private:
    friend class HttpMessageTarget;
    enum class ClosedHandler { Normal, Redirect };
    // An https request through an HTTP proxy first asks it for a tunnel (CONNECT).
    enum class Tunnel { None, AwaitingProxy, Handshaking };

    void StartRequest(THttpRequest kind);
    void ResetResponse();
    void SetState(THttpState state); // the one place ClientState changes
    bool Still(std::uintptr_t serial, THttpState state) const { return serial_ == serial && state_ == state; }
    bool Receiving() const;
    void StartLookup();
    void HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    // Socket events
    void SocketDnsLookupDone(std::uint16_t error);
    void SocketSessionConnected(std::uint16_t error);
    void SocketDataAvailable(std::uint16_t error);
    void SocketDataSent(std::uint16_t error);
    void SocketSessionClosed(std::uint16_t error);

    void SendRequest();
    void SendPostChunk();
    void ProcessBuffer();
    void HandleHeaderLine(QByteArrayView line, QByteArrayView raw);
    void HeaderEnded();
    bool BeginBody(std::uintptr_t serial);
    void HandleBody(const char* data, qint64 len);
    void ApplyLocation(const QString& location);
    void Fail(int status, const QString& reason, std::uint16_t error);
    void FailAndClose(std::uint16_t error, const QString& reason);
    void CloseSocket();
    void ConnectionEnd(std::uint16_t closeError);
    void RedirectClosed();
    // Where target_ says to connect, and with or without TLS.
    void AimAtTarget();
    void PrepareSocket();
    QString SocketErrorReason(std::uint16_t error) const;
    void SendTunnelRequest();
    void ReadTunnelReply();

    std::unique_ptr<TWSocket> socket_;
    std::unique_ptr<HttpMessageTarget> window_;
    std::unique_ptr<HttpLineBuffer> lineBuffer_;

    THttpState state_ = THttpState::Ready;
    THttpRequest requestKind_ = THttpRequest::None;
    ClosedHandler closedHandler_ = ClosedHandler::Normal;
    std::uintptr_t serial_ = 0; // tags posted messages so stale ones are ignored

    QString connectHost_;
    QString connectPort_;
    QString hostHeader_;
    QString requestTarget_;
    QString scheme_;
    bool secure_ = false; // https: TLS to the server
    Tunnel tunnel_ = Tunnel::None;
    QString location_;
    bool locationReceived_ = false;
    bool connected_ = false;
    bool allowSending_ = false;
    bool closedByClient_ = false; // we closed on purpose: the close says nothing about success
    bool ended_ = false;          // connection end ran for this connection
    HttpTarget target_;
    HttpTarget authOrigin_; // the server the login of this request belongs to
    QString authUser_;
    QString authPassword_;
    int redirectCount_ = 0;
    bool fromLocalServer_ = false; // the request's own server is a local one
    int headerLines_ = 0;
    qint64 headerBytes_ = 0;
    int bodyChunks_ = 0;

    int responseStatus_ = 0;
    QString responseReason_;
    std::uint16_t completionError_ = 0;
    qint64 responseLength_ = -1;
    QString responseType_;
    QStringList responseHeader_;
    QString documentName_;
    qint64 bodyBytes_ = 0;
    qint64 sentCount_ = 0;
    QString acceptRanges_;
    QStringList challenges_;
    QByteArray currentLine_;
};

} // namespace pw::net
