#include "MessageTarget.h"

#include "ExceptionGuard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QThread>
#include <deque>

namespace pw::platform {

namespace {
const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kDeliverEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// A message posted from another thread (host lookups), which the queue below cannot take.
class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned m, WParam w, LParam l) : QEvent(kMessageEvent), msg(m), wParam(w), lParam(l) {}
    unsigned msg;
    WParam wParam;
    LParam lParam;
};
} // namespace

// The thread's posted messages in one first-in, first-out queue. Waking the event loop
// costs a system call per Qt event posted; the queue posts one event for all the
// messages of a turn of the loop instead of one per message.
class PostedMessages : public QObject {
public:
    // The queue of the calling thread, made on first use when an application object
    // exists (it goes with that object); nullptr otherwise.
    static PostedMessages* Instance(bool create)
    {
        thread_local QPointer<PostedMessages> instance;
        if (!instance && create && QCoreApplication::instance())
            instance = new PostedMessages(QCoreApplication::instance());
        return instance;
    }

    void Add(MessageTarget* target, unsigned msg, WParam wParam, LParam lParam)
    {
        queue_.push_back({target, msg, wParam, lParam});
        Schedule();
    }

    void Discard(const MessageTarget* target)
    {
        for (Pending& p : queue_)
            if (p.target == target)
                p.target = nullptr;
    }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kDeliverEvent)
            return QObject::event(e);
        scheduled_ = false;
        // Only what was posted before this turn: what the handlers post waits for the
        // next turn, so that sockets and timers are served in between, as before.
        for (size_t n = queue_.size(); n > 0 && !queue_.empty(); --n) {
            const Pending p = queue_.front();
            queue_.pop_front();
            if (p.target)
                p.target->Deliver(p.msg, p.wParam, p.lParam);
        }
        if (!queue_.empty())
            Schedule();
        return true;
    }

private:
    struct Pending {
        MessageTarget* target;
        unsigned msg;
        WParam wParam;
        LParam lParam;
    };

    explicit PostedMessages(QObject* parent) : QObject(parent) {}

    void Schedule()
    {
        if (scheduled_)
            return;
        scheduled_ = true;
        QCoreApplication::postEvent(this, new QEvent(kDeliverEvent));
    }

    std::deque<Pending> queue_;
    bool scheduled_ = false;
};

MessageTarget::MessageTarget(QObject* parent) : QObject(parent) {}

MessageTarget::~MessageTarget()
{
    DiscardPosted();
}

void MessageTarget::Post(unsigned msg, WParam wParam, LParam lParam)
{
    PostedMessages* queue = thread() == QThread::currentThread() ? PostedMessages::Instance(true) : nullptr;
    if (queue)
        queue->Add(this, msg, wParam, lParam);
    else
        QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
}

void MessageTarget::Send(unsigned msg, WParam wParam, LParam lParam)
{
    Deliver(msg, wParam, lParam);
}

void MessageTarget::Deliver(unsigned msg, WParam wParam, LParam lParam)
{
    Guarded([&] { Dispatch(msg, wParam, lParam); });
}

void MessageTarget::DiscardPosted()
{
    QCoreApplication::removePostedEvents(this, kMessageEvent);
    if (thread() == QThread::currentThread())
        if (PostedMessages* queue = PostedMessages::Instance(false))
            queue->Discard(this);
}

void MessageTarget::Dispatch(unsigned msg, WParam wParam, LParam lParam)
{
    if (OnMessage)
        OnMessage(msg, wParam, lParam);
}

bool MessageTarget::event(QEvent* e)
{
    if (e->type() != kMessageEvent)
        return QObject::event(e);
    auto* m = static_cast<MessageEvent*>(e);
    Deliver(m->msg, m->wParam, m->lParam);
    return true;
}

} // namespace pw::platform
