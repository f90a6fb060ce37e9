#include "app/ProgramEntry.h"

#include "app/AddComic.h"
#include "app/BatchUpdate.h"
#include "app/BuildVersion.h"
#include "app/FetchOlder.h"
#include "app/OpmlCommand.h"
#include "app/SingleInstance.h"
#include "app/StartupOptions.h"
#include "app/WindowModule.h"
#include "platform/ProgramModule.h"

#include <QStringList>
#include <cstdio>
#include <cstring>

namespace pw::app {

namespace {

void Print(FILE* to, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
}

int RunWindow(int argc, char** argv, const TStartupOptions& options)
{
    // One window per user: a second start hands its request to the running window and
    // ends, before it has loaded the window's code or connected to any display.
    const SingleInstance::TClaim claim = SingleInstance::ClaimWindow(options);
    if (claim.ExitCode)
        return *claim.ExitCode;
    QString error;
    const auto module = platform::ProgramModule::Open(QString::fromLatin1(kWindowModuleFile), &error);
    const auto build =
        module ? reinterpret_cast<WindowBuild>(module->Function(kWindowBuildName, &error)) : nullptr;
    WindowEntry entry = nullptr;
    if (build && std::strcmp(build(), kBuildVersion) != 0)
        error = QStringLiteral("cannot load %1: it is of build %2, this program of build %3")
                    .arg(module->Path(), QString::fromUtf8(build()), QString::fromUtf8(kBuildVersion));
    else if (build)
        entry = reinterpret_cast<WindowEntry>(module->Function(kWindowEntryName, &error));
    if (!entry) {
        // No window, so no message box either: only the terminal can be told.
        Print(stderr, QStringLiteral("panelwick: %1\n").arg(error));
        SingleInstance::Release(claim);
        return 1;
    }
    return entry(argc, argv, options, claim);
}

} // namespace

int ProgramEntry(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    const auto options = TStartupOptions::Parse(arguments, &error);
    if (!options) {
        Print(stderr, QStringLiteral("panelwick: %1\n").arg(error) + TStartupOptions::Usage());
        return 2;
    }
    switch (options->Mode) {
    case TStartupOptions::TMode::Help:
        Print(stdout, TStartupOptions::Usage());
        return 0;
    case TStartupOptions::TMode::Version:
        Print(stdout, TStartupOptions::VersionText());
        return 0;
    case TStartupOptions::TMode::BatchUpdate:
        return BatchUpdate::Main(argc, argv, *options);
    case TStartupOptions::TMode::AddComic:
        return AddComic::Main(argc, argv, *options);
    case TStartupOptions::TMode::FetchOlder:
        return FetchOlder::Main(argc, argv, *options);
    case TStartupOptions::TMode::ImportOpml:
    case TStartupOptions::TMode::ExportOpml:
        return OpmlCommand::Main(argc, argv, *options);
    case TStartupOptions::TMode::Window:
        break;
    }
    return RunWindow(argc, argv, *options);
}

} // namespace pw::app
