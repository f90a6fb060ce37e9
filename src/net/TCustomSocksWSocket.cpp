#include "TCustomSocksWSocket.h"

#include "SocksProtocol.h"

#include <algorithm>
#include <cstring>

namespace pw::net {

namespace {

QString Tcp()
{
    return QStringLiteral("tcp");
}

} // namespace

TCustomSocksWSocket::TCustomSocksWSocket()
{
    // The base constructor's reset cannot reach this layer's part of it.
    ResetSocks();
}

void TCustomSocksWSocket::ResetSocks()
{
    socksServer_.clear();
    socksServerAssigned_ = false;
    socksPort_.clear();
    socksLevel_ = QStringLiteral("5");
    socksState_ = socksData;
    failCode_ = 0;
    reply_.clear();
    pending_.clear();
    pendingPos_ = 0;
}

void TCustomSocksWSocket::AssignDefaultValue()
{
    TCustomWSocket::AssignDefaultValue();
    ResetSocks();
}

void TCustomSocksWSocket::SetNegotiationState(NegotiationState NewState)
{
    socksState_ = NewState;
}

// ---- properties ----

void TCustomSocksWSocket::SetSocksServer(const QString& Value)
{
    if (State() != wsClosed) {
        ReportError(QStringLiteral("Can't change socks server if not closed"));
        return;
    }
    socksServer_ = Value.trimmed();
    socksServerAssigned_ = !socksServer_.isEmpty();
}

void TCustomSocksWSocket::SetSocksPort(const QString& Value)
{
    if (State() != wsClosed) {
        ReportError(QStringLiteral("Can't change socks port if not closed"));
        return;
    }
    socksPort_ = Value.trimmed();
}

void TCustomSocksWSocket::SetSocksLevel(const QString& Value)
{
    if (State() != wsClosed) {
        ReportError(QStringLiteral("Can't change socks level if not closed"));
        return;
    }
    if (Value != QLatin1String("4") && Value != QLatin1String("5") && Value != QLatin1String("4A") &&
        Value != QLatin1String("4a")) {
        ReportError(QStringLiteral("Invalid socks level. Must be 4, 4A or 5."));
        return;
    }
    socksLevel_ = Value.toUpper();
}

// ---- opening ----

void TCustomSocksWSocket::Connect()
{
    // A socket in use or without Addr/Port: the plain connect reports it.
    if (!socksServerAssigned_ || (HSocket() != INVALID_SOCKET && State() != wsClosed) || !PortAssigned() ||
        !AddrAssigned()) {
        TCustomWSocket::Connect();
        return;
    }
    if (Proto().toLower() != Tcp()) {
        ReportError(QStringLiteral("tcp is the only protocol supported thru socks server"));
        return;
    }
    // Every length the requests carry is one byte: refuse before anything is sent.
    const bool level5 = socksLevel_ == QLatin1String("5");
    const bool tooLong =
        socksUsercode_.toUtf8().size() > socks::MaxFieldLength ||
        (level5 && socksAuthentication_ == socksAuthenticateUsercode &&
         socksPassword_.toUtf8().size() > socks::MaxFieldLength) ||
        (socksLevel_ != QLatin1String("4") && Addr().toUtf8().size() > socks::MaxFieldLength);
    if (tooLong) {
        ReportError(QStringLiteral("socks user code, password or host name longer than 255 bytes"));
        return;
    }
    try {
        if (!PortResolved())
            SetRemotePort(WSocketResolvePort(socksPort_, Tcp()));
        if (!AddrResolved())
            SetRemoteAddress(WSocketResolveHost(socksServer_));
        destPort_ = WSocketResolvePort(Port(), Tcp());
    } catch (const std::exception& e) {
        ReportError(QStringLiteral("connect: ") + ExceptionMessage(e));
        return;
    }
    reply_.clear();
    failCode_ = 0;
    SetNegotiationState(socksNegociateMethods);
    try {
        TCustomWSocket::Connect();
    } catch (...) {
        SetNegotiationState(socksData);
        throw;
    }
    if (State() != wsConnecting)
        SetNegotiationState(socksData); // the connect failed at once
}

void TCustomSocksWSocket::Listen()
{
    if (socksServerAssigned_) {
        ReportError(QStringLiteral("Listening is not supported thru socks server"));
        return;
    }
    TCustomWSocket::Listen();
}

// ---- negotiation ----

void TCustomSocksWSocket::TriggerSessionConnected(std::uint16_t Error)
{
    if (socksState_ != socksNegociateMethods) {
        TCustomWSocket::TriggerSessionConnected(Error);
        return;
    }
    const auto alive = AliveFlag();
    if (OnSocksConnected) {
        OnSocksConnected(this, Error);
        if (!*alive || State() != wsConnected)
            return;
    }
    if (Error != 0) {
        SetNegotiationState(socksData);
        TCustomWSocket::TriggerSessionConnected(Error);
        return;
    }
    if (socksLevel_ == QLatin1String("5"))
        SendSocks(socks::Socks5Greeting(socksAuthentication_ == socksAuthenticateUsercode));
    else
        SendConnectRequest();
}

void TCustomSocksWSocket::SendSocks(const QByteArray& Bytes)
{
    Send(Bytes.constData(), static_cast<int>(Bytes.size()));
}

void TCustomSocksWSocket::SendAuthentication()
{
    SetNegotiationState(socksAuthenticate);
    const auto alive = AliveFlag();
    if (OnSocksAuthState) {
        OnSocksAuthState(this, socksAuthStart);
        if (!*alive || State() != wsConnected)
            return;
    }
    SendSocks(socks::AuthRequest(socksUsercode_.toUtf8(), socksPassword_.toUtf8()));
}

void TCustomSocksWSocket::SendConnectRequest()
{
    SetNegotiationState(socksConnect);
    const QByteArray host = Addr().toUtf8();
    const QByteArray user = socksUsercode_.toUtf8();
    if (socksLevel_ == QLatin1String("5")) {
        SendSocks(socks::Socks5ConnectRequest(host, destPort_));
    } else if (socksLevel_ == QLatin1String("4A")) {
        SendSocks(socks::Socks4ARequest(destPort_, host, user));
    } else {
        std::uint32_t address = 0;
        try {
            address = WSocketResolveHost(Addr());
        } catch (const std::exception& e) {
            // Reported as a failed lookup, not as a failed connect.
            const QString kind = dynamic_cast<const ESocketException*>(&e)
                                     ? QStringLiteral("ESocketException")
                                     : QStringLiteral("Exception");
            failCode_ = socks::HostResolutionFailed;
            const auto alive = AliveFlag();
            if (OnSocksError) {
                OnSocksError(this, failCode_, kind + QLatin1Char(' ') + ExceptionMessage(e));
                if (!*alive)
                    return;
            }
            InternalClose(true, static_cast<std::uint16_t>(failCode_));
            return;
        }
        SendSocks(socks::Socks4Request(destPort_, address, user));
    }
}

bool TCustomSocksWSocket::TriggerDataAvailable(std::uint16_t Error)
{
    if (socksState_ == socksData)
        return TCustomWSocket::TriggerDataAvailable(Error);
    if (Error != 0) {
        Fail(Error, QStringLiteral("data receive error"));
        return true;
    }
    char buf[512]; // the longest reply is 262 bytes
    const int count = TCustomWSocket::DoRecv(buf, sizeof buf, 0);
    if (count <= 0)
        return true; // nothing yet, or the proxy closed: its close event follows
    reply_.append(buf, count);
    HandleReply();
    return true;
}

void TCustomSocksWSocket::HandleReply()
{
    const bool level5 = socksLevel_ == QLatin1String("5");
    socks::Reply r;
    switch (socksState_) {
    case socksNegociateMethods:
        if (!level5) {
            Fail(socks::ProtocolError, QStringLiteral("TWSocket logic error"));
            return;
        }
        r = socks::ParseMethodReply(reply_);
        break;
    case socksAuthenticate:
        r = socks::ParseAuthReply(reply_);
        break;
    case socksConnect:
        r = level5 ? socks::ParseSocks5Reply(reply_) : socks::ParseSocks4Reply(reply_);
        break;
    default:
        Fail(socks::InternalError, QStringLiteral("internal error"));
        return;
    }
    if (r.status == socks::Reply::NeedMore)
        return;
    if (r.status == socks::Reply::Failed) {
        Fail(r.Error, r.Msg);
        return;
    }
    const QByteArray rest = reply_.mid(r.Length);
    reply_.clear();
    const bool offered = socksAuthentication_ == socksAuthenticateUsercode;
    switch (socksState_) {
    case socksNegociateMethods:
        if (r.Value == socks::MethodNoAuthentication) {
            if (offered && OnSocksAuthState) {
                const auto alive = AliveFlag();
                OnSocksAuthState(this, socksAuthNotRequired);
                if (!*alive || State() != wsConnected)
                    return;
            }
            SendConnectRequest();
        } else if (r.Value == socks::MethodUsercode && offered) {
            // Credentials go only to a server we offered them to.
            SendAuthentication();
        } else {
            Fail(socks::AuthMethodError, QStringLiteral("authentification method not acceptable"));
        }
        break;
    case socksAuthenticate:
        if (OnSocksAuthState) {
            const auto alive = AliveFlag();
            OnSocksAuthState(this, socksAuthSuccess);
            if (!*alive || State() != wsConnected)
                return;
        }
        SendConnectRequest();
        break;
    default:
        pending_ = rest;
        pendingPos_ = 0;
        Connected();
        break;
    }
}

void TCustomSocksWSocket::Connected()
{
    SetNegotiationState(socksData);
    const auto alive = AliveFlag();
    TriggerSessionConnected(0); // a layer above (TLS) may have its own step to take first
    if (!*alive || State() != wsConnected)
        return;
    // Data that came with the reply is not announced again by the platform.
    int count = 0;
    if (TCustomSocksWSocket::QueryReadable(count) == 0 && count > 0)
        TriggerDataAvailable(0);
}

void TCustomSocksWSocket::Fail(int Error, const QString& Msg)
{
    const auto alive = AliveFlag();
    failCode_ = Error;
    if (OnSocksError) {
        OnSocksError(this, Error, Msg);
        if (!*alive || State() == wsClosed)
            return;
    }
    TCustomWSocket::TriggerSessionConnected(static_cast<std::uint16_t>(Error));
    if (!*alive || State() == wsClosed)
        return;
    InternalClose(true, static_cast<std::uint16_t>(Error));
}

void TCustomSocksWSocket::TriggerSessionClosed(std::uint16_t Error)
{
    if (socksState_ != socksData) {
        const auto alive = AliveFlag();
        const NegotiationState was = socksState_;
        SetNegotiationState(socksData);
        // The proxy hung up before letting us through (a close we did not ask for).
        if (failCode_ == 0 && State() != wsClosed) {
            failCode_ = socks::ProtocolError;
            const QString msg = QStringLiteral("socks server closed the connection");
            if (OnSocksError) {
                OnSocksError(this, failCode_, msg);
                if (!*alive)
                    return;
            }
            TCustomWSocket::TriggerSessionConnected(static_cast<std::uint16_t>(failCode_));
            if (!*alive)
                return;
        }
        if (was == socksAuthenticate && OnSocksAuthState) {
            OnSocksAuthState(this, socksAuthFailure);
            if (!*alive)
                return;
        }
        if (Error == 0)
            Error = static_cast<std::uint16_t>(failCode_);
    }
    TCustomWSocket::TriggerSessionClosed(Error);
}

void TCustomSocksWSocket::TriggerDataSent(std::uint16_t Error)
{
    // The requests of the negotiation are ours, not the user's.
    if (socksState_ == socksData)
        TCustomWSocket::TriggerDataSent(Error);
}

// ---- data behind the last reply ----

int TCustomSocksWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    const qsizetype left = pending_.size() - pendingPos_;
    if (left <= 0 || BufferSize <= 0)
        return TCustomWSocket::DoRecv(Buffer, BufferSize, Flags);
    const int count = static_cast<int>(std::min<qsizetype>(left, BufferSize));
    std::memcpy(Buffer, pending_.constData() + pendingPos_, static_cast<size_t>(count));
    pendingPos_ += count;
    if (pendingPos_ >= pending_.size()) {
        pending_.clear();
        pendingPos_ = 0;
    }
    return count;
}

int TCustomSocksWSocket::QueryReadable(int& Count)
{
    const qsizetype left = pending_.size() - pendingPos_;
    if (left > 0) {
        Count = static_cast<int>(left);
        return 0;
    }
    return TCustomWSocket::QueryReadable(Count);
}

} // namespace pw::net
