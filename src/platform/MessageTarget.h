#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

namespace pw::platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;

// A hidden message window: posted messages are delivered later by the event loop, in
// the order they were posted, sent messages are handled at once. Both end in Dispatch,
// behind the exception guard.
class MessageTarget : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(unsigned msg, WParam wParam, LParam lParam)>;

    explicit MessageTarget(QObject* parent = nullptr);
    ~MessageTarget() override;

    void Post(unsigned msg, WParam wParam = 0, LParam lParam = 0);
    void Send(unsigned msg, WParam wParam = 0, LParam lParam = 0);

    // Messages posted but not yet delivered are dropped, as when a window is destroyed.
    void DiscardPosted();

    Handler OnMessage;

protected:
    friend class PostedMessages;

    // Default: calls OnMessage when set.
    virtual void Dispatch(unsigned msg, WParam wParam, LParam lParam);
    bool event(QEvent* e) override;

private:
    void Deliver(unsigned msg, WParam wParam, LParam lParam);
};

} // namespace pw::platform
