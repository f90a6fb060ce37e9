#pragma once

#include <QProcessEnvironment>
#include <QString>

namespace pw::platform {

class TIniFile;

// Where the program keeps its files. Decided once at start, here and nowhere else.
//
// Portable (the executable's folder holds Comics.urls, as in the build tree, or
// "--program-folder DIR"): everything lives in that one folder. Installed (under a prefix,
// nothing beside the executable): the configuration and the user's own catalogue under
// $XDG_CONFIG_HOME/panelwick, the strips under $XDG_DATA_HOME/panelwick, the shipped
// catalogue and help under <prefix>/share/panelwick, which is never written.
struct TProgramPaths {
    QString Executable; // absolute; what the autostart entry starts
    bool Installed = false;
    QString IniPath;
    QString CataloguePath;
    // The user's own comics, beside the configuration file (the shipped catalogue is
    // never written); read after it, same format.
    QString UserCataloguePath;
    QString DefaultComicsDir; // ends in "/"
    QString HelpPath;
    // Per-user data that is not a strip (the wallpaper picture); ends in "/". It follows
    // XDG in both layouts, like the desktop settings it goes with. Made on demand.
    QString UserDataDir;

    // programFolder: the "--program-folder" argument, empty when there is none.
    // The running executable's file, asked of the system (before, or without, any
    // application object); empty when the system does not tell.
    static QString RunningExecutable();

    static TProgramPaths Decide(const QString& executablePath, const QString& programFolder,
                                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    // The comics folder: [Comics] ComicsDir, else the default one. An empty or relative
    // value names no folder of its own and means the default too.
    QString ComicsDir(const TIniFile& ini) const;

    // Makes the folders an installed program writes to (its configuration and data
    // folders under the user's home). A folder that cannot be made is not reported here:
    // the first write into it says what went wrong.
    void MakeFolders() const;
};

} // namespace pw::platform
