#include "TCustomLineWSocket.h"

#include "LineSplitting.h"
#include "platform/MessageTarget.h"

#include <algorithm>
#include <cstring>

namespace pw::net {

TCustomLineWSocket::TCustomLineWSocket()
{
    ResetLines();
}

void TCustomLineWSocket::ResetLines()
{
    buffer_.clear();
    head_ = 0;
    lineLength_ = 0;
    scanned_ = 0;
}

void TCustomLineWSocket::AssignDefaultValue()
{
    TCustomSslWSocket::AssignDefaultValue();
    ResetLines();
}

void TCustomLineWSocket::SetLineMode(bool Value)
{
    const bool was = LineHandling();
    lineMode_ = Value;
    HandlingSwitched(was);
}

void TCustomLineWSocket::SetLineEnd(const QByteArray& Value)
{
    if (Value == lineEnd_)
        return;
    const bool was = LineHandling();
    lineEnd_ = Value;
    scanned_ = 0; // the buffer may hold the new terminator
    if (was && LineHandling() && Buffered() > 0)
        Window()->Post(MsgDeliverBuffered);
    HandlingSwitched(was);
}

void TCustomLineWSocket::HandlingSwitched(bool Was)
{
    if (Was == LineHandling())
        return;
    // The rest of a line being handed out stays in front of the buffer; what the buffer
    // holds is delivered from the loop, in the new mode.
    lineLength_ = 0;
    scanned_ = 0;
    if (Buffered() > 0)
        Window()->Post(MsgDeliverBuffered);
}

void TCustomLineWSocket::HandleMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam)
{
    if (Msg == MsgDeliverBuffered)
        DeliverBuffered();
    else
        TCustomSslWSocket::HandleMessage(Msg, WParam, LParam);
}

void TCustomLineWSocket::DeliverBuffered()
{
    if (LineHandling()) {
        DeliverLines();
        return;
    }
    const auto alive = AliveFlag();
    while (Buffered() > 0 && OnDataAvailable) {
        const qsizetype before = Buffered();
        TCustomSslWSocket::TriggerDataAvailable(0);
        if (!*alive)
            return;
        if (LineHandling()) {
            DeliverLines();
            return;
        }
        if (Buffered() == before)
            return; // the handler did not read: the next data event goes on
    }
}

// ---- receiving ----

bool TCustomLineWSocket::TriggerDataAvailable(std::uint16_t Error)
{
    if (!LineHandling() || SocksNegotiating() || Error != 0)
        return TCustomSslWSocket::TriggerDataAvailable(Error);
    ReadIntoBuffer();
    DeliverLines(); // also a line a handler left unread before
    return true;
}

bool TCustomLineWSocket::ReadIntoBuffer()
{
    int count = 0;
    if (TCustomSslWSocket::QueryReadable(count) != 0 || count <= 0)
        return false;
    if (head_ > 0) {
        buffer_.remove(0, head_);
        head_ = 0;
    }
    const qsizetype old = buffer_.size();
    buffer_.resize(old + count);
    const int got = TCustomSslWSocket::DoRecv(buffer_.data() + old, count, 0);
    buffer_.resize(old + std::max(got, 0));
    if (got <= 0)
        return false;
    if (lineEdit_) {
        // Editing never reaches into a line that is being handed out.
        QByteArray text = buffer_.mid(lineLength_);
        const qsizetype start = old - lineLength_;
        const QByteArray echo = lines::EditReceived(text, start);
        buffer_.truncate(lineLength_);
        buffer_.append(text);
        scanned_ = 0; // a backspace may have joined a terminator before the new bytes
        if (lineEcho_ && !echo.isEmpty())
            SendString(echo);
        return true;
    }
    if (lineEcho_)
        Send(buffer_.constData() + old, got);
    return true;
}

void TCustomLineWSocket::DeliverLines()
{
    const auto alive = AliveFlag();
    while (LineHandling()) {
        if (lineLength_ == 0) {
            const lines::Cut cut = lines::NextLine(QByteArrayView(buffer_.constData() + head_, Buffered()),
                                                   scanned_, lineEnd_, lineLimit_);
            scanned_ = cut.Scanned;
            if (cut.Length == 0)
                break;
            lineLength_ = cut.Length;
        }
        if (!HandOutLine() || !*alive)
            return;
    }
    if (Buffered() == 0)
        ResetLines(); // releases the memory of a long line
}

// Fires OnDataAvailable until the current line is read; false when delivery stops here.
bool TCustomLineWSocket::HandOutLine()
{
    const auto alive = AliveFlag();
    while (lineLength_ > 0) {
        if (!OnDataAvailable) {
            head_ += lineLength_; // nobody wants it
            lineLength_ = 0;
            return true;
        }
        const qsizetype before = lineLength_;
        TCustomSslWSocket::TriggerDataAvailable(0);
        if (!*alive || !LineHandling())
            return false;
        if (lineLength_ == before)
            return false; // not read: it waits for the next data event instead of spinning
    }
    return true;
}

void TCustomLineWSocket::TriggerSessionClosed(std::uint16_t Error)
{
    if (LineHandling() && Buffered() > 0) {
        // The last line, without terminator.
        const auto alive = AliveFlag();
        lineLength_ = Buffered();
        HandOutLine();
        if (!*alive)
            return;
    }
    ResetLines();
    TCustomSslWSocket::TriggerSessionClosed(Error);
}

int TCustomLineWSocket::TakeFromBuffer(void* Buffer, int Count)
{
    std::memcpy(Buffer, buffer_.constData() + head_, static_cast<size_t>(Count));
    head_ += Count;
    scanned_ = 0;
    return Count;
}

int TCustomLineWSocket::DoRecv(void* Buffer, int BufferSize, int Flags)
{
    if (BufferSize <= 0 || SocksNegotiating())
        return TCustomSslWSocket::DoRecv(Buffer, BufferSize, Flags);
    if (LineHandling()) {
        if (lineLength_ > 0) {
            const int count = static_cast<int>(std::min<qsizetype>(lineLength_, BufferSize));
            lineLength_ -= count;
            return TakeFromBuffer(Buffer, count);
        }
        // No complete line: platform bytes may not overtake the buffered ones.
        WSocketApi::SetLastError(WSAEWOULDBLOCK);
        return SOCKET_ERROR;
    }
    if (Buffered() > 0)
        return TakeFromBuffer(Buffer, static_cast<int>(std::min<qsizetype>(Buffered(), BufferSize)));
    return TCustomSslWSocket::DoRecv(Buffer, BufferSize, Flags);
}

int TCustomLineWSocket::QueryReadable(int& Count)
{
    if (SocksNegotiating())
        return TCustomSslWSocket::QueryReadable(Count);
    if (LineHandling()) {
        Count = static_cast<int>(lineLength_);
        return 0;
    }
    if (Buffered() > 0) {
        Count = static_cast<int>(std::min<qsizetype>(Buffered(), 0x7FFFFFFF));
        return 0;
    }
    return TCustomSslWSocket::QueryReadable(Count);
}

} // namespace pw::net
