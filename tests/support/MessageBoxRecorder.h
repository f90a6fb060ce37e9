#pragma once

#include "platform/MessageBoxService.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

namespace pw::test {

// Installs itself as the message-box backend for its lifetime and records every box.
// Questions are answered from a queue (default No).
class MessageBoxRecorder {
public:
    struct Box {
        platform::BoxKind kind;
        QString text;
    };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::deque<Box>& Boxes() const;
    QStringList Texts() const;
    void Clear();
    void QueueAnswer(bool yes);
    // Each box stays open, running the event loop as a modal box does, until done()
    // holds: what the program does while a box is open, boxes raised inside it included.
    void HoldOpenUntil(std::function<bool()> done);

private:
    class Backend;
    std::shared_ptr<std::deque<Box>> boxes_;
    std::shared_ptr<std::deque<bool>> answers_;
    std::shared_ptr<std::function<bool()>> holdUntil_;
    std::unique_ptr<platform::IMessageBoxBackend> previous_;
};

} // namespace pw::test
