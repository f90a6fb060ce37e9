// The receive side of the client: buffering, header lines, body chunks, redirects.
#include "net/THttpCli.h"

#include "net/HttpLineBuffer.h"
#include "net/HttpRequestText.h"
#include "net/HttpResponseLine.h"
#include "net/HttpUrl.h"
#include "net/LocalAddress.h"
#include "net/TWSocket.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>
#include <memory>

namespace pw::net {

namespace {

// Every client of the thread reads into one buffer: what a read brings is handed on
// before the read returns, so a hundred clients waiting for their servers need not hold
// 64 KB each. A read made while another is still being handed on (from inside one of
// its handlers) gets a buffer of its own.
class ReceiveBuffer {
public:
    ReceiveBuffer()
    {
        if (!Shared().inUse) {
            if (!Shared().data) // not zero-filled: only received bytes are read
                Shared().data = std::make_unique_for_overwrite<char[]>(THttpCli::BodyBufferSize);
            Shared().inUse = true;
            data_ = Shared().data.get();
        } else {
            own_ = std::make_unique_for_overwrite<char[]>(THttpCli::BodyBufferSize);
            data_ = own_.get();
        }
    }
    ~ReceiveBuffer()
    {
        if (!own_)
            Shared().inUse = false;
    }
    ReceiveBuffer(const ReceiveBuffer&) = delete;
    ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;

    char* Data() const { return data_; }

private:
    struct Slot {
        std::unique_ptr<char[]> data;
        bool inUse = false;
    };
    static Slot& Shared()
    {
        thread_local Slot slot;
        return slot;
    }

    char* data_ = nullptr;
    std::unique_ptr<char[]> own_;
};

HttpTarget NextTarget(const HttpTarget& current, const QString& location)
{
    HttpTarget next = ResolveLocation(current, location);
    if (location.trimmed().startsWith(QLatin1String("//")))
        next.Scheme = current.Scheme; // a network-path reference keeps the scheme
    return next;
}

} // namespace

bool THttpCli::Receiving() const
{
    return connected_ && (state_ == THttpState::ReadingHeader || state_ == THttpState::ReadingBody);
}

void THttpCli::SocketDataAvailable(std::uint16_t)
{
    if (tunnel_ == Tunnel::AwaitingProxy) {
        ReadTunnelReply();
        return;
    }
    // Always read, and in large pieces: a small answer comes whole in one read, header
    // and body together. Data left unread would be delivered again at once.
    ReceiveBuffer buffer;
    const int n = socket_->Receive(buffer.Data(), BodyBufferSize);
    if (n <= 0)
        return;
    const char* data = buffer.Data();
    if (Receiving() && state_ == THttpState::ReadingBody) {
        HandleBody(data, n); // body bytes need no line splitting
        return;
    }
    // Header lines go through the line buffer, whose size caps a line; what follows the
    // header is the body's.
    const std::uintptr_t serial = serial_;
    int at = 0;
    while (at < n && serial == serial_ && Receiving()) {
        if (state_ == THttpState::ReadingBody) {
            HandleBody(data + at, n - at);
            return;
        }
        if (lineBuffer_->FreeSize() == 0)
            lineBuffer_->Clear();
        const int take = std::min(n - at, lineBuffer_->FreeSize());
        std::memcpy(lineBuffer_->FreeSpace(), data + at, static_cast<size_t>(take));
        lineBuffer_->Commit(take);
        at += take;
        ProcessBuffer();
    }
}

void THttpCli::ProcessBuffer()
{
    const std::uintptr_t serial = serial_;
    if (Receiving() && state_ == THttpState::ReadingBody) {
        const QByteArrayView chunk = lineBuffer_->Pending();
        HandleBody(chunk.data(), chunk.size());
        if (serial == serial_)
            lineBuffer_->Clear();
        return;
    }
    QByteArrayView line;
    QByteArrayView raw;
    while (serial == serial_ && Receiving() && state_ == THttpState::ReadingHeader &&
           lineBuffer_->TakeLine(line, raw))
        HandleHeaderLine(line, raw);
    if (serial != serial_)
        return;
    if (!Receiving()) {
        lineBuffer_->Clear(); // nothing more is wanted from this connection
        return;
    }
    // A line that fills the whole buffer can never end: give up instead of waiting.
    if (state_ == THttpState::ReadingHeader && lineBuffer_->Full())
        FailAndClose(HttpError::LineTooLong, QStringLiteral("HTTP line too long"));
}

void THttpCli::HandleHeaderLine(QByteArrayView line, QByteArrayView raw)
{
    const std::uintptr_t serial = serial_;
    if (headerLines_ == 0 && OnHeaderBegin) {
        OnHeaderBegin(this);
        if (!Still(serial, THttpState::ReadingHeader) || !connected_)
            return;
    }
    ++headerLines_;
    const HttpResponseLine parsed = ParseResponseLine(line);
    if (parsed.kind == HttpResponseLine::Kind::Html) {
        // A document without header: the line and what follows it are the body, as sent.
        if (responseType_.isEmpty())
            responseType_ = QStringLiteral("text/html");
        if (!BeginBody(serial))
            return;
        const QByteArrayView rest = lineBuffer_->Pending();
        QByteArray first = raw.toByteArray();
        first += rest;
        lineBuffer_->Clear();
        HandleBody(first.constData(), first.size());
        return;
    }
    if (parsed.kind == HttpResponseLine::Kind::Empty) {
        HeaderEnded();
        return;
    }

    headerBytes_ += line.size();
    if (headerLines_ > MaxHeaderLines || headerBytes_ > MaxHeaderBytes) {
        FailAndClose(HttpError::HeaderTooLarge, QStringLiteral("HTTP header too large"));
        return;
    }
    responseHeader_.append(QString::fromLatin1(line));
    if (parsed.kind == HttpResponseLine::Kind::Status) {
        responseStatus_ = parsed.Status;
        responseReason_ = parsed.Reason;
    } else if (parsed.kind == HttpResponseLine::Kind::Field) {
        const QByteArray& name = parsed.Name;
        if (name == "location") {
            location_ = parsed.Value;
            locationReceived_ = !parsed.Value.trimmed().isEmpty();
        } else if (name == "content-length") {
            responseLength_ = ParseContentLength(parsed.Value);
        } else if (name == "content-range") {
            const HttpContentRange range = ParseContentRange(parsed.Value);
            ContentRangeBegin = range.Begin;
            ContentRangeEnd = range.End;
        } else if (name == "accept-ranges") {
            acceptRanges_ = parsed.Value;
        } else if (name == "content-type") {
            responseType_ = parsed.Value.toLower();
        } else if (name == "www-authenticate") {
            if (challenges_.size() < 64)
                challenges_.append(parsed.Value);
        } else if (name == "set-cookie" && OnCookie) {
            bool accept = true;
            OnCookie(this, parsed.Value, accept);
            if (!Still(serial, THttpState::ReadingHeader) || !connected_)
                return;
        }
    }
    currentLine_ = line.toByteArray();
    if (OnHeaderData)
        OnHeaderData(this);
    if (!Still(serial, THttpState::ReadingHeader) || !connected_)
        return;
    if (responseStatus_ >= 400 && responseStatus_ != 429 && responseStatus_ != 503) {
        // The rest of an error response is not read. "Too many requests" and "Service
        // unavailable" keep their header: its Retry-After says when to come back.
        closedByClient_ = true;
        CloseSocket();
        ConnectionEnd(0);
    }
}

void THttpCli::HeaderEnded()
{
    const std::uintptr_t serial = serial_;
    if (responseStatus_ >= 400) { // 429 or 503: header read, the body is not
        closedByClient_ = true;
        CloseSocket();
        ConnectionEnd(0);
        return;
    }
    if (locationReceived_) {
        if (!IsSafeLocation(location_)) {
            FailAndClose(
                HttpError::UnsafeLocation,
                QStringLiteral("Redirection refused: the Location holds a space or control character"));
            return;
        }
        if (secure_ &&
            NextTarget(target_, location_).Scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) != 0) {
            FailAndClose(HttpError::Downgrade, QStringLiteral("the server redirected from https to http"));
            return;
        }
        // Seen from the address alone here; a name is checked once it is resolved.
        if (RefuseLocalRedirects && !fromLocalServer_ &&
            IsLocalHost(ResolveLocation(target_, location_.trimmed()).Host)) {
            FailAndClose(HttpError::LocalRedirect,
                         QStringLiteral("Redirection refused: the address is in the local network"));
            return;
        }
        if (++redirectCount_ > MaxRedirects) {
            FailAndClose(HttpError::TooManyRedirects, QStringLiteral("Too many redirections"));
            return;
        }
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        if (!Still(serial, THttpState::ReadingHeader) || !connected_)
            return;
        lineBuffer_->Clear();
        headerLines_ = 0;
        bodyChunks_ = 0;
        headerBytes_ = 0;
        locationReceived_ = false;
        ApplyLocation(location_);
        closedHandler_ = ClosedHandler::Redirect;
        closedByClient_ = true;
        CloseSocket();
        if (closedHandler_ == ClosedHandler::Redirect && serial == serial_)
            RedirectClosed(); // the socket had nothing left to close
        return;
    }
    if (documentName_.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) &&
        responseType_ == QLatin1String("text/html")) {
        documentName_.chop(3);
        documentName_ += QLatin1String("htm");
    }
    if (!BeginBody(serial))
        return;
    const QByteArrayView rest = lineBuffer_->Pending();
    if (!rest.isEmpty())
        HandleBody(rest.data(), rest.size());
    if (serial == serial_)
        lineBuffer_->Clear();
}

bool THttpCli::BeginBody(std::uintptr_t serial)
{
    // Handlers may abort or start another request; go on only while this one reads its body.
    SetState(THttpState::ReadingBody);
    if (!Still(serial, THttpState::ReadingBody))
        return false;
    if (OnHeaderEnd)
        OnHeaderEnd(this);
    return Still(serial, THttpState::ReadingBody) && connected_;
}

void THttpCli::HandleBody(const char* data, qint64 len)
{
    const std::uintptr_t serial = serial_;
    if (bodyChunks_ == 0 && OnDocBegin) {
        OnDocBegin(this);
        if (!Still(serial, THttpState::ReadingBody) || !connected_)
            return;
    }
    ++bodyChunks_;
    bodyBytes_ += len;
    if (ReceiveStream && ReceiveStream->write(data, len) != len) {
        FailAndClose(HttpError::WriteFailed,
                     QStringLiteral("Can't write the document: ") + ReceiveStream->errorString());
        return;
    }
    if (OnDocData) {
        currentLine_ = QByteArray::fromRawData(data, len); // no copy of the body
        OnDocData(this, data, len);
        if (serial == serial_)
            currentLine_.clear();
    }
}

void THttpCli::ApplyLocation(const QString& location)
{
    target_ = NextTarget(target_, location);
    // A redirect that leaves the server of the login takes no login along, not even back.
    if (!SameServer(target_, authOrigin_)) {
        authUser_.clear();
        authPassword_.clear();
    }
    AimAtTarget();
}

} // namespace pw::net
