#pragma once

#include "net/TCustomWSocket.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace pw::net {

enum TSocksAuthentication : int { socksNoAuthentication = 0, socksAuthenticateUsercode = 1 };

enum TSocksAuthState : int {
    socksAuthStart = 0,
    socksAuthSuccess = 1,
    socksAuthFailure = 2,
    socksAuthNotRequired = 3
};

// Connects through a SOCKS 4, 4A or 5 proxy when SocksServer is set; otherwise every
// step passes straight through to the plain socket.
class TCustomSocksWSocket : public TCustomWSocket {
public:
    TCustomSocksWSocket();

    QString SocksServer() const { return socksServer_; }
    void SetSocksServer(const QString& Value);
    QString SocksPort() const { return socksPort_; }
    void SetSocksPort(const QString& Value);
    QString SocksLevel() const { return socksLevel_; }
    void SetSocksLevel(const QString& Value);
    QString SocksUsercode() const { return socksUsercode_; }
    void SetSocksUsercode(const QString& Value) { socksUsercode_ = Value; }
    QString SocksPassword() const { return socksPassword_; }
    void SetSocksPassword(const QString& Value) { socksPassword_ = Value; }
    TSocksAuthentication SocksAuthentication() const { return socksAuthentication_; }
    void SetSocksAuthentication(TSocksAuthentication Value) { socksAuthentication_ = Value; }

    void Connect() override;
    void Listen() override;

    // The TCP connection to the proxy completed (Error 0) or failed.
    TWSocketErrorEvent OnSocksConnected;
    std::function<void(TCustomWSocket* Sender, int Error, const QString& Msg)> OnSocksError;
    std::function<void(TCustomWSocket* Sender, TSocksAuthState AuthState)> OnSocksAuthState;

protected:
    // Negotiation steps: 0 none (data flows), then method, authentication, connect request.
    enum NegotiationState {
        socksData = 0,
        socksNegociateMethods = 1,
        socksAuthenticate = 2,
        socksConnect = 3
    };

    bool SocksNegotiating() const { return socksState_ != socksData; }

    void AssignDefaultValue() override;
    void TriggerSessionConnected(std::uint16_t Error) override;
    void TriggerSessionClosed(std::uint16_t Error) override;
    bool TriggerDataAvailable(std::uint16_t Error) override;
    void TriggerDataSent(std::uint16_t Error) override;
    int DoRecv(void* Buffer, int BufferSize, int Flags) override;
    int QueryReadable(int& Count) override;

private:
    void ResetSocks();
    void SetNegotiationState(NegotiationState NewState);
    void SendSocks(const QByteArray& Bytes);
    void SendConnectRequest();
    void SendAuthentication();
    void HandleReply();
    void Fail(int Error, const QString& Msg);
    void Connected();

    QString socksServer_;
    QString socksPort_;
    QString socksLevel_ = QStringLiteral("5");
    QString socksUsercode_;
    QString socksPassword_;
    TSocksAuthentication socksAuthentication_ = socksNoAuthentication;
    bool socksServerAssigned_ = false;
    NegotiationState socksState_ = socksData;
    std::uint16_t destPort_ = 0;
    int failCode_ = 0;   // the error a failed negotiation closes with
    QByteArray reply_;   // the proxy's reply so far
    QByteArray pending_; // data that came behind the proxy's last reply
    qsizetype pendingPos_ = 0;
};

} // namespace pw::net
