// The request side of the client: start, lookup, connect, request header, POST body,
// connection end, abort and its own messages.
#include "net/THttpCli.h"

#include "net/HttpLineBuffer.h"
#include "net/HttpRequestText.h"
#include "net/HttpUrl.h"
#include "net/LocalAddress.h"
#include "net/TWSocket.h"
#include "net/WSocketLibrary.h"
#include "platform/MessageTarget.h"

#include <QIODevice>
#include <QLoggingCategory>
#include <QtDebug>
#include <iterator>

namespace pw::net {

// The client's hidden window: its three messages come back to the client.
class HttpMessageTarget : public platform::MessageTarget {
public:
    explicit HttpMessageTarget(THttpCli* client) : client_(client) {}

protected:
    void Dispatch(unsigned msg, platform::WParam wParam, platform::LParam lParam) override
    {
        client_->HandleMessage(msg, wParam, lParam);
    }

private:
    THttpCli* client_;
};

namespace {

Q_LOGGING_CATEGORY(lcHttp, "panelwick.http", QtWarningMsg)

bool TransitionAllowed(THttpState from, THttpState to)
{
    using S = THttpState;
    if (to == S::Aborting || to == S::Ready)
        return from != S::Ready;
    switch (from) {
    case S::Ready:
        return to == S::Preparing;
    case S::Preparing:
        return to == S::ResolvingHost;
    case S::ResolvingHost:
        return to == S::HostResolved;
    case S::HostResolved:
        return to == S::Connected;
    case S::Connected:
        return to == S::ReadingHeader;
    case S::ReadingHeader:
        return to == S::ReadingBody || to == S::ResolvingHost;
    default:
        return false;
    }
}

QString ErrorWithNumber(int error)
{
    return SocketErrorText(error) + QStringLiteral(" (Error #") + QString::number(error) + QLatin1Char(')');
}

std::intptr_t PackDone(THttpRequest kind, std::uint16_t error)
{
    return (static_cast<std::intptr_t>(kind) << 16) | error;
}

} // namespace

const char* HttpStateName(THttpState state)
{
    static const char* const names[] = {"Ready",        "Preparing",     "Connected",   "ResolvingHost",
                                        "HostResolved", "ReadingHeader", "ReadingBody", "Aborting"};
    const auto i = static_cast<unsigned>(state);
    return i < std::size(names) ? names[i] : "?";
}

THttpCli::THttpCli()
    : socket_(std::make_unique<TWSocket>()), window_(std::make_unique<HttpMessageTarget>(this)),
      lineBuffer_(std::make_unique<HttpLineBuffer>(LineBufferSize))
{
    socket_->OnDnsLookupDone = [this](TCustomWSocket*, std::uint16_t e) { SocketDnsLookupDone(e); };
    socket_->OnSessionConnected = [this](TCustomWSocket*, std::uint16_t e) { SocketSessionConnected(e); };
    socket_->OnDataAvailable = [this](TCustomWSocket*, std::uint16_t e) { SocketDataAvailable(e); };
    socket_->OnDataSent = [this](TCustomWSocket*, std::uint16_t e) { SocketDataSent(e); };
    socket_->OnSessionClosed = [this](TCustomWSocket*, std::uint16_t e) { SocketSessionClosed(e); };
    // One request per connection, over long before the first keep-alive probe: its
    // users' own time-outs end a connection that went silent.
    socket_->SetKeepAlive(false);
}

THttpCli::~THttpCli()
{
    socket_->OnDnsLookupDone = nullptr;
    socket_->OnSessionConnected = nullptr;
    socket_->OnDataAvailable = nullptr;
    socket_->OnDataSent = nullptr;
    socket_->OnSessionClosed = nullptr;
    window_->DiscardPosted();
}

void THttpCli::StartGet()
{
    StartRequest(THttpRequest::Get);
}
void THttpCli::StartPost()
{
    StartRequest(THttpRequest::Post);
}
void THttpCli::StartHead()
{
    StartRequest(THttpRequest::Head);
}

void THttpCli::SetState(THttpState state)
{
    if (state == state_)
        return;
    if (!TransitionAllowed(state_, state))
        qCWarning(lcHttp, "unexpected state change %s -> %s", HttpStateName(state_), HttpStateName(state));
    else
        qCDebug(lcHttp, "%p %s -> %s", static_cast<void*>(this), HttpStateName(state_), HttpStateName(state));
    Q_ASSERT(TransitionAllowed(state_, state));
    state_ = state;
    // Captured before the event: a handler may already start the next request.
    const std::uintptr_t serial = serial_;
    const std::intptr_t done = PackDone(requestKind_, completionError_);
    if (OnStateChange)
        OnStateChange(this);
    if (state == THttpState::Ready)
        window_->Post(MsgRequestDone, serial, done);
}

void THttpCli::ResetResponse()
{
    responseStatus_ = 0;
    responseReason_.clear();
    responseLength_ = -1;
    responseType_.clear();
    headerLines_ = 0;
    headerBytes_ = 0;
    bodyChunks_ = 0;
    location_.clear();
    locationReceived_ = false;
    closedByClient_ = false;
    ended_ = false;
    lineBuffer_->Clear();
}

void THttpCli::StartRequest(THttpRequest kind)
{
    if (state_ != THttpState::Ready)
        throw EHttpException(QStringLiteral("HTTP component is busy"), HttpError::Busy);
    if (kind == THttpRequest::Post && !PostStream)
        throw EHttpException(QStringLiteral("HTTP component has nothing to post"), HttpError::NothingToPost);

    const std::uintptr_t serial = ++serial_;
    responseHeader_.clear();
    challenges_.clear();
    requestKind_ = kind;
    completionError_ = 0;
    closedHandler_ = ClosedHandler::Normal;
    connected_ = false;
    redirectCount_ = 0;
    ResetResponse();
    SetState(THttpState::Preparing);
    if (!Still(serial, THttpState::Preparing))
        return;
    documentName_.clear();
    bodyBytes_ = 0;
    sentCount_ = 0;
    allowSending_ = false;

    const HttpUrlParts url = SplitUrl(URL);
    target_ = TargetFromUrl(url);
    // A login in the address is for this request only; the properties hold for every
    // request. Either goes only to the server of this address.
    authUser_ = url.User.isEmpty() ? Username : url.User;
    authPassword_ = url.User.isEmpty() ? Password : url.Password;
    authOrigin_ = target_;
    fromLocalServer_ = !RefuseLocalAddress && IsLocalHost(target_.Host);
    AimAtTarget();
    if (!Proxy.isEmpty()) {
        const HttpUrlParts proxy = SplitUrl(Proxy);
        connectHost_ = proxy.Host;
        connectPort_ = proxy.Port.isEmpty() ? ProxyPort : proxy.Port;
    }
    documentName_ = DocumentNameFromPath(url.Path);
    StartLookup();
}

void THttpCli::AimAtTarget()
{
    secure_ = target_.Scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    hostHeader_ = target_.Host;
    if (Proxy.isEmpty()) {
        connectHost_ = target_.Host;
        connectPort_ = !target_.Port.isEmpty() ? target_.Port
                       : secure_               ? QStringLiteral("443")
                                               : QStringLiteral("80");
    }
    // Through a tunnel the server itself reads the request: no absolute address.
    requestTarget_ = Proxy.isEmpty() || secure_ ? target_.Path : AbsoluteAddress(target_);
    if (requestTarget_.isEmpty())
        requestTarget_ = QStringLiteral("/");
}

QString THttpCli::CurrentAddress() const
{
    return AbsoluteAddress(target_);
}

void THttpCli::PrepareSocket()
{
    tunnel_ = Tunnel::None;
    socket_->SetSslEnabled(secure_ && Proxy.isEmpty());
    socket_->SetSslHost(target_.Host);
    socket_->SetSslPort(target_.Port.isEmpty() ? QStringLiteral("443") : target_.Port);
}

QString THttpCli::SocketErrorReason(std::uint16_t error) const
{
    return TlsError::IsTlsError(error) ? socket_->SslErrorText() : ErrorWithNumber(error);
}

void THttpCli::StartLookup()
{
    const std::uintptr_t serial = serial_;
    SetState(THttpState::ResolvingHost);
    if (!Still(serial, THttpState::ResolvingHost))
        return;
    // Refused before any connection: a name of dots leaves TLS no name to check the
    // certificate against, and a proxy would still open a tunnel somewhere.
    QString host = target_.Host;
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (secure_ && host.trimmed().isEmpty()) {
        Fail(404, QStringLiteral("the address names no host"), HttpError::NoHost);
        ConnectionEnd(0);
        return;
    }
    // A redirect was checked by its own rule before it got here.
    if (RefuseLocalAddress && redirectCount_ == 0 && IsLocalHost(target_.Host)) {
        Fail(404, QStringLiteral("the address is in the local network"), HttpError::LocalAddress);
        ConnectionEnd(0);
        return;
    }
    try {
        socket_->DnsLookup(connectHost_);
    } catch (const std::exception&) {
        // An empty or unusable name: no lookup started, so no completion will come.
        if (Still(serial, THttpState::ResolvingHost))
            SocketDnsLookupDone(WSAEINVAL);
    }
}

void THttpCli::SocketDnsLookupDone(std::uint16_t error)
{
    if (state_ != THttpState::ResolvingHost)
        return; // cancelled by Abort, or from an earlier request
    if (error != 0) {
        Fail(404, QStringLiteral("can't resolve hostname to IP address"), error);
        ConnectionEnd(0);
        return;
    }
    if (Proxy.isEmpty() && redirectCount_ == 0 && RefuseLocalAddress && IsLocalHost(socket_->DnsResult())) {
        Fail(404, QStringLiteral("the address is in the local network"), HttpError::LocalAddress);
        ConnectionEnd(0);
        return;
    }
    if (Proxy.isEmpty() && redirectCount_ == 0 && IsLocalHost(socket_->DnsResult()))
        fromLocalServer_ = true; // a name of the local network
    else if (Proxy.isEmpty() && redirectCount_ > 0 && RefuseLocalRedirects && !fromLocalServer_ &&
             IsLocalHost(socket_->DnsResult())) {
        Fail(404, QStringLiteral("Redirection refused: the address is in the local network"),
             HttpError::LocalRedirect);
        ConnectionEnd(0);
        return;
    }
    const std::uintptr_t serial = serial_;
    SetState(THttpState::HostResolved);
    if (!Still(serial, THttpState::HostResolved))
        return;
    try {
        socket_->SetMultiThreaded(MultiThreaded);
        socket_->SetAddr(socket_->DnsResult());
        socket_->SetPort(connectPort_);
        socket_->SetProto(QStringLiteral("tcp"));
        PrepareSocket();
        socket_->Connect();
    } catch (const std::exception&) {
        // A failure that set no socket error (a bad port text) still has to fail.
        const int code = socket_->LastError() != 0 ? socket_->LastError() : WSAEINVAL;
        Fail(404, QStringLiteral("can't connect: ") + ErrorWithNumber(code),
             static_cast<std::uint16_t>(code));
        closedByClient_ = true;
        CloseSocket();
        ConnectionEnd(0);
    }
}

void THttpCli::SocketSessionConnected(std::uint16_t error)
{
    if (state_ != THttpState::HostResolved)
        return;
    if (error != 0) {
        Fail(404, SocketErrorReason(error), error);
        ConnectionEnd(0);
        return;
    }
    if (secure_ && !Proxy.isEmpty() && tunnel_ == Tunnel::None) {
        SendTunnelRequest(); // the request follows once the tunnel's TLS is up
        return;
    }
    tunnel_ = Tunnel::None;
    const std::uintptr_t serial = serial_;
    connected_ = true;
    SetState(THttpState::Connected);
    if (!Still(serial, THttpState::Connected))
        return;
    if (OnSessionConnected)
        OnSessionConnected(this);
    if (!Still(serial, THttpState::Connected))
        return;
    SetState(THttpState::ReadingHeader);
    if (!Still(serial, THttpState::ReadingHeader))
        return;
    try {
        SendRequest();
    } catch (const std::exception&) {
        if (serial != serial_)
            return;
        const int code = socket_->LastError() != 0 ? socket_->LastError() : WSAENOTCONN;
        FailAndClose(static_cast<std::uint16_t>(code), ErrorWithNumber(code));
        return;
    }
    if (requestKind_ == THttpRequest::Post && Still(serial, THttpState::ReadingHeader)) {
        if (OnSendBegin)
            OnSendBegin(this);
        allowSending_ = true;
        SendPostChunk();
    }
}

void THttpCli::SendRequest()
{
    static const char* const methods[] = {"", "GET", "POST", "HEAD"};
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
    const bool post = requestKind_ == THttpRequest::Post;
    HttpRequestFields fields;
    fields.Method = methods[static_cast<int>(requestKind_)];
    fields.Target = requestTarget_;
    fields.Sender = Sender;
    fields.Accept = Accept;
    fields.Reference = Reference;
    if (post) {
        fields.ContentType = ContentTypePost;
        fields.ContentLength = PostStream->size();
    }
    fields.Agent = Agent;
    fields.Host = hostHeader_;
    fields.NoCache = NoCache;
    fields.ModifiedSince = ModifiedSince;
    if (SameServer(target_, authOrigin_)) {
        fields.Username = authUser_;
        fields.Password = authPassword_;
    }
    if (!Proxy.isEmpty() && !secure_) { // a tunnel's credentials went with its CONNECT
        fields.ProxyUsername = ProxyUsername;
        fields.ProxyPassword = ProxyPassword;
    }
    fields.Cookie = Cookie;
    fields.RangeBegin = ContentRangeBegin;
    fields.RangeEnd = ContentRangeEnd;
    QByteArray header = BuildRequestHeader(fields, [this](QByteArray& line) {
        if (OnCommand)
            OnCommand(this, line);
    });
    ContentRangeBegin.clear(); // a range is asked for once
    ContentRangeEnd.clear();
    acceptRanges_.clear();
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
    header += "\r\n";
    socket_->Send(header.constData(), static_cast<int>(header.size()));
}

void THttpCli::SocketDataSent(std::uint16_t)
{
    if (allowSending_)
        SendPostChunk();
}

void THttpCli::SendPostChunk()
{
    if (!PostStream) {
        allowSending_ = false;
        return;
    }
    char chunk[8193];
    const qint64 n = PostStream->read(chunk, sizeof chunk);
    if (n > 0) {
        sentCount_ += n;
        if (OnSendData)
            OnSendData(this, chunk, n);
        socket_->Send(chunk, static_cast<int>(n));
    }
    if (n <= 0 || PostStream->atEnd()) {
        allowSending_ = false;
        if (OnSendEnd)
            OnSendEnd(this);
    }
}

void THttpCli::Fail(int status, const QString& reason, std::uint16_t error)
{
    responseStatus_ = status;
    responseReason_ = reason;
    completionError_ = error;
}

void THttpCli::FailAndClose(std::uint16_t error, const QString& reason)
{
    Fail(404, reason, error);
    closedByClient_ = true;
    CloseSocket();
    ConnectionEnd(0);
}

void THttpCli::CloseSocket()
{
    if (socket_->State() == wsClosed)
        return;
    try {
        socket_->Close();
    } catch (const std::exception&) {
        // The handle is gone either way; the request ends below.
    }
}

void THttpCli::SocketSessionClosed(std::uint16_t error)
{
    if (closedHandler_ == ClosedHandler::Redirect) {
        RedirectClosed();
        return;
    }
    ConnectionEnd(error);
}

void THttpCli::ConnectionEnd(std::uint16_t closeError)
{
    if (ended_ || state_ == THttpState::Ready)
        return;
    ended_ = true;
    const bool wasConnected = connected_;
    connected_ = false;
    if (completionError_ == 0 && !closedByClient_ && tunnel_ == Tunnel::AwaitingProxy)
        Fail(404, QStringLiteral("the proxy closed the connection instead of opening a tunnel"),
             HttpError::TunnelRefused);
    if (completionError_ == 0 && !closedByClient_ && wasConnected) {
        const bool bodyless = requestKind_ == THttpRequest::Head || responseStatus_ == 204 ||
                              responseStatus_ == 304 || (responseStatus_ >= 100 && responseStatus_ < 200);
        if (closeError == TlsError::Truncated) {
            // Cut off without TLS's own close: only a met Content-Length shows the answer whole.
            closeError = 0;
            if (state_ == THttpState::ReadingBody && !bodyless && responseLength_ < 0)
                Fail(404, QStringLiteral("Connection closed before the end of the document"),
                     HttpError::IncompleteBody);
        }
        if (completionError_ != 0) {
            // decided above
        } else if (closeError != 0)
            Fail(404, SocketErrorReason(closeError), closeError);
        else if (state_ == THttpState::ReadingHeader)
            Fail(404, QStringLiteral("Connection closed before the end of the header"),
                 HttpError::IncompleteHeader);
        else if (state_ == THttpState::ReadingBody && !bodyless && responseLength_ >= 0 &&
                 bodyBytes_ < responseLength_)
            Fail(404, QStringLiteral("Connection closed before the end of the document"),
                 HttpError::IncompleteBody);
    }
    const std::uintptr_t serial = serial_;
    if (bodyChunks_ > 0 && OnDocEnd)
        OnDocEnd(this);
    if (serial == serial_)
        window_->Post(MsgSetReady, serial);
}

void THttpCli::RedirectClosed()
{
    const std::uintptr_t serial = serial_;
    connected_ = false;
    closedHandler_ = ClosedHandler::Normal;
    if (OnLocationChange)
        OnLocationChange(this);
    if (Still(serial, THttpState::ReadingHeader))
        window_->Post(MsgRestart, serial);
}

void THttpCli::Abort()
{
    if (state_ == THttpState::Ready) {
        closedByClient_ = true;
        CloseSocket();
        return;
    }
    const THttpState old = state_;
    const std::uintptr_t serial = serial_;
    SetState(THttpState::Aborting);
    if (!Still(serial, THttpState::Aborting))
        return;
    if (old == THttpState::ResolvingHost) {
        try {
            socket_->CancelDnsLookup();
        } catch (const std::exception&) {
        }
    }
    Fail(404, QStringLiteral("Connection aborted on request"), HttpError::Aborted);
    closedByClient_ = true;
    closedHandler_ = ClosedHandler::Normal;
    if (old == THttpState::ResolvingHost)
        ConnectionEnd(0);
    else
        CloseSocket();
    connected_ = false;
    if (Still(serial, THttpState::Aborting))
        SetState(THttpState::Ready);
}

void THttpCli::HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (msg) {
    case MsgRequestDone:
        // Fired even when a newer request already started, with the values of its own
        // request. Nothing of this object is touched afterwards: the handler may free it.
        if (OnRequestDone)
            OnRequestDone(this, static_cast<THttpRequest>(lParam >> 16),
                          static_cast<std::uint16_t>(lParam & 0xFFFF));
        return;
    case MsgSetReady:
        if (wParam == serial_ && state_ != THttpState::Ready)
            SetState(THttpState::Ready);
        return;
    case MsgRestart:
        if (wParam != serial_ || state_ != THttpState::ReadingHeader)
            return;
        ResetResponse();
        StartLookup();
        return;
    default:
        return;
    }
}

} // namespace pw::net
