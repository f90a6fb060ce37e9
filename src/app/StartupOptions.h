#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace pw::app {

// Where the program's files are, from the command line and the executable's path.
struct TStartupOptions {
    QString ProgramFolder; // absolute, ending in "/"
    QString IniPath;       // the configuration file
    QStringList Remaining; // arguments not used here, for other modes

    QString CataloguePath() const { return ProgramFolder + QStringLiteral("Comics.urls"); }
    QString DefaultComicsDir() const { return ProgramFolder + QStringLiteral("Comics/"); }
    QString HelpPath() const { return ProgramFolder + QStringLiteral("Help/index.html"); }

    // arguments without the program name. "--program-folder DIR" replaces the
    // executable's folder (configuration DIR/panelwick.ini); otherwise the configuration
    // is the executable's path with ".ini". Sets error and returns nullopt on bad usage.
    static std::optional<TStartupOptions> Parse(const QStringList& arguments, const QString& executablePath,
                                                QString* error = nullptr);
};

} // namespace pw::app
