#include "TCustomWSocket.h"

#include "WSocketWindow.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <netinet/in.h>

namespace pw::net {

TCustomWSocket::TCustomWSocket()
{
    window_ =
        std::make_unique<WSocketWindow>([this](unsigned msg, platform::WParam wParam,
                                               platform::LParam lParam) { WndProc(msg, wParam, lParam); });
    sin_.sin_family = AF_INET;
    AssignDefaultValue();
    WSocketApi::SocketCreated();
}

TCustomWSocket::~TCustomWSocket()
{
    destroying_ = true;
    *alive_ = false;
    // Owners usually destroy their socket from their own destructor: nothing may call
    // back into them from here.
    OnChangeState = nullptr;
    OnDnsLookupDone = nullptr;
    OnSessionConnected = nullptr;
    OnDataAvailable = nullptr;
    OnSendData = nullptr;
    OnDataSent = nullptr;
    OnSessionClosed = nullptr;
    OnSessionAvailable = nullptr;
    OnError = nullptr;
    OnBgException = nullptr;
    try {
        CancelDnsLookup();
    } catch (...) {
    }
    try {
        if (state_ != wsClosed)
            Close();
    } catch (...) {
    }
    if (hSocket_ != INVALID_SOCKET) {
        // Never leave a descriptor behind, whatever state the socket was left in.
        WSocketApi::CloseSocket(hSocket_);
        hSocket_ = INVALID_SOCKET;
    }
    DeleteBufferedData();
    WSocketApi::SocketDestroyed();
    auto* window = static_cast<WSocketWindow*>(window_.get());
    window->ClearOwner();
    window->DiscardPosted();
    if (dispatchDepth_ > 0)
        window_.release()->deleteLater(); // we are inside one of its messages
}

// ---- state and error reports ----

QString TCustomWSocket::ExceptionMessage(const std::exception& E)
{
    if (const auto* own = dynamic_cast<const platform::Exception*>(&E))
        return own->Message();
    return QString::fromLocal8Bit(E.what());
}

void TCustomWSocket::ChangeState(TSocketState NewState)
{
    const TSocketState old = state_;
    state_ = NewState;
    if (OnChangeState)
        OnChangeState(this, old, NewState);
}

void TCustomWSocket::ReportError(const QString& Msg)
{
    if (OnError)
        OnError(this);
    else
        throw ESocketException(Msg);
}

void TCustomWSocket::ReportSocketError(const QString& FctName)
{
    const int code = WSocketApi::GetLastError();
    const QString msg =
        QStringLiteral("Error %1 in function %2\r\n%3").arg(code).arg(FctName, SocketErrorText(code));
    if (code == WSAECONNRESET || code == WSAENOTCONN) {
        if (hSocket_ != INVALID_SOCKET)
            WSocketApi::CloseSocket(hSocket_);
        hSocket_ = INVALID_SOCKET;
        ChangeState(wsClosed);
    }
    lastError_ = code;
    ReportError(msg);
}

void TCustomWSocket::AssignDefaultValue()
{
    addrFormat_ = AF_INET;
    addrAssigned_ = false;
    addrResolved_ = false;
    portAssigned_ = false;
    portResolved_ = false;
    protoResolved_ = false;
    localPortResolved_ = false;
    protoAssigned_ = true;
    proto_ = 6;
    protoStr_ = QStringLiteral("tcp");
    type_ = SOCK_STREAM;
    localPortStr_ = QStringLiteral("0");
    localAddr_ = QStringLiteral("0.0.0.0");
    lingerOnOff_ = wsLingerOn;
    lingerTimeout_ = 0;
    hSocket_ = INVALID_SOCKET;
    state_ = wsClosed;
    allSent_ = true;
    paused_ = false;
    readCount_ = 0;
    closeInvoked_ = false;
}

// ---- properties ----

void TCustomWSocket::SetAddr(const QString& Value)
{
    const QString v = Value.trimmed();
    if (state_ != wsClosed) {
        if (!(addrAssigned_ && v == addrStr_))
            ReportError(QStringLiteral("Cannot change Addr if not closed"));
        return; // the same value on a live connection changes nothing
    }
    addrStr_ = v;
    addrAssigned_ = !v.isEmpty();
    addrResolved_ = false;
}

void TCustomWSocket::SetPort(const QString& Value)
{
    const QString v = Value.trimmed();
    if (state_ != wsClosed) {
        if (!(portAssigned_ && v == portStr_))
            ReportError(QStringLiteral("Cannot change Port if not closed"));
        return;
    }
    portStr_ = v;
    portAssigned_ = !v.isEmpty();
    portResolved_ = false;
}

void TCustomWSocket::SetProto(const QString& Value)
{
    const QString v = Value.trimmed();
    if (state_ != wsClosed) {
        if (!(protoAssigned_ && v == protoStr_))
            ReportError(QStringLiteral("Cannot change Proto if not closed"));
        return;
    }
    protoStr_ = v;
    protoAssigned_ = !v.isEmpty();
    protoResolved_ = false;
}

void TCustomWSocket::SetLocalAddr(const QString& Value)
{
    if (state_ != wsClosed) {
        ReportError(QStringLiteral("Cannot change LocalAddr if not closed"));
        return;
    }
    const QString v = Value.trimmed().isEmpty() ? QStringLiteral("0.0.0.0") : Value.trimmed();
    const std::uint32_t addr = WSocketApi::InetAddr(v);
    if (addr == INADDR_NONE && v != QLatin1String("255.255.255.255")) {
        ReportError(QStringLiteral("SetLocalAddr(): Invalid IP address"));
        localAddr_ = QStringLiteral("255.255.255.255");
        return;
    }
    localAddr_ = WSocketApi::InetNtoa(addr);
}

void TCustomWSocket::SetLocalPort(const QString& Value)
{
    if (state_ != wsClosed) {
        ReportError(QStringLiteral("Cannot change LocalPort if not closed"));
        return;
    }
    localPortStr_ = Value.trimmed();
    localPortResolved_ = false;
}

QString TCustomWSocket::PeerAddr()
{
    if (state_ != wsConnected)
        return QStringLiteral("error");
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    if (WSocketApi::GetPeerName(hSocket_, &peer, &len) != 0) {
        ReportSocketError(QStringLiteral("GetPeerName"));
        return QStringLiteral("error");
    }
    return WSocketApi::InetNtoa(peer.sin_addr.s_addr);
}

QString TCustomWSocket::PeerPort()
{
    if (state_ != wsConnected)
        return QStringLiteral("error");
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    if (WSocketApi::GetPeerName(hSocket_, &peer, &len) != 0) {
        ReportSocketError(QStringLiteral("GetPeerPort"));
        return QStringLiteral("error");
    }
    return QString::number(ntohs(peer.sin_port));
}

int TCustomWSocket::RcvdCount()
{
    int count = 0;
    if (QueryReadable(count) != 0) {
        ReportSocketError(QStringLiteral("ioctlSocket"));
        return -1;
    }
    return count;
}

int TCustomWSocket::QueryReadable(int& Count)
{
    // While data is being delivered, a read that emptied the socket answers without
    // asking it: whatever comes after that read brings a read event of its own.
    if (delivering_ && drained_) {
        Count = 0;
        return 0;
    }
    return WSocketApi::BytesReadable(hSocket_, &Count);
}

TSocketSendFlags TCustomWSocket::SendFlags()
{
    if (sendFlags_ == 0)
        return wsSendNormal;
    if (sendFlags_ == MSG_OOB)
        return wsSendUrgent;
    ReportError(QStringLiteral("Invalid internal SendFlags"));
    return wsSendNormal;
}

void TCustomWSocket::SetSendFlags(TSocketSendFlags Value)
{
    switch (Value) {
    case wsSendNormal:
        sendFlags_ = 0;
        break;
    case wsSendUrgent:
        sendFlags_ = MSG_OOB;
        break;
    default:
        ReportError(QStringLiteral("Invalid SendFlags"));
    }
}

// ---- opening ----

void TCustomWSocket::ResolveForConnect(const QString& Prefix)
{
    try {
        if (!protoResolved_) {
            proto_ = WSocketResolveProto(protoStr_);
            type_ = proto_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
            protoResolved_ = true;
        }
        if (!portResolved_) {
            portNum_ = WSocketResolvePort(portStr_, protoStr_);
            sin_.sin_port = htons(portNum_);
            portResolved_ = true;
        }
        if (!localPortResolved_) {
            localPortNum_ = WSocketResolvePort(localPortStr_, protoStr_);
            localPortResolved_ = true;
        }
        if (!addrResolved_) {
            sin_.sin_addr.s_addr = WSocketResolveHost(addrStr_);
            addrResolved_ = true;
        }
        sin_.sin_family = static_cast<sa_family_t>(addrFormat_);
    } catch (const std::exception& e) {
        ReportError(Prefix + ExceptionMessage(e));
        throw ResolveFailed{};
    }
}

void TCustomWSocket::SetRemoteAddress(std::uint32_t NetworkOrderAddr)
{
    sin_.sin_addr.s_addr = NetworkOrderAddr;
    addrResolved_ = true;
}

void TCustomWSocket::SetRemotePort(std::uint16_t HostOrderPort)
{
    portNum_ = HostOrderPort;
    sin_.sin_port = htons(HostOrderPort);
    portResolved_ = true;
}

void TCustomWSocket::NewHandle(TSocket Handle)
{
    hSocket_ = Handle;
    peerEnded_ = false;
    ++cookie_; // notifications still queued for an earlier handle of the same number are stale
}

int TCustomWSocket::StartSelect(unsigned Mask)
{
    return WSocketApi::AsyncSelect(hSocket_, window_.get(), MsgSocketEvent, Mask, cookie_);
}

void TCustomWSocket::Connect()
{
    if (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
        ReportError(QStringLiteral("Connect: Socket already in use"));
        return;
    }
    if (!portAssigned_) {
        ReportError(QStringLiteral("Connect: No Port Specified"));
        return;
    }
    if (!addrAssigned_) {
        ReportError(QStringLiteral("Connect: No IP Address Specified"));
        return;
    }
    if (!protoAssigned_) {
        ReportError(QStringLiteral("Connect: No Protocol Specified"));
        return;
    }
    try {
        ResolveForConnect(QStringLiteral("connect: "));
    } catch (const ResolveFailed&) {
        return;
    }
    DeleteBufferedData();
    const TSocket handle = WSocketApi::Socket(addrFormat_, type_, proto_);
    if (handle == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("Connect (socket)"));
        return;
    }
    NewHandle(handle);
    ChangeState(wsOpened);

    const int on = 1;
    if (type_ == SOCK_DGRAM) {
        BindLocal();
        if (sin_.sin_addr.s_addr == INADDR_BROADCAST &&
            WSocketApi::SetSockOpt(hSocket_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            ReportSocketError(QStringLiteral("setsockopt(SO_BROADCAST)"));
            return;
        }
    } else {
        const bool bindLocal = localPortNum_ != 0 || localAddr_ != QLatin1String("0.0.0.0");
        if (bindLocal)
            BindLocal();
        ApplyLinger();
        if (keepAlive_ && WSocketApi::SetSockOpt(hSocket_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) != 0) {
            ReportSocketError(QStringLiteral("setsockopt(SO_KEEPALIVE)"));
            return;
        }
        // A socket that connects without a bind of its own has no local address to reuse.
        if (bindLocal && WSocketApi::SetSockOpt(hSocket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
            ReportSocketError(QStringLiteral("setsockopt(SO_REUSEADDR)"));
            return;
        }
    }
    if (StartSelect(FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE) != 0) {
        ReportSocketError(QStringLiteral("WSAAsyncSelect"));
        return;
    }
    if (type_ == SOCK_DGRAM) {
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
        return;
    }
    if (WSocketApi::Connect(hSocket_, sin_) == 0 || WSocketApi::GetLastError() == WSAEWOULDBLOCK) {
        ChangeState(wsConnecting);
    } else {
        lastError_ = WSocketApi::GetLastError();
        ReportSocketError(QStringLiteral("Connect"));
    }
}

void TCustomWSocket::BindLocal()
{
    sockaddr_in local{};
    local.sin_family = static_cast<sa_family_t>(addrFormat_);
    local.sin_port = htons(localPortNum_);
    local.sin_addr.s_addr = WSocketResolveHost(localAddr_);
    if (WSocketApi::Bind(hSocket_, local) != 0) {
        ReportError(QStringLiteral("winsock.bind failed, error #%1").arg(WSocketApi::GetLastError()));
        return;
    }
    socklen_t len = sizeof local;
    if (WSocketApi::GetSockName(hSocket_, &local, &len) != 0) {
        ReportError(QStringLiteral("winsock.getsockname failed, error #%1").arg(WSocketApi::GetLastError()));
        return;
    }
    localPortNum_ = ntohs(local.sin_port);
    localPortStr_ = QString::number(localPortNum_);
}

void TCustomWSocket::ApplyLinger()
{
    if (lingerOnOff_ == wsLingerNoSet)
        return;
    if (hSocket_ == INVALID_SOCKET) {
        ReportError(QStringLiteral("Cannot set linger option at this time"));
        return;
    }
    linger li{};
    li.l_onoff = lingerOnOff_ == wsLingerOn ? 1 : 0;
    li.l_linger = lingerTimeout_;
    if (WSocketApi::SetSockOpt(hSocket_, SOL_SOCKET, SO_LINGER, &li, sizeof li) != 0)
        ReportSocketError(QStringLiteral("setsockopt(SO_LINGER)"));
}

void TCustomWSocket::Listen()
{
    if (!portAssigned_) {
        WSocketApi::SetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: port not assigned"));
        return;
    }
    if (!protoAssigned_) {
        WSocketApi::SetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: protocol not assigned"));
        return;
    }
    if (!addrAssigned_) {
        WSocketApi::SetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("listen: address not assigned"));
        return;
    }
    try {
        ResolveForConnect(QStringLiteral("listen: "));
    } catch (const ResolveFailed&) {
        return;
    }
    DeleteBufferedData();
    const TSocket handle = WSocketApi::Socket(addrFormat_, type_, proto_);
    if (handle == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("socket"));
        return;
    }
    NewHandle(handle);
    if (WSocketApi::Bind(hSocket_, sin_) != 0) {
        // The socket never left the closed state, so a later Close would not release it.
        const int code = WSocketApi::GetLastError();
        WSocketApi::CloseSocket(hSocket_);
        hSocket_ = INVALID_SOCKET;
        WSocketApi::SetLastError(code);
        ReportSocketError(QStringLiteral("Bind"));
        return;
    }
    ChangeState(wsBound);
    if (type_ == SOCK_DGRAM) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
    } else {
        if (WSocketApi::Listen(hSocket_, 5) != 0) {
            ReportSocketError(QStringLiteral("Listen"));
            return;
        }
        ChangeState(wsListening);
    }
    if (StartSelect(FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE) != 0)
        ReportSocketError(QStringLiteral("WSAASyncSelect"));
}

TSocket TCustomWSocket::Accept()
{
    if (state_ != wsListening) {
        WSocketApi::SetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("not a listening socket"));
        return INVALID_SOCKET;
    }
    socklen_t len = sizeof sin_;
    aSocket_ = WSocketApi::Accept(hSocket_, &sin_, &len);
    if (aSocket_ == INVALID_SOCKET) {
        ReportSocketError(QStringLiteral("Accept"));
        return INVALID_SOCKET;
    }
    return aSocket_;
}

void TCustomWSocket::Dup(TSocket NewHSocket)
{
    if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
        WSocketApi::SetLastError(WSAEINVAL);
        ReportSocketError(QStringLiteral("Dup"));
        return;
    }
    if (state_ != wsClosed) {
        const int rc = hSocket_ == INVALID_SOCKET ? 0 : WSocketApi::CloseSocket(hSocket_);
        hSocket_ = INVALID_SOCKET;
        if (rc != 0) {
            ReportSocketError(QStringLiteral("Dup (closesocket)"));
            return;
        }
        ChangeState(wsClosed);
    }
    NewHandle(NewHSocket);
    ApplyLinger();
    if (StartSelect(FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE) != 0) {
        ReportSocketError(QStringLiteral("WSAAsyncSelect"));
        return;
    }
    ChangeState(wsConnected);
}

// ---- closing ----

void TCustomWSocket::Close()
{
    InternalClose(true, 0);
}

void TCustomWSocket::Abort()
{
    CancelDnsLookup();
    DeleteBufferedData();
    if (state_ == wsConnected && proto_ == IPPROTO_TCP) {
        lingerOnOff_ = wsLingerOff;
        ApplyLinger();
    }
    InternalClose(false, 0);
}

void TCustomWSocket::Shutdown(int How)
{
    if (hSocket_ != INVALID_SOCKET)
        WSocketApi::Shutdown(hSocket_, How);
}

void TCustomWSocket::CloseLater()
{
    window_->Post(MsgCloseLater);
}

void TCustomWSocket::FreeLater()
{
    window_->Post(MsgFreeLater);
}

void TCustomWSocket::InternalClose(bool bShut, std::uint16_t Error)
{
    if (hSocket_ == INVALID_SOCKET) {
        if (state_ != wsClosed) {
            ChangeState(wsClosed);
            AssignDefaultValue();
        }
        return;
    }
    if (state_ == wsClosed)
        return;
    // A zero linger resets the connection at close whatever was sent before: a FIN first
    // would only cost the call and a segment.
    const bool resets = lingerOnOff_ == wsLingerOn && lingerTimeout_ == 0;
    if (bShut && !resets)
        WSocketApi::Shutdown(hSocket_, SHUT_WR);
    const int rc = WSocketApi::CloseSocket(hSocket_);
    hSocket_ = INVALID_SOCKET;
    if (rc != 0) {
        lastError_ = WSocketApi::GetLastError();
        if (lastError_ != WSANOTINITIALISED) {
            ReportSocketError(QStringLiteral("Disconnect (closesocket)"));
            return;
        }
    }
    ChangeState(wsClosed);
    const std::uint32_t cookie = cookie_;
    const auto alive = alive_;
    if (!destroying_ && !closeInvoked_) {
        closeInvoked_ = true;
        TriggerSessionClosed(Error);
    }
    // A handler that opened the socket again keeps its new connection.
    if (!*alive || cookie != cookie_)
        return;
    try {
        AssignDefaultValue();
    } catch (...) {
    }
}

void TCustomWSocket::DeleteBufferedData()
{
    bufList_.clear();
}

void TCustomWSocket::Pause()
{
    paused_ = true;
    if (hSocket_ != INVALID_SOCKET)
        WSocketApi::AsyncSelect(hSocket_, window_.get(), 0, 0, cookie_);
}

void TCustomWSocket::Resume()
{
    paused_ = false;
    if (hSocket_ != INVALID_SOCKET)
        StartSelect(FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE);
}

int TCustomWSocket::GetPeerName(sockaddr_in& Name, socklen_t NameLen)
{
    if (state_ != wsConnected)
        return SOCKET_ERROR;
    return WSocketApi::GetPeerName(hSocket_, &Name, &NameLen);
}

int TCustomWSocket::GetSockName(sockaddr_in& Name, socklen_t& NameLen)
{
    return WSocketApi::GetSockName(hSocket_, &Name, &NameLen);
}

QString TCustomWSocket::BoundPortText()
{
    if (state_ != wsBound && state_ != wsConnected && state_ != wsListening)
        return QStringLiteral("error");
    sockaddr_in local{};
    socklen_t len = sizeof local;
    if (WSocketApi::GetSockName(hSocket_, &local, &len) != 0)
        return QStringLiteral("error");
    return QString::number(ntohs(local.sin_port));
}

void TCustomWSocket::PumpMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace pw::net
