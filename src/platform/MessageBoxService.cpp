#include "MessageBoxService.h"

#include "TextEscapes.h"

#include <QScopeGuard>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace pw::platform {

namespace {
std::unique_ptr<IMessageBoxBackend>& Slot()
{
    static std::unique_ptr<IMessageBoxBackend> backend = std::make_unique<StderrMessageBoxes>();
    return backend;
}
QString& Caption()
{
    static QString caption = QStringLiteral("Panelwick");
    return caption;
}

// A modal box runs the event loop, so network events can raise boxes inside it, and those
// boxes more inside them. The texts of the boxes open now, innermost last.
std::vector<QString>& OpenBoxes()
{
    static std::vector<QString> open;
    return open;
}
constexpr size_t kMaxOpenBoxes = 3;

// Shows a box unless the same text is already open or too many are stacked; false when
// it was not shown.
template <class F> bool ShowOnce(const QString& text, F&& show)
{
    std::vector<QString>& open = OpenBoxes();
    if (open.size() >= kMaxOpenBoxes || std::find(open.begin(), open.end(), text) != open.end())
        return false;
    open.push_back(text);
    const auto closed = qScopeGuard([&open] { open.pop_back(); });
    std::forward<F>(show)();
    return true;
}
} // namespace

IMessageBoxBackend& MessageBoxService::Backend()
{
    return *Slot();
}

void MessageBoxService::Information(const QString& text)
{
    Show(BoxKind::Information, text);
}
void MessageBoxService::Warning(const QString& text)
{
    Show(BoxKind::Warning, text);
}
void MessageBoxService::Error(const QString& text)
{
    Show(BoxKind::Error, text);
}
void MessageBoxService::Show(BoxKind kind, const QString& text)
{
    const QString shown = ShowableText(text, true);
    ShowOnce(shown, [&] { Backend().Show(kind, Caption(), shown); });
}
bool MessageBoxService::Question(const QString& text)
{
    // Not asked is No: a question inside a stack of boxes changes nothing.
    const QString shown = ShowableText(text, true);
    bool yes = false;
    ShowOnce(shown, [&] { yes = Backend().Ask(Caption(), shown); });
    return yes;
}

std::unique_ptr<IMessageBoxBackend> MessageBoxService::Install(std::unique_ptr<IMessageBoxBackend> backend)
{
    auto previous = std::move(Slot());
    Slot() = backend ? std::move(backend) : std::make_unique<StderrMessageBoxes>();
    return previous;
}

void MessageBoxService::SetCaption(const QString& caption)
{
    Caption() = caption;
}

void StderrMessageBoxes::Show(BoxKind kind, const QString& caption, const QString& text)
{
    const char* tag = kind == BoxKind::Error ? "error" : kind == BoxKind::Warning ? "warning" : "info";
    std::fprintf(stderr, "%s: %s: %s\n", qPrintable(caption), tag, qPrintable(text));
    std::fflush(stderr);
}

bool StderrMessageBoxes::Ask(const QString& caption, const QString& text)
{
    Show(BoxKind::Information, caption, text);
    return false;
}

} // namespace pw::platform
