#include "app/ConsoleRun.h"

#include "app/StartupOptions.h"
#include "platform/Exception.h"
#include "platform/GuardedCoreApplication.h"
#include "platform/MessageBoxService.h"
#include "platform/Tunables.h"

#include <QCoreApplication>
#include <QTextStream>
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

int RunConsoleCommand(int argc, char** argv, TStartupOptions options,
                      const std::function<int(const TStartupOptions&, QTextStream&)>& run)
{
    platform::GuardedCoreApplication app(argc, argv);
    PrepareConsoleRun(options);
    QTextStream out(stdout);
    try {
        return run(options, out);
    } catch (const platform::Exception& e) { // e.g. a configuration file that cannot be written
        return RefuseConsoleRun(e.Message());
    }
}

int RefuseConsoleRun(const QString& text)
{
    platform::MessageBoxService::Error(text);
    return 1;
}

} // namespace pw::app
