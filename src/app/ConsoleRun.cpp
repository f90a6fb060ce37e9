#include "app/ConsoleRun.h"

#include "app/StartupOptions.h"
#include "platform/MessageBoxService.h"
#include "platform/Tunables.h"

#include <QCoreApplication>
#include <memory>

namespace pw::app {

void PrepareConsoleRun(TStartupOptions& options)
{
    QCoreApplication::setApplicationName(QStringLiteral("Panelwick"));
    platform::MessageBoxService::Install(std::make_unique<platform::StderrMessageBoxes>());
    platform::MessageBoxService::SetCaption(QStringLiteral("Panelwick"));
    platform::Tunables::ReadEnvironment();
    options.DecidePaths(QCoreApplication::applicationFilePath());
}

int RefuseConsoleRun(const QString& text)
{
    platform::MessageBoxService::Error(text);
    return 1;
}

} // namespace pw::app
