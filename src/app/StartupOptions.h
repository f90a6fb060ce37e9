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
    // An address as the only argument (as a browser's "subscribe" or the menu's %u passes
    // it): "feed:" forms unwrapped, the window opens Add comic with it. Empty when none.
    QString OpenAddress;
    // A feed file given instead (a file manager's "open with"): absolute path.
    QString OpenFeedFile;
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

    // What a lone argument asks to add: the address a "feed:" form wraps, a local file's
    // absolute path (fills *file), or the address as it is.
    static QString OpenedAddress(const QString& argument, QString* file);

    static QString Usage();       // "--help": every option, one line each
    static QString VersionText(); // "--version"
};

} // namespace pw::app
