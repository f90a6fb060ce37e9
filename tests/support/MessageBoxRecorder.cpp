#include "MessageBoxRecorder.h"

#include <QEventLoop>
#include <QTimer>

namespace pw::test {

class MessageBoxRecorder::Backend : public platform::IMessageBoxBackend {
public:
    Backend(std::shared_ptr<std::deque<Box>> boxes, std::shared_ptr<std::deque<bool>> answers,
            std::shared_ptr<std::function<bool()>> holdUntil)
        : boxes_(std::move(boxes)), answers_(std::move(answers)), holdUntil_(std::move(holdUntil))
    {
    }
    void Show(platform::BoxKind kind, const QString&, const QString& text) override
    {
        boxes_->push_back({kind, text});
        const std::function<bool()> done = *holdUntil_;
        if (!done || done())
            return;
        // A modal box: the loop runs until the condition holds.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(5);
        loop.exec();
    }
    bool Ask(const QString&, const QString& text) override
    {
        boxes_->push_back({platform::BoxKind::Information, text});
        if (answers_->empty())
            return false;
        const bool yes = answers_->front();
        answers_->pop_front();
        return yes;
    }

private:
    std::shared_ptr<std::deque<Box>> boxes_;
    std::shared_ptr<std::deque<bool>> answers_;
    std::shared_ptr<std::function<bool()>> holdUntil_;
};

MessageBoxRecorder::MessageBoxRecorder()
    : boxes_(std::make_shared<std::deque<Box>>()), answers_(std::make_shared<std::deque<bool>>()),
      holdUntil_(std::make_shared<std::function<bool()>>())
{
    previous_ = platform::MessageBoxService::Install(std::make_unique<Backend>(boxes_, answers_, holdUntil_));
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    platform::MessageBoxService::Install(std::move(previous_));
}

const std::deque<MessageBoxRecorder::Box>& MessageBoxRecorder::Boxes() const
{
    return *boxes_;
}

QStringList MessageBoxRecorder::Texts() const
{
    QStringList texts;
    for (const auto& b : *boxes_)
        texts << b.text;
    return texts;
}

void MessageBoxRecorder::Clear()
{
    boxes_->clear();
}
void MessageBoxRecorder::QueueAnswer(bool yes)
{
    answers_->push_back(yes);
}

} // namespace pw::test

namespace pw::test {
void MessageBoxRecorder::HoldOpenUntil(std::function<bool()> done)
{
    *holdUntil_ = std::move(done);
}
} // namespace pw::test
