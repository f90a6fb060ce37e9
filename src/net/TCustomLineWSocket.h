#pragma once

#include "net/TCustomSslWSocket.h"

#include <QByteArray>

namespace pw::net {

// Delivers received data line by line when LineMode is on: OnDataAvailable fires once per
// line and Receive hands out at most the rest of that line. With LineMode off (the
// default) received data passes through unchanged.
class TCustomLineWSocket : public TCustomSslWSocket {
public:
    // The longest line handed out; a longer one comes in pieces of this size, so that a
    // peer that never ends its line cannot fill the memory.
    static constexpr int DefaultLineLimit = 65536;

    TCustomLineWSocket();

    bool LineMode() const { return lineMode_; }
    void SetLineMode(bool Value);
    // An empty terminator turns line handling off even with LineMode on.
    QByteArray LineEnd() const { return lineEnd_; }
    void SetLineEnd(const QByteArray& Value);
    bool LineEcho() const { return lineEcho_; }
    void SetLineEcho(bool Value) { lineEcho_ = Value; }
    bool LineEdit() const { return lineEdit_; }
    void SetLineEdit(bool Value) { lineEdit_ = Value; }
    // 0 or less: no limit.
    int LineLimit() const { return lineLimit_; }
    void SetLineLimit(int Value) { lineLimit_ = Value; }

protected:
    void AssignDefaultValue() override;
    void HandleMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) override;
    bool TriggerDataAvailable(std::uint16_t Error) override;
    void TriggerSessionClosed(std::uint16_t Error) override;
    int DoRecv(void* Buffer, int BufferSize, int Flags) override;
    int QueryReadable(int& Count) override;

private:
    bool LineHandling() const { return lineMode_ && !lineEnd_.isEmpty(); }
    qsizetype Buffered() const { return buffer_.size() - head_; }
    void HandlingSwitched(bool Was);
    void ResetLines();
    bool ReadIntoBuffer();
    void DeliverLines();
    bool HandOutLine();
    void DeliverBuffered();
    int TakeFromBuffer(void* Buffer, int Count);

    bool lineMode_ = false;
    QByteArray lineEnd_ = QByteArrayLiteral("\r\n");
    bool lineEcho_ = false;
    bool lineEdit_ = false;
    int lineLimit_ = DefaultLineLimit;
    QByteArray buffer_; // received, not yet handed out, from head_ on
    qsizetype head_ = 0;
    qsizetype lineLength_ = 0; // bytes of the current line still to hand out
    qsizetype scanned_ = 0;    // bytes from head_ on searched without finding a terminator
};

} // namespace pw::net
