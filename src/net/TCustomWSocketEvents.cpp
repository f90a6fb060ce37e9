// Data transfer, name lookups and the hidden window's messages of TCustomWSocket.
#include "TCustomWSocket.h"

#include "platform/MessageTarget.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <netinet/in.h>

namespace pw::net {

// ---- sending ----

int TCustomWSocket::Send(const void* Data, int Len)
{
    if (state_ != wsConnected) {
        WSocketApi::SetLastError(WSAENOTCONN);
        ReportSocketError(QStringLiteral("Send"));
        return -1;
    }
    // Nothing to queue: leaving the queue's state alone keeps Flush from waiting for
    // a write that never comes.
    if (Len <= 0 || !Data)
        return 0;
    allSent_ = false;
    const char* p = static_cast<const char*>(Data);
    int left = Len;
    if (bufList_.empty())
        bufList_.push_back(std::make_unique<TBuffer>(bufSize_));
    for (;;) {
        const int written = bufList_.back()->Write(p, left);
        p += written;
        left -= written;
        if (left <= 0)
            break;
        bufList_.push_back(std::make_unique<TBuffer>(bufSize_));
    }
    const auto alive = alive_;
    TryToSend();
    if (*alive && allSent_ && hSocket_ != INVALID_SOCKET) {
        // OnDataSent comes from the message loop, never from inside Send.
        window_->Post(MsgSocketEvent, static_cast<platform::WParam>(hSocket_),
                      static_cast<platform::LParam>(FD_WRITE | (static_cast<std::uint64_t>(cookie_) << 32)));
    }
    return Len;
}

int TCustomWSocket::SendString(const QByteArray& Str)
{
    return Send(Str.constData(), static_cast<int>(Str.size()));
}

void TCustomWSocket::TryToSend()
{
    if (hSocket_ == INVALID_SOCKET || bufList_.empty())
        return;
    const auto alive = alive_;
    for (;;) {
        TBuffer* block = bufList_.front().get();
        int len = 0;
        const char* data = block->Peek(len);
        if (len <= 0) {
            if (bufList_.size() > 1) {
                bufList_.pop_front();
                continue;
            }
            allSent_ = true;
            return;
        }
        const int count = type_ == SOCK_DGRAM ? WSocketApi::SendTo(hSocket_, data, len, sendFlags_, sin_)
                                              : WSocketApi::Send(hSocket_, data, len, sendFlags_);
        if (count == 0)
            return;
        if (count < 0) {
            const int err = WSocketApi::GetLastError();
            if (err == WSAEINVAL || err == WSAENOTSOCK || err == WSAECONNABORTED || err == WSAECONNRESET ||
                err == WSAENOTCONN) {
                closeInvoked_ = true;
                Close();
                if (*alive)
                    TriggerSessionClosed(static_cast<std::uint16_t>(err));
            } else if (err != WSAEWOULDBLOCK) {
                ReportSocketError(QStringLiteral("TryToSend failed"));
            }
            return;
        }
        block->Remove(count);
        if (OnSendData) {
            OnSendData(this, count);
            // The handler may have closed or destroyed the socket.
            if (!*alive || hSocket_ == INVALID_SOCKET || bufList_.empty())
                return;
        }
        if (count < len)
            return; // partial write: the next write notification goes on from here
    }
}

void TCustomWSocket::Flush()
{
    while (hSocket_ != INVALID_SOCKET && !allSent_) {
        TryToSend();
        if (hSocket_ == INVALID_SOCKET || allSent_)
            break;
        // Sleeps until the socket (or anything else) has news instead of spinning.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

int TCustomWSocket::SendTo(const sockaddr_in& Dest, const void* Data, int Len, int Flags)
{
    const int count = WSocketApi::SendTo(hSocket_, Data, Len, Flags, Dest);
    if (count > 0)
        TriggerSendData(count);
    else if (count < 0)
        lastError_ = WSocketApi::GetLastError();
    return count;
}

// ---- receiving ----

int TCustomWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    if (peerEnded_) {
        if ((Flags & MSG_PEEK) == 0)
            drained_ = true;
        return 0;
    }
    const int count = WSocketApi::Recv(hSocket_, Buffer, BufferSize, Flags);
    // A read that got less than it asked for took everything the socket held.
    if ((Flags & MSG_PEEK) == 0)
        drained_ = count < BufferSize && (count >= 0 || WSocketApi::GetLastError() == WSAEWOULDBLOCK);
    return count;
}

int TCustomWSocket::Receive(void* Buffer, int BufferSize)
{
    ++recvCalls_;
    const int count = DoRecv(Buffer, BufferSize, 0);
    if (count < 0)
        lastError_ = WSocketApi::GetLastError();
    else // wraps like the 32-bit counter it is, without overflow
        readCount_ = static_cast<int>(static_cast<unsigned>(readCount_) + static_cast<unsigned>(count));
    return count;
}

QByteArray TCustomWSocket::ReceiveString()
{
    const int pending = RcvdCount();
    if (pending <= 0)
        return {};
    QByteArray data(pending, Qt::Uninitialized);
    const int count = Receive(data.data(), pending);
    if (count <= 0)
        return {};
    data.truncate(count);
    return data;
}

int TCustomWSocket::ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, socklen_t& FromLen)
{
    ++recvCalls_;
    const int count = WSocketApi::RecvFrom(hSocket_, Buffer, BufferSize, 0, &From, &FromLen);
    if (count < 0)
        lastError_ = WSocketApi::GetLastError();
    else
        readCount_ = static_cast<int>(static_cast<unsigned>(readCount_) + static_cast<unsigned>(count));
    return count;
}

void TCustomWSocket::ASyncReceive(std::uint16_t Error)
{
    const auto alive = alive_;
    delivering_ = true;
    for (;;) {
        lastError_ = 0;
        drained_ = false;
        try {
            const unsigned readsBefore = recvCalls_;
            const bool taken = TriggerDataAvailable(Error);
            if (!*alive)
                return;
            if (taken) {
                // A handler that did not read leaves the data pending; calling it again at
                // once would only spin. The next read re-arms the notification.
                if (recvCalls_ == readsBefore)
                    break;
            } else {
                char scratch[1024];
                if (DoRecv(scratch, sizeof scratch, 0) < 0) {
                    const int err = WSocketApi::GetLastError();
                    lastError_ = err == WSAEWOULDBLOCK ? 0 : err;
                    if (err == WSAEWOULDBLOCK)
                        break;
                }
            }
            if (lastError_ != 0 || hSocket_ == INVALID_SOCKET)
                break;
            int count = 0;
            if (QueryReadable(count) != 0) {
                lastError_ = WSocketApi::GetLastError();
                break;
            }
            if (count == 0)
                break;
        } catch (...) {
            // Errors of data handling end this delivery; the socket goes on.
            if (!*alive)
                return;
            break;
        }
    }
    delivering_ = false;
}

void TCustomWSocket::WaitUntilClosed()
{
    while (hSocket_ != INVALID_SOCKET && state_ != wsClosed) {
        int count = 0;
        if (QueryReadable(count) != 0)
            break;
        if (count > 0)
            TriggerDataAvailable(0);
        if (hSocket_ == INVALID_SOCKET)
            break;
        char probe = 0;
        if (WSocketApi::Recv(hSocket_, &probe, 1, MSG_PEEK) <= 0) {
            lastError_ = WSocketApi::GetLastError();
            if (lastError_ != WSAEWOULDBLOCK)
                break;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// ---- name lookups ----

void TCustomWSocket::DnsLookup(const QString& HostName)
{
    if (HostName.isEmpty()) {
        ReportError(QStringLiteral("DNS lookup: invalid host name."));
        TriggerDnsLookupDone(WSAEINVAL);
        return;
    }
    if (dnsLookupHandle_ != 0) {
        WSocketApi::CancelAsyncRequest(dnsLookupHandle_);
        dnsLookupHandle_ = 0;
    }
    dnsResult_.clear();
    dnsResultList_.clear();
    const std::uint32_t addr = WSocketApi::InetAddr(HostName);
    if (addr != INADDR_NONE) {
        dnsResult_ = WSocketApi::InetNtoa(addr);
        TriggerDnsLookupDone(0);
        return;
    }
    dnsLookupHandle_ = WSocketApi::AsyncGetHostByName(window_.get(), MsgHostLookupDone, HostName);
    if (dnsLookupHandle_ == 0)
        ReportError(QStringLiteral("%1: can't start DNS lookup, error #%2")
                        .arg(HostName)
                        .arg(WSocketApi::GetLastError()));
}

void TCustomWSocket::ReverseDnsLookup(const QString& HostAddr)
{
    if (HostAddr.isEmpty()) {
        ReportError(QStringLiteral("DNS lookup: invalid host name."));
        TriggerDnsLookupDone(WSAEINVAL);
        return;
    }
    if (dnsLookupHandle_ != 0) {
        WSocketApi::CancelAsyncRequest(dnsLookupHandle_);
        dnsLookupHandle_ = 0;
    }
    dnsResult_.clear();
    dnsResultList_.clear();
    const std::uint32_t addr = WSocketApi::InetAddr(HostAddr.left(256));
    dnsLookupHandle_ = WSocketApi::AsyncGetHostByAddr(window_.get(), MsgAddrLookupDone, addr);
    if (dnsLookupHandle_ == 0)
        ReportError(QStringLiteral("%1: can't start DNS lookup, error #%2")
                        .arg(HostAddr)
                        .arg(WSocketApi::GetLastError()));
}

void TCustomWSocket::CancelDnsLookup()
{
    if (dnsLookupHandle_ == 0)
        return;
    const std::uint64_t handle = dnsLookupHandle_;
    dnsLookupHandle_ = 0;
    if (WSocketApi::CancelAsyncRequest(handle) != 0) {
        ReportSocketError(QStringLiteral("WSACancelAsyncRequest"));
        return;
    }
    if (!destroying_)
        TriggerDnsLookupDone(WSAEINTR);
}

void TCustomWSocket::HandleLookupDone(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam)
{
    if (dnsLookupHandle_ == 0 || WParam != dnsLookupHandle_)
        return; // cancelled or superseded
    dnsLookupHandle_ = 0;
    const auto error = static_cast<std::uint16_t>((static_cast<std::uint64_t>(LParam) >> 16) & 0xFFFF);
    const QStringList result = WSocketApi::TakeLookupResult(WParam);
    if (error == 0) {
        if (Msg == MsgHostLookupDone) {
            dnsResultList_ = result;
            dnsResult_ = result.value(0);
        } else {
            dnsResult_ = result.value(0);
            dnsResultList_ = QStringList{dnsResult_};
        }
    }
    TriggerDnsLookupDone(error);
}

// ---- the hidden window ----

bool TCustomWSocket::IsCurrent(std::uintptr_t WParam, std::intptr_t LParam) const
{
    return hSocket_ != INVALID_SOCKET && static_cast<TSocket>(WParam) == hSocket_ &&
           static_cast<std::uint32_t>(static_cast<std::uint64_t>(LParam) >> 32) == cookie_;
}

void TCustomWSocket::HandleSocketEvent(std::uintptr_t WParam, std::intptr_t LParam)
{
    if (!IsCurrent(WParam, LParam) || paused_)
        return;
    const auto bits = static_cast<unsigned>(LParam & 0xFFFF);
    const auto error = static_cast<std::uint16_t>((static_cast<std::uint64_t>(LParam) >> 16) & 0xFFFF);
    const auto alive = alive_;
    // Each step may close, reopen or destroy the socket; the rest then belongs to nobody.
    const auto still = [&] { return *alive && IsCurrent(WParam, LParam); };

    if (bits & FD_CONNECT) {
        ChangeState(wsConnected);
        TriggerSessionConnected(error);
        if (!still())
            return;
        if (error != 0 && state_ != wsClosed) {
            Close();
            return;
        }
    }
    if (bits & FD_READ) {
        ASyncReceive(error);
        if (!still())
            return;
    }
    if (bits & FD_WRITE) {
        TryToSend();
        if (!still())
            return;
        if (allSent_) {
            TriggerDataSent(error);
            if (!still())
                return;
        }
    }
    if (bits & FD_ACCEPT) {
        TriggerSessionAvailable(error);
        if (!still())
            return;
    }
    if ((bits & FD_CLOSE) && state_ != wsConnecting) {
        // An orderly end is reported only once the socket holds nothing more: the last
        // reads need not ask it.
        if (error == 0 && type_ == SOCK_STREAM)
            peerEnded_ = true;
        ASyncReceive(0);
        if (!still())
            return;
        if (!closeInvoked_) {
            closeInvoked_ = true;
            TriggerSessionClosed(error);
            if (!still())
                return;
        }
        // The peer ended the connection: no end of ours needs announcing before the close.
        if (state_ != wsClosed)
            InternalClose(false, 0);
    }
}

void TCustomWSocket::HandleMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam)
{
    switch (Msg) {
    case MsgSocketEvent:
        HandleSocketEvent(WParam, LParam);
        break;
    case MsgHostLookupDone:
    case MsgAddrLookupDone:
        HandleLookupDone(Msg, WParam, LParam);
        break;
    case MsgCloseLater:
        Close();
        break;
    case MsgFreeLater:
        delete this;
        break;
    case MsgTestException:
        throw ESocketException(QStringLiteral("Test exception in WSocket"));
    default:
        break;
    }
}

void TCustomWSocket::WndProc(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam)
{
    const auto alive = alive_;
    ++dispatchDepth_;
    try {
        HandleMessage(Msg, WParam, LParam);
    } catch (const std::exception& e) {
        if (*alive)
            HandleBackGroundException(e);
    } catch (...) {
        if (*alive)
            --dispatchDepth_;
        throw; // not ours: the application's guard shows it
    }
    if (*alive)
        --dispatchDepth_;
}

void TCustomWSocket::HandleBackGroundException(const std::exception& E)
{
    const auto alive = alive_;
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, E, canClose);
        } catch (...) {
        }
    }
    if (!*alive || !canClose)
        return;
    try {
        Abort();
    } catch (...) {
    }
}

// ---- events ----

void TCustomWSocket::TriggerSessionConnected(std::uint16_t Error)
{
    if (OnSessionConnected)
        OnSessionConnected(this, Error);
}

void TCustomWSocket::TriggerSessionClosed(std::uint16_t Error)
{
    if (OnSessionClosed)
        OnSessionClosed(this, Error);
}

bool TCustomWSocket::TriggerDataAvailable(std::uint16_t Error)
{
    if (!OnDataAvailable)
        return false;
    OnDataAvailable(this, Error);
    return true;
}

void TCustomWSocket::TriggerDataSent(std::uint16_t Error)
{
    if (OnDataSent)
        OnDataSent(this, Error);
}

void TCustomWSocket::TriggerSendData(int BytesSent)
{
    if (OnSendData)
        OnSendData(this, BytesSent);
}

void TCustomWSocket::TriggerSessionAvailable(std::uint16_t Error)
{
    if (OnSessionAvailable)
        OnSessionAvailable(this, Error);
}

void TCustomWSocket::TriggerDnsLookupDone(std::uint16_t Error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, Error);
}

} // namespace pw::net
