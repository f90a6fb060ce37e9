#include "app/ProgramEntry.h"

#include "app/AddComic.h"
#include "app/BatchUpdate.h"
#include "app/FetchOlder.h"
#include "app/OpmlCommand.h"
#include "app/StartupOptions.h"
#include "app/TStartup.h"

#include <QStringList>
#include <cstdio>

namespace pw::app {

namespace {

void Print(FILE* to, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), to);
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
    return RunPanelwick(argc, argv, *options);
}

} // namespace pw::app
