#include "platform/ProgramPaths.h"

#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

#ifndef PANELWICK_DATA_FROM_BIN
#define PANELWICK_DATA_FROM_BIN "../share/panelwick"
#endif

namespace pw::platform {

namespace {

QString WithSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// An XDG base folder: the variable when it holds an absolute path, else the default
// under the home folder (relative values are to be ignored).
QString XdgFolder(const QProcessEnvironment& env, const char* variable, const char* underHome)
{
    const QString value = env.value(QString::fromLatin1(variable));
    if (QDir::isAbsolutePath(value))
        return WithSlash(QDir::cleanPath(value));
    QString home = env.value(QStringLiteral("HOME"));
    if (!QDir::isAbsolutePath(home))
        home = QDir::homePath();
    return WithSlash(QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(underHome)));
}

} // namespace

QString TProgramPaths::RunningExecutable()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? QFile::decodeName(QByteArray(buffer, n)) : QString();
}

TProgramPaths TProgramPaths::Decide(const QString& executablePath, const QString& programFolder,
                                    const QProcessEnvironment& env)
{
    TProgramPaths paths;
    const QFileInfo exe(executablePath);
    paths.Executable = exe.absoluteFilePath();
    paths.UserDataDir = XdgFolder(env, "XDG_DATA_HOME", ".local/share") + QStringLiteral("panelwick/");

    const QString exeFolder = WithSlash(exe.absolutePath());
    QString folder;
    QString iniPath;
    if (!programFolder.isEmpty()) {
        folder = WithSlash(QDir::cleanPath(QFileInfo(programFolder).absoluteFilePath()));
        iniPath = folder + QStringLiteral("panelwick.ini");
    } else if (QFileInfo::exists(exeFolder + QStringLiteral("Comics.urls"))) {
        folder = exeFolder;
        iniPath = folder + exe.completeBaseName() + QStringLiteral(".ini");
    }
    if (!folder.isEmpty()) {
        paths.IniPath = iniPath;
        paths.CataloguePath = folder + QStringLiteral("Comics.urls");
        paths.UserCataloguePath = folder + QStringLiteral("MyComics.urls");
        paths.DefaultComicsDir = folder + QStringLiteral("Comics/");
        paths.HelpPath = folder + QStringLiteral("Help/index.html");
        return paths;
    }

    paths.Installed = true;
    const QString shared = WithSlash(QDir::cleanPath(exeFolder + QLatin1String(PANELWICK_DATA_FROM_BIN)));
    const QString config = XdgFolder(env, "XDG_CONFIG_HOME", ".config") + QStringLiteral("panelwick/");
    paths.IniPath = config + QStringLiteral("panelwick.ini");
    paths.UserCataloguePath = config + QStringLiteral("MyComics.urls");
    const QString ownCatalogue = config + QStringLiteral("Comics.urls");
    paths.CataloguePath =
        QFileInfo::exists(ownCatalogue) ? ownCatalogue : shared + QStringLiteral("Comics.urls");
    paths.DefaultComicsDir = paths.UserDataDir + QStringLiteral("Comics/");
    paths.HelpPath = shared + QStringLiteral("Help/index.html");
    return paths;
}

QString TProgramPaths::ComicsDir(const TIniFile& ini) const
{
    const QString dir =
        ini.ReadString(QStringLiteral("Comics"), QStringLiteral("ComicsDir"), DefaultComicsDir);
    // A hand-edited relative folder would follow the current directory: the default then.
    return dir.isEmpty() || QDir::isRelativePath(dir) ? DefaultComicsDir : dir;
}

void TProgramPaths::MakeFolders() const
{
    if (!Installed)
        return; // the program folder is there already
    QDir().mkpath(QFileInfo(IniPath).absolutePath());
    QDir().mkpath(UserDataDir);
}

} // namespace pw::platform
