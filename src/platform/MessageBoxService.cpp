#include "MessageBoxService.h"

#include <cstdio>

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
} // namespace

IMessageBoxBackend& MessageBoxService::Backend()
{
    return *Slot();
}

void MessageBoxService::Information(const QString& text)
{
    Backend().Show(BoxKind::Information, Caption(), text);
}
void MessageBoxService::Warning(const QString& text)
{
    Backend().Show(BoxKind::Warning, Caption(), text);
}
void MessageBoxService::Error(const QString& text)
{
    Backend().Show(BoxKind::Error, Caption(), text);
}
bool MessageBoxService::Question(const QString& text)
{
    return Backend().Ask(Caption(), text);
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
