#include "MessageTarget.h"

#include "ExceptionGuard.h"

#include <QCoreApplication>
#include <QEvent>

namespace pw::platform {

namespace {
const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned m, WParam w, LParam l) : QEvent(kMessageEvent), msg(m), wParam(w), lParam(l) {}
    unsigned msg;
    WParam wParam;
    LParam lParam;
};
} // namespace

MessageTarget::MessageTarget(QObject* parent) : QObject(parent) {}

MessageTarget::~MessageTarget()
{
    DiscardPosted();
}

void MessageTarget::Post(unsigned msg, WParam wParam, LParam lParam)
{
    QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
}

void MessageTarget::Send(unsigned msg, WParam wParam, LParam lParam)
{
    Guarded([&] { Dispatch(msg, wParam, lParam); });
}

void MessageTarget::DiscardPosted()
{
    QCoreApplication::removePostedEvents(this, kMessageEvent);
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
    Guarded([&] { Dispatch(m->msg, m->wParam, m->lParam); });
    return true;
}

} // namespace pw::platform
