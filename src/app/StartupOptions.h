#pragma once

#include "platform/ProgramPaths.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace pw::app {

// The command line, and where the program's files are.
struct TStartupOptions {
    enum class TMode { Window, BatchUpdate, AddComic, FetchOlder, ImportOpml, ExportOpml, Help, Version };

    TMode Mode = TMode::Window;
    QString ProgramFolderArgument; // "--program-folder DIR", empty when not given
    QString AddAddress;            // "--add-comic ADDRESS"
    QString AddName;               // "--name NAME"; null when not given
    QString OlderComic;            // "--fetch-older NAME"
    int OlderMax = 0;              // "--max N"; 0 when not given
    QString OpmlFile;              // "--import-opml FILE", "--export-opml FILE"
    platform::TProgramPaths Paths; // filled by DecidePaths

    void DecidePaths(const QString& executablePath)
    {
        Paths = platform::TProgramPaths::Decide(executablePath, ProgramFolderArgument);
    }

    // Arguments without the program name. Qt's own window options ("-platform xcb", ...)
    // pass untouched; anything else unknown is bad usage: sets error, returns nullopt.
    static std::optional<TStartupOptions> Parse(const QStringList& arguments, QString* error = nullptr);
    // Parse, then DecidePaths.
    static std::optional<TStartupOptions> Parse(const QStringList& arguments, const QString& executablePath,
                                                QString* error = nullptr);

    static QString Usage();       // "--help": every option, one line each
    static QString VersionText(); // "--version"
};

} // namespace pw::app
