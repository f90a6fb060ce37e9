#pragma once

#include "net/ESocketException.h"
#include "net/TBuffer.h"
#include "net/WSocketApi.h"
#include "net/WSocketLibrary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <functional>
#include <list>
#include <memory>

namespace pw::platform {
class MessageTarget;
}

namespace pw::net {

enum TSocketState : int {
    wsInvalidState = 0,
    wsOpened = 1,
    wsBound = 2,
    wsConnecting = 3,
    wsConnected = 4,
    wsAccepting = 5,
    wsListening = 6,
    wsClosed = 7
};

enum TSocketSendFlags : int { wsSendNormal = 0, wsSendUrgent = 1 };

enum TSocketLingerOnOff : int { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };

// Messages of the socket's hidden window.
inline constexpr unsigned UserMessageBase = 1024;
inline constexpr unsigned MsgSocketEvent = UserMessageBase + 1;
inline constexpr unsigned MsgHostLookupDone = UserMessageBase + 2;
inline constexpr unsigned MsgAddrLookupDone = UserMessageBase + 3;
inline constexpr unsigned MsgCloseLater = UserMessageBase + 4;
inline constexpr unsigned MsgFreeLater = UserMessageBase + 5;
inline constexpr unsigned MsgTestException = UserMessageBase + 6;
inline constexpr unsigned MsgDeliverBuffered = UserMessageBase + 20;

class TCustomWSocket;

using TWSocketErrorEvent = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;

// An event-driven TCP (or datagram) socket on the user-interface thread. Operations never
// block on the network; progress arrives as events fired from the message loop.
class TCustomWSocket {
public:
    static constexpr int BlockSize = 1514;

    TCustomWSocket();
    virtual ~TCustomWSocket();
    TCustomWSocket(const TCustomWSocket&) = delete;
    TCustomWSocket& operator=(const TCustomWSocket&) = delete;

    // Properties
    QString Addr() const { return addrStr_; }
    void SetAddr(const QString& Value);
    QString Port() const { return portStr_; }
    void SetPort(const QString& Value);
    QString Proto() const { return protoStr_; }
    void SetProto(const QString& Value);
    QString LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const QString& Value);
    QString LocalPort() const { return localPortStr_; }
    void SetLocalPort(const QString& Value);
    QString PeerAddr();
    QString PeerPort();
    QString DnsResult() const { return dnsResult_; }
    QStringList DnsResultList() const { return dnsResultList_; }
    TSocketState State() const { return state_; }
    int ReadCount() const { return readCount_; }
    int RcvdCount();
    int LastError() const { return lastError_; }
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool Value) { multiThreaded_ = Value; }
    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags Value);
    TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
    void SetLingerOnOff(TSocketLingerOnOff Value) { lingerOnOff_ = Value; }
    int LingerTimeout() const { return lingerTimeout_; }
    void SetLingerTimeout(int Value) { lingerTimeout_ = Value; }
    TSocket HSocket() const { return hSocket_; }
    // TCP keep-alive probes on connections this socket makes (on by default). They start
    // after hours of silence: a connection that ends within minutes gains nothing by them.
    bool KeepAlive() const { return keepAlive_; }
    void SetKeepAlive(bool Value) { keepAlive_ = Value; }

    // Operations
    virtual void Connect();
    // Layers that transform the data (TLS) override it.
    virtual int Send(const void* Data, int Len);
    int SendString(const QByteArray& Str);
    int Receive(void* Buffer, int BufferSize);
    QByteArray ReceiveString();
    int SendTo(const sockaddr_in& Dest, const void* Data, int Len, int Flags);
    int ReceiveFrom(void* Buffer, int BufferSize, sockaddr_in& From, socklen_t& FromLen);
    void Close();
    void Abort();
    void Shutdown(int How);
    void CloseLater();
    void FreeLater(); // the object deletes itself later: only for sockets created with new
    void Flush();
    void WaitUntilClosed();
    void DnsLookup(const QString& HostName);
    void ReverseDnsLookup(const QString& HostAddr);
    void CancelDnsLookup();
    virtual void Listen();
    TSocket Accept();
    void Dup(TSocket NewHSocket);
    void Pause();
    void Resume();
    int GetPeerName(sockaddr_in& Name, socklen_t NameLen);
    int GetSockName(sockaddr_in& Name, socklen_t& NameLen);
    QString BoundPortText();
    void PumpMessages();

    // Events; an empty one is skipped.
    std::function<void(TCustomWSocket* Sender, TSocketState OldState, TSocketState NewState)> OnChangeState;
    TWSocketErrorEvent OnDnsLookupDone;
    TWSocketErrorEvent OnSessionConnected;
    TWSocketErrorEvent OnDataAvailable;
    std::function<void(TCustomWSocket* Sender, int BytesSent)> OnSendData;
    TWSocketErrorEvent OnDataSent;
    TWSocketErrorEvent OnSessionClosed;
    TWSocketErrorEvent OnSessionAvailable;
    std::function<void(TCustomWSocket* Sender)> OnError;
    std::function<void(TCustomWSocket* Sender, const std::exception& E, bool& CanClose)> OnBgException;

    // The hidden window (tests post messages to it).
    platform::MessageTarget* Window() const { return window_.get(); }

protected:
    // Steps the socket layers above this one extend. A layer's override of
    // AssignDefaultValue is not reached from this constructor: each layer sets its own
    // defaults when it is constructed.
    virtual void AssignDefaultValue();
    virtual void TriggerSessionConnected(std::uint16_t Error);
    virtual void TriggerSessionClosed(std::uint16_t Error);
    // True when someone took the data; false leaves it to be drained and dropped.
    virtual bool TriggerDataAvailable(std::uint16_t Error);
    virtual void TriggerDataSent(std::uint16_t Error);
    // The read behind Receive; layers may serve it from their own buffers.
    virtual int DoRecv(void* Buffer, int BufferSize, int Flags);
    // Bytes ready for Receive (0 or -1 with the platform's last error, never reported).
    virtual int QueryReadable(int& Count);
    // Every message of the hidden window, behind the background-exception guard.
    virtual void HandleMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam);
    void TriggerSendData(int BytesSent);
    void TriggerSessionAvailable(std::uint16_t Error);
    void TriggerDnsLookupDone(std::uint16_t Error);

    // The text of an exception as reports show it.
    static QString ExceptionMessage(const std::exception& E);

    void ChangeState(TSocketState NewState);
    void ReportError(const QString& Msg);
    void ReportSocketError(const QString& FctName);
    void InternalClose(bool bShut, std::uint16_t Error);
    void DeleteBufferedData();
    void TryToSend();
    void BindLocal();
    void ApplyLinger();
    void ASyncReceive(std::uint16_t Error);

    void WndProc(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam);
    void HandleSocketEvent(std::uintptr_t WParam, std::intptr_t LParam);
    void HandleLookupDone(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam);
    void HandleBackGroundException(const std::exception& E);
    int StartSelect(unsigned Mask);
    void NewHandle(TSocket Handle);
    bool IsCurrent(std::uintptr_t WParam, std::intptr_t LParam) const;

    // For a layer that connects somewhere else than Addr/Port (a proxy): set before the
    // base Connect, they keep it from resolving Addr or Port itself.
    bool AddrAssigned() const { return addrAssigned_; }
    bool PortAssigned() const { return portAssigned_; }
    bool AddrResolved() const { return addrResolved_; }
    bool PortResolved() const { return portResolved_; }
    void SetRemoteAddress(std::uint32_t NetworkOrderAddr);
    void SetRemotePort(std::uint16_t HostOrderPort);
    bool CloseNotified() const { return closeInvoked_; }
    bool Destroying() const { return destroying_; }
    // A shared flag that turns false when this socket is destroyed: handlers may delete it.
    std::shared_ptr<bool> AliveFlag() const { return alive_; }

private:
    struct ResolveFailed {};
    void ResolveForConnect(const QString& Prefix); // reports, then throws ResolveFailed

    QString dnsResult_;
    QStringList dnsResultList_;
    TSocket aSocket_ = INVALID_SOCKET;
    std::list<std::unique_ptr<TBuffer>> bufList_;
    int bufSize_ = BlockSize;
    int sendFlags_ = 0;
    int lastError_ = 0;
    std::unique_ptr<platform::MessageTarget> window_;
    std::uint64_t dnsLookupHandle_ = 0;
    TSocket hSocket_ = INVALID_SOCKET;
    std::uint32_t cookie_ = 0; // tells notifications of this handle from an earlier one of the same number
    QString addrStr_;
    bool addrResolved_ = false;
    int addrFormat_ = AF_INET;
    bool addrAssigned_ = false;
    int proto_ = 6;
    bool protoAssigned_ = true;
    bool protoResolved_ = false;
    bool localPortResolved_ = false;
    QString protoStr_ = QStringLiteral("tcp");
    QString portStr_;
    bool portAssigned_ = false;
    bool portResolved_ = false;
    std::uint16_t portNum_ = 0;
    QString localPortStr_ = QStringLiteral("0");
    std::uint16_t localPortNum_ = 0;
    QString localAddr_ = QStringLiteral("0.0.0.0");
    int type_ = SOCK_STREAM;
    TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
    int lingerTimeout_ = 0;
    bool allSent_ = true;
    int readCount_ = 0;
    bool paused_ = false;
    bool closeInvoked_ = false;
    bool multiThreaded_ = false;
    bool keepAlive_ = true;
    TSocketState state_ = wsClosed;
    bool terminated_ = false;
    bool destroying_ = false;
    int dispatchDepth_ = 0;
    bool delivering_ = false; // inside ASyncReceive
    bool drained_ = false;    // the last read of the socket itself took all it held
    bool peerEnded_ = false;  // the peer's end came with nothing left: reads answer 0 unasked
    unsigned recvCalls_ = 0;  // Receive calls, to tell a handler that read
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true); // false once destroyed
    sockaddr_in sin_{};
};

} // namespace pw::net
